// The folder-error alerts dialog on a real settings file, the alerts of a try recorded instead of raised; and its logic
// on its own.
#include "common/controls.h"
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "base/programidentity.h"
#include "engine/enginehost.h"
#include "service/alertsettings.h"
#include "service/ui/alertsdialog.h"
#include <QCheckBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <unistd.h>

using namespace vell;

namespace {
struct AlertRecorder final : EngineHost
{
    void yieldToInterface(int) override {}
    void showNotice(const QString &text) override { events << "notice " + text; }
    void beep() override { events << "beep"; }
    void runAlertCommand(const QStringList &argv) override { events << "command " + argv.join('|'); }
    void logEvent(const QString &text, int) override { events << "event " + text; }
    QStringList events;
};

struct Dialog
{
    TestTree tree;
    const ProgramFiles files{tree.rootText()};
    Settings settings;
    AlertRecorder host;
    ScriptedDialogs dialogs;
    std::unique_ptr<AlertsDialog> dialog;
    void open(bool nt = true)
    {
        SystemInfo system;
        system.IsNT = nt;
        dialog = std::make_unique<AlertsDialog>(settings, files, system, host, dialogs);
    }
    template <typename T> T *find(const char *name) const { return child<T>(dialog.get(), name); }
    void click(const char *name) const { find<QAbstractButton>(name)->click(); }
    // "1" or "0" per control: checked boxes, or enabled controls.
    [[nodiscard]] QString state(bool checked, std::initializer_list<const char *> names) const
    {
        QString state;
        for (const char *name : names)
            state += (checked ? find<QCheckBox>(name)->isChecked() : find<QWidget>(name)->isEnabled()) ? '1' : '0';
        return state;
    }
    // The boxes, then the text: the state on screen.
    [[nodiscard]] QString shown() const
    {
        return state(true, {"chkDossierErr", "chkDossierErrSon", "chkDossierErrNetSend"}) + ' '
            + find<QLineEdit>("txtNetSend")->text();
    }
    [[nodiscard]] QString enabled() const
    {
        return state(false, {"chkDossierErrNetSend", "txtNetSend", "lblNetSend", "cmdEssayer"});
    }
    [[nodiscard]] QString box() const
    {
        return dialogs.boxes.isEmpty() ? QString() : dialogs.boxes[0].title + ' ' + dialogs.boxes[0].text;
    }
};

// The boxes clicked, the text, the PATH ("bin": one with a net program), the alerts raised and the box shown.
struct Try { QString boxes, text, path; QStringList events; QString box; };
// Stored: all three boxes on, text "bob hi"; toggled: enabled once the net-send box is clicked; file: Vell.ini once
// closed by the button ("/" a folder in its place, so that OK fails).
struct Opening { bool nt, stored; QString shown, enabled, toggled, button; QByteArray file; };
// The boxes ticked (1 notice, 2 beep, 4 net send) and the net-send command, "|"-joined.
struct TryRule { bool nt; int boxes; QString message, argv; bool lacks; };
} // namespace

