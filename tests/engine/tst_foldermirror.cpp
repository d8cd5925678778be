#include "common/enginefixture.h"
#include "common/testtree.h"

#include <QTest>
#include <thread>
#include <chrono>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace vell;

namespace {

constexpr uint64_t EpochTicks = 116444736000000000ULL; // 1970-01-01 in ticks since 1601

bool setTicks(TestTree &tree, const QByteArray &rel, uint64_t ticks)
{
    const uint64_t unixTicks = ticks - EpochTicks;
    return tree.setMtime(rel, int64_t(unixTicks / 10000000ULL), long(unixTicks % 10000000ULL) * 100);
}

} // namespace

class TestFolderMirror : public QObject
{
    Q_OBJECT
private slots:
    void copiesTreeThenFindsItUpToDate()
    {
        TestCouple c;
        QVERIFY(c.tree.write("src/a.txt", "alpha"));
        QVERIFY(c.tree.write("src/.hidden", "h"));
        QVERIFY(c.tree.write("src/sub/b.txt", "beta"));
        QVERIFY(c.tree.mkdir("src/sub/empty"));
        QVERIFY(c.tree.setMtime("src/a.txt", 1500000000, 123456700));
        c.mirror();
        const RunTotals &t = c.engine.totals();
        QCOMPARE(t.FilesCreated, 3);
        QCOMPARE(t.FilesExamined, 3);
        QCOMPARE(t.FoldersCreated, 2);
        QCOMPARE(c.tree.read("dst/sub/b.txt"), QByteArray("beta"));
        QCOMPARE(c.tree.read("dst/.hidden"), QByteArray("h"));
        QVERIFY(c.tree.isDir("dst/sub/empty"));
        QCOMPARE(c.tree.mtimeSec("dst/a.txt"), 1500000000);
        QCOMPARE(c.tree.mtimeNsec("dst/a.txt"), 123456700L);
        QVERIFY(c.engine.logLines.contains("<small>Creation - " + c.target() + "/a.txt</small><br>"));
        QVERIFY(c.engine.logLines.contains("<small><i>Creation folder</i> - " + c.target() + "/sub</small><br>"));
        // The folder line comes before the files mirrored into it.
        QVERIFY(c.engine.logLines.indexOf("<small><i>Creation folder</i> - " + c.target() + "/sub</small><br>")
                < c.engine.logLines.indexOf("<small>Creation - " + c.target() + "/sub/b.txt</small><br>"));

        c.resetTotals();
        c.mirror();
        QCOMPARE(c.engine.totals().FilesExamined, 3);
        QCOMPARE(c.engine.totals().FilesCreated + c.engine.totals().FilesModified + c.engine.totals().FoldersCreated, 0);
        QVERIFY(c.engine.logLines.isEmpty());
    }

    void updateRule_data()
    {
        QTest::addColumn<bool>("nouveau");
        QTest::addColumn<qint64>("sourceOffset"); // ticks relative to the target's time
        QTest::addColumn<QByteArray>("targetData");
        QTest::addColumn<bool>("copied");
        QTest::newRow("date differs, same size") << false << qint64(10000000) << QByteArray("SOURCE") << true;
        QTest::newRow("target newer is overwritten") << false << qint64(-10000000) << QByteArray("SOURCE") << true;
        QTest::newRow("size differs, same date") << false << qint64(0) << QByteArray("longer!") << true;
        QTest::newRow("same date and size, other bytes") << false << qint64(0) << QByteArray("SOURCX") << false;
        QTest::newRow("newer only: one tick later") << true << qint64(1) << QByteArray("SOURCX") << true;
        QTest::newRow("newer only: equal") << true << qint64(0) << QByteArray("other size") << false;
        QTest::newRow("newer only: older") << true << qint64(-1) << QByteArray("SOURCX") << false;
    }
    void updateRule()
    {
        QFETCH(bool, nouveau);
        QFETCH(qint64, sourceOffset);
        QFETCH(QByteArray, targetData);
        QFETCH(bool, copied);
        TestCouple c;
        c.engine.flags.Nouveau = nouveau;
        const uint64_t targetTicks = 132000000000000000ULL + 4500; // sub-microsecond part kept
        QVERIFY(c.tree.write("src/f", "source"));
        QVERIFY(c.tree.write("dst/f", targetData));
        QVERIFY(setTicks(c.tree, "src/f", targetTicks + sourceOffset));
        QVERIFY(setTicks(c.tree, "dst/f", targetTicks));
        c.mirror();
        QCOMPARE(c.tree.read("dst/f") == "source", copied);
        QCOMPARE(c.engine.totals().FilesModified, copied ? 1 : 0);
        QCOMPARE(c.engine.logLines.size(), copied ? 1 : 0);
        if (copied)
            QCOMPARE(c.engine.logLines.first(), "<small>Modification - " + c.target() + "/f</small><br>");
    }

