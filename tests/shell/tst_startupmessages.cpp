// The boxes start-up shows for faulty signature and couples files, and how start-up ends.
#include "common/enginefixture.h"
#include "common/recorders.h"
#include "common/scripteddialogs.h"
#include "shell/vellprogram.h"

using namespace vell;

class TestStartupMessages : public QObject
{
    Q_OBJECT
private slots:
    void faultyFiles()
    {
        TestTree tree;
        qputenv("XDG_DATA_HOME", tree.path("xdg")); // no service installed
        qunsetenv("VELL_SERVICE");
        QVERIFY(tree.write("Signatures.txt", "AAAAAAAA,a,A\r\naaaaaaaa,b,B\r\nCCCCCCCC\r\n"));
        QVERIFY(tree.write("Vell.w", "\"2F00\",\"\"\r\n\"430\",\"\"\r\n"));
        QVERIFY(tree.write("Vell.ini", "[Configuration]\r\nLangue=1\r\n"));
        RecordingHost host;
        ScriptedDialogs dialogs;
        RecordingCommandRunner runner;
        RecordingEventLog log;
        VellProgram program({tree.rootText(), QStringLiteral("/opt/vell/vell"), {}, true}, host, dialogs, runner, log);
        QCOMPARE(program.start(), std::optional<int>(1));
        QStringList shown; // icon (2 exclamation, 3 critical), buttons (0 OK), title, text
        for (const ScriptedDialogs::Box &b : dialogs.boxes)
            shown << QString::number(int(b.icon)) + QString::number(int(b.buttons)) + ' ' + b.title + ' ' + b.text;
        QCOMPARE(shown.replaceInStrings(tree.rootText(), "~"),
                 QStringList({"20 Vell Doublon dans le fichier des Signatures: aaaaaaaa",
                              "30 Vell Fichier Signatures endommagé:\r\n~/Signatures.txt\r\nLigne:1",
                              "30 Vell Invalid hexa string in the parameters file\r\n~/Vell.w"}));
        QVERIFY(program.pairs.isEmpty());
        QCOMPARE(ExtensionForSignature(program.signatures, "w6bnMSWD"), "doc"); // the built-in rows, any letter case
    }
};
QTEST_GUILESS_MAIN(TestStartupMessages)
#include "tst_startupmessages.moc"
