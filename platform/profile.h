#pragma once

// INI files with the behaviour of the Windows profile functions, on Linux.
//
// Reading: section and key names compare without letter case; blanks around
// names and values are dropped; a value wholly in matching quotes (" or ')
// loses them; the first section of a name and the first key of a name in it
// win; at most ProfileValueMax characters are read back. Lines starting with
// ";" are comments. A line "key=" gives an empty value, not the default.
//
// Writing: one key at a time; only that key's line changes (or the key is
// added at the end of its section, or the section at the end of the file);
// every other line is kept byte for byte. Text is UTF-8 (bytes that are not
// valid UTF-8 survive through the path codec), new lines end in CR LF, and
// either line end is read. Every save goes through writeFileAtomically()
// (platform/wholefile.h).

#include <QByteArray>
#include <QList>
#include <QString>

namespace vell::platform {

// The profile functions read into a 255-character buffer.
constexpr qsizetype ProfileValueMax = 254;

// A profile file parsed once, so that many keys can be read or written with
// one read and one write of the file. Observable behaviour is the same as
// calling the per-key functions below one key at a time.
class Profile final
{
public:
    Profile() = default;

    // Parses the bytes of a profile file. Never fails: lines that are
    // neither section, key nor comment are kept and ignored.
    [[nodiscard]] static Profile fromBytes(const QByteArray &bytes);

    // Reads `path`. A missing file gives an empty profile and 0; any other
    // failure gives an empty profile and -errno.
    [[nodiscard]] static int load(const QString &path, Profile &out);

    // The value of `key` in `section`, or `defaultValue` when either is
    // missing. The result holds at most ProfileValueMax characters.
    [[nodiscard]] QString value(const QString &section, const QString &key, const QString &defaultValue) const;

    // Sets one key in memory. Fails with -EINVAL (and changes nothing) for a
    // name or value that the file format cannot hold: a line break anywhere,
    // an empty or "="-bearing key, a key starting with ";" or "[", a
    // section holding "]".
    [[nodiscard]] int setValue(const QString &section, const QString &key, const QString &value);

    [[nodiscard]] QByteArray toBytes() const;

    // Writes the profile to `path` atomically. Returns 0 or -errno.
    [[nodiscard]] int save(const QString &path) const;

private:
    enum class Kind { Other, Blank, Comment, Section, Key };
    struct Line
    {
        QByteArray raw; // the line as in the file, its line end included
        Kind kind = Kind::Other;
        QString name;   // section or key name, trimmed
        QString value;  // key value, trimmed, outer quotes removed
    };

    [[nodiscard]] static Line parseLine(const QByteArray &raw, bool first);
    [[nodiscard]] qsizetype findSection(const QString &section) const;
    [[nodiscard]] qsizetype sectionEnd(qsizetype header) const;
    [[nodiscard]] qsizetype findKey(qsizetype header, const QString &key) const;
    void insertLine(qsizetype at, const QString &text);

    QList<Line> m_lines;
};

// GetPrivateProfileString for one key: reads the file each call.
[[nodiscard]] QString readProfileString(const QString &path, const QString &section, const QString &key,
                                        const QString &defaultValue);

// WritePrivateProfileString for one key: reads, changes one line, saves
// atomically. Returns 0 or -errno; on failure the file is as it was.
[[nodiscard]] int writeProfileString(const QString &path, const QString &section, const QString &key,
                                     const QString &value);

} // namespace vell::platform
