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
    // The unit file's text, empty when it cannot be read.
    [[nodiscard]] QByteArray read(const QString &name) const
    {
        QFile file(unitFolder() + QLatin1Char('/') + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    [[nodiscard]] QString unitText() const { return QString::fromUtf8(read(control.unitName())); }
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
