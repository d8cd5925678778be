#include "platform/xdisplay.h"

#include "platform/uniquefd.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vell::platform {

namespace {

// The display number of a local display, or -1.
int localDisplayNumber(const QByteArray &display)
{
    QByteArray rest;
    if (display.startsWith(':'))
        rest = display.mid(1);
    else if (display.startsWith("unix:"))
        rest = display.mid(5);
    else
        return -1;
    const qsizetype dot = rest.indexOf('.');
    bool ok = false;
    const int number = rest.left(dot < 0 ? rest.size() : dot).toInt(&ok);
    return ok && number >= 0 ? number : -1;
}

bool connects(const QByteArray &path, bool abstract)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0; // an abstract name starts with a NUL
    if (size_t(path.size()) + offset >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path + offset, path.constData(), size_t(path.size()));
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + size_t(path.size()));
    // Without blocking: a server whose queue is full is there, only busy,
    // and must not hold the start up.
    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid())
        return true; // no socket to try with: let Qt try
    return ::connect(fd.get(), reinterpret_cast<const sockaddr *>(&address), length) == 0 || errno == EAGAIN;
}

} // namespace

bool XServerAnswers(const QByteArray &display)
{
    const int number = localDisplayNumber(display);
    if (number < 0)
        return true;
    const QByteArray path = "/tmp/.X11-unix/X" + QByteArray::number(number);
    return connects(path, true) || connects(path, false);
}

} // namespace vell::platform
