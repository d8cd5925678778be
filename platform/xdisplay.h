#pragma once

// Whether an X server answers at a DISPLAY, before Qt is asked to open it:
// Qt aborts the process when it cannot, and a Vell started with a stale
// DISPLAY (a service, a closed session) should mirror without its window.

#include <QByteArray>

namespace vell::platform {

// False when `display` names a local server (":N", ":N.S", "unix:N") whose
// socket, abstract or in /tmp/.X11-unix, refuses a connection, or a server
// over TCP ("host:N", as ssh's forwarding "localhost:10.0") whose host
// cannot be resolved or whose port 6000 + N does not answer within 3 s.
// An unusual display is assumed to answer: Qt says why if it does not.
[[nodiscard]] bool XServerAnswers(const QByteArray &display);

} // namespace vell::platform
