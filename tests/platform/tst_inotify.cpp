#include "common/testtree.h"
#include "platform/filesystemkind.h"
#include "platform/fileops.h"
#include "platform/inotify.h"
#include "platform/uniquefd.h"

#include <QTest>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace vell::platform;

namespace {
// Rows. Events are written "<watch> <mask bits> [name] [~n]", where ~n pairs the two halves of one move.
struct EventCase { QByteArray op; QByteArrayList events; };
struct WatchCase { QByteArray name; int result; };
struct ParseCase { QByteArray buffer; QByteArrayList events; };
struct KindCase { uint64_t magic; bool watchable; QByteArray name; };
struct CountCase { QByteArray text; int64_t result; };

// One struct inotify_event record as the kernel lays it out (native byte order), the name padded to `len`.
QByteArray record(int32_t wd, uint32_t mask, uint32_t cookie, const QByteArray &name, uint32_t len)
{
    QByteArray b;
    for (const uint32_t word : {uint32_t(wd), mask, cookie, len})
        b.append(reinterpret_cast<const char *>(&word), sizeof word);
    return b + name.leftJustified(len, '\0', true);
}
QByteArray maskText(uint32_t mask)
{
    static const std::pair<uint32_t, const char *> bits[] = {
        {IN_CREATE, "CREATE"}, {IN_DELETE, "DELETE"}, {IN_MOVED_FROM, "MOVED_FROM"}, {IN_MOVED_TO, "MOVED_TO"},
        {IN_MODIFY, "MODIFY"}, {IN_ATTRIB, "ATTRIB"}, {IN_DELETE_SELF, "DELETE_SELF"}, {IN_MOVE_SELF, "MOVE_SELF"},
        {IN_IGNORED, "IGNORED"}, {IN_Q_OVERFLOW, "Q_OVERFLOW"}, {IN_ISDIR, "ISDIR"}};
    QByteArrayList names;
    for (const auto &[bit, name] : bits)
        if (mask & bit)
            names << name;
    return names.join('|');
}
// A record whose length field says `len` whatever follows it.
QByteArray withLength(QByteArray b, uint32_t len) { return b.replace(12, 4, reinterpret_cast<const char *>(&len), 4); }
// The events in the rows' form, sorted unless `inOrder`: the order in which the kernel queues the events of one call
// has varied between versions, and no reader relies on it (moves pair by cookie).
QByteArrayList render(const std::vector<WatchEvent> &events, const std::map<int, QByteArray> &labels,
                      bool inOrder = false)
{
    QByteArrayList lines;
    std::map<uint32_t, int> cookies;
    for (const WatchEvent &e : events) {
        const auto label = labels.find(e.wd);
        QByteArray line = (label == labels.end() ? QByteArray::number(e.wd) : label->second) + ' ' + maskText(e.mask);
        if (!e.name.isEmpty())
            line += ' ' + e.name;
        if (e.cookie != 0)
            line += " ~" + QByteArray::number(cookies.emplace(e.cookie, int(cookies.size()) + 1).first->second);
        lines << line;
    }
    if (!inOrder)
        std::sort(lines.begin(), lines.end());
    return lines;
}

// A tree "a/f", "a/d/", "b/", "b/h" (a hard link to a/f), its top watched as T, a as A, b as B, a/d as D.
struct Watched : TestTree
{
    UniqueFd in{openInotify()};
    UniqueFd top{openFolderPath(root())};
    std::map<int, QByteArray> labels;
    std::vector<WatchEvent> events;
    bool ready()
    {
        if (!build({"a/f=data", "a/d/", "b/", "b/h=>a/f"}) || !in.valid() || !top.valid())
            return false;
        const UniqueFd a(openFolderAt(top.get(), "a"));
        for (const auto &[wd, label] : {std::pair{watchFolderFd(in.get(), top.get()), "T"},
                                        {watchFolderAt(in.get(), top.get(), "a"), "A"},
                                        {watchFolderAt(in.get(), top.get(), "b"), "B"},
                                        {watchFolderAt(in.get(), a.get(), "d"), "D"}})
            labels[wd] = label;
        return labels.size() == 4 && !labels.contains(-1) && labels.begin()->first > 0;
    }
    // Reads until `count` events have come (each wait capped at 2 s: the kernel queues them within the call that
    // caused them, so the cap is never reached unless an event is missing), then whatever else is queued.
    bool take(size_t count)
    {
        for (;;) {
            if (readWatchEvents(in.get(), events) < 0)
                return false;
            struct pollfd p = {in.get(), POLLIN, 0};
            if (events.size() >= count || ::poll(&p, 1, 2000) <= 0)
                return true;
        }
    }
};
bool apply(Watched &w, const QByteArray &op)
{
    const auto at = [&](const QByteArray &rel) { return w.path(rel); };
    if (op == "create")
        return UniqueFd(::open(at("a/n").constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644)).valid();
    if (op == "append") {
        const UniqueFd fd(::open(at("a/f").constData(), O_WRONLY | O_APPEND | O_CLOEXEC));
        return ::write(fd.get(), "more", 4) == 4;
    }
    if (op == "truncate")
        return ::truncate(at("a/f").constData(), 1) == 0;
    if (op == "times")
        return w.setMtime("a/f", 1234567890);
    if (op == "chmod")
        return w.setMode("a/f", 0600);
    if (op == "user xattr")
        return w.setXattr("a/f", "user.DOSATTRIB", "0x20");
    if (op == "read and list") {
        std::vector<EntryInfo> entries;
        const UniqueFd a(openFolderAt(w.top.get(), "a"));
        return w.read("a/f") == "data" && listFolder(a.get(), entries, true) == 0 && entries.size() == 2;
    }
    if (op == "write through a link elsewhere")
        return w.write("b/h", "changed") && w.read("a/f") == "changed";
    if (op == "delete")
        return ::unlink(at("a/f").constData()) == 0;
    if (op == "mkdir")
        return w.mkdir("a/n");
    if (op == "chmod folder")
        return w.setMode("a/d", 0700);
    if (op == "xattr on folder")
        return w.setXattr("a/d", "user.x", "1");
    if (op == "rmdir")
        return ::rmdir(at("a/d").constData()) == 0;
    if (op == "unwatch")
        return unwatch(w.in.get(), std::find_if(w.labels.begin(), w.labels.end(), [](const auto &l) {
                   return l.second == "D"; })->first) == 0;
    // rename FROM TO
    const QByteArrayList words = op.split(' ');
    return words.size() == 3 && ::rename(at(words[1]).constData(), at(words[2]).constData()) == 0;
}
} // namespace
Q_DECLARE_METATYPE(EventCase)
Q_DECLARE_METATYPE(WatchCase)
Q_DECLARE_METATYPE(ParseCase)
Q_DECLARE_METATYPE(KindCase)
Q_DECLARE_METATYPE(CountCase)

