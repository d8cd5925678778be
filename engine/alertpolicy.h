#pragma once

#include "config/settings.h"
#include "platform/systeminfo.h"

#include <QStringList>

namespace vell {

// The "net send" command for a message: "net", "send" and the message's
// words, split as a command line is (blanks separate words, double quotes
// group them, three quotes in a row are one literal quote: Qt's rules).
// Empty when the message has no word. The words reach the program as they
// are: no shell ever sees them.
[[nodiscard]] QStringList NetSendArgv(const QString &message);

// Which warnings one unknown folder raises.
struct AlertActions
{
    bool notice = false;   // the time and text in the notice window
    bool logLine = false;  // the same with the folder in the day's log
    bool eventLog = false; // LogEvent, type 2 (warning)
    bool beep = false;
    QStringList netSendArgv; // the command to start, empty: none
};

// The warnings the settings ask for. The event log needs NT and the
// service installed and active (serviceRunning = IsInstalled and
// ServiceActive); net send needs NT and a message with at least one word.
[[nodiscard]] AlertActions DecideAlertActions(const Settings &settings, const SystemInfo &system,
                                              bool serviceRunning);

} // namespace vell
