#pragma once

#include "engine/enginehost.h"
#include "engine/eventpump.h"
#include "engine/runstate.h"
#include "service/commandrunner.h"
#include "service/eventlog.h"

#include <optional>

namespace vell {

// The engine's host when there is no display: the summary lines of every
// run go to stdout, notices to stderr, events to the journal. A stop asked
// by SIGTERM is seen at the next yield, even between pumps of the loop.
class HeadlessHost final : public EngineHost
{
public:
    HeadlessHost(CommandRunner &runner, EventLog &eventLog) : m_runner(runner), m_eventLog(eventLog) {}

    // The run state whose MirroringOff a stop sets.
    void attach(RunState &state) { m_state = &state; }

    void yieldToInterface(int times) override;
    void setStatusText(const QString &text) override;
    void showNotice(const QString &text) override;
    void endProgram(int exitStatus) override;
    void runAlertCommand(const QStringList &argv) override;
    void logEvent(const QString &text, int type) override;

    // Ends the program cleanly: no further entry is mirrored.
    void requestEnd(int exitStatus);
    // Set once the program must end, with its exit status.
    [[nodiscard]] std::optional<int> endStatus() const { return m_endStatus; }

private:
    CommandRunner &m_runner;
    EventLog &m_eventLog;
    RunState *m_state = nullptr;
    EventPump m_pump;
    std::optional<int> m_endStatus;
};

} // namespace vell
