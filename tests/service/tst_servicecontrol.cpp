#include "service/servicecontrol.h"

#include "common/servicefixture.h"

#include <QDirIterator>
#include <QStandardPaths>
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

const QString Unit = QStringLiteral("Vell@opt-vell.service"); // of /opt/vell/vell
const QString Reload = QStringLiteral("systemctl --user daemon-reload");
QString Ctl(const QString &verb, const QString &unit = Unit) { return "systemctl --user " + verb + ' ' + unit; }

} // namespace

class TestServiceControl : public QObject
{
    Q_OBJECT
private slots:
    // Expected values printed by systemd-escape --path of systemd 252.
    void escapePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("escaped"); // "refused": systemd-escape fails
        QTest::newRow("dash") << "/opt/my-apps/vell" << "opt-my\\x2dapps-vell";
        QTest::newRow("blank, UTF-8, dots") << QString::fromUtf8("/home/a b/ç.x/.hidden//x/./y/")
                                            << "home-a\\x20b-\\xc3\\xa7.x-.hidden-x-y";
        QTest::newRow("kept characters") << "/azAZ09:_.x/..b/..." << "azAZ09:_.x-..b-...";
        QTest::newRow("beside the kept ranges") << "/@[`{/\t" << "\\x40\\x5b\\x60\\x7b-\\x09";
        QTest::newRow("punctuation") << "/-\\~$%+=," << "\\x2d\\x5c\\x7e\\x24\\x25\\x2b\\x3d\\x2c";
        QTest::newRow("leading dot") << "/./.x/" << "\\x2ex";
        QTest::newRow("not UTF-8") << QStringLiteral("/") + QChar(0xDCFF) + QChar(0x01) << "\\xff\\x01";
        QTest::newRow("root") << "/" << "-";
        QTest::newRow("slashes only") << "//" << "-";
        QTest::newRow("empty") << "" << "-";
        QTest::newRow("relative") << "a/./b" << "a-b";
        QTest::newRow("dot-dot") << "/x/../y" << "refused";
        QTest::newRow("dot only") << "./" << "refused";
        QTest::newRow("256-byte name") << "/" + QString(256, 'x') << "refused";
        QTest::newRow("255-byte name") << "/" + QString(255, 'x') << QString(255, 'x');
        QString longest; // 4095 bytes with its slash: the longest path
        while (longest.size() < 4095)
            longest += "/" + QString(200, 'x');
        longest.truncate(4095);
        QTest::newRow("4095 bytes and a slash") << longest + "/" << longest.mid(1).replace('/', '-');
        QTest::newRow("4096 bytes") << longest + "x" << "refused";
    }
    void escapePath()
    {
        QFETCH(QString, path);
        QFETCH(QString, escaped);
        QCOMPARE(SystemdEscapePath(path).value_or(QStringLiteral("refused")), escaped);
    }

    void unitNameFor_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::newRow("absolute") << "/opt/vell" << Unit;
        QTest::newRow("relative") << "opt/vell" << "";
        QTest::newRow("not normal") << "/opt/../vell" << "";
        QTest::newRow("255 characters") << "/" + QString(242, 'x') << "Vell@" + QString(242, 'x') + ".service";
        QTest::newRow("256 characters") << "/" + QString(243, 'x') << "";
    }
    void unitNameFor()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QCOMPARE(ServiceUnitNameFor(folder), name);
    }

    void unitText()
    {
        QCOMPARE(ServiceUnitText(QStringLiteral("/opt/vell/vell"), false),
                 QStringLiteral("# Written by Vell, which removes it when the service is removed.\n"
                                "[Unit]\nDescription=Vell Service\n"
                                "After=network-online.target\nWants=network-online.target\n\n"
                                "[Service]\nType=exec\nExecStart=\"/opt/vell/vell\"\n"
                                "Environment=VELL_SERVICE=%n\nEnvironment=VELL_INTERACTIVE=0\n"
                                "UnsetEnvironment=DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM\n"
                                "Restart=on-abnormal\nRestartSec=10\n\n[Install]\nWantedBy=default.target\n"));
        const QString interactive = ServiceUnitText(QStringLiteral("/opt/vell/vell"), true);
        for (const char *line : {"After=graphical-session.target\nPartOf=graphical-session.target\n",
                                 "VELL_INTERACTIVE=1\n", "\nWantedBy=graphical-session.target\n"})
            QVERIFY2(interactive.contains(QLatin1String(line)), line);
        QVERIFY(!interactive.contains(QStringLiteral("UnsetEnvironment")));
        QCOMPARE(QuotedForExecStart(QStringLiteral("/x/100%/$HOME")), QStringLiteral("\"/x/100%%/$HOME\""));
    }

    void unitExecutable_data()
    {
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<QString>("program");
        QTest::newRow("quoted") << QByteArray("[Service]\nExecStart=\nExecStart = \"/x/100%%/my vell\" -U\n") << "/x/100%/my vell";
        QTest::newRow("bare, first wins") << QByteArray("ExecStart=/usr/bin/vell -U\nExecStart=/y") << "/usr/bin/vell";
        QTest::newRow("none") << QByteArray("[Service]\nExecStop=/bin/true\n") << "";
    }
    void unitExecutable()
    {
        QFETCH(QByteArray, unit);
        QFETCH(QString, program);
        QCOMPARE(UnitExecutable(unit), program);
    }

    // systemd itself reads the unit; a test manager needs no running user
    // manager, only a runtime folder of its own.
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
        ServiceFixture f;
        QVERIFY2(f.dir.isValid(), qPrintable(f.dir.errorString()));
        const QString program = f.dir.path() + "/my-folder/" + programName;
        QVERIFY(QDir().mkpath(f.dir.path() + "/my-folder") && QFile::link(ThisExecutable(), program));
        ServiceControl control(f.setupFor(program), f.runner, f.log);
        control.setInteractive(interactive);
        QVERIFY(control.Install().ok);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), f.dir.path());
        const CommandResult result = ProcessCommandRunner(20000, env).run(
            analyze, {QStringLiteral("verify"), QStringLiteral("--user"), control.unitFilePath()});
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
        QTest::newRow("automatic") << 0 << QStringList{Reload, Ctl("unmask"), Ctl("enable")};
        QTest::newRow("manual") << 1 << QStringList{Reload, Ctl("unmask"), Ctl("disable")};
        QTest::newRow("disabled") << 2 << QStringList{Reload, Ctl("disable"), Ctl("mask")};
        QTest::newRow("out of range means disabled") << 9 << QStringList{Reload, Ctl("disable"), Ctl("mask")};
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

    // A failed step is reported and takes the fresh unit away again.
    void failedStepUndoesTheInstall_data()
    {
        QTest::addColumn<QString>("failing"); // "*": systemctl cannot start
        QTest::addColumn<bool>("startNow");
        QTest::addColumn<QString>("message");
        QTest::newRow("none, start now") << "" << true << "";
        QTest::newRow("enable") << "enable" << false << Ctl("enable") + ": Access denied";
        QTest::newRow("reload") << "daemon-reload" << false << Reload + ": Access denied";
        QTest::newRow("start") << "start" << true << Ctl("start") + ": Access denied";
        QTest::newRow("no systemctl") << "*" << false << Reload + ": the program could not be started";
    }
    void failedStepUndoesTheInstall()
    {
        QFETCH(QString, failing);
        QFETCH(bool, startNow);
        QFETCH(QString, message);
        ServiceFixture f;
        f.runner.answer = [&](const QString &, const QStringList &args) {
            return failing == "*" ? CommandResult{} : Answer(args.contains(failing) ? 1 : 0, {}, "Access denied\n");
        };
        const ServiceOutcome outcome = f.control.Install(startNow);
        QCOMPARE(outcome.message, message);
        QCOMPARE(outcome.ok, message.isEmpty());
        QCOMPARE(f.control.IsInstalled(), outcome.ok);
        QCOMPARE(QFile::exists(f.control.unitFilePath()), outcome.ok);
        QCOMPARE(f.runner.commandLines().contains(Ctl("disable")), !outcome.ok);
        if (startNow && outcome.ok)
            QCOMPARE(f.runner.commandLines().last(), Ctl("start"));
    }

    // Paths systemd would refuse fail at once, nothing written or asked.
    void refusedAtOnce_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("message");
        const QString cannot = "systemd cannot start a program whose path holds quotes, backslashes, "
                               "control characters or bytes that are not UTF-8: ";
        QTest::newRow("double quote") << "/opt/\"vell\"/vell" << cannot + "/opt/\"vell\"/vell";
        QTest::newRow("apostrophe") << "/home/o'brien/vell" << cannot + "/home/o'brien/vell";
        QTest::newRow("backslash") << "/opt/a\\b/vell" << cannot + "/opt/a\\b/vell";
        QTest::newRow("line break") << "/opt/a\nb/vell" << cannot + "/opt/a\nb/vell";
        QTest::newRow("not UTF-8") << "/opt/caf" + QString(QChar(0xDCE9)) << cannot + "/opt/caf" + QChar(0xDCE9);
        QTest::newRow("unnameable folder") << "/opt/" + QString(243, 'x') + "/vell"
                                           << "systemd cannot name a unit after the folder /opt/" + QString(243, 'x');
    }
    void refusedAtOnce()
    {
        QFETCH(QString, program);
        QFETCH(QString, message);
        ServiceFixture f({}, program);
        const ServiceOutcome outcome = f.control.Install();
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.message, message);
        QVERIFY(!QDir(f.unitFolder()).exists());
        QVERIFY(f.runner.calls.isEmpty());
    }

    void unwritableFolderFailsInstall()
    {
        ServiceFixture f;
        // A file where the unit folder should be: mkdir fails even for root.
        QFile blocker(f.dir.path() + QStringLiteral("/systemd"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QCOMPARE(f.control.Install().message, "Cannot create the folder " + f.unitFolder());
        QVERIFY(f.runner.calls.isEmpty());
    }

    void uninstallIssuesCommandsAndRemovesTheUnit()
    {
        ServiceFixture f;
        f.install();
        const ServiceOutcome outcome = f.control.Uninstall();
        QVERIFY2(outcome.ok, qPrintable(outcome.message));
        QCOMPARE(f.runner.commandLines(), (QStringList{Ctl("disable"), Ctl("unmask"), Reload}));
        QVERIFY(!QFile::exists(f.control.unitFilePath()));

        f.runner.calls.clear();
        QVERIFY(f.control.Uninstall().ok);
        QVERIFY(f.runner.calls.isEmpty()); // nothing to remove, nothing asked
    }

    // A unit whose links cannot go is kept whole, and the failure told.
    void failedUninstallKeepsTheUnit_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::newRow("disable") << "disable";
        QTest::newRow("unmask") << "unmask";
        QTest::newRow("reload") << "daemon-reload";
    }
    void failedUninstallKeepsTheUnit()
    {
        QFETCH(QString, failing);
        ServiceFixture f;
        f.install();
        f.runner.answer = [&](const QString &, const QStringList &args) {
            return Answer(args.contains(failing) ? 1 : 0, {}, "Access denied");
        };
        const ServiceOutcome outcome = f.control.Uninstall();
        QVERIFY(!outcome.ok);
        const bool reload = failing == "daemon-reload";
        QCOMPARE(outcome.message, (reload ? Reload : Ctl(failing)) + ": Access denied");
        QCOMPARE(f.control.IsInstalled(), !reload); // the reload comes after the removal
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

        f.install();
        // is-enabled exits 1 for masked units; the printed state decides.
        f.runner.answer = [](const QString &, const QStringList &) { return Answer(1, "masked\n"); };
        QString failure;
        QCOMPARE(f.control.StartType(&failure), 2);
        QVERIFY(failure.isEmpty());
        QCOMPARE(f.runner.commandLines(), QStringList{Ctl("is-enabled")});
        f.runner.answer = [](const QString &, const QStringList &) { return CommandResult{}; };
        QCOMPARE(f.control.StartType(&failure), 1);
        QCOMPARE(failure, Ctl("is-enabled") + ": the program could not be started");
    }

    void interactiveIsReadFromTheUnit()
    {
        for (const bool interactive : {true, false}) {
            ServiceFixture f;
            f.control.setInteractive(interactive);
            f.install();
            // A fresh control (the next program start) reads it back.
            QCOMPARE(ServiceControl(f.setupFor("/opt/vell/vell"), f.runner, f.log).Interactive(), interactive);
        }
    }

    // Two program folders side by side: each acts on its own unit only.
    void foldersSideBySide()
    {
        ServiceFixture f(Unit.toUtf8());
        f.install();
        const QString otherUnit = QStringLiteral("Vell@srv-other.service");
        ServiceControl other(f.setupFor("/srv/other/vell", Unit.toUtf8()), f.runner, f.log);
        QVERIFY(f.control.RunsAsService() && f.control.ServiceActive());
        QVERIFY(!other.IsInstalled());
        QVERIFY(!other.RunsAsService() && !other.ServiceActive()); // the marker names the first one's unit
        QVERIFY(!ServiceControl(f.setupFor("/srv/other/vell", "1"), f.runner, f.log).RunsAsService());

        other.setInteractive(true);
        QVERIFY(other.Install().ok);
        QVERIFY(other.IsInstalled() && other.Interactive());
        QVERIFY(!f.control.Interactive());
        QVERIFY(other.Uninstall().ok);
        QVERIFY(f.control.IsInstalled() && !other.IsInstalled());
        for (const QString &command : f.runner.commandLines())
            QVERIFY2(!command.contains(Unit), qPrintable(command));
        QCOMPARE(f.runner.commandLines().last(), Reload);
        QVERIFY(f.runner.commandLines().contains(Ctl("disable", otherUnit)));
    }

    // A Vell.service of this executable, from before units per folder, is
    // this Vell's: removed by Uninstall, replaced by Install. One that
    // starts another program is never touched.
    void olderVellService_data()
    {
        QTest::addColumn<QString>("started"); // its ExecStart, "link": a link to the program
        QTest::addColumn<bool>("ours");
        QTest::newRow("this executable") << "program" << true;
        QTest::newRow("a link to it") << "link" << true;
        QTest::newRow("another executable") << "/opt/other/vell" << false;
    }
    void olderVellService()
    {
        QFETCH(QString, started);
        QFETCH(bool, ours);
        ServiceFixture f;
        const QString program = f.dir.path() + "/bin/vell";
        QVERIFY(QDir().mkpath(f.dir.path() + "/bin") && QFile::link(ThisExecutable(), program));
        QVERIFY(QFile::link(program, f.dir.path() + "/link"));
        const QString execStart = started == "program" ? program : started == "link" ? f.dir.path() + "/link" : started;
        const QByteArray old = "[Service]\nExecStart=\"" + execStart.toUtf8()
            + "\"\nEnvironment=VELL_SERVICE=1\nEnvironment=VELL_INTERACTIVE=1\n";
        f.write(LegacyServiceUnitName, old);
        ServiceControl control(f.setupFor(program, "1"), f.runner, f.log);
        QCOMPARE(control.IsInstalled(), ours);
        QCOMPARE(control.RunsAsService(), ours);
        QCOMPARE(control.Interactive(), ours);
        f.runner.answer = [](const QString &, const QStringList &) { return Answer(0, "enabled\n"); };
        control.setStartType(1);
        QCOMPARE(control.StartType(), ours ? 0 : 1);
        const QString legacy = "systemctl --user %1 " + LegacyServiceUnitName;
        QCOMPARE(f.runner.commandLines(), ours ? QStringList{legacy.arg("is-enabled")} : QStringList());

        QVERIFY(control.Install().ok);
        QVERIFY(control.IsInstalled());
        QVERIFY(QFile::exists(control.unitFilePath()));
        QCOMPARE(f.read(LegacyServiceUnitName), ours ? QByteArray() : old);
        QCOMPARE(f.runner.commandLines().contains(legacy.arg("unmask")), ours);

        f.write(LegacyServiceUnitName, old); // back again: Uninstall takes both
        f.runner.calls.clear();
        QVERIFY(control.Uninstall().ok);
        QVERIFY(!control.IsInstalled());
        QCOMPARE(f.read(LegacyServiceUnitName), ours ? QByteArray() : old);
        QCOMPARE(f.runner.commandLines().contains(legacy.arg("disable")), ours);
    }

    void folderUnitOfAnotherProgramIsLeftAlone()
    {
        ServiceFixture f;
        const QByteArray foreign = "[Service]\nExecStart=/elsewhere/vell\n";
        f.write(Unit, foreign);
        QVERIFY(!f.control.IsInstalled());
        QCOMPARE(f.control.Install().message, f.control.unitFilePath() + " starts another program: /elsewhere/vell");
        QVERIFY(f.control.Uninstall().ok);
        QCOMPARE(f.read(Unit), foreign);
        QVERIFY(f.runner.calls.isEmpty());
    }

    void setupOfThisProcess()
    {
        QTemporaryDir dir;
        const QByteArray oldData = qgetenv("XDG_DATA_HOME");
        const QByteArray oldMarker = qgetenv(ServiceMarkerVariable);
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        qputenv(ServiceMarkerVariable, "Vell@x.service");
        const ServiceSetup derived = ServiceSetup::ForThisProcess(QStringLiteral("/opt/vell/vell"));
        const ServiceSetup given = ServiceSetup::ForThisProcess(QStringLiteral("/usr/bin/vell"), "/home/u/Vell");
        qputenv("XDG_DATA_HOME", oldData);
        qputenv(ServiceMarkerVariable, oldMarker);
        QCOMPARE(derived.unitFolder, dir.path() + QStringLiteral("/systemd/user"));
        QCOMPARE(derived.marker, QByteArray("Vell@x.service"));
        QCOMPARE(derived.programFolder, QStringLiteral("/opt/vell"));
        QCOMPARE(given.programFolder, QStringLiteral("/home/u/Vell"));
    }

    void logEventGoesToTheLog()
    {
        ServiceFixture f;
        f.control.LogEvent(QStringLiteral("Vell Service: started"), 4);
        QCOMPARE(f.log.entries, (QList<RecordingEventLog::Entry>{{"Vell Service: started", 4}}));
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
        // A dash in the folder puts a backslash in the unit's name.
        ServiceControl control({dir.path() + "/data/systemd/user", ThisExecutable(), "/opt/my-vell", {}}, runner, log);
        control.setStartType(startType);
        const ServiceOutcome installed = control.Install();
        QVERIFY2(installed.ok, qPrintable(installed.message));
        const CommandResult asked
            = runner.run(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("is-enabled"),
                                                       QStringLiteral("Vell@opt-my\\x2dvell.service")});
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