    void timesCompareAsFullUnsignedValues()
    {
        // Low 32-bit halves on either side of 2^31: 0x..7FFFFFF0 vs 0x..80000010.
        const uint64_t base = (uint64_t(0x01D5) << 48); // in 2020
        const uint64_t older = base + 0x7FFFFFF0ULL;
        const uint64_t newer = base + 0x80000010ULL;
        TestCouple c;
        c.engine.flags.Nouveau = true;
        QVERIFY(c.tree.write("src/up", "new"));
        QVERIFY(c.tree.write("dst/up", "old"));
        QVERIFY(c.tree.write("src/keep", "new"));
        QVERIFY(c.tree.write("dst/keep", "old"));
        QVERIFY(setTicks(c.tree, "src/up", newer));
        QVERIFY(setTicks(c.tree, "dst/up", older));
        QVERIFY(setTicks(c.tree, "src/keep", older));
        QVERIFY(setTicks(c.tree, "dst/keep", newer));
        c.mirror();
        QCOMPARE(c.tree.read("dst/up"), QByteArray("new"));
        QCOMPARE(c.tree.read("dst/keep"), QByteArray("old"));
    }

    void readOnlyTargetIsOverwritten()
    {
        TestCouple c;
        QVERIFY(c.tree.write("src/f", "fresh"));
        QVERIFY(c.tree.write("dst/f", "stale!"));
        QVERIFY(c.tree.setMode("dst/f", 0444));
        c.mirror();
        QCOMPARE(c.tree.read("dst/f"), QByteArray("fresh"));
        QCOMPARE(c.engine.totals().FilesModified, 1);
    }

    void moveMode()
    {
        TestCouple c;
        c.engine.flags.Deplacer = true;
        c.engine.flags.Nouveau = true;
        QVERIFY(c.tree.write("src/missing", "m"));
        QVERIFY(c.tree.write("src/newer", "new!"));
        QVERIFY(c.tree.write("dst/newer", "old"));
        QVERIFY(c.tree.write("src/older", "src"));
        QVERIFY(c.tree.write("dst/older", "target"));
        QVERIFY(c.tree.write("src/equal", "same"));
        QVERIFY(c.tree.write("dst/equal", "same"));
        QVERIFY(c.tree.setMtime("src/newer", 2000));
        QVERIFY(c.tree.setMtime("dst/newer", 1000));
        QVERIFY(c.tree.setMtime("src/older", 1000));
        QVERIFY(c.tree.setMtime("dst/older", 2000));
        QVERIFY(c.tree.setMtime("src/equal", 3000));
        QVERIFY(c.tree.setMtime("dst/equal", 3000));
        c.mirror();
        const RunTotals &t = c.engine.totals();
        QCOMPARE(t.FilesCreated, 1);
        QCOMPARE(t.FilesModified, 1);
        QCOMPARE(t.FilesRemoved, 3);
        // A target newer than its source but with other bytes does not hold
        // the source: both stay.
        QCOMPARE(c.tree.entries("src"), QByteArrayList{"older"});
        QCOMPARE(c.tree.read("dst/missing"), QByteArray("m"));
        QCOMPARE(c.tree.read("dst/newer"), QByteArray("new!"));
        QCOMPARE(c.tree.read("dst/older"), QByteArray("target"));
        QVERIFY(c.engine.logLines.contains("<small>Delete - " + c.target() + "/equal</small><br>"));
    }

    void moveModeKeepsSourceWhenTargetIsSameFileOrAFolder()
    {
        TestCouple c;
        c.engine.flags.Deplacer = true;
        c.engine.flags.Nouveau = true;
        QVERIFY(c.tree.write("src/f", "only copy"));
        QVERIFY(c.tree.write("src/g", "file"));
        QVERIFY(c.tree.mkdir("dst/g"));
        QVERIFY(c.tree.setMtime("src/g", 1000));
        // The couple's target is its own source: every file "is up to date".
        c.engine.mirror(c.source(), c.source());
        QCOMPARE(c.tree.read("src/f"), QByteArray("only copy"));
        c.mirror();
        QCOMPARE(c.tree.read("src/g"), QByteArray("file"));
        QVERIFY(c.tree.isDir("dst/g"));
        QCOMPARE(c.tree.read("dst/f"), QByteArray("only copy"));
        QVERIFY(!c.tree.exists("src/f"));
    }

