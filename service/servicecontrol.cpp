#include "service/servicecontrol.h"

#include "platform/pathcodec.h"
#include "platform/wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstring>

namespace vell {

namespace {

const QString Systemctl = QStringLiteral("systemctl");
constexpr qsizetype NameMax = 255;  // of a file name, and of a unit name (UNIT_NAME_MAX less its NUL)
constexpr qsizetype PathMax = 4096; // PATH_MAX, with the NUL

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

ServiceSetup ServiceSetup::ForThisProcess(const QString &programPath, const QString &programFolder)
{
    ServiceSetup setup;
    // systemd looks in $XDG_DATA_HOME/systemd/user, which is what Qt
    // reports as the generic data location (~/.local/share by default).
    setup.unitFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/systemd/user");
    setup.programPath = programPath;
    setup.programFolder = programFolder.isEmpty() ? QFileInfo(programPath).absolutePath() : programFolder;
    if (QDir::cleanPath(setup.programFolder) != QDir::cleanPath(QFileInfo(programPath).absolutePath()))
        setup.configHome = QFileInfo(setup.programFolder).absolutePath();
    setup.marker = qgetenv(ServiceMarkerVariable);
    return setup;
}

std::optional<QString> SystemdEscapePath(const QString &path)
{
    // As systemd 252's unit_name_path_escape(): path_simplify(), then
    // path_is_normalized(), then the escape of unit names.
    const QByteArray bytes = PathToBytes(path);
    QByteArrayList parts;
    for (const QByteArray &part : bytes.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == ".." || part.size() > NameMax)
            return std::nullopt;
        parts.append(part);
    }
    if (parts.isEmpty()) {
        if (bytes.isEmpty() || bytes.startsWith('/'))
            return QStringLiteral("-");
        return std::nullopt; // "." is no normal path
    }
    const QByteArray simplified = parts.join('/');
    if (simplified.size() + (bytes.startsWith('/') ? 1 : 0) >= PathMax)
        return std::nullopt;
    QString escaped;
    for (qsizetype i = 0; i < simplified.size(); ++i) {
        const char c = simplified[i];
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (c == '/')
            escaped += QLatin1Char('-');
        else if (kept || c == ':' || c == '_' || (c == '.' && i > 0)) // a leading "." would hide the unit
            escaped += QLatin1Char(c);
        else
            escaped += QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
    }
    return escaped;
}

QString ServiceUnitNameFor(const QString &programFolder)
{
    if (!programFolder.startsWith(QLatin1Char('/')))
        return {};
    const std::optional<QString> instance = SystemdEscapePath(programFolder);
    if (!instance)
        return {};
    const QString name = QStringLiteral("Vell@") + *instance + QStringLiteral(".service");
    return name.size() <= NameMax ? name : QString();
}

QString UnitExecutable(const QByteArray &unitText)
{
    for (const QByteArray &line : unitText.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != "ExecStart")
            continue;
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (value.isEmpty())
            continue; // an empty ExecStart= only clears the earlier ones
        // The first word: up to the closing quote, or to the first blank.
        QByteArray word = value.startsWith('"') ? value.mid(1).split('"').constFirst()
                                                : value.simplified().split(' ').constFirst();
        return PathFromBytes(word.replace("%%", "%"));
    }
    return {};
}

QString QuotedForExecStart(const QString &path)
{
    // systemd expands "%x" sequences inside quotes too; "$" it leaves alone
    // in the executable's own word.
    return QLatin1Char('"') + QString(path).replace(QLatin1Char('%'), QStringLiteral("%%")) + QLatin1Char('"');
}

