#include "common/testtree.h"
#include "base/programidentity.h"
#include "platform/systeminfo.h"
#include "service/alertsettings.h"

#include <QTest>

using namespace vell;

namespace {
SystemInfo System(bool nt)
{
    SystemInfo system;
    system.IsNT = nt;
    return system;
}
} // namespace

class TestAlertSettings : public QObject
{
    Q_OBJECT
private slots:
    // OK's one write: the four keys in their order, every other line kept;
    // an unreadable file changes neither the file nor the settings.
    void store_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("notice");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("after"); // empty: the write fails
        QTest::newRow("new file, empty text")
            << QByteArray() << true << ""
            << QByteArray("[Configuration]\r\nErreurDossier=1\r\nErreurDossierSon=0\r\nErreurDossierNetSend=1\r\n"
                          "MessageNetSend=\r\n");
        QTest::newRow("other keys kept")
            << QByteArray("[Configuration]\r\nLangue=1\r\nErreurDossier=1\r\n[Logs]\r\nLogs=1\r\n") << false
            << "bob \"hi\""
            << QByteArray("[Configuration]\r\nLangue=1\r\nErreurDossier=0\r\nErreurDossierSon=0\r\n"
                          "ErreurDossierNetSend=1\r\nMessageNetSend=bob \"hi\"\r\n[Logs]\r\nLogs=1\r\n");
        QTest::newRow("unreadable") << QByteArray("folder") << true << "x" << QByteArray();
    }
    void store()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, notice);
        QFETCH(QString, message);
        QFETCH(QByteArray, after);
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

    // What a try raises: the run's rules for the boxes as they stand, never
    // the log line or the event log of a folder that is not missing.
    void tryActions_data()
    {
        QTest::addColumn<bool>("nt");
        QTest::addColumn<int>("boxes"); // 1 notice, 2 beep, 4 net send
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("argv"); // "|"-joined
        QTest::addColumn<bool>("lacks");
        QTest::newRow("all") << true << 7 << "Administrator \"a b\"" << "net|send|Administrator|a b" << false;
        QTest::newRow("beep only") << true << 2 << "x" << "" << false;
        QTest::newRow("blank text") << true << 4 << "   " << "" << true;
        QTest::newRow("not NT") << false << 4 << "" << "" << false;
    }
    void tryActions()
    {
        QFETCH(bool, nt);
        QFETCH(int, boxes);
        QFETCH(QString, message);
        QFETCH(QString, argv);
        QFETCH(bool, lacks);
        Settings stored; // what is stored must not matter
        stored.ErreurDossier = stored.ErreurDossierSon = stored.ErreurDossierNetSend = true;
        stored.ErreurDossierEventLog = stored.Logs = true;
        const AlertForm form{(boxes & 1) != 0, (boxes & 2) != 0, (boxes & 4) != 0, message};
        const SystemInfo system = System(nt);
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
        QVERIFY(!OpenAlertForm(s, System(false)).netSend);
        const AlertForm nt = OpenAlertForm(s, System(true));
        QVERIFY(nt.netSend && !nt.notice && !nt.beep && nt.message == "m");
        QVERIFY(AlertMenuChecked(s));
        s.ErreurDossierNetSend = false;
        s.ErreurDossierEventLog = true;
        QVERIFY(!AlertMenuChecked(s));
        s.ErreurDossierSon = true;
        QVERIFY(AlertMenuChecked(s));
        s.ErreurDossierSon = false;
        s.ErreurDossier = true;
        QVERIFY(AlertMenuChecked(s));
    }

    // Try names a net-send program that is not on PATH.
    void commandProblem()
    {
        TestTree tree;
        QVERIFY(tree.write("bin/net", "#!/bin/sh\n") && tree.setMode("bin/net", 0755));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", tree.path("bin"));
        const QString found = AlertCommandProblem({"net", "send", "x"}, 0);
        const QString missing = AlertCommandProblem({"vell-no-such-program"}, 0);
        qputenv("PATH", path);
        QCOMPARE(found, QString());
        QCOMPARE(missing, "Program 'vell-no-such-program' not found (PATH)");
        QCOMPARE(AlertCommandProblem({}, 0), QString());
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
