#include "common/enginefixture.h"
#include "common/testtree.h"

#include <QTest>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vell;

namespace {

constexpr uid_t Nobody = 65534;

// Runs `walks` in a child process where permissions apply: as uid and gid
// 65534 when the tests run as root, as the same user otherwise. Returns
// what `walks` returned (0 to 99), 100 and up when the child could not drop
// its rights, or -1 when it died of a signal.
int runWhereDenied(const std::function<int()> &walks)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return -2;
    if (pid == 0) {
        if (::geteuid() == 0
            && (::setgroups(0, nullptr) != 0 || ::setresgid(Nobody, Nobody, Nobody) != 0
                || ::setresuid(Nobody, Nobody, Nobody) != 0))
            ::_exit(100);
        ::_exit(walks());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return -3;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool chmodAll(const TestTree &tree, const QByteArrayList &rels, mode_t mode)
{
    for (const QByteArray &rel : rels)
        if (::chmod(tree.path(rel).constData(), mode) != 0)
            return false;
    return true;
}

// Puts the modes back so that the temporary folder can be removed.
struct ModeRestorer
{
    const TestTree &tree;
    QByteArrayList rels;
    ~ModeRestorer() { (void)chmodAll(tree, rels, 0777); }
};

} // namespace

// The walks as an ordinary user meets them: folders and files it may not
// read or write. Nothing may crash, and a source that cannot be read is
// never taken for a source that is gone.
class TestPermissionDenied : public QObject
{
    Q_OBJECT
private slots:
    void unreadableSourceFolderKeepsItsCopy()
    {
        TestCouple c;
        QVERIFY(c.tree.write("src/open/f", "o"));
        QVERIFY(c.tree.write("src/locked/g", "l"));
        QVERIFY(c.tree.write("dst/locked/g", "an earlier copy"));
        QVERIFY(c.tree.mkdir("dst/open"));
        const QByteArrayList writable{"", "dst", "dst/open", "dst/locked"};
        QVERIFY(chmodAll(c.tree, writable, 0777));
        const ModeRestorer restorer{c.tree, {"src/locked"}};
        QVERIFY(chmodAll(c.tree, {"src/locked"}, 0));
        const int removed = runWhereDenied([&] {
            c.mirrorAndRemove();
            return int(c.engine.totals().FilesRemoved + c.engine.totals().FoldersRemoved);
        });
        QCOMPARE(removed, 0);
        QCOMPARE(c.tree.read("dst/locked/g"), QByteArray("an earlier copy"));
        QCOMPARE(c.tree.read("dst/open/f"), QByteArray("o"));
    }

    void unreadableSourceFileIsNotCopied()
    {
        TestCouple c;
        QVERIFY(c.tree.write("src/plain", "p"));
        QVERIFY(c.tree.write("src/secret", "s"));
        QVERIFY(chmodAll(c.tree, {"", "dst"}, 0777));
        QVERIFY(chmodAll(c.tree, {"src/secret"}, 0));
        const int created = runWhereDenied([&] {
            c.mirror();
            return int(c.engine.totals().FilesCreated);
        });
        QCOMPARE(created, 1);
        QCOMPARE(c.tree.entries("dst"), QByteArrayList{"plain"}); // no temporary file left either
    }

    void readOnlyTargetFolderGetsNothingAndLosesNothing()
    {
        TestCouple c;
        QVERIFY(c.tree.write("src/new", "n"));
        QVERIFY(c.tree.write("src/changed", "new data"));
        QVERIFY(c.tree.write("dst/changed", "old"));
        QVERIFY(c.tree.write("dst/gone", "g"));
        QVERIFY(chmodAll(c.tree, {""}, 0777));
        const ModeRestorer restorer{c.tree, {"dst"}};
        QVERIFY(chmodAll(c.tree, {"dst"}, 0555));
        const int done = runWhereDenied([&] {
            c.mirrorAndRemove();
            const RunTotals &t = c.engine.totals();
            return int(t.FilesCreated + t.FilesModified + t.FilesRemoved);
        });
        QCOMPARE(done, 0);
        QCOMPARE(c.tree.entries("dst"), (QByteArrayList{"changed", "gone"}));
        QCOMPARE(c.tree.read("dst/changed"), QByteArray("old"));
    }

    void unreadableTargetFolderIsLeftAsItIs()
    {
        TestCouple c;
        QVERIFY(c.tree.write("src/sub/f", "f"));
        QVERIFY(c.tree.write("dst/sub/old", "o"));
        QVERIFY(c.tree.write("dst/gone/x", "x"));
        QVERIFY(chmodAll(c.tree, {"", "dst", "dst/gone"}, 0777));
        const ModeRestorer restorer{c.tree, {"dst/sub"}};
        QVERIFY(chmodAll(c.tree, {"dst/sub"}, 0));
        const int removed = runWhereDenied([&] {
            c.mirrorAndRemove();
            return int(c.engine.totals().FilesRemoved);
        });
        QCOMPARE(removed, 1); // dst/gone/x only
        QVERIFY(!c.tree.exists("dst/gone/x"));
        QVERIFY(chmodAll(c.tree, {"dst/sub"}, 0755));
        QCOMPARE(c.tree.entries("dst/sub"), QByteArrayList{"old"});
    }
};

QTEST_APPLESS_MAIN(TestPermissionDenied)
#include "tst_permissiondenied.moc"
