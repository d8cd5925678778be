#include "config/folderpairsfile.h"
#include "config/settingsfile.h"

#include "common/testtree.h"
#include "platform/systeminfo.h"
#include "base/programidentity.h"

#include <QSet>
#include <QTest>
#include <csignal>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

using namespace vell;

namespace {

// One complete write, its file and content chosen by `round`: even rounds
// save 20, 40 or 60 couples with long paths (so that a save takes a while),
// odd ones rewrite one key of a big settings file.
int save(const ProgramFiles &files, int round)
{
    if (round % 2 == 1)
        return WriteSetting(files, SectionConfiguration, "MessageNetSend", QString(round / 2 % 2 ? 250 : 10, u'm'));
    FolderPairList pairs(20 + 20 * (round / 2 % 3));
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        pairs[i].Source = QStringLiteral("/src/%1/").arg(i) + QString(200, u'\u03b1');
        pairs[i].Cible = QStringLiteral("/dst/%1/").arg(i) + QString(200, u'\u0416');
        pairs[i].Effacer = i % 2 == 1;
    }
    SystemInfo nt;
    nt.IsNT = true;
    return SaveFolderPairs(files, pairs, nt);
}

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT
private slots:
    // A writer killed at any moment leaves each file whole: one of the
    // contents a complete write gives it.
    void killDuringRewrite()
    {
        TestTree tree;
        const ProgramFiles files{tree.rootText()};
        QByteArray ini = "[Configuration]\r\n"; // many keys around the one rewritten
        for (int i = 0; i < 1500; ++i)
            ini += "Unknown" + QByteArray::number(i) + "=" + QByteArray(40, 'u') + "\r\n";
        QVERIFY(tree.write("Vell.ini", ini + "[Logs]\r\nDelaiLogs=7\r\n") && save(files, 4) == 0); // every section
        QSet<QByteArray> whole[2];
        for (int round = 0; round < 6; ++round) {
            QVERIFY(save(files, round) == 0);
            whole[0] << tree.read("Vell.ini");
            whole[1] << tree.read("Vell.w");
        }
        for (int kill = 0; kill < 12; ++kill) {
            int ready[2];
            QVERIFY(::pipe(ready) == 0);
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) { // one byte after each complete write
                for (int round = kill % 2; save(files, round) == 0 && ::write(ready[1], "x", 1) == 1; ++round) {
                }
                ::_exit(1);
            }
            ::close(ready[1]);
            char byte;
            const bool wrote = ::read(ready[0], &byte, 1) == 1; // then kill it a little later each time
            struct timespec pause {0, kill / 2 * 300'000L};
            while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
            }
            const bool killed = ::kill(child, SIGKILL) == 0;
            int status = 0;
            const bool reaped = ::waitpid(child, &status, 0) == child;
            ::close(ready[0]);
            QVERIFY(wrote && killed && reaped && WIFSIGNALED(status));
            QVERIFY2(whole[0].contains(tree.read("Vell.ini")), "settings file not whole");
            QVERIFY2(whole[1].contains(tree.read("Vell.w")), "couples file not whole");
        }
        // The next writes clear whatever a killed one left behind.
        QVERIFY(save(files, 0) == 0 && save(files, 1) == 0);
        QCOMPARE(tree.entries(""), (QByteArrayList{"Vell.ini", "Vell.w"}));
        QCOMPARE(LoadSettings(files).DelaiLogs, 7);
    }
};

QTEST_APPLESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