    // A move deletes a source only when neither it nor its target has
    // changed since the walk listed them (the target's folder is listed
    // before its files are handled).
    void moveModeKeepsWhatChangedSinceItWasListed_data()
    {
        QTest::addColumn<QByteArray>("changed");
        QTest::newRow("source written meanwhile") << QByteArray("src");
        QTest::newRow("target written meanwhile") << QByteArray("dst");
    }

    void moveModeKeepsWhatChangedSinceItWasListed()
    {
        QFETCH(QByteArray, changed);
        TestCouple c;
        c.engine.flags.Deplacer = true;
        c.engine.flags.Nouveau = true;
        for (const QByteArray name : {"a", "b"}) {
            QVERIFY(c.tree.write("src/sub/" + name, "same"));
            QVERIFY(c.tree.write("dst/sub/" + name, "same"));
            QVERIFY(c.tree.setMtime("src/sub/" + name, 1000));
            QVERIFY(c.tree.setMtime("dst/sub/" + name, 2000));
        }
        // Yield 1 is the folder "sub"; yield 2 comes after its first file.
        c.engine.host.onYield = [&] {
            if (c.engine.host.yields == 2) {
                const QByteArray left = c.tree.exists("src/sub/a") ? "a" : "b";
                QVERIFY(c.tree.write(changed + "/sub/" + left, "written meanwhile"));
            }
        };
        c.mirror();
        QCOMPARE(c.engine.totals().FilesRemoved, 1);
        QCOMPARE(c.tree.entries("src/sub").size(), 1);
        const QByteArray kept = c.tree.entries("src/sub").first();
        QCOMPARE(c.tree.read(changed + "/sub/" + kept), QByteArray("written meanwhile"));
    }

