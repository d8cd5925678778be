#pragma once

#include "config/settings.h"
#include "engine/enginehost.h"
#include "engine/eventpump.h"
#include "service/commandrunner.h"
#include "service/eventlog.h"

#include <optional>

namespace vell {

// The engine's host when there is no display: the summary lines of every
// run go to stdout, notices and failures to stderr, events and failures to
// the journal.
class HeadlessHost final : public EngineHost
{
public:
    HeadlessHost(CommandRunner &runner, EventLog &eventLog) : m_runner(runner), m_eventLog(eventLog) {}

    // The settings whose Langue its own messages follow.
    void attach(const Settings &settings) { m_settings = &settings; }

    void yieldToInterface(int times) override;
    void setStatusText(const QString &text) override;
    void showNotice(const QString &text) override;
    void endProgram(int exitStatus) override;
    void runAlertCommand(const QStringList &argv) override;
    void logEvent(const QString &text, int type) override;
    void reportFailure(const ItemEvent &event, const QString &text) override;
    void noteWatching(const QString &text) override;
    // Set once the program must end, with its exit status.
    [[nodiscard]] std::optional<int> endStatus() const { return m_endStatus; }

private:
    CommandRunner &m_runner;
    EventLog &m_eventLog;
    const Settings *m_settings = nullptr;
    EventPump m_pump;
    std::optional<int> m_endStatus;
};

} // namespace vell
