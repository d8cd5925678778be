#include "common/scripteddialogs.h"
#include "common/servicefixture.h"
#include "platform/systeminfo.h"
#include "service/serviceadmin.h"
#include "service/servicestartup.h"
#include "shell/headlessdialogs.h"

using namespace vell;

// The answer: "" not asked, "headless" the headless dialogs, "refused" Yes but the removal fails.
struct Check { bool installed; QByteArray marker; int langue; QString answer; StartupAction action;
               QString question, logged; };
// Installed before; Install's start type, interactive when 1, or -1 for Remove; the systemctl verb that fails; the
// status and entry logged; the indicator, -1 when unchanged.
struct Admin { bool installed; int option; QString refused, status, logged; int indicator; };

class TestServiceStartup : public QObject
{
    Q_OBJECT
private slots:
    // Who is asked, in which language, and what each answer does.
    void startupCheck_data()
    {
        QTest::addColumn<Check>("check");
        const QByteArray unit = FixtureUnit.toUtf8();
        const auto app = StartupAction::ContinueAsApplication, end = StartupAction::EndProgram;
        const QString english = "Vell Service installed\nsee 'Control panel/Services'\n\nRemove it ?";
        QTest::newRow("not installed") << Check{false, unit, 0, "", app, "", ""};
        QTest::newRow("the service") << Check{true, unit, 0, "", StartupAction::ContinueAsService, "", ""};
        QTest::newRow("headless") << Check{true, {}, 0, "headless", end, "", ""};
        QTest::newRow("another folder's service, No") << Check{true, "Vell@x.service", 7, "No", end, english, ""};
        QTest::newRow("French, Yes") << Check{true, {}, 1, "Yes", app, "Vell Service installé\nvoir 'Panneau de "
                                              "configuration/Services'\n\nSupprimer Vell Service ?",
                                              "4 Vell Service supprimé"};
        QTest::newRow("removal fails") << Check{true, {}, 0, "refused", app, english,
                                                "2 Vell Service: " + Ctl("disable") + ": Access denied"};
    }
    void startupCheck()
    {
        QFETCH(Check, check);
        auto &[installed, marker, langue, answer, action, question, logged] = check;
        ServiceFixture f(marker);
        if (installed)
            f.install();
        if (answer == "refused")
            f.runner.answer = Refusing("disable");
        ScriptedDialogs scripted;
        scripted.answers = {answer == "No" ? MessageAnswer::No : MessageAnswer::Yes};
        HeadlessDialogs headless;
        UserDialogs &dialogs = answer == "headless" ? static_cast<UserDialogs &>(headless) : scripted;
        const StartupDecision d = ServiceStartupCheck(f.control, dialogs, QuerySystemInfo(), langue);
        QVERIFY(d.action == action && d.storeAutomatiqueOff == (answer == "Yes" || answer == "refused"));
        QCOMPARE(f.control.IsInstalled(), installed && answer != "Yes");
        QCOMPARE(scripted.boxes.size(), question.isEmpty() ? 0 : answer == "refused" ? 2 : 1);
        if (!question.isEmpty()) // the question as the user sees it
            QVERIFY2(scripted.boxes[0].text == question && scripted.boxes[0].title == "Vell"
                         && scripted.boxes[0].icon == MessageIcon::Question
                         && scripted.boxes[0].buttons == MessageButtons::YesNo, qPrintable(scripted.boxes[0].text));
        if (answer == "refused") // the failure is shown as well as logged
            QVERIFY(scripted.boxes[1].text == logged.mid(2) && scripted.boxes[1].icon == MessageIcon::Exclamation);
        QCOMPARE(f.log.entries, logged.isEmpty() ? QStringList() : QStringList{logged});
    }
    // The service dialog's Install and Remove (the dialog's tests drive the others).
    void admin_data()
    {
        QTest::addColumn<Admin>("admin");
        const QString in = "Vell Service installed\n(mirroring operations start automatically when the service starts)";
        const QString denied = ": Access denied", enable = Ctl("enable") + denied, unmask = Ctl("unmask") + denied;
        QTest::newRow("automatic, headless") << Admin{false, 0, "", in, "4 " + in, 1};
        QTest::newRow("manual, interactive") << Admin{false, 1, "", in, "4 " + in, 1};
        QTest::newRow("install fails") << Admin{false, 0, "enable", "Vell Service not installed\n" + enable,
                                                "2 Vell Service: " + enable, -1};
        QTest::newRow("not removed") << Admin{true, -1, "unmask", "Vell Service: " + unmask,
                                              "2 Vell Service: " + unmask, -1};
    }
    void admin()
    {
        QFETCH(Admin, admin);
        auto &[installed, option, refused, status, logged, indicator] = admin;
        ServiceFixture f;
        if (installed)
            f.install();
        f.runner.answer = Refusing(refused);
        const AdminResult r = option < 0 ? AdminRemove(f.control, 0) : AdminInstall(f.control, option, option == 1, 0);
        QCOMPARE(r.statusText, status);
        QCOMPARE(f.log.entries, logged.isEmpty() ? QStringList() : QStringList{logged});
        QCOMPARE(r.serviceIndicator, indicator < 0 ? std::nullopt : std::optional<bool>(indicator == 1));
        QVERIFY(r.beep == !logged.startsWith('4') && r.endProgram == (indicator == 1));
        const QString message = status + "\n\nConfiguration and start, see\n'Control panel/Services'";
        QCOMPARE(r.message, indicator == 1 ? message : QString());
        if (indicator == 1) // installed as asked
            QVERIFY(f.control.Interactive() == (option == 1)
                    && f.runner.calls.last() == Ctl(option ? "disable" : "enable"));
    }
};
QTEST_APPLESS_MAIN(TestServiceStartup)
#include "tst_servicestartup.moc"
