#pragma once

#include "config/folderpair.h"
#include "config/settings.h"
#include "engine/enginehost.h"
#include "engine/mirrorcontext.h"
#include "engine/runstate.h"
#include "platform/systeminfo.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>

namespace vell {

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
};

// The Start/Stop command, the mirror run and the one-second timer of
// automatic mode. States: stopped, running a run, waiting for the next
// timed run, ended (after the first run with ArretAutomatique).
class MirrorController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MirrorController)
public:
    enum class Phase { Stopped, Running, Waiting, Ended };
    Q_ENUM(Phase)

    explicit MirrorController(RunEnvironment env, QObject *parent = nullptr);

    // The Start/Stop command (cmdMiroir, mnuDemarrer). A Stop chosen during a
    // run (from a yield) ends the run at its next entry.
    void StartStop();
    // One pass over every couple.
    void RunMirror();
    // One tick of the one-second timer; the timer calls it, tests may too.
    void tick();

    [[nodiscard]] Phase phase() const;
    [[nodiscard]] bool timerActive() const { return m_timer.isActive(); }
    [[nodiscard]] int SecondsToNextRun() const { return m_secondsToNextRun; }
    // The wait bar's range: 0 to Temporisation - 1 (1 below 2).
    [[nodiscard]] int waitProgressMaximum() const;
    // Whether the last run met a source or target folder that does not exist.
    [[nodiscard]] bool lastRunMetUnknownFolder() const { return m_unknownFolderMet; }

signals:
    // Emitted at the end of every run, after its summary and before the
    // program is ended by ArretAutomatique.
    void runFinished();

private:
    [[nodiscard]] QDateTime now() const;
    void startLog(const QDateTime &start);
    bool appendLog(const QString &line);
    void mirrorCouple(FolderPair &pair);
    void checkAndMirror(int index);
    void raiseUnknownFolderAlert(const QString &folder, bool source);
    void finishRun(const QDateTime &start);

    RunEnvironment m_env;
    QTimer m_timer;
    int m_secondsToNextRun = 0;
    bool m_running = false;
    bool m_ended = false;
    bool m_unknownFolderMet = false;
};

} // namespace vell
