#include "common/recorders.h"

namespace vell {

CommandResult RecordingCommandRunner::run(const QString &program, const QStringList &arguments)
{
    calls.append({program, arguments, false});
    if (answer)
        return answer(program, arguments);
    CommandResult result;
    result.started = true;
    result.exitCode = 0;
    return result;
}

ServiceOutcome RecordingCommandRunner::startDetached(const QString &program, const QStringList &arguments)
{
    calls.append({program, arguments, true});
    if (!detachedStarts)
        return {false, QStringLiteral("refused by the test")};
    return {};
}

QStringList RecordingCommandRunner::commandLines() const
{
    QStringList lines;
    for (const Call &call : calls)
        lines.append((QStringList{call.program} + call.arguments).join(QLatin1Char(' ')));
    return lines;
}

} // namespace vell
