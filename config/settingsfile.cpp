#include "config/settingsfile.h"

#include "config/folderprobe.h"
#include "platform/profile.h"
#include "base/programidentity.h"

#include <cmath>
#include <limits>

namespace vell {

namespace {

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Appends the run of ASCII digits at text[i..] to `out`; returns how many.
qsizetype takeDigits(const QString &text, qsizetype &i, QByteArray &out)
{
    const qsizetype start = i;
    while (i < text.size() && isAsciiDigit(text.at(i)))
        out += char(text.at(i++).unicode());
    return i - start;
}

// Reads one key; a missing or empty value gives `fallback`.
class KeyReader
{
public:
    KeyReader(const platform::Profile &profile, const QString &section) : m_profile(profile), m_section(section) {}

    [[nodiscard]] QString text(const QString &key, const QString &fallback = {}) const
    {
        const QString value = m_profile.value(m_section, key, QString());
        return value.isEmpty() ? fallback : value;
    }
    [[nodiscard]] bool flag(const QString &key, bool fallback) const { return FlagFromText(text(key, FlagText(fallback))); }
    [[nodiscard]] int32_t number(const QString &key, int32_t fallback) const
    {
        return IntegerFromText(text(key, QString::number(fallback)));
    }
    // A count that makes no sense below 1 (a stored 0 among others).
    [[nodiscard]] int32_t positive(const QString &key, int32_t fallback) const
    {
        const int32_t n = number(key, fallback);
        return n < 1 ? fallback : n;
    }

private:
    const platform::Profile &m_profile;
    const QString m_section;
};

platform::Profile loadProfile(const ProgramFiles &files)
{
    platform::Profile profile;
    (void)platform::Profile::load(files.settingsFile(), profile); // unreadable: every default, no message
    return profile;
}

void readConfiguration(const KeyReader &read, Settings &s)
{
    s.Langue = read.number(QStringLiteral("Langue"), 0);
    s.MiroirSousDossiers = read.flag(QStringLiteral("MiroirSousDossiers"), true);
    s.Effacement = read.flag(QStringLiteral("Effacement"), false);
    s.CopierAttributs = read.flag(QStringLiteral("CopierAttributs"), false);
    s.CopierSecurite = read.flag(QStringLiteral("CopierSecurite"), false);
    s.CopierSecuriteDossiers = read.flag(QStringLiteral("CopierSecuriteDossiers"), false);
    s.CopierSecuriteTout = read.flag(QStringLiteral("CopierSecuriteTout"), false);
    s.Temporisation = read.positive(QStringLiteral("Temporisation"), 10);
    s.Performance = read.positive(QStringLiteral("Performance"), 1);
    s.PrefixeCibleDefaut = read.text(QStringLiteral("PrefixeCibleDefaut"));
    s.PrefixeCibleDefautUNC = read.text(QStringLiteral("PrefixeCibleDefautUNC"));
    s.AfficherFichiers = read.flag(QStringLiteral("AfficherFichiers"), false);
    s.Automatique = read.flag(QStringLiteral("Automatique"), false);
    s.ArretAutomatique = read.flag(QStringLiteral("ArretAutomatique"), false);
    s.ErreurDossier = read.flag(QStringLiteral("ErreurDossier"), false);
    s.ErreurDossierSon = read.flag(QStringLiteral("ErreurDossierSon"), false);
    s.ErreurDossierNetSend = read.flag(QStringLiteral("ErreurDossierNetSend"), false);
    s.MessageNetSend = read.text(QStringLiteral("MessageNetSend"), Settings::DefaultMessageNetSend());
    s.ErreurDossierEventLog = read.flag(QStringLiteral("ErreurDossierEventLog"), false);
}

void readLogs(const KeyReader &read, const QString &programFolder, Settings &s)
{
    s.Logs = read.flag(QStringLiteral("Logs"), false);
    s.FichiersLogs = read.flag(QStringLiteral("FichiersLogs"), false);
    const QString pathLogs = read.text(QStringLiteral("PathLogs"));
    s.PathLogs = FolderExists(pathLogs) ? pathLogs : programFolder;
    s.PurgeLogs = read.flag(QStringLiteral("PurgeLogs"), false);
    s.DelaiLogs = read.positive(QStringLiteral("DelaiLogs"), 10);
}

} // namespace

QString MirrorSection(qsizetype position)
{
    return QStringLiteral("Mirror_") + QString::number(position);
}

int32_t IntegerFromText(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    QByteArray number;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+'))
        number += char(text.at(i++).unicode());
    qsizetype digits = takeDigits(text, i, number);
    if (i < text.size() && text.at(i) == u'.') {
        number += '.';
        ++i;
        digits += takeDigits(text, i, number);
    }
    if (digits == 0)
        return 0;
    // An exponent counts only when digits follow it ("2e" is 2).
    if (i + 1 < text.size() && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        QByteArray exponent("e");
        if (text.at(j) == u'-' || text.at(j) == u'+')
            exponent += char(text.at(j++).unicode());
        if (takeDigits(text, j, exponent) > 0)
            number += exponent;
    }
    bool ok = false;
    const double value = std::round(number.toDouble(&ok)); // C locale whatever the user's
    if (!ok && !std::isinf(value))
        return 0;
    if (value >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (value <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return int32_t(value);
}

Settings LoadSettings(const ProgramFiles &files)
{
    const platform::Profile profile = loadProfile(files);
    Settings s;
    readConfiguration(KeyReader(profile, SectionConfiguration), s);
    readLogs(KeyReader(profile, SectionLogs), files.ProgramFolder, s);
    return s;
}

int32_t LoadLangue(const ProgramFiles &files)
{
    return KeyReader(loadProfile(files), SectionConfiguration).number(QStringLiteral("Langue"), 0);
}

int WriteSetting(const ProgramFiles &files, const QString &section, const QString &key, const QString &text)
{
    return platform::writeProfileString(files.settingsFile(), section, key, text);
}

int WriteSettingFlag(const ProgramFiles &files, const QString &section, const QString &key, bool on)
{
    return WriteSetting(files, section, key, FlagText(on));
}

int WriteSettingNumber(const ProgramFiles &files, const QString &section, const QString &key, int32_t number)
{
    return WriteSetting(files, section, key, QString::number(number));
}

} // namespace vell
