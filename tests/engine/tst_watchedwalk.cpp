#include "common/twincouples.h"
#include "engine/watchbook.h"
#include <QDir>

using namespace vell;

// A couple A watched and its twin B read in full, both removing obsolete items, holding "src/f0", "src/a/f",
// "src/b/c/g", "src/b/c/d/h", "src/e/i"; change() makes "+path[=text]" ("path/" a folder) or "path=>path" (a hard
// link) below A and B alike. The twin rounds of tst_watchedruns hold watched runs to full ones on random changes.
struct Watched : TwinCouples
{
    explicit Watched(const QByteArrayList &items = {"src/f0", "src/a/f", "src/b/c/g", "src/b/c/d/h", "src/e/i"})
        : TwinCouples("Effacer", items)
    {
        a.engine.settings.Surveillance = true, b.engine.settings.Surveillance = false;
    }
    bool change(const QString &ops)
    {
        for (const QByteArray side : {"A/", "B/"})
            for (const QString &op : ops.split(' ', Qt::SkipEmptyParts)) {
                const QByteArrayList link = op.toUtf8().split('=');
                if (!(op.startsWith('+') ? tree.build({side + op.toUtf8().mid(1)})
                                         : ::link(tree.path(side + link[0]), tree.path(side + link[1].mid(1))) == 0))
                    return false;
            }
        return true;
    }
    // Runs both twins: "" when they did the same (the watched run in the order the full run did).
    QString runBoth() { return difference(a.run(), b.run(), sameListingOrder()); }
    [[nodiscard]] bool same() const { return snapshot(a) == snapshot(b); }
};

