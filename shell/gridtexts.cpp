#include "shell/gridtexts.h"

#include "base/language.h"
#include "platform/fileops.h"
#include "platform/pathcodec.h"
#include "platform/uniquefd.h"

namespace vell {

QString DelayTimeText(int64_t seconds)
{
    const int64_t s = seconds % 60;
    int64_t m = seconds / 60;
    int64_t h = 0;
    if (m >= 60) {
        h = m / 60;
        m %= 60;
    }
    const QString tail = QString::number(s) + QStringLiteral(" s");
    if (h > 0)
        return QString::number(h) + QStringLiteral(" h ") + QString::number(m) + QStringLiteral(" min ") + tail;
    if (m > 0)
        return QString::number(m) + QStringLiteral(" min ") + tail;
    return tail;
}

namespace {

// The mode texts have French and English only; Portuguese reads the French.
QString modeText(const Trilingual &text, int32_t langue)
{
    return text.in(langue == 2 ? Language::French : LanguageOf(langue));
}

QString modeTexts(const FolderPair &pair, int32_t langue, bool isNT)
{
    if (pair.Deplacer) {
        QString text = modeText({"; déplacer les fichiers", "; move files"}, langue);
        if (isNT && pair.Renommer)
            text += modeText({" et renommer les fichiers Macintosh", " and rename Macintosh files"}, langue);
        return text;
    }
    const QString removal = pair.Effacer
        ? modeText({"; supprimer les fichiers cibles obsolètes", "; remove old target files"}, langue)
        : modeText({"; conserver tous les fichiers cibles", "; keep all target files"}, langue);
    const QString update = pair.Nouveau
        ? modeText({"; mettre à jour si source plus récent que cible", "; update if source file newer than target file"},
                   langue)
        : modeText({"; mettre à jour si source et cible sont différents",
                    "; update if source and taget files are different"},
                   langue);
    return removal + update;
}

} // namespace

QString HoverDescription(const QString &sourceText, const QString &targetText, const FolderPair &pair,
                         int32_t temporisation, int32_t langue, bool isNT)
{
    const int64_t intervals = pair.NbTemporisations < 1 ? 1 : pair.NbTemporisations;
    const int64_t seconds = int64_t(temporisation) * intervals;
    return sourceText.trimmed() + QStringLiteral(" -> ") + targetText.trimmed() + QStringLiteral("\r\nT = ")
        + DelayTimeText(seconds) + modeTexts(pair, langue, isNT);
}

QString FormatSize(int32_t bytes, const QLocale &locale)
{
    const QString exact = locale.toString(bytes) + QStringLiteral(" bytes");
    if (bytes < 1024)
        return exact;
    // The patterns "0.00", "0.0" and "0" have no thousands separator.
    QLocale plain = locale;
    plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    const int32_t k = bytes / 1024;
    const double kb = bytes / 1024.0;
    const double mb = bytes / 1048576.0;
    QString text;
    if (k < 10)
        text = plain.toString(kb, 'f', 2) + QStringLiteral("KB");
    else if (k < 100)
        text = plain.toString(kb, 'f', 1) + QStringLiteral("KB");
    else if (k < 1000)
        text = plain.toString(kb, 'f', 0) + QStringLiteral("KB");
    else if (k < 10000)
        text = plain.toString(mb, 'f', 2) + QStringLiteral("MB");
    else if (k < 100000)
        text = plain.toString(mb, 'f', 1) + QStringLiteral("MB");
    else if (k < 1000000)
        text = plain.toString(mb, 'f', 0) + QStringLiteral("MB");
    else
        text = plain.toString(mb / 1024.0, 'f', 2) + QStringLiteral("GB");
    return text + QStringLiteral(" (") + exact + QLatin1Char(')');
}

QString FileCountText(qsizetype count, const QString &folderText, int32_t langue)
{
    return QString::number(count)
        + Trilingual{" fichiers/dossiers dans ", " files/folders in ", " ficheiros/pastas na "}.in(langue)
        + folderText.trimmed();
}

QString FolderItemTooltip(const QString &itemText, int32_t langue)
{
    return Trilingual{"dossier ", "folder ", "pasta "}.in(langue) + itemText;
}

QString FileItemTooltip(const QString &itemText, int32_t bytes, const QLocale &locale)
{
    return itemText + QStringLiteral("   ") + FormatSize(bytes, locale);
}

QList<FolderItem> FolderItems(const QString &path)
{
    if (path.isEmpty())
        return {};
    const platform::UniqueFd folder(platform::openFolderPath(PathToBytes(path)));
    if (folder.get() < 0)
        return {};
    std::vector<platform::EntryInfo> entries;
    (void)platform::listFolder(folder.get(), entries, false); // what could be read is shown
    QList<FolderItem> items;
    items.reserve(qsizetype(entries.size()));
    for (const platform::EntryInfo &entry : entries) {
        const QString name = PathFromBytes(entry.name);
        if (entry.kind == platform::EntryKind::Folder)
            items.append({QLatin1Char('[') + name + QLatin1Char(']'), -1});
        else
            items.append({name, int32_t(uint32_t(entry.size & 0xFFFFFFFFu))});
    }
    return items;
}

} // namespace vell
