// vellbench: mirrors one couple the way a run does, inside a real Qt event
// loop, and prints the run's totals and times on one line. --session keeps
// one program's controller alive across runs (watched runs need that) and
// takes its commands on stdin. Its helper modes make the benchmark's trees
// and time the bare walk it is compared with; bench/run.sh drives it.

#include "bench/benchtools.h"
#include "config/settings.h"
#include "engine/enginehost.h"
#include "engine/eventpump.h"
#include "engine/mirrorcontext.h"
#include "engine/mirrorcontroller.h"
#include "engine/mirroring.h"
#include "engine/watchbook.h"
#include "oplog/logwords.h"
#include "platform/systeminfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <sys/resource.h>

namespace vell::bench {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A host that does what the window's does at every yield: lets Qt's event
// loop run, throttled by EventPump. Without a pump it only counts.
class BenchHost final : public EngineHost
{
public:
    explicit BenchHost(std::optional<EventPump> pump) : m_pump(std::move(pump)) {}

    void yieldToInterface(int times) override
    {
        ++m_yields;
        if (m_pump)
            m_pump->pump(times);
    }

    // Why a couple is not watched: a session's runs are then all full.
    void noteWatching(const QString &text) override { std::fprintf(stderr, "vellbench: %s\n", qPrintable(text)); }

    [[nodiscard]] uint64_t yields() const { return m_yields; }

private:
    std::optional<EventPump> m_pump;
    uint64_t m_yields = 0;
};

struct MirrorOptions
{
    Settings settings;
    RunFlags flags;
    bool remove = false;
    bool pump = true;
    int pumpIntervalMs = 5;
};

// User plus system seconds of every thread of the process so far.
double cpuSeconds()
{
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) != 0)
        return -1;
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The process's peak resident memory (VmHWM) in KiB, -1 when unknown.
long long peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith("VmHWM:"))
            continue;
        bool ok = false;
        const long long kib = line.mid(6).trimmed().split(' ').value(0).toLongLong(&ok);
        return ok ? kib : -1;
    }
    return -1;
}

[[nodiscard]] bool applySecurity(const QString &choice, Settings &settings)
{
    settings.CopierSecurite = choice != QLatin1String("none");
    settings.CopierSecuriteDossiers = choice == QLatin1String("folders");
    settings.CopierSecuriteTout = choice == QLatin1String("all");
    return choice == QLatin1String("none") || choice == QLatin1String("mod") || choice == QLatin1String("folders")
        || choice == QLatin1String("all");
}

void printTotals(const RunTotals &t)
{
    const auto n = [](int64_t value) { return static_cast<long long>(value); };
    std::printf(" FilesExamined=%lld FilesCreated=%lld FilesModified=%lld FilesRemoved=%lld SecuritiesCopied=%lld"
                " SecuritiesNotCopied=%lld AttributesCopied=%lld FoldersCreated=%lld FoldersRemoved=%lld Failures=%lld",
                n(t.FilesExamined), n(t.FilesCreated), n(t.FilesModified), n(t.FilesRemoved), n(t.SecuritiesCopied),
                n(t.SecuritiesNotCopied), n(t.AttributesCopied), n(t.FoldersCreated), n(t.FoldersRemoved),
                n(t.Failures));
}

[[nodiscard]] bool areFolders(const QString &source, const QString &target, bool targetToo)
{
    for (const QString &folder : targetToo ? QStringList{source, target} : QStringList{source}) {
        if (!QFileInfo(folder).isDir()) {
            std::fprintf(stderr, "vellbench: %s is not a folder\n", qPrintable(folder));
            return false;
        }
    }
    return true;
}

