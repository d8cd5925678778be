#include "common/filesizelimit.h"
#include "common/testtree.h"
#include "platform/fileops.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vell::platform;

namespace {

constexpr qint64 MiB = 1 << 20;

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size + 3, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return bytes.left(size);
}

bool noTemporaryNames(const TestTree &tree, const QByteArray &folder)
{
    const QByteArrayList names = tree.entries(folder);
    return std::none_of(names.begin(), names.end(), [](const QByteArray &n) { return n.startsWith(".vell-tmp-"); });
}

// Writes `pieces` (offset, bytes) into a file of `size` bytes that is a
// hole everywhere else.
bool writeSparse(const QByteArray &path, qint64 size, const std::vector<std::pair<qint64, QByteArray>> &pieces)
{
    const UniqueFd fd(::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    bool ok = fd.valid() && ::ftruncate(fd.get(), size) == 0;
    for (const auto &[at, bytes] : pieces)
        ok = ok && ::pwrite(fd.get(), bytes.constData(), size_t(bytes.size()), at) == bytes.size();
    return ok;
}

blkcnt_t blocksOf(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 ? st.st_blocks : -1;
}

// The descriptors open now that a child process would inherit.
std::set<int> inheritedFds()
{
    std::set<int> fds;
    for (int fd = 0; fd < 1024; ++fd) {
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC))
            fds.insert(fd);
    }
    return fds;
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

    static void methodRows()
    {
        QTest::addColumn<CopyMethod>("method");
        QTest::newRow("auto") << CopyMethod::Auto;
        QTest::newRow("reflink") << CopyMethod::Clone;
        QTest::newRow("copy_file_range") << CopyMethod::CopyFileRange;
        QTest::newRow("sendfile") << CopyMethod::Sendfile;
        QTest::newRow("read/write") << CopyMethod::ReadWrite;
    }

