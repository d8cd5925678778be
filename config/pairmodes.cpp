#include "config/pairmodes.h"

#include "base/language.h"
#include "base/programidentity.h"
#include "config/settingsfile.h"
#include "platform/profile.h"

#include <cmath>

namespace vell {

namespace {

constexpr double MinimumCount = 2;
constexpr double MaximumCount = 64000;

bool parseNumber(const QString &text, const QLocale &locale, double &value)
{
    bool ok = false;
    value = locale.toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    return ok && std::isfinite(value);
}

} // namespace

ModesForm OpenModesForm(const ProgramFiles &files, qsizetype position)
{
    platform::Profile profile;
    (void)platform::Profile::load(files.settingsFile(), profile); // unreadable: the defaults of a new couple
    const QString section = MirrorSection(position);
    const auto text = [&](const char *key, const char *missing) {
        return profile.value(section, QString::fromLatin1(key), QString::fromLatin1(missing));
    };
    ModesForm form;
    const QString count = text("NbTemporisations", "1");
    if (CheckCount(count) == CountCheck::Valid) {
        form.countText = count;
        form.defaultDelay = false;
    }
    const QString deplacer = text("Deplacer", "0");
    form.deplacer = deplacer != QLatin1String("0");
    form.renommer = deplacer != QLatin1String("0") && text("Renommer", "0") != QLatin1String("0");
    form.effacer = text("Effacer", "0") != QLatin1String("0");
    form.nouveau = text("Nouveau", "0") == QLatin1String("1");
    if (form.deplacer)
        ApplyMoveRule(form);
    return form;
}

void ApplyMoveRule(ModesForm &form)
{
    if (form.deplacer) {
        form.effacer = false;
        form.nouveau = false;
    } else {
        form.renommer = false;
    }
}

CountCheck CheckCount(const QString &text, const QLocale &locale)
{
    double value = 0;
    if (!parseNumber(text, locale, value))
        return CountCheck::NotANumber;
    if (value < MinimumCount || value > MaximumCount)
        return CountCheck::OutOfRange;
    return CountCheck::Valid;
}

QString CountMessage(CountCheck check, int32_t langue, bool forOkBox)
{
    // French is also the Portuguese text here.
    const Language language = langue == 2 ? Language::French : LanguageOf(langue);
    switch (check) {
    case CountCheck::Valid:
        return {};
    case CountCheck::NotANumber:
        return Trilingual{"Valeur incorrecte", "Invalid value"}.in(language);
    case CountCheck::OutOfRange:
        return forOkBox ? Trilingual{"La valeur doit être comprise entre 2 et 64000",
                                     "Value must be set between 2 and 64000"}
                              .in(language)
                        : Trilingual{"La valeur doit être comprise entre 2 et 64000",
                                     "Value must be between 2 and 64000"}
                              .in(language);
    }
    return {};
}

QString TotalDelayText(const QString &countText, int32_t temporisation, int32_t langue, const QLocale &locale)
{
    double count = 0;
    (void)parseNumber(countText.trimmed(), locale, count);
    const int64_t seconds = std::llround(count * double(temporisation));
    const QString lead = Trilingual{"soit: ", "i.e. ", "soit: "}.in(langue);
    return lead + QString::number(seconds / 3600) + QStringLiteral(" h ") + QString::number((seconds / 60) % 60)
        + QStringLiteral(" min ") + QString::number(seconds % 60) + QStringLiteral(" sec");
}

QList<Caption> ModesDialogCaptions(int32_t langue, int32_t temporisation)
{
    const Language language = LanguageOf(langue);
    // Portuguese keeps the French texts here, but for chkEffacer and the buttons.
    const Language frenchForPortuguese = language == Language::Portuguese ? Language::French : language;
    const QString t = QString::number(temporisation);
    const auto text = [](const char *name, const QString &value) {
        return Caption{QString::fromLatin1(name), CaptionProperty::Text, value};
    };
    const auto mostly = [&](const Trilingual &words) { return words.in(frenchForPortuguese); };
    const QString quoted = QStringLiteral("\"*\\<>?/|").split(QString(), Qt::SkipEmptyParts).join(QStringLiteral(", "));
    return {
        text("frmSetMode", Trilingual{"Temporisation et paramètres", "Time setting and parameters",
                                      "Temporização e parâmetros"}.in(language)),
        text("lblFrom", Trilingual{"De", "From", "De"}.in(language)),
        text("lblTo", Trilingual{"Vers", "To", "Vers"}.in(language)),
        text("optTempo0", language == Language::English
                              ? QStringLiteral("Default: only one time interval (") + t
                                    + QStringLiteral(" seconds) between mirroring operations")
                              : QStringLiteral("Défaut: une seule temporisation de ") + t
                                    + QStringLiteral(" secondes entre chaque miroir")),
        text("lblMiroirN1", language == Language::English
                                ? QStringLiteral("time intervals (") + t + QStringLiteral(" seconds) between mirroring operations")
                                : QStringLiteral("temporisations de ") + t + QStringLiteral(" secondes entre chaque miroir")),
        text("chkDeplacer", mostly({"Déplacer les fichiers (les effacer du dossier source après le miroir)",
                                    "Move files (delete from source folders after mirroring)"})),
        text("chkRenommer", mostly({"Renommer les fichiers Macintosh déplacés sans supprimer les fichiers obsolètes "
                                    "du dossier cible (NT seulement)",
                                    "Rename moved Macintosh files and do not remove old files in target folder (NT "
                                    "only)"})),
        {QStringLiteral("chkRenommer"), CaptionProperty::ToolTip,
         mostly({"Les caractères ", "Characters "}) + quoted
             + mostly({" des noms de fichiers Macintosh sont transcodés en tirets après déplacement",
                       " in Macintosh filenames are transcoded in dashes after moving"})},
        text("chkEffacer", Trilingual{"Supprimer les fichiers obsolètes des dossiers cibles",
                                      "Remove old files from target folders",
                                      "Suprimir os ficheiros antigos em pastas de saída"}.in(language)),
        text("frameMAJ", mostly({"Mettre à jour un fichier cible existant", "Update an existing target file"})),
        text("optNouveau0", mostly({"si la date ou la taille du fichier source est différente",
                                    "if source file time different or source file size different"})),
        text("optNouveau1", mostly({"si le fichier source est plus récent que le fichier cible",
                                    "if source file newer than target file"})),
        text("cmdOK", QStringLiteral("&OK")),
        text("cmdAnnuler", Trilingual{"&Annuler", "&Cancel", "&Cancelar"}.in(language)),
    };
}

int StoreModes(const ProgramFiles &files, qsizetype position, const ModesForm &form, FolderPair &pair)
{
    pair.NbTemporisationsText = form.defaultDelay ? QStringLiteral("1") : form.countText.trimmed();
    pair.NbTemporisations = std::clamp(IntegerFromText(pair.NbTemporisationsText), 1, 64000);
    pair.TemporisationsRestantes = pair.NbTemporisations;
    pair.Deplacer = form.deplacer;
    pair.Renommer = form.renommer;
    pair.Effacer = form.effacer;
    pair.Nouveau = form.nouveau;

    platform::Profile profile;
    if (const int rc = platform::Profile::load(files.settingsFile(), profile); rc < 0)
        return rc; // an unreadable file is not replaced by five keys
    const QString section = MirrorSection(position);
    const QString keys[] = {QStringLiteral("NbTemporisations"), QStringLiteral("Deplacer"),
                            QStringLiteral("Renommer"), QStringLiteral("Effacer"), QStringLiteral("Nouveau")};
    const QString values[] = {pair.NbTemporisationsText, FlagText(pair.Deplacer), FlagText(pair.Renommer),
                              FlagText(pair.Effacer), FlagText(pair.Nouveau)};
    for (int i = 0; i < 5; ++i)
        if (const int rc = profile.setValue(section, keys[i], values[i]); rc < 0)
            return rc;
    return profile.save(files.settingsFile());
}

} // namespace vell
