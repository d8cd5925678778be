#include "config/globaloptions.h"

#include "base/language.h"
#include "base/programidentity.h"
#include "config/settingsfile.h"

#include <algorithm>
#include <cstring>

namespace vell {

namespace {

Caption text(const char *objectName, const QString &value)
{
    return Caption{QString::fromLatin1(objectName), CaptionProperty::Text, value};
}

// The window title and the two buttons every option dialog shares.
QList<Caption> commonCaptions(const char *window, int32_t langue)
{
    return {
        text(window, OptionsDialogTitle()),
        text("cmdOK", QStringLiteral("&OK")),
        text("cmdAnnuler", Trilingual{"&Annuler", "&Cancel", "&Cancelar"}.in(langue)),
    };
}

} // namespace

QString OptionsDialogTitle()
{
    return ProductName + QLatin1Char(' ') + VersionText;
}

// 64-bit steps: a typed number beyond 32 bits reads as INT32_MAX or
// INT32_MIN, and one more or less must not wrap.
DelayStep DelayStepDown(const QString &text)
{
    const int64_t v = int64_t(IntegerFromText(text)) - 1;
    if (v > MinimumDelay)
        return {int32_t(std::min<int64_t>(v, INT32_MAX)), DelayLimit::None};
    return {MinimumDelay, DelayLimit::Minimum};
}

DelayStep DelayStepUp(const QString &text)
{
    const int64_t v = std::min<int64_t>(int64_t(IntegerFromText(text)) + 1, MaximumDelay);
    return {int32_t(v), v == MaximumDelay ? DelayLimit::Maximum : DelayLimit::None};
}

QString DelayLimitMessage(DelayLimit limit, int32_t langue)
{
    switch (limit) {
    case DelayLimit::None:
        return {};
    case DelayLimit::Minimum:
        return Trilingual{"Temporisation minimale atteinte", "Minimal temporisation reached",
                          "Temporização mínima atingida"}
            .in(langue);
    case DelayLimit::Maximum:
        return Trilingual{"Temporisation maximale atteinte", "Maximal temporisation reached",
                          "Temporização máxima atingida"}
            .in(langue);
    }
    return {};
}

// The value is judged once rounded, as it is stored: "0.6" is 1 and
// accepted, "60000.6" is 60001 and refused.
std::optional<int32_t> CheckDelay(const QString &text)
{
    const int32_t value = IntegerFromText(text);
    if (value < MinimumDelay || value > MaximumDelay)
        return std::nullopt;
    return value;
}

QString InvalidDelayMessage(const QString &text, int32_t langue)
{
    return Trilingual{"Valeur de temporisation incorrecte: ", "Invalid value: ", "Valor de temporização inválida: "}
               .in(langue)
        + text;
}

int StoreDelay(const ProgramFiles &files, int32_t delay, Settings &settings)
{
    const int rc = WriteSettingNumber(files, SectionConfiguration, QStringLiteral("Temporisation"), delay);
    if (rc == 0)
        settings.Temporisation = delay;
    return rc;
}

int32_t PerformanceSliderValue(int32_t performance)
{
    return std::clamp(performance, MinimumPerformance, MaximumPerformance);
}

int StorePerformance(const ProgramFiles &files, int32_t performance, Settings &settings)
{
    const int rc = WriteSettingNumber(files, SectionConfiguration, QStringLiteral("Performance"), performance);
    if (rc == 0)
        settings.Performance = performance;
    return rc;
}

int StoreTargetPrefixes(const ProgramFiles &files, const QString &drive, const QString &unc, Settings &settings)
{
    int rc = WriteSetting(files, SectionConfiguration, QStringLiteral("PrefixeCibleDefaut"), drive);
    if (rc < 0)
        return rc;
    settings.PrefixeCibleDefaut = drive;
    rc = WriteSetting(files, SectionConfiguration, QStringLiteral("PrefixeCibleDefautUNC"), unc);
    if (rc < 0)
        return rc;
    settings.PrefixeCibleDefautUNC = unc;
    return 0;
}

QList<Caption> TempoDialogCaptions(int32_t langue)
{
    return commonCaptions("frmTempo", langue)
        + QList<Caption>{
            text("lblTempo", Trilingual{"Régler la temporisation par défaut entre les miroirs",
                                        "Set default time between two mirroring operations",
                                        "Definir a temporização de base entre os mirors"}
                                 .in(langue)),
            text("lblSecondes", Trilingual{"secondes", "seconds", "segundos"}.in(langue)),
        };
}

QList<Caption> PerformanceDialogCaptions(int32_t langue)
{
    return commonCaptions("frmPerformance", langue)
        + QList<Caption>{
            text("lblPerformance", Trilingual{"Régler la performance", "Set performance", "Definir a eficiência"}
                                       .in(langue)),
            text("lblMin", Trilingual{"Moins fluide et plus rapide", "Flowing less freely and quicker",
                                      "Menos fluido e mais rápido"}
                               .in(langue)),
            text("lblMax", Trilingual{"Plus fluide et moins rapide", "Flowing more freely and slower",
                                      "Mais fluido e menos rápido"}
                               .in(langue)),
        };
}

QList<Caption> PrefixDialogCaptions(int32_t langue)
{
    return commonCaptions("frmPrefixeCible", langue)
        + QList<Caption>{
            text("lblPrefixe", Trilingual{"Lecteur par défaut des dossiers cibles (Ex.: C:)",
                                          "Default drive for target folders (Ex.: C:)",
                                          "Drive para pastas de saída (Ex.: C:)"}
                                   .in(langue)),
            text("lblPrefixeUNC1", Trilingual{"Préfixe UNC par défaut des dossiers cibles",
                                              "UNC prefix for target folders", "prefixo UNC para pastas de saída"}
                                       .in(langue)),
            text("lblPrefixeUNC2", Trilingual{"Universal Naming Convention. Ex. : \\\\Serveur\\Partage",
                                              "Universal Naming Convention. Ex. : \\\\Server\\Share",
                                              "Universal Naming Convention. Ex. : \\\\Servidor\\Share"}
                                       .in(langue)),
        };
}

} // namespace vell
