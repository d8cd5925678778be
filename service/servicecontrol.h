#pragma once

#include "service/commandrunner.h"
#include "service/eventlog.h"

#include <QByteArray>
#include <QString>

namespace vell {

// The systemd user unit of the service and the variables it sets.
inline const QString ServiceUnitName = QStringLiteral("Vell.service");
inline constexpr char ServiceMarkerVariable[] = "VELL_SERVICE";         // "1" in the service
inline constexpr char ServiceInteractiveVariable[] = "VELL_INTERACTIVE"; // "1" when installed interactive

// Start types: the unit starts at login, is only installed, or is masked.
namespace StartTypes {
constexpr int Automatic = 0;
constexpr int Manual = 1;
constexpr int Disabled = 2;
} // namespace StartTypes

// Where the unit goes, what it starts, and whether this process is it.
struct ServiceSetup
{
    QString unitFolder;  // $XDG_DATA_HOME/systemd/user, by default ~/.local/share/systemd/user
    QString programPath; // the executable the unit starts
    bool processMarked = false; // this process carries VELL_SERVICE=1

    // This process: the unit folder from the environment, the marker read now.
    [[nodiscard]] static ServiceSetup ForThisProcess(const QString &programPath);
};

// The whole text of the unit file. Interactive units belong to the
// graphical session (started with it, stopped when it ends, the display
// kept); the others start at login with the display variables removed, so
// the program runs headless.
[[nodiscard]] QString ServiceUnitText(const QString &programPath, bool interactive);

// ExecStart's form of the program's path: in double quotes, "%" doubled.
// Only for paths systemd accepts as an executable (no quote, backslash or
// control character; Install refuses the others).
[[nodiscard]] QString QuotedForExecStart(const QString &path);

// The start type for the answer of `systemctl --user is-enabled`: enabled
// states 0, masked states 2, every other state 1.
[[nodiscard]] int StartTypeFromIsEnabled(const QByteArray &output);

// The service host: installs and removes the systemd user unit, answers
// whether this process is the service, and writes the event log. The
// systemctl commands go through the runner, the entries through the log;
// both must outlive the control.
class ServiceControl final
{
public:
    ServiceControl(ServiceSetup setup, CommandRunner &runner, EventLog &log);

    // The unit file exists.
    [[nodiscard]] bool IsInstalled() const;
    // This process was started by the unit (it carries the marker).
    [[nodiscard]] bool RunsAsService() const;
    [[nodiscard]] bool ServiceActive() const;

    // Installed: asks systemctl (1 when it gives no known state); otherwise
    // the value set for the next Install.
    [[nodiscard]] int StartType() const;
    // For the next Install; values other than 0 and 1 mean disabled (2).
    void setStartType(int startType);
    // Installed: read from the unit; otherwise the value set for the next Install.
    [[nodiscard]] bool Interactive() const;
    void setInteractive(bool interactive);

    // Writes the unit with the current StartType and Interactive, has
    // systemd reload it and enables, disables or masks it; startNow also
    // starts it. Nothing is left behind when it fails, and a program path
    // systemd would refuse to start fails at once.
    [[nodiscard]] ServiceOutcome Install(bool startNow = false);
    // Disables and unmasks the unit and deletes its file. A running service
    // keeps running until it stops. ok when the unit file is gone.
    [[nodiscard]] ServiceOutcome Uninstall();

    void LogEvent(const QString &text, int type);

    [[nodiscard]] QString unitFilePath() const;

private:
    CommandResult systemctl(const QStringList &arguments) const;
    ServiceOutcome applyStartType();
    ServiceOutcome writeUnitFile();

    ServiceSetup m_setup;
    CommandRunner &m_runner;
    EventLog &m_log;
    int m_startType = StartTypes::Automatic;
    bool m_interactive = false;
};

} // namespace vell
