#include "common/testtree.h"
#include "platform/fileops.h"
#include "platform/uniquefd.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vell::platform;

namespace {

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(generator.bounded(256));
    return bytes;
}

bool noTemporaryNames(const TestTree &tree, const QByteArray &folder)
{
    for (const QByteArray &name : tree.entries(folder)) {
        if (name.startsWith(".vell-tmp-"))
            return false;
    }
    return true;
}

// Watches the child until it holds an unnamed file in dstFolder with data
// in it (the copy is under way), for at most two seconds. False when the
// copy was not seen in progress (it may have finished first).
bool waitForPartialCopy(pid_t child, const QByteArray &dstFolder)
{
    const QString fdDir = QStringLiteral("/proc/%1/fd").arg(child);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 2000) {
        for (const QString &fd : QDir(fdDir).entryList(QDir::Files | QDir::System)) {
            const QByteArray target = QFile::encodeName(QFile::symLinkTarget(fdDir + '/' + fd));
            if (!target.startsWith(dstFolder + "/#"))
                continue; // not the O_TMPFILE ("/dst/#inode (deleted)")
            QFile info(QStringLiteral("/proc/%1/fdinfo/%2").arg(child).arg(fd));
            if (!info.open(QIODevice::ReadOnly))
                continue;
            const QByteArray pos = info.readLine().trimmed(); // "pos:\t<offset>"
            if (pos.startsWith("pos:") && pos.mid(4).trimmed().toLongLong() > 0)
                return true;
        }
    }
    return false;
}

struct Pair
{
    TestTree tree;
    UniqueFd src;
    UniqueFd dst;

    Pair()
    {
        (void)tree.mkdir("src");
        (void)tree.mkdir("dst");
        src.reset(openFolderPath(tree.path("src")));
        dst.reset(openFolderPath(tree.path("dst")));
    }
    [[nodiscard]] bool valid() const { return src.valid() && dst.valid(); }
    int copy(const QByteArray &from, const QByteArray &to, const CopyOptions &options = {},
             CopiedSource *copied = nullptr)
    {
        return copyFile(src.get(), from, dst.get(), to, options, copied);
    }
};

} // namespace

