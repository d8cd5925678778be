#include "service/eventlog.h"

#include <mutex>
#include <syslog.h>

namespace vell {

namespace {
// openlog() keeps the pointer, so the ident must live for the whole process.
constexpr char SyslogIdent[] = "Vell";
} // namespace

int SyslogPriority(int type)
{
    switch (type) {
    case EventType::Error: return LOG_ERR;
    case EventType::Warning: return LOG_WARNING;
    default: return LOG_INFO;
    }
}

void SyslogEventLog::write(const QString &text, int type)
{
    static std::once_flag opened;
    std::call_once(opened, [] { openlog(SyslogIdent, LOG_PID, LOG_USER); });
    // The text is data, never a format: a "%" in a folder name stays a "%".
    syslog(SyslogPriority(type), "%s", text.toUtf8().constData());
}

} // namespace vell
