#include "service/alerts.h"
#include "service/commandrunner.h"
#include "common/recorders.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vell;

// The real runner, on real programs of the system, and the alert command.
class TestCommandRunner : public QObject
{
    Q_OBJECT
private slots:
    void argumentsAndEnvironmentReachTheProgramUntouched()
    {
        QTemporaryDir dir;
        QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
        const QString trap = dir.path() + QStringLiteral("/trap");
        // Through a shell the first word would create the file.
        const QStringList words{"$(touch " + trap + ')', "a  b", "'q\""};
        const CommandResult result = ProcessCommandRunner().run("printf", QStringList{"[%s]\\n"} + words);
        QVERIFY(result.succeeded());
        QCOMPARE(QString::fromUtf8(result.output), QStringLiteral("[$(touch %1)]\n[a  b]\n['q\"]\n").arg(trap));
        QVERIFY(!QFile::exists(trap));
        QProcessEnvironment env;
        env.insert("PATH", qEnvironmentVariable("PATH"));
        env.insert("VELL_PROBE", "42");
        QCOMPARE(ProcessCommandRunner(5000, env).run("printenv", {"VELL_PROBE"}).output, QByteArray("42\n"));
    }

    void failuresAreTold()
    {
        const CommandResult failed = ProcessCommandRunner().run("ls", {"/nonexistent/vell"});
        QVERIFY(failed.started && failed.exitCode != 0 && !failed.succeeded());
        QVERIFY(failed.diagnostic().contains("/nonexistent/vell"));
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
        QVERIFY(StartAlertCommand(recorder, {"net", "send", "Administrator", "Warning from Vell"}).ok);
        QCOMPARE(recorder.calls.size(), 1);
        QCOMPARE(recorder.calls[0].program, QStringLiteral("net"));
        QCOMPARE(recorder.calls[0].arguments, (QStringList{"send", "Administrator", "Warning from Vell"}));
        QVERIFY(recorder.calls[0].detached);
        const ServiceOutcome none = StartAlertCommand(recorder, {});
        QVERIFY(!none.ok && none.message == "No alert command to start");
        QCOMPARE(recorder.calls.size(), 1); // an empty command is never started
        ProcessCommandRunner runner(150);
        QVERIFY(StartAlertCommand(runner, {"sleep", "0.5"}).ok); // returns long before the program ends
        const ServiceOutcome missing = StartAlertCommand(runner, {"vell-no-such-program", "x"});
        QVERIFY(!missing.ok);
        QVERIFY2(missing.message.startsWith("Cannot start the alert command vell-no-such-program: ")
                     && missing.message.contains("No such file"),
                 qPrintable(missing.message));
    }
};

QTEST_APPLESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
