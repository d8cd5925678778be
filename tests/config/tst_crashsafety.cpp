#include "config/folderpairsfile.h"
#include "config/settingsfile.h"

#include "common/testtree.h"
#include "platform/profile.h"
#include "platform/systeminfo.h"
#include "base/programidentity.h"

#include <QScopeGuard>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

using namespace vell;

namespace {

SystemInfo nt()
{
    SystemInfo info;
    info.IsNT = true;
    return info;
}

// `count` couples with long paths, so that one save takes a while.
FolderPairList couples(int count)
{
    FolderPairList pairs;
    for (int i = 0; i < count; ++i) {
        FolderPair pair;
        pair.Source = QStringLiteral("/src/%1/").arg(i) + QString(200, u'\u03b1');
        pair.Cible = QStringLiteral("/dst/%1/").arg(i) + QString(200, u'\u0416');
        pair.Effacer = i % 2 == 1;
        pairs.append(pair);
    }
    return pairs;
}

const int CoupleCounts[] = {20, 40, 60};

// A settings file with many keys around the one that is rewritten.
QByteArray bigSettings()
{
    QByteArray ini = "[Configuration]\r\nLangue=2\r\n";
    for (int i = 0; i < 1500; ++i)
        ini += "Unknown" + QByteArray::number(i) + "=" + QByteArray(40, 'u') + "\r\n";
    return ini + "MessageNetSend=start\r\n[Logs]\r\nDelaiLogs=7\r\n";
}

QString netSendText(int round)
{
    return QString(round % 2 == 0 ? 10 : 250, QChar(u'a' + round % 2));
}

// Rewrites one of the files until it is killed; one byte on `ready` after
// each complete write tells the parent how far it got.
[[noreturn]] void rewriteForever(const ProgramFiles &files, bool settings, int ready)
{
    for (int round = 1;; ++round) {
        const int r = settings
                          ? WriteSetting(files, SectionConfiguration, QStringLiteral("MessageNetSend"), netSendText(round))
                          : SaveFolderPairs(files, couples(CoupleCounts[round % 3]), nt());
        if (r < 0 || ::write(ready, "x", 1) != 1)
            ::_exit(1);
    }
}

void pause(long microseconds)
{
    struct timespec ts {0, microseconds * 1000};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT
private slots:
    void killDuringRewrite_data()
    {
        QTest::addColumn<bool>("settings");
        QTest::newRow("settings file") << true;
        QTest::newRow("couples file") << false;
    }
    void killDuringRewrite()
    {
        QFETCH(bool, settings);
        TestTree tree;
        const ProgramFiles files{tree.rootText()};

        // Every whole content the files can have.
        QList<QByteArray> settingsVersions;
        QList<QByteArray> couplesVersions;
        if (settings)
            QVERIFY(tree.write("Vell.ini", bigSettings()));
        QVERIFY(SaveFolderPairs(files, couples(60), nt()) == 0);
        QVERIFY(SaveFolderPairs(files, couples(20), nt()) == 0);
        for (int round = 0; round < 2; ++round) {
            platform::Profile profile = platform::Profile::fromBytes(tree.read("Vell.ini"));
            QCOMPARE(profile.setValue(SectionConfiguration, "MessageNetSend", netSendText(round)), 0);
            settingsVersions.append(profile.toBytes());
        }
        if (!settings)
            settingsVersions = {tree.read("Vell.ini")};
        for (const int count : CoupleCounts) {
            TestTree scratch;
            QVERIFY(SaveFolderPairs(ProgramFiles{scratch.rootText()}, couples(count), nt()) == 0);
            couplesVersions.append(scratch.read("Vell.w"));
        }
        if (settings)
            couplesVersions = {tree.read("Vell.w")};
        if (settings)
            QVERIFY(tree.write("Vell.ini", settingsVersions[0]));

        for (int kill = 0; kill < 6; ++kill) {
            int ready[2];
            QVERIFY(::pipe(ready) == 0);
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                ::close(ready[0]);
                rewriteForever(files, settings, ready[1]);
            }
            ::close(ready[1]);
            bool reaped = false;
            // A failed check must not leave the writer running.
            const auto reap = qScopeGuard([&] {
                if (!reaped) {
                    (void)::kill(child, SIGKILL);
                    (void)::waitpid(child, nullptr, 0);
                }
                ::close(ready[0]);
            });
            // Let it finish a few writes, then kill it a little later each time.
            char byte;
            for (int done = 0; done <= kill % 2; ++done)
                QCOMPARE(::read(ready[0], &byte, 1), ssize_t(1));
            pause(kill * 300);
            QVERIFY(::kill(child, SIGKILL) == 0);
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            reaped = true;
            QVERIFY(WIFSIGNALED(status));

            QVERIFY2(settingsVersions.contains(tree.read("Vell.ini")), "settings file not whole");
            QVERIFY2(couplesVersions.contains(tree.read("Vell.w")), "couples file not whole");
        }

        // The next write clears whatever a killed one left behind.
        QCOMPARE(WriteSetting(files, SectionLogs, "Logs", "1"), 0);
        QCOMPARE(SaveFolderPairs(files, couples(1), nt()), 0);
        QCOMPARE(tree.entries(""), (QByteArrayList{"Vell.ini", "Vell.w"}));
        QCOMPARE(LoadSettings(files).DelaiLogs, settings ? 7 : 10);
    }
};

QTEST_APPLESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
