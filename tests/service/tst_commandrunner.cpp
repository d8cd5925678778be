#include "common/recorders.h"
#include "common/testtree.h"
#include "service/alerts.h"
#include <QTest>

using namespace vell;

// The real runner, on real programs of the system, and the alert command.
class TestCommandRunner : public QObject
{
    Q_OBJECT
private slots:
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
QTEST_APPLESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
