#include "common/testtree.h"
#include "platform/compare.h"
#include "platform/fileops.h"
#include "platform/mounts.h"
#include "platform/probe.h"
#include "platform/uniquefd.h"
#include <QTest>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>

using namespace vell::platform;
using namespace Qt::StringLiterals;

namespace {
UniqueFd folderFd(const QByteArray &path) { return UniqueFd(openFolderPath(path)); }
ino_t inodeOf(int fd) { struct stat st; return ::fstat(fd, &st) == 0 ? st.st_ino : 0; }
// Rows: result 0 opens a/b/c, or the root itself for ""; the answers of probeFolder and probeEntry; a folder
// below the test tree ("/proc" as it is); "a" and "b" as TestTree::build makes them.
struct BeneathCase { QByteArray rel; int result; };
struct ProbeCase { QByteArray rel; int folder, entry; };
struct FstabCase { QByteArray fstab, folder; bool unmounted; };
struct SameCase { QByteArray a, b; int stopAt; bool same; }; // stopAt: the call of proceed that says stop
struct Tree : TestTree { const UniqueFd fd{openFolderPath(root())}; int dir() const { return fd.get(); } };
} // namespace

// Folders as the walks open, probe and compare them, and what they ask of mounts before they delete anything.
class TestFolders : public QObject
{
    Q_OBJECT
private slots:
    void openBeneath_data()
    {
        QTest::addColumn<BeneathCase>("c");
        QTest::newRow("plain") << BeneathCase{"a/b/c", 0};
        QTest::newRow("doubled slashes") << BeneathCase{"a//b/c", 0};
        QTest::newRow("empty: the root") << BeneathCase{{}, 0};
        QTest::newRow("link component") << BeneathCase{"a/jump/c", -ELOOP};
        QTest::newRow("link at the end") << BeneathCase{"a/b/linkc", -ELOOP};
        QTest::newRow("file component") << BeneathCase{"a/file/c", -ENOTDIR};
        QTest::newRow("climbs out") << BeneathCase{"a/../../x", -EXDEV};
        QTest::newRow("absolute") << BeneathCase{"/tmp", -EXDEV};
        QTest::newRow("missing") << BeneathCase{"a/nothing", -ENOENT};
    }
    void openBeneath()
    {
        QFETCH(BeneathCase, c);
        Tree tree;
        QVERIFY(tree.build({"a/b/c/", "a/jump->b", "a/b/linkc->c", "a/file"}));
        const UniqueFd fd(openFolderBeneath(tree.dir(), c.rel));
        QCOMPARE(fd.valid() ? 0 : fd.get(), c.result);
        const UniqueFd expected(openFolderPath(tree.path(c.rel.isEmpty() ? "" : "a/b/c")));
        QVERIFY(c.result != 0 || (inodeOf(fd.get()) == inodeOf(expected.get()) && fd.get() != tree.dir()));
    }
    void openBeneathLongerThanPathMax()
    {
        Tree tree;
        const QByteArray name(250, 'x'), rel = QByteArrayList(18, name).join('/');
        QVERIFY(rel.size() > PATH_MAX && tree.makeChain({}, name, 18, "f"));
        const UniqueFd fd(openFolderBeneath(tree.dir(), rel));
        QVERIFY2(fd.valid(), qPrintable(QString::number(fd.get())));
        QCOMPARE(::faccessat(fd.get(), "f", F_OK, AT_SYMLINK_NOFOLLOW), 0); // the last folder, the one holding f
        // The component walk refuses links too.
        QVERIFY(::symlinkat(".", fd.get(), "loop") == 0 && ::mkdirat(fd.get(), "end", 0755) == 0);
        QCOMPARE(openFolderBeneath(tree.dir(), rel + "/loop/end"), -ELOOP);
        QVERIFY(UniqueFd(openFolderBeneath(tree.dir(), rel + "/end")).valid());
    }
    void singleEntryCalls()
    {
        Tree tree;
        QVERIFY(tree.build({"full/inside", "f", "l->full", "fifo|"}));
        const UniqueFd full(openFolderAt(tree.dir(), "full"));
        QVERIFY(full.valid());
        QVERIFY(openFolderAt(tree.dir(), "l") == -ELOOP && openFolderAt(tree.dir(), "f") == -ENOTDIR);
        QCOMPARE(openFolderAt(tree.dir(), "fifo"), -ENOTDIR); // never blocks on the FIFO
        // The user's own path may go through links.
        QCOMPARE(inodeOf(UniqueFd(openFolderPath(tree.path("l"))).get()), inodeOf(full.get()));
        QCOMPARE(openFolderPath(tree.path("f")), -ENOTDIR);
        QVERIFY(flushFolder(tree.dir()) == 0 && flushFile(tree.dir(), "f") == 0);
        QVERIFY(flushFile(tree.dir(), "fifo") == -EINVAL && flushFile(tree.dir(), "missing") == -ENOENT);
        QVERIFY(createFolder(tree.dir(), "new") == 0 && tree.isDir("new"));
        QVERIFY(removeFolder(tree.dir(), "new") == 0 && !tree.exists("new"));
        QVERIFY(removeFolder(tree.dir(), "full") == -ENOTEMPTY && deleteFile(tree.dir(), "full") == -EISDIR);
        QVERIFY(deleteFile(tree.dir(), "l") == 0 && tree.exists("full/inside")); // the link went, not what it named
        QVERIFY(deleteFile(tree.dir(), "f") == 0 && !tree.exists("f"));
        // A duplicate no child inherits.
        const UniqueFd copy(duplicateFd(tree.dir()));
        QVERIFY(copy.valid() && copy.get() != tree.dir() && inodeOf(copy.get()) == inodeOf(tree.dir()));
        QCOMPARE(::fcntl(copy.get(), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
        QCOMPARE(duplicateFd(-1), -EBADF);
    }
    // What the configuration asks of a folder or marker the user names: by path, and below a folder descriptor.
    void probes_data()
    {
        QTest::addColumn<ProbeCase>("c");
        QTest::newRow("empty folder") << ProbeCase{"empty", 0, 0};
        QTest::newRow("folder with a file") << ProbeCase{"full", 0, 0};
        QTest::newRow("link to a folder") << ProbeCase{"link", 0, 0};
        QTest::newRow("a file") << ProbeCase{"full/f.txt", -ENOTDIR, 0};
        QTest::newRow("missing") << ProbeCase{"gone", -ENOENT, -ENOENT};
        QTest::newRow("dangling link") << ProbeCase{"dangling", -ENOENT, 0};
        QTest::newRow("fifo") << ProbeCase{"fifo", -ENOTDIR, 0};
        QTest::newRow("NUL inside") << ProbeCase{QByteArray("full\0/f.txt", 11), -EINVAL, -EINVAL};
        QTest::newRow("unreadable folder") << ProbeCase{"locked", RunningAsRoot() ? 0 : -EACCES, 0};
    }
    void probes()
    {
        QFETCH(ProbeCase, c);
        Tree tree;
        QVERIFY(tree.build({"empty/", "full/f.txt", "fifo|", "link->full", "dangling->gone", "locked/%311"}));
        QCOMPARE(probeFolder(AT_FDCWD, tree.path(c.rel)), c.folder);
        QCOMPARE(probeEntry(AT_FDCWD, tree.path(c.rel)), c.entry);
        QCOMPARE(probeFolder(tree.dir(), c.rel), c.folder);
    }
    void mountRootsAndEmptyFolders()
    {
        Tree tree;
        QVERIFY(tree.build({"sub/", "full/.hidden="}));
        const UniqueFd root = folderFd("/");
        bool mount = false;
        QVERIFY(isMountRoot(root.get(), "proc", mount) == 0 && mount);
        QVERIFY(isMountRoot(tree.dir(), "sub", mount) == 0 && !mount);
        QVERIFY(isMountRoot(tree.dir(), "gone", mount) < 0);
        QVERIFY(isSystemRoot(root.get()) && !isSystemRoot(tree.dir()));
        QVERIFY(!fileSystemId(tree.dir()).isEmpty());
        QCOMPARE(fileSystemId(folderFd(tree.path("sub")).get()), fileSystemId(tree.dir()));
        QVERIFY(fileSystemId(folderFd("/proc").get()) != fileSystemId(tree.dir()));
        bool empty = false;
        QVERIFY(isEmptyFolder(folderFd(tree.path("sub")).get(), empty) == 0 && empty);
        QVERIFY(isEmptyFolder(folderFd(tree.path("full")).get(), empty) == 0 && !empty);
    }
    void unmountedFstabMountPoints_data()
    {
        QTest::addColumn<FstabCase>("c");
        QTest::newRow("listed, nothing mounted") << FstabCase{"UUID=1 @/disk ext4 noauto 0 2\n", "disk", true};
        QTest::newRow("trailing slash and tabs") << FstabCase{"LABEL=b\t@/disk/\txfs\tdefaults\n", "disk", true};
        QTest::newRow("escaped blank") << FstabCase{"/dev/sdb1 @/my\\040disk vfat user 0 0\n", "my disk", true};
        QTest::newRow("mounted") << FstabCase{"proc /proc proc defaults 0 0\n", "/proc", false};
        QTest::newRow("not listed") << FstabCase{"UUID=1 @/other ext4 defaults 0 2\n", "disk", false};
        QTest::newRow("commented") << FstabCase{"# UUID=1 @/disk ext4 defaults 0 2\n", "disk", false};
        QTest::newRow("swap") << FstabCase{"/dev/sda2 @/disk swap sw 0 0\n", "disk", false};
        QTest::newRow("no fstab") << FstabCase{{}, "disk", false};
    }
    void unmountedFstabMountPoints()
    {
        QFETCH(FstabCase, c);
        TestTree tree;
        QVERIFY(tree.mkdir("disk") && tree.mkdir("my disk"));
        QVERIFY(c.fstab.isEmpty() || tree.write("fstab", c.fstab.replace("@", tree.root())));
        const QByteArray path = c.folder.startsWith('/') ? c.folder : tree.path(c.folder);
        QCOMPARE(isUnmountedFstabMountPoint(path, tree.path("fstab").constData()), c.unmounted);
    }
    // A long comparison asks to go on between chunks and stops when told.
    void comparesContent_data()
    {
        QTest::addColumn<SameCase>("c");
        const QByteArray big(3 << 20, 'x');
        QTest::newRow("equal files") << SameCase{"a=same bytes", "b=same bytes", 0, true};
        QTest::newRow("empty files") << SameCase{"a=", "b=", 0, true};
        QTest::newRow("same size, other bytes") << SameCase{"a=abcd", "b=abce", 0, false};
        QTest::newRow("other size") << SameCase{"a=abc", "b=abcd", 0, false};
        QTest::newRow("equal links") << SameCase{"a->t", "b->t", 0, true};
        QTest::newRow("other links") << SameCase{"a->t", "b->u", 0, false};
        QTest::newRow("file and link") << SameCase{"a=t", "b->t", 0, false};
        QTest::newRow("file and folder") << SameCase{"a=t", "b/", 0, false};
        QTest::newRow("long, equal") << SameCase{"a=" + big, "b=" + big, 0, true};
        QTest::newRow("long, stopped") << SameCase{"a=" + big, "b=" + big, 2, false};
    }
    void comparesContent()
    {
        QFETCH(SameCase, c);
        Tree tree;
        QVERIFY(tree.build({c.a, c.b}));
        bool same = !c.same;
        int calls = 0;
        const std::function<bool()> proceed = [&] { return ++calls < c.stopAt; };
        const int rc = sameContent(tree.dir(), "a", tree.dir(), "b", same, c.stopAt ? proceed : nullptr);
        QCOMPARE(rc, c.stopAt ? -ECANCELED : 0);
        QVERIFY(c.stopAt ? calls == c.stopAt : same == c.same);
    }
};
QTEST_APPLESS_MAIN(TestFolders)
#include "tst_folders.moc"
