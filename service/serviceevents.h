#pragma once

#include "config/settings.h"

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace vell {

// Writes one event-log entry (text, type); empty: nothing is logged.
using EventLogger = std::function<void(const QString &text, int type)>;

// The requests systemd makes of the service, as signals on the event-loop
// thread: SIGTERM is the stop, SIGUSR1 the pause, SIGUSR2 the continue.
//
// The signal handler only sets the stop flag (for SIGTERM) and writes the
// signal's number to a pipe; the pipe's notifier, or processPending(),
// turns each number into one event, in arrival order: first its entry is
// logged ("Vell Service: stopped" and the like, in the language Langue
// has at that moment), then its signal is emitted. Only the first SIGTERM
// makes a stop event. Mirroring is not touched by pause or continue.
//
// The owner gives a logger only when the process is the service: a program
// started by hand ends on SIGTERM too, but that is no service event.
//
// One instance at a time: it installs the process's handlers for the three
// signals and restores the previous ones when it is destroyed; a second
// instance made meanwhile is not valid and never emits.
class ServiceEvents final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServiceEvents)
public:
    ServiceEvents(const Settings &settings, EventLogger logger, QObject *parent = nullptr);
    ~ServiceEvents() override;

    // False when the pipe or the handlers could not be set up.
    [[nodiscard]] bool isValid() const { return m_valid; }

    // Set as soon as SIGTERM arrives, even while no event is processed: a
    // cheap test for the engine's yield. Cleared when an instance is made.
    [[nodiscard]] static bool stopPending();

    // Turns what the handler left in the pipe into events now; for a
    // caller that wants the stop logged before it ends without pumping.
    void processPending();

    // Logs the start entry and emits started(); the owner calls it once
    // the service has started.
    void announceStarted();

signals:
    void started();
    void stopRequested();
    void paused();
    void continued();

private:
    void dispatch(int signalNumber);

    const Settings &m_settings;
    EventLogger m_logger;
    int m_readFd = -1;
    QSocketNotifier *m_notifier = nullptr;
    bool m_valid = false;
    bool m_stopSeen = false;
};

} // namespace vell
