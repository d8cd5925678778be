#include "engine/watchbook.h"
#include "engine/walkfolders.h"
#include "common/testtree.h"
#include "platform/inotify.h"
#include <QTest>
#include <fcntl.h>
#include <map>
#include <sys/inotify.h>

using namespace vell;

constexpr int64_t Minute = 60'000'000'000;
struct Event { QByteArray where; uint mask; QByteArray name; uint then; QByteArray flags, next; };
struct Plan { QByteArray change, next; QString note = {}; };
struct Refusal { int maxWatches; QByteArray failing, first, flags; QString note; QByteArray second; };

// A book on real inotify, with a clock, a watch limit and failures the test sets, and a walk that uses the couple's
// state the way the mirror walk does: Full folders are listed and their sub-folders watched on both sides, Pass
// folders are crossed, the rest is skipped; every visit is quiet.
struct Watched
{
    TestTree tree;
    Settings settings;
    int64_t now = 1000 * Minute;
    int64_t maxWatches;
    QByteArray refusedType;         // every folder on a file system of that name
    std::map<QByteArray, int> fail; // name -> -errno of watching it
    int openError = 0;              // -errno of opening inotify
    int unwatched = 0;              // watches removed from the kernel
    WatchSystem system;
    std::unique_ptr<WatchBook> book;
    CoupleWatch *last = nullptr;    // the state of the last run's couple

    explicit Watched(const QByteArrayList &items, int64_t max = 1000) : maxWatches(max)
    {
        QVERIFY(tree.build(items));
        system.open = [this] { return openError ? openError : platform::openInotify(); };
        system.watchAt = [this](int fd, int dirFd, const QByteArray &name) {
            return fail.contains(name) ? fail[name] : platform::watchFolderAt(fd, dirFd, name);
        };
        system.watchFd = platform::watchFolderFd;
        system.unwatch = [this](int fd, int wd) { return ++unwatched, platform::unwatch(fd, wd); };
        system.read = [](int fd, std::vector<WatchEventRecord> &out) {
            std::vector<platform::WatchEvent> events;
            const int rc = platform::readWatchEvents(fd, events);
            for (const platform::WatchEvent &e : events)
                out.push_back({e.wd, e.mask, e.cookie, e.name});
            return rc;
        };
        system.maxUserWatches = [this] { return maxWatches; };
        system.fileSystemWatchable = [this](int, bool &ok, QByteArray &type) {
            return ok = refusedType.isEmpty(), type = refusedType, 0;
        };
        system.bootClock = [this] { return now; };
        book = std::make_unique<WatchBook>(settings, system);
    }
    // One run of the couple: "full:/ full:a pass:b skip:c" (each folder by its name), or "unwatched".
    QByteArray run(const QByteArray &src = "src", const QByteArray &dst = "dst", RunShape shape = {}, bool drain = true)
    {
        if (drain)
            book->drain();
        CoupleWatch *c = book->planFor(shape, OpenCoupleFolders(tree.pathText(src), tree.pathText(dst)));
        last = c ? c : last;
        if (!c)
            return "unwatched";
        QByteArray log;
        walk(*c, c->tree().root(), src, dst, log);
        book->finishCouple(c, false);
        return log.trimmed();
    }
    // A refused couple's walk goes on in full over the nodes it still holds.
    void walk(CoupleWatch &c, NodeId n, const QByteArray &src, const QByteArray &dst, QByteArray &log)
    {
        FolderTree &t = c.tree();
        const uint16_t f = t.flags(n);
        const QByteArray name = n == t.root() ? QByteArray("/") : src.mid(src.lastIndexOf('/') + 1);
        const bool full = !c.watching() || (f & (MirrorDirty | AlwaysFull)); // refused: read everything
        log += (full ? " full:" : f & MirrorBelow ? " pass:" : " skip:") + name;
        if (!full && !(f & MirrorBelow))
            return;
        if (full) {
            t.clearDirty(n, BothDirty);
            std::vector<QByteArray> subFolders;
            for (const QByteArray &e : tree.entries(src))
                if (tree.isDir(src + '/' + e) && !tree.isLink(src + '/' + e))
                    subFolders.push_back(e);
            c.sourceListed(n, subFolders);
            const platform::UniqueFd s(platform::openFolderPath(tree.path(src)));
            const platform::UniqueFd d(platform::openFolderPath(tree.path(dst)));
            for (const QByteArray &e : subFolders) {
                c.watchChild(t.child(n, e), s.get(), e, Side::Source);
                if (tree.isDir(dst + '/' + e))
                    c.watchChild(t.child(n, e), d.get(), e, Side::Target);
            }
        }
        t.forEachChild(n, [&](NodeId k) {
            walk(c, k, src + '/' + t.name(k).toByteArray(), dst + '/' + t.name(k).toByteArray(), log);
        });
        t.recomputeBelow(n);
    }
    NodeId at(const QByteArray &path) const // "" the root, "a/b"
    {
        NodeId n = last->tree().root();
        for (const QByteArray &part : path.split('/'))
            n = part.isEmpty() ? n : last->tree().child(n, part);
        return n;
    }
    // The flags of the root, "a" and "a/b", each as letters by bit ("MRmrVXDST"), "-" for none.
    QByteArray flags() const
    {
        QByteArrayList out;
        for (const QByteArray path : {"", "a", "a/b"}) {
            QByteArray t;
            for (int bit = 0; bit < 9; ++bit)
                t += last->tree().flags(at(path)) & (1 << bit) ? QByteArray(1, "MRmrVXDST"[bit]) : QByteArray();
            out << (t.isEmpty() ? "-" : t);
        }
        return out.join(' ');
    }
};

