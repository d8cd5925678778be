#pragma once

// What the headless start and the window's start share around VellProgram.

#include "shell/vellprogram.h"

#include <QStringList>
#include <memory>

namespace vell {

class ServiceEvents;

// The program folder and executable of this process, and the command line
// as typed after the program's name.
[[nodiscard]] StartupOptions StartupOptionsFor(const QStringList &arguments, bool headless);

// Whether there is a display to show the window on.
[[nodiscard]] bool HasDisplay();

// The stop, pause and continue signals of the service, connected to the
// program's one stop path. Made before the first run, so that SIGTERM ends
// even that run cleanly; events are logged only when the process is the
// service.
[[nodiscard]] std::unique_ptr<ServiceEvents> ConnectServiceEvents(VellProgram &program, EventLog &eventLog);

} // namespace vell
