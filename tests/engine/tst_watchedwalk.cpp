#include "common/enginefixture.h"
#include "engine/watchbook.h"
#include <QDir>

using namespace vell;

// One program with its own controller, couple A/src>A/dst (or B/...), watched or not, recording every item event with
// paths from its couple's folder ("dst/a/f").
struct Program
{
    TestTree &tree;
    QByteArray side;
    EngineFixture engine;
    FolderPairList pairs;
    QStringList events;
    int64_t maxWatches = -1; // the kernel's limit, when a test lowers it
    bool lookUpNames = true; // false: made names are not looked up for their links
    MirrorController controller{RunEnvironment{
        engine.settings, pairs, engine.system, engine.state, engine.host, {}, {}, {}, {}, {}, tree.path("fstab"),
        [this](WatchSystem &s) {
            if (maxWatches >= 0)
                s.maxUserWatches = [this] { return maxWatches; };
            if (!lookUpNames)
                s.links = {};
        },
        [this](const ItemEvent &e) {
            events << QString("%1%2 %3%4").arg(int(e.operation)).arg(e.folder ? " folder" : "")
                          .arg(QString(e.path).remove(tree.pathText(side) + '/'))
                          .arg(e.failed() ? QString(" !%1").arg(e.error) : QString());
        }}};
    Program(TestTree &t, const QByteArray &s, bool watched) : tree(t), side(s)
    {
        engine.settings.Surveillance = watched;
        engine.settings.PathLogs = tree.pathText(side);
        FolderPair pair;
        pair.Source = tree.pathText(side + "/src");
        pair.Cible = tree.pathText(side + "/dst");
        pair.Effacer = true;
        pairs << pair;
    }
    // One run: its totals, then its events in order.
    QString run()
    {
        events.clear();
        controller.RunMirror();
        return engine.totals() + '\n' + events.join('\n');
    }
    [[nodiscard]] const WatchStats &stats() const { return controller.watchBook()->stats(); }
};

// Applies "+path[=text]" (made, "path/" a folder), "-path" (removed with its sub-tree), "path>path" (renamed) and
// "path=>path" (hard link) below A and B alike.
bool Change(TestTree &tree, const QString &ops)
{
    for (const QByteArray side : {"A/", "B/"})
        for (const QString &op : ops.split(' ', Qt::SkipEmptyParts)) {
            const QByteArray o = op.toUtf8();
            bool ok = true;
            if (o.startsWith('+'))
                ok = tree.build({side + o.mid(1)});
            else if (o.startsWith('-'))
                ok = QFileInfo(tree.pathText(side + o.mid(1))).isDir()
                    ? QDir(tree.pathText(side + o.mid(1))).removeRecursively()
                    : ::remove(tree.path(side + o.mid(1)).constData()) == 0;
            else if (o.contains("=>"))
                ok = ::link(tree.path(side + o.left(o.indexOf("=>"))).constData(),
                            tree.path(side + o.mid(o.indexOf("=>") + 2)).constData()) == 0;
            else
                ok = ::rename(tree.path(side + o.left(o.indexOf('>'))).constData(),
                              tree.path(side + o.mid(o.indexOf('>') + 1)).constData()) == 0;
            if (!ok)
                return false;
        }
    return true;
}

// A snapshot without its "A" or "B".
QByteArrayList Unrooted(QByteArrayList items)
{
    for (QByteArray &item : items)
        item.remove(0, 1);
    return items;
}

const QByteArrayList Couple{"src/f0", "src/a/f", "src/b/c/g", "src/b/c/d/h", "src/e/i", "dst/", "outside/"};

