#include "service/serviceevents.h"

#include "service/servicetexts.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vell {

namespace {

// What the handler may touch: lock-free atomics only.
std::atomic<bool> g_stopPending{false};
std::atomic<int> g_writeFd{-1};
std::atomic<bool> g_instanceExists{false};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

constexpr int HandledSignals[] = {SIGTERM, SIGUSR1, SIGUSR2};
struct sigaction g_previous[std::size(HandledSignals)];

extern "C" void OnServiceSignal(int signalNumber)
{
    const int savedErrno = errno;
    if (signalNumber == SIGTERM)
        g_stopPending.store(true);
    const int fd = g_writeFd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe drops the byte; the stop flag is set all the same.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

bool InstallHandlers()
{
    struct sigaction action = {};
    action.sa_handler = OnServiceSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int s : HandledSignals)
        sigaddset(&action.sa_mask, s);
    for (size_t i = 0; i < std::size(HandledSignals); ++i) {
        if (sigaction(HandledSignals[i], &action, &g_previous[i]) < 0) {
            while (i-- > 0)
                (void)sigaction(HandledSignals[i], &g_previous[i], nullptr);
            return false;
        }
    }
    return true;
}

void RestoreHandlers()
{
    for (size_t i = 0; i < std::size(HandledSignals); ++i)
        (void)sigaction(HandledSignals[i], &g_previous[i], nullptr); // only fails for invalid signals
}

} // namespace

ServiceEvents::ServiceEvents(const Settings &settings, EventLogger logger, QObject *parent)
    : QObject(parent), m_settings(settings), m_logger(std::move(logger))
{
    if (g_instanceExists.exchange(true))
        return; // the handlers and the pipe belong to the first instance
    g_stopPending.store(false);
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) < 0) {
        g_instanceExists.store(false);
        return;
    }
    m_readFd = fds[0];
    g_writeFd.store(fds[1]);
    if (!InstallHandlers()) {
        (void)::close(g_writeFd.exchange(-1));
        (void)::close(std::exchange(m_readFd, -1));
        g_instanceExists.store(false);
        return;
    }
    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ServiceEvents::processPending);
    m_valid = true;
}

ServiceEvents::~ServiceEvents()
{
    if (!m_valid)
        return;
    RestoreHandlers();
    m_notifier->setEnabled(false); // before its descriptor goes
    (void)::close(g_writeFd.exchange(-1));
    (void)::close(m_readFd);
    g_instanceExists.store(false);
}

bool ServiceEvents::stopPending() { return g_stopPending.load(std::memory_order_relaxed); }

void ServiceEvents::processPending()
{
    if (m_readFd < 0)
        return;
    unsigned char bytes[64];
    for (;;) {
        const ssize_t n = ::read(m_readFd, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // EAGAIN: drained; the write end only closes in the destructor
        for (ssize_t i = 0; i < n; ++i)
            dispatch(bytes[i]);
    }
}

void ServiceEvents::dispatch(int signalNumber)
{
    ServiceEvent event;
    void (ServiceEvents::*emitted)();
    switch (signalNumber) {
    case SIGTERM:
        if (std::exchange(m_stopSeen, true))
            return;
        event = ServiceEvent::Stopped;
        emitted = &ServiceEvents::stopRequested;
        break;
    case SIGUSR1:
        event = ServiceEvent::Paused;
        emitted = &ServiceEvents::paused;
        break;
    case SIGUSR2:
        event = ServiceEvent::Continued;
        emitted = &ServiceEvents::continued;
        break;
    default: return;
    }
    if (m_logger)
        m_logger(ServiceEventText(event, m_settings.Langue), ServiceEventType(event));
    (this->*emitted)();
}

void ServiceEvents::announceStarted()
{
    if (m_logger)
        m_logger(ServiceEventText(ServiceEvent::Started, m_settings.Langue),
                 ServiceEventType(ServiceEvent::Started));
    emit started();
}

} // namespace vell
