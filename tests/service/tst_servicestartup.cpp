#include "shell/headlessdialogs.h"
#include "common/scripteddialogs.h"
#include "common/servicefixture.h"
#include "service/serviceadmin.h"
#include "service/servicestartup.h"

using namespace vell;
using Entries = QList<RecordingEventLog::Entry>;

class TestServiceStartup : public QObject
{
    Q_OBJECT
private slots:
    // Who is asked, in which language, and what each answer does.
    void startupCheck_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("isNT");
        QTest::addColumn<QByteArray>("marker");
        QTest::addColumn<int>("langue");
        QTest::addColumn<QString>("answer"); // "": no question; "headless": the headless dialogs
        QTest::addColumn<StartupAction>("action");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("logged");
        const QByteArray unit = FixtureUnit.toUtf8();
        const auto app = StartupAction::ContinueAsApplication, end = StartupAction::EndProgram;
        const QString english = "Vell Service installed\nsee 'Control panel/Services'\n\nRemove it ?";
        QTest::newRow("not installed") << false << true << unit << 0 << "" << app << "" << "";
        QTest::newRow("not NT") << true << false << QByteArray() << 0 << "" << app << "" << "";
        QTest::newRow("the service") << true << true << unit << 0 << "" << StartupAction::ContinueAsService << "" << "";
        QTest::newRow("headless") << true << true << QByteArray() << 0 << "headless" << end << "" << "";
        QTest::newRow("another folder's service, No") << true << true << QByteArray("Vell@x.service") << 7 << "No"
                                                      << end << english << "";
        QTest::newRow("French, Yes") << true << true << QByteArray() << 1 << "Yes" << app
                                     << QString::fromUtf8("Vell Service installé\nvoir 'Panneau de configuration/"
                                                          "Services'\n\nSupprimer Vell Service ?")
                                     << QString::fromUtf8("Vell Service supprimé");
        QTest::newRow("Portuguese, Yes")
            << true << true << QByteArray() << 2 << "Yes" << app
            << "Vell Service instalado\nver 'Control panel/Services'\n\nSuprimir Vell Service ?" << "Vell Service suprimido";
    }
    void startupCheck()
    {
        QFETCH(bool, installed);
        QFETCH(bool, isNT);
        QFETCH(QByteArray, marker);
        QFETCH(int, langue);
        QFETCH(QString, answer);
        QFETCH(StartupAction, action);
        QFETCH(QString, question);
        QFETCH(QString, logged);
        ServiceFixture f(marker);
        if (installed)
            f.install();
        f.system.IsNT = isNT;
        ScriptedDialogs scripted;
        scripted.answers = {answer == "Yes" ? MessageAnswer::Yes : MessageAnswer::No};
        HeadlessDialogs headless;
        UserDialogs &dialogs = answer == "headless" ? static_cast<UserDialogs &>(headless) : scripted;
        const StartupDecision d = ServiceStartupCheck(f.control, dialogs, f.system, langue);
        QCOMPARE(d.action, action);
        QCOMPARE(d.storeAutomatiqueOff, answer == "Yes");
        QCOMPARE(f.control.IsInstalled(), installed && answer != "Yes");
        QCOMPARE(scripted.boxes.size(), question.isEmpty() ? 0 : 1);
        if (!question.isEmpty()) {
            QCOMPARE(scripted.boxes[0].text, question);
            QVERIFY(scripted.boxes[0].title == "Vell" && scripted.boxes[0].icon == MessageIcon::Question
                    && scripted.boxes[0].buttons == MessageButtons::YesNo);
        }
        QCOMPARE(f.log.entries, (logged.isEmpty() ? Entries() : Entries{{logged, 4}}));
        QCOMPARE(f.runner.calls.isEmpty(), logged.isEmpty());
    }

    void failedRemovalAtStartupIsReported()
    {
        ServiceFixture f;
        f.install();
        f.runner.answer = Refusing("disable");
        ScriptedDialogs dialogs;
        dialogs.answers = {MessageAnswer::Yes};
        const StartupDecision d = ServiceStartupCheck(f.control, dialogs, f.system, 0);
        QVERIFY(d.action == StartupAction::ContinueAsApplication && d.storeAutomatiqueOff);
        QCOMPARE(dialogs.boxes.size(), 2);
        QCOMPARE(dialogs.boxes[1].text, "Vell Service: " + Ctl("disable") + ": Access denied");
        QCOMPARE(dialogs.boxes[1].icon, MessageIcon::Exclamation);
        QCOMPARE(f.log.entries, (Entries{{dialogs.boxes[1].text, 2}}));
    }

    // The service dialog's Install.
    void install_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QString>("lastCommand");
        QTest::newRow("automatic, headless") << 0 << false << Ctl("enable");
        QTest::newRow("manual, interactive") << 1 << true << Ctl("disable");
        QTest::newRow("disabled") << 2 << false << Ctl("mask");
    }
    void install()
    {
        QFETCH(int, option);
        QFETCH(bool, interactive);
        QFETCH(QString, lastCommand);
        ServiceFixture f;
        const AdminResult r = AdminInstall(f.control, option, interactive, 0);
        QVERIFY(f.control.IsInstalled() && f.control.Interactive() == interactive);
        QCOMPARE(f.runner.commandLines().last(), lastCommand);
        const QString installed = "Vell Service installed\n(mirroring operations start automatically when the "
                                  "service starts)";
        QCOMPARE(r.statusText, installed);
        QCOMPARE(f.log.entries, (Entries{{installed, 4}}));
        QCOMPARE(r.message, installed + "\n\nConfiguration and start, see\n'Control panel/Services'");
        QVERIFY(r.serviceIndicator == true && r.endProgram && !r.beep);

        const AdminResult again = AdminInstall(f.control, 0, false, 2);
        QCOMPARE(again.statusText, QString::fromUtf8("Vell Service já instalado"));
        QVERIFY(again.beep && !again.endProgram && !again.serviceIndicator && f.log.entries.size() == 1);
    }

    void failedInstallKeepsRunning()
    {
        ServiceFixture f;
        f.runner.answer = Refusing("enable");
        const AdminResult r = AdminInstall(f.control, 0, false, 1);
        QVERIFY(!f.control.IsInstalled());
        QCOMPARE(r.statusText, QString::fromUtf8("Vell Service non installé\n") + Ctl("enable") + ": Access denied");
        QVERIFY(r.beep && !r.endProgram && r.message.isEmpty() && !r.serviceIndicator);
        QCOMPARE(f.log.entries, (Entries{{"Vell Service: " + Ctl("enable") + ": Access denied", 2}}));
    }

    // The service dialog's Remove.
    void remove_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("refused"); // the systemctl verb that fails
        QTest::addColumn<QString>("status");
        QTest::newRow("installed") << true << "" << QString::fromUtf8("Vell Service: supprimé");
        QTest::newRow("not installed") << false << "" << QString::fromUtf8("Vell Service non installé");
        QTest::newRow("refused") << true << "unmask" << "Vell Service: " + Ctl("unmask") + ": Access denied";
    }
    void remove()
    {
        QFETCH(bool, installed);
        QFETCH(QString, refused);
        QFETCH(QString, status);
        ServiceFixture f;
        if (installed)
            f.install();
        f.runner.answer = Refusing(refused);
        const AdminResult r = AdminRemove(f.control, 1);
        QCOMPARE(r.statusText, status);
        QCOMPARE(r.beep, !installed || !refused.isEmpty());
        QVERIFY(!r.endProgram);
        QCOMPARE(r.serviceIndicator, refused.isEmpty() ? std::optional<bool>(false) : std::nullopt);
        QCOMPARE(f.control.IsInstalled(), !refused.isEmpty());
        QCOMPARE(f.log.entries, (installed ? Entries{{status, r.beep ? 2 : 4}} : Entries{}));
    }
};

QTEST_APPLESS_MAIN(TestServiceStartup)
#include "tst_servicestartup.moc"
