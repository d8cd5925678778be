#include "service/serviceadmin.h"

#include "service/servicetexts.h"
#include "base/programidentity.h"

namespace vell {

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
