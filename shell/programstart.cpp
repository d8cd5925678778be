#include "shell/programstart.h"

#include "base/exitstatus.h"
#include "base/programidentity.h"
#include "platform/programfolder.h"
#include "platform/xdisplay.h"
#include "service/serviceevents.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <cstring>

namespace vell {

namespace {

// applicationDirPath() reads /proc/self/exe with links resolved.
ProgramFolderChoice chooseForThisProcess()
{
    return ChooseProgramFolderFromEnvironment(QDir::cleanPath(QCoreApplication::applicationDirPath()));
}

} // namespace

StartupOptions StartupOptionsFor(const QStringList &arguments, bool headless, QString &error)
{
    const ProgramFolderChoice choice = chooseForThisProcess();
    error = choice.folder.isEmpty() ? QStringLiteral("Vell: no folder for the settings: ") + choice.error : QString();
    StartupOptions options;
    options.programFolder = choice.folder;
    options.dataFolder = choice.dataFolder;
    options.programPath = QCoreApplication::applicationFilePath();
    options.commandLine = arguments.mid(1).join(QLatin1Char(' '));
    options.headless = headless;
    return options;
}

std::optional<int> AnswerInformationSwitches(int argc, char *argv[])
{
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc; ++i) {
        help = help || std::strcmp(argv[i], "--help") == 0;
        version = version || std::strcmp(argv[i], "--version") == 0;
    }
    if (!help && !version)
        return std::nullopt;
    QCoreApplication app(argc, argv);
    const ProgramFolderChoice choice = chooseForThisProcess();
    const QString folder = choice.folder.isEmpty() ? choice.error : QDir::toNativeSeparators(choice.folder);
    const QString text = help ? UsageText(folder) : VersionReport(folder, choice.portable);
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return ExitStatus::Normal;
}

QString UsageText(const QString &folder)
{
    return QStringLiteral(
               "Usage: vell [-U] [TEXT...]\n"
               "Keeps target folders exact, up-to-date copies of their source folders, again and again on a timer.\n"
               "\n"
               "  -U         end at start-up when a couple's folder is missing (any letter case, anywhere)\n"
               "  --help     print this help and exit\n"
               "  --version  print the version and the program folder, and exit\n"
               "Any other text is shown in the window's title.\n"
               "\n"
               "Files, in the program folder %1:\n"
               "  Vell.ini        the settings\n"
               "  Vell.w          the folder couples\n"
               "  Signatures.txt  the Macintosh signatures\n"
               "  Log Vell yyyy-mm-dd.htm  the daily logs, unless the settings name another folder\n"
               "The program folder is the executable's own when it holds Vell.ini or Vell.w, or when it is\n"
               "writable and not an installed one; otherwise ${XDG_CONFIG_HOME:-~/.config}/Vell.\n"
               "\n"
               "With a display (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set) Vell opens its window and tray\n"
               "icon. Without one it runs headless: each run's summary on stdout, notices and failures on stderr;\n"
               "with Automatique=1 it mirrors every Temporisation seconds until SIGTERM, with ArretAutomatique=1\n"
               "as well it mirrors once and exits.\n"
               "As a service (Configuration / Install/remove Vell Service) it is a systemd user unit of its\n"
               "program folder in ~/.local/share/systemd/user/; see journalctl -t Vell.\n"
               "\n"
               "Exit status: 0 a normal end; 1 invalid couples file; 2 another Vell runs in this folder;\n"
               "3 a missing folder with -U; 4 the single run met a missing folder; 5 the single run had\n"
               "failures; 6 no program folder could be made.\n")
        .arg(folder);
}

QString VersionReport(const QString &folder, bool portable)
{
    return ProductName + QLatin1Char(' ') + VersionText + QLatin1Char('\n')
        + QStringLiteral("Program folder: %1 (%2)\n")
              .arg(folder, portable ? QStringLiteral("portable, beside the executable")
                                    : QStringLiteral("installed, in the user's configuration folder"));
}

bool HasDisplay()
{
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") || qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return true;
    if (!qEnvironmentVariableIsSet("DISPLAY"))
        return false;
    const QByteArray display = qgetenv("DISPLAY");
    if (platform::XServerAnswers(display))
        return true;
    std::fprintf(stderr, "Vell: no X server answers at DISPLAY=%s; running without a window.\n",
                 display.constData());
    return false;
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
