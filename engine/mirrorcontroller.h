#pragma once

#include "config/folderpair.h"
#include "config/settings.h"
#include "engine/enginehost.h"
#include "engine/mirrorcontext.h"
#include "engine/runstate.h"
#include "oplog/logwords.h"
#include "platform/systeminfo.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace vell {

struct WatchSystem;
class WatchBook;

// What the mirror runs read and write. Everything must outlive the controller.
struct RunEnvironment
{
    Settings &settings;
    FolderPairList &pairs;
    const SystemInfo &system;
    RunState &state;
    EngineHost &host;
    ExtensionLookup extensions;            // empty: no Macintosh extension is known
    std::function<bool()> serviceRunning;  // the service is installed and active
    std::function<QDateTime()> clock;      // empty: the system clock
    // A stop asked from outside the event loop (SIGTERM): read at every
    // yield, it ends the program at once. Empty: never.
    std::function<bool()> stopPending;
    // Keeps the file system of a couple's source (its index in the list,
    // the id) where it survives a restart. Empty: kept in memory only.
    std::function<void(qsizetype index, const QString &fileSystem)> rememberSourceFileSystem;
    // The fstab file the unmounted-disk guard reads.
    QByteArray fstab = QByteArrayLiteral("/etc/fstab");
    // Lets tests change the kernel side of the watches (a small watch
    // limit, a clock they move). Empty: the platform's, unchanged.
    std::function<void(WatchSystem &system)> watchSystem{};
    // Sees every item event the walks record (tests compare runs by them).
    ItemRecorder observe{};
};

// The Start/Stop command, the mirror run and the one-second timer of
// automatic mode. States: stopped, running a run, waiting for the next
// timed run, ended (after the first run with ArretAutomatique, or a stop
// request).
class MirrorController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MirrorController)
public:
    enum class Phase { Stopped, Running, Waiting, Ended };
    Q_ENUM(Phase)

    explicit MirrorController(RunEnvironment env, QObject *parent = nullptr);
    ~MirrorController() override;

    // The Start/Stop command (cmdMiroir, mnuDemarrer). A Stop chosen during a
    // run (from a yield) ends the run at its next entry.
    void StartStop();
    // One pass over every couple.
    void RunMirror();
    // One tick of the one-second timer; the timer calls it, tests may too.
    void tick();
    // The one way the program ends on request (SIGTERM, Quit): mirroring
    // stops at its next entry, no run follows, and the host ends the program
    // with `exitStatus`.
    void requestEnd(int exitStatus);
    // Lets the interface breathe `Performance` times (not at all below 1),
    // then takes a stop asked from outside: the one place for both.
    void YieldToInterface();

    [[nodiscard]] Phase phase() const;
    [[nodiscard]] bool timerActive() const { return m_timer.isActive(); }
    [[nodiscard]] int SecondsToNextRun() const { return m_secondsToNextRun; }
    // A new default delay restarts the current wait from it.
    void setSecondsToNextRun(int seconds) { m_secondsToNextRun = seconds; }
    // The wait bar's range: 0 to Temporisation - 1 (1 below 2).
    [[nodiscard]] int waitProgressMaximum() const;
    // Whether the last run met a source or target folder that does not exist.
    [[nodiscard]] bool lastRunMetUnknownFolder() const { return m_unknownFolderMet; }
    // The exit status of a single run that ends the program: 4 an unknown
    // folder, 5 failures, 0 otherwise.
    [[nodiscard]] int lastRunExitStatus() const;
    // The watches of the watched runs, while Surveillance is on (else null).
    [[nodiscard]] WatchBook *watchBook() const { return m_watch.get(); }

signals:
    // Emitted at the end of every run, after its summary and before the
    // program is ended by ArretAutomatique.
    void runFinished();

private:
    [[nodiscard]] QDateTime now() const;
    void startLog(const QDateTime &start);
    void appendLog(const QString &line);
    void record(const ItemEvent &event);
    void reportFailure(const ItemEvent &event);
    void mirrorCouple(FolderPair &pair, qsizetype index);
    void checkAndMirror(FolderPair &pair, qsizetype index);
    [[nodiscard]] QString unmountedSourceReason(const FolderPair &pair) const;
    void rememberSourceFileSystem(FolderPair &pair, qsizetype index);
    void raiseUnknownFolderAlert(const QString &folder, bool source, const QString &reason = {});
    void writeBack(const FolderPair &pair, qsizetype index);
    void finishRun(const QDateTime &start);
    void startWatching();
    void sayWatchNotes();

    RunEnvironment m_env;
    QTimer m_timer;
    int m_secondsToNextRun = 0;
    bool m_running = false;
    bool m_ended = false;
    bool m_unknownFolderMet = false;
    bool m_logFailureReported = false;
    LogWords m_words; // of the couple being mirrored
    std::unique_ptr<WatchBook> m_watch;
};

} // namespace vell
