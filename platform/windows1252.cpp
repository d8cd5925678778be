#include "platform/windows1252.h"

#include <array>

namespace vell {

namespace {

// Bytes 0x80..0x9F; 0 where the code page defines nothing.
constexpr std::array<char16_t, 32> High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

QChar Windows1252Char(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0 && High[byte - 0x80] != 0)
        return QChar(High[byte - 0x80]);
    return QChar(char16_t(byte));
}

int Windows1252Byte(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return int(codePoint);
    for (size_t i = 0; i < High.size(); ++i) {
        if (High[i] != 0 && High[i] == codePoint)
            return int(0x80 + i);
    }
    return -1;
}

} // namespace vell
