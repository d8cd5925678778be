#include "oplog/logsettings.h"

#include "base/language.h"
#include "base/programidentity.h"
#include "config/folderprobe.h"
#include "config/settingsfile.h"
#include "platform/profile.h"

#include <QStorageInfo>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vell {

namespace {

const Trilingual CancelText{"&Annuler", "&Cancel", "&Cancelar"};

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Loads the settings file, sets every key of section Logs and saves it
// whole, so that a failure leaves the file as it was.
int writeLogKeys(const ProgramFiles &files, const QList<std::pair<QString, QString>> &keys)
{
    platform::Profile profile;
    if (const int rc = platform::Profile::load(files.settingsFile(), profile); rc < 0)
        return rc; // an unreadable file is not replaced by a few keys
    for (const auto &[key, value] : keys)
        if (const int rc = profile.setValue(SectionLogs, key, value); rc < 0)
            return rc;
    return profile.save(files.settingsFile());
}

} // namespace

QString LogDialogTitle() { return ProductName + QLatin1Char(' ') + VersionText; }

QList<Caption> PathLogsCaptions(int32_t langue)
{
    const Language l = LanguageOf(langue);
    return {
        {QStringLiteral("frmPathLogs"), CaptionProperty::Text, LogDialogTitle()},
        {QStringLiteral("chkLogs"), CaptionProperty::Text,
         Trilingual{"Archiver quotidiennement les opérations de miroir", "Archive mirroring operations in daily Log files",
                    "Registrar diáriamente as operações no jornal"}.in(l)},
        {QStringLiteral("chkFichiersLogs"), CaptionProperty::Text,
         Trilingual{"Journaliser les noms des fichiers et dossiers répliqués", "Record files and folders names in Log files",
                    "Registrar os nomes dos ficheiros e pastas nos jornais"}.in(l)},
        {QStringLiteral("lblTitre"), CaptionProperty::Text,
         Trilingual{"Les journaux sont stockés dans le dossier:", "Log files are stored in the following folder",
                    "Os jornais estão arquivados na pasta:"}.in(l)},
        {QStringLiteral("cmdOK"), CaptionProperty::Text, QStringLiteral("OK")},
        {QStringLiteral("cmdAnnuler"), CaptionProperty::Text, CancelText.in(l)},
    };
}

QString InitialLogFolder(const QString &pathLogs, const QString &programFolder)
{
    return FolderExists(pathLogs) ? pathLogs : programFolder;
}

QStringList LogFolderDrives()
{
    QStringList drives{QStringLiteral("/")};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && !drives.contains(volume.rootPath()))
            drives.append(volume.rootPath());
    std::sort(drives.begin(), drives.end());
    return drives;
}

QString DriveOf(const QString &folder)
{
    const QStorageInfo volume(folder);
    return volume.isValid() ? volume.rootPath() : QStringLiteral("/");
}

int StoreLogFolder(const ProgramFiles &files, Settings &settings, bool logs, bool fichiersLogs, const QString &pathLogs)
{
    const int rc = writeLogKeys(files, {{QStringLiteral("Logs"), FlagText(logs)},
                                        {QStringLiteral("FichiersLogs"), FlagText(fichiersLogs)},
                                        {QStringLiteral("PathLogs"), pathLogs}});
    if (rc < 0)
        return rc;
    settings.Logs = logs;
    settings.FichiersLogs = fichiersLogs;
    settings.PathLogs = pathLogs;
    return 0;
}

QList<Caption> PurgeLogsCaptions(int32_t langue)
{
    const Language l = LanguageOf(langue);
    return {
        {QStringLiteral("frmPurgeLogs"), CaptionProperty::Text, LogDialogTitle()},
        {QStringLiteral("chkPurgeLogs"), CaptionProperty::Text,
         Trilingual{"Effacer automatiquement les journaux après...", "Remove Log files automatically after...",
                    "Suprimir automáticamente os jornais depois de..."}.in(l)},
        {QStringLiteral("lblJours"), CaptionProperty::Text, Trilingual{"jours", "days", "dias"}.in(l)},
        {QStringLiteral("cmdOK"), CaptionProperty::Text, QStringLiteral("OK")},
        {QStringLiteral("cmdAnnuler"), CaptionProperty::Text, CancelText.in(l)},
    };
}

double LeadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    QByteArray number;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+'))
        number += char(text.at(i++).unicode());
    qsizetype digits = 0;
    for (; i < text.size() && isAsciiDigit(text.at(i)); ++i, ++digits)
        number += char(text.at(i).unicode());
    if (i < text.size() && text.at(i) == u'.') {
        number += '.';
        for (++i; i < text.size() && isAsciiDigit(text.at(i)); ++i, ++digits)
            number += char(text.at(i).unicode());
    }
    if (digits == 0)
        return 0;
    // An exponent counts only when digits follow it ("2e" is 2).
    if (i + 1 < text.size() && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        QByteArray exponent("e");
        if (text.at(j) == u'-' || text.at(j) == u'+')
            exponent += char(text.at(j++).unicode());
        qsizetype expDigits = 0;
        for (; j < text.size() && isAsciiDigit(text.at(j)); ++j, ++expDigits)
            exponent += char(text.at(j).unicode());
        if (expDigits > 0)
            number += exponent;
    }
    // Only ASCII digits, a point and an exponent reach strtod, so the C
    // locale's reading is the one meant; a huge exponent gives infinity.
    return std::strtod(number.constData(), nullptr);
}

namespace {

// Half to even, as the purge number has always been rounded. An infinite
// number (a huge exponent) stays infinite, so the bounds still hold it.
double roundHalfEven(double value) { return std::isfinite(value) ? value - std::remainder(value, 1.0) : value; }

} // namespace

PurgeStep StepPurgeNumber(const QString &text, int delta)
{
    const double n = roundHalfEven(LeadingNumber(text) + delta);
    if (delta < 0) {
        if (n <= MinimumDelaiLogs)
            return {MinimumDelaiLogs, PurgeLimit::Minimum};
        if (n > MaximumDelaiLogs)
            return {MaximumDelaiLogs, PurgeLimit::Maximum};
    } else {
        if (n >= MaximumDelaiLogs)
            return {MaximumDelaiLogs, PurgeLimit::Maximum};
        if (n < MinimumDelaiLogs)
            return {MinimumDelaiLogs, PurgeLimit::Minimum};
    }
    return {int32_t(n), PurgeLimit::None};
}

QString PurgeLimitMessage(PurgeLimit limit, int32_t langue)
{
    switch (limit) {
    case PurgeLimit::None:
        break;
    case PurgeLimit::Minimum:
        return Trilingual{"Valeur minimale atteinte", "Minimal value reached", "Valor mínimo atingido"}.in(langue);
    case PurgeLimit::Maximum:
        return Trilingual{"Valeur maximale atteinte", "Maximal value reached", "Valor máximo atingido"}.in(langue);
    }
    return {};
}

int32_t CheckPurgeNumber(const QString &text)
{
    const double number = LeadingNumber(text);
    if (!(number >= MinimumDelaiLogs && number <= MaximumDelaiLogs))
        return -1;
    return int32_t(roundHalfEven(number));
}

QString InvalidPurgeNumberMessage(const QString &typed, int32_t langue)
{
    return Trilingual{"Valeur incorrecte: ", "Invalid value: ", "Valor inválido: "}.in(langue) + typed;
}

int StorePurge(const ProgramFiles &files, Settings &settings, bool purgeLogs, int32_t delaiLogs)
{
    const int rc = writeLogKeys(files, {{QStringLiteral("PurgeLogs"), FlagText(purgeLogs)},
                                        {QStringLiteral("DelaiLogs"), QString::number(delaiLogs)}});
    if (rc < 0)
        return rc;
    settings.PurgeLogs = purgeLogs;
    settings.DelaiLogs = delaiLogs;
    return 0;
}

} // namespace vell
