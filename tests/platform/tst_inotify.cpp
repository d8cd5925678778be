#include "common/testtree.h"
#include "platform/filesystemkind.h"
#include "platform/fileops.h"
#include "platform/inotify.h"
#include "platform/uniquefd.h"
#include <QTest>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <tuple>

using namespace vell::platform;
using namespace Qt::StringLiterals;

namespace {
// One struct inotify_event record as the kernel lays it out (native byte order), the name padded to `len`.
QByteArray record(int32_t wd, uint32_t mask, const QByteArray &name, uint32_t len)
{
    const uint32_t words[] = {uint32_t(wd), mask, 0u, len};
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words) + name.leftJustified(len, '\0', true);
}
// Events as "<watch> <bits> [name] [~n]" (~n pairs the halves of one move), in order or sorted: the order of the
// events of one call has varied between kernels, and no reader relies on it.
QByteArrayList render(const std::vector<WatchEvent> &events, std::map<int, QByteArray> labels, bool sorted)
{
    static const std::pair<uint32_t, const char *> bits[] = {
        {IN_CREATE, "CREATE"}, {IN_DELETE, "DELETE"}, {IN_MOVED_FROM, "MOVED_FROM"}, {IN_MOVED_TO, "MOVED_TO"},
        {IN_MODIFY, "MODIFY"}, {IN_ATTRIB, "ATTRIB"}, {IN_DELETE_SELF, "DELETE_SELF"}, {IN_MOVE_SELF, "MOVE_SELF"},
        {IN_IGNORED, "IGNORED"}, {IN_Q_OVERFLOW, "Q_OVERFLOW"}, {IN_ISDIR, "ISDIR"}};
    QByteArrayList lines;
    std::map<uint32_t, int> cookies;
    for (const WatchEvent &e : events) {
        QByteArrayList names;
        for (const auto &[bit, name] : bits)
            if (e.mask & bit)
                names << name;
        lines << (labels.contains(e.wd) ? labels[e.wd] : QByteArray::number(e.wd)) + ' ' + names.join('|')
                + (e.name.isEmpty() ? "" : ' ' + e.name)
                + (e.cookie ? " ~" + QByteArray::number(cookies.emplace(e.cookie, cookies.size() + 1).first->second)
                            : QByteArray());
    }
    if (sorted)
        std::sort(lines.begin(), lines.end());
    return lines;
}
} // namespace

