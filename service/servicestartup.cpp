#include "service/servicestartup.h"

#include "service/servicetexts.h"
#include "base/programidentity.h"

namespace vell {

StartupDecision ServiceStartupCheck(ServiceControl &control, UserDialogs &dialogs, const SystemInfo &system,
                                    int langue)
{
    if (!system.IsNT || !control.IsInstalled())
        return {StartupAction::ContinueAsApplication, false};
    if (control.RunsAsService())
        return {StartupAction::ContinueAsService, false};

    const MessageAnswer answer = dialogs.messageBox(StartupRemoveQuestion(langue), ProductName,
                                                    MessageIcon::Question, MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes)
        return {StartupAction::EndProgram, false};

    const ServiceOutcome removed = control.Uninstall();
    if (removed.ok) {
        control.LogEvent(StartupRemovedText(langue), EventType::Information);
    } else {
        const QString text = ServiceDisplayName + QStringLiteral(": ") + removed.message;
        control.LogEvent(text, EventType::Warning);
        (void)dialogs.messageBox(text, ProductName, MessageIcon::Exclamation, MessageButtons::Ok);
    }
    return {StartupAction::ContinueAsApplication, true};
}

} // namespace vell
