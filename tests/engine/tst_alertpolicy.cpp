#include "engine/alertpolicy.h"

#include <QTest>

using namespace vell;

class TestAlertPolicy : public QObject
{
    Q_OBJECT
private slots:
    void netSendArgv_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("argv");
        QTest::newRow("default message")
            << Settings::DefaultMessageNetSend()
            << QStringList{"net", "send", "Administrator", "Warning from Vell: unknown folder"};
        QTest::newRow("quoted recipient") << "\"Ann Lee\" \"Backup failed\""
                                          << QStringList{"net", "send", "Ann Lee", "Backup failed"};
        QTest::newRow("bare words") << "  SERVER1   disk  gone "
                                    << QStringList{"net", "send", "SERVER1", "disk", "gone"};
        QTest::newRow("tripled quote is a quote") << "bob \"say \"\"\"hi\"\"\" now\""
                                                  << QStringList{"net", "send", "bob", "say \"hi\" now"};
        // What a shell would act on stays plain text in one word each.
        QTest::newRow("shell characters") << "bob \"$(rm -rf ~); `id` | tee >x\" *"
                                          << QStringList{"net", "send", "bob", "$(rm -rf ~); `id` | tee >x", "*"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("blanks only") << "   " << QStringList{};
    }
    void netSendArgv()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, argv);
        QCOMPARE(NetSendArgv(message), argv);
    }

    void decideAlertActions_data()
    {
        QTest::addColumn<bool>("erreurDossier");
        QTest::addColumn<bool>("logs");
        QTest::addColumn<bool>("son");
        QTest::addColumn<bool>("netSend");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("eventLogOption");
        QTest::addColumn<bool>("isNT");
        QTest::addColumn<bool>("serviceRunning");
        // notice, log line, event log, beep, net send
        QTest::addColumn<QString>("fired");
        const QString msg = Settings::DefaultMessageNetSend();
        QTest::newRow("nothing chosen") << false << true << false << false << msg << false << true << true << "";
        QTest::newRow("notice without logs") << true << false << false << false << msg << false << true << false
                                             << "notice";
        QTest::newRow("notice with logs") << true << true << false << false << msg << false << true << false
                                          << "notice log";
        QTest::newRow("logs alone write nothing") << false << true << true << false << msg << false << true << false
                                                  << "beep";
        QTest::newRow("beep off NT") << false << false << true << false << msg << false << false << false << "beep";
        QTest::newRow("net send on NT") << false << false << false << true << msg << false << true << false
                                        << "netsend";
        QTest::newRow("net send off NT") << false << false << false << true << msg << false << false << false << "";
        QTest::newRow("net send, empty message") << false << false << false << true << "" << false << true << false
                                                 << "";
        QTest::newRow("net send, blank message") << false << false << false << true << "  " << false << true
                                                 << false << "";
        QTest::newRow("event log, service running") << false << false << false << false << msg << true << true
                                                    << true << "eventlog";
        QTest::newRow("event log, not the service") << false << false << false << false << msg << true << true
                                                    << false << "";
        QTest::newRow("event log off NT") << false << false << false << false << msg << true << false << true << "";
        QTest::newRow("service running, option off") << false << false << false << false << msg << false << true
                                                     << true << "";
        QTest::newRow("everything") << true << true << true << true << msg << true << true << true
                                    << "notice log eventlog beep netsend";
    }
    void decideAlertActions()
    {
        QFETCH(bool, erreurDossier);
        QFETCH(bool, logs);
        QFETCH(bool, son);
        QFETCH(bool, netSend);
        QFETCH(QString, message);
        QFETCH(bool, eventLogOption);
        QFETCH(bool, isNT);
        QFETCH(bool, serviceRunning);
        QFETCH(QString, fired);
        Settings settings;
        settings.ErreurDossier = erreurDossier;
        settings.Logs = logs;
        settings.ErreurDossierSon = son;
        settings.ErreurDossierNetSend = netSend;
        settings.MessageNetSend = message;
        settings.ErreurDossierEventLog = eventLogOption;
        SystemInfo system;
        system.IsNT = isNT;
        const AlertActions a = DecideAlertActions(settings, system, serviceRunning);
        QStringList got;
        if (a.notice)
            got << "notice";
        if (a.logLine)
            got << "log";
        if (a.eventLog)
            got << "eventlog";
        if (a.beep)
            got << "beep";
        if (!a.netSendArgv.isEmpty())
            got << "netsend";
        QCOMPARE(got.join(' '), fired);
        if (!a.netSendArgv.isEmpty())
            QCOMPARE(a.netSendArgv, NetSendArgv(message));
    }
};

QTEST_APPLESS_MAIN(TestAlertPolicy)
#include "tst_alertpolicy.moc"
