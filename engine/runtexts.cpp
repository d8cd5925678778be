#include "engine/runtexts.h"

#include "base/language.h"
#include "base/programidentity.h"

namespace vell {

namespace {

// A word after a number: plural when the number is greater than 1 (0 and
// 1 take the singular).
struct CountedWord
{
    Trilingual singular;
    Trilingual plural;

    [[nodiscard]] QString after(qint64 n, Language language) const
    {
        return QString::number(n) + word(n, language);
    }
    [[nodiscard]] QString word(qint64 n, Language language) const
    {
        return (n > 1 ? plural : singular).in(language);
    }
};

const CountedWord FilesIn{{" fichier dans ", " file in ", " ficheiro "}, {" fichiers dans ", " files in ", " ficheiros "}};
// Portuguese puts its preposition before the number of couples.
const CountedWord CouplesPreposition{{"", "", "na "}, {"", "", "nas "}};
const CountedWord SourceFolders{{" dossier source (", " source folder (", " pasta de entrada ("},
                                {" dossiers sources (", " source folders (", " pastas de entrada ("}};
const CountedWord InvalidSources{
    {" dossier source invalide; ", " invalid source folder; ", " pasta de entrada desconhecida; "},
    {" dossiers sources invalides; ", " invalid source folders; ", " pastas de entrada desconhecidas; "}};
const CountedWord InvalidTargets{
    {" dossier cible invalide)", " invalid target folder)", " pasta de saída desconhecida)"},
    {" dossiers cibles invalides)", " invalid target folders)", " pastas de saída desconhecidas)"}};

const Trilingual DateTimeSeparator{" à ", " - ", " às "};
const Trilingual FilesLabel{"Fichiers: ", "Files: ", "Ficheiros: "};
const CountedWord FilesCreated{{" créé, ", " created, ", " criado, "}, {" créés, ", " created, ", " criados, "}};
const CountedWord FilesModified{{" modifié, ", " modified, ", " modificado, "},
                                {" modifiés, ", " modified, ", " modificados, "}};
const CountedWord FilesRemoved{{" supprimé", " removed", " suprimido"}, {" supprimés", " removed", " suprimidos"}};
const Trilingual FoldersLabel{"; Dossiers: ", "; Folders: ", "; Pastas: "};
const CountedWord FoldersCreated{{" créé, ", " created, ", " criada, "}, {" créés, ", " created, ", " criadas, "}};
const CountedWord FoldersRemoved{{" supprimé", " removed", " suprimida"}, {" supprimés", " removed", " suprimidas"}};
const Trilingual SecuritiesLabel{"; Sécurités: ", "; Securities: ", "; Seguridades: "};
const CountedWord SecuritiesCopied{{" copiée, ", " copied, ", " copiada, "}, {" copiées, ", " copied, ", " copiadas, "}};
const CountedWord SecuritiesNotCopied{{" non copiée", " not copied", " naõ copiada"},
                                      {" non copiées", " not copied", " naõ copiadas"}};
const Trilingual AttributesLabel{"; Attributs: ", "; Attributes: ", "; Attributos: "};
const Trilingual DurationLabel{"; durée ", "; elapsed time ", "; duração "};

const CountedWord Failures{{" échec, repris au prochain miroir; voir ", " failure, tried again at the next run; see ",
                            " falha, repetida no próximo miror; ver "},
                           {" échecs, repris au prochain miroir; voir ", " failures, tried again at the next run; see ",
                            " falhas, repetidas no próximo miror; ver "}};
const Trilingual SystemJournal{"le journal du système (journalctl -t Vell)", "the system journal (journalctl -t Vell)",
                               "o jornal do sistema (journalctl -t Vell)"};

const Trilingual UnknownSource{" - Dossier source inconnu", " - Unknown source folder",
                               " - Pasta de entrada desconhecida"};
const Trilingual UnknownTarget{" - Dossier cible inconnu", " - Unknown target folder", " - Pasta de saída desconhecida"};
const Trilingual NotMountedReasons[] = {
    {" (vide, son disque n'est pas monté)", " (empty, its disk is not mounted)", " (vazia, o disco não está montado)"},
    {" (vide, sur un autre système de fichiers qu'au dernier miroir)",
     " (empty, on another file system than at the last run)",
     " (vazia, noutro sistema de ficheiros que no último miror)"},
};

// Indexed by WatchFallback::Reason; %1 and %2 as the reason says.
const Trilingual WatchFallbacks[] = {
    {"Dossiers non surveillés (système de fichiers %1), chaque miroir les relit tous",
     "Folders not watched (file system %1), every run reads them all",
     "Pastas não vigiadas (sistema de ficheiros %1), cada miror lê-as todas"},
    {"Trop de dossiers à surveiller (%1 surveillances nécessaires, %2 disponibles d'après "
     "/proc/sys/fs/inotify/max_user_watches), chaque miroir les relit tous",
     "Too many folders to watch (%1 watches needed, %2 available from /proc/sys/fs/inotify/max_user_watches), "
     "every run reads them all",
     "Demasiadas pastas a vigiar (%1 vigilâncias necessárias, %2 disponíveis segundo "
     "/proc/sys/fs/inotify/max_user_watches), cada miror lê-as todas"},
    {"Trop de dossiers à surveiller (plus de %2 en tout), chaque miroir les relit tous",
     "Too many folders to watch (more than %2 in all), every run reads them all",
     "Demasiadas pastas a vigiar (mais de %2 no total), cada miror lê-as todas"},
    {"Dossiers non surveillés (le système a refusé : %1), chaque miroir les relit tous",
     "Folders not watched (the system refused: %1), every run reads them all",
     "Pastas não vigiadas (o sistema recusou: %1), cada miror lê-as todas"},
};

const Trilingual TrayTips[] = {{"", "", ""}, {" - Miroir", " - Mirror", " - Miror"}, {" - Attente", " - Wait", " - Espera"}};
const Trilingual StartStopTooltips[] = {
    {"Démarrer le miroir des dossiers sources vers les dossiers cibles",
     "Start mirroring from source folders to target folders",
     "Começar o miror das pastas de entrada para as pastas de saída"},
    {"Arrêter le miroir", "Stop mirroring", "Parar o miror"},
};
const Trilingual StartStopCaptions[] = {
    {"&Démarrer le miroir", "&Start mirroring", "&Começar o miror"},
    {"&Arrêter le miroir", "&Stop mirroring", "&Parar o miror"},
};

QString line1(const RunTotals &t, Language language, const QString &date, const QString &time)
{
    return date + DateTimeSeparator.in(language) + time + QStringLiteral("; ") + FilesIn.after(t.FilesExamined, language)
        + CouplesPreposition.word(t.CouplesCounted, language) + SourceFolders.after(t.CouplesCounted, language)
        + InvalidSources.after(t.InvalidSources, language) + InvalidTargets.after(t.InvalidTargets, language);
}

QString line2(const RunTotals &t, const Settings &settings, bool isNT, Language language, const QString &seconds)
{
    QString line = FilesLabel.in(language) + FilesCreated.after(t.FilesCreated, language)
        + FilesModified.after(t.FilesModified, language) + FilesRemoved.after(t.FilesRemoved, language);
    if (settings.MiroirSousDossiers)
        line += FoldersLabel.in(language) + FoldersCreated.after(t.FoldersCreated, language)
            + FoldersRemoved.after(t.FoldersRemoved, language);
    if (isNT && settings.CopierSecurite)
        line += SecuritiesLabel.in(language) + SecuritiesCopied.after(t.SecuritiesCopied, language)
            + SecuritiesNotCopied.after(t.SecuritiesNotCopied, language);
    if (settings.CopierAttributs)
        line += AttributesLabel.in(language) + QString::number(t.AttributesCopied);
    return line + DurationLabel.in(language) + seconds + QStringLiteral(" s");
}

} // namespace

QString UnknownFolderText(bool source, int32_t langue)
{
    return (source ? UnknownSource : UnknownTarget).in(langue);
}

QString NotMountedText(NotMountedReason reason, int32_t langue)
{
    return NotMountedReasons[int(reason)].in(langue);
}

QString WatchFallbackText(const WatchFallback &why, int32_t langue)
{
    const QString text = WatchFallbacks[int(why.reason)].in(langue);
    switch (why.reason) {
    case WatchFallback::Reason::FileSystem:
    case WatchFallback::Reason::Refused:
        return text.arg(why.detail);
    case WatchFallback::Reason::TooManyWatches:
        return text.arg(why.needed).arg(why.available);
    case WatchFallback::Reason::TooManyFolders:
        break;
    }
    return text.arg(why.available); // its only marker is %2
}

SummaryLines BuildSummaryLines(const RunTotals &totals, const Settings &settings, bool isNT, const QDateTime &end,
                               qint64 elapsedMs, const QString &failuresPlace, const QLocale &locale)
{
    const Language language = LanguageOf(settings.Langue);
    const QString date = locale.toString(end.date(), QLocale::LongFormat);
    const QString time = end.time().toString(QStringLiteral("HH:mm:ss"));
    QString seconds = QString::number(double(elapsedMs) / 1000.0, 'f', 2);
    seconds.replace(QLatin1Char('.'), locale.decimalPoint());
    SummaryLines lines;
    lines.line1 = line1(totals, language, date, time);
    lines.line2 = line2(totals, settings, isNT, language, seconds);
    if (totals.Failures > 0)
        lines.line3 = Failures.after(totals.Failures, language)
            + (failuresPlace.isEmpty() ? SystemJournal.in(language) : failuresPlace);
    return lines;
}

QString TrayTip(int state, int32_t langue)
{
    const QString base = ProductName + QLatin1Char(' ') + VersionText;
    return state == 1 || state == 2 ? base + TrayTips[state].in(langue) : base;
}

QString StartStopTooltip(bool running, int32_t langue)
{
    return StartStopTooltips[running ? 1 : 0].in(langue);
}

QString StartStopCaption(bool running, int32_t langue)
{
    return StartStopCaptions[running ? 1 : 0].in(langue);
}

} // namespace vell
