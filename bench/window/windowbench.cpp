// How the window answers during a first copy, and how fast it comes up.
//
//   vellwindowbench --run SOURCE TARGET [--headless]
//       mirrors SOURCE into TARGET once with the real window up (or with the
//       headless host) while a second thread posts an event every 10 ms, and
//       prints the run's time and the delay before each event was handled.
//   vellwindowbench --startup N
//       makes a program folder of N couples and prints the time from exec
//       (and from main) to the window shown.

#include "service/commandrunner.h"
#include "service/eventlog.h"
#include "shell/headlessdialogs.h"
#include "shell/headlesshost.h"
#include "shell/programstart.h"
#include "shell/ui/mainwindow.h"
#include "shell/ui/qtdialogs.h"
#include "shell/vellprogram.h"
#include "config/folderpairsfile.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <time.h>
#include <unistd.h>

using namespace vell;
using Clock = std::chrono::steady_clock;

namespace {

// Carries the time it was posted; its receiver notes how late it came.
struct StampEvent final : QEvent
{
    static const QEvent::Type Kind;
    explicit StampEvent(Clock::time_point at) : QEvent(Kind), posted(at) {}
    Clock::time_point posted;
};
const QEvent::Type StampEvent::Kind = QEvent::Type(QEvent::registerEventType());

class DelayRecorder final : public QObject
{
public:
    std::vector<double> delaysMs;
    bool event(QEvent *e) override
    {
        if (e->type() != StampEvent::Kind)
            return QObject::event(e);
        const auto late = Clock::now() - static_cast<StampEvent *>(e)->posted;
        delaysMs.push_back(std::chrono::duration<double, std::milli>(late).count());
        return true;
    }
};

QString programFolder(QTemporaryDir &dir, const QList<QPair<QString, QString>> &couples)
{
    FolderPairList pairs;
    for (const auto &[source, target] : couples)
        pairs.append({source, target});
    const ProgramFiles files{dir.path()};
    (void)SaveFolderPairs(files, pairs, SystemInfo{.IsNT = true});
    QFile ini(files.settingsFile());
    if (ini.open(QIODevice::WriteOnly))
        ini.write("[Configuration]\r\nLangue=3\r\nAfficherFichiers=0\r\n");
    return dir.path();
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5)));
}

int runOnce(const QString &source, const QString &target, bool headless)
{
    QTemporaryDir dir;
    const QString folder = programFolder(dir, {{source, target}});
    ProcessCommandRunner runner;
    SyslogEventLog eventLog;
    std::unique_ptr<EngineHost> host;
    MainWindow *window = nullptr;
    if (headless) {
        host = std::make_unique<HeadlessHost>(runner, eventLog);
    } else {
        auto owned = std::make_unique<MainWindow>(runner, eventLog);
        window = owned.get();
        host = std::move(owned);
    }
    HeadlessDialogs dialogs;
    VellProgram program(StartupOptions{folder, QStringLiteral("/nonexistent/vell"), {}, headless}, *host, dialogs,
                        runner, eventLog);
    if (window)
        window->attach(program, dialogs);
    if (program.prepare())
        return 1;
    if (window)
        window->showStartup();

    DelayRecorder recorder;
    std::atomic<bool> done{false};
    std::thread poster([&] {
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            QCoreApplication::postEvent(&recorder, new StampEvent(Clock::now()));
        }
    });
    const auto start = Clock::now();
    program.controller().StartStop();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    done = true;
    poster.join();
    QCoreApplication::sendPostedEvents(&recorder);
    program.controller().StartStop();
    std::printf("windowbench %s run=%.3f s events=%zu delay median=%.1f ms p99=%.1f ms max=%.1f ms\n",
                headless ? "headless" : "window", seconds, recorder.delaysMs.size(),
                percentile(recorder.delaysMs, 0.5), percentile(recorder.delaysMs, 0.99),
                percentile(recorder.delaysMs, 1.0));
    return 0;
}

// The process's start, from /proc/self/stat, on the boot-time clock.
double secondsSinceExec()
{
    FILE *stat = std::fopen("/proc/self/stat", "r");
    if (!stat)
        return -1;
    unsigned long long startTicks = 0;
    // Field 22 is the start time; the command name in field 2 has no blank here.
    if (std::fscanf(stat, "%*d %*s %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu",
                    &startTicks) != 1)
        startTicks = 0;
    std::fclose(stat);
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9 - double(startTicks) / double(sysconf(_SC_CLK_TCK));
}

int runStartup(int couples, Clock::time_point mainEntered)
{
    QTemporaryDir dir;
    QList<QPair<QString, QString>> list;
    for (int i = 0; i < couples; ++i)
        list.append({dir.path() + QStringLiteral("/s%1").arg(i), dir.path() + QStringLiteral("/t%1").arg(i)});
    for (const auto &[s, t] : list) {
        (void)QDir().mkpath(s);
        (void)QDir().mkpath(t);
    }
    const QString folder = programFolder(dir, list);
    ProcessCommandRunner runner;
    SyslogEventLog eventLog;
    MainWindow window(runner, eventLog);
    QtDialogs dialogs;
    VellProgram program(StartupOptions{folder, QStringLiteral("/nonexistent/vell"), {}, false}, window, dialogs,
                        runner, eventLog);
    window.attach(program, dialogs);
    if (program.prepare())
        return 1;
    window.showStartup();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    const double fromMain = std::chrono::duration<double, std::milli>(Clock::now() - mainEntered).count();
    std::printf("windowbench startup couples=%d shown after %.0f ms from main, %.0f ms from exec\n", couples,
                fromMain, secondsSinceExec() * 1000);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const Clock::time_point mainEntered = Clock::now();
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() >= 3 && args.at(1) == QLatin1String("--startup"))
        return runStartup(args.at(2).toInt(), mainEntered);
    if (args.size() >= 4 && args.at(1) == QLatin1String("--run"))
        return runOnce(args.at(2), args.at(3), args.contains(QLatin1String("--headless")));
    std::fprintf(stderr, "usage: vellwindowbench --run SOURCE TARGET [--headless] | --startup N\n");
    return 2;
}
