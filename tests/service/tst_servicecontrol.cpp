#include "common/servicefixture.h"
#include "service/alerts.h"
#include <syslog.h>

using namespace vell;

// The program installed, or "" for Uninstall of the installed unit; the message, "" when done.
struct Step { QString program; int startType; QString failing, message; QStringList commands; };

class TestServiceControl : public QObject
{
    Q_OBJECT
private slots:
    // Expected values printed by systemd-escape --path of systemd 252 ("refused" where it fails): blanks, dashes and
    // UTF-8; the characters kept and those beside them; leading dots; the root, empty and relative paths; bytes that
    // are not UTF-8; ".." and "."; names of 256 and 255 bytes; paths of 4095 bytes and a slash, and of 4096 bytes.
    void escapePath()
    {
        QString longest = "/" + QString(4094, 'x'); // the longest path: 4095 bytes
        for (int i = 200; i < longest.size(); i += 201)
            longest[i] = '/';
        const std::pair<QString, QString> paths[] = {
            {QString::fromUtf8("/a b//ç.x/./.h-/"), "a\\x20b-\\xc3\\xa7.x-.h\\x2d"},
            {"/azAZ09:_.x/..b/...", "azAZ09:_.x-..b-..."}, {"/./.x/", "\\x2ex"}, {"//", "-"}, {"", "-"},
            {"/@[`{/\t\\~$%+=,", "\\x40\\x5b\\x60\\x7b-\\x09\\x5c\\x7e\\x24\\x25\\x2b\\x3d\\x2c"},
            {QStringLiteral("/") + QChar(0xDCFF) + QChar(0x01), "\\xff\\x01"}, {"a/./b", "a-b"}, {"/x/../y", "refused"},
            {"./", "refused"}, {"/" + QString(256, 'x'), "refused"}, {"/" + QString(255, 'x'), QString(255, 'x')},
            {longest + "/", longest.mid(1).replace('/', '-')}, {longest + "x", "refused"}};
        for (const auto &[path, escaped] : paths)
            QCOMPARE(SystemdEscapePath(path).value_or(QStringLiteral("refused")), escaped);
    }
    void namesStatesAndTexts()
    {
        QCOMPARE(ServiceUnitNameFor("/" + QString(242, 'x')), "Vell@" + QString(242, 'x') + ".service"); // 255
        for (const QString &folder : QStringList{"opt/vell", "/opt/../vell", "/" + QString(243, 'x')})
            QVERIFY2(ServiceUnitNameFor(folder).isEmpty(), qPrintable(folder));
        QCOMPARE(UnitExecutable("[Service]\nExecStart=\n ExecStart = \"/x/100%%/my vell\" -U\n"), "/x/100%/my vell");
        QCOMPARE(UnitExecutable("ExecStart=/usr/bin/vell\t-U\nExecStart=/y"), "/usr/bin/vell");
        QCOMPARE(UnitExecutable("[Service]\nExecStop=/bin/true\n"), QString());
        QCOMPARE(QuotedForExecStart("/x/100%/$HOME"), QStringLiteral("\"/x/100%%/$HOME\""));
        for (const auto &[state, type] : {std::pair{"enabled\n", 0}, {"enabled-runtime", 0}, {"  masked \r\n", 2},
                                          {"masked-runtime", 2}, {"disabled\n", 1}, {"", 1}})
            QVERIFY2(StartTypeFromIsEnabled(state) == type, state);
        QVERIFY(SyslogPriority(4) == LOG_INFO && SyslogPriority(2) == LOG_WARNING && SyslogPriority(1) == LOG_ERR);
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
        // An installed Vell's folder is in the user's configuration folder, which the user manager may not know.
        const ServiceSetup installed = ServiceSetup::ForThisProcess("/usr/bin/vell", "/home/a b/.config%x/Vell");
        QCOMPARE(installed.configHome, "/home/a b/.config%x");
        QVERIFY(ServiceUnitText(installed.programPath, false, installed.configHome)
                    .contains("\nEnvironment=\"XDG_CONFIG_HOME=/home/a b/.config%%x\"\n"));
        QCOMPARE(ServiceSetup::ForThisProcess("/opt/vell/vell", "/opt/vell/").configHome, QString());
    }
    // What Install and Uninstall ask of systemctl. A failed Install is told and takes the fresh unit away again; a path
    // systemd would refuse fails before anything. A unit whose links cannot go is kept whole.
    void steps_data()
    {
        QTest::addColumn<Step>("step");
        const QString p = "/opt/vell/vell";
        const QStringList undo{Ctl("disable"), Ctl("unmask"), Reload};
        QTest::newRow("automatic") << Step{p, 0, "", "", {Reload, Ctl("unmask"), Ctl("enable")}};
        QTest::newRow("manual") << Step{p, 1, "", "", {Reload, Ctl("unmask"), Ctl("disable")}};
        QTest::newRow("disabled") << Step{p, 2, "", "", {Reload, Ctl("disable"), Ctl("mask")}};
        QTest::newRow("enable fails") << Step{p, 0, "enable", Ctl("enable") + ": Access denied",
                                              QStringList{Reload, Ctl("unmask"), Ctl("enable")} + undo};
        QTest::newRow("reload fails") << Step{p, 0, "daemon-reload", Reload + ": Access denied",
                                              QStringList{Reload} + undo};
        QTest::newRow("no systemctl") << Step{p, 0, "*", Reload + ": the program could not be started",
                                              QStringList{Reload} + undo};
        const QString cannot = "systemd cannot start a program whose path holds quotes, backslashes, "
                               "control characters or bytes that are not UTF-8: ";
        const QStringList bad{"/\"v\"/vell", "/o'b/vell", "/a\\b/vell", "/a\nb/vell", "/caf" + QString(QChar(0xDCE9))};
        for (const QString &program : bad)
            QTest::addRow("refused %d", int(bad.indexOf(program))) << Step{program, 0, "", cannot + program, {}};
        const QString tooLong = "/opt/" + QString(243, 'x');
        QTest::newRow("unnameable folder") << Step{tooLong + "/vell", 0, "",
                                                   "systemd cannot name a unit after the folder " + tooLong, {}};
        QTest::newRow("uninstalled") << Step{"", 0, "", "", undo};
        QTest::newRow("disable fails") << Step{"", 0, "disable", Ctl("disable") + ": Access denied", {Ctl("disable")}};
        QTest::newRow("unmask fails") << Step{"", 0, "unmask", Ctl("unmask") + ": Access denied", undo.mid(0, 2)};
        QTest::newRow("reload fails after removal") << Step{"", 0, "daemon-reload", Reload + ": Access denied", undo};
    }
    void steps()
    {
        QFETCH(Step, step);
        auto &[program, startType, failing, message, commands] = step;
        ServiceFixture f({}, program.isEmpty() ? QStringLiteral("/opt/vell/vell") : program);
        if (program.isEmpty())
            f.install();
        f.runner.answer = Refusing(failing);
        f.control.setStartType(startType);
        const ServiceOutcome outcome = program.isEmpty() ? f.control.Uninstall() : f.control.Install();
        QVERIFY2(outcome.message == message && outcome.ok == message.isEmpty(), qPrintable(outcome.message));
        QCOMPARE(f.runner.calls, commands);
        const bool installed = program.isEmpty() ? commands.last() != Reload : outcome.ok; // reload after removal
        QCOMPARE(f.control.IsInstalled(), installed);
        QCOMPARE(f.tree.entries("systemd/user").size(), installed ? 1 : 0); // no temporary file left
    }
    // Two program folders side by side: each acts on its own unit only. is-enabled exits 1 for masked units: the
    // printed state decides.
    void foldersSideBySide()
    {
        ServiceFixture f(FixtureUnit.toUtf8());
        f.install();
        ServiceControl other(f.setupFor("/srv/other/my vell", FixtureUnit.toUtf8()), f.runner, f.log);
        QVERIFY(f.control.RunsAsService() && f.control.ServiceActive());
        QVERIFY(!other.IsInstalled() && !other.RunsAsService() && !other.ServiceActive()); // the marker names f's unit
        other.setInteractive(true);
        QVERIFY(other.Install(true).ok);
        QCOMPARE(f.runner.calls.last(), Ctl("start", "Vell@srv-other.service"));
        QVERIFY(other.IsInstalled() && !f.control.Interactive() && other.Uninstall().ok);
        QVERIFY(f.control.IsInstalled() && !other.IsInstalled() && !f.runner.calls.join(' ').contains(FixtureUnit));
        QString failure;
        f.runner.answer = [](const QStringList &) { return CommandResult{true, false, 1, "masked\n", {}}; };
        QVERIFY(f.control.StartType(&failure) == 2 && failure.isEmpty() && f.runner.calls.last() == Ctl("is-enabled"));
        f.runner.answer = Refusing("*");
        QCOMPARE(f.control.StartType(&failure), 1);
        QCOMPARE(failure, Ctl("is-enabled") + ": the program could not be started");
    }
    // A Vell.service of this executable (its ExecStart, or a link to it), from before units per folder, is this Vell's:
    // removed by Uninstall, replaced by Install. One that starts another program is never touched.
    void olderVellService()
    {
        for (const auto &[started, ours] : {std::pair{"bin/vell", true}, {"link", true}, {"other", false}}) {
            ServiceFixture f;
            QVERIFY(f.tree.write("bin/vell", {}) && f.tree.write("other", {}) && f.tree.symlink("link", "bin/vell"));
            const QByteArray old = "ExecStart=\"" + f.tree.path(started) + "\"\nEnvironment=VELL_INTERACTIVE=1\n";
            QVERIFY(f.tree.write("systemd/user/Vell.service", old));
            const QString program = f.tree.pathText("bin/vell");
            ServiceControl control(f.setupFor(program, "1"), f.runner, f.log);
            QVERIFY(control.IsInstalled() == ours && control.RunsAsService() == ours && control.Interactive() == ours);
            QVERIFY(!ServiceControl(f.setupFor(program, "Vell@x.service"), f.runner, f.log).RunsAsService());
            f.runner.answer = [](const QStringList &) { return CommandResult{true, false, 0, "enabled\n", {}}; };
            control.setStartType(1);
            QCOMPARE(control.StartType(), ours ? 0 : 1);
            QCOMPARE(f.runner.calls, ours ? QStringList{Ctl("is-enabled", LegacyServiceUnitName)} : QStringList{});
            for (const bool install : {true, false}) {
                QVERIFY(f.tree.write("systemd/user/Vell.service", old));
                f.runner.calls.clear();
                QVERIFY(install ? control.Install().ok : control.Uninstall().ok);
                QCOMPARE(control.IsInstalled(), install);
                QCOMPARE(f.tree.read("systemd/user/Vell.service"), ours ? QByteArray() : old);
                QCOMPARE(f.runner.calls.contains(Ctl("disable", LegacyServiceUnitName)), ours);
            }
        }
    }
    // Nothing is asked of systemctl when the unit cannot be written, or belongs to another program, which is never
    // touched.
    void refusedWithNothingAsked()
    {
        ServiceFixture f;
        const QByteArray foreign = "[Service]\nExecStart=/elsewhere/vell\n";
        QVERIFY(f.tree.write("systemd/user/" + FixtureUnit.toUtf8(), foreign));
        QCOMPARE(f.control.Install().message, f.control.unitFilePath() + " starts another program: /elsewhere/vell");
        QVERIFY(!f.control.IsInstalled() && f.control.Uninstall().ok);
        QCOMPARE(f.tree.read("systemd/user/" + FixtureUnit.toUtf8()), foreign);
        ServiceFixture blocked; // a file where the unit folder should be: mkdir fails even for root
        QVERIFY(blocked.tree.write("systemd", {}));
        QCOMPARE(blocked.control.Install().message, "Cannot create the folder " + blocked.unitFolder());
        ServiceFixture occupied; // a folder in the unit's place
        QVERIFY(occupied.tree.mkdir("systemd/user/" + FixtureUnit.toUtf8()));
        QCOMPARE(occupied.control.Install().message,
                 "Cannot write " + occupied.control.unitFilePath() + ": Is a directory");
        QVERIFY(f.runner.calls.isEmpty() && blocked.runner.calls.isEmpty() && occupied.runner.calls.isEmpty());
    }
    // The real runner, on real programs of the system, and the alert command.
    void argumentsReachTheProgramUntouched()
    {
        TestTree tree;
        const QString trap = tree.pathText("trap");
        // Through a shell the first word would create the file.
        const CommandResult result = ProcessCommandRunner().run("printf", {"[%s]\\n", "$(touch " + trap + ')', "a  b"});
        QCOMPARE(QString::fromUtf8(result.output), QStringLiteral("[$(touch %1)]\n[a  b]\n").arg(trap));
        QVERIFY(result.succeeded() && !tree.exists("trap"));
    }
    void failuresAreTold()
    {
        const CommandResult ls = ProcessCommandRunner().run("ls", {"/nonexistent/vell"});
        QVERIFY(ls.started && ls.exitCode != 0 && !ls.succeeded() && ls.diagnostic().contains("/nonexistent/vell"));
        const CommandResult missing = ProcessCommandRunner().run("vell-no-such-program", {});
        QVERIFY(!missing.started && !missing.succeeded());
        QCOMPARE(missing.diagnostic(), QStringLiteral("the program could not be started"));
        const CommandResult hung = ProcessCommandRunner(150).run("sleep", {"30"});
        QVERIFY(hung.started && hung.timedOut && !hung.succeeded());
        QCOMPARE(hung.diagnostic(), QStringLiteral("the program did not finish in time"));
    }
    void alertCommandIsStartedDetached()
    {
        RecordingCommandRunner recorder;
        QVERIFY(StartAlertCommand(recorder, {"net", "send", "Administrator"}).ok);
        const ServiceOutcome none = StartAlertCommand(recorder, {});
        QVERIFY(!none.ok && none.message == "No alert command to start");
        QCOMPARE(recorder.calls, QStringList{"net send Administrator &"}); // an empty command is never started
        ProcessCommandRunner runner(150);
        QVERIFY(StartAlertCommand(runner, {"sleep", "0.5"}).ok); // returns long before the program ends
        const ServiceOutcome missing = StartAlertCommand(runner, {"vell-no-such-program", "x"});
        QVERIFY2(!missing.ok && missing.message.startsWith("Cannot start the alert command vell-no-such-program: ")
                     && missing.message.contains("No such file"), qPrintable(missing.message));
    }
};
QTEST_APPLESS_MAIN(TestServiceControl)
#include "tst_servicecontrol.moc"
