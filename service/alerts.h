#pragma once

#include "service/commandrunner.h"

#include <QStringList>

namespace vell {

// Starts the alert command without waiting; its outcome is never known.
// False when argv is empty or the program could not be started.
bool StartAlertCommand(CommandRunner &runner, const QStringList &argv);

} // namespace vell
