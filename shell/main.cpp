// Vell: keeps target folders exact copies of their source folders.

#include "base/exitstatus.h"
#include "service/commandrunner.h"
#include "service/eventlog.h"
#include "service/serviceevents.h"
#include "shell/headlesshost.h"
#include "shell/headlessdialogs.h"
#include "shell/vellprogram.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

using namespace vell;

namespace {

StartupOptions optionsFor(const QStringList &arguments)
{
    StartupOptions options;
    // applicationDirPath() reads /proc/self/exe with links resolved.
    options.programFolder = QDir::cleanPath(QCoreApplication::applicationDirPath());
    options.programPath = QCoreApplication::applicationFilePath();
    options.commandLine = arguments.mid(1).join(QLatin1Char(' '));
    options.headless = true; // the window is not built yet: every start is headless
    return options;
}

// Without a window, a start that does not mirror has nothing left to do.
int explainIdleStart(const VellProgram &program)
{
    if (program.pairs.isEmpty())
        std::fprintf(stderr, "Vell: no folder couple in %s; nothing to mirror.\n",
                     qPrintable(QDir::toNativeSeparators(program.files.couplesFile())));
    else
        std::fprintf(stderr, "Vell: without a display, mirroring starts only with Automatique=1 in %s.\n",
                     qPrintable(QDir::toNativeSeparators(program.files.settingsFile())));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ProcessCommandRunner runner;
    SyslogEventLog eventLog;
    HeadlessHost host(runner, eventLog);
    HeadlessDialogs dialogs;
    VellProgram program(optionsFor(QCoreApplication::arguments()), host, dialogs, runner, eventLog);
    host.attach(program.settings);

    // Installed before the first run, so SIGTERM ends even that run cleanly.
    const bool isService = program.service().RunsAsService();
    ServiceEvents events(program.settings, isService ? EventLogger([&eventLog](const QString &text, int type) {
        eventLog.write(text, type);
    }) : EventLogger());
    QObject::connect(&events, &ServiceEvents::stopRequested, &app,
                     [&program] { program.controller().requestEnd(ExitStatus::Normal); });

    if (const std::optional<int> end = program.start())
        return *end;
    if (host.endStatus())
        return *host.endStatus();
    if (!program.mirroringStarted() || program.pairs.isEmpty())
        return explainIdleStart(program);
    if (isService)
        events.announceStarted();
    return app.exec();
}
