#include "common/filesizelimit.h"
#include "common/testtree.h"
#include "platform/fileops.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <optional>
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
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return bytes.left(size);
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
        if (const int flags = ::fcntl(fd, F_GETFD); flags >= 0 && !(flags & FD_CLOEXEC))
            fds.insert(fd);
    }
    return fds;
}

struct Pair
{
    TestTree tree;
    bool made = tree.mkdir("src") && tree.mkdir("dst");
    UniqueFd src{openFolderPath(tree.path("src"))};
    UniqueFd dst{openFolderPath(tree.path("dst"))};

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

    static void methodRows(const char *what, bool addColumn = true)
    {
        if (addColumn)
            QTest::addColumn<CopyMethod>("method");
        for (const auto &[name, method] : {std::pair{"auto", CopyMethod::Auto}, {"reflink", CopyMethod::Clone},
                                           {"copy_file_range", CopyMethod::CopyFileRange},
                                           {"sendfile", CopyMethod::Sendfile}, {"read/write", CopyMethod::ReadWrite}})
            QTest::addRow("%s, %s", what, name) << method;
    }

private slots:
    void copiesDataModeTimesAndAttributes_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<unsigned>("mode");
        QTest::addColumn<bool>("streams");
        QTest::addColumn<bool>("xattrs");
        QTest::addColumn<bool>("overReadOnly"); // and flushed, as move mode does
        QTest::newRow("empty, nothing carried") << qsizetype(0) << 0640u << false << false << false;
        // Same owner and group (this user made both): setuid and setgid stay.
        QTest::newRow("small, setuid, streams only") << qsizetype(5) << 07755u << true << false << false;
        QTest::newRow("other attributes only") << qsizetype(5) << 0600u << false << true << false;
        QTest::newRow("a few MiB over a read-only file")
            << qsizetype(3 * MiB + 17) << 0600u << true << true << true;
    }
    void copiesDataModeTimesAndAttributes()
    {
        QFETCH(qsizetype, size);
        QFETCH(unsigned, mode);
        QFETCH(bool, streams);
        QFETCH(bool, xattrs);
        QFETCH(bool, overReadOnly);
        Pair pair;
        QVERIFY(pair.tree.write("src/f", randomBytes(size)));
        QVERIFY(pair.tree.setStream("src/f", "AFP_AfpInfo", QByteArray(60, 'A')));
        QVERIFY(pair.tree.setStream("src/f", "AFP_Resource", randomBytes(3000)));
        QVERIFY(pair.tree.setXattr("src/f", "user.note", "kept"));
        QVERIFY(pair.tree.setMode("src/f", mode) && pair.tree.setMtime("src/f", 1234567890, 987654321));
        QVERIFY(!overReadOnly || (pair.tree.write("dst/g", "old") && pair.tree.setMode("dst/g", 0444)
                                  && pair.tree.setXattr("dst/g", "user.stale", "x")));
        CopyOptions options;
        options.carryStreams = streams;
        options.carryXattrs = xattrs;
        options.flushData = overReadOnly;
        CopiedSource copied;
        QCOMPARE(pair.copy("f", "g", options, &copied), 0);
        QCOMPARE(pair.tree.read("dst/g"), randomBytes(size));
        QCOMPARE(pair.tree.mode("dst/g"), mode);
        QVERIFY(pair.tree.mtimeSec("dst/g") == 1234567890 && pair.tree.mtimeNsec("dst/g") == 987654321);
        QCOMPARE(pair.tree.stream("dst/g", "AFP_AfpInfo"), streams ? QByteArray(60, 'A') : QByteArray());
        QCOMPARE(pair.tree.stream("dst/g", "AFP_Resource"), streams ? randomBytes(3000) : QByteArray());
        QCOMPARE(pair.tree.hasXattr("dst/g", "user.note"), xattrs);
        QVERIFY(!pair.tree.hasXattr("dst/g", "user.stale")); // a new file, not the old one rewritten
        struct stat st;
        QCOMPARE(::stat(pair.tree.path("src/f").constData(), &st), 0);
        QVERIFY(copied.size == uint64_t(size) && copied.lastWrite == ticksFromTimespec(st.st_mtim));
        QVERIFY(copied.ino == st.st_ino && copied.dev == st.st_dev);
        QCOMPARE(pair.tree.entries("dst"), QByteArrayList{"g"});
    }

    // Dense data across chunk ends, and holes that stay holes.
    void eachMethodCopiesDataAndHoles_data() { methodRows("copies"); }
    void eachMethodCopiesDataAndHoles()
    {
        QFETCH(CopyMethod, method);
        Pair pair;
        QVERIFY(pair.tree.write("src/dense", randomBytes(4 * MiB + 5)));
        const QByteArray data = randomBytes(64 * 1024);
        const UniqueFd sparse(::open(pair.tree.path("src/sparse").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        QVERIFY(::pwrite(sparse.get(), data.constData(), size_t(data.size()), MiB) == data.size()
                && ::pwrite(sparse.get(), "middle", 6, 9 * MiB + 7) == 6 && ::ftruncate(sparse.get(), 16 * MiB) == 0);
        CopyOptions options;
        options.method = method;
        const int rc = pair.copy("dense", "dense", options);
        if (rc == -EOPNOTSUPP && method == CopyMethod::Clone)
            QSKIP("No reflink on this file system");
        QCOMPARE(rc, 0);
        QCOMPARE(pair.tree.read("dst/dense"), pair.tree.read("src/dense"));
        QCOMPARE(pair.copy("sparse", "sparse", options), 0);
        QCOMPARE(pair.tree.read("dst/sparse"), pair.tree.read("src/sparse"));
        const blkcnt_t source = blocksOf(pair.tree.path("src/sparse"));
        const blkcnt_t copy = blocksOf(pair.tree.path("dst/sparse"));
        QVERIFY2(copy <= source + 16, qPrintable(QStringLiteral("%1 blocks for %2").arg(copy).arg(source)));
    }

    // A stop asked for, or a write that fails (the file size limit), midway.
    void stoppedOrFailedCopyLeavesTargetAlone_data()
    {
        methodRows("stopped");
        methodRows("failed", false);
    }
    void stoppedOrFailedCopyLeavesTargetAlone()
    {
        QFETCH(CopyMethod, method);
        const bool stop = QByteArray(QTest::currentDataTag()).startsWith("stopped");
        if (method == CopyMethod::Clone)
            QSKIP("A reflink is one step and writes no data");
        Pair pair;
        QVERIFY(pair.tree.write("src/f", randomBytes(10 * MiB)) && pair.tree.write("dst/f", "old"));
        const std::set<int> before = inheritedFds();
        int asked = 0;
        bool leaks = false;
        CopyOptions options;
        options.method = method;
        options.proceed = [&] {
            leaks = leaks || inheritedFds() != before; // what the copy holds reaches no child
            return ++asked < 2 || !stop;
        };
        std::optional<FileSizeLimit> limit;
        QVERIFY(stop || limit.emplace(9 * MiB).ok());
        const int rc = pair.copy("f", "f", options);
        limit.reset();
        QCOMPARE(rc, stop ? -ECANCELED : -EFBIG); // EFBIG fails the copy, it is no reason to change method
        QCOMPARE(asked, 2); // asked every few MiB, and no more once told to stop
        QVERIFY(!leaks);
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
        struct stat here, there;
        if (!dst.valid() || ::fstat(pair.src.get(), &here) != 0 || ::fstat(dst.get(), &there) != 0
            || here.st_dev == there.st_dev)
            QSKIP("No other file system in /dev/shm");
        QVERIFY(pair.tree.write("src/f", randomBytes(MiB + 3)));
        QCOMPARE(copyFile(pair.src.get(), "f", dst.get(), "f", {}), 0);
        QFile copy(other.filePath(QStringLiteral("f")));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), randomBytes(MiB + 3));
    }

    void copiesLinkAsLinkAndReplacesTargetLinkItself()
    {
        Pair pair;
        QVERIFY(pair.tree.symlink("src/link", "real") && pair.tree.setMtime("src/link", 1500000000, 5));
        QVERIFY(pair.tree.write("dst/link", "old file in the way") && pair.tree.write("src/f", "new"));
        QVERIFY(pair.tree.write("elsewhere", "precious") && pair.tree.symlink("dst/f", "../elsewhere"));
        CopiedSource copied;
        QCOMPARE(pair.copy("link", "link", {}, &copied), 0);
        QCOMPARE(pair.tree.linkText("dst/link"), QByteArray("real"));
        QVERIFY(pair.tree.mtimeSec("dst/link") == 1500000000 && pair.tree.mtimeNsec("dst/link") == 5);
        QCOMPARE(copied.size, uint64_t(4));
        QCOMPARE(pair.copy("f", "f"), 0);
        QVERIFY(!pair.tree.isLink("dst/f") && pair.tree.read("dst/f") == "new");
        QCOMPARE(pair.tree.read("elsewhere"), QByteArray("precious"));
        QCOMPARE(pair.tree.entries("dst"), (QByteArrayList{"f", "link"}));
    }

    void refusesSelfSpecialsAndFolderInTheWay()
    {
        Pair pair;
        QVERIFY(pair.tree.write("src/f", "only copy") && pair.tree.setMtime("src/f", 1000, 0));
        QCOMPARE(copyFile(pair.src.get(), "f", pair.src.get(), "f", {}), -ESAME);
        QCOMPARE(::link(pair.tree.path("src/f").constData(), pair.tree.path("dst/hard").constData()), 0);
        QCOMPARE(pair.copy("f", "hard"), -ESAME);
        QVERIFY(pair.tree.read("src/f") == "only copy" && pair.tree.mtimeSec("dst/hard") == 1000);
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
        QCOMPARE(::pipe2(midway, O_CLOEXEC), 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            CopyOptions options;
            options.proceed = [&] {
                (void)!::write(midway[1], "m", 1);
                ::pause(); // until killed
                return false;
            };
            ::_exit(pair.copy("big", "big", options));
        }
        char c;
        const bool midwayReached = ::read(midway[0], &c, 1) == 1; // checked once the child is gone
        // The child's new file, given a name if it has none (O_TMPFILE).
        const QByteArray dst = pair.tree.path("dst");
        const QString fdDir = QStringLiteral("/proc/%1/fd/").arg(child);
        QByteArray held;
        for (const QString &fd : QDir(fdDir).entryList(QDir::Files | QDir::System)) {
            const QByteArray target = QFile::encodeName(QFile::symLinkTarget(fdDir + fd));
            if (target.startsWith(dst + "/.vell-tmp-"))
                held = target.mid(dst.size() + 1);
            else if (target.startsWith(dst + "/#")
                     && ::linkat(AT_FDCWD, QFile::encodeName(fdDir + fd).constData(), pair.dst.get(),
                                 ".vell-tmp-Held01", AT_SYMLINK_FOLLOW) == 0)
                held = ".vell-tmp-Held01";
        }
        struct timespec later;
        ::clock_gettime(CLOCK_REALTIME, &later);
        later.tv_sec += 3600;
        const int whileLive = sys::removeStaleTemporaryAs(pair.dst.get(), held, ::geteuid(), later);
        ::kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        for (const int fd : midway)
            ::close(fd);
        QVERIFY(midwayReached && WIFSIGNALED(status));
        QVERIFY2(!held.isEmpty(), "the copy's new file was not found");
        QCOMPARE(whileLive, -EBUSY);
        QCOMPARE(pair.tree.entries("dst"), QByteArrayList{held}); // the name the test gave, or the copy's own
        QCOMPARE(sys::removeStaleTemporaryAs(pair.dst.get(), held, ::geteuid(), later), 0);
        QVERIFY(pair.tree.entries("dst").isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestFileCopy)
#include "tst_filecopy.moc"
