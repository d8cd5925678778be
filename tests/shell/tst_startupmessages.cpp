// The boxes start-up shows for what the signature and couples loaders
// found: their order, texts, icons, buttons, and how start-up ends.

#include "common/enginefixture.h"
#include "common/recorders.h"
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "shell/vellprogram.h"

#include <QTest>

using namespace vell;

class TestStartupMessages : public QObject
{
    Q_OBJECT
private slots:
    void loadMessages_data()
    {
        QTest::addColumn<QByteArray>("signatures");
        QTest::addColumn<QByteArray>("couples");
        QTest::addColumn<bool>("faulty");
        QTest::newRow("faulty files") << QByteArray("AAAAAAAA,a,A\r\naaaaaaaa,b,B\r\nCCCCCCCC\r\n")
                                      << QByteArray("\"2F00\",\"\"\r\n\"430\",\"\"\r\n") << true;
        QTest::newRow("sound files") << QByteArray("\"AAAAAAAA\",\"a\",\"A\"\r\n") << QByteArray("\"2F00\",\"\"\r\n")
                                     << false;
    }
    void loadMessages()
    {
        QFETCH(QByteArray, signatures);
        QFETCH(QByteArray, couples);
        QFETCH(bool, faulty);
        TestTree tree;
        qputenv("XDG_DATA_HOME", tree.path("xdg")); // no service installed
        qunsetenv("VELL_SERVICE");
        QVERIFY(tree.write("Signatures.txt", signatures) && tree.write("Vell.w", couples));
        QVERIFY(tree.write("Vell.ini", "[Configuration]\r\nLangue=1\r\n"));
        RecordingHost host;
        ScriptedDialogs dialogs;
        RecordingCommandRunner runner;
        RecordingEventLog log;
        VellProgram program({tree.rootText(), QStringLiteral("/opt/vell/vell"), {}, true}, host, dialogs, runner, log);
        const std::optional<int> end = program.start();
        if (!faulty) {
            QCOMPARE(end, std::nullopt);
            QVERIFY(dialogs.boxes.isEmpty());
            QCOMPARE(program.pairs.size(), 1);
            return;
        }
        QCOMPARE(end, std::optional<int>(1));
        const QList<std::pair<QString, MessageIcon>> expected{
            {QStringLiteral("Doublon dans le fichier des Signatures: aaaaaaaa"), MessageIcon::Exclamation},
            {"Fichier Signatures endommagé:\r\n" + tree.pathText("Signatures.txt") + "\r\nLigne:1", MessageIcon::Critical},
            {"Invalid hexa string in the parameters file\r\n" + tree.pathText("Vell.w"), MessageIcon::Critical}};
        QCOMPARE(dialogs.boxes.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QCOMPARE(dialogs.boxes[i].text, expected[i].first);
            QCOMPARE(dialogs.boxes[i].icon, expected[i].second);
            QCOMPARE(dialogs.boxes[i].title, QStringLiteral("Vell"));
            QCOMPARE(dialogs.boxes[i].buttons, MessageButtons::Ok);
        }
        QVERIFY(program.pairs.isEmpty());
        QCOMPARE(ExtensionForSignature(program.signatures, QStringLiteral("W6BNMSWD")), QStringLiteral("doc"));
    }
};

QTEST_GUILESS_MAIN(TestStartupMessages)
#include "tst_startupmessages.moc"
