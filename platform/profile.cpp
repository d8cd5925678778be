#include "platform/profile.h"

#include "platform/pathcodec.h"
#include "platform/wholefile.h"

#include <cerrno>

namespace vell::platform {

namespace {

const QByteArray LineEnd = QByteArrayLiteral("\r\n");
const QByteArray Utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

// Drops blanks (ASCII only, as the 8-bit profile functions do) at both ends.
QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// A value wholly in matching quotes loses them; a lone quote stays.
QString unquoted(const QString &value)
{
    if (value.size() >= 2) {
        const QChar q = value.front();
        if ((q == u'"' || q == u'\'') && value.back() == q)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

// The first ProfileValueMax characters, never splitting a surrogate pair.
QString truncatedValue(const QString &value)
{
    if (value.size() <= ProfileValueMax)
        return value;
    qsizetype units = 0;
    for (qsizetype chars = 0; chars < ProfileValueMax && units < value.size(); ++chars) {
        const bool pair = value.at(units).isHighSurrogate() && units + 1 < value.size()
                          && value.at(units + 1).isLowSurrogate();
        units += pair ? 2 : 1;
    }
    return value.left(units);
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool holdsLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

} // namespace

Profile::Line Profile::parseLine(const QByteArray &raw, bool first)
{
    QByteArray bytes = raw;
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    if (first && bytes.startsWith(Utf8Bom))
        bytes.remove(0, Utf8Bom.size());
    const QString text = trimBlanks(PathFromBytes(bytes));

    Line line;
    line.raw = raw;
    if (text.isEmpty()) {
        line.kind = Kind::Blank;
    } else if (text.startsWith(u';')) {
        line.kind = Kind::Comment;
    } else if (text.startsWith(u'[') && text.lastIndexOf(u']') > 0) {
        line.kind = Kind::Section;
        line.name = trimBlanks(text.mid(1, text.lastIndexOf(u']') - 1));
    } else if (const qsizetype eq = text.indexOf(u'='); eq > 0) {
        line.kind = Kind::Key;
        line.name = trimBlanks(text.left(eq));
        line.value = unquoted(trimBlanks(text.mid(eq + 1)));
        if (line.name.isEmpty())
            line.kind = Kind::Other;
    }
    return line;
}

Profile Profile::fromBytes(const QByteArray &bytes)
{
    Profile profile;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', start);
        const qsizetype end = nl < 0 ? bytes.size() : nl + 1;
        profile.m_lines.append(parseLine(bytes.mid(start, end - start), start == 0));
        start = end;
    }
    return profile;
}

int Profile::load(const QString &path, Profile &out)
{
    out = Profile();
    QByteArray bytes;
    const int r = readWholeFile(path, bytes);
    if (r == -ENOENT)
        return 0;
    if (r < 0)
        return r;
    out = fromBytes(bytes);
    return 0;
}

qsizetype Profile::findSection(const QString &section) const
{
    const QString wanted = trimBlanks(section);
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Section && sameName(m_lines[i].name, wanted))
            return i;
    }
    return -1;
}

qsizetype Profile::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && m_lines[i].kind != Kind::Section)
        ++i;
    return i;
}

qsizetype Profile::findKey(qsizetype header, const QString &key) const
{
    const QString wanted = trimBlanks(key);
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == Kind::Key && sameName(m_lines[i].name, wanted))
            return i;
    }
    return -1;
}

QString Profile::value(const QString &section, const QString &key, const QString &defaultValue) const
{
    const qsizetype header = findSection(section);
    const qsizetype line = header < 0 ? -1 : findKey(header, key);
    return truncatedValue(line < 0 ? defaultValue : m_lines[line].value);
}

void Profile::insertLine(qsizetype at, const QString &text)
{
    // A last line without its line end gets one before anything follows it.
    if (at > 0 && !m_lines[at - 1].raw.endsWith('\n'))
        m_lines[at - 1].raw += LineEnd;
    m_lines.insert(at, parseLine(PathToBytes(text) + LineEnd, at == 0));
}

int Profile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString sectionName = trimBlanks(section);
    const QString keyName = trimBlanks(key);
    if (holdsLineBreak(section) || holdsLineBreak(key) || holdsLineBreak(value) || sectionName.isEmpty()
        || sectionName.contains(u']') || keyName.isEmpty() || keyName.contains(u'=')
        || keyName.startsWith(u';') || keyName.startsWith(u'['))
        return -EINVAL;

    const qsizetype header = findSection(sectionName);
    if (header >= 0) {
        if (const qsizetype line = findKey(header, keyName); line >= 0) {
            // The key keeps the spelling it has in the file.
            const QString text = m_lines[line].name + u'=' + value;
            m_lines[line] = parseLine(PathToBytes(text) + LineEnd, line == 0);
            return 0;
        }
        // After the section's last line that is neither blank nor comment, so
        // that a blank line or a comment before the next section stays there.
        qsizetype at = header + 1;
        const qsizetype end = sectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i) {
            if (m_lines[i].kind != Kind::Comment && m_lines[i].kind != Kind::Blank)
                at = i + 1;
        }
        insertLine(at, keyName + u'=' + value);
        return 0;
    }
    if (!m_lines.isEmpty() && m_lines.back().kind != Kind::Blank)
        insertLine(m_lines.size(), QString());
    insertLine(m_lines.size(), u'[' + sectionName + u']');
    insertLine(m_lines.size(), keyName + u'=' + value);
    return 0;
}

QByteArray Profile::toBytes() const
{
    QByteArray bytes;
    for (const Line &line : m_lines)
        bytes += line.raw;
    return bytes;
}

int Profile::save(const QString &path) const
{
    return writeFileAtomically(path, toBytes());
}

QString readProfileString(const QString &path, const QString &section, const QString &key,
                          const QString &defaultValue)
{
    Profile profile;
    (void)Profile::load(path, profile); // an unreadable file reads as an empty one: defaults
    return profile.value(section, key, defaultValue);
}

int writeProfileString(const QString &path, const QString &section, const QString &key, const QString &value)
{
    Profile profile;
    // A file that exists but cannot be read must not be replaced by one key.
    if (const int r = Profile::load(path, profile); r < 0)
        return r;
    if (const int r = profile.setValue(section, key, value); r < 0)
        return r;
    return profile.save(path);
}

} // namespace vell::platform
