#include "config/folderpairsfile.h"

#include "config/folderprobe.h"
#include "config/settingsfile.h"
#include "platform/pathcodec.h"
#include "platform/profile.h"
#include "platform/wholefile.h"
#include "platform/systeminfo.h"
#include "base/language.h"
#include "base/programidentity.h"

#include <algorithm>
#include <cerrno>

namespace vell {

namespace {

const QString MissingMark = QStringLiteral("??? ");
const QString NoTargetMark = QStringLiteral("???");
const QString MacintoshIndent = QStringLiteral("      ");
const QString CrLf = QStringLiteral("\r\n");

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// One field of a couples line from `pos` on, quoted or bare, and the
// position after its comma. A line cut short gives empty fields.
QString takeField(const QString &line, qsizetype &pos)
{
    while (pos < line.size() && (line.at(pos) == u' ' || line.at(pos) == u'\t'))
        ++pos;
    QString field;
    const bool quoted = pos < line.size() && line.at(pos) == u'"';
    if (quoted) {
        const qsizetype close = line.indexOf(u'"', pos + 1);
        const qsizetype end = close < 0 ? line.size() : close;
        field = line.mid(pos + 1, end - pos - 1);
        pos = end + 1;
    }
    const qsizetype comma = line.indexOf(u',', pos);
    if (!quoted)
        field = line.mid(pos, (comma < 0 ? line.size() : comma) - pos).trimmed();
    pos = comma < 0 ? line.size() : comma + 1;
    return field;
}

// One line of the couples file that holds a couple, with its number.
struct CouplesLine
{
    qsizetype number = 0; // from 1, blank lines counted
    QString text;         // line end and surrounding blanks dropped
};

// The lines that hold something. A blank line makes no couple but keeps its
// number, so that every couple reads the section of its own line.
QList<CouplesLine> couplesLines(const QString &path)
{
    QByteArray bytes;
    if (platform::readWholeFile(path, bytes) < 0)
        return {}; // missing or unreadable: an empty list, no message
    QList<CouplesLine> lines;
    qsizetype number = 0;
    for (const QByteArray &raw : bytes.split('\n')) {
        ++number;
        const QString line = QString::fromLatin1(raw).trimmed(); // hex fields: ASCII only
        if (!line.isEmpty())
            lines.append({number, line});
    }
    return lines;
}

// The number of timer intervals a stored delay text stands for. A stored 0
// or less waits as 1 does (the countdown is then below 1 at every run);
// held to 64000, so that the countdown never leaves its range.
int32_t delayFromText(const QString &text)
{
    return std::clamp(IntegerFromText(text), 1, 64000);
}

FolderPair readModes(const platform::Profile &profile, qsizetype position)
{
    const QString section = MirrorSection(position);
    const auto flag = [&](const QString &key) {
        return FlagFromText(profile.value(section, key, FlagText(false)));
    };
    FolderPair pair;
    const QString delay = profile.value(section, QStringLiteral("NbTemporisations"), QString());
    pair.NbTemporisationsText = delay.isEmpty() ? QStringLiteral("1") : delay;
    pair.NbTemporisations = delayFromText(pair.NbTemporisationsText);
    pair.TemporisationsRestantes = pair.NbTemporisations;
    pair.Deplacer = flag(QStringLiteral("Deplacer"));
    pair.Renommer = flag(QStringLiteral("Renommer"));
    pair.Effacer = flag(QStringLiteral("Effacer"));
    pair.Nouveau = flag(QStringLiteral("Nouveau"));
    pair.SourceFileSystem = profile.value(section, SourceFileSystemKey, QString());
    return pair;
}

// The stored delay text: the text read or set when it still says the
// couple's number (so "01" stays "01" and "0" stays "0"), else the number.
QString storedDelayText(const FolderPair &pair)
{
    const QString &text = pair.NbTemporisationsText;
    const bool oneLine = !text.contains(u'\r') && !text.contains(u'\n');
    if (!text.isEmpty() && oneLine && delayFromText(text) == pair.NbTemporisations)
        return text;
    return QString::number(pair.NbTemporisations);
}

QString invalidHexMessage(const ProgramFiles &files)
{
    return QStringLiteral("Invalid hexa string in the parameters file") + CrLf + files.couplesFile();
}

// Marks, Macintosh flags, colours and delay picture of one couple.
CoupleRow rowFor(const FolderPair &pair, qsizetype position)
{
    CoupleRow row;
    row.position = position;
    row.sourceFound = FolderExists(pair.Source);
    row.sourceText = row.sourceFound ? pair.Source : MissingMark + pair.Source;
    if (pair.Cible.isEmpty()) {
        row.targetText = NoTargetMark;
    } else {
        row.targetFound = FolderExists(pair.Cible);
        row.targetText = row.targetFound ? pair.Cible : MissingMark + pair.Cible;
    }
    if (pair.Deplacer)
        row.sourceColour = ColourDeplacer;
    if (pair.Effacer)
        row.targetColour = ColourEffacer;
    if (pair.Nouveau)
        row.background = ColourNouveau;
    row.delay = pair.NbTemporisationsText == QLatin1String("1") ? DelayPicture::Default : DelayPicture::Specific;
    return row;
}

// The Macintosh marks of an existing folder, and the warning of a couple
// whose two existing folders disagree.
void markMacintosh(const FolderPair &pair, CoupleRow &row, FolderPairsLoad &load, int32_t langue)
{
    if (row.sourceFound && IsOnMacintoshVolume(pair.Source)) {
        row.sourceMacintosh = true;
        row.sourceText.prepend(MacintoshIndent);
    }
    if (row.targetFound && IsOnMacintoshVolume(pair.Cible)) {
        row.targetMacintosh = true;
        row.targetText.prepend(MacintoshIndent);
    }
    if (row.sourceFound && row.targetFound && row.sourceMacintosh != row.targetMacintosh) {
        load.macintoshWarning = MacintoshWarningText(
            row.sourceMacintosh ? MacintoshMismatch::SourceOnly : MacintoshMismatch::TargetOnly, langue);
    }
}

} // namespace

QString PathToHex(const QString &path, bool wide)
{
    QByteArray bytes;
    if (wide) {
        bytes.reserve(path.size() * 2);
        for (const QChar c : path) {
            bytes += char(c.unicode() & 0xFF);
            bytes += char(c.unicode() >> 8);
        }
    } else {
        bytes = PathToBytes(path);
    }
    return QString::fromLatin1(bytes.toHex().toUpper());
}

std::optional<QString> HexToPath(const QString &hex, bool wide)
{
    if (hex.size() % 2 != 0 || (wide && hex.size() % 4 != 0))
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(hex.size() / 2);
    for (qsizetype i = 0; i < hex.size(); i += 2) {
        const int high = hexDigit(hex.at(i));
        const int low = hexDigit(hex.at(i + 1));
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += char(high * 16 + low);
    }
    if (!wide)
        return bytes.contains('\0') ? std::nullopt : std::optional<QString>(PathFromBytes(bytes));
    QString path;
    path.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i < bytes.size(); i += 2)
        path += QChar(char16_t(uchar(bytes.at(i)) | (uchar(bytes.at(i + 1)) << 8)));
    // The system reads a path up to its first NUL: the rest would be lost
    // and another folder mirrored, or emptied, than the one stored.
    if (path.contains(QChar(0)))
        return std::nullopt;
    return path;
}