class TestWatchedWalk : public QObject
{
    Q_OBJECT
private slots:
    // A watched run copies, removes, counts and logs what a full run does, in the same order, and an unchanged couple
    // is not even listed.
    void watchedRunsDoWhatFullRunsDo_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("ops");
        QTest::newRow("three depths") << "" << "+src/f0=2@2000 +src/b/c/g=2@2000 +src/b/c/d/new";
        QTest::newRow("target edited") << "" << "+dst/b/c/g=other@5 -dst/a/f +dst/e/extra +dst/x/y/";
        QTest::newRow("folder replaced by a file") << "" << "-src/b/c/d +src/b/c/d=file";
        QTest::newRow("folder renamed") << "" << "src/b/c>src/e/c";
        QTest::newRow("target folder renamed") << "" << "dst/b/c>dst/a/c";
    }
    void watchedRunsDoWhatFullRunsDo()
    {
        QFETCH(QString, setup);
        QFETCH(QString, ops);
        TestTree tree;
        QByteArrayList items;
        for (const QByteArray side : {"A/", "B/"})
            for (const QByteArray &item : Couple)
                items << side + item;
        QVERIFY(tree.build(items));
        QVERIFY(Change(tree, setup));
        Program watched(tree, "A", true), full(tree, "B", false);
        for (int i = 0; i < 3; ++i) // copies, then settles
            QCOMPARE(watched.run(), full.run());
        QCOMPARE(watched.stats().fullRuns, 1);
        const int64_t skipped = watched.stats().skipFolders;
        QCOMPARE(watched.run(), QString("examined 5\n"));
        QVERIFY(watched.stats().skipFolders > skipped);
        QCOMPARE(full.run(), QString("examined 5\n"));
        QVERIFY(Change(tree, ops));
        const QString changed = full.run();
        QVERIFY(changed.count('\n') > 1);
        QCOMPARE(watched.run(), changed);
        QCOMPARE(watched.run(), full.run());
        QCOMPARE(watched.run(), full.run());
        for (const QByteArray folder : {"/src", "/dst"})
            QCOMPARE(Unrooted(tree.snapshot("A" + folder)), Unrooted(tree.snapshot("B" + folder)));
        QCOMPARE(watched.stats().fullRuns, 1);
        QVERIFY(watched.stats().watchedRuns >= 6);
    }
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
        TestTree tree;
        QByteArrayList items;
        for (const QByteArray side : {"A/", "B/"})
            for (const QByteArray &item : Couple)
                items << side + item;
        QVERIFY(tree.build(items));
        Program watched(tree, "A", true), full(tree, "B", false);
        watched.lookUpNames = byEvent;
        for (int i = 0; i < 3; ++i)
            QCOMPARE(watched.run(), full.run());
        QVERIFY(Change(tree, "src/f0=>src/e/j dst/a/f=>dst/e/k"));
        for (const QByteArray side : {"A", "B"})
            QVERIFY(tree.setMtime(side + "/src/e/j", 3000) && tree.setMtime(side + "/dst/e/k", 3000));
        const QString changed = full.run();
        if (byEvent)
            QCOMPARE(watched.run(), changed);
        else
            (void)watched.run();
        (void)watched.run();
        QCOMPARE(tree.mtimeSec("A/dst/f0"), 3000); // times are not in snapshots
        QCOMPARE(tree.mtimeSec("A/dst/a/f"), tree.mtimeSec("A/src/a/f"));
        QCOMPARE(watched.run(), full.run());
        for (const QByteArray folder : {"/src", "/dst"})
            QCOMPARE(Unrooted(tree.snapshot("A" + folder)), Unrooted(tree.snapshot("B" + folder)));
    }

    // A Stop in a watched run leaves what it did not reach for the next run, which does it.
    void stopLeavesFoldersForTheNextRun()
    {
        TestTree tree;
        QByteArrayList items;
        for (const QByteArray side : {"A/", "B/"})
            for (const QByteArray &item : Couple)
                items << side + item;
        QVERIFY(tree.build(items));
        Program watched(tree, "A", true), full(tree, "B", false);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(watched.run(), full.run());
        QVERIFY(Change(tree, "+src/b/c/g=2@2000 +src/e/i=2@2000 +src/b/c/d/h=2@2000"));
        watched.engine.host.onYield = [&] { watched.engine.state.MirroringOff = true; };
        const QString stopped = watched.run();
        QVERIFY(stopped.contains("modified 1"));
        watched.engine.host.onYield = nullptr;
        watched.engine.state.MirroringOff = false;
        const QStringList first = watched.events;
        watched.run();
        QCOMPARE(first + watched.events, full.run().split('\n').mid(1));
        for (const QByteArray folder : {"/src", "/dst"})
            QCOMPARE(Unrooted(tree.snapshot("A" + folder)), Unrooted(tree.snapshot("B" + folder)));
    }
    // A couple with more folders than the watches it may have runs in full, and says so once.
    void tooManyFoldersSaidOnce()
    {
        TestTree tree;
        QByteArrayList items;
        for (const QByteArray &item : Couple)
            items << "A/" + item;
        QVERIFY(tree.build(items));
        Program watched(tree, "A", true);
        watched.maxWatches = 6; // 3 for the process: the tops and one more
        watched.engine.settings.Logs = true;
        watched.run();
        watched.run();
        QCOMPARE(watched.run(), QString("examined 5\n"));
        const QStringList notes = watched.engine.host.events.filter("watching ");
        QCOMPARE(notes.size(), 1);
        QVERIFY2(notes[0].startsWith("watching Too many folders to watch (") && notes[0].endsWith(tree.pathText("A/src")),
                 qPrintable(notes[0]));
        QCOMPARE(watched.stats().watchedRuns, 0);
        QDir logs(tree.pathText("A"), "Log Vell *.htm");
        QCOMPARE(logs.entryList().size(), 1);
        QCOMPARE(QString::fromUtf8(tree.read("A/" + logs.entryList()[0].toUtf8())).count("Too many folders"), 1);
    }
};

QTEST_GUILESS_MAIN(TestWatchedWalk)
#include "tst_watchedwalk.moc"
