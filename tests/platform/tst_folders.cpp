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

// Makes a chain of folders whose relative path is longer than PATH_MAX,
// one mkdirat at a time. Returns the relative path and the last folder's
// descriptor.
QByteArray makeDeepChain(int rootFd, UniqueFd &last)
{
    QByteArray rel;
    last.reset(duplicateFd(rootFd));
    for (int level = 0; rel.size() <= PATH_MAX + 200; ++level) {
        const QByteArray name = QByteArray::number(level).rightJustified(3, '0') + QByteArray(196, 'x');
        if (::mkdirat(last.get(), name.constData(), 0755) != 0)
            return {};
        last.reset(openFolderAt(last.get(), name));
        rel += (rel.isEmpty() ? "" : "/") + name;
    }
    return rel;
}

// Moves every folder of the chain up to the root, so that QTemporaryDir,
// which works by path, can remove them.
void flattenChain(int rootFd, const QByteArray &rel)
{
    const QByteArrayList names = rel.split('/');
    UniqueFd parent(openFolderAt(rootFd, names.front()));
    for (qsizetype i = 1; i < names.size() && parent.valid(); ++i) {
        const QByteArray flat = "flat" + QByteArray::number(i);
        if (::renameat(parent.get(), names.at(i).constData(), rootFd, flat.constData()) != 0)
            return;
        parent.reset(openFolderAt(rootFd, flat));
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
        QTest::addColumn<int>("result"); // 0: opens a/b/c, or the root itself for ""
        QTest::newRow("plain") << QByteArray("a/b/c") << 0;
        QTest::newRow("doubled slashes") << QByteArray("a//b/c") << 0;
        QTest::newRow("empty: the root") << QByteArray() << 0;
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
        QVERIFY(tree.mkdir("a/b/c") && tree.symlink("a/jump", "b") && tree.symlink("a/b/linkc", "c"));
        QVERIFY(tree.write("a/file", "x"));
        const UniqueFd root(openFolderPath(tree.root()));
        const UniqueFd fd(openFolderBeneath(root.get(), rel));
        QCOMPARE(fd.valid() ? 0 : fd.get(), result);
        const UniqueFd expected(openFolderPath(tree.path(rel.isEmpty() ? "" : "a/b/c")));
        QVERIFY(result != 0 || (inodeOf(fd.get()) == inodeOf(expected.get()) && fd.get() != root.get()));
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
        QVERIFY(::symlinkat(".", last.get(), "loop") == 0 && ::mkdirat(last.get(), "end", 0755) == 0);
        QCOMPARE(openFolderBeneath(root.get(), rel + "/loop/end"), -ELOOP);
        QVERIFY(UniqueFd(openFolderBeneath(root.get(), rel + "/end")).valid());
        flattenChain(root.get(), rel);
    }

    void singleEntryCalls()
    {
        TestTree tree;
        QVERIFY(tree.write("full/inside", "x") && tree.write("f", "x"));
        QVERIFY(tree.symlink("l", "full") && tree.mkfifo("fifo"));
        const UniqueFd root(openFolderPath(tree.root()));
        const UniqueFd full(openFolderAt(root.get(), "full"));
        QVERIFY(full.valid());
        QCOMPARE(openFolderAt(root.get(), "l"), -ELOOP);
        QCOMPARE(openFolderAt(root.get(), "f"), -ENOTDIR);
        QCOMPARE(openFolderAt(root.get(), "fifo"), -ENOTDIR); // never blocks on the FIFO
        // The user's own path may go through links.
        QCOMPARE(inodeOf(UniqueFd(openFolderPath(tree.path("l"))).get()), inodeOf(full.get()));
        QCOMPARE(openFolderPath(tree.path("f")), -ENOTDIR);
        QCOMPARE(flushFolder(root.get()), 0);
        QCOMPARE(flushFile(root.get(), "f"), 0);
        QCOMPARE(flushFile(root.get(), "fifo"), -EINVAL);
        QCOMPARE(flushFile(root.get(), "missing"), -ENOENT);
        QVERIFY(createFolder(root.get(), "new") == 0 && tree.isDir("new"));
        QVERIFY(removeFolder(root.get(), "new") == 0 && !tree.exists("new"));
        QCOMPARE(removeFolder(root.get(), "full"), -ENOTEMPTY);
        QCOMPARE(deleteFile(root.get(), "full"), -EISDIR);
        QCOMPARE(deleteFile(root.get(), "l"), 0);
        QVERIFY(tree.exists("full/inside")); // the link went, not what it named
        QVERIFY(deleteFile(root.get(), "f") == 0 && !tree.exists("f"));
        // A duplicate no child inherits.
        const UniqueFd copy(duplicateFd(root.get()));
        QVERIFY(copy.valid() && copy.get() != root.get() && inodeOf(copy.get()) == inodeOf(root.get()));
        QCOMPARE(::fcntl(copy.get(), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
        QCOMPARE(duplicateFd(-1), -EBADF);
    }
};

QTEST_APPLESS_MAIN(TestFolders)
#include "tst_folders.moc"
