#include "common/testtree.h"
#include "platform/fileops.h"
#include "platform/uniquefd.h"

#include <QTest>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vell::platform;

namespace {

ino_t inodeOf(int fd)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 ? st.st_ino : 0;
}

ino_t inodeOf(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 ? st.st_ino : 0;
}

// Makes a chain of folders whose relative path is longer than PATH_MAX,
// one mkdirat at a time. Returns the relative path and the last folder's
// descriptor.
QByteArray makeDeepChain(int rootFd, UniqueFd &last)
{
    QByteArray rel;
    last.reset(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
    for (int level = 0; rel.size() <= PATH_MAX + 200; ++level) {
        const QByteArray name = QByteArray::number(level).rightJustified(3, '0') + QByteArray(196, 'x');
        if (::mkdirat(last.get(), name.constData(), 0755) != 0)
            return {};
        last.reset(::openat(last.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!last.valid())
            return {};
        rel += (rel.isEmpty() ? "" : "/") + name;
    }
    return rel;
}

// Moves every folder of the chain up to the root, so that QTemporaryDir,
// which works by path, can remove them.
void flattenChain(int rootFd, const QByteArray &rel)
{
    const QByteArrayList names = rel.split('/');
    UniqueFd parent(::openat(rootFd, names.front().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (qsizetype i = 1; i < names.size() && parent.valid(); ++i) {
        const QByteArray flat = "flat" + QByteArray::number(i);
        if (::renameat(parent.get(), names.at(i).constData(), rootFd, flat.constData()) != 0)
            return;
        parent.reset(::openat(rootFd, flat.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
}

} // namespace

class TestFolders : public QObject
{
    Q_OBJECT
private slots:
    void openBeneath_data()
    {
        QTest::addColumn<QByteArray>("rel");
        QTest::addColumn<int>("result"); // 0: opens a/b/c
        QTest::newRow("plain") << QByteArray("a/b/c") << 0;
        QTest::newRow("doubled slashes") << QByteArray("a//b/c") << 0;
        QTest::newRow("link component") << QByteArray("a/jump/c") << -ELOOP;
        QTest::newRow("link at the end") << QByteArray("a/b/linkc") << -ELOOP;
        QTest::newRow("file component") << QByteArray("a/file/c") << -ENOTDIR;
        QTest::newRow("climbs out") << QByteArray("a/../../x") << -EXDEV;
        QTest::newRow("absolute") << QByteArray("/tmp") << -EXDEV;
        QTest::newRow("missing") << QByteArray("a/nothing") << -ENOENT;
    }
    void openBeneath()
    {
        QFETCH(QByteArray, rel);
        QFETCH(int, result);
        TestTree tree;
        QVERIFY(tree.mkdir("a/b/c"));
        QVERIFY(tree.symlink("a/jump", "b"));
        QVERIFY(tree.symlink("a/b/linkc", "c"));
        QVERIFY(tree.write("a/file", "x"));
        const UniqueFd root(openFolderPath(tree.root()));
        const UniqueFd fd(openFolderBeneath(root.get(), rel));
        if (result != 0) {
            QCOMPARE(fd.get(), result);
            return;
        }
        QVERIFY(fd.valid());
        QCOMPARE(inodeOf(fd.get()), inodeOf(tree.path("a/b/c")));
    }

    void openBeneathEmptyIsTheRoot()
    {
        TestTree tree;
        const UniqueFd root(openFolderPath(tree.root()));
        const UniqueFd fd(openFolderBeneath(root.get(), ""));
        QVERIFY(fd.valid());
        QVERIFY(fd.get() != root.get());
        QCOMPARE(inodeOf(fd.get()), inodeOf(root.get()));
    }

    void openBeneathLongerThanPathMax()
    {
        TestTree tree;
        const UniqueFd root(openFolderPath(tree.root()));
        UniqueFd last;
        const QByteArray rel = makeDeepChain(root.get(), last);
        QVERIFY(rel.size() > PATH_MAX);
        const UniqueFd fd(openFolderBeneath(root.get(), rel));
        QVERIFY2(fd.valid(), qPrintable(QString::number(fd.get())));
        QCOMPARE(inodeOf(fd.get()), inodeOf(last.get()));

        // The component walk refuses links too.
        QCOMPARE(::symlinkat(".", last.get(), "loop"), 0);
        QCOMPARE(::mkdirat(last.get(), "end", 0755), 0);
        QCOMPARE(openFolderBeneath(root.get(), rel + "/loop/end"), -ELOOP);
        const UniqueFd end(openFolderBeneath(root.get(), rel + "/end"));
        QVERIFY(end.valid());
        flattenChain(root.get(), rel);
    }

    void openFolderAtRefusesLinksAndFiles()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("d"));
        QVERIFY(tree.symlink("l", "d"));
        QVERIFY(tree.write("f", "x"));
        QVERIFY(tree.mkfifo("fifo"));
        const UniqueFd root(openFolderPath(tree.root()));
        const UniqueFd d(openFolderAt(root.get(), "d"));
        QVERIFY(d.valid());
        QCOMPARE(openFolderAt(root.get(), "l"), -ELOOP);
        QCOMPARE(openFolderAt(root.get(), "f"), -ENOTDIR);
        QCOMPARE(openFolderAt(root.get(), "fifo"), -ENOTDIR); // never blocks on the FIFO
        // The user's own path may go through links.
        const UniqueFd viaLink(openFolderPath(tree.path("l")));
        QCOMPARE(inodeOf(viaLink.get()), inodeOf(d.get()));
        QCOMPARE(openFolderPath(tree.path("f")), -ENOTDIR);
    }

    void createRemoveAndDelete()
    {
        TestTree tree;
        QVERIFY(tree.write("full/inside", "x"));
        QVERIFY(tree.write("f", "x"));
        QVERIFY(tree.symlink("l", "full"));
        const UniqueFd root(openFolderPath(tree.root()));
        QCOMPARE(createFolder(root.get(), "new"), 0);
        QVERIFY(tree.isDir("new"));
        QCOMPARE(createFolder(root.get(), "new"), -EEXIST);
        QCOMPARE(removeFolder(root.get(), "new"), 0);
        QVERIFY(!tree.exists("new"));
        QCOMPARE(removeFolder(root.get(), "full"), -ENOTEMPTY);
        QCOMPARE(deleteFile(root.get(), "full"), -EISDIR);
        QCOMPARE(deleteFile(root.get(), "l"), 0);
        QVERIFY(tree.exists("full/inside")); // the link went, not what it named
        QCOMPARE(deleteFile(root.get(), "f"), 0);
        QCOMPARE(deleteFile(root.get(), "f"), -ENOENT);
    }

    void flushes()
    {
        TestTree tree;
        QVERIFY(tree.write("f", "x"));
        QVERIFY(tree.mkfifo("fifo"));
        const UniqueFd root(openFolderPath(tree.root()));
        QCOMPARE(flushFolder(root.get()), 0);
        QCOMPARE(flushFile(root.get(), "f"), 0);
        QCOMPARE(flushFile(root.get(), "fifo"), -EINVAL);
        QCOMPARE(flushFile(root.get(), "missing"), -ENOENT);
    }
};

QTEST_APPLESS_MAIN(TestFolders)
#include "tst_folders.moc"
