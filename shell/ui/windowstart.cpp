#include "shell/ui/windowstart.h"

#include "service/commandrunner.h"
#include "service/eventlog.h"
#include "service/serviceevents.h"
#include "base/exitstatus.h"
#include "base/programidentity.h"
#include "shell/programstart.h"
#include "shell/ui/mainwindow.h"
#include "shell/ui/qtdialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

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
    QString error;
    const StartupOptions options = StartupOptionsFor(QApplication::arguments(), false, error);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        QMessageBox::critical(nullptr, ProductName, error);
        return ExitStatus::NoProgramFolder;
    }
    VellProgram program(options, window, dialogs, runner, eventLog);
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
