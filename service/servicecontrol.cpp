#include "service/servicecontrol.h"

#include "platform/wholefile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cstring>

namespace vell {

namespace {

const QString Systemctl = QStringLiteral("systemctl");

// systemd 252 refuses outright, as a fatal unit error, an executable whose
// path holds a quote, a backslash or a control character; and its unit
// files are UTF-8 text.
bool SystemdCanStart(const QString &path)
{
    for (const QChar c : path) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || u == u'"' || u == u'\'' || u == u'\\' || (u >= 0xDC80 && u <= 0xDCFF))
            return false;
    }
    return true;
}

QString Failure(const QString &what, const CommandResult &result)
{
    const QString why = result.diagnostic();
    return why.isEmpty() ? what : what + QStringLiteral(": ") + why;
}

} // namespace

ServiceSetup ServiceSetup::ForThisProcess(const QString &programPath)
{
    ServiceSetup setup;
    // systemd looks in $XDG_DATA_HOME/systemd/user, which is what Qt
    // reports as the generic data location (~/.local/share by default).
    setup.unitFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/systemd/user");
    setup.programPath = programPath;
    setup.processMarked = qgetenv(ServiceMarkerVariable) == "1";
    return setup;
}

QString QuotedForExecStart(const QString &path)
{
    // systemd expands "%x" sequences inside quotes too; "$" it leaves alone
    // in the executable's own word.
    return QLatin1Char('"') + QString(path).replace(QLatin1Char('%'), QStringLiteral("%%")) + QLatin1Char('"');
}

