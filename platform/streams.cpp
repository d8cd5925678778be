#include "platform/fileops.h"
#include "platform/syscalls.h"

#include <sys/xattr.h>

namespace vell::platform {

namespace {

constexpr char AfpInfoStream[] = "AFP_AfpInfo";
constexpr char NetatalkMetadata[] = "user.org.netatalk.Metadata";
// Type and creator: bytes 16..23 of AfpInfo, the first 8 bytes of the
// FinderInfo that netatalk keeps at offset 122 of its metadata.
constexpr qsizetype AfpFinderOffset = 16;
constexpr qsizetype NetatalkFinderOffset = 122;
constexpr qsizetype SignatureSize = 8;

QByteArray streamAttr(const QByteArray &stream) { return "user.DosStream." + stream + ":$DATA"; }

// The 8 bytes at offset of value, zero-padded past its end.
QByteArray signatureAt(const QByteArray &value, qsizetype offset)
{
    QByteArray signature = value.mid(offset, SignatureSize);
    signature.append(QByteArray(SignatureSize - signature.size(), '\0'));
    return signature;
}

} // namespace

int readStream(int dirFd, const QByteArray &name, const QByteArray &stream, QByteArray &data)
{
    QByteArray value;
    if (const int rc = sys::getXattr(sys::entryPath(dirFd, name), streamAttr(stream).constData(), value); rc < 0)
        return rc;
    // streams_xattr stores one zero byte after the data.
    if (value.endsWith('\0'))
        value.chop(1);
    data = value;
    return 0;
}

int writeStream(int dirFd, const QByteArray &name, const QByteArray &stream, const QByteArray &data)
{
    QByteArray value = data;
    value.append('\0');
    const QByteArray path = sys::entryPath(dirFd, name);
    if (::lsetxattr(path.constData(), streamAttr(stream).constData(), value.constData(), size_t(value.size()), 0) != 0)
        return sys::negErrno();
    return 0;
}

int deleteStream(int dirFd, const QByteArray &name, const QByteArray &stream)
{
    const QByteArray path = sys::entryPath(dirFd, name);
    if (::lremovexattr(path.constData(), streamAttr(stream).constData()) != 0)
        return sys::negErrno();
    return 0;
}

int copyStream(int srcDir, const QByteArray &srcName, int dstDir, const QByteArray &dstName, const QByteArray &stream)
{
    QByteArray data;
    if (const int rc = readStream(srcDir, srcName, stream, data); rc < 0)
        return rc;
    return writeStream(dstDir, dstName, stream, data);
}

int readFinderInfo(int dirFd, const QByteArray &name, QByteArray &typeAndCreator)
{
    QByteArray afpInfo;
    const int rc = readStream(dirFd, name, AfpInfoStream, afpInfo);
    if (rc < 0 && rc != -ENODATA)
        return rc;
    if (rc == 0 && !afpInfo.isEmpty()) {
        typeAndCreator = signatureAt(afpInfo, AfpFinderOffset);
        return 0;
    }
    QByteArray metadata;
    if (const int got = sys::getXattr(sys::entryPath(dirFd, name), NetatalkMetadata, metadata); got < 0)
        return got;
    if (metadata.size() <= NetatalkFinderOffset)
        return -ENODATA;
    typeAndCreator = signatureAt(metadata, NetatalkFinderOffset);
    return 0;
}

} // namespace vell::platform
