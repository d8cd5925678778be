#pragma once

#include "engine/mirrorcontext.h"
#include "platform/fileops.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace vell {

// The file-level operations of a walk. Folders are given as descriptors of
// the folders being walked, names as bytes.

// One file copy as the walk decided it, complete enough to run on any
// thread: descriptors, names and options, no context.
struct CopyRequest
{
    int srcDir = -1;
    int tgtDir = -1;
    QByteArray name;             // E, in the source folder
    QByteArray written;          // N, in the target folder
    bool targetAbsent = false;   // a creation: the walk has just found no file at N
    bool move = false;           // Deplacer: flushed, then the source deleted
    bool carryStreams = true;    // the copy carries the named streams
    bool isNT = true;            // Macintosh streams and permissions apply
    bool copySecurity = false;   // CopierSecurite
    std::function<bool()> proceed; // asked during a long copy; false stops it
};

// What CopyWork did, for ApplyCopyOutcome to count and record.
struct CopyOutcome
{
    int rc = 0;          // the copy's: 0 or -errno
    bool quiet = false;  // rc is no failure: one file, stopped, or the source went meanwhile
    int permissions = 1; // 0 copied, -errno not copied, 1 nothing to count
    int moved = 1;       // move mode, after a copy: as DeleteMovedSource returns
    platform::CopiedSource copied;
};

// Copies srcDir/E onto tgtDir/N with the streams the system carries, then
// the permissions (CopierSecurite, even when the copy failed, as ever);
// in move mode, once the copy is on disk, deletes the source if it is
// still what was copied. Touches no counter and records nothing.
[[nodiscard]] CopyOutcome CopyWork(const CopyRequest &request);

// Counts and records a copy's outcome on the walk's thread: the
// permissions, then the failure or the creation/modification, then in move
// mode the source's removal or its failure. pathOf(true) is the source
// item's text, pathOf(false) the target's.
void ApplyCopyOutcome(MirrorContext &ctx, const CopyRequest &request, const CopyOutcome &outcome,
                      const std::function<QString(bool source)> &pathOf);

// Why a moved source may go: this run copied it (and `seen` is what was
// copied), or the target counted as up to date (and `seen` is the source as
// listed), which is proven only by comparing the two files' bytes.
enum class MoveProof { CopiedNow, UpToDate };

// Move mode: deletes the source srcDir/E once its content is certainly in
// tgtDir/N and on disk, and the source is still what `seen` says. The one
// gate of every source deletion. Returns 0 when deleted, 1 when the source
// stays because the target does not hold it (or it changed meanwhile),
// -errno when the deletion itself failed.
[[nodiscard]] int DeleteMovedSource(MirrorContext &ctx, int srcDir, const QByteArray &E, int tgtDir,
                                    const QByteArray &N, const platform::CopiedSource &seen, MoveProof proof);

// The name under which a Macintosh file is written: the characters the
// server keeps for Macintosh-only characters replaced by "-", and the
// extension of its Finder signature appended when it lacks it.
[[nodiscard]] QByteArray MacintoshTargetName(const MirrorContext &ctx, int srcDir, const QByteArray &E);

// Type and creator as 8 Windows-1252 characters; empty when unreadable.
[[nodiscard]] QString ReadFinderSignature(int dirFd, const QByteArray &name);

// Copies the source item's permissions onto the target; counts
// SecuritiesCopied or SecuritiesNotCopied. 0, or -errno when it failed.
// Both functions leave a target alone (0, nothing counted) when one of the
// two is a folder and the other not: replaced since it was listed.
int CopyPermissions(MirrorContext &ctx, int srcDir, const QByteArray &srcName, int tgtDir,
                     const QByteArray &tgtName);

// Compares the two items' permissions and copies when they differ. Returns
// 1 when the target's permissions were written, 0 when they were in step
// already (or a link has none), -errno when they could not be compared or
// written (counted in SecuritiesNotCopied).
int SyncPermissions(MirrorContext &ctx, int srcDir, const QByteArray &srcName, int tgtDir,
                     const QByteArray &tgtName);

} // namespace vell
