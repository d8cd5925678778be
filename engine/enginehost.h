#pragma once

#include "oplog/itemevent.h"

#include <QString>
#include <QStringList>

namespace vell {

enum class TrayState { Idle, Mirroring, Waiting };

// Whatever hosts the engine: the main window, the headless host or a test
// recorder. The engine calls these on the event-loop thread only.
class EngineHost
{
public:
    virtual ~EngineHost() = default;

    // Lets the interface process its pending events `times` times in a row.
    // Called after every folder entry and every couple: it must be cheap
    // (a host that pumps an event loop skips pumps that come within a few
    // milliseconds of the last one).
    virtual void yieldToInterface(int times) = 0;

    // Mirroring was started (true) or stopped (false) by the Start/Stop
    // command: the window locks or unlocks its editing commands.
    virtual void setMirroringActive(bool /*active*/) {}
    virtual void setTrayState(TrayState) {}
    virtual void setRunProgress(int /*value*/, int /*maximum*/) {}  // ProgressBarCopie
    virtual void setWaitProgress(int /*value*/, int /*maximum*/) {} // ProgressBarAttente
    virtual void setCounterText(const QString &) {}                 // lblTempo
    virtual void setStatusText(const QString &) {}                  // lblMessage
    virtual void showNotice(const QString &) {}                     // frmSplash
    virtual void refreshFileLists(bool /*targetToo*/) {}
    virtual void endProgram(int /*exitStatus*/) {}
    virtual void beep() {}
    virtual void runAlertCommand(const QStringList & /*argv*/) {}
    virtual void logEvent(const QString & /*text*/, int /*type*/) {}
    // An operation of the run failed (also a day's log that cannot be
    // written); `text` renders it in the language of the interface. Each
    // failure comes once, in the order of the walk.
    virtual void reportFailure(const ItemEvent & /*event*/, const QString & /*text*/) {}
    // A couple's folders cannot be watched, so each of its runs reads them
    // all; said once per couple and process, `text` in the interface's
    // language and naming the couple.
    virtual void noteWatching(const QString & /*text*/) {}
};

} // namespace vell
