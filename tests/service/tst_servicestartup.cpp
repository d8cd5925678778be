#include "common/scripteddialogs.h"
#include "common/servicefixture.h"
#include "base/programidentity.h"
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
// The start type set for the next Install, and systemctl's answer to is-enabled.
struct Open { bool installed, interactive; int startType; QByteArray isEnabled; int option; QString status; };

class TestServiceStartup : public QObject
{
    Q_OBJECT
private slots:
    // Who is asked, in which language, and what each answer does.
    void startupCheck()
    {
        const QByteArray unit = FixtureUnit.toUtf8();
        const auto app = StartupAction::ContinueAsApplication, end = StartupAction::EndProgram;
        const QString english = "Vell Service installed\nsee 'Control panel/Services'\n\nRemove it ?";
        const Check rows[] = {
            {false, unit, 0, "", app, "", ""}, {true, unit, 0, "", StartupAction::ContinueAsService, "", ""},
            {true, {}, 0, "headless", end, "", ""}, {true, "Vell@x.service", 7, "No", end, english, ""},
            {true, {}, 1, "Yes", app, "Vell Service installé\nvoir 'Panneau de configuration/Services'\n\n"
             "Supprimer Vell Service ?", "4 Vell Service supprimé"},
            {true, {}, 0, "refused", app, english, "2 Vell Service: " + Ctl("disable") + ": Access denied"}};
        for (const auto &[installed, marker, langue, answer, action, question, logged] : rows) {
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
    }
    // The service dialog's Install and Remove (the dialog's tests drive the others): automatic and headless, manual and
    // interactive, an Install and a Remove that fail.
    void admin()
    {
        const QString in = "Vell Service installed\n(mirroring operations start automatically when the service starts)";
        const QString denied = ": Access denied", enable = Ctl("enable") + denied, unmask = Ctl("unmask") + denied;
        const Admin rows[] = {
            {false, 0, "", in, "4 " + in, 1}, {false, 1, "", in, "4 " + in, 1},
            {false, 0, "enable", "Vell Service not installed\n" + enable, "2 Vell Service: " + enable, -1},
            {true, -1, "unmask", "Vell Service: " + unmask, "2 Vell Service: " + unmask, -1}};
        for (const auto &[installed, option, refused, status, logged, indicator] : rows) {
            ServiceFixture f;
            if (installed)
                f.install();
            f.runner.answer = Refusing(refused);
            const AdminResult r = option < 0 ? AdminRemove(f.control, 0)
                                             : AdminInstall(f.control, option, option == 1, 0);
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
    }
    // What the dialog opens with: the unit's state as systemd tells it; not installed, the start type set for the next
    // Install, beyond 0 and 1 "disabled".
    void open()
    {
        const QString in = "Vell Service installé\n(le miroir démarre automatiquement au lancement du service)";
        const QString out = "Vell Service non installé";
        const Open rows[] = {
            {false, false, 0, {}, 0, out}, {false, false, 1, {}, 1, out}, {false, false, 7, {}, 2, out},
            {true, true, 0, "enabled\n", 0, in}, {true, false, 0, "disabled\n", 1, in},
            {true, false, 0, "masked\n", 2, in},
            {true, false, 0, {}, 1, in + "\nsystemctl --user is-enabled " + FixtureUnit + ": Denied"}}; // no answer
        for (const auto &[installed, interactive, startType, isEnabled, option, status] : rows) {
            ServiceFixture f;
            f.control.setInteractive(interactive);
            if (installed)
                f.install();
            f.control.setStartType(startType);
            f.runner.answer = [&](const QStringList &) { return CommandResult{true, false, 1, isEnabled, "Denied"}; };
            Settings settings;
            settings.ErreurDossierEventLog = installed;
            const AdminForm form = OpenAdminForm(f.control, settings, 1);
            QCOMPARE(form.statusText, status);
            QCOMPARE(form.startOption, option);
            QVERIFY(form.interactive == interactive && form.eventLog == installed);
        }
    }
    // The texts with their names in them; Portuguese borrows most from English.
    void texts()
    {
        QHash<QString, QString> fr, pt;
        for (const int langue : {1, 2})
            for (const Caption &c : ServiceDialogCaptions(langue))
                (langue == 1 ? fr : pt)[c.objectName] = c.text;
        QCOMPARE(fr.size(), 14);
        QCOMPARE(fr["lblRemove"] + pt["optType2"] + pt["cmdInstall"],
                 "Pour supprimer Vell Service, vous pouvez aussi:\n- arrêter le service avec 'Panneau de Configuration/"
                 "Services'\n- lancer à nouveau Vell (le programme, pas le service)Disabled&Instalar");
    }
};
QTEST_APPLESS_MAIN(TestServiceStartup)
#include "tst_servicestartup.moc"
