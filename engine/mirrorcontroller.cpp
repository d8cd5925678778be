#include "engine/mirrorcontroller.h"

#include "base/exitstatus.h"
#include "config/folderprobe.h"
#include "engine/alertpolicy.h"
#include "engine/mirroring.h"
#include "engine/runtexts.h"
#include "engine/walkplan.h"
#include "engine/watchbook.h"
#include "oplog/dailylog.h"
#include "oplog/logline.h"
#include "platform/fileops.h"
#include "platform/filesystemkind.h"
#include "platform/inotify.h"
#include "platform/mounts.h"
#include "platform/pathcodec.h"
#include "platform/uniquefd.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>

namespace vell {

MirrorController::MirrorController(RunEnvironment env, QObject *parent) : QObject(parent), m_env(std::move(env))
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &MirrorController::tick);
    m_secondsToNextRun = m_env.settings.Temporisation;
}

MirrorController::~MirrorController() = default;

namespace {

// The kernel's inotify, as the watch book asks for it.
WatchSystem PlatformWatchSystem()
{
    WatchSystem system;
    system.open = [] { return platform::openInotify(); };
    system.watchAt = [](int inotifyFd, int dirFd, const QByteArray &name) {
        return platform::watchFolderAt(inotifyFd, dirFd, name);
    };
    system.watchFd = [](int inotifyFd, int fd) { return platform::watchFolderFd(inotifyFd, fd); };
    system.unwatch = [](int inotifyFd, int wd) { return platform::unwatch(inotifyFd, wd); };
    system.read = [](int inotifyFd, std::vector<WatchEventRecord> &out) {
        std::vector<platform::WatchEvent> events;
        const int rc = platform::readWatchEvents(inotifyFd, events);
        out.reserve(out.size() + events.size());
        for (platform::WatchEvent &e : events)
            out.push_back(WatchEventRecord{e.wd, e.mask, e.cookie, std::move(e.name)});
        return rc;
    };
    system.maxUserWatches = [] { return platform::maxUserWatches(); };
    system.fileSystemWatchable = [](int fd, bool &watchable, QByteArray &typeName) {
        return platform::fileSystemWatchable(fd, watchable, typeName);
    };
    system.bootClock = [] { return platform::bootNanoseconds(); };
    system.openMountTable = [] { return platform::openMountTable(); };
    system.links = [](const QByteArray &path) -> int64_t {
        platform::EntryInfo entry;
        const int rc = platform::lookUp(AT_FDCWD, path, entry, false);
        if (rc == -ENOENT || rc == -ENOTDIR)
            return 0;
        if (rc == -EINVAL)
            return 1; // a special file: never mirrored
        if (rc < 0)
            return rc;
        return entry.kind == platform::EntryKind::File ? int64_t(entry.links) : 1;
    };
    return system;
}

} // namespace

// Surveillance is read at each run: off drops every watch at once.
void MirrorController::startWatching()
{
    if (!m_env.settings.Surveillance) {
        m_watch.reset();
        return;
    }
    if (m_watch)
        return;
    WatchSystem system = PlatformWatchSystem();
    if (m_env.watchSystem)
        m_env.watchSystem(system);
    m_watch = std::make_unique<WatchBook>(m_env.settings, std::move(system));
}

// Why couples fall back to full runs: each said once, in the day's log like
// an unknown folder, and to the host.
void MirrorController::sayWatchNotes()
{
    if (!m_watch)
        return;
    const Settings &settings = m_env.settings;
    for (const QString &note : m_watch->takeNotes(settings.Langue)) {
        m_env.host.noteWatching(note);
        if (settings.Logs && !m_env.state.CurrentLogFile.isEmpty()) {
            (void)OpenDailyLog(m_env.state.CurrentLogFile, settings);
            appendLog(HtmlEscaped(now().time().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" - ") + note)
                      + QStringLiteral("<br>"));
        }
    }
}

QDateTime MirrorController::now() const
{
    return m_env.clock ? m_env.clock() : QDateTime::currentDateTime();
}

MirrorController::Phase MirrorController::phase() const
{
    if (m_ended)
        return Phase::Ended;
    if (m_running)
        return Phase::Running;
    return m_timer.isActive() ? Phase::Waiting : Phase::Stopped;
}

int MirrorController::waitProgressMaximum() const
{
    const int delay = m_env.settings.Temporisation;
    return delay < 2 ? 1 : delay - 1;
}

int MirrorController::lastRunExitStatus() const
{
    if (m_unknownFolderMet)
        return ExitStatus::UnknownFolder;
    return m_env.state.totals.Failures > 0 ? ExitStatus::RunFailures : ExitStatus::Normal;
}

