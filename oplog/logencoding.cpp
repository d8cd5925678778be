#include "oplog/logencoding.h"

#include "platform/windows1252.h"

#include <QList>

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
    // toUcs4() joins surrogate pairs and turns a lone surrogate (a byte of
    // a name that was not UTF-8) into U+FFFD.
    for (char32_t cp : markup.toUcs4()) {
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
