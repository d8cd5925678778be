#include "common/testtree.h"
#include "platform/fileops.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"
#include <QRandomGenerator>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace vell::platform;

namespace {
constexpr qint64 MiB = 1 << 20;
QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size + 3, Qt::Uninitialized);
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return bytes.left(size);
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
// A tree with src and dst folders, and a copy from one to the other.
struct Pair : TestTree
{
    bool made = mkdir("src") && mkdir("dst");
    UniqueFd src{openFolderPath(path("src"))}, dst{openFolderPath(path("dst"))};
    CopyOptions options;
    CopiedSource copied;
    int copy(const char *f, const char *t) { return copyFile(src.get(), f, dst.get(), t, options, &copied); }
};
// overReadOnly: over a read-only file, and flushed, as move mode does.
struct CopyCase { qsizetype size; unsigned mode; bool streams, xattrs, overReadOnly; };
} // namespace

class TestFileCopy : public QObject
{
    Q_OBJECT
    static void methodRows(std::initializer_list<const char *> kinds)
    {
        QTest::addColumn<CopyMethod>("method");
        for (const char *kind : kinds) {
            for (const auto &[name, method] :
                 {std::pair{"auto", CopyMethod::Auto}, {"reflink", CopyMethod::Clone},
                  {"copy_file_range", CopyMethod::CopyFileRange}, {"sendfile", CopyMethod::Sendfile},
                  {"read/write", CopyMethod::ReadWrite}})
                QTest::addRow("%s, %s", kind, name) << method;
        }
    }
private slots:
    void copiesDataModeTimesAndAttributes_data()
    {
        QTest::addColumn<CopyCase>("c");
        QTest::newRow("empty, nothing carried") << CopyCase{0, 0640, false, false, false};
        // Same owner and group (this user made both): setuid and setgid stay.
        QTest::newRow("small, setuid, streams only") << CopyCase{5, 07755, true, false, false};
        QTest::newRow("other attributes only") << CopyCase{5, 0600, false, true, false};
        QTest::newRow("a few MiB over a read-only file") << CopyCase{3 * MiB + 17, 0600, true, true, true};
    }
    void copiesDataModeTimesAndAttributes()
    {
        QFETCH(CopyCase, c);
        Pair pair;
        QVERIFY(pair.write("src/f", randomBytes(c.size)) && pair.setXattr("src/f", "user.note", "kept"));
        const QByteArray info(60, 'A'), fork = randomBytes(3000);
        QVERIFY(pair.setStream("src/f", "AFP_AfpInfo", info) && pair.setStream("src/f", "AFP_Resource", fork));
        QVERIFY(pair.setMode("src/f", c.mode) && pair.setMtime("src/f", 1234567890, 987654321));
        QVERIFY(!c.overReadOnly || (pair.build({"dst/g=old%444"}) && pair.setXattr("dst/g", "user.stale", "x")));
        pair.options.carryStreams = c.streams;
        pair.options.carryXattrs = c.xattrs;
        pair.options.flushData = c.overReadOnly;
        QVERIFY(pair.copy("f", "g") == 0 && pair.read("dst/g") == randomBytes(c.size));
        QCOMPARE(pair.mode("dst/g"), c.mode);
        QVERIFY(pair.mtimeSec("dst/g") == 1234567890 && pair.mtimeNsec("dst/g") == 987654321);
        QCOMPARE(pair.stream("dst/g", "AFP_AfpInfo") + pair.stream("dst/g", "AFP_Resource"),
                 c.streams ? info + fork : QByteArray());
        QCOMPARE(pair.hasXattr("dst/g", "user.note"), c.xattrs);
        // A new file, not the old one rewritten.
        QVERIFY(!pair.hasXattr("dst/g", "user.stale") && pair.entries("dst") == QByteArrayList{"g"});
        struct stat st;
        QCOMPARE(::stat(pair.path("src/f").constData(), &st), 0);
        QVERIFY(pair.copied.size == uint64_t(c.size) && pair.copied.lastWrite == ticksFromTimespec(st.st_mtim));
        QVERIFY(pair.copied.ino == st.st_ino && pair.copied.dev == st.st_dev);
    }
    // Dense data across chunk ends, and holes that stay holes.
    void eachMethodCopiesDataAndHoles_data() { methodRows({"copies"}); }
    void eachMethodCopiesDataAndHoles()
    {
        QFETCH(CopyMethod, method);
        Pair pair;
        QVERIFY(pair.write("src/dense", randomBytes(4 * MiB + 5)));
        const UniqueFd sparse(::open(pair.path("src/sparse").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        QVERIFY(::pwrite(sparse.get(), randomBytes(MiB / 16).constData(), MiB / 16, MiB) == MiB / 16
                && ::pwrite(sparse.get(), "middle", 6, 9 * MiB + 7) == 6 && ::ftruncate(sparse.get(), 16 * MiB) == 0);
        pair.options.method = method;
        const int rc = pair.copy("dense", "dense");
        if (rc == -EOPNOTSUPP && method == CopyMethod::Clone)
            QSKIP("No reflink on this file system");
        QVERIFY(rc == 0 && pair.read("dst/dense") == pair.read("src/dense"));
        QVERIFY(pair.copy("sparse", "sparse") == 0 && pair.read("dst/sparse") == pair.read("src/sparse"));
        struct stat source, copy;
        QVERIFY(::fstat(sparse.get(), &source) == 0 && ::stat(pair.path("dst/sparse").constData(), &copy) == 0);
        QVERIFY2(copy.st_blocks <= source.st_blocks + 16, qPrintable(QString::number(copy.st_blocks)));
    }
    // A stop asked for, or a write that fails (the file size limit), midway.
    void stoppedOrFailedCopyLeavesTargetAlone_data() { methodRows({"stopped", "failed"}); }
    void stoppedOrFailedCopyLeavesTargetAlone()
    {
        QFETCH(CopyMethod, method);
        const bool stop = QByteArray(QTest::currentDataTag()).startsWith("stopped");
        if (method == CopyMethod::Clone)
            QSKIP("A reflink is one step and writes no data");
        Pair pair;
        QVERIFY(pair.write("src/f", randomBytes(10 * MiB)) && pair.write("dst/f", "old"));
        const std::set<int> before = inheritedFds();
        int asked = 0;
        bool leaks = false;
        pair.options.method = method;
        pair.options.proceed = [&] {
            leaks = leaks || inheritedFds() != before; // what the copy holds reaches no child
            return ++asked < 2 || !stop;
        };
        // The cap stops a write part way even as root; SIGXFSZ ignored, it fails with EFBIG, not killing us.
        rlimit saved;
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const rlimit capped{stop ? saved.rlim_cur : rlim_t(9 * MiB), saved.rlim_max};
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &capped) == 0);
        const int rc = pair.copy("f", "f");
        (void)::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
        QCOMPARE(rc, stop ? -ECANCELED : -EFBIG); // EFBIG fails the copy, it is no reason to change method
        QCOMPARE(asked, 2); // asked every few MiB, and no more once told to stop
        QVERIFY(!leaks && pair.read("dst/f") == "old" && pair.entries("dst") == QByteArrayList{"f"});
    }
    // Between file systems reflink and copy_file_range give up before the first byte; a slower method goes on.
    void copiesAcrossFileSystems()
    {
        QTemporaryDir other(QStringLiteral("/dev/shm/vell-XXXXXX"));
        Pair pair;
        pair.dst.reset(openFolderPath(QFile::encodeName(other.path())));
        struct stat here, there;
        if (!pair.dst.valid() || ::fstat(pair.src.get(), &here) != 0 || ::fstat(pair.dst.get(), &there) != 0
            || here.st_dev == there.st_dev)
            QSKIP("No other file system in /dev/shm");
        QVERIFY(pair.write("src/f", randomBytes(MiB + 3)) && pair.copy("f", "f") == 0);
        QFile copy(other.filePath(QStringLiteral("f")));
        QVERIFY(copy.open(QIODevice::ReadOnly) && copy.readAll() == randomBytes(MiB + 3));
    }
    void copiesLinkAsLinkAndReplacesTargetLinkItself()
    {
        Pair pair;
        QVERIFY(pair.build({"src/link->real", "dst/link=old", "src/f=new", "elsewhere=kept", "dst/f->../elsewhere"}));
        QVERIFY(pair.setMtime("src/link", 1500000000, 5) && pair.copy("link", "link") == 0 && pair.copied.size == 4);
        QCOMPARE(pair.linkText("dst/link"), QByteArray("real"));
        QVERIFY(pair.mtimeSec("dst/link") == 1500000000 && pair.mtimeNsec("dst/link") == 5);
        QVERIFY(pair.copy("f", "f") == 0 && !pair.isLink("dst/f") && pair.read("dst/f") == "new");
        QVERIFY(pair.read("elsewhere") == "kept" && pair.entries("dst") == (QByteArrayList{"f", "link"}));
    }
    void refusesSelfSpecialsAndFolderInTheWay()
    {
        Pair pair;
        QVERIFY(pair.build({"src/f=only copy@1000", "dst/hard=>src/f", "src/fifo|", "dst/d/inside=kept"}));
        QCOMPARE(copyFile(pair.src.get(), "f", pair.src.get(), "f", {}), -ESAME);
        QCOMPARE(pair.copy("f", "hard"), -ESAME);
        QVERIFY(pair.read("src/f") == "only copy" && pair.mtimeSec("dst/hard") == 1000);
        QCOMPARE(pair.copy("fifo", "fifo"), -EINVAL); // opening a FIFO with no writer would block: it is never opened
        QCOMPARE(pair.copy("missing", "missing"), -ENOENT);
        const int rc = pair.copy("f", "d");
        QVERIFY2(rc == -EISDIR || rc == -ENOTEMPTY, qPrintable(QString::number(rc)));
        QVERIFY(pair.read("dst/d/inside") == "kept" && pair.entries("dst") == (QByteArrayList{"d", "hard"}));
    }
    // A copy killed midway leaves nothing; while it lives its new file is locked: no Vell takes it for stale.
    void killedCopyLeavesNothingAndLiveOneIsKept()
    {
        Pair pair;
        QVERIFY(pair.write("src/big", randomBytes(9 * MiB)));
        int midway[2];
        QCOMPARE(::pipe2(midway, O_CLOEXEC), 0);
        const UniqueFd readEnd(midway[0]), writeEnd(midway[1]);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            pair.options.proceed = [&] {
                (void)!::write(midway[1], "m", 1);
                ::pause(); // until killed
                return false;
            };
            ::_exit(pair.copy("big", "big"));
        }
        char c;
        const bool midwayReached = ::read(midway[0], &c, 1) == 1; // checked once the child is gone
        // The child's new file, given a name if it has none (O_TMPFILE).
        const QByteArray dst = pair.path("dst");
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
        const struct timespec later = {::time(nullptr) + 3600, 0};
        const int whileLive = sys::removeStaleTemporaryAs(pair.dst.get(), held, ::geteuid(), later);
        ::kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(midwayReached && WIFSIGNALED(status));
        QVERIFY2(!held.isEmpty(), "the copy's new file was not found");
        QCOMPARE(whileLive, -EBUSY);
        QCOMPARE(pair.entries("dst"), QByteArrayList{held}); // the name the test gave, or the copy's own
        QCOMPARE(sys::removeStaleTemporaryAs(pair.dst.get(), held, ::geteuid(), later), 0);
        QVERIFY(pair.entries("dst").isEmpty());
    }
};
QTEST_APPLESS_MAIN(TestFileCopy)
#include "tst_filecopy.moc"
