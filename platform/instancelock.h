#pragma once

#include "platform/uniquefd.h"

#include <QByteArray>

namespace vell::platform {

// Takes the single-instance lock of a program folder: an flock on the
// folder itself, which the system drops when the process dies, so a crash
// never blocks the next start. Returns the descriptor holding the lock
// (keep it for the life of the process), -EWOULDBLOCK when another process
// holds it, or another -errno.
[[nodiscard]] int LockProgramFolder(const QByteArray &folder);

} // namespace vell::platform
