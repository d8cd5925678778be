#include "engine/fileoperations.h"

#include "platform/compare.h"
#include "platform/fileops.h"
#include "platform/pathcodec.h"
#include "platform/windows1252.h"

#include <cerrno>

namespace vell {

using namespace platform;

namespace {

const QByteArray AfpInfoStream = QByteArrayLiteral("AFP_AfpInfo");
const QByteArray AfpResourceStream = QByteArrayLiteral("AFP_Resource");

// Characters a Macintosh server keeps in these blocks stand for characters
// that Windows names cannot hold; they become "-".
bool isMacintoshOnlyChar(char16_t unit)
{
    switch (unit >> 8) {
    case 0x01: case 0x02: case 0x03: case 0x20: case 0x22: case 0x25: case 0xF0: case 0xFB:
        return true;
    default:
        return false;
    }
}

} // namespace

namespace {

// A copy that did not happen because nothing was wrong: the source and
// target are one file, the user stopped, or the source went meanwhile.
bool quietCopyFailure(int rc, int srcDir, const QByteArray &name)
{
    if (rc == -ESAME || rc == -ECANCELED)
        return true;
    EntryInfo source;
    return rc == -ENOENT && lookUp(srcDir, name, source, false) == -ENOENT;
}

int copyPermissionsOf(int srcDir, const QByteArray &srcName, int tgtDir, const QByteArray &tgtName);
int deleteIfUnchanged(int srcDir, const QByteArray &E, const CopiedSource &seen);

} // namespace

CopyOutcome CopyWork(const CopyRequest &r)
{
    CopyOutcome outcome;
    CopyOptions options;
    options.targetAbsent = r.targetAbsent && r.written == r.name;
    options.flushData = r.move;
    options.carryStreams = r.carryStreams;
    options.proceed = r.proceed; // a very large file still lets the interface breathe and a stop end it
    outcome.rc = copyFile(r.srcDir, r.name, r.tgtDir, r.written, options, &outcome.copied);
    if (r.isNT) {
        // Older systems copy the two Macintosh streams one by one.
        if (outcome.rc == 0 && !options.carryStreams) {
            for (const QByteArray &stream : {AfpInfoStream, AfpResourceStream}) {
                if (copyStream(r.srcDir, r.name, r.tgtDir, r.written, stream) == 0 && r.move)
                    (void)deleteStream(r.srcDir, r.name, stream); // the stream is in the target now
            }
        }
        if (r.copySecurity)
            outcome.permissions = copyPermissionsOf(r.srcDir, r.name, r.tgtDir, r.written);
    }
    if (outcome.rc != 0) {
        outcome.quiet = quietCopyFailure(outcome.rc, r.srcDir, r.name);
        return outcome;
    }
    if (r.move) {
        // The data were flushed by the copy; the new name must be on disk too.
        outcome.moved = flushFolder(r.tgtDir);
        if (outcome.moved == 0)
            outcome.moved = deleteIfUnchanged(r.srcDir, r.name, outcome.copied);
    }
    return outcome;
}

void ApplyCopyOutcome(MirrorContext &ctx, const CopyRequest &r, const CopyOutcome &outcome,
                      const std::function<QString(bool source)> &pathOf)
{
    RunTotals &totals = ctx.state.totals;
    if (outcome.permissions != 1)
        ++(outcome.permissions == 0 ? totals.SecuritiesCopied : totals.SecuritiesNotCopied);
    const ItemOperation operation = r.targetAbsent ? ItemOperation::Creation : ItemOperation::Modification;
    if (outcome.rc != 0) {
        if (outcome.quiet)
            ++ctx.unsettled; // nothing wrong, but the next run compares it again
        else
            ctx.failed(operation, false, pathOf(false), outcome.rc);
        return;
    }
    ++(r.targetAbsent ? totals.FilesCreated : totals.FilesModified);
    ctx.done(operation, false, [&] { return pathOf(false); });
    if (!r.move)
        return;
    if (outcome.moved == 0)
        ++totals.FilesRemoved;
    else if (outcome.moved < 0)
        ctx.failed(ItemOperation::Delete, false, pathOf(true), outcome.moved);
    else
        ++ctx.unsettled; // the source stays: compared again next run
}

namespace {

// 0 when the target holds the source's content and that content is on
// disk, 1 when it does not (or the comparison was stopped), -errno when it
// could not be told.
int targetHoldsSource(MirrorContext &ctx, int srcDir, const QByteArray &E, int tgtDir, const QByteArray &N,
                      const CopiedSource &seen, MoveProof proof)
{
    if (proof == MoveProof::CopiedNow)
        return flushFolder(tgtDir); // the data were flushed by the copy
    EntryInfo target;
    if (lookUp(tgtDir, N, target, false) != 0 || (target.dev == seen.dev && target.ino == seen.ino))
        return 1; // gone, or the very file: nothing else holds the content
    bool same = false;
    const int compared = sameContent(srcDir, E, tgtDir, N, same, [&ctx] { return ctx.yieldAndGoOn(); });
    if (compared == -ECANCELED || (compared == 0 && !same))
        return 1;
    if (compared < 0)
        return compared;
    if (target.kind == EntryKind::File) {
        if (const int rc = flushFile(tgtDir, N); rc < 0)
            return rc;
    }
    return 0;
}

} // namespace

int DeleteMovedSource(MirrorContext &ctx, int srcDir, const QByteArray &E, int tgtDir, const QByteArray &N,
                      const CopiedSource &seen, MoveProof proof)
{
    if (const int held = targetHoldsSource(ctx, srcDir, E, tgtDir, N, seen, proof); held != 0)
        return held; // the source stays; an error is the caller's to report
    return deleteIfUnchanged(srcDir, E, seen);
}

namespace {

// Deletes srcDir/E when it is still what `seen` says: 0, 1 when it changed
// since (kept for the next run), -errno.
int deleteIfUnchanged(int srcDir, const QByteArray &E, const CopiedSource &seen)
{
    EntryInfo now;
    if (lookUp(srcDir, E, now, false) != 0 || now.lastWrite != seen.lastWrite || now.size != seen.size
        || now.dev != seen.dev || now.ino != seen.ino)
        return 1;
    return deleteFile(srcDir, E);
}

} // namespace

QString ReadFinderSignature(int dirFd, const QByteArray &name)
{
    QByteArray info;
    if (readFinderInfo(dirFd, name, info) != 0 || info.isEmpty())
        return {};
    QString signature;
    signature.reserve(8);
    for (int i = 0; i < 8; ++i)
        signature.append(Windows1252Char(i < info.size() ? static_cast<unsigned char>(info.at(i)) : 0));
    return signature;
}

QByteArray MacintoshTargetName(const MirrorContext &ctx, int srcDir, const QByteArray &E)
{
    const QString original = PathFromBytes(E);
    QString name = original;
    for (QChar &c : name) {
        if (isMacintoshOnlyChar(c.unicode()))
            c = QLatin1Char('-');
    }
    const QString signature = ReadFinderSignature(srcDir, E);
    if (signature.isEmpty() || !ctx.ExtensionForSignature)
        return PathToBytes(name);
    const QString extension = ctx.ExtensionForSignature(signature).toLower();
    if (extension.isEmpty())
        return PathToBytes(name);
    // Only the last three characters are compared, without the dot: "mydoc"
    // already "ends in doc".
    if (original.right(3).toLower() != extension)
        name += QLatin1Char('.') + extension;
    return PathToBytes(name);
}

namespace {

// A folder's permissions never go onto a file nor a file's onto a folder: one of the two was replaced since the walk
// listed it (a folder's default ACL, a file's execute bits would be wrong there). The walk meets the new item at its
// next visit.
bool kindsDiffer(int srcDir, const QByteArray &srcName, int tgtDir, const QByteArray &tgtName)
{
    EntryInfo source;
    EntryInfo target;
    return lookUp(srcDir, srcName, source, false) == 0 && lookUp(tgtDir, tgtName, target, false) == 0
        && (source.kind == EntryKind::Folder) != (target.kind == EntryKind::Folder);
}

// 0 copied, -errno not copied, 1 nothing to copy (nor count).
int copyPermissionsOf(int srcDir, const QByteArray &srcName, int tgtDir, const QByteArray &tgtName)
{
    if (kindsDiffer(srcDir, srcName, tgtDir, tgtName))
        return 1;
    QByteArray descriptor;
    int rc = readPermissions(srcDir, srcName, descriptor);
    if (rc == -EOPNOTSUPP)
        return 1; // a link has no permissions of its own
    if (rc == 0)
        rc = writePermissions(tgtDir, tgtName, descriptor);
    return rc;
}

} // namespace

int CopyPermissions(MirrorContext &ctx, int srcDir, const QByteArray &srcName, int tgtDir,
                    const QByteArray &tgtName)
{
    const int rc = copyPermissionsOf(srcDir, srcName, tgtDir, tgtName);
    if (rc == 1)
        return 0;
    ++(rc == 0 ? ctx.state.totals.SecuritiesCopied : ctx.state.totals.SecuritiesNotCopied);
    return rc;
}

int SyncPermissions(MirrorContext &ctx, int srcDir, const QByteArray &srcName, int tgtDir,
                    const QByteArray &tgtName)
{
    if (kindsDiffer(srcDir, srcName, tgtDir, tgtName))
        return 0;
    QByteArray source;
    QByteArray target;
    const int srcRc = readPermissions(srcDir, srcName, source);
    const int tgtRc = readPermissions(tgtDir, tgtName, target);
    if (srcRc == -EOPNOTSUPP || tgtRc == -EOPNOTSUPP)
        return 0; // links: nothing to compare
    int rc = srcRc != 0 ? srcRc : tgtRc;
    if (rc == 0 && source == target)
        return 0;
    if (rc == 0)
        rc = writePermissions(tgtDir, tgtName, source);
    if (rc != 0) {
        ++ctx.state.totals.SecuritiesNotCopied;
        return rc;
    }
    ++ctx.state.totals.SecuritiesCopied;
    return 1;
}

} // namespace vell