class TestFileCopy : public QObject
{
    Q_OBJECT
private slots:
    void copiesDataModeAndTimes_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<bool>("flush");
        QTest::newRow("empty") << qsizetype(0) << false;
        QTest::newRow("small") << qsizetype(5) << false;
        QTest::newRow("a few MiB, flushed") << qsizetype(3 * 1024 * 1024 + 17) << true;
    }
    void copiesDataModeAndTimes()
    {
        QFETCH(qsizetype, size);
        QFETCH(bool, flush);
        Pair pair;
        QVERIFY(pair.valid());
        const QByteArray data = randomBytes(size);
        QVERIFY(pair.tree.write("src/f", data));
        QVERIFY(pair.tree.setMode("src/f", 0640));
        QVERIFY(pair.tree.setMtime("src/f", 1234567890, 987654321));
        CopyOptions options;
        options.flushData = flush;
        CopiedSource copied;
        QCOMPARE(pair.copy("f", "g", options, &copied), 0);
        QCOMPARE(pair.tree.read("dst/g"), data);
        QCOMPARE(pair.tree.mode("dst/g"), 0640u);
        QCOMPARE(pair.tree.mtimeSec("dst/g"), int64_t(1234567890));
        QCOMPARE(pair.tree.mtimeNsec("dst/g"), 987654321L);
        QCOMPARE(copied.size, uint64_t(size));
        struct timespec ts = {1234567890, 987654321};
        QCOMPARE(copied.lastWrite, ticksFromTimespec(ts));
        struct stat st;
        QCOMPARE(::stat(pair.tree.path("src/f").constData(), &st), 0);
        QCOMPARE(copied.ino, st.st_ino);
        QCOMPARE(copied.dev, st.st_dev);
        QVERIFY(noTemporaryNames(pair.tree, "dst"));
    }

    void copiesAcrossFileSystems()
    {
        // Between two file systems reflink and copy_file_range give up
        // before the first byte and a slower method takes over.
        QTemporaryDir other(QStringLiteral("/dev/shm/vell-XXXXXX"));
        if (!other.isValid())
            QSKIP("No /dev/shm to copy to");
        Pair pair;
        struct stat here;
        struct stat there;
        QCOMPARE(::fstat(pair.src.get(), &here), 0);
        const UniqueFd dst(openFolderPath(QFile::encodeName(other.path())));
        QVERIFY(dst.valid());
        QCOMPARE(::fstat(dst.get(), &there), 0);
        if (here.st_dev == there.st_dev)
            QSKIP("/dev/shm is on the same file system");
        const QByteArray data = randomBytes(1024 * 1024 + 3);
        QVERIFY(pair.tree.write("src/f", data));
        QCOMPARE(copyFile(pair.src.get(), "f", dst.get(), "f", {}), 0);
        QFile copy(other.filePath(QStringLiteral("f")));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), data);
    }

    void keepsSpecialModeBits()
    {
        Pair pair;
        QVERIFY(pair.tree.write("src/tool", "#!/bin/sh\n"));
        QVERIFY(pair.tree.setMode("src/tool", 07755));
        QCOMPARE(pair.copy("tool", "tool"), 0);
        // Same owner and group (this user made both): setuid and setgid stay.
        QCOMPARE(pair.tree.mode("dst/tool"), 07755u);
    }

    void carriesAttributesAsAsked_data()
    {
        QTest::addColumn<bool>("streams");
        QTest::addColumn<bool>("xattrs");
        QTest::newRow("both") << true << true;
        QTest::newRow("streams only") << true << false;
        QTest::newRow("other attributes only") << false << true;
        QTest::newRow("none") << false << false;
    }
    void carriesAttributesAsAsked()
    {
        QFETCH(bool, streams);
        QFETCH(bool, xattrs);
        Pair pair;
        QVERIFY(pair.tree.write("src/f", "data"));
        QVERIFY(pair.tree.setStream("src/f", "AFP_AfpInfo", QByteArray(60, 'A')));
        QVERIFY(pair.tree.setStream("src/f", "AFP_Resource", randomBytes(3000)));
        QVERIFY(pair.tree.setXattr("src/f", "user.note", "kept"));
        CopyOptions options;
        options.carryStreams = streams;
        options.carryXattrs = xattrs;
        QCOMPARE(pair.copy("f", "f", options), 0);
        QCOMPARE(pair.tree.stream("dst/f", "AFP_AfpInfo"), streams ? QByteArray(60, 'A') : QByteArray());
        QCOMPARE(pair.tree.stream("dst/f", "AFP_Resource"), streams ? randomBytes(3000) : QByteArray());
        QCOMPARE(pair.tree.hasXattr("dst/f", "user.note"), xattrs);
    }

    void copiesLinkAsLink()
    {
        Pair pair;
        QVERIFY(pair.tree.write("src/real", "target data"));
        QVERIFY(pair.tree.symlink("src/link", "real"));
        QVERIFY(pair.tree.setMtime("src/link", 1500000000, 5));
        QVERIFY(pair.tree.write("dst/link", "old file in the way"));
        CopiedSource copied;
        QCOMPARE(pair.copy("link", "link", {}, &copied), 0);
        QVERIFY(pair.tree.isLink("dst/link"));
        QCOMPARE(pair.tree.linkText("dst/link"), QByteArray("real"));
        QCOMPARE(pair.tree.mtimeSec("dst/link"), int64_t(1500000000));
        QCOMPARE(pair.tree.mtimeNsec("dst/link"), 5L);
        QCOMPARE(copied.size, uint64_t(4));
        QVERIFY(noTemporaryNames(pair.tree, "dst"));
    }

    void replacesTargetLinkNotItsTarget()
    {
        Pair pair;
        QVERIFY(pair.tree.write("src/f", "new"));
        QVERIFY(pair.tree.write("elsewhere", "precious"));
        QVERIFY(pair.tree.symlink("dst/f", "../elsewhere"));
        QCOMPARE(pair.copy("f", "f"), 0);
        QVERIFY(!pair.tree.isLink("dst/f"));
        QCOMPARE(pair.tree.read("dst/f"), QByteArray("new"));
        QCOMPARE(pair.tree.read("elsewhere"), QByteArray("precious"));
    }

    void overwritesReadOnlyTarget()
    {
        Pair pair;
        QVERIFY(pair.tree.write("src/f", "new contents"));
        QVERIFY(pair.tree.write("dst/f", "old"));
        QVERIFY(pair.tree.setMode("dst/f", 0444));
        QVERIFY(pair.tree.setXattr("dst/f", "user.stale", "x"));
        QCOMPARE(pair.copy("f", "f"), 0);
        QCOMPARE(pair.tree.read("dst/f"), QByteArray("new contents"));
        QCOMPARE(pair.tree.mode("dst/f"), 0644u);
        QVERIFY(!pair.tree.hasXattr("dst/f", "user.stale")); // a new file, not the old one rewritten
        QVERIFY(noTemporaryNames(pair.tree, "dst"));
    }

    void refusesToCopyAFileOntoItself()
    {
        Pair pair;
        QVERIFY(pair.tree.write("src/f", "only copy"));
        QVERIFY(pair.tree.setMtime("src/f", 1000, 0));
        QCOMPARE(copyFile(pair.src.get(), "f", pair.src.get(), "f", {}), -ESAME);
        QCOMPARE(::link(pair.tree.path("src/f").constData(), pair.tree.path("dst/hard").constData()), 0);
        QCOMPARE(pair.copy("f", "hard"), -ESAME);
        QCOMPARE(pair.tree.read("src/f"), QByteArray("only copy"));
        QCOMPARE(pair.tree.mtimeSec("dst/hard"), int64_t(1000));
        QCOMPARE(pair.tree.entries("dst"), QByteArrayList{"hard"});
    }

    void refusesSpecialSourceAtOnce()
    {
        // Opening a FIFO with no writer for reading would block: the copy
        // must answer without opening it.
        Pair pair;
        QVERIFY(pair.tree.mkfifo("src/fifo"));
        QCOMPARE(pair.copy("fifo", "fifo"), -EINVAL);
        QVERIFY(!pair.tree.exists("dst/fifo"));
        QCOMPARE(pair.copy("missing", "missing"), -ENOENT);
    }

    void failedCopyLeavesTargetUntouched()
    {
        Pair pair;
        QVERIFY(pair.tree.write("src/f", randomBytes(200000)));
        QVERIFY(pair.tree.write("dst/f/inside", "kept"));
        const int rc = pair.copy("f", "f");
        QVERIFY2(rc == -EISDIR || rc == -ENOTEMPTY, qPrintable(QString::number(rc)));
        QVERIFY(pair.tree.isDir("dst/f"));
        QCOMPARE(pair.tree.read("dst/f/inside"), QByteArray("kept"));
        QCOMPARE(pair.tree.entries("dst"), QByteArrayList{"f"});
    }

    void killedCopyLeavesNoPartialTarget()
    {
        Pair pair;
        // A large sparse file: made at once, yet its copy writes every byte.
        const qint64 size = qint64(512) << 20;
        {
            const UniqueFd fd(::open(pair.tree.path("src/big").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
            QVERIFY(fd.valid());
            QCOMPARE(::ftruncate(fd.get(), size), 0);
            QCOMPARE(::pwrite(fd.get(), "end", 3, size - 3), ssize_t(3));
        }
        int ready[2];
        QCOMPARE(::pipe2(ready, O_CLOEXEC), 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(ready[0]);
            (void)::write(ready[1], "go", 2);
            ::_exit(pair.copy("big", "big") == 0 ? 0 : 1);
        }
        ::close(ready[1]);
        char buffer[2];
        QCOMPARE(::read(ready[0], buffer, 2), ssize_t(2));
        const bool caughtMidway = waitForPartialCopy(child, pair.tree.path("dst"));
        ::kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        ::close(ready[0]);

        if (caughtMidway)
            QVERIFY(WIFSIGNALED(status) && !pair.tree.exists("dst/big"));
        if (pair.tree.exists("dst/big")) {
            // The copy won the race: then it is whole.
            struct stat st;
            QCOMPARE(::stat(pair.tree.path("dst/big").constData(), &st), 0);
            QCOMPARE(qint64(st.st_size), size);
        }
        QVERIFY(noTemporaryNames(pair.tree, "dst"));
        std::vector<EntryInfo> entries;
        QCOMPARE(listFolder(pair.dst.get(), entries, false), 0);
        for (const EntryInfo &e : entries)
            QCOMPARE(e.name, QByteArray("big"));
    }
};

QTEST_APPLESS_MAIN(TestFileCopy)
#include "tst_filecopy.moc"
