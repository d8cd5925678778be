#include "oplog/logencoding.h"

#include <array>

namespace vell {

namespace {

// Windows-1252 bytes 0x80..0x9F; 0 where the code page defines nothing.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

constexpr char32_t ReplacementCharacter = 0xFFFD;

// The Windows-1252 byte of a code point, or -1 when the code page lacks it
// or it is a character that must not be written raw.
int windows1252Byte(char32_t cp)
{
    if (cp == '\t' || (cp >= 0x20 && cp < 0x7F) || (cp >= 0xA0 && cp <= 0xFF))
        return int(cp);
    if (cp <= 0xFF)
        return -1; // the controls
    for (size_t i = 0; i < Windows1252High.size(); ++i) {
        if (Windows1252High[i] != 0 && Windows1252High[i] == cp)
            return int(0x80 + i);
    }
    return -1;
}

bool isControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

void appendReference(QByteArray &out, char32_t cp)
{
    out += "&#";
    out += QByteArray::number(uint(cp));
    out += ';';
}

} // namespace

QByteArray LogFileBytes(const QString &markup)
{
    QByteArray out;
    out.reserve(markup.size());
    const qsizetype n = markup.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = markup.at(i).unicode();
        char32_t cp = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(markup.at(i + 1).unicode())) {
            cp = QChar::surrogateToUcs4(u, markup.at(i + 1).unicode());
            ++i;
        } else if (QChar::isSurrogate(u)) {
            // A lone surrogate: a byte of a name that was not UTF-8.
            cp = ReplacementCharacter;
        }
        if (cp != '\t' && isControl(cp))
            cp = ReplacementCharacter;
        const int byte = windows1252Byte(cp);
        if (byte >= 0)
            out += char(byte);
        else
            appendReference(out, cp);
    }
    return out;
}

} // namespace vell
