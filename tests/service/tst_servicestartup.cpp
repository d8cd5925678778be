#include "shell/headlessdialogs.h"
#include "common/scripteddialogs.h"
#include "common/servicefixture.h"
#include "service/serviceadmin.h"
#include "service/servicestartup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vell;

class TestServiceStartup : public QObject
{
    Q_OBJECT
private slots:
    void notInstalledRunsAsApplication()
    {
        ServiceFixture f(true);
        ScriptedDialogs dialogs;
        const StartupDecision d = ServiceStartupCheck(f.control, dialogs, f.system, 0);
        QCOMPARE(d.action, StartupAction::ContinueAsApplication);
        QVERIFY(!d.storeAutomatiqueOff);
        QVERIFY(dialogs.boxes.isEmpty());
    }

    void notNTIgnoresTheService()
    {
        ServiceFixture f;
        f.install();
        f.system.IsNT = false;
        ScriptedDialogs dialogs;
        QCOMPARE(ServiceStartupCheck(f.control, dialogs, f.system, 0).action, StartupAction::ContinueAsApplication);
        QVERIFY(dialogs.boxes.isEmpty());
        QVERIFY(f.control.IsInstalled());
    }

    void theServiceItselfRunsAsService()
    {
        ServiceFixture f(true);
        f.install();
        ScriptedDialogs dialogs;
        const StartupDecision d = ServiceStartupCheck(f.control, dialogs, f.system, 0);
        QCOMPARE(d.action, StartupAction::ContinueAsService);
        QVERIFY(!d.storeAutomatiqueOff);
        QVERIFY(dialogs.boxes.isEmpty());
        QVERIFY(f.runner.calls.isEmpty());
    }

