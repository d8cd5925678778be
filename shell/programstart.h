#pragma once

// What the headless start and the window's start share around VellProgram.

#include "shell/vellprogram.h"

#include <QStringList>
#include <memory>
#include <optional>

namespace vell {

class ServiceEvents;

// The program folder and executable of this process, and the command line
// as typed after the program's name. Without a program folder, `error`
// says why and the start must end with ExitStatus::NoProgramFolder.
[[nodiscard]] StartupOptions StartupOptionsFor(const QStringList &arguments, bool headless, QString &error);

// `--help` and `--version` anywhere on the command line print the usage or
// the version and the program folder, and end the program with status 0.
// Nothing otherwise. Runs before any window exists.
[[nodiscard]] std::optional<int> AnswerInformationSwitches(int argc, char *argv[]);

// The usage and the version texts, for the program folder `folder`.
[[nodiscard]] QString UsageText(const QString &folder);
[[nodiscard]] QString VersionReport(const QString &folder, bool portable);

// Whether there is a display to show the window on. A local X display
// that no server answers counts as none (said on stderr), so a stale
// DISPLAY runs headless instead of aborting in Qt.
[[nodiscard]] bool HasDisplay();

// The stop, pause and continue signals of the service, connected to the
// program's one stop path. Made before the first run, so that SIGTERM ends
// even that run cleanly; events are logged only when the process is the
// service.
[[nodiscard]] std::unique_ptr<ServiceEvents> ConnectServiceEvents(VellProgram &program, EventLog &eventLog);

} // namespace vell
