#pragma once

// Little-endian fields of the on-disk formats Vell reads and writes
// (Samba's DOSATTRIB, the kernel's ACL xattrs). The caller checks bounds.

#include <QByteArray>
#include <QtEndian>
#include <cstdint>

namespace vell::platform {

inline uint16_t readLe16(const QByteArray &b, qsizetype at) { return qFromLittleEndian<uint16_t>(b.constData() + at); }
inline uint32_t readLe32(const QByteArray &b, qsizetype at) { return qFromLittleEndian<uint32_t>(b.constData() + at); }

inline void writeLe32(QByteArray &b, qsizetype at, uint32_t v) { qToLittleEndian(v, b.data() + at); }

inline void appendLe16(QByteArray &b, uint16_t v)
{
    char bytes[2];
    qToLittleEndian(v, bytes);
    b.append(bytes, 2);
}

inline void appendLe32(QByteArray &b, uint32_t v)
{
    char bytes[4];
    qToLittleEndian(v, bytes);
    b.append(bytes, 4);
}

} // namespace vell::platform
