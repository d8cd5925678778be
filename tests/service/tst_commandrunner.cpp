#include "service/commandrunner.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vell;

// The real runner, on real programs of the system.
class TestCommandRunner : public QObject
{
    Q_OBJECT
private slots:
    void argumentsReachTheProgramUntouched()
    {
        QTemporaryDir dir;
        QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
        const QString trap = dir.path() + QStringLiteral("/trap");
        ProcessCommandRunner runner;
        // Through a shell the first word would create the file.
        const QStringList words{QStringLiteral("$(touch ") + trap + QLatin1Char(')'), QStringLiteral("a  b"),
                                QStringLiteral("'q\"")};
        const CommandResult result = runner.run(QStringLiteral("printf"), QStringList{QStringLiteral("[%s]\\n")} + words);
        QVERIFY(result.succeeded());
        QCOMPARE(QString::fromUtf8(result.output),
                 QStringLiteral("[$(touch %1)]\n[a  b]\n['q\"]\n").arg(trap));
        QVERIFY(!QFile::exists(trap));
    }

    void exitCodeAndErrorsAreKept()
    {
        ProcessCommandRunner runner;
        const CommandResult result = runner.run(QStringLiteral("ls"), {QStringLiteral("/nonexistent/vell")});
        QVERIFY(result.started);
        QVERIFY(!result.succeeded());
        QVERIFY(result.exitCode != 0);
        QVERIFY(!result.errors.isEmpty());
        QVERIFY(result.diagnostic().contains(QStringLiteral("/nonexistent/vell")));
    }

    void environmentIsTheRunners()
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("VELL_PROBE"), QStringLiteral("42"));
        ProcessCommandRunner runner(5000, env);
        const CommandResult result = runner.run(QStringLiteral("printenv"), {QStringLiteral("VELL_PROBE")});
        QCOMPARE(result.output, QByteArray("42\n"));
    }

    void missingProgramIsNotStarted()
    {
        ProcessCommandRunner runner;
        const CommandResult result = runner.run(QStringLiteral("vell-no-such-program"), {});
        QVERIFY(!result.started);
        QVERIFY(!result.succeeded());
        QVERIFY(!runner.startDetached(QStringLiteral("vell-no-such-program"), {}));
    }

    void hungProgramIsKilled()
    {
        ProcessCommandRunner runner(150);
        const CommandResult result = runner.run(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(result.started);
        QVERIFY(result.timedOut);
        QVERIFY(!result.succeeded());
    }

    void detachedStartReturnsAtOnce()
    {
        ProcessCommandRunner runner(150);
        // Returns long before the program would end.
        QVERIFY(runner.startDetached(QStringLiteral("sleep"), {QStringLiteral("0.5")}));
    }
};

QTEST_APPLESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