private slots:
    void copiesDataModeAndTimes_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<bool>("flush");
        QTest::newRow("empty") << qsizetype(0) << false;
        QTest::newRow("small") << qsizetype(5) << false;
        QTest::newRow("a few MiB, flushed") << qsizetype(3 * MiB + 17) << true;
    }
    void copiesDataModeAndTimes()
    {
        QFETCH(qsizetype, size);
        QFETCH(bool, flush);
        Pair pair;
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
        struct stat st;
        QCOMPARE(::stat(pair.tree.path("src/f").constData(), &st), 0);
        QCOMPARE(copied.size, uint64_t(size));
        QCOMPARE(copied.lastWrite, ticksFromTimespec(st.st_mtim));
        QVERIFY(copied.ino == st.st_ino && copied.dev == st.st_dev);
        QVERIFY(noTemporaryNames(pair.tree, "dst"));
    }

    // Dense data across chunk ends, and holes that stay holes.
    void eachMethodCopiesDataAndHoles_data() { methodRows(); }
    void eachMethodCopiesDataAndHoles()
    {
        QFETCH(CopyMethod, method);
        Pair pair;
        QVERIFY(pair.tree.write("src/dense", randomBytes(4 * MiB + 5)));
        QVERIFY(writeSparse(pair.tree.path("src/sparse"), 16 * MiB,
                            {{MiB, randomBytes(64 * 1024)}, {9 * MiB + 7, "middle"}}));
        CopyOptions options;
        options.method = method;
        const int rc = pair.copy("dense", "dense", options);
        if (rc == -EOPNOTSUPP && method == CopyMethod::Clone)
            QSKIP("No reflink on this file system");
        QCOMPARE(rc, 0);
        QCOMPARE(pair.tree.read("dst/dense"), pair.tree.read("src/dense"));
        QCOMPARE(pair.copy("sparse", "sparse", options), 0);
        QCOMPARE(pair.tree.read("dst/sparse"), pair.tree.read("src/sparse")); // the trailing hole included
        const blkcnt_t source = blocksOf(pair.tree.path("src/sparse"));
        QVERIFY2(blocksOf(pair.tree.path("dst/sparse")) <= source + 16,
                 qPrintable(QStringLiteral("%1 blocks for %2").arg(blocksOf(pair.tree.path("dst/sparse"))).arg(source)));
    }

    void stopsWhenAskedAndLeavesTargetAlone_data() { methodRows(); }
    void stopsWhenAskedAndLeavesTargetAlone()
    {
        QFETCH(CopyMethod, method);
        if (method == CopyMethod::Clone)
            QSKIP("A reflink is one step");
        Pair pair;
        QVERIFY(pair.tree.write("src/f", randomBytes(13 * MiB)));
        QVERIFY(pair.tree.write("dst/f", "old"));
        const std::set<int> before = inheritedFds();
        int asked = 0;
        bool leaks = false;
        CopyOptions options;
        options.method = method;
        options.proceed = [&] {
            leaks = leaks || inheritedFds() != before; // what the copy holds reaches no child
            return ++asked < 2;
        };
        QCOMPARE(pair.copy("f", "f", options), -ECANCELED);
        QCOMPARE(asked, 2); // asked every few MiB, and no more once told to stop
        QVERIFY(!leaks);
        QCOMPARE(pair.tree.read("dst/f"), QByteArray("old"));
        QCOMPARE(pair.tree.entries("dst"), QByteArrayList{"f"});
    }

    void failingWriteLeavesTargetAlone_data() { methodRows(); }
    void failingWriteLeavesTargetAlone()
    {
        QFETCH(CopyMethod, method);
        if (method == CopyMethod::Clone)
            QSKIP("A reflink writes no data");
        Pair pair;
        QVERIFY(pair.tree.write("src/f", randomBytes(3 * MiB)));
        QVERIFY(pair.tree.write("dst/f", "old"));
        CopyOptions options;
        options.method = method;
        int rc = 0;
        {
            const FileSizeLimit limit(MiB);
            QVERIFY(limit.ok());
            rc = pair.copy("f", "f", options);
        }
        QCOMPARE(rc, -EFBIG); // a terminal error, not a reason to try the next method
        QCOMPARE(pair.tree.read("dst/f"), QByteArray("old"));
        QCOMPARE(pair.tree.entries("dst"), QByteArrayList{"f"});
    }

    void copiesAcrossFileSystems()
    {
        // Between two file systems reflink and copy_file_range give up
        // before the first byte and a slower method takes over.
        QTemporaryDir other(QStringLiteral("/dev/shm/vell-XXXXXX"));
        const UniqueFd dst(openFolderPath(QFile::encodeName(other.path())));
        Pair pair;
        struct stat here;
        struct stat there;
        if (!dst.valid() || ::fstat(pair.src.get(), &here) != 0 || ::fstat(dst.get(), &there) != 0
            || here.st_dev == there.st_dev)
            QSKIP("No other file system in /dev/shm");
        const QByteArray data = randomBytes(MiB + 3);
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

    void copiesLinkAsLinkAndReplacesTargetLinkItself()
    {
        Pair pair;
        QVERIFY(pair.tree.write("src/f", "new"));
        QVERIFY(pair.tree.symlink("src/link", "real"));
        QVERIFY(pair.tree.setMtime("src/link", 1500000000, 5));
        QVERIFY(pair.tree.write("dst/link", "old file in the way"));
        QVERIFY(pair.tree.write("elsewhere", "precious"));
        QVERIFY(pair.tree.symlink("dst/f", "../elsewhere"));
        CopiedSource copied;
        QCOMPARE(pair.copy("link", "link", {}, &copied), 0);
        QCOMPARE(pair.tree.linkText("dst/link"), QByteArray("real"));
        QCOMPARE(pair.tree.mtimeSec("dst/link"), int64_t(1500000000));
        QCOMPARE(pair.tree.mtimeNsec("dst/link"), 5L);
        QCOMPARE(copied.size, uint64_t(4));
        QCOMPARE(pair.copy("f", "f"), 0);
        QVERIFY(!pair.tree.isLink("dst/f"));
        QCOMPARE(pair.tree.read("dst/f"), QByteArray("new"));
        QCOMPARE(pair.tree.read("elsewhere"), QByteArray("precious"));
        QCOMPARE(pair.tree.entries("dst"), (QByteArrayList{"f", "link"}));
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

    void refusesSelfSpecialsAndFolderInTheWay()
    {
        Pair pair;
        QVERIFY(pair.tree.write("src/f", "only copy"));
        QVERIFY(pair.tree.setMtime("src/f", 1000, 0));
        QCOMPARE(copyFile(pair.src.get(), "f", pair.src.get(), "f", {}), -ESAME);
        QCOMPARE(::link(pair.tree.path("src/f").constData(), pair.tree.path("dst/hard").constData()), 0);
        QCOMPARE(pair.copy("f", "hard"), -ESAME);
        QCOMPARE(pair.tree.read("src/f"), QByteArray("only copy"));
        QCOMPARE(pair.tree.mtimeSec("dst/hard"), int64_t(1000));
        // Opening a FIFO with no writer for reading would block: the copy
        // must answer without opening it.
        QVERIFY(pair.tree.mkfifo("src/fifo"));
        QCOMPARE(pair.copy("fifo", "fifo"), -EINVAL);
        QCOMPARE(pair.copy("missing", "missing"), -ENOENT);
        QVERIFY(pair.tree.write("dst/d/inside", "kept"));
        const int rc = pair.copy("f", "d");
        QVERIFY2(rc == -EISDIR || rc == -ENOTEMPTY, qPrintable(QString::number(rc)));
        QCOMPARE(pair.tree.read("dst/d/inside"), QByteArray("kept"));
        QCOMPARE(pair.tree.entries("dst"), (QByteArrayList{"d", "hard"}));
    }

    // A copy killed midway leaves no target and no name; while it lives,
    // its new file is locked, so that no other Vell takes it for stale.
    void killedCopyLeavesNothingAndLiveOneIsKept()
    {
        Pair pair;
        QVERIFY(pair.tree.write("src/big", randomBytes(9 * MiB)));
        int midway[2];
        int never[2];
        QVERIFY(::pipe2(midway, O_CLOEXEC) == 0 && ::pipe2(never, O_CLOEXEC) == 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            CopyOptions options;
            options.proceed = [&] {
                char c;
                (void)!::write(midway[1], "m", 1);
                return ::read(never[0], &c, 1) > 0; // blocks until killed
            };
            ::_exit(pair.copy("big", "big", options) == 0 ? 0 : 1);
        }
        char c;
        QCOMPARE(::read(midway[0], &c, 1), ssize_t(1));
        // The child's new file, named if the file system made it unnamed.
        const QByteArray dst = pair.tree.path("dst");
        const QString fdDir = QStringLiteral("/proc/%1/fd").arg(child);
        QByteArray held;
        for (const QString &fd : QDir(fdDir).entryList(QDir::Files | QDir::System)) {
            const QByteArray target = QFile::encodeName(QFile::symLinkTarget(fdDir + '/' + fd));
            if (target.startsWith(dst + "/.vell-tmp-"))
                held = target.mid(dst.size() + 1);
            else if (target.startsWith(dst + "/#")
                     && ::linkat(AT_FDCWD, QFile::encodeName(fdDir + '/' + fd).constData(), pair.dst.get(),
                                 ".vell-tmp-Held01", AT_SYMLINK_FOLLOW) == 0)
                held = ".vell-tmp-Held01";
        }
        struct timespec later;
        ::clock_gettime(CLOCK_REALTIME, &later);
        later.tv_sec += 3600;
        const int whileLive = held.isEmpty() ? 0 : sys::removeStaleTemporaryAs(pair.dst.get(), held, ::geteuid(), later);
        ::kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        for (const int fd : {midway[0], midway[1], never[0], never[1]})
            ::close(fd);
        QVERIFY(WIFSIGNALED(status));
        QVERIFY2(!held.isEmpty(), "the copy's new file was not found");
        QCOMPARE(whileLive, -EBUSY);
        QCOMPARE(pair.tree.entries("dst"), QByteArrayList{held}); // the name the test gave, or the copy's own
        QCOMPARE(sys::removeStaleTemporaryAs(pair.dst.get(), held, ::geteuid(), later), 0);
        QVERIFY(pair.tree.entries("dst").isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestFileCopy)
#include "tst_filecopy.moc"