    // Sub-folders are read ahead of the walk; one read more than a second
    // before the walk gets to it is read again, so a change made meanwhile
    // decides (this test waits that second).
    void aListingReadLongAgoIsReadAgain()
    {
        TestCouple c;
        c.engine.flags.Nouveau = true;
        QVERIFY(c.tree.write("src/sub/a", "source"));
        QVERIFY(c.tree.write("dst/sub/a", "target"));
        QVERIFY(c.tree.setMtime("src/sub/a", 1000));
        QVERIFY(c.tree.setMtime("dst/sub/a", 2000));
        c.engine.host.onYield = [&] {
            if (c.engine.host.yields == 1) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1100));
                QVERIFY(c.tree.setMtime("dst/sub/a", 500)); // now older than the source
            }
        };
        c.mirror();
        QCOMPARE(c.engine.totals().FilesModified, 1);
        QCOMPARE(c.tree.read("dst/sub/a"), QByteArray("source"));
    }

    void temporariesOfOthersAreLeftAlone()
    {
        // Young temporary files may be another copy's at work, and nothing
        // in a source is ever deleted: all stay, none is mirrored.
        TestCouple c;
        QVERIFY(c.tree.write("src/sub/f", "f"));
        for (const QByteArray folder : {"dst", "dst/sub", "src/sub"})
            QVERIFY(c.tree.write(folder + "/.vell-tmp-Ab3dE9", "partial"));
        c.engine.flags.Effacer = true;
        c.mirrorAndRemove();
        QCOMPARE(c.tree.entries("dst"), (QByteArrayList{".vell-tmp-Ab3dE9", "sub"}));
        QCOMPARE(c.tree.entries("dst/sub"), (QByteArrayList{".vell-tmp-Ab3dE9", "f"}));
        QCOMPARE(c.tree.entries("src/sub"), (QByteArrayList{".vell-tmp-Ab3dE9", "f"}));
    }

    void aSpecialTargetIsLeftAlone()
    {
        TestCouple c;
        QVERIFY(c.tree.write("src/sub/p", "a file"));
        QVERIFY(c.tree.mkdir("dst/sub"));
        QVERIFY(c.tree.mkfifo("dst/sub/p"));
        c.mirror();
        QCOMPARE(c.engine.totals().FilesCreated, 0);
        QCOMPARE(c.engine.totals().FilesModified, 0);
        struct stat st;
        QVERIFY(::lstat(c.tree.path("dst/sub/p").constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    }

    void moveWithSecurityCopiesPermissionsThenDeletes()
    {
        TestCouple c;
        c.engine.flags.Deplacer = true;
        c.engine.flags.Nouveau = true;
        c.engine.settings.CopierSecurite = true;
        QVERIFY(c.tree.write("src/f", "x"));
        QVERIFY(c.tree.setMode("src/f", 0640));
        c.mirror();
        const RunTotals &t = c.engine.totals();
        QCOMPARE(t.FilesCreated, 1);
        QCOMPARE(t.SecuritiesCopied, 1);
        QCOMPARE(t.FilesRemoved, 1);
        QCOMPARE(c.tree.mode("dst/f"), 0640u);
        QVERIFY(!c.tree.exists("src/f"));
    }

    void subFolderSwitch()
    {
        TestCouple c;
        c.engine.settings.MiroirSousDossiers = false;
        QVERIFY(c.tree.write("src/plain", "p"));
        QVERIFY(c.tree.write("src/.hidden", "h"));
        QVERIFY(c.tree.write("src/.hiddir/x", "x"));
        QVERIFY(c.tree.write("src/dir/y", "y"));
        c.mirror();
        QCOMPARE(c.tree.entries("dst"), QByteArrayList{"plain"});
        QCOMPARE(c.engine.totals().FilesExamined, 1);

        c.engine.settings.MiroirSousDossiers = true;
        c.mirror();
        QCOMPARE(c.tree.read("dst/.hiddir/x"), QByteArray("x"));
        QCOMPARE(c.tree.read("dst/.hidden"), QByteArray("h"));
    }

    void attributesOfUpToDateFilesAndFolders()
    {
        TestCouple c;
        c.engine.settings.CopierAttributs = true;
        QVERIFY(c.tree.write("src/f", "x"));
        QVERIFY(c.tree.write("dst/f", "x"));
        QVERIFY(c.tree.setMode("src/f", 0444));
        QVERIFY(c.tree.setMtime("src/f", 5000));
        QVERIFY(c.tree.setMtime("dst/f", 5000));
        QVERIFY(c.tree.mkdir("src/d"));
        QVERIFY(c.tree.mkdir("dst/d"));
        QVERIFY(c.tree.setXattr("src/d", "user.DOSATTRIB", QByteArray("0x14", 5))); // folder + system
        QVERIFY(c.tree.setXattr("dst/d", "user.DOSATTRIB", QByteArray("0x10", 5)));
        c.mirror();
        QCOMPARE(c.engine.totals().AttributesCopied, 2);
        QCOMPARE(c.tree.mode("dst/f") & 0200, 0u);
        QVERIFY(c.engine.logLines.contains("<small>Modification attributes - " + c.target() + "/f</small><br>"));
        QVERIFY(c.engine.logLines.contains("<small><i>Modification attributes folder</i> - " + c.target()
                                           + "/d</small><br>"));
        c.resetTotals();
        c.mirror();
        QCOMPARE(c.engine.totals().AttributesCopied, 0);

        // Without file lines wanted, the change is made but not logged.
        QVERIFY(c.tree.setMode("src/f", 0644));
        c.engine.settings.FichiersLogs = false;
        c.resetTotals();
        c.mirror();
        QCOMPARE(c.engine.totals().AttributesCopied, 1);
        QVERIFY(c.engine.logLines.isEmpty());
    }

    void permissionChoices_data()
    {
        QTest::addColumn<bool>("folders");
        QTest::addColumn<bool>("everything");
        QTest::addColumn<int>("written");
        QTest::newRow("when created or modified") << false << false << 0;
        QTest::newRow("folders") << true << false << 1;
        QTest::newRow("folders and files") << false << true << 2;
    }
    void permissionChoices()
    {
        QFETCH(bool, folders);
        QFETCH(bool, everything);
        QFETCH(int, written);
        TestCouple c;
        c.engine.settings.CopierSecurite = true;
        c.engine.settings.CopierSecuriteDossiers = folders;
        c.engine.settings.CopierSecuriteTout = everything;
        QVERIFY(c.tree.write("src/d/f", "x"));
        QVERIFY(c.tree.write("dst/d/f", "x"));
        QVERIFY(c.tree.setMtime("src/d/f", 100));
        QVERIFY(c.tree.setMtime("dst/d/f", 100));
        QVERIFY(c.tree.setMode("src/d/f", 0600));
        QVERIFY(c.tree.setMode("src/d", 0700));
        c.mirror();
        QCOMPARE(c.engine.totals().SecuritiesCopied, written);
        QCOMPARE(c.engine.logLines.size(), written);
        if (everything) {
            QCOMPARE(c.tree.mode("dst/d/f"), 0600u);
            QVERIFY(c.engine.logLines.contains("<small>Modified security - " + c.target() + "/d/f</small><br>"));
        }
        if (folders || everything) {
            QCOMPARE(c.tree.mode("dst/d"), 0700u);
            QVERIFY(c.engine.logLines.contains("<small><i>Modified security folder</i> - " + c.target()
                                               + "/d</small><br>"));
        }
        // Equal permissions: nothing written, nothing counted.
        c.resetTotals();
        c.mirror();
        QCOMPARE(c.engine.totals().SecuritiesCopied + c.engine.totals().SecuritiesNotCopied, 0);
    }

    void newFolderGetsPermissionsAndMacintoshInfo()
    {
        TestCouple c;
        c.engine.settings.CopierSecurite = true;
        QVERIFY(c.tree.mkdir("src/d"));
        QVERIFY(c.tree.setMode("src/d", 0750));
        QVERIFY(c.tree.setStream("src/d", "AFP_AfpInfo", QByteArray(60, 'A')));
        c.mirror();
        QCOMPARE(c.engine.totals().FoldersCreated, 1);
        QCOMPARE(c.engine.totals().SecuritiesCopied, 1);
        QCOMPARE(c.tree.mode("dst/d"), 0750u);
        QCOMPARE(c.tree.stream("dst/d", "AFP_AfpInfo"), QByteArray(60, 'A'));
        QCOMPARE(c.engine.logLines.size(), 1); // the permission copy writes no line
    }

    void stopIsSeenAfterTheCurrentEntry()
    {
        TestCouple c;
        for (int i = 0; i < 10; ++i)
            QVERIFY(c.tree.write("src/deep/f" + QByteArray::number(i), "x"));
        c.engine.host.stopAfterYields = 4; // the folder entry, then three files
        c.mirror();
        QCOMPARE(c.engine.totals().FilesCreated, 3);
        QCOMPARE(c.engine.totals().FilesExamined, 3);
        QCOMPARE(c.tree.entries("dst/deep").size(), 3);
    }

    void performanceSetsYieldCount()
    {
        TestCouple c;
        QVERIFY(c.tree.write("src/f", "x"));
        c.engine.settings.Performance = 100;
        c.mirror();
        QCOMPARE(c.engine.host.lastTimes, 100);
        c.engine.host.yields = 0;
        c.engine.settings.Performance = 0;
        c.mirror();
        QCOMPARE(c.engine.host.yields, 0);
    }

    void linksAreMirroredAsLinksAndNeverFollowed()
    {
        TestCouple c;
        QVERIFY(c.tree.write("outside/secret", "s"));
        QVERIFY(c.tree.symlink("src/tooutside", "../outside"));
        QVERIFY(c.tree.symlink("src/dangling", "nowhere"));
        QVERIFY(c.tree.mkdir("src/realdir"));
        QVERIFY(c.tree.write("src/realdir/f", "f"));
        QVERIFY(c.tree.symlink("dst/realdir", "../outside")); // a link where the source has a folder
        c.mirror();
        QCOMPARE(c.tree.linkText("dst/tooutside"), QByteArray("../outside"));
        QCOMPARE(c.tree.linkText("dst/dangling"), QByteArray("nowhere"));
        QVERIFY(c.tree.isDir("dst/realdir"));
        QCOMPARE(c.tree.read("dst/realdir/f"), QByteArray("f"));
        QCOMPARE(c.tree.entries("outside"), QByteArrayList{"secret"});
        QCOMPARE(c.engine.totals().FilesCreated, 3);
    }

    void specialFilesAreLeftOut()
    {
        TestCouple c;
        QVERIFY(c.tree.mkfifo("src/pipe"));
        QVERIFY(c.tree.write("src/f", "x"));
        c.mirror(); // would block forever if the FIFO were opened
        QCOMPARE(c.engine.totals().FilesExamined, 1);
        QCOMPARE(c.tree.entries("dst"), QByteArrayList{"f"});
    }

    void targetInsideSourceIsNotMirroredIntoItself()
    {
        TestTree tree;
        EngineFixture engine;
        QVERIFY(tree.write("data/a", "a"));
        QVERIFY(tree.mkdir("data/backup"));
        engine.mirror(tree.pathText("data"), tree.pathText("data/backup"));
        QCOMPARE(tree.entries("data/backup"), QByteArrayList{"a"});
        engine.mirror(tree.pathText("data"), tree.pathText("data/backup"));
        QCOMPARE(tree.entries("data/backup"), QByteArrayList{"a"});
    }

    void namesThatAreNotUtf8SurviveByteForByte()
    {
        TestCouple c;
        const QByteArray name("caf\xe9 \xff\xfe.txt");
        QVERIFY(c.tree.write("src/" + name, "bytes"));
        QVERIFY(c.tree.write("src/\xce\xb1\xce\xb2\xce\xb3/\xd0\x96", "greek"));
        c.mirror();
        QCOMPARE(c.tree.read("dst/" + name), QByteArray("bytes"));
        QCOMPARE(c.tree.read("dst/\xce\xb1\xce\xb2\xce\xb3/\xd0\x96"), QByteArray("greek"));
        c.resetTotals();
        c.mirror();
        QCOMPARE(c.engine.totals().FilesCreated, 0);
    }

    void thousandLevelsWithFewDescriptors()
    {
        // 1000 levels of 9-byte names: the paths are longer than PATH_MAX.
        TestCouple c;
        const QByteArray level = "level-abc";
        QVERIFY(makeChain(c.tree.path("src"), level, 1000, "bottom.txt", "deep"));
        struct rlimit saved;
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
        struct rlimit tight = saved;
        tight.rlim_cur = 200;
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &tight) == 0);
        c.mirror();
        c.engine.removeObsolete(c.source(), c.target());
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &saved) == 0);
        QCOMPARE(c.engine.totals().FoldersCreated, 1000);
        QCOMPARE(c.engine.totals().FilesCreated, 1);
        QCOMPARE(c.engine.totals().FilesRemoved, 0);
        QCOMPARE(readChain(c.tree.path("dst"), level, 1000, "bottom.txt"), QByteArray("deep"));
        // Too deep for the temporary folder's own clean-up.
        removeChain(c.tree.path("src"), level, 1000, "bottom.txt");
        removeChain(c.tree.path("dst"), level, 1000, "bottom.txt");
    }