int runMirror(const MirrorOptions &options, const QString &source, const QString &target)
{
    if (!areFolders(source, target, false))
        return 1;
    const SystemInfo system = QuerySystemInfo();
    RunState state;
    state.MirroringOff = false;
    state.ManualRun = true;
    BenchHost host(options.pump ? std::optional<EventPump>(std::chrono::milliseconds(options.pumpIntervalMs))
                                : std::nullopt);
    MirrorContext ctx{options.settings, system, state, options.flags, {}, {}, {}, {}};
    ctx.yield = [&host, &options] {
        if (options.settings.Performance >= 1)
            host.yieldToInterface(options.settings.Performance);
    };

    // Something for the pumps to deliver, as the window's timers would.
    uint64_t ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &timer, [&ticks] { ++ticks; });
    timer.start(10);

    const Clock::time_point start = Clock::now();
    MirrorFolder(ctx, source, target);
    const double mirrorSeconds = secondsSince(start);
    if (options.remove && !state.MirroringOff)
        RemoveObsolete(ctx, source, target);
    const double elapsed = secondsSince(start);

    std::printf("vellbench elapsed=%.6f mirror=%.6f remove=%.6f", elapsed, mirrorSeconds, elapsed - mirrorSeconds);
    printTotals(state.totals);
    std::printf(" yields=%llu ticks=%llu pump=%s\n", static_cast<unsigned long long>(host.yields()),
                static_cast<unsigned long long>(ticks), options.pump ? "on" : "off");
    return 0;
}

// One program's couple, driven the way the one-second timer drives it, so
// that the watches of one run serve the next.
class Session
{
public:
    Session(const MirrorOptions &options, const QString &source, const QString &target)
        : m_settings(options.settings), m_system(QuerySystemInfo()),
          m_host(options.pump ? std::optional<EventPump>(std::chrono::milliseconds(options.pumpIntervalMs))
                              : std::nullopt)
    {
        // The timer keeps ticking between runs, as in the program, but
        // starts a run only when asked.
        m_settings.Temporisation = 1 << 30;
        FolderPair pair;
        pair.Source = source;
        pair.Cible = target;
        pair.Deplacer = options.flags.Deplacer;
        pair.Nouveau = options.flags.Nouveau;
        pair.Effacer = options.remove;
        m_pairs << pair;
        m_state.MirroringOff = false;
        m_controller = std::make_unique<MirrorController>(
            RunEnvironment{m_settings, m_pairs, m_system, m_state, m_host, {}, {}, {}, {}, {}});
    }

    // Answers one command; false once the session must end.
    bool command(const QString &line)
    {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString verb = words.value(0);
        if (verb == QLatin1String("run") && words.size() == 1)
            run();
        else if (verb == QLatin1String("idle") && words.size() == 2 && words.at(1).toDouble() >= 0)
            idle(words.at(1).toDouble());
        else if (verb == QLatin1String("rss") && words.size() == 1)
            std::printf("rss peak_kib=%lld\n", peakResidentKiB());
        else if (verb == QLatin1String("quit") && words.size() == 1)
            std::printf("quit\n");
        else
            std::printf("error unknown command: %s\n", qPrintable(line));
        std::fflush(stdout);
        return verb != QLatin1String("quit");
    }

private:
    void run()
    {
        const WatchStats before = stats();
        const double cpuStart = cpuSeconds();
        const Clock::time_point start = Clock::now();
        m_controller->setSecondsToNextRun(0);
        m_controller->tick();
        const double elapsed = secondsSince(start);
        const double cpu = cpuSeconds() - cpuStart;
        const WatchStats after = stats();
        const RunTotals &t = m_state.totals;
        std::printf("run elapsed=%.6f cpu=%.6f", elapsed, cpu);
        printTotals(t);
        std::printf(" Invalid=%lld watched=%lld full=%lld pass=%lld skip=%lld\n",
                    static_cast<long long>(t.InvalidSources + t.InvalidTargets),
                    static_cast<long long>(after.watchedRuns - before.watchedRuns),
                    static_cast<long long>(after.fullFolders - before.fullFolders),
                    static_cast<long long>(after.passFolders - before.passFolders),
                    static_cast<long long>(after.skipFolders - before.skipFolders));
    }

