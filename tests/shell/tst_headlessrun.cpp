// Runs the real vell executable, copied into a program folder of its own, as a user without a display would; and
// start-up's boxes for faulty files.

#include "common/enginefixture.h"
#include "common/recorders.h"
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "config/folderpairsfile.h"
#include "config/settingsfile.h"
#include "platform/systeminfo.h"
#include "base/programidentity.h"
#include "shell/vellprogram.h"
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>

using namespace vell;

namespace {
// The program folder ~/prog with the executable, one couple ~/src to ~/dst and the settings given ("Key=value").
struct ProgramFolder
{
    TestTree tree;
    ProgramFiles files{tree.pathText("prog")};
    QString binary = files.ProgramFolder + "/vell";
    QByteArray out, err; // of the last run
    explicit ProgramFolder(const QStringList &settings)
    {
        FolderPair pair;
        pair.Source = tree.pathText("src");
        pair.Cible = tree.pathText("dst");
        QVERIFY(tree.mkdir("prog") && QFile::copy(qEnvironmentVariable("VELL_BINARY"), binary));
        QVERIFY(QFile::setPermissions(binary, QFile::permissions(binary) | QFileDevice::ExeOwner));
        SystemInfo system;
        system.IsNT = true;
        QCOMPARE(SaveFolderPairs(files, {pair}, system), 0);
        for (const QString &setting : settings)
            set(setting);
    }
    void set(const QString &setting)
    {
        QCOMPARE(WriteSetting(files, SectionConfiguration, setting.section('=', 0, 0), setting.section('=', 1)), 0);
    }
    void start(QProcess &process, const QStringList &arguments = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // QT_QPA_PLATFORM too would give the program a window.
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "VELL_SERVICE"})
            env.remove(name);
        env.insert("XDG_DATA_HOME", tree.pathText("xdg")); // no installed service here
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(tree.rootText());
        process.start(binary, arguments);
        QVERIFY(process.waitForStarted());
    }
    int run(const QStringList &arguments = {})
    {
        QProcess process;
        start(process, arguments);
        if (!process.waitForFinished(20000))
            return -1;
        out = process.readAllStandardOutput();
        err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
};

bool waitForLines(QProcess &process, QByteArray &out, int lines)
{
    while (out.count('\n') < lines) {
        if (!process.waitForReadyRead(10000))
            return false;
        out += process.readAllStandardOutput();
    }
    return true;
}
const QStringList Once{"Automatique=1", "ArretAutomatique=1"};
struct Run { QByteArrayList items; QStringList settings, arguments; int status, lines; QByteArrayList said, target; };
} // namespace

class TestHeadlessRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFile::exists(qEnvironmentVariable("VELL_BINARY")), "VELL_BINARY not built"); }
    // One run from the items given (TestTree::build): its exit status, the lines it prints on stdout, parts of what it
    // prints on stdout and stderr ("~" the folder of the test), and the target folder after it.
    void runOnce_data()
    {
        QTest::addColumn<Run>("run");
        const auto row = [](const char *name, const Run &run) { QTest::newRow(name) << run; };
        row("mirrors", {{"src/a=a", "src/sub/b=b", "dst/"}, Once, {}, 0, 2,
            {"; 2 files in 1 source folder (0 invalid source folder; 0 invalid target folder)\n"
             "Files: 2 created, 0 modified, 0 removed; Folders: 1 created, 0 removed; "}, {"dst/a=a", "dst/sub/b=b"}});
        row("source missing, french", {{"dst/"}, Once + QStringList{"Langue=1"}, {}, 4, 2,
            {"(1 dossier source invalide; 0 dossier cible invalide)"}, {}});
        row("target missing, -U", {{"src/"}, Once, {"-U"}, 3, 0, {}, {}});
        row("target missing, -user among words", {{"src/"}, Once, {"nightly", "-user"}, 3, 0, {}, {}});
        // A folder where the source has a file, and no Effacer.
        row("failure", {{"src/a=a", "dst/a/kept=k"}, Once, {}, 5, 3,
            {"Vell: Failure: Creation - ~/dst/a: Is a directory\n",
             "\n1 failure, tried again at the next run; see the system journal (journalctl -t Vell)\n"},
            {"dst/a/kept=k"}});
        row("couples file invalid", {{"prog/Vell.w=\"43003A005C0\",\"\"\r\n"}, Once, {}, 1, 0,
            {"Vell: Invalid hexa string in the parameters file\r\n~/prog/Vell.w\n"}, {}});
        row("no automatic start", {{"src/a=a", "dst/"}, {}, {}, 0, 0, {"Automatique=1 in ~/prog/Vell.ini"}, {}});
    }
    void runOnce()
    {
        QFETCH(Run, run);
        ProgramFolder p(run.settings);
        QVERIFY(p.tree.build(run.items));
        QCOMPARE(p.run(run.arguments), run.status);
        QCOMPARE(p.out.count('\n'), run.lines);
        for (QByteArray &part : run.said)
            QVERIFY2((p.out + p.err).contains(part.replace('~', p.tree.root())), p.out + p.err);
        QCOMPARE(p.tree.snapshot("dst"), run.target);
    }
    // Mirrors until SIGTERM, one instance per program folder; one that was killed does not block the next.
    void keepsMirroringUntilSigterm()
    {
        ProgramFolder p({"Automatique=1", "Temporisation=1"});
        QVERIFY(p.tree.write("src/first", "1") && p.tree.mkdir("dst"));
        QProcess process, killed;
        p.start(process);
        QByteArray out, killedOut;
        QVERIFY(waitForLines(process, out, 2) && p.tree.write("src/second", "2"));
        QVERIFY(waitForLines(process, out, 6)); // two more runs: the second one saw the new file
        QCOMPARE(p.tree.read("dst/second"), QByteArray("2"));
        QCOMPARE(p.run(), 2);
        QVERIFY(p.err.contains("Program already running"));
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        p.start(killed);
        QVERIFY(waitForLines(killed, killedOut, 2));
        killed.kill();
        QVERIFY(killed.waitForFinished(10000));
        p.set("ArretAutomatique=1");
        QCOMPARE(p.run(), 0);
    }
    // The boxes start-up shows for faulty signature and couples files, and how start-up ends.
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
QTEST_GUILESS_MAIN(TestHeadlessRun)
#include "tst_headlessrun.moc"
