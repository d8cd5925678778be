#pragma once

// The Linux file layer the engine calls. Every function works on a folder
// descriptor and one entry name (bytes, no "/"), never follows a symbolic
// link in that name, retries EINTR, and returns 0 (or a descriptor) on
// success and -errno on failure. Nothing here throws or logs.

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <sys/types.h>
#include <vector>

namespace vell::platform {

// The attribute word of the mirrored items.
namespace Attr {
constexpr uint32_t ReadOnly = 1;
constexpr uint32_t Hidden = 2;
constexpr uint32_t System = 4;
constexpr uint32_t Folder = 16;
constexpr uint32_t Archive = 32;
constexpr uint32_t Normal = 128;
// The other DOS bits Samba's user.DOSATTRIB holds and Vell carries.
constexpr uint32_t Temporary = 256;
constexpr uint32_t Offline = 4096;
constexpr uint32_t NotContentIndexed = 8192;
} // namespace Attr

// Kinds the walks see. FIFOs, sockets and devices are never reported.
enum class EntryKind : uint8_t { File, Folder, Link };

struct EntryInfo
{
    QByteArray name;
    EntryKind kind = EntryKind::File;
    uint32_t attributes = 0; // the attribute word (see attributeWord())
    bool hasDosAttrib = false; // the item carries Samba's user.DOSATTRIB (only known when read)
    uint64_t lastWrite = 0;  // 100 ns ticks since 1601-01-01 UTC
    uint64_t size = 0;
    dev_t dev = 0;
    ino_t ino = 0;
    mode_t mode = 0;
    // st_nlink: a file with more than one may change through a name in
    // another folder. 0 where the listing did not stat the entry (the files
    // and links of listKinds).
    nlink_t links = 0;
};

// Modification time of a stat buffer as 100 ns ticks since 1601 (0 before).
uint64_t ticksFromTimespec(const struct timespec &ts);

// The attribute word of an item of the given mode and name: Folder for a
// directory, ReadOnly for a non-folder, non-link whose owner lacks write
// permission, Hidden for a name that begins with ".", the DOS bits of
// dosAttrib (when hasDosAttrib) except ReadOnly, Folder and Normal, and
// Normal when nothing else is set.
[[nodiscard]] uint32_t attributeWord(mode_t mode, const QByteArray &name, bool hasDosAttrib = false,
                                     uint32_t dosAttrib = 0);

// Opens a folder given by its full path for walking. Links along the path
// are followed (the user chose it), the folder itself is opened read-only,
// O_DIRECTORY|O_CLOEXEC. Returns the descriptor or -errno.
[[nodiscard]] int openFolderPath(const QByteArray &path);

// Opens the sub-folder `name` of dirFd; fails with -ELOOP/-ENOTDIR when it
// is a link or not a folder.
[[nodiscard]] int openFolderAt(int dirFd, const QByteArray &name);

// Opens relPath ("a/b/c", "" for the root itself) below rootFd without
// following any link and without leaving rootFd, whatever the length of the
// path (openat2 RESOLVE_BENEATH|RESOLVE_NO_SYMLINKS, or one component at a
// time when that is not available or the path is too long).
[[nodiscard]] int openFolderBeneath(int rootFd, const QByteArray &relPath);

// What a listing tells a caller beyond the entries: the names of Vell's
// temporary files it met (left out of the entries, never removed here: a
// copy may be writing into one at this moment; see removeStaleTemporary),
// and whether a special file was left out (a name absent from the listing
// may still exist).
struct ListingExtras
{
    std::vector<QByteArray> staleTemporaries; // temporary-named regular files, live or stale
    bool specialsLeftOut = false;
};

// Reads every entry of the folder: name, kind, attribute word, last-write
// ticks, size. "." and "..", special files and names of Vell's temporary
// files are left out; nothing is ever removed. withDosAttrib also reads
// user.DOSATTRIB of each entry (one more system call each); without it the
// word comes from the mode and the name alone. Returns 0 or -errno when
// the folder cannot be read, or when an entry cannot be examined for any
// reason other than having vanished (so that no caller mistakes an
// unreadable entry for an absent one); `out` then holds the entries read
// so far.
[[nodiscard]] int listFolder(int dirFd, std::vector<EntryInfo> &out, bool withDosAttrib,
                             ListingExtras *extras = nullptr);

// A cheaper listFolder for walks that need only names and kinds: files and
// links are taken from the listing's d_type alone (their attribute word
// from the name only; lastWrite, size and mode unset); folders and entries
// of unknown type are examined as listFolder does.
[[nodiscard]] int listKinds(int dirFd, std::vector<EntryInfo> &out, ListingExtras *extras = nullptr);
// Every entry name of the folder (any kind, "." and ".." included), sorted,
// with no call per entry: what exists, for a walk that only asks that.
[[nodiscard]] int listNames(int dirFd, std::vector<QByteArray> &names);

// Looks one entry up without following a link. -ENOENT when it is absent;
// -EINVAL for a special file (which the walks treat as absent only when
// the caller says so).
[[nodiscard]] int lookUp(int dirFd, const QByteArray &name, EntryInfo &out, bool withDosAttrib);

// The attribute word of an entry, reading user.DOSATTRIB when present.
[[nodiscard]] int getAttributes(int dirFd, const QByteArray &name, uint32_t &word, bool *hasDosAttrib = nullptr);

// Sets the attribute word: read-only clears/sets the owner's write bit of a
// file; when the item carries user.DOSATTRIB it is rewritten to match.
// Bits Linux cannot hold are ignored. Links: nothing to set, success.
[[nodiscard]] int setAttributes(int dirFd, const QByteArray &name, uint32_t word);

// True when setting `target`'s word to `source` would change something
// that Linux can hold (read-only; DOS bits only when the target carries
// user.DOSATTRIB).
[[nodiscard]] bool attributesDiffer(uint32_t source, uint32_t target, bool targetHasDosAttrib);

// The ways data can move, fastest first.
enum class CopyMethod : uint8_t { Auto, Clone, CopyFileRange, Sendfile, ReadWrite };

struct CopyOptions
{
    bool carryStreams = true;  // user.DosStream.* attributes go with the data
    bool carryXattrs = true;   // the other user.* attributes go with the data
    bool targetAbsent = false; // the caller has just found no target: no lookup before the copy
    bool flushData = false;    // fdatasync the data before the rename, fsync the folder after (move mode)
    // Asked after every few MiB of data; false stops the copy, which then
    // fails with -ECANCELED and leaves the target untouched. Empty: go on.
    std::function<bool()> proceed;
    // Auto tries each method in turn; tests force one, which fails with
    // -EOPNOTSUPP where it cannot be used.
    CopyMethod method = CopyMethod::Auto;
};

// What the source was when it was copied, so that move mode can check the
// source has not changed before deleting it.
struct CopiedSource
{
    uint64_t lastWrite = 0;
    uint64_t size = 0;
    dev_t dev = 0;
    ino_t ino = 0;
};

// Copies srcDir/srcName onto dstDir/dstName, overwriting. The data go to an
// unnamed (O_TMPFILE) or hidden temporary file in dstDir (reflink,
// copy_file_range, sendfile or read/write; holes stay holes), the user.*
// attributes, mode and times follow, then it is renamed over the target: a
// failure at any point leaves the target untouched and no temporary file
// behind. The new file is locked (flock) from its creation until it is
// published or removed, which tells removeStaleTemporary it is live. A
// source link is copied as a link with the same text. When source and
// target are one file (same device and inode) nothing is done and -ESAME
// is returned. A source that is not a regular file or link fails with
// -EINVAL and is never opened for reading (no FIFO or device is ever
// opened).
[[nodiscard]] int copyFile(int srcDir, const QByteArray &srcName, int dstDir, const QByteArray &dstName,
                           const CopyOptions &options, CopiedSource *copied = nullptr);
constexpr int ESAME = 10001; // returned negated: source and target are one file

// Removes dirFd/name only when it is certainly a stale temporary file of
// Vell: a temporary name, a regular file of this user, changed more than a
// minute ago (a copy may be about to lock a younger one), and not locked
// by a live copy. 0 when removed, -EBUSY when live or young, another
// -errno when it is not such a file or cannot be examined.
[[nodiscard]] int removeStaleTemporary(int dirFd, const QByteArray &name);

// A duplicate of fd that no child process inherits (F_DUPFD_CLOEXEC), or
// -errno.
[[nodiscard]] int duplicateFd(int fd);

// Deletes a file or a link (never a folder).
[[nodiscard]] int deleteFile(int dirFd, const QByteArray &name);

// Creates one folder with the default permissions (umask, default ACL).
[[nodiscard]] int createFolder(int dirFd, const QByteArray &name);

// Removes one empty folder.
[[nodiscard]] int removeFolder(int dirFd, const QByteArray &name);

// fsync of a folder (its entries) or fdatasync of a file.
[[nodiscard]] int flushFolder(int dirFd);
[[nodiscard]] int flushFile(int dirFd, const QByteArray &name);

// The permission descriptor of an item: its POSIX access ACL in the
// kernel's xattr format (built from the mode bits when there is no extended
// ACL), then, for a folder, its default ACL. An empty descriptor is never
// returned: failure is -errno.
[[nodiscard]] int readPermissions(int dirFd, const QByteArray &name, QByteArray &descriptor);

// Writes a descriptor read by readPermissions(): permission bits and ACLs
// (removing an extended or default ACL the descriptor lacks). Ownership is
// never changed.
[[nodiscard]] int writePermissions(int dirFd, const QByteArray &name, const QByteArray &descriptor);

// Named streams "NAME:$DATA" are the attributes user.DosStream.NAME:$DATA
// holding the bytes plus one trailing zero byte (Samba's streams_xattr).
// `stream` is the bare NAME, such as "AFP_AfpInfo".
[[nodiscard]] int readStream(int dirFd, const QByteArray &name, const QByteArray &stream, QByteArray &data);
[[nodiscard]] int writeStream(int dirFd, const QByteArray &name, const QByteArray &stream, const QByteArray &data);
[[nodiscard]] int deleteStream(int dirFd, const QByteArray &name, const QByteArray &stream);
// Copies one stream, overwriting; -ENODATA when the source has none.
[[nodiscard]] int copyStream(int srcDir, const QByteArray &srcName, int dstDir, const QByteArray &dstName,
                             const QByteArray &stream);

// The 8 bytes of type and creator: bytes 16..23 of the AfpInfo stream, or
// FinderInfo in netatalk's user.org.netatalk.Metadata (offset 122) when the
// item has no AfpInfo stream. A stream shorter than 24 bytes gives its
// bytes padded with zeros; -ENODATA when nothing at all can be read.
[[nodiscard]] int readFinderInfo(int dirFd, const QByteArray &name, QByteArray &typeAndCreator);

// True for the names of Vell's own temporary files.
[[nodiscard]] bool isTemporaryName(const QByteArray &name);

} // namespace vell::platform
