#pragma once

#include "service/commandrunner.h"
#include "service/eventlog.h"
#include <functional>

// Doubles of the service seams, which record what the program asks for. Keeps each command as "program arg1 arg2", a
// detached one with " &" after it. The answer decides what run() returns (by default: exit 0).
struct RecordingCommandRunner final : vell::CommandRunner
{
    vell::CommandResult run(const QString &program, const QStringList &arguments) override
    {
        calls.append((QStringList{program} + arguments).join(QLatin1Char(' ')));
        return answer ? answer(arguments) : vell::CommandResult{true, false, 0, {}, {}};
    }
    vell::ServiceOutcome startDetached(const QString &program, const QStringList &arguments) override
    {
        calls.append((QStringList{program} + arguments).join(QLatin1Char(' ')) + QStringLiteral(" &"));
        return {};
    }
    QStringList calls;
    std::function<vell::CommandResult(const QStringList &arguments)> answer;
};

// Keeps each entry as "type text" instead of writing it to the journal.
struct RecordingEventLog final : vell::EventLog
{
    void write(const QString &text, int type) override { entries.append(QString::number(type) + ' ' + text); }
    QStringList entries;
};
