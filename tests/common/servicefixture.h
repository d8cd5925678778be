#pragma once

#include "platform/systeminfo.h"
#include "service/commandrunner.h"
#include "service/eventlog.h"
#include "common/recorders.h"
#include "service/servicecontrol.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// A service control whose unit folder lies in a fresh temporary folder,
// with systemctl and the event log recorded, on an NT system.
struct ServiceFixture
{
    QTemporaryDir dir;
    vell::RecordingCommandRunner runner;
    vell::RecordingEventLog log;
    vell::ServiceControl control;
    vell::SystemInfo system;

    explicit ServiceFixture(bool marked = false, const QString &program = QStringLiteral("/opt/vell/vell"))
        : control({dir.path() + QStringLiteral("/systemd/user"), program, marked}, runner, log)
    {
        system.IsNT = true;
    }
    [[nodiscard]] QString unitText() const
    {
        QFile file(control.unitFilePath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // Installs the unit and forgets the commands that took.
    void install()
    {
        QVERIFY(control.Install().ok);
        runner.calls.clear();
    }
};
