#include "shell/programstart.h"

#include "base/exitstatus.h"
#include "service/serviceevents.h"

#include <QCoreApplication>
#include <QDir>

namespace vell {

StartupOptions StartupOptionsFor(const QStringList &arguments, bool headless)
{
    StartupOptions options;
    // applicationDirPath() reads /proc/self/exe with links resolved.
    options.programFolder = QDir::cleanPath(QCoreApplication::applicationDirPath());
    options.programPath = QCoreApplication::applicationFilePath();
    options.commandLine = arguments.mid(1).join(QLatin1Char(' '));
    options.headless = headless;
    return options;
}

bool HasDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
        || qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

std::unique_ptr<ServiceEvents> ConnectServiceEvents(VellProgram &program, EventLog &eventLog)
{
    const bool isService = program.service().RunsAsService();
    auto events = std::make_unique<ServiceEvents>(
        program.settings, isService ? EventLogger([&eventLog](const QString &text, int type) {
            eventLog.write(text, type);
        })
                                    : EventLogger());
    QObject::connect(events.get(), &ServiceEvents::stopRequested, &program.controller(),
                     [&program] { program.controller().requestEnd(ExitStatus::Normal); });
    return events;
}

} // namespace vell