QString ServiceUnitText(const QString &programPath, bool interactive, const QString &configHome)
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
          // The unit's own name: the service of this folder, not of another.
          << QStringLiteral("Environment=%1=%n").arg(QLatin1String(ServiceMarkerVariable))
          << QStringLiteral("Environment=%1=%2").arg(QLatin1String(ServiceInteractiveVariable),
                                                      interactive ? QStringLiteral("1") : QStringLiteral("0"));
    if (!configHome.isEmpty()) {
        // Quoted as one assignment; "%" would start a specifier.
        lines << QStringLiteral("Environment=\"XDG_CONFIG_HOME=%1\"")
                     .arg(QString(configHome)
                              .replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
                              .replace(QLatin1Char('"'), QStringLiteral("\\\""))
                              .replace(QLatin1Char('%'), QStringLiteral("%%")));
    }
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
    : m_setup(std::move(setup)), m_unitName(ServiceUnitNameFor(m_setup.programFolder)), m_runner(runner), m_log(log)
{
}

QString ServiceControl::unitPath(const QString &name) const
{
    return name.isEmpty() ? QString() : m_setup.unitFolder + QLatin1Char('/') + name;
}

bool ServiceControl::startsThisProgram(const QString &name, QByteArray *text) const
{
    QByteArray read;
    if (name.isEmpty() || platform::readWholeFile(unitPath(name), read) < 0)
        return false;
    const QString started = UnitExecutable(read);
    if (text)
        *text = read;
    if (started == m_setup.programPath)
        return true;
    // The same file reached through a link is the same program.
    const QString canonical = QFileInfo(started).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(m_setup.programPath).canonicalFilePath();
}

std::optional<ServiceControl::OwnUnit> ServiceControl::installedUnit() const
{
    for (const QString &name : {m_unitName, LegacyServiceUnitName}) {
        OwnUnit unit{name, {}};
        if (startsThisProgram(name, &unit.text))
            return unit;
    }
    return std::nullopt;
}

bool ServiceControl::IsInstalled() const { return installedUnit().has_value(); }

bool ServiceControl::RunsAsService() const
{
    if (m_setup.marker.isEmpty())
        return false;
    if (!m_unitName.isEmpty() && m_setup.marker == m_unitName.toUtf8())
        return true;
    return m_setup.marker == "1" && startsThisProgram(LegacyServiceUnitName);
}

bool ServiceControl::ServiceActive() const { return RunsAsService(); }

int ServiceControl::StartType(QString *failure) const
{
    const std::optional<OwnUnit> unit = installedUnit();
    if (!unit)
        return m_startType;
    const CommandResult asked = systemctl({QStringLiteral("is-enabled"), unit->name});
    // is-enabled answers with a non-zero status for every state but
    // enabled, so only the printed state counts; no state is a failure.
    if (failure && asked.output.trimmed().isEmpty())
        *failure = Failure(QStringLiteral("systemctl --user is-enabled ") + unit->name, asked);
    return StartTypeFromIsEnabled(asked.output);
}

void ServiceControl::setStartType(int startType)
{
    m_startType = (startType == StartTypes::Automatic || startType == StartTypes::Manual) ? startType
                                                                                           : StartTypes::Disabled;
}

bool ServiceControl::Interactive() const
{
    const std::optional<OwnUnit> unit = installedUnit();
    if (!unit)
        return m_interactive;
    const QByteArray wanted = QByteArray("Environment=") + ServiceInteractiveVariable + "=1";
    for (const QByteArray &line : unit->text.split('\n')) {
        if (line.trimmed() == wanted)
            return true;
    }
    return false;
}

void ServiceControl::setInteractive(bool interactive) { m_interactive = interactive; }

CommandResult ServiceControl::systemctl(const QStringList &arguments) const
{
    return m_runner.run(Systemctl, QStringList{QStringLiteral("--user")} + arguments);
}

ServiceOutcome ServiceControl::systemctlStep(const QString &verb, const QString &name) const
{
    QStringList arguments{verb};
    if (!name.isEmpty())
        arguments << name;
    const CommandResult result = systemctl(arguments);
    if (!result.succeeded())
        return {false, Failure(QStringLiteral("systemctl --user ") + arguments.join(QLatin1Char(' ')), result)};
    return {};
}

