#pragma once

// Little-endian fields for the on-disk formats the tests build and check
// (Samba's DOSATTRIB, the kernel's ACL xattrs), written out byte by byte so
// that the expected bytes do not come from the code under test.

#include <QByteArray>
#include <cstdint>

inline void appendLe16(QByteArray &b, uint16_t v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

inline void appendLe32(QByteArray &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

inline void appendLe64(QByteArray &b, uint64_t v)
{
    appendLe32(b, uint32_t(v));
    appendLe32(b, uint32_t(v >> 32));
}

inline uint32_t le32At(const QByteArray &b, qsizetype at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData()) + at;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