class TestWatchedWalk : public QObject
{
    Q_OBJECT
private slots:
    // A hard link made in one folder to a file of another raises no event in the other, nor does a write through
    // it: the new name's event makes the run visit every folder; without it (a folder not watched then), the visit
    // of the folder that holds the new name makes the next run do so. Either way the other folder's copy is not
    // left stale until the safety net.
    void linkMadeElsewhere_data()
    {
        QTest::addColumn<bool>("byEvent");
        QTest::newRow("by the name's event") << true;
        QTest::newRow("by the folder's visit") << false;
    }
    void linkMadeElsewhere()
    {
        QFETCH(bool, byEvent);
        Watched w;
        if (!byEvent)
            w.a.tune = [](WatchSystem &s) { s.links = {}; }; // made names are not looked up for their links
        for (int i = 0; i < 3; ++i)
            QCOMPARE(w.runBoth(), QString());
        QVERIFY(w.change("src/f0=>src/e/j dst/a/f=>dst/e/k"));
        for (const QByteArray side : {"A", "B"})
            QVERIFY(w.tree.setMtime(side + "/src/e/j", 3000) && w.tree.setMtime(side + "/dst/e/k", 3000));
        const TwinRun changed = w.b.run(), watched = w.a.run();
        QVERIFY(!byEvent || TwinCouples::difference(watched, changed, w.sameListingOrder()).isEmpty());
        (void)w.a.run();
        QCOMPARE(w.tree.mtimeSec("A/dst/f0"), 3000); // times are not in snapshots
        QCOMPARE(w.tree.mtimeSec("A/dst/a/f"), w.tree.mtimeSec("A/src/a/f"));
        QCOMPARE(w.runBoth(), QString());
        QVERIFY(w.same());
    }
    // A Stop in a watched run leaves what it did not reach for the next run, which does it.
    void stopLeavesFoldersForTheNextRun()
    {
        Watched w;
        for (int i = 0; i < 3; ++i)
            QCOMPARE(w.runBoth(), QString());
        QVERIFY(w.change("+src/b/c/g=2@2000 +src/e/i=2@2000 +src/b/c/d/h=2@2000"));
        w.a.engine.host.onYield = [&] { w.a.engine.state.MirroringOff = true; };
        const TwinRun stopped = w.a.run();
        QCOMPARE(stopped.totals.FilesModified, 1);
        w.a.engine.host.onYield = nullptr;
        const QStringList items = (stopped.lines + w.a.run().lines).filter(QRegularExpression("^(?!.*<hr>)"));
        QCOMPARE(items, w.b.run().lines.filter(QRegularExpression("^(?!.*<hr>)")));
        QVERIFY(w.same());
    }
    // A folder of a couple that removes obsolete items is removed with `rm -r` after the mirror walk saw it, and its
    // target copy clean: the removal walk must not trust that sight, or no later watched run comes back for it.
    void folderRemovedAfterTheMirrorWalk()
    {
        Watched w({"src/h/c/f1", "src/h/c/d/g", "src/h/e/i"});
        w.a.engine.settings.CopiesSimultanees = 1; // the yield after g's copy is the walk's
        QCOMPARE(w.runBoth(), QString());
        QCOMPARE(w.runBoth(), QString());
        QVERIFY(w.change("+src/h/x +src/h/c/f1=2@2000 +src/h/c/d/g=2@2000")); // h, c and d in full; e skipped
        bool removed = false;
        w.a.engine.host.onYield = [&] {
            if (!removed && w.tree.read("A/dst/h/c/d/g") == "2")
                removed = QDir(w.tree.pathText("A/src/h/c")).removeRecursively();
        };
        for (int run = 0; run < 3; ++run)
            w.a.run();
        QVERIFY(removed && !w.a.run().changed()); // settled
        QVERIFY(!w.tree.exists("A/dst/h/c"));
        QCOMPARE(w.unmirrored(w.a, true), QByteArray());
    }
    // Watches released are told by the kernel (an IGNORED event each) in a queue of 16384 events: a large tree's
    // must be read while they are released, or the queue overflows and the next run is full, and so on for ever.
    // Nor may the folders a first copy makes be taken for replaced ones, dropped and watched again at each run.
    void watchesReleasedWithoutOverflow()
    {
        QByteArrayList items;
        for (int i = 0; i < 600; ++i) // 1,200 watches with the targets', read every 1,024
            items << "src/" + QByteArray::number(i) + "/";
        Watched w(items);
        int unread = 0, mostUnread = 0;
        w.a.tune = [&](WatchSystem &s) {
            s.unwatch = [&, real = s.unwatch](int fd, int wd) {
                mostUnread = qMax(mostUnread, ++unread);
                return real(fd, wd);
            };
            s.read = [&, real = s.read](int fd, std::vector<WatchEventRecord> &out) { return unread = 0, real(fd, out); };
        };
        for (int run = 0; run < 3; ++run)
            w.a.run();
        if (w.a.stats().watchedRuns == 0)
            QSKIP("this file system cannot be watched");
        QCOMPARE(mostUnread, 0); // nothing was dropped
        w.a.controller->watchBook()->mountTableChanged(); // doubt: every watch goes, the next run starts again
        QVERIFY(!w.a.run().changed());
        QVERIFY2(mostUnread > 0 && mostUnread <= 1024, qPrintable(QString::number(mostUnread)));
    }
    // The removal walk of a full run passes over the folders whose target its mirror walk saw clean: the watched
    // runs after it must not list them all again, and must still see an obsolete item made since.
    void fullRunLeavesNothingForTheRemovalWalk()
    {
        Watched w;
        for (int run = 0; run < 2; ++run) // the first copy, then its check: both read every folder
            QCOMPARE(w.runBoth(), QString());
        const int64_t fullBefore = w.a.stats().fullFolders;
        QCOMPARE(w.runBoth(), QString());
        QCOMPARE(w.a.stats().fullFolders, fullBefore);
        w.a.controller->watchBook()->mountTableChanged(); // the next run of A is full again
        QCOMPARE(w.runBoth(), QString());
        const int64_t fullAfter = w.a.stats().fullFolders;
        QCOMPARE(w.runBoth(), QString());
        QCOMPARE(w.a.stats().fullFolders, fullAfter);
        QVERIFY(w.change("+src/b/c/d/h=2@2000")); // d alone is read: its ancestors' order in the target is known
        QCOMPARE(w.runBoth(), QString());
        QCOMPARE(w.a.stats().fullFolders, fullAfter + 1);
        QVERIFY(w.change("+dst/b/c/old"));
        QCOMPARE(w.runBoth(), QString());
        QVERIFY(!w.tree.exists("A/dst/b/c/old") && w.same());
    }
    // A couple with more folders than the watches it may have runs in full, and says so once.
    void tooManyFoldersSaidOnce()
    {
        Watched w;
        w.a.tune = [](WatchSystem &s) { s.maxUserWatches = [] { return int64_t(6); }; }; // 3: the tops and one more
        w.a.run();
        w.a.run();
        QVERIFY(!w.a.run().changed());
        const QStringList notes = w.a.engine.host.events.filter("watching ");
        QCOMPARE(notes.size(), 1);
        QVERIFY2(notes[0].startsWith("watching Too many folders to watch (")
                     && notes[0].endsWith(w.tree.pathText("A/src")), qPrintable(notes[0]));
        QCOMPARE(w.a.stats().watchedRuns, 0);
        const QDir logs(w.tree.pathText("A/log"), "Log Vell *.htm");
        QCOMPARE(logs.entryList().size(), 1);
        QCOMPARE(QString::fromUtf8(w.tree.read("A/log/" + logs.entryList()[0].toUtf8())).count("Too many folders"), 1);
    }
};

QTEST_GUILESS_MAIN(TestWatchedWalk)
#include "tst_watchedwalk.moc"
