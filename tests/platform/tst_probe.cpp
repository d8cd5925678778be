#include "common/testtree.h"
#include "platform/probe.h"

#include <QTest>
#include <cerrno>
#include <fcntl.h>

using namespace vell::platform;

class TestProbe : public QObject
{
    Q_OBJECT
private slots:
    void probes_data()
    {
        QTest::addColumn<QByteArray>("rel");
        QTest::addColumn<int>("folder"); // probeFolder's answer
        QTest::addColumn<int>("entry");  // probeEntry's answer
        QTest::newRow("empty folder") << QByteArray("empty") << 0 << 0;
        QTest::newRow("folder with a file") << QByteArray("full") << 0 << 0;
        QTest::newRow("link to a folder") << QByteArray("link") << 0 << 0;
        QTest::newRow("a file") << QByteArray("full/f.txt") << -ENOTDIR << 0;
        QTest::newRow("missing") << QByteArray("gone") << -ENOENT << -ENOENT;
        QTest::newRow("dangling link") << QByteArray("dangling") << -ENOENT << 0;
        QTest::newRow("fifo") << QByteArray("fifo") << -ENOTDIR << 0;
        QTest::newRow("NUL inside") << QByteArray("full\0/f.txt", 11) << -EINVAL << -EINVAL;
    }
    void probes()
    {
        QFETCH(QByteArray, rel);
        QFETCH(int, folder);
        QFETCH(int, entry);
        TestTree tree;
        QVERIFY(tree.mkdir("empty") && tree.write("full/f.txt", "x") && tree.mkfifo("fifo"));
        QVERIFY(tree.symlink("link", "full") && tree.symlink("dangling", "gone"));
        QCOMPARE(probeFolder(AT_FDCWD, tree.path(rel)), folder);
        QCOMPARE(probeEntry(AT_FDCWD, tree.path(rel)), entry);
        const int root = ::open(tree.root().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QCOMPARE(probeFolder(root, rel), folder); // the same below a folder descriptor
        ::close(root);
    }

    void unreadableFolderIsNoFolder()
    {
        if (RunningAsRoot())
            QSKIP("root reads every folder");
        TestTree tree;
        QVERIFY(tree.mkdir("locked") && tree.setMode("locked", 0311));
        QCOMPARE(probeFolder(AT_FDCWD, tree.path("locked")), -EACCES);
        QVERIFY(tree.setMode("locked", 0755));
    }
};

QTEST_APPLESS_MAIN(TestProbe)
#include "tst_probe.moc"
