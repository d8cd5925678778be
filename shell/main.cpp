// Vell: keeps target folders exact copies of their source folders.

#include "base/exitstatus.h"
#include "service/commandrunner.h"
#include "service/eventlog.h"
#include "service/serviceevents.h"
#include "shell/headlessdialogs.h"
#include "shell/headlesshost.h"
#include "shell/programstart.h"
#include "shell/ui/windowstart.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

using namespace vell;

namespace {

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

int runHeadless(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ProcessCommandRunner runner;
    SyslogEventLog eventLog;
    HeadlessHost host(runner, eventLog);
    HeadlessDialogs dialogs;
    QString error;
    const StartupOptions options = StartupOptionsFor(QCoreApplication::arguments(), true, error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return ExitStatus::NoProgramFolder;
    }
    VellProgram program(options, host, dialogs, runner, eventLog);
    host.attach(program.settings);
    const std::unique_ptr<ServiceEvents> events = ConnectServiceEvents(program, eventLog);

    if (const std::optional<int> end = program.start())
        return *end;
    if (host.endStatus())
        return *host.endStatus();
    if (!program.mirroringStarted() || program.pairs.isEmpty())
        return explainIdleStart(program);
    if (program.service().RunsAsService())
        events->announceStarted();
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    if (const std::optional<int> end = AnswerInformationSwitches(argc, argv))
        return *end;
    // The service runs headless unless it was installed as interactive,
    // which gives its unit the session's display.
    if (HasDisplay())
        return RunWithWindow(argc, argv);
    return runHeadless(argc, argv);
}