private:
    // Builds root/name/name/.../file (depth levels) one openat at a time.
    static bool makeChain(const QByteArray &root, const QByteArray &name, int depth, const QByteArray &file,
                          const QByteArray &data)
    {
        int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; fd >= 0 && i < depth; ++i) {
            if (::mkdirat(fd, name.constData(), 0755) != 0) {
                ::close(fd);
                return false;
            }
            const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(fd);
            fd = next;
        }
        if (fd < 0)
            return false;
        const int out = ::openat(fd, file.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ::close(fd);
        if (out < 0)
            return false;
        const bool ok = ::write(out, data.constData(), size_t(data.size())) == data.size();
        ::close(out);
        return ok;
    }

    static void removeChain(const QByteArray &root, const QByteArray &name, int depth, const QByteArray &file)
    {
        std::vector<int> fds{::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
        for (int i = 0; fds.back() >= 0 && i < depth; ++i)
            fds.push_back(::openat(fds.back(), name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fds.back() >= 0)
            ::unlinkat(fds.back(), file.constData(), 0);
        for (size_t i = fds.size(); i-- > 0;) {
            if (fds[i] < 0)
                continue;
            ::close(fds[i]);
            if (i > 0 && fds[i - 1] >= 0)
                ::unlinkat(fds[i - 1], name.constData(), AT_REMOVEDIR);
        }
    }

    static QByteArray readChain(const QByteArray &root, const QByteArray &name, int depth, const QByteArray &file)
    {
        int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; fd >= 0 && i < depth; ++i) {
            const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(fd);
            fd = next;
        }
        if (fd < 0)
            return {};
        const int in = ::openat(fd, file.constData(), O_RDONLY | O_CLOEXEC);
        ::close(fd);
        if (in < 0)
            return {};
        char buffer[64];
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        ::close(in);
        return n < 0 ? QByteArray() : QByteArray(buffer, n);
    }
};

QTEST_APPLESS_MAIN(TestFolderMirror)
#include "tst_foldermirror.moc"
