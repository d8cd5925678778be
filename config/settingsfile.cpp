#include "config/settingsfile.h"

#include "config/folderprobe.h"
#include "platform/profile.h"
#include "base/programidentity.h"

#include <algorithm>
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
    // A stored number where 0 (or no number at all) means the default.
    [[nodiscard]] int32_t nonZero(const QString &key, int32_t fallback) const
    {
        const int32_t n = number(key, fallback);
        return n == 0 ? fallback : n;
    }
    // A count that makes no sense below 1: a stored 0 or less is the default.
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
    s.Performance = read.nonZero(QStringLiteral("Performance"), 1); // below 1: no yield at all
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
    s.Surveillance = read.flag(QStringLiteral("Surveillance"), true);
    const int32_t delay = read.number(QStringLiteral("DelaiVerification"), Settings::DefaultDelaiVerification);
    s.DelaiVerification = delay >= 1 && delay <= Settings::MaxDelaiVerification ? delay
                                                                                : Settings::DefaultDelaiVerification;
    const int32_t copies = read.number(QStringLiteral("CopiesSimultanees"), 0);
    s.CopiesSimultanees = copies >= 0 && copies <= Settings::MaxCopiesSimultanees ? copies : 0;
}

void readLogs(const KeyReader &read, const QString &programFolder, Settings &s)
{
    s.Logs = read.flag(QStringLiteral("Logs"), false);
    s.FichiersLogs = read.flag(QStringLiteral("FichiersLogs"), false);
    const QString pathLogs = read.text(QStringLiteral("PathLogs"));
    s.PathLogs = FolderExists(pathLogs) ? pathLogs : programFolder;
    s.PurgeLogs = read.flag(QStringLiteral("PurgeLogs"), false);
    s.DelaiLogs = read.nonZero(QStringLiteral("DelaiLogs"), 10);
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
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+'))
        negative = text.at(i++) == u'-';
    QByteArray digits; // the mantissa's digits, the point left out
    const qsizetype whole = takeDigits(text, i, digits);
    if (i < text.size() && text.at(i) == u'.') {
        ++i;
        (void)takeDigits(text, i, digits);
    }
    if (digits.isEmpty())
        return 0;
    // An exponent counts only when digits follow it ("2e" is 2). Past a few
    // digits it only says "huge" or "tiny", so it stops growing there.
    int64_t exponent = 0;
    if (i + 1 < text.size() && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        const bool down = text.at(j) == u'-';
        if (down || text.at(j) == u'+')
            ++j;
        for (; j < text.size() && isAsciiDigit(text.at(j)); ++j)
            exponent = std::min<int64_t>(exponent * 10 + (text.at(j).unicode() - u'0'), 1'000'000);
        if (down)
            exponent = -exponent;
    }
    // Whole digits up to the point, the one after it rounds half away from
    // zero. The magnitude stops just past 32 bits, so nothing can wrap.
    constexpr int64_t Past = int64_t(std::numeric_limits<int32_t>::max()) + 2;
    const int64_t point = int64_t(whole) + exponent;
    const auto digitAt = [&](int64_t k) { return k >= 0 && k < digits.size() ? digits.at(k) - '0' : 0; };
    int64_t magnitude = 0;
    for (int64_t k = 0; k < point && magnitude < Past; ++k) {
        if (magnitude == 0 && k >= digits.size())
            break; // zeros times ten stay zero
        magnitude = std::min(magnitude * 10 + digitAt(k), Past);
    }
    if (digitAt(point) >= 5)
        ++magnitude;
    using Limits = std::numeric_limits<int32_t>;
    return int32_t(std::clamp<int64_t>(negative ? -magnitude : magnitude, Limits::min(), Limits::max()));
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