    // The event loop alone, as between two timed runs: the watches'
    // events are read here, and the timer ticks.
    void idle(double seconds)
    {
        const double cpuStart = cpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000)), &loop,
                           &QEventLoop::quit);
        loop.exec();
        std::printf("idle seconds=%g cpu=%.6f\n", seconds, cpuSeconds() - cpuStart);
    }

    [[nodiscard]] WatchStats stats() const
    {
        const WatchBook *book = m_controller->watchBook();
        return book ? book->stats() : WatchStats{};
    }

    Settings m_settings;
    SystemInfo m_system;
    FolderPairList m_pairs;
    RunState m_state;
    BenchHost m_host;
    std::unique_ptr<MirrorController> m_controller;
};

int runSession(const MirrorOptions &options, const QString &source, const QString &target)
{
    if (!areFolders(source, target, true))
        return 1;
    Session session(options, source, target);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!session.command(QString::fromStdString(line)))
            return 0;
    }
    return 0; // the end of the commands ends the session too
}

int runBareWalk(const QString &source, const QString &target, bool parallel)
{
    WalkCount count;
    const Clock::time_point start = Clock::now();
    const QByteArray src = QFile::encodeName(source);
    const QByteArray tgt = QFile::encodeName(target);
    const int rc = parallel ? BareWalkParallel(src, tgt, count) : BareWalk(src, tgt, count);
    const double elapsed = secondsSince(start);
    if (rc < 0) {
        std::fprintf(stderr, "vellbench: walk failed: %s\n", std::strerror(-rc));
        return 1;
    }
    std::printf("barewalk elapsed=%.6f files=%llu folders=%llu missing=%llu\n", elapsed,
                static_cast<unsigned long long>(count.files), static_cast<unsigned long long>(count.folders),
                static_cast<unsigned long long>(count.missingInTarget));
    return 0;
}

int reportHelper(const char *what, int rc)
{
    if (rc == 0)
        return 0;
    std::fprintf(stderr, "vellbench: %s failed: %s\n", what, std::strerror(-rc));
    return 1;
}

struct Parsed
{
    QCommandLineParser parser;
    QCommandLineOption newer{"newer", "Copy only sources newer than their target (Nouveau)."};
    QCommandLineOption move{"move", "Delete each source once copied (Deplacer)."};
    QCommandLineOption attributes{"attributes", "Copy attribute words (CopierAttributs)."};
    QCommandLineOption security{"security", "Permissions to copy: none, mod, folders or all.", "choice", "none"};
    QCommandLineOption noSubfolders{"no-subfolders", "Mirror the top folder only."};
    QCommandLineOption remove{"remove", "Remove obsolete target items after the mirror."};
    QCommandLineOption pump{"pump", "Pump Qt's event loop at every yield (the default)."};
    QCommandLineOption noPump{"no-pump", "Only count the yields."};
    QCommandLineOption pumpInterval{"pump-interval", "Milliseconds between two pumps (5).", "ms", "5"};
    QCommandLineOption performance{"performance", "Pumps per yield (Performance).", "n", "1"};
    QCommandLineOption copies{"copies", "Files copied at once (CopiesSimultanees): 0 as suits the machine.", "n",
                              "0"};
    QCommandLineOption session{"session", "Keep one program's couple; commands on stdin: run, idle S, rss, quit."};
    QCommandLineOption noWatch{"no-watch", "--session: no watches (Surveillance off), every run full."};
    QCommandLineOption bareWalk{"bare-walk", "Time the two lstat calls per file and nothing else."};
    QCommandLineOption parallel{"parallel", "--bare-walk lists the two trees in two threads."};
    QCommandLineOption generate{"generate", "Make a tree in the folder given.", "root"};
    QCommandLineOption mutate{"mutate", "Modify and delete files of the tree given.", "root"};
    QCommandLineOption big{"big", "Make big files in the folder given.", "root"};
    QCommandLineOption files{"files", "Files of --generate, or of --big.", "n", "100000"};
    QCommandLineOption folders{"folders", "Folders of --generate.", "n", "5000"};
    QCommandLineOption depth{"depth", "Deepest level of --generate.", "n", "8"};
    QCommandLineOption maxSize{"max-size", "Largest file of --generate, in bytes.", "n", "16384"};
    QCommandLineOption sizeMiB{"size-mib", "Size of each --big file.", "n", "50"};
    QCommandLineOption modifyPercent{"modify-percent", "Files --mutate modifies.", "p", "1"};
    QCommandLineOption deletePercent{"delete-percent", "Files --mutate deletes.", "p", "1"};
    QCommandLineOption seed{"seed", "Seed of the generated data.", "n", "1"};

