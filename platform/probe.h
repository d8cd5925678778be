#pragma once

// Existence probes for the configuration: whether a folder a couple names
// can be mirrored from or into, and whether a marker entry is there. Both
// take a folder descriptor and a name, or AT_FDCWD and a whole path; they
// retry EINTR and return 0 or -errno. A name holding a NUL byte names no
// entry at all (the system would stop reading at the NUL): -EINVAL.

#include <QByteArray>

namespace vell::platform {

// 0 when dirFd/name is a folder (a link to one counts: the user chose the
// path) that can be opened and whose listing can be read, empty or not.
[[nodiscard]] int probeFolder(int dirFd, const QByteArray &name);

// 0 when dirFd/name exists as an entry of any kind; a final link is not
// followed, so a dangling link exists.
[[nodiscard]] int probeEntry(int dirFd, const QByteArray &name);

} // namespace vell::platform