    void handStartedAsksInItsLanguage_data()
    {
        QTest::addColumn<int>("langue");
        QTest::addColumn<QString>("question");
        QTest::newRow("French") << 1
                                << QString::fromUtf8("Vell Service installé\nvoir 'Panneau de configuration/Services'"
                                                     "\n\nSupprimer Vell Service ?");
        QTest::newRow("Portuguese") << 2
                                    << "Vell Service instalado\nver 'Control panel/Services'\n\nSuprimir Vell Service ?";
        QTest::newRow("English") << 0 << "Vell Service installed\nsee 'Control panel/Services'\n\nRemove it ?";
        QTest::newRow("other value is English") << 7
                                                << "Vell Service installed\nsee 'Control panel/Services'\n\nRemove it ?";
    }
    void handStartedAsksInItsLanguage()
    {
        QFETCH(int, langue);
        QFETCH(QString, question);
        ServiceFixture f;
        f.install();
        ScriptedDialogs dialogs;
        dialogs.answers = {MessageAnswer::No};
        (void)ServiceStartupCheck(f.control, dialogs, f.system, langue);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes[0].text, question);
        QCOMPARE(dialogs.boxes[0].title, QStringLiteral("Vell"));
        QCOMPARE(dialogs.boxes[0].icon, MessageIcon::Question);
        QCOMPARE(dialogs.boxes[0].buttons, MessageButtons::YesNo);
    }

    void answeringNoEndsAndKeepsTheService()
    {
        ServiceFixture f;
        f.install();
        ScriptedDialogs dialogs;
        dialogs.answers = {MessageAnswer::No};
        const StartupDecision d = ServiceStartupCheck(f.control, dialogs, f.system, 0);
        QCOMPARE(d.action, StartupAction::EndProgram);
        QVERIFY(!d.storeAutomatiqueOff);
        QVERIFY(f.control.IsInstalled());
        QVERIFY(f.runner.calls.isEmpty());
        QVERIFY(f.log.entries.isEmpty());
    }

    void headlessAnswersNo()
    {
        ServiceFixture f;
        f.install();
        HeadlessDialogs dialogs;
        QCOMPARE(ServiceStartupCheck(f.control, dialogs, f.system, 0).action, StartupAction::EndProgram);
        QVERIFY(f.control.IsInstalled());
    }

    void answeringYesRemovesTheService_data()
    {
        QTest::addColumn<int>("langue");
        QTest::addColumn<QString>("logged");
        QTest::newRow("French") << 1 << QString::fromUtf8("Vell Service supprimé");
        QTest::newRow("Portuguese") << 2 << "Vell Service suprimido";
        QTest::newRow("English") << 3 << "Vell Service removed";
    }
    void answeringYesRemovesTheService()
    {
        QFETCH(int, langue);
        QFETCH(QString, logged);
        ServiceFixture f;
        f.install();
        ScriptedDialogs dialogs;
        dialogs.answers = {MessageAnswer::Yes};
        const StartupDecision d = ServiceStartupCheck(f.control, dialogs, f.system, langue);
        QCOMPARE(d.action, StartupAction::ContinueAsApplication);
        QVERIFY(d.storeAutomatiqueOff);
        QVERIFY(!f.control.IsInstalled());
        QCOMPARE(f.runner.commandLines(),
                 (QStringList{"systemctl --user disable Vell.service", "systemctl --user unmask Vell.service",
                              "systemctl --user daemon-reload"}));
        QCOMPARE(f.log.entries, (QList<RecordingEventLog::Entry>{{logged, 4}}));
        QCOMPARE(dialogs.boxes.size(), 1); // the question only
    }

    void failedRemovalIsReported()
    {
        ServiceFixture f;
        // A non-empty folder in the unit's place cannot be removed as a file.
        QVERIFY(QDir().mkpath(f.control.unitFilePath() + QStringLiteral("/x")));
        ScriptedDialogs dialogs;
        dialogs.answers = {MessageAnswer::Yes};
        const StartupDecision d = ServiceStartupCheck(f.control, dialogs, f.system, 0);
        QCOMPARE(d.action, StartupAction::ContinueAsApplication);
        QVERIFY(d.storeAutomatiqueOff);
        QCOMPARE(dialogs.boxes.size(), 2);
        QCOMPARE(dialogs.boxes[1].icon, MessageIcon::Exclamation);
        QCOMPARE(f.log.entries.size(), 1);
        QCOMPARE(f.log.entries[0].type, 2);
        QCOMPARE(f.log.entries[0].text, dialogs.boxes[1].text);
    }

    // The service dialog's actions.
    void installWritesLogsAndEnds_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QString>("lastCommand");
        QTest::newRow("automatic, headless") << 0 << false << "systemctl --user enable Vell.service";
        QTest::newRow("manual, interactive") << 1 << true << "systemctl --user disable Vell.service";
        QTest::newRow("disabled") << 2 << false << "systemctl --user mask Vell.service";
    }
    void installWritesLogsAndEnds()
    {
        QFETCH(int, option);
        QFETCH(bool, interactive);
        QFETCH(QString, lastCommand);
        ServiceFixture f;
        const AdminResult r = AdminInstall(f.control, option, interactive, 0);
        QVERIFY(f.control.IsInstalled());
        QCOMPARE(f.control.Interactive(), interactive);
        QCOMPARE(f.runner.commandLines().last(), lastCommand);
        const QString installed
            = QStringLiteral("Vell Service installed\n(mirroring operations start automatically when the service starts)");
        QCOMPARE(r.statusText, installed);
        QCOMPARE(f.log.entries, (QList<RecordingEventLog::Entry>{{installed, 4}}));
        QCOMPARE(r.message, installed + QStringLiteral("\n\nConfiguration and start, see\n'Control panel/Services'"));
        QCOMPARE(r.serviceIndicator, std::optional<bool>(true));
        QVERIFY(r.endProgram);
        QVERIFY(!r.beep);
    }

    void installWhenInstalledOnlySaysSo()
    {
        ServiceFixture f;
        f.install();
        const AdminResult r = AdminInstall(f.control, 0, false, 2);
        QCOMPARE(r.statusText, QString::fromUtf8("Vell Service já instalado"));
        QVERIFY(r.beep);
        QVERIFY(!r.endProgram);
        QVERIFY(!r.serviceIndicator.has_value());
        QVERIFY(f.runner.calls.isEmpty());
        QVERIFY(f.log.entries.isEmpty());
    }

    void failedInstallKeepsRunning()
    {
        ServiceFixture f;
        f.runner.answer = [](const QString &, const QStringList &args) {
            CommandResult result;
            result.started = true;
            result.exitCode = args.contains(QStringLiteral("enable")) ? 1 : 0;
            result.errors = "Access denied";
            return result;
        };
        const AdminResult r = AdminInstall(f.control, 0, false, 1);
        QVERIFY(!f.control.IsInstalled());
        QVERIFY(r.statusText.startsWith(QString::fromUtf8("Vell Service non installé\n")));
        QVERIFY(r.statusText.contains(QStringLiteral("Access denied")));
        QVERIFY(r.beep);
        QVERIFY(!r.endProgram);
        QVERIFY(r.message.isEmpty());
        QCOMPARE(f.log.entries.size(), 1);
        QCOMPARE(f.log.entries[0].type, 2);
    }

    void removeWhenInstalled()
    {
        ServiceFixture f;
        f.install();
        const AdminResult r = AdminRemove(f.control, 1);
        QVERIFY(!f.control.IsInstalled());
        QCOMPARE(r.statusText, QString::fromUtf8("Vell Service: supprimé"));
        QCOMPARE(f.log.entries, (QList<RecordingEventLog::Entry>{{r.statusText, 4}}));
        QCOMPARE(r.serviceIndicator, std::optional<bool>(false));
        QVERIFY(!r.beep);
        QVERIFY(!r.endProgram);
    }

    void removeWhenNotInstalled()
    {
        ServiceFixture f;
        const AdminResult r = AdminRemove(f.control, 2);
        QCOMPARE(r.statusText, QString::fromUtf8("Vell Service naõ instalado"));
        QVERIFY(r.beep);
        QCOMPARE(r.serviceIndicator, std::optional<bool>(false));
        QVERIFY(f.runner.calls.isEmpty());
        QVERIFY(f.log.entries.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestServiceStartup)
#include "tst_servicestartup.moc"
