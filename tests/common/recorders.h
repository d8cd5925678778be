#pragma once

// Doubles of the service seams: they record what the program asks for
// instead of running commands or writing to the journal.

#include "service/commandrunner.h"
#include "service/eventlog.h"

#include <QList>
#include <functional>

namespace vell {

// Records every command instead of running it. The answer function
// decides what run() returns (by default: started, exit 0, no output);
// startDetached() succeeds when detachedStarts is set.
class RecordingCommandRunner final : public CommandRunner
{
public:
    struct Call
    {
        QString program;
        QStringList arguments;
        bool detached = false;
    };
    using Answer = std::function<CommandResult(const QString &program, const QStringList &arguments)>;

    [[nodiscard]] CommandResult run(const QString &program, const QStringList &arguments) override;
    [[nodiscard]] ServiceOutcome startDetached(const QString &program, const QStringList &arguments) override;

    // Each call as "program arg1 arg2", blanks between, in call order.
    [[nodiscard]] QStringList commandLines() const;

    QList<Call> calls;
    Answer answer;
    bool detachedStarts = true;
};

// Keeps every entry instead of writing it to the journal.
class RecordingEventLog final : public EventLog
{
public:
    struct Entry
    {
        QString text;
        int type = 0;
        bool operator==(const Entry &) const = default;
    };
    void write(const QString &text, int type) override { entries.append({text, type}); }

    QList<Entry> entries;
};

} // namespace vell