void MirrorController::StartStop()
{
    EngineHost &host = m_env.host;
    RunState &state = m_env.state;
    m_secondsToNextRun = m_env.settings.Temporisation;
    host.setWaitProgress(0, waitProgressMaximum());
    host.setRunProgress(0, 1);
    if (state.MirroringOff) {
        if (m_env.pairs.isEmpty() || m_ended)
            return;
        host.setStatusText(QString());
        host.setMirroringActive(true);
        state.MirroringOff = false;
        state.ManualRun = true;
        RunMirror();
        state.ManualRun = false;
        return;
    }
    m_timer.stop();
    host.setCounterText(QString());
    state.MirroringOff = true;
    host.setMirroringActive(false);
    host.setTrayState(TrayState::Idle);
}

void MirrorController::requestEnd(int exitStatus)
{
    m_env.state.MirroringOff = true;
    m_timer.stop();
    if (m_ended)
        return;
    m_ended = true;
    m_env.host.endProgram(exitStatus);
}

void MirrorController::tick()
{
    if (m_secondsToNextRun < 1) {
        RunMirror();
        m_secondsToNextRun = m_env.settings.Temporisation;
        if (phase() != Phase::Waiting)
            return; // stopped during the run, or ended
    }
    m_env.host.setCounterText(QString::number(m_secondsToNextRun) + QStringLiteral(" s"));
    m_env.host.setWaitProgress(m_env.settings.Temporisation - m_secondsToNextRun, waitProgressMaximum());
    --m_secondsToNextRun;
}

void MirrorController::YieldToInterface()
{
    if (m_env.settings.Performance >= 1)
        m_env.host.yieldToInterface(m_env.settings.Performance);
    if (m_watch)
        m_watch->drainIfDue(); // a long run's events stay far below the kernel's queue
    if (m_env.stopPending && !m_ended && m_env.stopPending())
        requestEnd(ExitStatus::Normal);
}

void MirrorController::startLog(const QDateTime &start)
{
    const Settings &settings = m_env.settings;
    m_env.state.CurrentLogFile.clear();
    if (!settings.Logs)
        return;
    m_env.state.CurrentLogFile = DailyLogFileName(settings.PathLogs, start.date());
    (void)OpenDailyLog(m_env.state.CurrentLogFile, settings); // a file that cannot be made shows at its first line
}

// A line that cannot be written is lost and the run goes on; the first
// such line of a run is reported.
void MirrorController::appendLog(const QString &line)
{
    const QString &file = m_env.state.CurrentLogFile;
    if (file.isEmpty())
        return;
    const int rc = AppendLogLine(file, line);
    if (rc == 0 || m_logFailureReported)
        return;
    m_logFailureReported = true;
    ++m_env.state.totals.Failures;
    reportFailure(ItemEvent{ItemOperation::Writing, false, file, -rc});
}

void MirrorController::reportFailure(const ItemEvent &event)
{
    m_env.host.reportFailure(event, FailureText(m_words, event));
}

void MirrorController::record(const ItemEvent &event)
{
    if (m_env.observe)
        m_env.observe(event);
    if (event.failed())
        reportFailure(event);
    if (m_env.settings.Logs && m_env.settings.FichiersLogs)
        appendLog(ItemLogLine(m_words, event));
}

void MirrorController::RunMirror()
{
    EngineHost &host = m_env.host;
    RunState &state = m_env.state;
    const QDateTime start = now();
    m_running = true;
    m_unknownFolderMet = false;
    m_logFailureReported = false;
    m_words = LogWordsFor(m_env.settings.Langue);
    host.setCounterText(QString());
    host.setTrayState(TrayState::Mirroring);
    startLog(start);
    host.setWaitProgress(0, waitProgressMaximum());
    m_timer.stop();
    state.totals = RunTotals();
    startWatching();
    if (m_watch)
        m_watch->drain(); // tests have no event loop; the kernel queued every event already
    sayWatchNotes();

    // The run works on its own copy of the couples: nothing a yield lets
    // happen (a reload, an edit) can shift a couple under it.
    FolderPairList snapshot = m_env.pairs;
    const qsizetype count = snapshot.size();
    host.setRunProgress(0, count > 0 ? int(count) : 1);
    for (qsizetype i = 0; i < count; ++i) {
        host.setRunProgress(int(i + 1), int(count));
        host.setCounterText(QString::number(i + 1) + QLatin1Char('/') + QString::number(count));
        checkAndMirror(snapshot[i], i);
        writeBack(snapshot[i], i);
        YieldToInterface();
        if (state.MirroringOff)
            break;
    }
    if (m_watch) {
        // Couples no longer in the list (or with other options) lose their watches.
        const Settings &settings = m_env.settings;
        const SystemInfo &system = m_env.system;
        const FolderPairList &pairs = m_env.pairs;
        m_watch->retain([&](const QString &source, const QString &target, const RunShape &shape) {
            return std::any_of(pairs.begin(), pairs.end(), [&](const FolderPair &p) {
                const RunFlags flags{p.Deplacer, p.Renommer, p.Nouveau, p.Effacer};
                return !p.Renommer && p.Source == source && p.Cible == target
                    && RunShapeOf(settings, system, flags) == shape;
            });
        });
    }
    finishRun(start);
}

