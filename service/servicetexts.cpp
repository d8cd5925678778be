#include "service/servicetexts.h"

#include "base/programidentity.h"

namespace vell {

namespace {

QString ByLangue(int langue, const char *french, const char *portuguese, const char *english)
{
    switch (langue) {
    case 1: return QString::fromUtf8(french);
    case 2: return QString::fromUtf8(portuguese);
    default: return QString::fromUtf8(english);
    }
}

QString EventSuffix(ServiceEvent event, bool french)
{
    switch (event) {
    case ServiceEvent::Started: return QString::fromUtf8(french ? ": démarré" : ": started");
    case ServiceEvent::Stopped: return QString::fromUtf8(french ? ": arrêté" : ": stopped");
    case ServiceEvent::Paused: return QString::fromUtf8(french ? ": suspendu" : ": paused");
    case ServiceEvent::Continued: return QString::fromUtf8(french ? ": reprise" : ": continued");
    case ServiceEvent::LoggedOff: return QString::fromUtf8(french ? ": utilisateur déconnecté" : ": logoff user");
    }
    return {};
}

} // namespace

QString ServiceEventText(ServiceEvent event, int langue)
{
    return ServiceDisplayName + EventSuffix(event, langue == 1);
}

int ServiceEventType(ServiceEvent event)
{
    return event == ServiceEvent::LoggedOff ? 2 : 4;
}

QString StartupRemoveQuestion(int langue)
{
    const QString &name = ServiceDisplayName;
    switch (langue) {
    case 1:
        return name + QString::fromUtf8(" installé\nvoir 'Panneau de configuration/Services'\n\nSupprimer ") + name
            + QStringLiteral(" ?");
    case 2:
        return name + QStringLiteral(" instalado\nver 'Control panel/Services'\n\nSuprimir ") + name
            + QStringLiteral(" ?");
    default:
        return name + QStringLiteral(" installed\nsee 'Control panel/Services'\n\nRemove it ?");
    }
}

QString StartupRemovedText(int langue)
{
    return ServiceDisplayName + ByLangue(langue, " supprimé", " suprimido", " removed");
}

QString ServiceInstalledText(int langue)
{
    return ServiceDisplayName
        + ByLangue(langue, " installé\n(le miroir démarre automatiquement au lancement du service)",
                   " instalado\n(miror automático ao lançamento do servicio)",
                   " installed\n(mirroring operations start automatically when the service starts)");
}

QString ServiceNotInstalledText(int langue)
{
    return ServiceDisplayName + ByLangue(langue, " non installé", " naõ instalado", " not installed");
}

QString ServiceAlreadyInstalledText(int langue)
{
    return ServiceDisplayName + ByLangue(langue, " déjà installé", " já instalado", " already installed");
}

QString ServiceRemovedText(int langue)
{
    return ServiceDisplayName + ByLangue(langue, ": supprimé", ": suprimido", ": removed");
}

QString ServiceInstalledMessage(int langue)
{
    return ServiceInstalledText(langue) + QStringLiteral("\n\n")
        + ByLangue(langue, "Configuration et démarrage, voir", "Configuraçaõ ver", "Configuration and start, see")
        + QLatin1Char('\n')
        + ByLangue(langue, "'Panneau de configuration/Services'", "'Control panel/Services'",
                   "'Control panel/Services'");
}

} // namespace vell
