#include "service/alerts.h"

namespace vell {

bool StartAlertCommand(CommandRunner &runner, const QStringList &argv)
{
    if (argv.isEmpty())
        return false;
    return runner.startDetached(argv.first(), argv.mid(1));
}

} // namespace vell
