#pragma once

#include "service/commandrunner.h"

#include <QStringList>

namespace vell {

// Starts the alert command without waiting; what it does afterwards is
// never known. Not ok, with a message for the user, when argv is empty or
// the program could not be started.
[[nodiscard]] ServiceOutcome StartAlertCommand(CommandRunner &runner, const QStringList &argv);

} // namespace vell
