#pragma once

#include "platform/systeminfo.h"
#include "service/servicecontrol.h"
#include "base/userdialogs.h"

namespace vell {

enum class StartupAction {
    ContinueAsApplication, // ApplicationMode: the indicator shows "Application"
    ContinueAsService,     // ServiceMode: File / Quit disabled, indicator "Service"
    EndProgram,            // the user kept the installed service: end at once, exit status 0
};

struct StartupDecision
{
    StartupAction action = StartupAction::ContinueAsApplication;
    // Write Automatique = "0" in [Configuration] before the settings are
    // read, so this start is not automatic.
    bool storeAutomatiqueOff = false;
};

// Decides between application and service at start-up. Off NT the program
// is always an application. The installed service's own process goes on
// as the service; a process started by hand while the service is installed
// asks whether to remove it (Yes/No, question icon, title "Vell"; the
// headless dialogs answer No): No ends the program, Yes removes the
// service, logs the removal and goes on as an application with Automatique
// off. A removal that fails is logged as a warning and shown to the user.
[[nodiscard]] StartupDecision ServiceStartupCheck(ServiceControl &control, UserDialogs &dialogs,
                                                  const SystemInfo &system, int langue);

} // namespace vell
