#include "service/commandrunner.h"

#include <QProcess>

namespace vell {

QString CommandResult::diagnostic() const
{
    if (!started)
        return QStringLiteral("the program could not be started");
    if (timedOut)
        return QStringLiteral("the program did not finish in time");
    const QByteArray text = errors.trimmed().isEmpty() ? output : errors;
    return QString::fromUtf8(text).simplified();
}

ProcessCommandRunner::ProcessCommandRunner(int timeoutMs, QProcessEnvironment environment)
    : m_timeoutMs(timeoutMs), m_environment(std::move(environment))
{
}

CommandResult ProcessCommandRunner::run(const QString &program, const QStringList &arguments)
{
    CommandResult result;
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(m_timeoutMs))
        return result;
    result.started = true;
    if (!process.waitForFinished(m_timeoutMs)) {
        // A hung systemctl must not hang the window: kill it and say so.
        process.kill();
        (void)process.waitForFinished(1000);
        result.timedOut = true;
        return result;
    }
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    // A crash leaves no exit code worth reading.
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

ServiceOutcome ProcessCommandRunner::startDetached(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(m_environment);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return {false, process.errorString()};
    return {};
}

} // namespace vell