class TestWatchBook : public QObject
{
    Q_OBJECT
private slots:
    void events_data()
    {
        // where: "a/b:s" the watch of src/a/b, "*" no watch, "?" an unknown one; then: a second event on the same
        // watch, no name (0: none).
        QTest::addColumn<Event>("e");
        const auto row = [](const char *name, const Event &e) { QTest::newRow(name) << e; };
        row("file created", {"a:s", IN_CREATE, "f", 0, "mr MR -", "pass:/ full:a skip:b"});
        row("target file changed", {"a/b:t", IN_MODIFY, "f", 0, "mr mr MR", "pass:/ pass:a full:b"});
        row("file moved away", {"a:t", IN_MOVED_FROM, "f", 0, "mr MR -", "pass:/ full:a skip:b"});
        row("folder's own mode", {"a/b:s", IN_ATTRIB, "", 0, "mr MRmr MR", "pass:/ full:a full:b"});
        row("folder made over b", {"a:s", IN_CREATE | IN_ISDIR, "b", 0, "mr MR X", "pass:/ full:a full:b"});
        row("b removed", {"a/b:s", IN_DELETE_SELF, "", IN_IGNORED, "- - D", "skip:/"}); // its parent saw it
        row("watch lost", {"a/b:t", IN_IGNORED, "", 0, "- - -", "full:/ full:a full:b"});
        row("top removed", {":s", IN_MOVE_SELF, "", 0, "- - -", "full:/ full:a full:b"});
        row("unmounted", {"a:s", IN_UNMOUNT, "", 0, "- - -", "full:/ full:a full:b"}); // before its IGNORED
        row("queue overflow", {"*", IN_Q_OVERFLOW, "", 0, "- - -", "full:/ full:a full:b"});
        row("unknown watch", {"?", IN_MODIFY, "f", 0, "- - -", "skip:/"});
    }
    void events()
    {
        QFETCH(Event, e);
        Watched w({"src/a/b/", "dst/a/b/"});
        QCOMPARE(w.run(), QByteArray("full:/ full:a full:b"));
        QCOMPARE(w.run(), QByteArray("skip:/"));
        const Side side = e.where.endsWith('s') ? Side::Source : Side::Target;
        const int32_t wd = e.where == "*" ? -1
            : e.where == "?"              ? 9999
                                          : w.last->tree().node(w.at(e.where.chopped(2))).wd(side);
        QVERIFY(e.where.size() < 2 || wd > 0);
        w.book->apply({{wd, e.mask, 0, e.name}});
        if (e.then)
            w.book->apply({{wd, e.then, 0, {}}});
        QCOMPARE(w.flags(), e.flags);
        QCOMPARE(w.run(), e.next);
        QCOMPARE(w.run(), QByteArray("skip:/")); // quiet again
    }
    // A folder moved to another couple: both couples doubt (their trees shared the moved folder's watches).
    void folderMovedAcrossCouples()
    {
        Watched w({"src/a/", "src/c/", "dst/", "two/", "twodst/"});
        QCOMPARE(w.run() + '|' + w.run("two", "twodst"), QByteArray("full:/ full:a full:c|full:/"));
        QVERIFY(::rename(w.tree.path("src/a").constData(), w.tree.path("two/a").constData()) == 0);
        QCOMPARE(w.run() + '|' + w.run("two", "twodst"), QByteArray("full:/ full:c|full:/ full:a"));
        QCOMPARE(w.book->stats().fullRuns, 4); // the couple moved into doubts too, though its top changed anyway
    }
    void plans_data()
    {
        QTest::addColumn<Plan>("p");
        const QString refused = "Folders not watched (the system refused: inotify: Too many open files), every run "
                                "reads them all";
        QTest::newRow("nothing") << Plan{"", "skip:/"};
        QTest::newRow("safety delay not over") << Plan{"clock 60", "skip:/"};
        QTest::newRow("safety delay over") << Plan{"clock 61", "full:/ full:a"};
        QTest::newRow("another shape") << Plan{"shape", "full:/ full:a"};
        QTest::newRow("source replaced") << Plan{"replace", "full:/"};
        QTest::newRow("target gone") << Plan{"target", "unwatched"};
        QTest::newRow("mount table changed") << Plan{"mounts", "full:/ full:a"};
        QTest::newRow("file system refused")
            << Plan{"fuse", "unwatched", "Folders not watched (file system fuse), every run reads them all: "};
        QTest::newRow("no inotify") << Plan{"inotify", "unwatched", refused};
    }
    void plans()
    {
        QFETCH(Plan, p);
        const QByteArray &change = p.change;
        Watched w({"src/a/", "dst/"});
        QCOMPARE(w.run(), QByteArray("full:/ full:a"));
        RunShape shape;
        shape.effacer = change == "shape";
        w.now += change.startsWith("clock") ? change.mid(6).toInt() * Minute : 0;
        if (change == "replace") // the folder's key alone must tell: no event is read
            QVERIFY(::rename(w.tree.path("src"), w.tree.path("old")) == 0 && w.tree.mkdir("src"));
        if (change == "target")
            QVERIFY(::rmdir(w.tree.path("dst").constData()) == 0);
        w.refusedType = change == "fuse" ? "fuse" : "";
        if (change == "mounts")
            w.book->mountTableChanged();
        if (change == "inotify") {
            w.openError = -EMFILE;
            w.book = std::make_unique<WatchBook>(w.settings, w.system);
        }
        QCOMPARE(w.run("src", "dst", shape, change != "replace"), p.next);
        const QString folder = p.note.endsWith(": ") ? w.tree.pathText("src") : QString();
        QCOMPARE(w.book->takeNotes(0), p.note.isEmpty() ? QStringList() : QStringList{p.note + folder});
    }
    void refusals_data()
    {
        // failing: "name=-errno"; flags: of the root, a and b after the first run, when still watched.
        QTest::addColumn<Refusal>("r");
        const auto row = [](const char *name, const Refusal &r) { QTest::newRow(name) << r; };
        const char *const all = "full:/ full:a full:b";
        row("over the budget", {10, "", all, "", "Too many folders to watch (6 watches needed, 5 avail", "unwatched"});
        row("at the budget", {12, "", all, "- - -", "", "skip:/"});
        row("kernel limit", {1000, "b=-28", all, "", "Too many folders to watch (6 watches needed, 4", "unwatched"});
        row("kernel memory",
            {1000, "a=-12", "full:/ full:a", "", "Folders not watched (the system refused: Cannot allo", "unwatched"});
        row("unreadable folder", {1000, "b=-13", all, "mr mr ST", "", "pass:/ pass:a full:b"});
        row("folder gone", {1000, "a=-2", all, "mr ST -", "", "pass:/ full:a skip:b"});
        row("a file in its place", {1000, "a=-20", all, "mr ST -", "", "pass:/ full:a skip:b"});
        row("other error", {1000, "a=-40", all, "- - -", "", all});
    }
    void refusals()
    {
        QFETCH(Refusal, r);
        Watched w({"src/a/b/", "dst/a/b/"}, r.maxWatches);
        if (!r.failing.isEmpty())
            w.fail[r.failing.left(1)] = r.failing.mid(2).toInt();
        QCOMPARE(w.run(), r.first);
        const QStringList notes = w.book->takeNotes(0);
        QCOMPARE(notes.size(), r.note.isEmpty() ? 0 : 1);
        QVERIFY2(notes.isEmpty() || notes.at(0).startsWith(r.note), qPrintable(notes.join('\n')));
        if (r.note.isEmpty())
            QCOMPARE(w.flags(), r.flags);
        else
            QCOMPARE(w.book->stats().watches, 0); // every watch of a refused couple goes at once
        QCOMPARE(w.run(), r.second);
        // The safety-net run: a refused couple is tried again, and refused again without a word; a folder that
        // can be watched now is trusted again.
        w.now += 61 * Minute;
        if (r.note.isEmpty())
            w.fail.clear();
        QCOMPARE(w.run(), r.note.isEmpty() ? QByteArray("full:/ full:a full:b") : r.first);
        QCOMPARE(w.run(), QByteArray(r.note.isEmpty() ? "skip:/" : "unwatched"));
        QCOMPARE(w.book->takeNotes(0), QStringList());
    }
    // Two couples of the same folders with other modes: one tree each, one watch per folder.
    void sharedWatches()
    {
        Watched w({"src/a/", "dst/"});
        RunShape removing;
        removing.effacer = true;
        QCOMPARE(w.run() + '|' + w.run("src", "dst", removing), QByteArray("full:/ full:a|full:/ full:a"));
        QCOMPARE(w.book->stats().watches, 3);
        QVERIFY(w.tree.write("src/a/f", "x"));
        QCOMPARE(w.run() + '|' + w.run("src", "dst", removing), QByteArray("pass:/ full:a|pass:/ full:a"));
        QCOMPARE(w.book->stats().fullRuns * 10 + w.book->stats().watchedRuns, 22);
        const auto keep = [&](bool shaped) {
            w.book->retain([&](const QString &, const QString &, const RunShape &s) { return shaped && s.effacer; });
        };
        keep(true);
        QCOMPARE(w.book->stats().watches * 10 + w.unwatched, 30); // still needed by the other couple
        QVERIFY(w.tree.write("src/a/g", "x"));
        QCOMPARE(w.run("src", "dst", removing), QByteArray("pass:/ full:a"));
        keep(false);
        QCOMPARE(w.book->stats().watches * 10 + w.unwatched, 3);
        QCOMPARE(w.book->stats().folders, 0);
    }
};
QTEST_GUILESS_MAIN(TestWatchBook)
#include "tst_watchbook.moc"