// Folder watches on real folders: the events changes raise, what a watch refuses, the parsing of the kernel's
// records, which file systems are watched.
class TestInotify : public QObject
{
    Q_OBJECT
private slots:
    void changesRaiseEvents_data()
    {
        QTest::addColumn<QByteArray>("op");
        QTest::addColumn<QByteArrayList>("events");
        QTest::newRow("create") << "create a/n"_ba << QByteArrayList{"A CREATE n"};
        QTest::newRow("chmod") << "chmod a/f"_ba << QByteArrayList{"A ATTRIB f"};
        QTest::newRow("xattr") << "xattr a/f"_ba << QByteArrayList{"A ATTRIB f"};
        QTest::newRow("Vell's own reads are silent") << "read a/f"_ba << QByteArrayList{};
        QTest::newRow("rename across") << "mv a/f b/g"_ba << QByteArrayList{"A MOVED_FROM f ~1", "B MOVED_TO g ~1"};
        // A folder's own change: unnamed (ISDIR set) on its watch, by name on its parent's.
        QTest::newRow("chmod folder") << "chmod a/d"_ba << QByteArrayList{"A ATTRIB|ISDIR d", "D ATTRIB|ISDIR"};
        QTest::newRow("rmdir") << "rm a/d"_ba << QByteArrayList{"A DELETE|ISDIR d", "D DELETE_SELF", "D IGNORED"};
        QTest::newRow("folder moved across")
            << "mv a/d b/d"_ba << QByteArrayList{"A MOVED_FROM|ISDIR d ~1", "B MOVED_TO|ISDIR d ~1", "D MOVE_SELF"};
    }
    // On "a/f", "a/d/", "b/", with a watched as A, b as B, a/d as D.
    void changesRaiseEvents()
    {
        QFETCH(QByteArray, op);
        QFETCH(QByteArrayList, events);
        TestTree w;
        const UniqueFd in(openInotify()), top(openFolderPath(w.root()));
        const UniqueFd a(w.build({"a/f=data", "a/d/", "b/"}) ? openFolderAt(top.get(), "a") : -1);
        std::map<int, QByteArray> labels{{watchFolderAt(in.get(), top.get(), "a"), "A"},
                                         {watchFolderAt(in.get(), top.get(), "b"), "B"},
                                         {watchFolderAt(in.get(), a.get(), "d"), "D"}};
        QVERIFY(labels.size() == 3 && labels.begin()->first > 0);
        const QByteArrayList o = op.split(' ');
        const QByteArray path = w.path(o.value(1));
        std::vector<EntryInfo> entries;
        const bool done = o[0] == "create"
            ? UniqueFd(::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644)).valid()
            : o[0] == "chmod" ? w.setMode(o[1], 0700)
            : o[0] == "xattr" ? w.setXattr(o[1], "user.DOSATTRIB", "0x20")
            : o[0] == "read" ? w.read(o[1]) == "data" && listFolder(a.get(), entries, true) == 0 // what a walk does
            : o[0] == "rm" ? ::remove(path.constData()) == 0
                           : ::rename(path.constData(), w.path(o[2]).constData()) == 0;
        QVERIFY(done);
        // Reads until every event expected has come, each wait capped at 2 s (the kernel queues them within the call
        // that caused them: the cap is reached only when one is missing), then whatever else is queued.
        std::vector<WatchEvent> seen;
        for (struct pollfd p = {in.get(), POLLIN, 0};; p.revents = 0) {
            QVERIFY(readWatchEvents(in.get(), seen) >= 0);
            if (seen.size() >= size_t(events.size()) || ::poll(&p, 1, 2000) <= 0)
                break;
        }
        QCOMPARE(render(seen, labels, true), events);
    }
    // Many events take several reads; every one is kept and counted.
    void readsEveryPendingEvent()
    {
        TestTree tree;
        const UniqueFd in(openInotify()), top(openFolderPath(tree.root()));
        QVERIFY(tree.mkdir("a") && watchFolderAt(in.get(), top.get(), "a") > 0);
        const auto name = [](int i) { return QByteArray::number(i).rightJustified(250, '0'); };
        for (int i = 0; i < 300; ++i) // 272-byte records: more than one read's worth
            QVERIFY(tree.write("a/" + name(i), {}));
        std::vector<WatchEvent> events;
        struct pollfd p = {in.get(), POLLIN, 0};
        QVERIFY(::poll(&p, 1, 2000) == 1 && readWatchEvents(in.get(), events) == 300);
        QVERIFY(events[0].name == name(0) && events[299].name == name(299));
        QVERIFY(readWatchEvents(in.get(), events) == 0 && readWatchEvents(-1, events) == -EBADF);
    }
    // A link, a file or a path is never watched; one inode by any path is one watch (the caller counts references).
    void watchesFoldersOnly()
    {
        TestTree tree;
        QVERIFY(tree.build({"a/d/", "l->a", "f", "locked/%000"}));
        const UniqueFd in(openInotify()), top(openFolderPath(tree.root())), viaLink(openFolderPath(tree.path("l")));
        for (const auto &[name, result] : std::initializer_list<std::pair<QByteArray, int>>{
                 {"l", -ENOTDIR}, {"f", -ENOTDIR}, {"none", -ENOENT}, {"a/d", -EINVAL}, {"", -EINVAL},
                 {"locked", RunningAsRoot() ? 0 : -EACCES}})
            QVERIFY2(result == 0 || watchFolderAt(in.get(), top.get(), name) == result, name);
        const UniqueFd file(::open(tree.path("f").constData(), O_PATH | O_CLOEXEC));
        const int wd = watchFolderAt(in.get(), top.get(), "a"), other = watchFolderFd(in.get(), top.get());
        QVERIFY(wd > 0 && watchFolderFd(in.get(), viaLink.get()) == wd && other > 0 && other != wd);
        QVERIFY(watchFolderFd(in.get(), file.get()) == -ENOTDIR && watchFolderFd(-1, top.get()) == -EBADF);
        QVERIFY(unwatch(in.get(), wd) == 0 && unwatch(in.get(), wd) == -EINVAL);
        tree.resetModes();
    }
    // A record that does not fit the buffer reads as an overflow: the reader then falls back to full runs.
    void parsesRecords()
    {
        const QByteArray created = record(3, IN_CREATE, "abc", 16);
        QByteArray huge = created;
        huge.replace(12, 4, QByteArray("\xF0\xFF\xFF\xFF", 4)); // a length far past the end
        for (const auto &[buffer, expected] : std::initializer_list<std::pair<QByteArray, QByteArrayList>>{
                 {created + record(-1, IN_Q_OVERFLOW, {}, 0), {"3 CREATE abc", "-1 Q_OVERFLOW"}},
                 {record(3, IN_MODIFY, "abcd", 4), {"3 MODIFY abcd"}}, // no NUL: the length ends it
                 {created + created.left(10), {"3 CREATE abc", "-1 Q_OVERFLOW"}},
                 {created + created.chopped(1), {"3 CREATE abc", "-1 Q_OVERFLOW"}},
                 {huge, {"-1 Q_OVERFLOW"}}}) {
            std::vector<WatchEvent> events{{9, IN_ATTRIB, 0, "kept"}};
            parseWatchEvents(buffer.constData(), size_t(buffer.size()), events);
            QCOMPARE(render(events, {}, false), QByteArrayList{"9 ATTRIB kept"} + expected);
        }
    }
    void fileSystemKinds()
    {
        for (const auto &[magic, watchable, name] : std::initializer_list<std::tuple<uint64_t, bool, QByteArray>>{
                 {0xEF53, true, "ext4"}, {0x01021994, true, "tmpfs"}, {0x794C7630, true, "overlay"},
                 {0x6969, false, "nfs"}, {0x65735546, false, "fuse"}, {0x00ABCDEF, false, "0x00abcdef"},
                 {uint64_t(int64_t(int32_t(0xFF534D42))), false, "cifs"}}) // f_type of a 32-bit system
            QVERIFY2(fileSystemKind(magic).watchable == watchable && fileSystemKind(magic).name == name, name);
        bool watchable = false;
        TestTree tree;
        const UniqueFd top(openFolderPath(tree.root()));
        QByteArray name;
        QVERIFY(fileSystemWatchable(top.get(), watchable, name) == 0 && !name.isEmpty());
        QVERIFY(fileSystemWatchable(-1, watchable, name) == -EBADF);
    }
    void systemValues()
    {
        TestTree tree;
        for (const auto &[text, result] : std::initializer_list<std::pair<QByteArray, int64_t>>{
                 {"192540\n", 192540}, {"8192", 8192}, {"", -EINVAL}, {"-1\n", -EINVAL}, {"many\n", -EINVAL},
                 {"1 2\n", -EINVAL}, {"99999999999999999999\n", -EINVAL}})
            QVERIFY2(tree.write("limit", text) && maxUserWatches(tree.path("limit")) == result, text);
        QVERIFY(maxUserWatches(tree.path("none")) == -ENOENT && maxUserWatches() > 0);
        const int64_t before = bootNanoseconds();
        QVERIFY(before > 0 && bootNanoseconds() >= before);
        const UniqueFd mounts(openMountTable());
        struct pollfd p = {mounts.get(), POLLPRI, 0}; // no mount changed since it was opened
        QVERIFY(mounts.valid() && ::poll(&p, 1, 0) == 0);
    }
};
QTEST_APPLESS_MAIN(TestInotify)
#include "tst_inotify.moc"
