#include "shell/ui/windowstart.h"

#include "service/commandrunner.h"
#include "service/eventlog.h"
#include "service/serviceevents.h"
#include "shell/programstart.h"
#include "shell/ui/mainwindow.h"
#include "shell/ui/qtdialogs.h"

#include <QApplication>

namespace vell {

int RunWithWindow(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // the tray keeps the program alive
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vell.svg")));
    ProcessCommandRunner runner;
    SyslogEventLog eventLog;
    MainWindow window(runner, eventLog);
    QtDialogs dialogs;
    dialogs.setOwner(&window);
    VellProgram program(StartupOptionsFor(QApplication::arguments(), false), window, dialogs, runner, eventLog);
    window.attach(program, dialogs);
    const std::unique_ptr<ServiceEvents> events = ConnectServiceEvents(program, eventLog);

    if (const std::optional<int> end = program.prepare())
        return *end;
    window.showStartup();
    if (const std::optional<int> end = program.startAutomatically())
        return *end;
    if (window.endStatus())
        return *window.endStatus();
    if (program.service().RunsAsService())
        events->announceStarted();
    return QApplication::exec();
}

} // namespace vell
