#include "service/alerts.h"

namespace vell {

ServiceOutcome StartAlertCommand(CommandRunner &runner, const QStringList &argv)
{
    if (argv.isEmpty())
        return {false, QStringLiteral("No alert command to start")};
    const ServiceOutcome started = runner.startDetached(argv.first(), argv.mid(1));
    if (!started.ok)
        return {false, QStringLiteral("Cannot start the alert command %1: %2").arg(argv.first(), started.message)};
    return started;
}

} // namespace vell