ServiceOutcome ServiceControl::writeUnitFile()
{
    if (!SystemdCanStart(m_setup.programPath)) {
        return {false, QStringLiteral("systemd cannot start a program whose path holds quotes, backslashes, "
                                      "control characters or bytes that are not UTF-8: ")
                    + m_setup.programPath};
    }
    if (m_unitName.isEmpty())
        return {false, QStringLiteral("systemd cannot name a unit after the folder ") + m_setup.programFolder};
    // Only a unit that starts another program is left alone: an unreadable
    // one would fail to be replaced below and say why.
    QByteArray occupant;
    if (platform::readWholeFile(unitFilePath(), occupant) == 0 && !startsThisProgram(m_unitName))
        return {false, unitFilePath() + QStringLiteral(" starts another program: ") + UnitExecutable(occupant)};
    if (!QDir().mkpath(m_setup.unitFolder))
        return {false, QStringLiteral("Cannot create the folder ") + m_setup.unitFolder};
    // Written beside and renamed over, so a crash or a full disk never
    // leaves half a unit.
    const QByteArray text = ServiceUnitText(m_setup.programPath, m_interactive, m_setup.configHome).toUtf8();
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
        if (ServiceOutcome done = systemctlStep(step, m_unitName); !done.ok)
            return done;
    }
    return {};
}

ServiceOutcome ServiceControl::Install(bool startNow)
{
    const bool fresh = !QFileInfo::exists(unitFilePath());
    if (ServiceOutcome written = writeUnitFile(); !written.ok)
        return written;
    ServiceOutcome outcome = systemctlStep(QStringLiteral("daemon-reload"), {});
    if (outcome.ok)
        outcome = applyStartType();
    // The older unit goes only once the new one stands, and before the
    // start, which it would race for the program folder's lock.
    if (outcome.ok && startsThisProgram(LegacyServiceUnitName))
        outcome = removeUnit(LegacyServiceUnitName);
    if (outcome.ok && startNow)
        outcome = systemctlStep(QStringLiteral("start"), m_unitName);
    if (!outcome.ok && fresh)
        undoInstall(outcome);
    return outcome;
}

void ServiceControl::undoInstall(ServiceOutcome &outcome)
{
    // Leave no half-installed service that the next start would ask about.
    // What systemctl says here changes nothing: the first failure is the
    // one to show.
    (void)systemctl({QStringLiteral("disable"), m_unitName});
    (void)systemctl({QStringLiteral("unmask"), m_unitName});
    QFile unit(unitFilePath());
    if (unit.exists() && !unit.remove())
        outcome.message += QStringLiteral("; ") + unitFilePath() + QStringLiteral(" is left: ") + unit.errorString();
    (void)systemctl({QStringLiteral("daemon-reload")});
}

ServiceOutcome ServiceControl::removeUnit(const QString &name)
{
    // The links go first: systemctl needs the unit file to find them, and
    // a unit whose links stay is better kept whole.
    for (const QString &step : {QStringLiteral("disable"), QStringLiteral("unmask")}) {
        if (ServiceOutcome done = systemctlStep(step, name); !done.ok)
            return done;
    }
    QFile unit(unitPath(name));
    if (!unit.remove())
        return {false, unit.errorString()};
    return {};
}

ServiceOutcome ServiceControl::Uninstall()
{
    ServiceOutcome outcome;
    bool removed = false;
    for (const QString &name : {m_unitName, LegacyServiceUnitName}) {
        if (!startsThisProgram(name))
            continue;
        outcome = removeUnit(name);
        if (!outcome.ok)
            break;
        removed = true;
    }
    if (removed) {
        const ServiceOutcome reloaded = systemctlStep(QStringLiteral("daemon-reload"), {});
        if (outcome.ok)
            outcome = reloaded;
    }
    return outcome;
}

void ServiceControl::LogEvent(const QString &text, int type) { m_log.write(text, type); }

} // namespace vell
