#pragma once

#include <QList>
#include <QString>

namespace vell {

// Event types of the service's log entries.
namespace EventType {
constexpr int Error = 1;
constexpr int Warning = 2;
constexpr int Information = 4;
} // namespace EventType

// Where the service's entries go: the system log, or a recorder in tests.
class EventLog
{
public:
    virtual ~EventLog() = default;
    // Writes one entry; nothing is reported back (the log is best effort).
    virtual void write(const QString &text, int type) = 0;
};

// syslog(3) with the ident "Vell"; under systemd the entries land in the
// journal, tagged with the service's unit.
class SyslogEventLog final : public EventLog
{
public:
    void write(const QString &text, int type) override;
};

// The syslog priority of an event type: 1 error, 2 warning, anything else
// (4 information included) info.
[[nodiscard]] int SyslogPriority(int type);

} // namespace vell
