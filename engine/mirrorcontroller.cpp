#include "engine/mirrorcontroller.h"

#include "config/folderprobe.h"
#include "engine/mirroring.h"
#include "engine/runtexts.h"
#include "oplog/dailylog.h"
#include "oplog/logline.h"
#include "oplog/logwords.h"
#include "engine/alertpolicy.h"

namespace vell {

MirrorController::MirrorController(RunEnvironment env, QObject *parent) : QObject(parent), m_env(std::move(env))
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &MirrorController::tick);
    m_secondsToNextRun = m_env.settings.Temporisation;
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

void MirrorController::startLog(const QDateTime &start)
{
    const Settings &settings = m_env.settings;
    if (!settings.Logs)
        return;
    m_env.state.CurrentLogFile = DailyLogFileName(settings.PathLogs, start.date());
    (void)OpenDailyLog(m_env.state.CurrentLogFile, settings); // a log that cannot be made loses its lines
}

bool MirrorController::appendLog(const QString &line)
{
    if (m_env.state.CurrentLogFile.isEmpty())
        return false;
    return AppendLogLine(m_env.state.CurrentLogFile, line);
}

void MirrorController::RunMirror()
{
    EngineHost &host = m_env.host;
    RunState &state = m_env.state;
    const QDateTime start = now();
    m_running = true;
    m_unknownFolderMet = false;
    host.setCounterText(QString());
    host.setTrayState(TrayState::Mirroring);
    startLog(start);
    host.setWaitProgress(0, waitProgressMaximum());
    m_timer.stop();
    state.totals = RunTotals();

    const int count = int(m_env.pairs.size());
    host.setRunProgress(0, count > 0 ? count : 1);
    for (int i = 0; i < count; ++i) {
        host.setRunProgress(i + 1, count);
        host.setCounterText(QString::number(i + 1) + QLatin1Char('/') + QString::number(count));
        checkAndMirror(i);
        YieldToInterface(m_env.settings, host);
        if (state.MirroringOff)
            break;
    }
    finishRun(start);
}

void MirrorController::checkAndMirror(int index)
{
    RunTotals &totals = m_env.state.totals;
    FolderPair &pair = m_env.pairs[index];
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
    // The couple's turn: every k-th timed run, and every run the user starts.
    const int32_t remaining = pair.TemporisationsRestantes - 1;
    if (remaining >= 1 && !m_env.state.ManualRun) {
        pair.TemporisationsRestantes = remaining;
        return;
    }
    pair.TemporisationsRestantes = pair.NbTemporisations;
    mirrorCouple(pair);
}

void MirrorController::mirrorCouple(FolderPair &pair)
{
    // The modes are taken just before the couple is mirrored.
    MirrorContext ctx{m_env.settings, m_env.system, m_env.state, m_env.host, {}, LogWordsFor(m_env.settings.Langue),
                      {}, m_env.extensions, {}};
    ctx.flags.Deplacer = pair.Deplacer;
    ctx.flags.Renommer = pair.Renommer;
    ctx.flags.Nouveau = pair.Nouveau;
    const bool effacer = pair.Effacer;
    ctx.AppendLogLine = [this](const QString &line) { return appendLog(line); };
    const QString source = pair.Source;
    const QString target = pair.Cible;
    MirrorFolder(ctx, source, target);
    if (effacer && !ctx.flags.Deplacer && !m_env.state.MirroringOff)
        RemoveObsolete(ctx, source, target);
}

void MirrorController::raiseUnknownFolderAlert(const QString &folder, bool source)
{
    m_unknownFolderMet = true;
    const Settings &settings = m_env.settings;
    const QString text = now().time().toString(QStringLiteral("HH:mm:ss")) + UnknownFolderText(source, settings.Langue);
    const QString folderText = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    const bool serviceRunning = m_env.serviceRunning && m_env.serviceRunning();
    const AlertActions actions = DecideAlertActions(settings, m_env.system, serviceRunning);
    EngineHost &host = m_env.host;
    if (actions.notice)
        host.showNotice(text);
    if (actions.logLine && settings.Logs && !m_env.state.CurrentLogFile.isEmpty()) {
        (void)OpenDailyLog(m_env.state.CurrentLogFile, settings);
        (void)appendLog(UnknownFolderLogLine(text, folderText));
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
    const SummaryLines summary = BuildSummaryLines(t, settings, m_env.system.IsNT, end, start.msecsTo(end));
    host.setStatusText(summary.line1 + QLatin1Char('\n') + summary.line2);
    const bool changed = t.FilesCreated || t.FilesModified || t.FilesRemoved || t.FoldersCreated
        || t.FoldersRemoved || t.SecuritiesCopied || t.AttributesCopied;
    if (settings.Logs && changed)
        (void)appendLog(SummaryLogEntry(summary.line1, summary.line2));
    host.setCounterText(QString());
    if (!state.MirroringOff)
        m_timer.start();
    host.refreshFileLists(t.FilesCreated >= 1 || t.FilesModified >= 1 || t.FilesRemoved >= 1);
    if (!state.MirroringOff)
        host.setTrayState(TrayState::Waiting);
    m_running = false;
    emit runFinished();
    if (settings.ArretAutomatique) {
        YieldToInterface(settings, host);
        m_timer.stop();
        m_ended = true;
        host.endProgram(m_unknownFolderMet ? 4 : 0);
    }
}

} // namespace vell