// What the run learnt of a couple goes back to the list, if the list still
// holds that couple at that place.
void MirrorController::writeBack(const FolderPair &pair, qsizetype index)
{
    if (index >= m_env.pairs.size())
        return;
    FolderPair &live = m_env.pairs[index];
    if (live.Source != pair.Source || live.Cible != pair.Cible)
        return;
    live.TemporisationsRestantes = pair.TemporisationsRestantes;
    live.SourceFileSystem = pair.SourceFileSystem;
}

void MirrorController::checkAndMirror(FolderPair &pair, qsizetype index)
{
    RunTotals &totals = m_env.state.totals;
    if (pair.Source.isEmpty()) {
        ++totals.InvalidSources;
        return;
    }
    if (pair.Cible.isEmpty()) {
        ++totals.InvalidTargets;
        return;
    }
    ++totals.CouplesCounted;
    if (!FolderExists(pair.Source)) {
        ++totals.InvalidSources;
        raiseUnknownFolderAlert(pair.Source, true);
        if (!FolderExists(pair.Cible)) {
            ++totals.InvalidTargets;
            raiseUnknownFolderAlert(pair.Cible, false);
        }
        return;
    }
    if (!FolderExists(pair.Cible)) {
        ++totals.InvalidTargets;
        raiseUnknownFolderAlert(pair.Cible, false);
        return;
    }
    // An empty source where a disk should be must not empty its target.
    if (const QString reason = unmountedSourceReason(pair); !reason.isEmpty()) {
        ++totals.InvalidSources;
        raiseUnknownFolderAlert(pair.Source, true, reason);
        return;
    }
    // The couple's turn: every k-th timed run, and every run the user starts.
    const int32_t remaining = pair.TemporisationsRestantes - 1;
    if (remaining >= 1 && !m_env.state.ManualRun) {
        pair.TemporisationsRestantes = remaining;
        return;
    }
    pair.TemporisationsRestantes = pair.NbTemporisations;
    mirrorCouple(pair, index);
}

// Empty: the source is what it seems. Otherwise the reason, for the alert,
// why an empty source whose target is not empty is taken for a disk that
// is not mounted: the folder is an fstab mount point with nothing mounted
// on it, or it lies on another file system than at the last complete run.
QString MirrorController::unmountedSourceReason(const FolderPair &pair) const
{
    using namespace platform;
    const UniqueFd source(openFolderPath(PathToBytes(pair.Source)));
    const UniqueFd target(openFolderPath(PathToBytes(pair.Cible)));
    bool sourceEmpty = false;
    bool targetEmpty = true;
    if (!source.valid() || !target.valid() || isEmptyFolder(source.get(), sourceEmpty) != 0 || !sourceEmpty
        || isEmptyFolder(target.get(), targetEmpty) != 0 || targetEmpty)
        return {};
    const QString canonical = QFileInfo(pair.Source).canonicalFilePath();
    if (!canonical.isEmpty() && isUnmountedFstabMountPoint(PathToBytes(canonical), m_env.fstab.constData()))
        return NotMountedText(NotMountedReason::FstabMountPoint, m_env.settings.Langue);
    const QByteArray fileSystem = fileSystemId(source.get());
    if (!pair.SourceFileSystem.isEmpty() && !fileSystem.isEmpty()
        && pair.SourceFileSystem != QString::fromLatin1(fileSystem))
        return NotMountedText(NotMountedReason::OtherFileSystem, m_env.settings.Langue);
    return {};
}

void MirrorController::rememberSourceFileSystem(FolderPair &pair, qsizetype index)
{
    const platform::UniqueFd source(platform::openFolderPath(PathToBytes(pair.Source)));
    if (!source.valid())
        return;
    const QString fileSystem = QString::fromLatin1(platform::fileSystemId(source.get()));
    if (fileSystem.isEmpty() || fileSystem == pair.SourceFileSystem)
        return;
    pair.SourceFileSystem = fileSystem;
    if (m_env.rememberSourceFileSystem)
        m_env.rememberSourceFileSystem(index, fileSystem);
}

