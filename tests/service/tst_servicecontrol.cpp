#include "service/servicecontrol.h"

#include "common/servicefixture.h"

#include <QFile>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <syslog.h>

using namespace vell;

namespace {

CommandResult Answer(int exitCode, const QByteArray &output, const QByteArray &errors = {})
{
    CommandResult result;
    result.started = true;
    result.exitCode = exitCode;
    result.output = output;
    result.errors = errors;
    return result;
}

QString ThisExecutable() { return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(); }

} // namespace

class TestServiceControl : public QObject
{
    Q_OBJECT
private slots:
    void unitText_data()
    {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("headless") << false
                                  << QStringList{"Environment=VELL_INTERACTIVE=0",
                                                 "UnsetEnvironment=DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM",
                                                 "WantedBy=default.target"}
                                  << QStringList{"PartOf=graphical-session.target"};
        QTest::newRow("interactive") << true
                                     << QStringList{"Environment=VELL_INTERACTIVE=1", "After=graphical-session.target",
                                                    "PartOf=graphical-session.target",
                                                    "WantedBy=graphical-session.target"}
                                     << QStringList{"UnsetEnvironment=DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM"};
    }
    void unitText()
    {
        QFETCH(bool, interactive);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        const QStringList lines = ServiceUnitText(QStringLiteral("/opt/vell/vell"), interactive).split('\n');
        const QStringList always{"[Unit]",
                                 "Description=Vell Service",
                                 "After=network-online.target",
                                 "Wants=network-online.target",
                                 "[Service]",
                                 "ExecStart=\"/opt/vell/vell\"",
                                 "Environment=VELL_SERVICE=1",
                                 "Restart=on-abnormal",
                                 "[Install]"};
        for (const QString &line : always + present)
            QVERIFY2(lines.contains(line), qPrintable(line));
        for (const QString &line : absent)
            QVERIFY2(!lines.contains(line), qPrintable(line));
        QCOMPARE(lines.filter(QStringLiteral("WantedBy=")).size(), 1);
    }

