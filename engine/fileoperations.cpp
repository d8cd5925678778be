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

int CopyOneFile(MirrorContext &ctx, int srcDir, const QByteArray &E, int tgtDir, const QByteArray &N,
                CopiedSource &copied, bool targetAbsent)
{
    const bool move = ctx.flags.Deplacer;
    CopyOptions options;
    options.targetAbsent = targetAbsent && N == E;
    options.flushData = move;
    options.carryStreams = ctx.system.copyCarriesStreams();
    // A very large file still lets the interface breathe and a stop end it.
    options.proceed = [&ctx] { return ctx.yieldAndGoOn(); };
    const int rc = copyFile(srcDir, E, tgtDir, N, options, &copied);

    if (ctx.system.IsNT) {
        // Older systems copy the two Macintosh streams one by one.
        if (rc == 0 && !options.carryStreams) {
            for (const QByteArray &stream : {AfpInfoStream, AfpResourceStream}) {
                if (copyStream(srcDir, E, tgtDir, N, stream) == 0 && move)
                    (void)deleteStream(srcDir, E, stream); // the stream is in the target now
            }
        }
        if (ctx.settings.CopierSecurite)
            CopyPermissions(ctx, srcDir, E, tgtDir, N);
    }
    return rc;
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
    EntryInfo now;
    if (lookUp(srcDir, E, now, false) != 0 || now.lastWrite != seen.lastWrite || now.size != seen.size
        || now.dev != seen.dev || now.ino != seen.ino)
        return 1; // changed since: kept for the next run
    return deleteFile(srcDir, E);
}

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

} // namespace

int CopyPermissions(MirrorContext &ctx, int srcDir, const QByteArray &srcName, int tgtDir,
                    const QByteArray &tgtName)
{
    if (kindsDiffer(srcDir, srcName, tgtDir, tgtName))
        return 0;
    QByteArray descriptor;
    int rc = readPermissions(srcDir, srcName, descriptor);
    if (rc == -EOPNOTSUPP)
        return 0; // a link has no permissions of its own
    if (rc == 0)
        rc = writePermissions(tgtDir, tgtName, descriptor);
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