// Folder watches on real folders: the events a change raises, what a watch refuses, the parsing of the kernel's
// records, and which file systems are watched.
class TestInotify : public QObject
{
    Q_OBJECT
private slots:
    void changesRaiseEvents_data()
    {
        QTest::addColumn<EventCase>("c");
        QTest::newRow("create") << EventCase{"create", {"A CREATE n"}};
        QTest::newRow("append") << EventCase{"append", {"A MODIFY f"}};
        QTest::newRow("truncate") << EventCase{"truncate", {"A MODIFY f"}};
        QTest::newRow("times") << EventCase{"times", {"A ATTRIB f"}};
        QTest::newRow("chmod") << EventCase{"chmod", {"A ATTRIB f"}};
        QTest::newRow("user xattr") << EventCase{"user xattr", {"A ATTRIB f"}};
        QTest::newRow("delete") << EventCase{"delete", {"A DELETE f"}};
        // Vell's own reads and listings must not dirty what they read.
        QTest::newRow("read and list") << EventCase{"read and list", {}};
        // Why a folder listing a hard-linked file is read every run: its own watch hears nothing.
        QTest::newRow("write through a link elsewhere") << EventCase{"write through a link elsewhere", {"B MODIFY h"}};
        QTest::newRow("rename within") << EventCase{"rename a/f a/g", {"A MOVED_FROM f ~1", "A MOVED_TO g ~1"}};
        QTest::newRow("rename across") << EventCase{"rename a/f b/g", {"A MOVED_FROM f ~1", "B MOVED_TO g ~1"}};
        QTest::newRow("mkdir") << EventCase{"mkdir", {"A CREATE|ISDIR n"}};
        // The folder's own change reaches its watch unnamed (ISDIR set) and its parent's watch by name.
        QTest::newRow("chmod folder") << EventCase{"chmod folder", {"A ATTRIB|ISDIR d", "D ATTRIB|ISDIR"}};
        QTest::newRow("xattr on folder") << EventCase{"xattr on folder", {"A ATTRIB|ISDIR d", "D ATTRIB|ISDIR"}};
        QTest::newRow("rmdir") << EventCase{"rmdir", {"A DELETE|ISDIR d", "D DELETE_SELF", "D IGNORED"}};
        QTest::newRow("folder moved across")
            << EventCase{"rename a/d b/d", {"A MOVED_FROM|ISDIR d ~1", "B MOVED_TO|ISDIR d ~1", "D MOVE_SELF"}};
        QTest::newRow("top folder renamed") << EventCase{"rename a c", {"A MOVE_SELF", "T MOVED_FROM|ISDIR a ~1",
                                                                        "T MOVED_TO|ISDIR c ~1"}};
        QTest::newRow("unwatch") << EventCase{"unwatch", {"D IGNORED"}};
    }
    void changesRaiseEvents()
    {
        QFETCH(EventCase, c);
        Watched w;
        QVERIFY(w.ready());
        QVERIFY2(apply(w, c.op), strerror(errno));
        QVERIFY(w.take(size_t(c.events.size())));
        QCOMPARE(render(w.events, w.labels), c.events);
    }
    // Many events take several reads; every one is kept, in order, and counted.
    void readsEveryPendingEvent()
    {
        Watched w;
        QVERIFY(w.ready());
        const UniqueFd a(openFolderAt(w.top.get(), "a"));
        constexpr int Files = 300; // 272-byte records: more than one read's worth
        const auto name = [](int i) { return QByteArray::number(i).rightJustified(250, '0'); };
        for (int i = 0; i < Files; ++i)
            QVERIFY(UniqueFd(::openat(a.get(), name(i).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644)).valid());
        struct pollfd p = {w.in.get(), POLLIN, 0};
        QVERIFY(::poll(&p, 1, 2000) == 1);
        QCOMPARE(readWatchEvents(w.in.get(), w.events), Files);
        for (int i = 0; i < Files; ++i)
            QCOMPARE(w.events[i].name, name(i));
        QCOMPARE(readWatchEvents(w.in.get(), w.events), 0);
        QCOMPARE(readWatchEvents(-1, w.events), -EBADF);
    }
    void watchRefusals_data()
    {
        QTest::addColumn<WatchCase>("c");
        QTest::newRow("folder") << WatchCase{"a", 1};
        QTest::newRow("link to a folder") << WatchCase{"l", -ENOTDIR};
        QTest::newRow("file") << WatchCase{"f", -ENOTDIR};
        QTest::newRow("missing") << WatchCase{"none", -ENOENT};
        QTest::newRow("path below") << WatchCase{"a/d", -EINVAL};
        QTest::newRow("empty") << WatchCase{"", -EINVAL};
        QTest::newRow("unreadable") << WatchCase{"locked", -EACCES};
    }
    void watchRefusals()
    {
        QFETCH(WatchCase, c);
        if (c.name == "locked" && RunningAsRoot())
            QSKIP("root reads every folder");
        TestTree tree;
        QVERIFY(tree.build({"a/d/", "l->a", "f", "locked/%000"}));
        const UniqueFd in(openInotify()), top(openFolderPath(tree.root()));
        const int wd = watchFolderAt(in.get(), top.get(), c.name);
        QCOMPARE(c.result > 0 ? wd > 0 : wd, c.result);
        tree.resetModes();
    }
    // The same inode by any path is one watch: the index must count references, not paths.
    void oneFolderOneWatch()
    {
        TestTree tree;
        QVERIFY(tree.build({"a/", "l->a", "f"}));
        const UniqueFd in(openInotify()), top(openFolderPath(tree.root())), throughLink(openFolderPath(tree.path("l")));
        const UniqueFd file(::open(tree.path("f").constData(), O_PATH | O_CLOEXEC));
        const int wd = watchFolderAt(in.get(), top.get(), "a");
        QVERIFY(wd > 0 && watchFolderFd(in.get(), throughLink.get()) == wd);
        const int other = watchFolderFd(in.get(), top.get());
        QVERIFY(other > 0 && other != wd);
        QCOMPARE(watchFolderFd(in.get(), file.get()), -ENOTDIR);
        QCOMPARE(watchFolderFd(-1, top.get()), -EBADF);
        QVERIFY(unwatch(in.get(), wd) == 0 && unwatch(in.get(), wd) == -EINVAL);
    }
    void parsesRecords_data()
    {
        QTest::addColumn<ParseCase>("c");
        const QByteArray created = record(3, IN_CREATE, 0, "abc", 16);
        QTest::newRow("padded name") << ParseCase{created, {"3 CREATE abc"}};
        QTest::newRow("no name") << ParseCase{record(4, IN_DELETE_SELF, 0, {}, 0), {"4 DELETE_SELF"}};
        QTest::newRow("name filling its length") << ParseCase{record(3, IN_MODIFY, 0, "abcd", 4), {"3 MODIFY abcd"}};
        QTest::newRow("overflow") << ParseCase{record(-1, IN_Q_OVERFLOW, 0, {}, 0), {"-1 Q_OVERFLOW"}};
        QTest::newRow("a move")
            << ParseCase{record(3, IN_MOVED_FROM | IN_ISDIR, 77, "x", 16) + record(5, IN_MOVED_TO | IN_ISDIR, 77, "y", 16),
                         {"3 MOVED_FROM|ISDIR x ~1", "5 MOVED_TO|ISDIR y ~1"}};
        QTest::newRow("header cut") << ParseCase{created + created.left(10), {"3 CREATE abc", "-1 Q_OVERFLOW"}};
        QTest::newRow("name cut") << ParseCase{created + created.chopped(1), {"3 CREATE abc", "-1 Q_OVERFLOW"}};
        QTest::newRow("length past the end")
            << ParseCase{withLength(created, 0xFFFFFFF0), {"-1 Q_OVERFLOW"}};
    }
    void parsesRecords()
    {
        QFETCH(ParseCase, c);
        std::vector<WatchEvent> events{{9, IN_ATTRIB, 0, "kept"}};
        parseWatchEvents(c.buffer.constData(), size_t(c.buffer.size()), events);
        QCOMPARE(render(events, {{9, "9"}}, true), QByteArrayList{"9 ATTRIB kept"} + c.events);
    }
    void fileSystemKinds_data()
    {
        QTest::addColumn<KindCase>("c");
        QTest::newRow("ext4") << KindCase{0xEF53, true, "ext4"};
        QTest::newRow("tmpfs") << KindCase{0x01021994, true, "tmpfs"};
        QTest::newRow("overlay") << KindCase{0x794C7630, true, "overlay"};
        QTest::newRow("btrfs") << KindCase{0x9123683E, true, "btrfs"};
        QTest::newRow("nfs") << KindCase{0x6969, false, "nfs"};
        QTest::newRow("fuse") << KindCase{0x65735546, false, "fuse"};
        QTest::newRow("9p") << KindCase{0x01021997, false, "9p"};
        QTest::newRow("cifs as a 32-bit word") << KindCase{uint64_t(int64_t(int32_t(0xFF534D42))), false, "cifs"};
        QTest::newRow("unknown") << KindCase{0x00ABCDEF, false, "0x00abcdef"};
    }
    void fileSystemKinds()
    {
        QFETCH(KindCase, c);
        const FileSystemKind kind = fileSystemKind(c.magic);
        QVERIFY(kind.watchable == c.watchable && kind.name == c.name);
    }
    void fileSystemOfAFolder()
    {
        TestTree tree;
        const UniqueFd top(openFolderPath(tree.root()));
        bool watchable = false;
        QByteArray name;
        QVERIFY(fileSystemWatchable(top.get(), watchable, name) == 0 && !name.isEmpty());
        name.clear();
        QVERIFY(fileSystemWatchable(-1, watchable, name) == -EBADF && name.isEmpty());
    }
    void watchLimit_data()
    {
        QTest::addColumn<CountCase>("c");
        QTest::newRow("kernel's form") << CountCase{"192540\n", 192540};
        QTest::newRow("no line end") << CountCase{"8192", 8192};
        QTest::newRow("empty") << CountCase{"", -EINVAL};
        QTest::newRow("negative") << CountCase{"-1\n", -EINVAL};
        QTest::newRow("words") << CountCase{"many\n", -EINVAL};
        QTest::newRow("two numbers") << CountCase{"1 2\n", -EINVAL};
        QTest::newRow("past 64 bits") << CountCase{"99999999999999999999\n", -EINVAL};
        QTest::newRow("missing") << CountCase{{}, -ENOENT};
    }
    void watchLimit()
    {
        QFETCH(CountCase, c);
        TestTree tree;
        QVERIFY(c.text.isNull() || tree.write("limit", c.text));
        QCOMPARE(maxUserWatches(tree.path("limit")), c.result);
    }
    void systemSources()
    {
        QVERIFY(maxUserWatches() > 0);
        const int64_t before = bootNanoseconds();
        QVERIFY(before > 0 && bootNanoseconds() >= before);
        // No mount changed since it was opened: nothing to report.
        const UniqueFd mounts(openMountTable());
        struct pollfd p = {mounts.get(), POLLPRI, 0};
        QVERIFY(mounts.valid() && ::poll(&p, 1, 0) == 0);
    }
};

QTEST_APPLESS_MAIN(TestInotify)
#include "tst_inotify.moc"
