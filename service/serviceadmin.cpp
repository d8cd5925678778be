#include "service/serviceadmin.h"

#include "service/servicetexts.h"
#include "base/language.h"
#include "base/programidentity.h"
#include "config/settingsfile.h"

namespace vell {

AdminForm OpenAdminForm(const ServiceControl &control, const Settings &settings, int langue)
{
    AdminForm form;
    form.eventLog = settings.ErreurDossierEventLog;
    form.interactive = control.Interactive();
    QString failure;
    const int startType = control.StartType(&failure);
    form.startOption = startType == StartTypes::Automatic || startType == StartTypes::Manual ? startType
                                                                                           : StartTypes::Disabled;
    form.statusText = control.IsInstalled() ? ServiceInstalledText(langue) : ServiceNotInstalledText(langue);
    if (!failure.isEmpty()) // the option shown is then only a guess
        form.statusText += QLatin1Char('\n') + failure;
    return form;
}

int StoreEventLogChoice(const ProgramFiles &files, Settings &settings, bool on)
{
    const int rc = WriteSettingFlag(files, SectionConfiguration, QStringLiteral("ErreurDossierEventLog"), on);
    if (rc == 0)
        settings.ErreurDossierEventLog = on;
    return rc;
}

QList<Caption> ServiceDialogCaptions(int langue)
{
    const auto text = [langue](const char *name, const Trilingual &words) {
        return Caption{QString::fromLatin1(name), CaptionProperty::Text,
                       words.in(langue)
                           .replace(QLatin1String("%1"), ServiceDisplayName)
                           .replace(QLatin1String("%2"), ProductName)};
    };
    // Most texts exist in French and English only; "%1" is the service's
    // display name, "%2" the program's name.
    return {
        text("frmAdminService", {"%1 [NT]", "%1 [NT]"}),
        text("lblInfo",
             {"IMPORTANT: Si vous souhaitez accéder à des fichiers situés sur un réseau, le service %2 doit démarrer "
              "sous un compte utilisateur et non un compte système local [voir par exemple: Microsoft Knowledge "
              "Base Articles Q132679, Q127862, Q124184, Q120582, Q158508]. Dans ce cas, le service ne peut pas "
              "interagir avec le bureau. Vérifier soigneusement la configuration de démarrage.",
              "IMPORTANT: If %1 needs to access network files (non local files) you will need to configure it to "
              "start under a user account and not a local system account [see for exemple: Microsoft Knowledge "
              "Base Articles Q132679, Q127862, Q124184, Q120582, Q158508]. In this case, the service cannot "
              "interact with the desktop. Check carefully the configuration."}),
        text("chkInteract", {"%1 interagit avec le bureau", "%1 can interact with the desktop"}),
        text("lblInteract", {"Impossible d'accéder à des fichiers situés sur un réseau", "Cannot access network files"}),
        text("chkDossierErrEventLog", {"Mentionner les dossiers invalides dans l'Observateur d'événements",
                                       "Log invalid folders in the Application EventLog"}),
        text("frameType", {"Type de démarrage", "Start type"}),
        text("optType0", {"Automatique", "Automatic"}),
        text("optType1", {"Manuel", "Manual"}),
        text("optType2", {"Désactivé", "Disabled"}),
        text("lblInstall", {"- Installer %1 et quitter\n- Configurer et lancer le service avec "
                            "'Panneau de configuration/Services'",
                            "- Install %1 and exit\n- Configure and run %1 using 'Control pannel/Services'"}),
        text("cmdInstall", {"&Installer", "&Install", "&Instalar"}),
        text("lblRemove", {"Pour supprimer %1, vous pouvez aussi:\n- arrêter le service avec 'Panneau de "
                           "Configuration/Services'\n- lancer à nouveau %2 (le programme, pas le service)",
                           "To remove %1, you can too:\n- stop %1 using 'Control pannel/Services'\n- run again %2 "
                           "(the program, not the service)"}),
        text("cmdRemove", {"&Supprimer", "&Remove", "&Suprimir"}),
        text("cmdAnnuler", {"&Annuler", "&Cancel", "&Cancelar"}),
    };
}

AdminResult AdminInstall(ServiceControl &control, int startTypeOption, bool interactive, int langue)
{
    AdminResult result;
    if (control.IsInstalled()) {
        result.statusText = ServiceAlreadyInstalledText(langue);
        result.beep = true;
        return result;
    }
    control.setStartType(startTypeOption);
    control.setInteractive(interactive);
    const ServiceOutcome installed = control.Install(false);
    if (!installed.ok) {
        result.statusText = ServiceNotInstalledText(langue) + QLatin1Char('\n') + installed.message;
        result.beep = true;
        control.LogEvent(ServiceDisplayName + QStringLiteral(": ") + installed.message, EventType::Warning);
        return result;
    }
    result.serviceIndicator = true;
    result.statusText = ServiceInstalledText(langue);
    control.LogEvent(result.statusText, EventType::Information);
    result.message = ServiceInstalledMessage(langue);
    result.endProgram = true;
    return result;
}

AdminResult AdminRemove(ServiceControl &control, int langue)
{
    AdminResult result;
    if (!control.IsInstalled()) {
        result.statusText = ServiceNotInstalledText(langue);
        result.beep = true;
        result.serviceIndicator = false;
        return result;
    }
    const ServiceOutcome removed = control.Uninstall();
    if (!removed.ok) {
        result.statusText = ServiceDisplayName + QStringLiteral(": ") + removed.message;
        result.beep = true;
        control.LogEvent(result.statusText, EventType::Warning);
        return result;
    }
    result.statusText = ServiceRemovedText(langue);
    control.LogEvent(result.statusText, EventType::Information);
    result.serviceIndicator = false;
    return result;
}

} // namespace vell
