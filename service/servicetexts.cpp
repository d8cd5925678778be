#include "service/servicetexts.h"

#include "base/language.h"
#include "base/programidentity.h"

namespace vell {

namespace {

// The event suffixes exist in French and English only.
Trilingual EventSuffix(ServiceEvent event)
{
    switch (event) {
    case ServiceEvent::Started: return {": démarré", ": started"};
    case ServiceEvent::Stopped: return {": arrêté", ": stopped"};
    case ServiceEvent::Paused: return {": suspendu", ": paused"};
    case ServiceEvent::Continued: return {": reprise", ": continued"};
    case ServiceEvent::LoggedOff: return {": utilisateur déconnecté", ": logoff user"};
    }
    return {"", ""};
}

// "%1" is the service's display name.
constexpr Trilingual RemoveQuestion{"%1 installé\nvoir 'Panneau de configuration/Services'\n\nSupprimer %1 ?",
                                    "%1 installed\nsee 'Control panel/Services'\n\nRemove it ?",
                                    "%1 instalado\nver 'Control panel/Services'\n\nSuprimir %1 ?"};
constexpr Trilingual RemovedAtStartup{" supprimé", " removed", " suprimido"};
constexpr Trilingual Installed{" installé\n(le miroir démarre automatiquement au lancement du service)",
                               " installed\n(mirroring operations start automatically when the service starts)",
                               " instalado\n(miror automático ao lançamento do servicio)"};
constexpr Trilingual NotInstalled{" non installé", " not installed", " naõ instalado"};
constexpr Trilingual AlreadyInstalled{" déjà installé", " already installed", " já instalado"};
constexpr Trilingual Removed{": supprimé", ": removed", ": suprimido"};
constexpr Trilingual ConfigurationLine{"Configuration et démarrage, voir", "Configuration and start, see",
                                       "Configuraçaõ ver"};
constexpr Trilingual ControlPanelLine{"'Panneau de configuration/Services'", "'Control panel/Services'",
                                      "'Control panel/Services'"};

} // namespace

QString ServiceEventText(ServiceEvent event, int langue)
{
    return ServiceDisplayName + EventSuffix(event).in(langue);
}

int ServiceEventType(ServiceEvent event)
{
    return event == ServiceEvent::LoggedOff ? 2 : 4;
}

QString StartupRemoveQuestion(int langue) { return RemoveQuestion.in(langue).arg(ServiceDisplayName); }

QString StartupRemovedText(int langue) { return ServiceDisplayName + RemovedAtStartup.in(langue); }

QString ServiceInstalledText(int langue) { return ServiceDisplayName + Installed.in(langue); }

QString ServiceNotInstalledText(int langue) { return ServiceDisplayName + NotInstalled.in(langue); }

QString ServiceAlreadyInstalledText(int langue) { return ServiceDisplayName + AlreadyInstalled.in(langue); }

QString ServiceRemovedText(int langue) { return ServiceDisplayName + Removed.in(langue); }

QString ServiceInstalledMessage(int langue)
{
    return ServiceInstalledText(langue) + QStringLiteral("\n\n") + ConfigurationLine.in(langue) + QLatin1Char('\n')
        + ControlPanelLine.in(langue);
}

} // namespace vell