    void quotedForExecStart_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain") << "/usr/bin/vell" << "\"/usr/bin/vell\"";
        QTest::newRow("blank") << "/opt/my apps/vell" << "\"/opt/my apps/vell\"";
        QTest::newRow("percent and dollar") << "/x/100%/$HOME" << "\"/x/100%%/$HOME\"";
    }
    void quotedForExecStart()
    {
        QFETCH(QString, path);
        QFETCH(QString, quoted);
        QCOMPARE(QuotedForExecStart(path), quoted);
    }

    // systemd itself reads the units back; a test manager needs no running
    // user manager, only a runtime folder of its own.
    void verifiedBySystemd_data()
    {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QString>("programName");
        QTest::newRow("headless") << false << "vell";
        QTest::newRow("interactive") << true << "vell";
        QTest::newRow("blanks, percent, dollar") << false << "my vell 100% $HOME";
    }
    void verifiedBySystemd()
    {
        QFETCH(bool, interactive);
        QFETCH(QString, programName);
        const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
        if (analyze.isEmpty())
            QSKIP("systemd-analyze is not installed");
        ServiceFixture f(false, QString());
        QVERIFY2(f.dir.isValid(), qPrintable(f.dir.errorString()));
        const QString program = f.dir.path() + QLatin1Char('/') + programName;
        QVERIFY(QFile::link(ThisExecutable(), program));
        ServiceControl control({f.dir.path() + QStringLiteral("/systemd/user"), program, false}, f.runner, f.log);
        control.setInteractive(interactive);
        QVERIFY(control.Install().ok);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), f.dir.path());
        ProcessCommandRunner runner(20000, env);
        const CommandResult result
            = runner.run(analyze, {QStringLiteral("verify"), QStringLiteral("--user"), control.unitFilePath()});
        if (!result.started || result.errors.contains("Failed to initialize manager"))
            QSKIP(qPrintable(QStringLiteral("systemd-analyze cannot run here: ") + result.diagnostic()));
        // Unknown keys and bad values are only warnings: any word on
        // stderr counts as a fault.
        QVERIFY2(result.succeeded() && result.errors.trimmed().isEmpty(), qPrintable(result.diagnostic()));
    }

    void installIssuesCommandsPerStartType_data()
    {
        QTest::addColumn<int>("startType");
        QTest::addColumn<QStringList>("commands");
        const QString reload = QStringLiteral("systemctl --user daemon-reload");
        QTest::newRow("automatic") << 0
                                   << QStringList{reload, "systemctl --user unmask Vell.service",
                                                  "systemctl --user enable Vell.service"};
        QTest::newRow("manual") << 1
                                << QStringList{reload, "systemctl --user unmask Vell.service",
                                               "systemctl --user disable Vell.service"};
        QTest::newRow("disabled") << 2
                                  << QStringList{reload, "systemctl --user disable Vell.service",
                                                 "systemctl --user mask Vell.service"};
        QTest::newRow("out of range means disabled")
            << 9 << QStringList{reload, "systemctl --user disable Vell.service", "systemctl --user mask Vell.service"};
    }
    void installIssuesCommandsPerStartType()
    {
        QFETCH(int, startType);
        QFETCH(QStringList, commands);
        ServiceFixture f;
        QVERIFY(!f.control.IsInstalled());
        f.control.setStartType(startType);
        const ServiceOutcome outcome = f.control.Install();
        QVERIFY2(outcome.ok, qPrintable(outcome.message));
        QCOMPARE(f.runner.commandLines(), commands);
        QVERIFY(f.control.IsInstalled());
        QVERIFY(f.unitText().contains(QStringLiteral("ExecStart=\"/opt/vell/vell\"\n")));
    }

    void installStartNowStartsTheUnit()
    {
        ServiceFixture f;
        QVERIFY(f.control.Install(true).ok);
        QCOMPARE(f.runner.commandLines().last(), QStringLiteral("systemctl --user start Vell.service"));
    }

    void failedInstallLeavesNothing()
    {
        ServiceFixture f;
        f.runner.answer = [](const QString &, const QStringList &args) {
            return args.contains(QStringLiteral("enable"))
                ? Answer(1, {}, "Failed to enable unit: Access denied\n")
                : Answer(0, {});
        };
        const ServiceOutcome outcome = f.control.Install();
        QVERIFY(!outcome.ok);
        QVERIFY2(outcome.message.contains(QStringLiteral("systemctl --user enable Vell.service: Failed to enable "
                                                         "unit: Access denied")),
                 qPrintable(outcome.message));
        QVERIFY(!f.control.IsInstalled());
        QVERIFY(f.runner.commandLines().contains(QStringLiteral("systemctl --user disable Vell.service")));
    }

    void missingSystemctlFailsInstall()
    {
        ServiceFixture f;
        f.runner.answer = [](const QString &, const QStringList &) { return CommandResult{}; };
        const ServiceOutcome outcome = f.control.Install();
        QVERIFY(!outcome.ok);
        QVERIFY2(outcome.message.contains(QStringLiteral("could not be started")), qPrintable(outcome.message));
        QVERIFY(!f.control.IsInstalled());
    }

    void unwritableFolderFailsInstall()
    {
        ServiceFixture f;
        // A file where the unit folder should be: mkdir fails even for root.
        QFile blocker(f.dir.path() + QStringLiteral("/systemd"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!f.control.Install().ok);
        QVERIFY(f.runner.calls.isEmpty());
    }

    // Paths systemd would refuse to start fail the install at once, with
    // nothing written and nothing asked.
    void unstartableProgramPathIsRefused_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("double quote") << "/opt/\"vell\"/vell";
        QTest::newRow("apostrophe") << "/home/o'brien/vell";
        QTest::newRow("backslash") << "/opt/a\\b/vell";
        QTest::newRow("line break") << "/opt/a\nb/vell";
        QTest::newRow("not UTF-8") << QStringLiteral("/opt/caf") + QChar(0xDCE9);
    }
    void unstartableProgramPathIsRefused()
    {
        QFETCH(QString, path);
        ServiceFixture f(false, path);
        const ServiceOutcome outcome = f.control.Install();
        QVERIFY(!outcome.ok);
        QVERIFY(outcome.message.contains(path));
        QVERIFY(!f.control.IsInstalled());
        QVERIFY(f.runner.calls.isEmpty());
    }

    void uninstallIssuesCommandsAndRemovesTheUnit()
    {
        ServiceFixture f;
        QVERIFY(f.control.Install().ok);
        f.runner.calls.clear();
        const ServiceOutcome outcome = f.control.Uninstall();
        QVERIFY2(outcome.ok, qPrintable(outcome.message));
        QCOMPARE(f.runner.commandLines(),
                 (QStringList{"systemctl --user disable Vell.service", "systemctl --user unmask Vell.service",
                              "systemctl --user daemon-reload"}));
        QVERIFY(!f.control.IsInstalled());

        f.runner.calls.clear();
        QVERIFY(f.control.Uninstall().ok);
        QVERIFY(f.runner.calls.isEmpty()); // nothing to remove, nothing asked
    }

    void uninstallThatCannotRemoveFails()
    {
        ServiceFixture f;
        // A non-empty folder in the unit's place: it "exists" but cannot be
        // removed as a file.
        QVERIFY(QDir().mkpath(f.control.unitFilePath() + QStringLiteral("/x")));
        QVERIFY(f.control.IsInstalled());
        QVERIFY(!f.control.Uninstall().ok);
    }

    void startTypeFromIsEnabled_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("startType");
        QTest::newRow("enabled") << QByteArray("enabled\n") << 0;
        QTest::newRow("enabled-runtime") << QByteArray("enabled-runtime\n") << 0;
        QTest::newRow("masked") << QByteArray("masked\n") << 2;
        QTest::newRow("masked-runtime") << QByteArray("masked-runtime\n") << 2;
        QTest::newRow("disabled") << QByteArray("disabled\n") << 1;
        QTest::newRow("linked") << QByteArray("linked\n") << 1;
        QTest::newRow("static") << QByteArray("static\n") << 1;
        QTest::newRow("no answer") << QByteArray() << 1;
        QTest::newRow("blanks around") << QByteArray("  masked \r\n") << 2;
    }
    void startTypeFromIsEnabled()
    {
        QFETCH(QByteArray, output);
        QFETCH(int, startType);
        QCOMPARE(StartTypeFromIsEnabled(output), startType);
    }

    void startTypeAsksSystemctlOnlyWhenInstalled()
    {
        ServiceFixture f;
        f.control.setStartType(1);
        QCOMPARE(f.control.StartType(), 1);
        QVERIFY(f.runner.calls.isEmpty());

        QVERIFY(f.control.Install().ok);
        f.runner.calls.clear();
        // is-enabled exits 1 for masked units; the printed state decides.
        f.runner.answer = [](const QString &, const QStringList &) { return Answer(1, "masked\n"); };
        QCOMPARE(f.control.StartType(), 2);
        QCOMPARE(f.runner.commandLines(), QStringList{"systemctl --user is-enabled Vell.service"});
    }

    void interactiveIsReadFromTheUnit()
    {
        ServiceFixture f;
        f.control.setInteractive(true);
        QVERIFY(f.control.Install().ok);
        // A fresh control (the next program start) reads it back.
        ServiceControl next({f.dir.path() + QStringLiteral("/systemd/user"), QStringLiteral("/x"), false}, f.runner,
                            f.log);
        QVERIFY(next.Interactive());
        QVERIFY(next.Uninstall().ok);
        next.setInteractive(false);
        QVERIFY(next.Install().ok);
        QVERIFY(!ServiceControl({f.dir.path() + QStringLiteral("/systemd/user"), QStringLiteral("/x"), false},
                                f.runner, f.log)
                     .Interactive());
    }

    void markerMakesTheService()
    {
        QCOMPARE(ServiceFixture(true).control.RunsAsService(), true);
        QCOMPARE(ServiceFixture(true).control.ServiceActive(), true);
        QCOMPARE(ServiceFixture(false).control.RunsAsService(), false);
        QCOMPARE(ServiceFixture(false).control.ServiceActive(), false);
    }

    void setupOfThisProcess()
    {
        QTemporaryDir dir;
        const QByteArray oldData = qgetenv("XDG_DATA_HOME");
        const QByteArray oldMarker = qgetenv(ServiceMarkerVariable);
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        qputenv(ServiceMarkerVariable, "1");
        const ServiceSetup marked = ServiceSetup::ForThisProcess(QStringLiteral("/opt/vell/vell"));
        qputenv(ServiceMarkerVariable, "yes");
        const ServiceSetup unmarked = ServiceSetup::ForThisProcess(QStringLiteral("/opt/vell/vell"));
        qputenv("XDG_DATA_HOME", oldData);
        qputenv(ServiceMarkerVariable, oldMarker);
        QCOMPARE(marked.unitFolder, dir.path() + QStringLiteral("/systemd/user"));
        QVERIFY(marked.processMarked);
        QVERIFY(!unmarked.processMarked);
    }

    void logEventGoesToTheLog()
    {
        ServiceFixture f;
        f.control.LogEvent(QStringLiteral("Vell Service: started"), 4);
        f.control.LogEvent(QStringLiteral("12:00:00 - Unknown source folder: /x/"), 2);
        QCOMPARE(f.log.entries,
                 (QList<RecordingEventLog::Entry>{{"Vell Service: started", 4},
                                                  {"12:00:00 - Unknown source folder: /x/", 2}}));
        QCOMPARE(SyslogPriority(4), LOG_INFO);
        QCOMPARE(SyslogPriority(2), LOG_WARNING);
        QCOMPARE(SyslogPriority(1), LOG_ERR);
    }

    // The real systemctl in offline mode, on folders of its own: it only
    // edits files, never asks a user manager, and reads its own work back.
    void realSystemctlRoundTrip_data()
    {
        QTest::addColumn<int>("startType");
        QTest::addColumn<QByteArray>("state");
        QTest::newRow("automatic") << 0 << QByteArray("enabled");
        QTest::newRow("manual") << 1 << QByteArray("disabled");
        QTest::newRow("disabled") << 2 << QByteArray("masked");
    }
    void realSystemctlRoundTrip()
    {
        QFETCH(int, startType);
        QFETCH(QByteArray, state);
        if (QStandardPaths::findExecutable(QStringLiteral("systemctl")).isEmpty())
            QSKIP("systemctl is not installed");
        QTemporaryDir dir;
        QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SYSTEMD_OFFLINE"), QStringLiteral("1"));
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path() + QStringLiteral("/run"));
        // Should offline mode ever be ignored, there is no bus to reach.
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
        ProcessCommandRunner runner(20000, env);
        RecordingEventLog log;
        ServiceControl control({dir.path() + QStringLiteral("/data/systemd/user"), ThisExecutable(), false}, runner,
                               log);
        control.setStartType(startType);
        const ServiceOutcome installed = control.Install();
        QVERIFY2(installed.ok, qPrintable(installed.message));
        const CommandResult asked = runner.run(QStringLiteral("systemctl"),
                                               {QStringLiteral("--user"), QStringLiteral("is-enabled"),
                                                ServiceUnitName});
        QCOMPARE(asked.output.trimmed(), state);
        QCOMPARE(control.StartType(), startType);

        const ServiceOutcome removed = control.Uninstall();
        QVERIFY2(removed.ok, qPrintable(removed.message));
        QVERIFY(!control.IsInstalled());
        // No link is left behind in the configuration folder.
        QDirIterator links(dir.path() + QStringLiteral("/config"), QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                           QDirIterator::Subdirectories);
        while (links.hasNext()) {
            const QFileInfo entry(links.next());
            QVERIFY2(!entry.isSymLink(), qPrintable(entry.filePath()));
        }
    }
};

QTEST_APPLESS_MAIN(TestServiceControl)
#include "tst_servicecontrol.moc"
