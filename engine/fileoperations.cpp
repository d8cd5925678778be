#include "engine/fileoperations.h"

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

// Move mode: the source goes only once its copy is on disk and only if it
// is still what was copied. A source changed since (or the very same file
// as its target) stays for the next run.
bool deleteMovedSource(int srcDir, const QByteArray &E, int tgtDir, const CopiedSource &copied)
{
    if (flushFolder(tgtDir) != 0)
        return false;
    EntryInfo now;
    if (lookUp(srcDir, E, now, false) != 0)
        return false;
    if (now.lastWrite != copied.lastWrite || now.size != copied.size || now.dev != copied.dev
        || now.ino != copied.ino)
        return false;
    return deleteFile(srcDir, E) == 0;
}

} // namespace

bool CopyOneFile(MirrorContext &ctx, int srcDir, const QByteArray &E, int tgtDir, const QByteArray &N,
                 bool targetAbsent)
{
    const bool move = ctx.flags.Deplacer;
    CopyOptions options;
    options.targetAbsent = targetAbsent && N == E;
    options.flushData = move;
    options.carryStreams = ctx.system.copyCarriesStreams();
    CopiedSource copied;
    const bool copiedOk = copyFile(srcDir, E, tgtDir, N, options, &copied) == 0;

    if (ctx.system.IsNT) {
        // Older systems copy the two Macintosh streams one by one.
        if (copiedOk && !options.carryStreams) {
            for (const QByteArray &stream : {AfpInfoStream, AfpResourceStream}) {
                if (copyStream(srcDir, E, tgtDir, N, stream) == 0 && move)
                    (void)deleteStream(srcDir, E, stream); // stream failures are not reported
            }
        }
        if (ctx.settings.CopierSecurite)
            CopyPermissions(ctx, srcDir, E, tgtDir, N);
    }

    if (copiedOk && move && deleteMovedSource(srcDir, E, tgtDir, copied))
        ++ctx.state.totals.FilesRemoved;
    return copiedOk;
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

void CopyPermissions(MirrorContext &ctx, int srcDir, const QByteArray &srcName, int tgtDir,
                     const QByteArray &tgtName)
{
    QByteArray descriptor;
    const int rc = readPermissions(srcDir, srcName, descriptor);
    if (rc == -EOPNOTSUPP)
        return; // a link has no permissions of its own
    if (rc != 0 || descriptor.isEmpty()) {
        ++ctx.state.totals.SecuritiesNotCopied;
        return;
    }
    if (writePermissions(tgtDir, tgtName, descriptor) == 0)
        ++ctx.state.totals.SecuritiesCopied;
    else
        ++ctx.state.totals.SecuritiesNotCopied;
}

bool SyncPermissions(MirrorContext &ctx, int srcDir, const QByteArray &srcName, int tgtDir,
                     const QByteArray &tgtName)
{
    QByteArray source;
    QByteArray target;
    const int srcRc = readPermissions(srcDir, srcName, source);
    const int tgtRc = readPermissions(tgtDir, tgtName, target);
    if (srcRc == -EOPNOTSUPP || tgtRc == -EOPNOTSUPP)
        return false; // links: nothing to compare
    if (srcRc != 0 || tgtRc != 0 || source.isEmpty() || target.isEmpty()) {
        ++ctx.state.totals.SecuritiesNotCopied;
        return false;
    }
    if (source == target)
        return false;
    if (writePermissions(tgtDir, tgtName, source) != 0) {
        ++ctx.state.totals.SecuritiesNotCopied;
        return false;
    }
    ++ctx.state.totals.SecuritiesCopied;
    return true;
}

} // namespace vell
