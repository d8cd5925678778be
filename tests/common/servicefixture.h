#pragma once

#include "platform/systeminfo.h"
#include "service/commandrunner.h"
#include "service/eventlog.h"
#include "common/recorders.h"
#include "service/servicecontrol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// The unit of the fixture's program folder, /opt/vell, and the commands
// the control issues, as RecordingCommandRunner::commandLines() shows them.
inline const QString FixtureUnit = QStringLiteral("Vell@opt-vell.service");
inline const QString Reload = QStringLiteral("systemctl --user daemon-reload");
inline QString Ctl(const QString &verb, const QString &unit = FixtureUnit)
{
    return QStringLiteral("systemctl --user ") + verb + QLatin1Char(' ') + unit;
}

// A systemctl that prints `output` and exits with `exitCode`.
inline vell::CommandResult Answer(int exitCode, const QByteArray &output, const QByteArray &errors = {})
{
    return {true, false, exitCode, output, errors};
}
// A systemctl that fails the given verb with "Access denied" ("*": one
// that cannot be started at all); an empty verb fails nothing.
inline vell::RecordingCommandRunner::Answer Refusing(const QString &verb)
{
    return [verb](const QString &, const QStringList &args) {
        return verb == QLatin1String("*") ? vell::CommandResult{}
                                          : Answer(args.contains(verb) ? 1 : 0, {}, "Access denied\n");
    };
}

// A service control whose unit folder lies in a fresh temporary folder,
// with systemctl and the event log recorded, on an NT system. The program
// folder is the folder of the program.
struct ServiceFixture
{
    QTemporaryDir dir;
    vell::RecordingCommandRunner runner;
    vell::RecordingEventLog log;
    vell::ServiceControl control;
    vell::SystemInfo system;

    explicit ServiceFixture(const QByteArray &marker = {}, const QString &program = QStringLiteral("/opt/vell/vell"))
        : control(setupFor(program, marker), runner, log)
    {
        system.IsNT = true;
    }
    [[nodiscard]] QString unitFolder() const { return dir.path() + QStringLiteral("/systemd/user"); }
    // Another Vell with the same unit folder, runner and log.
    [[nodiscard]] vell::ServiceSetup setupFor(const QString &program, const QByteArray &marker = {}) const
    {
        return {unitFolder(), program, QFileInfo(program).absolutePath(), marker};
    }
    // A unit file's text, empty when it cannot be read.
    [[nodiscard]] QByteArray read(const QString &name) const
    {
        QFile file(unitFolder() + QLatin1Char('/') + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Writes a unit file as an older Vell or a user would have.
    void write(const QString &name, const QByteArray &text) const
    {
        QVERIFY(QDir().mkpath(unitFolder()));
        QFile file(unitFolder() + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    }
    // Installs the unit and forgets the commands that took.
    void install()
    {
        QVERIFY(control.Install().ok);
        runner.calls.clear();
    }
};