class TestAlertsDialog : public QObject
{
    Q_OBJECT
private slots:
    // Opening: the stored choices; net send exists on NT only. The net-send controls follow their box, and Try needs
    // any alert. OK writes the four keys and the settings, the empty text included, and the menu's mark follows; Cancel
    // writes nothing; a write that fails is shown, and the dialog stays open unchanged.
    void opening_data()
    {
        QTest::addColumn<Opening>("opening");
        QTest::newRow("no key, OK") << Opening{true, false, "000 Administrator \"Warning from Vell: unknown folder\"",
                                               "1000", "1111", "cmdOK", "[Configuration]\r\nErreurDossier=0\r\n"
                                               "ErreurDossierSon=1\r\nErreurDossierNetSend=1\r\nMessageNetSend=\r\n"};
        QTest::newRow("all on, Cancel") << Opening{true, true, "111 bob hi", "1111", "1001", "cmdAnnuler", {}};
        QTest::newRow("not NT, OK fails") << Opening{false, true, "110 bob hi", "0001", "0001", "cmdOK", "/"};
    }
    void opening()
    {
        QFETCH(Opening, opening);
        auto &[nt, stored, shown, enabled, toggled, button, file] = opening;
        Dialog d;
        d.settings.ErreurDossier = d.settings.ErreurDossierSon = d.settings.ErreurDossierNetSend = stored;
        d.settings.MessageNetSend = stored ? "bob hi" : d.settings.MessageNetSend;
        const bool fails = file == "/", written = !file.isEmpty() && !fails;
        QVERIFY(!fails || d.tree.mkdir("Vell.ini"));
        d.open(nt);
        QCOMPARE(d.dialog->windowTitle(), "Warning on unknown folder");
        QCOMPARE(d.shown(), shown);
        QCOMPARE(d.enabled(), enabled);
        d.click("chkDossierErrNetSend");
        QCOMPARE(d.enabled(), toggled);
        d.click("chkDossierErrSon");
        d.find<QLineEdit>("txtNetSend")->setText("");
        const QString before = d.shown();
        d.click(qPrintable(button));
        QCOMPARE(d.dialog->result(), written ? QDialog::Accepted : fails ? 0 : QDialog::Rejected);
        QCOMPARE(d.tree.read("Vell.ini"), written ? file : QByteArray());
        QVERIFY(d.settings.MessageNetSend.isEmpty() == written && d.settings.ErreurDossierSon == (stored || written));
        QCOMPARE(AlertMenuChecked(d.settings), stored || written);
        QCOMPARE(d.box(), fails ? "Vell " + d.files.settingsFile() + ": Is a directory" : QString());
        QVERIFY(!fails || (d.dialogs.boxes[0].icon == MessageIcon::Critical && d.shown() == before));
        QVERIFY(d.host.events.isEmpty());
    }
    // Try raises each chosen alert with the text as it stands, or says why it cannot send; nothing is written.
    void tryAlerts_data()
    {
        QTest::addColumn<Try>("tried");
        QTest::newRow("all") << Try{"chkDossierErr chkDossierErrSon chkDossierErrNetSend", "bob \"a b\"", "bin",
                                    {"notice", "beep", "command net|send|bob|a b"}, ""};
        QTest::newRow("empty text") << Try{"chkDossierErrSon chkDossierErrNetSend", "", "bin", {"beep"},
                                           "Vell No message to send"};
        QTest::newRow("no net program") << Try{"chkDossierErrNetSend", "bob hi", "", {},
                                               "Vell Program 'net' not found (PATH)"};
    }
    void tryAlerts()
    {
        QFETCH(Try, tried);
        auto &[boxes, text, path, events, box] = tried;
        Dialog d;
        d.settings.ErreurDossierEventLog = true; // never raised by a try
        QVERIFY(d.tree.write("bin/net", "#!/bin/sh\n") && d.tree.setMode("bin/net", 0755));
        d.open();
        for (const QString &name : boxes.split(' '))
            d.click(qPrintable(name));
        d.find<QLineEdit>("txtNetSend")->setText(text);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", d.tree.path(path.toUtf8()));
        d.click("cmdEssayer");
        qputenv("PATH", oldPath);
        QCOMPARE(d.host.events.replaceInStrings(QRegularExpression("^notice .* - Test: Warning on unknown folder$"),
                                                "notice"), events);
        QCOMPARE(d.box(), box);
        QVERIFY(d.dialogs.boxes.isEmpty() || d.dialogs.boxes[0].icon == MessageIcon::Exclamation);
        QVERIFY(!d.tree.exists("Vell.ini") && !d.settings.ErreurDossier && d.dialog->result() == 0);
    }
    // OK's one write: the four keys in their order, every other line kept; an unreadable file changes neither the file
    // nor the settings.
    void store()
    {
        TestTree tree;
        const ProgramFiles files{tree.rootText()};
        Settings settings;
        QVERIFY(tree.mkdir("Vell.ini"));
        QVERIFY(StoreAlertSettings(files, settings, {true, false, true, "x"}) < 0);
        QVERIFY(tree.isDir("Vell.ini") && !settings.ErreurDossier && !settings.ErreurDossierNetSend);
        QCOMPARE(settings.MessageNetSend, Settings::DefaultMessageNetSend());
        QVERIFY(::rmdir(tree.path("Vell.ini")) == 0);
        QVERIFY(tree.write("Vell.ini", "[Configuration]\r\nLangue=1\r\nErreurDossier=0\r\n[Logs]\r\nLogs=1\r\n"));
        QVERIFY(StoreAlertSettings(files, settings, {true, false, true, "bob \"hi\""}) >= 0);
        QCOMPARE(tree.read("Vell.ini"), "[Configuration]\r\nLangue=1\r\nErreurDossier=1\r\nErreurDossierSon=0\r\n"
                                        "ErreurDossierNetSend=1\r\nMessageNetSend=bob \"hi\"\r\n[Logs]\r\nLogs=1\r\n");
        QVERIFY(settings.ErreurDossier && !settings.ErreurDossierSon && settings.ErreurDossierNetSend);
        QCOMPARE(settings.MessageNetSend, "bob \"hi\"");
    }
    // What a try raises: the run's rules for the boxes as they stand, never the log line or the event log of a folder
    // that is not missing.
    void tryActions()
    {
        Settings stored; // what is stored must not matter
        stored.ErreurDossier = stored.ErreurDossierSon = stored.ErreurDossierNetSend = true;
        stored.ErreurDossierEventLog = stored.Logs = true;
        const TryRule rows[] = {{true, 7, "Administrator \"a b\"", "net|send|Administrator|a b", false},
                                {true, 2, "x", "", false}, {true, 4, "   ", "", true}, {false, 4, "", "", false}};
        for (const auto &[nt, boxes, message, argv, lacks] : rows) {
            const AlertForm form{(boxes & 1) != 0, (boxes & 2) != 0, (boxes & 4) != 0, message};
            const SystemInfo system{.IsNT = nt};
            const AlertActions a = TryAlertActions(stored, form, system);
            QVERIFY(a.notice == form.notice && a.beep == form.beep && !a.logLine && !a.eventLog);
            QCOMPARE(a.netSendArgv.join('|'), argv);
            QCOMPARE(TryLacksMessage(form, system), lacks);
        }
    }
    // The opening state and the menu's mark.
    void openAndMark()
    {
        Settings s;
        s.ErreurDossierNetSend = true;
        s.MessageNetSend = "m";
        SystemInfo system;
        QVERIFY(!OpenAlertForm(s, system).netSend);
        system.IsNT = true;
        const AlertForm nt = OpenAlertForm(s, system);
        QVERIFY(nt.netSend && !nt.notice && !nt.beep && nt.message == "m");
        QVERIFY(AlertMenuChecked(s));
        s.ErreurDossierNetSend = false;
        s.ErreurDossierEventLog = true;
        QVERIFY(!AlertMenuChecked(s));
        for (bool *box : {&s.ErreurDossierSon, &s.ErreurDossier}) {
            *box = true;
            QVERIFY(AlertMenuChecked(s));
            *box = false;
        }
    }
    // The texts, in Portuguese, which borrows English for some of them.
    void texts()
    {
        QStringList shown;
        for (const Caption &c : AlertsDialogCaptions(2))
            shown << c.objectName + '=' + c.text;
        QCOMPARE(shown, QStringList({"frmAvertirDossierErr=Alerta na ausência de uma pasta",
                                     "chkDossierErr=Alerta com um mensagem e jornal",
                                     "chkDossierErrSon=Alerta com um bip (som)",
                                     "chkDossierErrNetSend=Alerta com um mensagem 'net send' (a baixa)",
                                     "lblNetSend=NT only - use WinPopup to receive messages", "cmdEssayer=Try",
                                     "cmdOK=OK", "cmdAnnuler=&Cancelar"}));
        QCOMPARE(NoNetSendMessageText(1), "Aucun message à envoyer");
        QCOMPARE(AlertTryNoticeText(QTime(9, 5, 7), 0), "09:05:07 - Test: Warning on unknown folder");
    }
};
QTEST_MAIN(TestAlertsDialog)
#include "tst_alertsdialog.moc"
