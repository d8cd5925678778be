#include "service/servicecontrol.h"

#include "common/servicefixture.h"

#include <QDirIterator>
#include <QStandardPaths>
#include <syslog.h>

using namespace vell;

namespace {
QString ThisExecutable() { return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(); }
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
        QString longest = "/" + QString(4094, 'x'); // the longest path: 4095 bytes
        for (int i = 200; i < longest.size(); i += 201)
            longest[i] = '/';
        QTest::newRow("blank, dash, UTF-8") << QString::fromUtf8("/a b//ç.x/./.h-/") << "a\\x20b-\\xc3\\xa7.x-.h\\x2d";
        QTest::newRow("kept") << "/azAZ09:_.x/..b/..." << "azAZ09:_.x-..b-...";
        QTest::newRow("beside the kept")
            << "/@[`{/\t\\~$%+=," << "\\x40\\x5b\\x60\\x7b-\\x09\\x5c\\x7e\\x24\\x25\\x2b\\x3d\\x2c";
        QTest::newRow("leading dot") << "/./.x/" << "\\x2ex";
        QTest::newRow("not UTF-8") << QStringLiteral("/") + QChar(0xDCFF) + QChar(0x01) << "\\xff\\x01";
        QTest::newRow("root") << "//" << "-";
        QTest::newRow("empty") << "" << "-";
        QTest::newRow("relative") << "a/./b" << "a-b";
        QTest::newRow("dot-dot") << "/x/../y" << "refused";
        QTest::newRow("dot only") << "./" << "refused";
        QTest::newRow("255-byte name") << "/" + QString(255, 'x') << QString(255, 'x');
        QTest::newRow("256-byte name") << "/" + QString(256, 'x') << "refused";
        QTest::newRow("4095 bytes and a slash") << longest + "/" << longest.mid(1).replace('/', '-');
        QTest::newRow("4096 bytes") << longest + "x" << "refused";
    }
    void escapePath()
    {
        QFETCH(QString, path);
        QFETCH(QString, escaped);
        QCOMPARE(SystemdEscapePath(path).value_or(QStringLiteral("refused")), escaped);
    }

    void namesAndStates()
    {
        QCOMPARE(ServiceUnitNameFor("/opt/vell"), FixtureUnit);
        QCOMPARE(ServiceUnitNameFor("opt/vell"), QString());
        QCOMPARE(ServiceUnitNameFor("/opt/../vell"), QString());
        QCOMPARE(ServiceUnitNameFor("/" + QString(242, 'x')), "Vell@" + QString(242, 'x') + ".service"); // 255
        QCOMPARE(ServiceUnitNameFor("/" + QString(243, 'x')), QString());
        QCOMPARE(UnitExecutable("[Service]\nExecStart=\n ExecStart = \"/x/100%%/my vell\" -U\n"), "/x/100%/my vell");
        QCOMPARE(UnitExecutable("ExecStart=/usr/bin/vell\t-U\nExecStart=/y"), "/usr/bin/vell");
        QCOMPARE(UnitExecutable("[Service]\nExecStop=/bin/true\n"), QString());
        QCOMPARE(QuotedForExecStart("/x/100%/$HOME"), QStringLiteral("\"/x/100%%/$HOME\""));
        for (const auto &[state, type] : {std::pair{"enabled\n", 0}, {"enabled-runtime", 0}, {"  masked \r\n", 2},
                                          {"masked-runtime", 2}, {"disabled\n", 1}, {"", 1}})
            QVERIFY2(StartTypeFromIsEnabled(state) == type, state);
        QVERIFY(SyslogPriority(4) == LOG_INFO && SyslogPriority(2) == LOG_WARNING && SyslogPriority(1) == LOG_ERR);
    }

    void unitText()
    {
        QCOMPARE(ServiceUnitText("/opt/vell/vell", false),
                 QStringLiteral("# Written by Vell, which removes it when the service is removed.\n"
                                "[Unit]\nDescription=Vell Service\n"
                                "After=network-online.target\nWants=network-online.target\n\n"
                                "[Service]\nType=exec\nExecStart=\"/opt/vell/vell\"\n"
                                "Environment=VELL_SERVICE=%n\nEnvironment=VELL_INTERACTIVE=0\n"
                                "UnsetEnvironment=DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM\n"
                                "Restart=on-abnormal\nRestartSec=10\n\n[Install]\nWantedBy=default.target\n"));
        const QString interactive = ServiceUnitText("/opt/vell/vell", true);
        for (const char *line : {"After=graphical-session.target\nPartOf=graphical-session.target\n",
                                 "VELL_INTERACTIVE=1\n", "\nWantedBy=graphical-session.target\n"})
            QVERIFY2(interactive.contains(QLatin1String(line)), line);
        QVERIFY(!interactive.contains("UnsetEnvironment"));
    }

    // What Install asks of systemctl; a failure is told and takes the fresh
    // unit away again; a path systemd would refuse fails before anything.
    void install_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("startType");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("message"); // empty: installed
        QTest::addColumn<QStringList>("commands");
        const QString p = "/opt/vell/vell";
        const QStringList undo{Ctl("disable"), Ctl("unmask"), Reload};
        QTest::newRow("automatic") << p << 0 << "" << "" << QStringList{Reload, Ctl("unmask"), Ctl("enable")};
        QTest::newRow("manual") << p << 1 << "" << "" << QStringList{Reload, Ctl("unmask"), Ctl("disable")};
        QTest::newRow("disabled") << p << 2 << "" << "" << QStringList{Reload, Ctl("disable"), Ctl("mask")};
        QTest::newRow("out of range") << p << 9 << "" << "" << QStringList{Reload, Ctl("disable"), Ctl("mask")};
        QTest::newRow("enable fails") << p << 0 << "enable" << Ctl("enable") + ": Access denied"
                                      << QStringList{Reload, Ctl("unmask"), Ctl("enable")} + undo;
        QTest::newRow("reload fails") << p << 0 << "daemon-reload" << Reload + ": Access denied"
                                      << QStringList{Reload} + undo;
        QTest::newRow("no systemctl") << p << 0 << "*" << Reload + ": the program could not be started"
                                      << QStringList{Reload} + undo;
        const QString cannot = "systemd cannot start a program whose path holds quotes, backslashes, "
                               "control characters or bytes that are not UTF-8: ";
        const QStringList bad{"/\"v\"/vell", "/o'b/vell", "/a\\b/vell", "/a\nb/vell", "/caf" + QString(QChar(0xDCE9))};
        for (const QString &program : bad)
            QTest::addRow("refused %d", int(bad.indexOf(program))) << program << 0 << "" << cannot + program
                                                                   << QStringList();
        const QString tooLong = "/opt/" + QString(243, 'x');
        QTest::newRow("unnameable folder") << tooLong + "/vell" << 0 << ""
                                           << "systemd cannot name a unit after the folder " + tooLong << QStringList();
    }
    void install()
    {
        QFETCH(QString, program);
        QFETCH(int, startType);
        QFETCH(QString, failing);
        QFETCH(QString, message);
        QFETCH(QStringList, commands);
        ServiceFixture f({}, program);
        f.runner.answer = Refusing(failing);
        f.control.setStartType(startType);
        const ServiceOutcome outcome = f.control.Install();
        QCOMPARE(outcome.message, message);
        QCOMPARE(outcome.ok, message.isEmpty());
        QCOMPARE(f.runner.commandLines(), commands);
        QCOMPARE(f.control.IsInstalled(), outcome.ok);
        QCOMPARE(f.read(FixtureUnit).contains("ExecStart=\"/opt/vell/vell\"\n"), outcome.ok);
        QCOMPARE(QDir(f.unitFolder()).isEmpty(), !outcome.ok);
    }

    // A unit whose links cannot go is kept whole, and the failure told.
    void uninstall_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("all goes well") << "" << QStringList{Ctl("disable"), Ctl("unmask"), Reload};
        QTest::newRow("disable fails") << "disable" << QStringList{Ctl("disable")};
        QTest::newRow("unmask fails") << "unmask" << QStringList{Ctl("disable"), Ctl("unmask")};
        QTest::newRow("reload fails") << "daemon-reload" << QStringList{Ctl("disable"), Ctl("unmask"), Reload};
    }
    void uninstall()
    {
        QFETCH(QString, failing);
        QFETCH(QStringList, commands);
        ServiceFixture f;
        f.install();
        f.runner.answer = Refusing(failing);
        const ServiceOutcome outcome = f.control.Uninstall();
        QCOMPARE(f.runner.commandLines(), commands);
        QCOMPARE(outcome.message, failing.isEmpty() ? QString() : commands.last() + ": Access denied");
        QCOMPARE(outcome.ok, failing.isEmpty());
        QCOMPARE(f.control.IsInstalled(), commands.last() != Reload); // the reload comes after the removal
    }

    // is-enabled exits 1 for masked units: the printed state decides. No
    // state at all is told.
    void startTypeOfTheInstalledUnit()
    {
        ServiceFixture f;
        f.install();
        QString failure;
        f.runner.answer = [](const QString &, const QStringList &) { return Answer(1, "masked\n"); };
        QVERIFY(f.control.StartType(&failure) == 2 && failure.isEmpty());
        QCOMPARE(f.runner.commandLines(), QStringList{Ctl("is-enabled")});
        f.runner.answer = Refusing("*");
        QCOMPARE(f.control.StartType(&failure), 1);
        QCOMPARE(failure, Ctl("is-enabled") + ": the program could not be started");
    }

    // Two program folders side by side: each acts on its own unit only.
    void foldersSideBySide()
    {
        ServiceFixture f(FixtureUnit.toUtf8());
        f.install();
        const QString otherUnit = QStringLiteral("Vell@srv-other.service");
        ServiceControl other(f.setupFor("/srv/other/vell", FixtureUnit.toUtf8()), f.runner, f.log);
        QVERIFY(f.control.RunsAsService() && f.control.ServiceActive());
        QVERIFY(!other.IsInstalled());
        QVERIFY(!other.RunsAsService() && !other.ServiceActive()); // the marker names the first one's unit
        QVERIFY(!ServiceControl(f.setupFor("/srv/other/vell", "1"), f.runner, f.log).RunsAsService());
        other.setInteractive(true);
        QVERIFY(other.Install(true).ok);
        QCOMPARE(f.runner.commandLines().last(), Ctl("start", otherUnit));
        QVERIFY(other.IsInstalled() && !f.control.Interactive());
        QVERIFY(other.Uninstall().ok);
        QVERIFY(f.control.IsInstalled() && !other.IsInstalled());
        QVERIFY(!f.runner.commandLines().join('\n').contains(FixtureUnit));
    }

    // A Vell.service of this executable, from before units per folder, is
    // this Vell's: removed by Uninstall, replaced by Install. One that
    // starts another program is never touched.
    void olderVellService_data()
    {
        QTest::addColumn<QString>("started"); // its ExecStart, in the test folder
        QTest::addColumn<bool>("ours");
        QTest::newRow("this executable") << "/bin/vell" << true;
        QTest::newRow("a link to it") << "/link" << true;
        QTest::newRow("another executable") << "/other" << false;
    }
    void olderVellService()
    {
        QFETCH(QString, started);
        QFETCH(bool, ours);
        ServiceFixture f;
        const QString program = f.dir.path() + "/bin/vell";
        QVERIFY(QDir().mkpath(f.dir.path() + "/bin") && QFile::link(ThisExecutable(), program));
        QVERIFY(QFile::link(program, f.dir.path() + "/link") && QFile(f.dir.path() + "/other").open(QFile::WriteOnly));
        const QByteArray old = "ExecStart=\"" + (f.dir.path() + started).toUtf8() + "\"\nEnvironment=VELL_INTERACTIVE=1\n";
        f.write(LegacyServiceUnitName, old);
        ServiceControl control(f.setupFor(program, "1"), f.runner, f.log);
        QVERIFY(control.IsInstalled() == ours && control.RunsAsService() == ours && control.Interactive() == ours);
        f.runner.answer = [](const QString &, const QStringList &) { return Answer(0, "enabled\n"); };
        control.setStartType(1);
        QCOMPARE(control.StartType(), ours ? 0 : 1);
        QCOMPARE(f.runner.commandLines(), ours ? QStringList{Ctl("is-enabled", LegacyServiceUnitName)} : QStringList{});
        for (const bool install : {true, false}) {
            f.write(LegacyServiceUnitName, old);
            f.runner.calls.clear();
            QVERIFY(install ? control.Install().ok : control.Uninstall().ok);
            QCOMPARE(control.IsInstalled(), install);
            QCOMPARE(f.read(LegacyServiceUnitName), ours ? QByteArray() : old);
            QCOMPARE(f.runner.commandLines().contains(Ctl("disable", LegacyServiceUnitName)), ours);
        }
    }

    void refusedWithNothingAsked()
    {
        ServiceFixture f;
        const QByteArray foreign = "[Service]\nExecStart=/elsewhere/vell\n";
        f.write(FixtureUnit, foreign);
        QVERIFY(!f.control.IsInstalled());
        QCOMPARE(f.control.Install().message, f.control.unitFilePath() + " starts another program: /elsewhere/vell");
        QVERIFY(f.control.Uninstall().ok);
        QCOMPARE(f.read(FixtureUnit), foreign);
        ServiceFixture blocked; // a file where the unit folder should be: mkdir fails even for root
        QVERIFY(QFile(blocked.dir.path() + "/systemd").open(QIODevice::WriteOnly));
        QCOMPARE(blocked.control.Install().message, "Cannot create the folder " + blocked.unitFolder());
        ServiceFixture occupied; // a folder in the unit's place
        QVERIFY(QDir().mkpath(occupied.control.unitFilePath()));
        QCOMPARE(occupied.control.Install().message, "Cannot write " + occupied.control.unitFilePath() + ": Is a directory");
        QVERIFY(f.runner.calls.isEmpty() && blocked.runner.calls.isEmpty() && occupied.runner.calls.isEmpty());
    }

    void setupOfThisProcess()
    {
        QTemporaryDir dir;
        const QByteArray oldData = qgetenv("XDG_DATA_HOME"), oldMarker = qgetenv(ServiceMarkerVariable);
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        qputenv(ServiceMarkerVariable, "Vell@x.service");
        const ServiceSetup derived = ServiceSetup::ForThisProcess("/opt/vell/vell");
        const ServiceSetup given = ServiceSetup::ForThisProcess("/usr/bin/vell", "/home/u/Vell");
        qputenv("XDG_DATA_HOME", oldData);
        qputenv(ServiceMarkerVariable, oldMarker);
        QCOMPARE(derived.unitFolder, dir.path() + "/systemd/user");
        QCOMPARE(derived.marker, QByteArray("Vell@x.service"));
        QCOMPARE(derived.programFolder, QStringLiteral("/opt/vell"));
        QCOMPARE(given.programFolder, QStringLiteral("/home/u/Vell"));
    }

    // The real tools on folders of their own: systemd-analyze reads the
    // units back; systemctl in offline mode only edits files, never asks a
    // user manager, and reads its own work back. Blanks, "%" and "$" in the
    // program, a dash (a backslash in the unit's name) in the folders.
    void realSystemd()
    {
        const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
        if (analyze.isEmpty() || QStandardPaths::findExecutable("systemctl").isEmpty())
            QSKIP("systemd-analyze or systemctl is not installed");
        QTemporaryDir dir;
        QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString home = dir.path() + "/home"; // units in home/systemd, systemd's links in home/config
        for (const char *name : {"HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME"})
            env.insert(name, home);
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("SYSTEMD_OFFLINE", "1");
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"); // should offline mode be ignored
        ProcessCommandRunner runner(20000, env);
        RecordingEventLog log;
        for (const auto &[startType, state] : {std::pair{0, "enabled"}, {1, "disabled"}, {2, "masked"}}) {
            const QString folder = dir.path() + "/my-vell" + QString::number(startType), program = folder + "/v 1% $A";
            QVERIFY(QDir().mkpath(folder) && QFile::link(ThisExecutable(), program));
            ServiceControl control({home + "/systemd/user", program, folder, {}}, runner, log);
            control.setStartType(startType);
            control.setInteractive(startType == 1);
            const ServiceOutcome installed = control.Install();
            QVERIFY2(installed.ok, qPrintable(installed.message));
            const CommandResult verified = runner.run(analyze, {"verify", "--user", control.unitFilePath()});
            if (!verified.started || verified.errors.contains("Failed to initialize manager"))
                QSKIP(qPrintable("systemd-analyze cannot run here: " + verified.diagnostic()));
            // Bad keys and values are only warnings: any word on stderr is a fault.
            QVERIFY2(verified.succeeded() && verified.errors.trimmed().isEmpty(), qPrintable(verified.diagnostic()));
            QCOMPARE(runner.run("systemctl", {"--user", "is-enabled", control.unitName()}).output.trimmed(), state);
            QCOMPARE(control.StartType(), startType);
            const ServiceOutcome removed = control.Uninstall();
            QVERIFY2(removed.ok && !control.IsInstalled(), qPrintable(removed.message));
        }
        // No unit and no link is left behind.
        QDirIterator left(home, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                          QDirIterator::Subdirectories);
        while (left.hasNext())
            QVERIFY2(QFileInfo(left.next()).isDir() && !left.fileInfo().isSymLink(), qPrintable(left.filePath()));
    }
};

QTEST_APPLESS_MAIN(TestServiceControl)
#include "tst_servicecontrol.moc"
