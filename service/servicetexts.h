#pragma once

#include <QString>

namespace vell {

// The service's own texts. Langue 1 French, 2 Portuguese, any other value
// English, unless a function says otherwise. A line break is "\n".

enum class ServiceEvent { Started, Stopped, Paused, Continued, LoggedOff };

// The event-log entry of a service event, "Vell Service: started" and the
// like: French for Langue 1, English for every other value.
[[nodiscard]] QString ServiceEventText(ServiceEvent event, int langue);
// 2 (warning) for the logoff, 4 (information) for the others.
[[nodiscard]] int ServiceEventType(ServiceEvent event);

// The question asked when the program is started by hand while the
// service is installed.
[[nodiscard]] QString StartupRemoveQuestion(int langue);
// The entry logged after the service was removed at start-up.
[[nodiscard]] QString StartupRemovedText(int langue);

// The service dialog's status texts.
[[nodiscard]] QString ServiceInstalledText(int langue);
[[nodiscard]] QString ServiceNotInstalledText(int langue);
[[nodiscard]] QString ServiceAlreadyInstalledText(int langue);
[[nodiscard]] QString ServiceRemovedText(int langue);
// The information message shown after an install.
[[nodiscard]] QString ServiceInstalledMessage(int langue);

} // namespace vell
