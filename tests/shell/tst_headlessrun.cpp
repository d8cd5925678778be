// Runs the real vell executable, copied into a program folder of its own,
// as a user without a display would.

#include "common/testtree.h"
#include "config/folderpairsfile.h"
#include "config/settingsfile.h"
#include "platform/systeminfo.h"
#include "base/programidentity.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>

using namespace vell;

namespace {

struct ProgramFolder
{
    TestTree tree;
    ProgramFiles files;
    QString binary;

    ProgramFolder()
    {
        tree.mkdir("prog");
        files.ProgramFolder = tree.pathText("prog");
        binary = files.ProgramFolder + "/vell";
        QFile::copy(qEnvironmentVariable("VELL_BINARY"), binary);
        QFile::setPermissions(binary, QFile::permissions(binary) | QFileDevice::ExeOwner);
    }

    void set(const QString &key, const QString &value, const QString &section = SectionConfiguration)
    {
        QCOMPARE(WriteSetting(files, section, key, value), 0);
    }

    void couples(const QList<QPair<QString, QString>> &list)
    {
        FolderPairList pairs;
        for (const auto &[source, target] : list) {
            FolderPair pair;
            pair.Source = source;
            pair.Cible = target;
            pairs << pair;
        }
        SystemInfo system;
        system.IsNT = true;
        QCOMPARE(SaveFolderPairs(files, pairs, system), 0);
    }

    void start(QProcess &process, const QStringList &arguments = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM"); // that too would give the program a window
        env.remove("VELL_SERVICE");
        env.insert("XDG_DATA_HOME", tree.pathText("xdg")); // no installed service here
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(tree.rootText());
        process.start(binary, arguments);
        QVERIFY(process.waitForStarted());
    }

