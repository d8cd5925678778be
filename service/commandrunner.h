#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>

namespace vell {

// What one finished command left behind.
struct CommandResult
{
    bool started = false;  // false: missing or not executable program
    bool timedOut = false; // killed after the runner's time limit
    int exitCode = -1;     // meaningful only when started and not timed out
    QByteArray output;     // stdout
    QByteArray errors;     // stderr

    [[nodiscard]] bool succeeded() const { return started && !timedOut && exitCode == 0; }
    // stderr (or stdout when stderr is empty) as one trimmed line of text,
    // or why the command never ran: for messages to the user.
    [[nodiscard]] QString diagnostic() const;
};

// Success, or what went wrong in words for the user.
struct ServiceOutcome
{
    bool ok = true;
    QString message;
};

// Runs other programs, never through a shell: the program is looked up on
// PATH and each argument reaches it as one argv entry, whatever it holds.
class CommandRunner
{
public:
    virtual ~CommandRunner() = default;
    // Runs the program to its end (or the time limit) and collects its output.
    [[nodiscard]] virtual CommandResult run(const QString &program, const QStringList &arguments) = 0;
    // Starts the program and returns at once; nothing is waited for or
    // collected. Not ok, with the reason, when it could not be started.
    [[nodiscard]] virtual ServiceOutcome startDetached(const QString &program, const QStringList &arguments) = 0;
};

// The real runner, on QProcess.
class ProcessCommandRunner final : public CommandRunner
{
public:
    // timeoutMs bounds run(); environment is what the programs see.
    explicit ProcessCommandRunner(int timeoutMs = 30000,
                                  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

    [[nodiscard]] CommandResult run(const QString &program, const QStringList &arguments) override;
    [[nodiscard]] ServiceOutcome startDetached(const QString &program, const QStringList &arguments) override;

private:
    int m_timeoutMs;
    QProcessEnvironment m_environment;
};

} // namespace vell