int FolderPairsLoad::exitStatus() const
{
    switch (end) {
    case LoadEnd::Loaded:
        return 0;
    case LoadEnd::FolderMissing:
        return 3;
    case LoadEnd::InvalidFile:
        return 1;
    }
    return 0;
}

FolderPairsLoad LoadFolderPairs(const ProgramFiles &files, const Settings &settings, const SystemInfo &system,
                                bool quitIfFolderMissing)
{
    FolderPairsLoad load;
    const QList<CouplesLine> lines = couplesLines(files.couplesFile());
    if (lines.isEmpty())
        return load;
    platform::Profile profile;
    (void)platform::Profile::load(files.settingsFile(), profile); // unreadable: default modes

    for (const CouplesLine &line : lines) {
        const qsizetype position = line.number;
        qsizetype pos = 0;
        const std::optional<QString> source = HexToPath(takeField(line.text, pos), system.IsNT);
        const std::optional<QString> target = HexToPath(takeField(line.text, pos), system.IsNT);
        if (!source || !target) {
            load.end = LoadEnd::InvalidFile;
            load.message = invalidHexMessage(files);
            return load;
        }
        FolderPair pair = readModes(profile, position);
        pair.Source = *source;
        pair.Cible = *target;
        load.pairs.append(pair);

        CoupleRow row = rowFor(pair, position);
        if (quitIfFolderMissing && (!row.sourceFound || !row.targetFound)) {
            load.end = LoadEnd::FolderMissing;
            return load;
        }
        if (system.IsNT)
            markMacintosh(pair, row, load, settings.Langue);
        load.rows.append(row);
    }
    load.showMacintoshWarning = !load.macintoshWarning.isEmpty() && !settings.Automatique;
    return load;
}

