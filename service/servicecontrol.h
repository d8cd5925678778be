#pragma once

#include "service/commandrunner.h"
#include "service/eventlog.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace vell {

// Each program folder has a systemd user unit of its own, named after the
// folder, so that Vells side by side never take each other's service.
// Vells before that wrote one unit for all, Vell.service: a Vell still
// owns it when it starts its executable, and replaces it on Install.
inline const QString LegacyServiceUnitName = QStringLiteral("Vell.service");
// Set by the unit to the unit's name ("1" in Vell.service).
inline constexpr char ServiceMarkerVariable[] = "VELL_SERVICE";
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
    QString unitFolder;    // $XDG_DATA_HOME/systemd/user, by default ~/.local/share/systemd/user
    QString programPath;   // the executable the unit starts
    QString programFolder; // names the unit
    QByteArray marker;     // VELL_SERVICE of this process, empty when unset
    QString configHome = {}; // the parent of programFolder when it is not the executable's folder

    // This process: the unit folder and the marker from the environment;
    // without a program folder, the folder of the executable.
    [[nodiscard]] static ServiceSetup ForThisProcess(const QString &programPath,
                                                     const QString &programFolder = QString());
};

// What `systemd-escape --path` prints for the path. Empty and "."
// components and the outer slashes go; then "/" becomes "-", and every
// byte but ASCII letters, digits, ":", "_" and a "." that is not first
// becomes "\xNN". The root and the empty path give "-". nullopt where
// systemd refuses: a ".." component or one past 255 bytes, 4096 bytes or
// more, or a relative path of nothing but ".".
[[nodiscard]] std::optional<QString> SystemdEscapePath(const QString &path);

// The unit of a program folder, "Vell@" + the escaped folder + ".service";
// empty when the folder is not absolute and normal or the name would pass
// the 255 characters systemd allows.
[[nodiscard]] QString ServiceUnitNameFor(const QString &programFolder);

// The program that a unit file's first ExecStart starts: its first word,
// unquoted, with "%%" read as "%"; empty when there is none.
[[nodiscard]] QString UnitExecutable(const QByteArray &unitText);

// The whole text of the unit file. Interactive units belong to the
// graphical session (started with it, stopped when it ends, the display
// kept); the others start at login with the display variables removed, so
// the program runs headless.
// `configHome`, when given, is the user's configuration folder that holds
// the program folder of an installed Vell: the unit passes it on, since
// the user manager may not share the session's XDG_CONFIG_HOME.
[[nodiscard]] QString ServiceUnitText(const QString &programPath, bool interactive,
                                      const QString &configHome = QString());

// ExecStart's form of the program's path: in double quotes, "%" doubled.
// Only for paths systemd accepts as an executable (no quote, backslash or
// control character; Install refuses the others).
[[nodiscard]] QString QuotedForExecStart(const QString &path);

// The start type for the answer of `systemctl --user is-enabled`: enabled
// states 0, masked states 2, every other state 1.
[[nodiscard]] int StartTypeFromIsEnabled(const QByteArray &output);

// The service host: installs and removes this program folder's systemd
// user unit, answers whether this process is the service, and writes the
// event log. A unit is this Vell's only when it starts this executable:
// any other is never changed or removed. The systemctl commands go through
// the runner, the entries through the log; both must outlive the control.
class ServiceControl final
{
public:
    ServiceControl(ServiceSetup setup, CommandRunner &runner, EventLog &log);

    // This Vell's unit exists: the folder's own, or an older Vell.service.
    [[nodiscard]] bool IsInstalled() const;
    // This process was started by this Vell's unit (it carries the marker
    // with the unit's name, or "1" from an older Vell.service).
    [[nodiscard]] bool RunsAsService() const;
    [[nodiscard]] bool ServiceActive() const;

    // Installed: asks systemctl (1 when it gives no known state; failure,
    // when given, then says why); otherwise the value set for the next
    // Install.
    [[nodiscard]] int StartType(QString *failure = nullptr) const;
    // For the next Install; values other than 0 and 1 mean disabled (2).
    void setStartType(int startType);
    // Installed: read from the unit; otherwise the value set for the next Install.
    [[nodiscard]] bool Interactive() const;
    void setInteractive(bool interactive);

    // Writes the folder's unit with the current StartType and Interactive,
    // has systemd reload it and enables, disables or masks it, then removes
    // an older Vell.service of this executable; startNow also starts it.
    // A unit it wrote afresh is removed again when a later step fails; a
    // program path systemd would refuse to start, or the folder's unit
    // starting another program, fails at once.
    [[nodiscard]] ServiceOutcome Install(bool startNow = false);
    // Disables and unmasks this Vell's units and deletes their files; a
    // unit that systemctl cannot disable or unmask is kept. A running
    // service keeps running until it stops. ok when all went well.
    [[nodiscard]] ServiceOutcome Uninstall();

    void LogEvent(const QString &text, int type);

    // The folder's unit: its name (empty when the folder cannot name one)
    // and its file.
    [[nodiscard]] QString unitName() const { return m_unitName; }
    [[nodiscard]] QString unitFilePath() const { return unitPath(m_unitName); }

private:
    struct OwnUnit
    {
        QString name;
        QByteArray text;
    };
    [[nodiscard]] QString unitPath(const QString &name) const;
    [[nodiscard]] bool startsThisProgram(const QString &name, QByteArray *text = nullptr) const;
    [[nodiscard]] std::optional<OwnUnit> installedUnit() const;
    CommandResult systemctl(const QStringList &arguments) const;
    ServiceOutcome systemctlStep(const QString &verb, const QString &name) const;
    ServiceOutcome applyStartType();
    ServiceOutcome writeUnitFile();
    ServiceOutcome removeUnit(const QString &name);
    void undoInstall(ServiceOutcome &outcome);

    ServiceSetup m_setup;
    QString m_unitName;
    CommandRunner &m_runner;
    EventLog &m_log;
    int m_startType = StartTypes::Automatic;
    bool m_interactive = false;
};

} // namespace vell
