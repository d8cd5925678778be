#pragma once

#include "common/recorders.h"
#include "common/testtree.h"
#include "service/servicecontrol.h"
#include <QFileInfo>
#include <QTest>

// The unit of the fixture's program folder, /opt/vell, and the commands the control issues, as RecordingCommandRunner
// keeps them.
inline const QString FixtureUnit = QStringLiteral("Vell@opt-vell.service");
inline const QString Reload = QStringLiteral("systemctl --user daemon-reload");
inline QString Ctl(const QString &verb, const QString &u = FixtureUnit) { return "systemctl --user " + verb + ' ' + u; }
// A systemctl that fails `verb` with "Access denied" ("*": one that cannot be started at all); an empty verb fails
// nothing.
inline std::function<vell::CommandResult(const QStringList &)> Refusing(const QString &verb)
{
    return [verb](const QStringList &args) {
        return vell::CommandResult{verb != "*", false, args.contains(verb), {}, "Access denied"};
    };
}

// A service control whose unit folder lies in a fresh temporary folder, with systemctl and the event log recorded.
struct ServiceFixture
{
    TestTree tree;
    RecordingCommandRunner runner;
    RecordingEventLog log;
    vell::ServiceControl control;
    explicit ServiceFixture(const QByteArray &marker = {}, const QString &program = QStringLiteral("/opt/vell/vell"))
        : control(setupFor(program, marker), runner, log) {}
    [[nodiscard]] QString unitFolder() const { return tree.rootText() + QStringLiteral("/systemd/user"); }
    [[nodiscard]] vell::ServiceSetup setupFor(const QString &program, const QByteArray &marker = {}) const
    {
        return {unitFolder(), program, QFileInfo(program).absolutePath(), marker};
    }
    // Installs the unit and forgets the commands that took.
    void install()
    {
        QVERIFY(control.Install().ok);
        runner.calls.clear();
    }
};
