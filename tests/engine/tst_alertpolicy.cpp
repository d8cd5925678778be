#include "common/enginefixture.h"
#include "engine/alertpolicy.h"

using namespace vell;

class TestAlertPolicy : public QObject
{
    Q_OBJECT
private slots:
    // The words after "net send", none when there is nothing to send.
    void netSendArgv_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("default message")
            << Settings::DefaultMessageNetSend() << QStringList{"Administrator", "Warning from Vell: unknown folder"};
        QTest::newRow("quoted recipient") << "\"Ann Lee\" \"Backup failed\"" << QStringList{"Ann Lee", "Backup failed"};
        QTest::newRow("bare words") << "  SERVER1   disk  gone " << QStringList{"SERVER1", "disk", "gone"};
        QTest::newRow("tripled quote is a quote") << "bob \"say \"\"\"hi\"\"\" now\""
                                                  << QStringList{"bob", "say \"hi\" now"};
        // What a shell would act on stays plain text in one word each.
        QTest::newRow("shell characters") << "bob \"$(rm -rf ~); `id` | tee >x\" *"
                                          << QStringList{"bob", "$(rm -rf ~); `id` | tee >x", "*"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("blanks only") << "   " << QStringList{};
    }
    void netSendArgv()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, words);
        QCOMPARE(NetSendArgv(message), words.isEmpty() ? words : QStringList({"net", "send"}) + words);
    }
    void decideAlertActions_data()
    {
        QTest::addColumn<QString>("options"); // "9x": not NT, "service": it runs, "message=" ends with the text
        QTest::addColumn<QString>("fired");
        QTest::newRow("nothing chosen") << "Logs service" << "";
        QTest::newRow("notice without logs") << "ErreurDossier" << "notice";
        QTest::newRow("notice with logs") << "ErreurDossier Logs" << "notice log";
        QTest::newRow("logs alone write nothing") << "Logs ErreurDossierSon" << "beep";
        QTest::newRow("beep off NT") << "ErreurDossierSon 9x" << "beep";
        QTest::newRow("net send on NT") << "ErreurDossierNetSend" << "netsend";
        QTest::newRow("net send off NT") << "ErreurDossierNetSend 9x" << "";
        QTest::newRow("net send, empty message") << "ErreurDossierNetSend message=" << "";
        QTest::newRow("event log, service running") << "ErreurDossierEventLog service" << "eventlog";
        QTest::newRow("event log, not the service") << "ErreurDossierEventLog" << "";
        QTest::newRow("event log off NT") << "ErreurDossierEventLog service 9x" << "";
        QTest::newRow("everything") << "ErreurDossier Logs ErreurDossierSon ErreurDossierNetSend ErreurDossierEventLog "
                                       "service" << "notice log eventlog beep netsend";
    }
    void decideAlertActions()
    {
        QFETCH(QString, options);
        QFETCH(QString, fired);
        const QString words = options.section("message=", 0, 0);
        EngineFixture e;
        e.apply("-Logs " + words);
        Settings &s = e.settings;
        s.MessageNetSend = options.contains("message=") ? options.section("message=", 1) : s.DefaultMessageNetSend();
        const AlertActions a = DecideAlertActions(s, e.system, words.contains("service"));
        const QStringList got{a.notice ? "notice" : "", a.logLine ? "log" : "", a.eventLog ? "eventlog" : "",
                              a.beep ? "beep" : "", a.netSendArgv.isEmpty() ? "" : "netsend"};
        QCOMPARE(got.join(' ').simplified(), fired);
        if (!a.netSendArgv.isEmpty())
            QCOMPARE(a.netSendArgv, NetSendArgv(s.MessageNetSend));
    }
};
QTEST_APPLESS_MAIN(TestAlertPolicy)
#include "tst_alertpolicy.moc"