    // Runs to the end; returns the exit status.
    int run(const QStringList &arguments = {}, QByteArray *out = nullptr, QByteArray *err = nullptr)
    {
        QProcess process;
        start(process, arguments);
        if (!process.waitForFinished(20000))
            return -1;
        if (out)
            *out = process.readAllStandardOutput();
        if (err)
            *err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
};

// Waits until the process has printed `lines` lines on stdout.
bool waitForLines(QProcess &process, QByteArray &out, int lines)
{
    while (out.count('\n') < lines) {
        if (!process.waitForReadyRead(10000))
            return false;
        out += process.readAllStandardOutput();
    }
    return true;
}

} // namespace

class TestHeadlessRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFile::exists(qEnvironmentVariable("VELL_BINARY")), "VELL_BINARY not built"); }

    void mirrorsOnceAndEnds()
    {
        ProgramFolder p;
        QVERIFY(p.tree.write("src/a.txt", "a"));
        QVERIFY(p.tree.write("src/sub/b.txt", "b"));
        QVERIFY(p.tree.mkdir("dst"));
        p.couples({{p.tree.pathText("src"), p.tree.pathText("dst")}});
        p.set("Automatique", "1");
        p.set("ArretAutomatique", "1");
        QByteArray out;
        QCOMPARE(p.run({}, &out), 0);
        QCOMPARE(p.tree.read("dst/sub/b.txt"), QByteArray("b"));
        QCOMPARE(out.count('\n'), 2);
        QVERIFY2(out.contains("2 files in 1 source folder (0 invalid source folder; 0 invalid target folder)"),
                 out.constData());
        QVERIFY(out.contains("Files: 2 created, 0 modified, 0 removed; Folders: 1 created, 0 removed"));
    }

    void unknownFolderInTheOnlyRunEndsWithFour()
    {
        ProgramFolder p;
        QVERIFY(p.tree.mkdir("dst"));
        p.couples({{p.tree.pathText("gone"), p.tree.pathText("dst")}});
        p.set("Automatique", "1");
        p.set("ArretAutomatique", "1");
        p.set("Langue", "1");
        QByteArray out;
        QCOMPARE(p.run({}, &out), 4);
        QVERIFY2(out.contains("1 dossier source invalide"), out.constData());
    }

    void failuresInTheOnlyRunEndWithFive()
    {
        ProgramFolder p;
        QVERIFY(p.tree.write("src/a", "a"));
        QVERIFY(p.tree.write("dst/a/kept", "k")); // a folder where the source has a file, no Effacer
        p.couples({{p.tree.pathText("src"), p.tree.pathText("dst")}});
        p.set("Automatique", "1");
        p.set("ArretAutomatique", "1");
        QByteArray out;
        QByteArray err;
        QCOMPARE(p.run({}, &out, &err), 5);
        QVERIFY2(err.contains("Vell: Failure: Creation - " + p.tree.path("dst/a") + ": Is a directory"), err.constData());
        QVERIFY2(out.endsWith("1 failure, tried again at the next run; see the system journal (journalctl -t Vell)\n"),
                 out.constData());
        QCOMPARE(p.tree.read("dst/a/kept"), QByteArray("k"));
    }

    void keepsMirroringUntilSigterm()
    {
        ProgramFolder p;
        QVERIFY(p.tree.write("src/first", "1"));
        QVERIFY(p.tree.mkdir("dst"));
        p.couples({{p.tree.pathText("src"), p.tree.pathText("dst")}});
        p.set("Automatique", "1");
        p.set("Temporisation", "1");
        QProcess process;
        p.start(process);
        QByteArray out;
        QVERIFY(waitForLines(process, out, 2));
        QVERIFY(p.tree.write("src/second", "2"));
        QVERIFY(waitForLines(process, out, 6)); // two more runs: the second one saw the new file
        QCOMPARE(p.tree.read("dst/second"), QByteArray("2"));

        // Only one instance per program folder.
        QByteArray err;
        QCOMPARE(p.run({}, nullptr, &err), 2);
        QVERIFY(err.contains("Program already running"));

        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    void killedInstanceDoesNotBlockTheNext()
    {
        ProgramFolder p;
        QVERIFY(p.tree.mkdir("d"));
        p.couples({{p.tree.pathText("d"), p.tree.pathText("d")}});
        p.set("Automatique", "1");
        QProcess first;
        p.start(first);
        QByteArray out;
        QVERIFY(waitForLines(first, out, 2));
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        p.set("ArretAutomatique", "1");
        QCOMPARE(p.run(), 0);
    }

    void missingFolderWithSwitchEndsWithThree_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("-U") << QStringList{"-U"};
        QTest::newRow("lower case among words") << QStringList{"nightly", "-user"};
    }
    void missingFolderWithSwitchEndsWithThree()
    {
        QFETCH(QStringList, arguments);
        ProgramFolder p;
        QVERIFY(p.tree.mkdir("src"));
        p.couples({{p.tree.pathText("src"), p.tree.pathText("nowhere")}});
        p.set("Automatique", "1");
        p.set("ArretAutomatique", "1");
        QCOMPARE(p.run(arguments), 3);
        QCOMPARE(p.run(), 4); // without the switch the run goes on and reports it
    }

    void invalidCouplesFileEndsWithOne()
    {
        ProgramFolder p;
        QFile file(p.files.couplesFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\"43003A005C0\",\"\"\r\n");
        file.close();
        QByteArray err;
        QCOMPARE(p.run({}, nullptr, &err), 1);
        QVERIFY2(err.contains("Invalid hexa string in the parameters file"), err.constData());
    }

    void withoutAutomaticStartNothingIsMirrored()
    {
        ProgramFolder p;
        QVERIFY(p.tree.write("src/a", "a"));
        QVERIFY(p.tree.mkdir("dst"));
        p.couples({{p.tree.pathText("src"), p.tree.pathText("dst")}});
        QByteArray err;
        QCOMPARE(p.run({}, nullptr, &err), 0);
        QVERIFY(err.contains("Automatique=1"));
        QCOMPARE(p.tree.entries("dst"), QByteArrayList());
    }
};

QTEST_GUILESS_MAIN(TestHeadlessRun)
#include "tst_headlessrun.moc"
