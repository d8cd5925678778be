#include "platform/xdisplay.h"

#include "platform/uniquefd.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
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

// A display reached over TCP: "host:N[.S]", "tcp/host:N", "inet6/host:N".
struct RemoteDisplay
{
    QByteArray host;
    int number = -1;
};

RemoteDisplay remoteDisplay(const QByteArray &display)
{
    QByteArray rest = display;
    if (const qsizetype slash = rest.indexOf('/'); slash >= 0) {
        const QByteArray protocol = rest.left(slash);
        if (protocol != "tcp" && protocol != "inet" && protocol != "inet6")
            return {};
        rest = rest.mid(slash + 1);
    }
    const qsizetype colon = rest.lastIndexOf(':');
    if (colon <= 0 || rest.at(colon - 1) == ':') // local, or DECnet's "host::N"
        return {};
    QByteArray number = rest.mid(colon + 1);
    if (const qsizetype dot = number.indexOf('.'); dot >= 0)
        number.truncate(dot);
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok || n < 0 || n > 59535)
        return {};
    return {rest.left(colon), n};
}

// Waits at most `timeout` for a non-blocking connect to end.
bool connectsInTime(int fd, const sockaddr *address, socklen_t length, int timeoutMs)
{
    if (::connect(fd, address, length) == 0)
        return true;
    if (errno != EINPROGRESS)
        return false;
    pollfd waiting{fd, POLLOUT, 0};
    int ready;
    do
        ready = ::poll(&waiting, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return false; // no answer in time: a server behind a dead link
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

// The port 6000 + N of the host, each of its addresses in turn. A host
// that cannot be resolved has no server Qt could open either.
bool remoteAnswers(const RemoteDisplay &remote)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const QByteArray port = QByteArray::number(6000 + remote.number);
    if (::getaddrinfo(remote.host.constData(), port.constData(), &hints, &found) != 0)
        return false;
    bool answered = false;
    for (const addrinfo *a = found; a && !answered; a = a->ai_next) {
        const UniqueFd fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
        answered = !fd.valid() || connectsInTime(fd.get(), a->ai_addr, a->ai_addrlen, 3000);
    }
    ::freeaddrinfo(found);
    return answered;
}

} // namespace

bool XServerAnswers(const QByteArray &display)
{
    const int number = localDisplayNumber(display);
    if (number < 0) {
        const RemoteDisplay remote = remoteDisplay(display);
        return remote.number < 0 || remoteAnswers(remote);
    }
    const QByteArray path = "/tmp/.X11-unix/X" + QByteArray::number(number);
    return connects(path, true) || connects(path, false);
}

} // namespace vell::platform
