#include "platform/compare.h"
#include "platform/mounts.h"
#include "platform/uniquefd.h"

#include "common/testtree.h"

#include <QTest>
#include <fcntl.h>

using namespace vell;
using namespace vell::platform;

// What the walks ask of mounts and of content before they delete anything.
class TestMounts : public QObject
{
    Q_OBJECT

    static UniqueFd open(const QByteArray &path) { return UniqueFd(::open(path.constData(), O_RDONLY | O_DIRECTORY)); }

private slots:
    void mountRootsAndTheSystemRoot()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("sub"));
        const UniqueFd root = open("/");
        const UniqueFd folder = open(tree.root());
        bool mount = false;
        QCOMPARE(isMountRoot(root.get(), "proc", mount), 0);
        QVERIFY(mount);
        QCOMPARE(isMountRoot(folder.get(), "sub", mount), 0);
        QVERIFY(!mount);
        QVERIFY(isMountRoot(folder.get(), "gone", mount) < 0);
        QVERIFY(isSystemRoot(root.get()));
        QVERIFY(!isSystemRoot(folder.get()));

        const UniqueFd sub = open(tree.path("sub"));
        QVERIFY(!fileSystemId(folder.get()).isEmpty());
        QCOMPARE(fileSystemId(sub.get()), fileSystemId(folder.get()));
        QVERIFY(fileSystemId(open("/proc").get()) != fileSystemId(folder.get()));
    }

    void emptyFolders()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("empty"));
        QVERIFY(tree.write("full/.hidden", ""));
        bool empty = false;
        QCOMPARE(isEmptyFolder(open(tree.path("empty")).get(), empty), 0);
        QVERIFY(empty);
        QCOMPARE(isEmptyFolder(open(tree.path("full")).get(), empty), 0);
        QVERIFY(!empty);
    }

    void unmountedFstabMountPoints_data()
    {
        QTest::addColumn<QByteArray>("fstab");
        QTest::addColumn<QByteArray>("folder"); // below the test tree; "/proc" stays as it is
        QTest::addColumn<bool>("unmounted");
        QTest::newRow("listed, nothing mounted") << QByteArray("UUID=1 @/disk ext4 noauto 0 2\n") << QByteArray("disk") << true;
        QTest::newRow("trailing slash and tabs") << QByteArray("LABEL=b\t@/disk/\txfs\tdefaults\n") << QByteArray("disk") << true;
        QTest::newRow("escaped blank") << QByteArray("/dev/sdb1 @/my\\040disk vfat user 0 0\n") << QByteArray("my disk") << true;
        QTest::newRow("mounted") << QByteArray("proc /proc proc defaults 0 0\n") << QByteArray("/proc") << false;
        QTest::newRow("not listed") << QByteArray("UUID=1 @/other ext4 defaults 0 2\n") << QByteArray("disk") << false;
        QTest::newRow("commented") << QByteArray("# UUID=1 @/disk ext4 defaults 0 2\n") << QByteArray("disk") << false;
        QTest::newRow("swap") << QByteArray("/dev/sda2 @/disk swap sw 0 0\n") << QByteArray("disk") << false;
        QTest::newRow("no fstab") << QByteArray() << QByteArray("disk") << false;
    }
    void unmountedFstabMountPoints()
    {
        QFETCH(QByteArray, fstab);
        QFETCH(QByteArray, folder);
        QFETCH(bool, unmounted);
        TestTree tree;
        QVERIFY(tree.mkdir("disk"));
        QVERIFY(tree.mkdir("my disk"));
        if (!fstab.isEmpty())
            QVERIFY(tree.write("fstab", fstab.replace("@", tree.root())));
        const QByteArray path = folder.startsWith('/') ? folder : tree.path(folder);
        QCOMPARE(isUnmountedFstabMountPoint(path, tree.path("fstab").constData()), unmounted);
    }

    void sameContent_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("equal files") << QByteArray("file:same bytes") << QByteArray("file:same bytes") << true;
        QTest::newRow("empty files") << QByteArray("file:") << QByteArray("file:") << true;
        QTest::newRow("same size, other bytes") << QByteArray("file:abcd") << QByteArray("file:abce") << false;
        QTest::newRow("other size") << QByteArray("file:abc") << QByteArray("file:abcd") << false;
        QTest::newRow("equal links") << QByteArray("link:t") << QByteArray("link:t") << true;
        QTest::newRow("other links") << QByteArray("link:t") << QByteArray("link:u") << false;
        QTest::newRow("file and link") << QByteArray("file:t") << QByteArray("link:t") << false;
        QTest::newRow("file and folder") << QByteArray("file:t") << QByteArray("dir:") << false;
    }
    void sameContent()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(bool, same);
        TestTree tree;
        for (const auto &[name, spec] : {std::pair{QByteArray("a"), a}, std::pair{QByteArray("b"), b}}) {
            const QByteArray body = spec.mid(spec.indexOf(':') + 1);
            if (spec.startsWith("file:"))
                QVERIFY(tree.write(name, body));
            else if (spec.startsWith("link:"))
                QVERIFY(tree.symlink(name, body));
            else
                QVERIFY(tree.mkdir(name));
        }
        const UniqueFd dir = open(tree.root());
        bool result = !same;
        QCOMPARE(platform::sameContent(dir.get(), "a", dir.get(), "b", result), 0);
        QCOMPARE(result, same);
    }

    void longComparisonsCanStop()
    {
        TestTree tree;
        const QByteArray big(3 << 20, 'x');
        QVERIFY(tree.write("a", big));
        QVERIFY(tree.write("b", big));
        const UniqueFd dir = open(tree.root());
        bool same = false;
        int calls = 0;
        QCOMPARE(platform::sameContent(dir.get(), "a", dir.get(), "b", same, [&calls] { return ++calls < 2; }),
                 -ECANCELED);
        QCOMPARE(calls, 2);
        QCOMPARE(platform::sameContent(dir.get(), "a", dir.get(), "b", same), 0);
        QVERIFY(same);
    }
};

QTEST_APPLESS_MAIN(TestMounts)
#include "tst_mounts.moc"