QString ServiceUnitText(const QString &programPath, bool interactive)
{
    QStringList lines{
        QStringLiteral("# Written by Vell, which removes it when the service is removed."),
        QStringLiteral("[Unit]"),
        QStringLiteral("Description=Vell Service"),
        QStringLiteral("After=network-online.target"),
        QStringLiteral("Wants=network-online.target"),
    };
    if (interactive) {
        // The tray icon needs the session's display: start with the
        // session, stop when it ends.
        lines << QStringLiteral("After=graphical-session.target") << QStringLiteral("PartOf=graphical-session.target");
    }
    lines << QString() << QStringLiteral("[Service]") << QStringLiteral("Type=exec")
          << QStringLiteral("ExecStart=") + QuotedForExecStart(programPath)
          << QStringLiteral("Environment=%1=1").arg(QLatin1String(ServiceMarkerVariable))
          << QStringLiteral("Environment=%1=%2").arg(QLatin1String(ServiceInteractiveVariable),
                                                      interactive ? QStringLiteral("1") : QStringLiteral("0"));
    if (!interactive) {
        // Without a display the program runs headless, whatever the user
        // manager picked up from an earlier graphical login.
        lines << QStringLiteral("UnsetEnvironment=DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM");
    }
    // Every exit status of the program is deliberate (a stop, the end after
    // the first run, a bad couples file, another instance); only a crash
    // is worth a new start.
    lines << QStringLiteral("Restart=on-abnormal") << QStringLiteral("RestartSec=10") << QString()
          << QStringLiteral("[Install]")
          << (interactive ? QStringLiteral("WantedBy=graphical-session.target")
                          : QStringLiteral("WantedBy=default.target"));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

int StartTypeFromIsEnabled(const QByteArray &output)
{
    const QByteArray state = output.trimmed().split('\n').value(0).trimmed();
    if (state == "enabled" || state == "enabled-runtime")
        return StartTypes::Automatic;
    if (state == "masked" || state == "masked-runtime")
        return StartTypes::Disabled;
    return StartTypes::Manual;
}

ServiceControl::ServiceControl(ServiceSetup setup, CommandRunner &runner, EventLog &log)
    : m_setup(std::move(setup)), m_runner(runner), m_log(log)
{
}

QString ServiceControl::unitFilePath() const { return m_setup.unitFolder + QLatin1Char('/') + ServiceUnitName; }

bool ServiceControl::IsInstalled() const { return QFile::exists(unitFilePath()); }

bool ServiceControl::RunsAsService() const { return m_setup.processMarked; }

bool ServiceControl::ServiceActive() const { return m_setup.processMarked; }

int ServiceControl::StartType() const
{
    if (!IsInstalled())
        return m_startType;
    // is-enabled answers with a non-zero status for every state but
    // enabled, so only the printed state counts.
    return StartTypeFromIsEnabled(systemctl({QStringLiteral("is-enabled"), ServiceUnitName}).output);
}

void ServiceControl::setStartType(int startType)
{
    m_startType = (startType == StartTypes::Automatic || startType == StartTypes::Manual) ? startType
                                                                                           : StartTypes::Disabled;
}

bool ServiceControl::Interactive() const
{
    if (!IsInstalled())
        return m_interactive;
    QFile unit(unitFilePath());
    if (!unit.open(QIODevice::ReadOnly | QIODevice::Text))
        return m_interactive;
    const QByteArray wanted = QByteArray("Environment=") + ServiceInteractiveVariable + "=1";
    while (!unit.atEnd()) {
        if (unit.readLine().trimmed() == wanted)
            return true;
    }
    return false;
}

void ServiceControl::setInteractive(bool interactive) { m_interactive = interactive; }

CommandResult ServiceControl::systemctl(const QStringList &arguments) const
{
    return m_runner.run(Systemctl, QStringList{QStringLiteral("--user")} + arguments);
}

ServiceOutcome ServiceControl::writeUnitFile()
{
    if (!SystemdCanStart(m_setup.programPath)) {
        return {false, QStringLiteral("systemd cannot start a program whose path holds quotes, backslashes, "
                                      "control characters or bytes that are not UTF-8: ")
                    + m_setup.programPath};
    }
    if (!QDir().mkpath(m_setup.unitFolder))
        return {false, QStringLiteral("Cannot create the folder ") + m_setup.unitFolder};
    // Written beside and renamed over, so a crash or a full disk never
    // leaves half a unit.
    const QByteArray text = ServiceUnitText(m_setup.programPath, m_interactive).toUtf8();
    if (const int rc = platform::writeFileAtomically(unitFilePath(), text); rc < 0)
        return {false, QStringLiteral("Cannot write ") + unitFilePath() + QStringLiteral(": ")
                           + QString::fromLocal8Bit(std::strerror(-rc))};
    return {};
}

ServiceOutcome ServiceControl::applyStartType()
{
    QStringList steps;
    switch (m_startType) {
    case StartTypes::Automatic: steps = {QStringLiteral("unmask"), QStringLiteral("enable")}; break;
    case StartTypes::Manual: steps = {QStringLiteral("unmask"), QStringLiteral("disable")}; break;
    default: steps = {QStringLiteral("disable"), QStringLiteral("mask")}; break;
    }
    for (const QString &step : steps) {
        const CommandResult result = systemctl({step, ServiceUnitName});
        if (!result.succeeded())
            return {false, Failure(QStringLiteral("systemctl --user %1 %2").arg(step, ServiceUnitName), result)};
    }
    return {};
}

ServiceOutcome ServiceControl::Install(bool startNow)
{
    if (ServiceOutcome written = writeUnitFile(); !written.ok)
        return written;
    // Fails when no user manager runs; that one reads the file when it starts.
    (void)systemctl({QStringLiteral("daemon-reload")});
    ServiceOutcome outcome = applyStartType();
    if (outcome.ok && startNow) {
        const CommandResult started = systemctl({QStringLiteral("start"), ServiceUnitName});
        if (!started.succeeded())
            outcome = {false, Failure(QStringLiteral("systemctl --user start ") + ServiceUnitName, started)};
    }
    if (!outcome.ok) {
        // Leave no half-installed service that the next start would ask about.
        (void)Uninstall();
    }
    return outcome;
}

ServiceOutcome ServiceControl::Uninstall()
{
    if (!IsInstalled())
        return {};
    // The links are removed first: systemctl needs the unit file to find them.
    (void)systemctl({QStringLiteral("disable"), ServiceUnitName});
    (void)systemctl({QStringLiteral("unmask"), ServiceUnitName});
    QFile unit(unitFilePath());
    const bool removed = unit.remove();
    (void)systemctl({QStringLiteral("daemon-reload")});
    if (!removed)
        return {false, unit.errorString()};
    return {};
}

void ServiceControl::LogEvent(const QString &text, int type) { m_log.write(text, type); }

} // namespace vell
