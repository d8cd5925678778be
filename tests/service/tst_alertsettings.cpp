#include "common/testtree.h"
#include "base/programidentity.h"
#include "platform/systeminfo.h"
#include "service/alertsettings.h"
#include <QTest>

using namespace vell;

// The file before ("folder": a folder in its place) and after (empty: the write fails).
struct Store { QByteArray before; bool notice; QString message; QByteArray after; };
// The boxes ticked (1 notice, 2 beep, 4 net send) and the net-send command, "|"-joined.
struct Try { bool nt; int boxes; QString message, argv; bool lacks; };

class TestAlertSettings : public QObject
{
    Q_OBJECT
private slots:
    // OK's one write: the four keys in their order, every other line kept; an unreadable file changes neither the file
    // nor the settings.
    void store_data()
    {
        QTest::addColumn<Store>("stored");
        QTest::newRow("other keys kept")
            << Store{"[Configuration]\r\nLangue=1\r\nErreurDossier=0\r\n[Logs]\r\nLogs=1\r\n", true, "bob \"hi\"",
                     "[Configuration]\r\nLangue=1\r\nErreurDossier=1\r\nErreurDossierSon=0\r\n"
                     "ErreurDossierNetSend=1\r\nMessageNetSend=bob \"hi\"\r\n[Logs]\r\nLogs=1\r\n"};
        QTest::newRow("unreadable") << Store{"folder", true, "x", {}};
    }
    void store()
    {
        QFETCH(Store, stored);
        auto &[before, notice, message, after] = stored;
        TestTree tree;
        if (before == "folder")
            QVERIFY(tree.mkdir("Vell.ini"));
        else if (!before.isEmpty())
            QVERIFY(tree.write("Vell.ini", before));
        Settings settings;
        const int rc = StoreAlertSettings(ProgramFiles{tree.rootText()}, settings, {notice, false, true, message});
        QCOMPARE(rc < 0, after.isEmpty());
        if (after.isEmpty()) {
            QVERIFY(tree.isDir("Vell.ini") && !settings.ErreurDossier && !settings.ErreurDossierNetSend);
            QCOMPARE(settings.MessageNetSend, Settings::DefaultMessageNetSend());
            return;
        }
        QCOMPARE(tree.read("Vell.ini"), after);
        QVERIFY(settings.ErreurDossier == notice && !settings.ErreurDossierSon && settings.ErreurDossierNetSend);
        QCOMPARE(settings.MessageNetSend, message);
    }
    // What a try raises: the run's rules for the boxes as they stand, never the log line or the event log of a folder
    // that is not missing.
    void tryActions_data()
    {
        QTest::addColumn<Try>("tried");
        QTest::newRow("all") << Try{true, 7, "Administrator \"a b\"", "net|send|Administrator|a b", false};
        QTest::newRow("beep only") << Try{true, 2, "x", "", false};
        QTest::newRow("blank text") << Try{true, 4, "   ", "", true};
        QTest::newRow("not NT") << Try{false, 4, "", "", false};
    }
    void tryActions()
    {
        QFETCH(Try, tried);
        auto &[nt, boxes, message, argv, lacks] = tried;
        Settings stored; // what is stored must not matter
        stored.ErreurDossier = stored.ErreurDossierSon = stored.ErreurDossierNetSend = true;
        stored.ErreurDossierEventLog = stored.Logs = true;
        const AlertForm form{(boxes & 1) != 0, (boxes & 2) != 0, (boxes & 4) != 0, message};
        SystemInfo system;
        system.IsNT = nt;
        const AlertActions a = TryAlertActions(stored, form, system);
        QVERIFY(a.notice == form.notice && a.beep == form.beep && !a.logLine && !a.eventLog);
        QCOMPARE(a.netSendArgv.join('|'), argv);
        QCOMPARE(TryLacksMessage(form, system), lacks);
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
QTEST_APPLESS_MAIN(TestAlertSettings)
#include "tst_alertsettings.moc"
