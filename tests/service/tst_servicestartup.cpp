#include "shell/headlessdialogs.h"
#include "common/scripteddialogs.h"
#include "common/servicefixture.h"
#include "service/serviceadmin.h"
#include "service/servicestartup.h"

using namespace vell;
using Entries = QList<RecordingEventLog::Entry>;

namespace {
const QString Unit = QStringLiteral("Vell@opt-vell.service"); // of /opt/vell/vell
const QString Installed = "Vell Service installed\n(mirroring operations start automatically when the service starts)";

// Makes systemctl fail for the given verb.
RecordingCommandRunner::Answer Refusing(const QString &verb)
{
    return [verb](const QString &, const QStringList &args) {
        CommandResult result{true, false, args.contains(verb) ? 1 : 0, {}, "Access denied"};
        return result;
    };
}
} // namespace

class TestServiceStartup : public QObject
{
    Q_OBJECT
private slots:
    void decision_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("isNT");
        QTest::addColumn<QByteArray>("marker");
        QTest::addColumn<QString>("answer"); // "": no question; "headless": the headless dialogs
        QTest::addColumn<StartupAction>("action");
        QTest::addColumn<bool>("stillInstalled");
        const auto app = StartupAction::ContinueAsApplication;
        QTest::newRow("not installed") << false << true << Unit.toUtf8() << "" << app << false;
        QTest::newRow("not NT") << true << false << QByteArray() << "" << app << true;
        QTest::newRow("the service itself") << true << true << Unit.toUtf8() << "" << StartupAction::ContinueAsService << true;
        QTest::newRow("another folder's service") << true << true << QByteArray("Vell@srv.service") << "No"
                                                  << StartupAction::EndProgram << true;
        QTest::newRow("by hand, No") << true << true << QByteArray() << "No" << StartupAction::EndProgram << true;
        QTest::newRow("headless") << true << true << QByteArray() << "headless" << StartupAction::EndProgram << true;
        QTest::newRow("by hand, Yes") << true << true << QByteArray() << "Yes" << app << false;
    }
    void decision()
    {
        QFETCH(bool, installed);
        QFETCH(bool, isNT);
        QFETCH(QByteArray, marker);
        QFETCH(QString, answer);
        QFETCH(StartupAction, action);
        QFETCH(bool, stillInstalled);
        ServiceFixture f(marker);
        if (installed)
            f.install();
        f.system.IsNT = isNT;
        ScriptedDialogs scripted;
        scripted.answers = {answer == "Yes" ? MessageAnswer::Yes : MessageAnswer::No};
        HeadlessDialogs headless;
        UserDialogs &dialogs = answer == "headless" ? static_cast<UserDialogs &>(headless) : scripted;
        const StartupDecision d = ServiceStartupCheck(f.control, dialogs, f.system, 0);
        QCOMPARE(d.action, action);
        QCOMPARE(d.storeAutomatiqueOff, answer == "Yes");
        QCOMPARE(f.control.IsInstalled(), stillInstalled);
        QCOMPARE(scripted.boxes.size(), answer == "Yes" || answer == "No" ? 1 : 0);
        QCOMPARE(f.runner.calls.isEmpty(), answer != "Yes");
        QCOMPARE(f.log.entries.size(), answer == "Yes" ? 1 : 0);
    }

    void handStartedAsksInItsLanguage_data()
    {
        QTest::addColumn<int>("langue");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("logged");
        QTest::newRow("French") << 1
                                << QString::fromUtf8("Vell Service installé\nvoir 'Panneau de configuration/Services'"
                                                     "\n\nSupprimer Vell Service ?")
                                << QString::fromUtf8("Vell Service supprimé");
        QTest::newRow("Portuguese") << 2 << "Vell Service instalado\nver 'Control panel/Services'\n\nSuprimir Vell Service ?"
                                    << "Vell Service suprimido";
        QTest::newRow("other value is English")
            << 7 << "Vell Service installed\nsee 'Control panel/Services'\n\nRemove it ?" << "Vell Service removed";
    }
    void handStartedAsksInItsLanguage()
    {
        QFETCH(int, langue);
        QFETCH(QString, question);
        QFETCH(QString, logged);
        ServiceFixture f;
        f.install();
        ScriptedDialogs dialogs;
        dialogs.answers = {MessageAnswer::Yes};
        (void)ServiceStartupCheck(f.control, dialogs, f.system, langue);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes[0].text, question);
        QCOMPARE(dialogs.boxes[0].title, QStringLiteral("Vell"));
        QCOMPARE(dialogs.boxes[0].icon, MessageIcon::Question);
        QCOMPARE(dialogs.boxes[0].buttons, MessageButtons::YesNo);
        QCOMPARE(f.log.entries, (Entries{{logged, 4}}));
    }

    void failedRemovalIsReported()
    {
        ServiceFixture f;
        f.install();
        f.runner.answer = Refusing("disable");
        ScriptedDialogs dialogs;
        dialogs.answers = {MessageAnswer::Yes};
        const StartupDecision d = ServiceStartupCheck(f.control, dialogs, f.system, 0);
        QCOMPARE(d.action, StartupAction::ContinueAsApplication);
        QVERIFY(d.storeAutomatiqueOff);
        QCOMPARE(dialogs.boxes.size(), 2);
        QCOMPARE(dialogs.boxes[1].text,
                 QStringLiteral("Vell Service: systemctl --user disable Vell@opt-vell.service: Access denied"));
        QCOMPARE(dialogs.boxes[1].icon, MessageIcon::Exclamation);
        QCOMPARE(f.log.entries, (Entries{{dialogs.boxes[1].text, 2}}));
    }

    // The service dialog's actions.
    void installWritesLogsAndEnds_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QString>("lastCommand");
        QTest::newRow("automatic, headless") << 0 << false << "systemctl --user enable " + Unit;
        QTest::newRow("manual, interactive") << 1 << true << "systemctl --user disable " + Unit;
        QTest::newRow("disabled") << 2 << false << "systemctl --user mask " + Unit;
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
        QCOMPARE(r.statusText, Installed);
        QCOMPARE(f.log.entries, (Entries{{Installed, 4}}));
        QCOMPARE(r.message, Installed + QStringLiteral("\n\nConfiguration and start, see\n'Control panel/Services'"));
        QCOMPARE(r.serviceIndicator, std::optional<bool>(true));
        QVERIFY(r.endProgram && !r.beep);
    }

    void installWhenInstalledOnlySaysSo()
    {
        ServiceFixture f;
        f.install();
        const AdminResult r = AdminInstall(f.control, 0, false, 2);
        QCOMPARE(r.statusText, QString::fromUtf8("Vell Service já instalado"));
        QVERIFY(r.beep && !r.endProgram && !r.serviceIndicator.has_value());
        QVERIFY(f.runner.calls.isEmpty() && f.log.entries.isEmpty());
    }

    void failedInstallKeepsRunning()
    {
        ServiceFixture f;
        f.runner.answer = Refusing("enable");
        const AdminResult r = AdminInstall(f.control, 0, false, 1);
        QVERIFY(!f.control.IsInstalled());
        const QString why = "systemctl --user enable " + Unit + ": Access denied";
        QCOMPARE(r.statusText, QString::fromUtf8("Vell Service non installé\n") + why);
        QVERIFY(r.beep && !r.endProgram && r.message.isEmpty() && !r.serviceIndicator.has_value());
        QCOMPARE(f.log.entries, (Entries{{"Vell Service: " + why, 2}}));
    }

    void remove_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("refused"); // the systemctl verb that fails
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("beep");
        QTest::addColumn<bool>("application");
        QTest::newRow("installed") << true << "" << QString::fromUtf8("Vell Service: supprimé") << false << true;
        QTest::newRow("not installed") << false << "" << QString::fromUtf8("Vell Service non installé") << true << true;
        QTest::newRow("refused") << true << "unmask"
                                 << "Vell Service: systemctl --user unmask " + Unit + ": Access denied" << true << false;
    }
    void remove()
    {
        QFETCH(bool, installed);
        QFETCH(QString, refused);
        QFETCH(QString, status);
        QFETCH(bool, beep);
        QFETCH(bool, application);
        ServiceFixture f;
        if (installed)
            f.install();
        f.runner.answer = Refusing(refused);
        const AdminResult r = AdminRemove(f.control, 1);
        QCOMPARE(r.statusText, status);
        QCOMPARE(r.beep, beep);
        QVERIFY(!r.endProgram);
        QCOMPARE(r.serviceIndicator, application ? std::optional<bool>(false) : std::nullopt);
        QCOMPARE(f.control.IsInstalled(), !refused.isEmpty());
        QCOMPARE(f.log.entries, (installed ? Entries{{status, beep ? 2 : 4}} : Entries{}));
    }
};

QTEST_APPLESS_MAIN(TestServiceStartup)
#include "tst_servicestartup.moc"
