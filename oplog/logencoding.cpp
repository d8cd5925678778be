#include "oplog/logencoding.h"

#include "platform/windows1252.h"

namespace vell {

namespace {

constexpr char32_t ReplacementCharacter = 0xFFFD;

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
        const int byte = Windows1252Byte(cp); // controls were replaced above
        if (byte >= 0)
            out += char(byte);
        else
            appendReference(out, cp);
    }
    return out;
}

} // namespace vell