int SaveFolderPairs(const ProgramFiles &files, const FolderPairList &pairs, const SystemInfo &system)
{
    QByteArray couples;
    for (const FolderPair &pair : pairs) {
        // It would not load again (HexToPath refuses it): keep the old files.
        if (pair.Source.contains(QChar(0)) || pair.Cible.contains(QChar(0)))
            return -EINVAL;
        couples += '"' + PathToHex(pair.Source, system.IsNT).toLatin1() + "\",\""
                   + PathToHex(pair.Cible, system.IsNT).toLatin1() + "\"\r\n";
    }
    // Modes written for a list whose couples file kept its old lines would
    // land on the wrong couples: both files stay as they were.
    if (const int r = platform::writeFileAtomically(files.couplesFile(), couples); r < 0)
        return r;

    platform::Profile profile;
    // A settings file that exists but cannot be read is not replaced.
    if (const int r = platform::Profile::load(files.settingsFile(), profile); r < 0)
        return r;
    for (qsizetype k = 1; k <= pairs.size(); ++k) {
        const FolderPair &pair = pairs.at(k - 1);
        const QString section = MirrorSection(k);
        // Constant keys and "0"/"1"/digit texts: setValue cannot refuse them.
        (void)profile.setValue(section, QStringLiteral("NbTemporisations"), storedDelayText(pair));
        (void)profile.setValue(section, QStringLiteral("Deplacer"), FlagText(pair.Deplacer));
        (void)profile.setValue(section, QStringLiteral("Renommer"), FlagText(pair.Renommer));
        (void)profile.setValue(section, QStringLiteral("Effacer"), FlagText(pair.Effacer));
        (void)profile.setValue(section, QStringLiteral("Nouveau"), FlagText(pair.Nouveau));
        // Written when known, and cleared where a couple that moved up would
        // take the file system another couple left in this section.
        if (!pair.SourceFileSystem.isEmpty() || !profile.value(section, SourceFileSystemKey, {}).isEmpty())
            (void)profile.setValue(section, SourceFileSystemKey, pair.SourceFileSystem);
    }
    return pairs.isEmpty() ? 0 : profile.save(files.settingsFile());
}

QString MacintoshWarningText(MacintoshMismatch mismatch, int32_t langue)
{
    static constexpr Trilingual SourceOnly{
        "ATTENTION: Un dossier source appartient à un volume Macintosh\r\n"
        "mais le dossier cible corrrespondant n'appartient pas à un volume Macintosh",
        "WARNING: A source folder belongs to a Macintosh volume\r\n"
        "but the corresponding target folder does not belong to a Macintosh volume",
        "ATENÇÃO: Uma pasta de entrada está num volume Macintosh\r\n"
        "mas a pasta de saída não"};
    static constexpr Trilingual TargetOnly{
        "ATTENTION: Un dossier cible appartient à un volume Macintosh\r\n"
        "mais le dossier source corrrespondant n'appartient pas à un volume Macintosh",
        "WARNING: A target folder belongs to a Macintosh volume\r\n"
        "but the corresponding source folder does not belong to a Macintosh volume",
        "ATENÇÃO: Uma pasta de saída está num volume Macintosh\r\n"
        "mas a pasta de entrada não"};
    return (mismatch == MacintoshMismatch::SourceOnly ? SourceOnly : TargetOnly).in(langue);
}

} // namespace vell