    Parsed()
    {
        parser.setApplicationDescription("Mirrors SOURCE into TARGET with Vell's engine and prints the totals.");
        parser.addHelpOption();
        parser.addOptions({newer, move, attributes, security, noSubfolders, remove, pump, noPump, pumpInterval,
                           performance, copies, session, noWatch, bareWalk, parallel, generate, mutate, big, files,
                           folders, depth, maxSize, sizeMiB, modifyPercent, deletePercent, seed});
        parser.addPositionalArgument("source", "The source folder.");
        parser.addPositionalArgument("target", "The target folder.");
    }

    [[nodiscard]] int number(const QCommandLineOption &option) const { return parser.value(option).toInt(); }
};

int runHelpers(const Parsed &p)
{
    const uint64_t seed = p.parser.value(p.seed).toULongLong();
    if (p.parser.isSet(p.generate)) {
        TreeShape shape{p.number(p.files), p.number(p.folders), p.number(p.depth), p.number(p.maxSize), seed};
        return reportHelper("--generate", GenerateTree(QFile::encodeName(p.parser.value(p.generate)), shape));
    }
    if (p.parser.isSet(p.mutate)) {
        return reportHelper("--mutate", MutateTree(QFile::encodeName(p.parser.value(p.mutate)),
                                                   p.parser.value(p.modifyPercent).toDouble(),
                                                   p.parser.value(p.deletePercent).toDouble(), seed));
    }
    return reportHelper("--big", GenerateBigFiles(QFile::encodeName(p.parser.value(p.big)), p.number(p.files),
                                                  int64_t(p.number(p.sizeMiB)) << 20, seed));
}

std::optional<MirrorOptions> mirrorOptions(const Parsed &p)
{
    MirrorOptions options;
    options.flags.Nouveau = p.parser.isSet(p.newer);
    options.flags.Deplacer = p.parser.isSet(p.move);
    options.settings.CopierAttributs = p.parser.isSet(p.attributes);
    options.settings.MiroirSousDossiers = !p.parser.isSet(p.noSubfolders);
    options.settings.Performance = p.number(p.performance);
    options.settings.Surveillance = !p.parser.isSet(p.noWatch);
    bool copiesOk = false;
    options.settings.CopiesSimultanees = p.parser.value(p.copies).toInt(&copiesOk);
    if (!copiesOk || options.settings.CopiesSimultanees < 0
        || options.settings.CopiesSimultanees > Settings::MaxCopiesSimultanees) {
        std::fprintf(stderr, "vellbench: --copies takes 0 to %d\n", Settings::MaxCopiesSimultanees);
        return std::nullopt;
    }
    options.remove = p.parser.isSet(p.remove);
    options.pump = !p.parser.isSet(p.noPump);
    options.pumpIntervalMs = p.number(p.pumpInterval);
    if (!applySecurity(p.parser.value(p.security), options.settings)) {
        std::fprintf(stderr, "vellbench: --security takes none, mod, folders or all\n");
        return std::nullopt;
    }
    return options;
}

} // namespace

} // namespace vell::bench

int main(int argc, char *argv[])
{
    using namespace vell::bench;
    QCoreApplication app(argc, argv);
    Parsed p;
    p.parser.process(app);
    if (p.parser.isSet(p.generate) || p.parser.isSet(p.mutate) || p.parser.isSet(p.big))
        return runHelpers(p);

    const QStringList args = p.parser.positionalArguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "vellbench: give SOURCE and TARGET (see --help)\n");
        return 2;
    }
    if (p.parser.isSet(p.bareWalk))
        return runBareWalk(args.at(0), args.at(1), p.parser.isSet(p.parallel));
    const std::optional<MirrorOptions> options = mirrorOptions(p);
    if (!options)
        return 2;
    if (p.parser.isSet(p.session))
        return runSession(*options, args.at(0), args.at(1));
    return runMirror(*options, args.at(0), args.at(1));
}