void MirrorController::mirrorCouple(FolderPair &pair, qsizetype index)
{
    // The modes are taken just before the couple is mirrored.
    MirrorContext ctx{m_env.settings, m_env.system, m_env.state, {}, {}, {}, m_env.extensions, {}};
    ctx.flags.Deplacer = pair.Deplacer;
    ctx.flags.Renommer = pair.Renommer;
    ctx.flags.Nouveau = pair.Nouveau;
    ctx.flags.Effacer = pair.Effacer;
    ctx.yield = [this] { YieldToInterface(); };
    ctx.record = [this](const ItemEvent &event) { record(event); };
    const RunShape shape = RunShapeOf(m_env.settings, m_env.system, ctx.flags);
    if (m_watch) {
        ctx.watchBook = m_watch.get();
        ctx.shape = &shape;
    }
    m_words = LogWordsFor(m_env.settings.Langue);
    MirrorFolder(ctx, pair.Source, pair.Cible);
    if (ctx.flags.Effacer && !ctx.flags.Deplacer && !m_env.state.MirroringOff) {
        if (m_watch)
            m_watch->drain(); // the mirror walk's own changes, before the removal walk decides
        RemoveObsolete(ctx, pair.Source, pair.Cible);
    }
    if (m_watch) {
        m_watch->finishCouple(ctx.plan ? &ctx.plan->couple() : nullptr, m_env.state.MirroringOff);
        ctx.plan.reset();
        sayWatchNotes();
    }
    if (!m_env.state.MirroringOff)
        rememberSourceFileSystem(pair, index);
}

void MirrorController::raiseUnknownFolderAlert(const QString &folder, bool source, const QString &reason)
{
    m_unknownFolderMet = true;
    const Settings &settings = m_env.settings;
    const QString text = now().time().toString(QStringLiteral("HH:mm:ss")) + UnknownFolderText(source, settings.Langue)
        + reason;
    const QString folderText = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    const bool serviceRunning = m_env.serviceRunning && m_env.serviceRunning();
    const AlertActions actions = DecideAlertActions(settings, m_env.system, serviceRunning);
    EngineHost &host = m_env.host;
    if (actions.notice)
        host.showNotice(text);
    if (actions.logLine && settings.Logs && !m_env.state.CurrentLogFile.isEmpty()) {
        (void)OpenDailyLog(m_env.state.CurrentLogFile, settings);
        appendLog(UnknownFolderLogLine(text, folderText));
    }
    if (actions.eventLog)
        host.logEvent(text + QStringLiteral(": ") + folderText, 2);
    if (actions.beep)
        host.beep();
    if (!actions.netSendArgv.isEmpty())
        host.runAlertCommand(actions.netSendArgv);
}

void MirrorController::finishRun(const QDateTime &start)
{
    EngineHost &host = m_env.host;
    RunState &state = m_env.state;
    const Settings &settings = m_env.settings;
    host.setRunProgress(0, 1);
    const QDateTime end = now();
    const RunTotals &t = state.totals;
    // Failures are listed in the day's log when it takes file lines.
    const bool failuresLogged = settings.Logs && settings.FichiersLogs && !m_logFailureReported;
    const SummaryLines summary = BuildSummaryLines(t, settings, m_env.system.IsNT, end, start.msecsTo(end),
                                                   failuresLogged ? state.CurrentLogFile : QString());
    host.setStatusText(summary.text());
    const bool changed = t.FilesCreated || t.FilesModified || t.FilesRemoved || t.FoldersCreated
        || t.FoldersRemoved || t.SecuritiesCopied || t.AttributesCopied;
    if (settings.Logs && (changed || t.Failures > 0))
        appendLog(SummaryLogEntry(summary.line1, summary.line2, summary.line3));
    host.setCounterText(QString());
    if (!state.MirroringOff)
        m_timer.start();
    host.refreshFileLists(t.FilesCreated >= 1 || t.FilesModified >= 1 || t.FilesRemoved >= 1);
    if (!state.MirroringOff)
        host.setTrayState(TrayState::Waiting);
    m_running = false;
    emit runFinished();
    if (settings.ArretAutomatique && !m_ended) {
        YieldToInterface();
        m_timer.stop();
        if (!m_ended) {
            m_ended = true;
            host.endProgram(lastRunExitStatus());
        }
    }
}

} // namespace vell
