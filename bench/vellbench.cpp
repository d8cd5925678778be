// vellbench: mirrors one couple the way a run does, inside a real Qt event
// loop, and prints the run's totals and times on one line. Its helper
// modes make the benchmark's trees and time the bare walk it is compared
// with; bench/run.sh drives it.

#include "bench/benchtools.h"
#include "config/settings.h"
#include "engine/enginehost.h"
#include "engine/eventpump.h"
#include "engine/mirrorcontext.h"
#include "engine/mirroring.h"
#include "oplog/logwords.h"
#include "platform/systeminfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

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

int runMirror(const MirrorOptions &options, const QString &source, const QString &target)
{
    if (!QFileInfo(source).isDir()) {
        std::fprintf(stderr, "vellbench: %s is not a folder\n", qPrintable(source));
        return 1;
    }
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
                           performance, bareWalk, parallel, generate, mutate, big, files, folders, depth, maxSize, sizeMiB,
                           modifyPercent, deletePercent, seed});
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
    return runMirror(*options, args.at(0), args.at(1));
}
