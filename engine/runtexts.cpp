#include "engine/runtexts.h"

#include "base/programidentity.h"

namespace vell {

namespace {

enum class Language { French, Portuguese, English };

Language languageOf(int32_t langue)
{
    return langue == 1 ? Language::French : langue == 2 ? Language::Portuguese : Language::English;
}

// A word is plural when its number is greater than 1 (0 and 1 are singular).
QString counted(qint64 n, const char *singular, const char *plural)
{
    return QString::number(n) + QString::fromUtf8(n > 1 ? plural : singular);
}

QString pick(qint64 n, const char *singular, const char *plural)
{
    return QString::fromUtf8(n > 1 ? plural : singular);
}

QString line1(const RunTotals &t, Language language, const QString &date, const QString &time)
{
    switch (language) {
    case Language::French:
        return date + QStringLiteral(" à ") + time + QStringLiteral("; ")
            + counted(t.FilesExamined, " fichier dans ", " fichiers dans ")
            + counted(t.CouplesCounted, " dossier source (", " dossiers sources (")
            + counted(t.InvalidSources, " dossier source invalide; ", " dossiers sources invalides; ")
            + counted(t.InvalidTargets, " dossier cible invalide)", " dossiers cibles invalides)");
    case Language::Portuguese:
        return date + QStringLiteral(" às ") + time + QStringLiteral("; ")
            + counted(t.FilesExamined, " ficheiro ", " ficheiros ") + pick(t.CouplesCounted, "na ", "nas ")
            + counted(t.CouplesCounted, " pasta de entrada (", " pastas de entrada (")
            + counted(t.InvalidSources, " pasta de entrada desconhecida; ", " pastas de entrada desconhecidas; ")
            + counted(t.InvalidTargets, " pasta de saída desconhecida)", " pastas de saída desconhecidas)");
    case Language::English:
        break;
    }
    return date + QStringLiteral(" - ") + time + QStringLiteral("; ")
        + counted(t.FilesExamined, " file in ", " files in ")
        + counted(t.CouplesCounted, " source folder (", " source folders (")
        + counted(t.InvalidSources, " invalid source folder; ", " invalid source folders; ")
        + counted(t.InvalidTargets, " invalid target folder)", " invalid target folders)");
}

QString filesPart(const RunTotals &t, Language language)
{
    switch (language) {
    case Language::French:
        return QStringLiteral("Fichiers: ") + counted(t.FilesCreated, " créé, ", " créés, ")
            + counted(t.FilesModified, " modifié, ", " modifiés, ") + counted(t.FilesRemoved, " supprimé", " supprimés");
    case Language::Portuguese:
        return QStringLiteral("Ficheiros: ") + counted(t.FilesCreated, " criado, ", " criados, ")
            + counted(t.FilesModified, " modificado, ", " modificados, ")
            + counted(t.FilesRemoved, " suprimido", " suprimidos");
    case Language::English:
        break;
    }
    return QStringLiteral("Files: ") + QString::number(t.FilesCreated) + QStringLiteral(" created, ")
        + QString::number(t.FilesModified) + QStringLiteral(" modified, ") + QString::number(t.FilesRemoved)
        + QStringLiteral(" removed");
}

QString foldersPart(const RunTotals &t, Language language)
{
    switch (language) {
    case Language::French:
        return QStringLiteral("; Dossiers: ") + counted(t.FoldersCreated, " créé, ", " créés, ")
            + counted(t.FoldersRemoved, " supprimé", " supprimés");
    case Language::Portuguese:
        return QStringLiteral("; Pastas: ") + counted(t.FoldersCreated, " criada, ", " criadas, ")
            + counted(t.FoldersRemoved, " suprimida", " suprimidas");
    case Language::English:
        break;
    }
    return QStringLiteral("; Folders: ") + QString::number(t.FoldersCreated) + QStringLiteral(" created, ")
        + QString::number(t.FoldersRemoved) + QStringLiteral(" removed");
}

QString securitiesPart(const RunTotals &t, Language language)
{
    switch (language) {
    case Language::French:
        return QStringLiteral("; Sécurités: ") + counted(t.SecuritiesCopied, " copiée, ", " copiées, ")
            + counted(t.SecuritiesNotCopied, " non copiée", " non copiées");
    case Language::Portuguese:
        return QStringLiteral("; Seguridades: ") + counted(t.SecuritiesCopied, " copiada, ", " copiadas, ")
            + counted(t.SecuritiesNotCopied, " naõ copiada", " naõ copiadas");
    case Language::English:
        break;
    }
    return QStringLiteral("; Securities: ") + QString::number(t.SecuritiesCopied) + QStringLiteral(" copied, ")
        + QString::number(t.SecuritiesNotCopied) + QStringLiteral(" not copied");
}

QString attributesPart(const RunTotals &t, Language language)
{
    const char *label = language == Language::French       ? "; Attributs: "
                        : language == Language::Portuguese ? "; Attributos: "
                                                           : "; Attributes: ";
    return QString::fromUtf8(label) + QString::number(t.AttributesCopied);
}

QString durationPart(qint64 elapsedMs, Language language, const QLocale &locale)
{
    QString seconds = QString::number(double(elapsedMs) / 1000.0, 'f', 2);
    seconds.replace(QLatin1Char('.'), locale.decimalPoint());
    const char *label = language == Language::French       ? "; durée "
                        : language == Language::Portuguese ? "; duração "
                                                           : "; elapsed time ";
    return QString::fromUtf8(label) + seconds + QStringLiteral(" s");
}

} // namespace

QString UnknownFolderText(bool source, int32_t langue)
{
    switch (languageOf(langue)) {
    case Language::French:
        return source ? QStringLiteral(" - Dossier source inconnu") : QStringLiteral(" - Dossier cible inconnu");
    case Language::Portuguese:
        return source ? QStringLiteral(" - Pasta de entrada desconhecida")
                      : QStringLiteral(" - Pasta de saída desconhecida");
    case Language::English:
        break;
    }
    return source ? QStringLiteral(" - Unknown source folder") : QStringLiteral(" - Unknown target folder");
}

SummaryLines BuildSummaryLines(const RunTotals &totals, const Settings &settings, bool isNT, const QDateTime &end,
                               qint64 elapsedMs, const QLocale &locale)
{
    const Language language = languageOf(settings.Langue);
    const QString date = locale.toString(end.date(), QLocale::LongFormat);
    const QString time = end.time().toString(QStringLiteral("HH:mm:ss"));
    SummaryLines lines;
    lines.line1 = line1(totals, language, date, time);
    lines.line2 = filesPart(totals, language);
    if (settings.MiroirSousDossiers)
        lines.line2 += foldersPart(totals, language);
    if (isNT && settings.CopierSecurite)
        lines.line2 += securitiesPart(totals, language);
    if (settings.CopierAttributs)
        lines.line2 += attributesPart(totals, language);
    lines.line2 += durationPart(elapsedMs, language, locale);
    return lines;
}

QString TrayTip(int state, int32_t langue)
{
    const QString base = ProductName + QLatin1Char(' ') + VersionText;
    const Language language = languageOf(langue);
    if (state == 1)
        return base + (language == Language::French       ? QStringLiteral(" - Miroir")
                       : language == Language::Portuguese ? QStringLiteral(" - Miror")
                                                          : QStringLiteral(" - Mirror"));
    if (state == 2)
        return base + (language == Language::French       ? QStringLiteral(" - Attente")
                       : language == Language::Portuguese ? QStringLiteral(" - Espera")
                                                          : QStringLiteral(" - Wait"));
    return base;
}

QString StartStopTooltip(bool running, int32_t langue)
{
    switch (languageOf(langue)) {
    case Language::French:
        return running ? QStringLiteral("Arrêter le miroir")
                       : QStringLiteral("Démarrer le miroir des dossiers sources vers les dossiers cibles");
    case Language::Portuguese:
        return running ? QStringLiteral("Parar o miror")
                       : QStringLiteral("Começar o miror das pastas de entrada para as pastas de saída");
    case Language::English:
        break;
    }
    return running ? QStringLiteral("Stop mirroring") : QStringLiteral("Start mirroring from source folders to target folders");
}

QString StartStopCaption(bool running, int32_t langue)
{
    switch (languageOf(langue)) {
    case Language::French:
        return running ? QStringLiteral("&Arrêter le miroir") : QStringLiteral("&Démarrer le miroir");
    case Language::Portuguese:
        return running ? QStringLiteral("&Parar o miror") : QStringLiteral("&Começar o miror");
    case Language::English:
        break;
    }
    return running ? QStringLiteral("&Stop mirroring") : QStringLiteral("&Start mirroring");
}

} // namespace vell
