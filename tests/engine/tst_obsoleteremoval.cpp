#include "common/enginefixture.h"
#include "common/testtree.h"

#include <QTest>
#include <cstdio>

using namespace vell;

namespace {

// Builds items under root from specs: "a/f" a file, "a/" a folder,
// "a/l@text" a link, "a/p|" a FIFO.
bool build(TestTree &tree, const QByteArray &root, const QByteArrayList &specs)
{
    for (const QByteArray &spec : specs) {
        const QByteArray rel = root + '/' + spec;
        bool ok = false;
        if (spec.endsWith('/'))
            ok = tree.mkdir(rel.chopped(1));
        else if (spec.endsWith('|'))
            ok = tree.mkdir(rel.left(rel.lastIndexOf('/'))) && tree.mkfifo(rel.chopped(1));
        else if (const qsizetype at = rel.indexOf('@'); at >= 0)
            ok = tree.mkdir(rel.left(rel.lastIndexOf('/', at))) && tree.symlink(rel.left(at), rel.mid(at + 1));
        else
            ok = tree.write(rel, "data of " + spec);
        if (!ok)
            return false;
    }
    return true;
}

// Every item below rel, depth first, folders marked with "/".
QByteArrayList treeOf(const TestTree &tree, const QByteArray &rel)
{
    QByteArrayList all;
    for (const QByteArray &name : tree.entries(rel)) {
        const QByteArray path = rel + '/' + name;
        const bool folder = tree.isDir(path) && !tree.isLink(path);
        all << path + (folder ? "/" : "");
        if (folder)
            all << treeOf(tree, path);
    }
    return all;
}

// The removal walk's log lines, without the couple's own folder.
QStringList deletions(const TestCouple &c)
{
    QStringList lines = c.engine.logLines.filter(QStringLiteral("Delete"));
    lines.replaceInStrings(c.target(), QStringLiteral("dst"));
    return lines;
}

} // namespace

class TestObsoleteRemoval : public QObject
{
    Q_OBJECT
private slots:
    void obsoleteFilesGoAlsoReadOnlyOnes()
    {
        TestCouple c;
        QVERIFY(c.tree.write("src/kept", "k"));
        QVERIFY(c.tree.write("dst/kept", "k"));
        QVERIFY(c.tree.write("dst/gone", "g"));
        QVERIFY(c.tree.write("dst/readonly", "r"));
        QVERIFY(c.tree.setMode("dst/readonly", 0444));
        QVERIFY(c.tree.mkdir("src/name"));
        QVERIFY(c.tree.write("dst/name", "a file where the source has a folder"));
        c.removeObsolete();
        QCOMPARE(c.tree.entries("dst"), (QByteArrayList{"kept", "name"}));
        QCOMPARE(c.engine.totals().FilesRemoved, 2);
        QVERIFY(c.engine.logLines.contains("<small>Delete - " + c.target() + "/gone</small><br>"));
    }

    void withoutSubFoldersOnlyVisibleFilesGo()
    {
        TestCouple c;
        c.engine.settings.MiroirSousDossiers = false;
        QVERIFY(c.tree.write("dst/gone", "g"));
        QVERIFY(c.tree.write("dst/.hidden", "h"));
        QVERIFY(c.tree.write("dst/sub/f", "f"));
        c.removeObsolete();
        QCOMPARE(c.tree.entries("dst"), (QByteArrayList{".hidden", "sub"}));
        QCOMPARE(c.tree.entries("dst/sub"), QByteArrayList{"f"});
    }

    void obsoleteTreeLosesOneLevelPerRun()
    {
        TestCouple c;
        QVERIFY(c.tree.write("dst/X/x", "1"));
        QVERIFY(c.tree.write("dst/X/Y/y", "2"));
        QVERIFY(c.tree.write("dst/X/Y/Z/z", "3"));
        c.removeObsolete();
        QCOMPARE(c.engine.totals().FilesRemoved, 3);
        QCOMPARE(c.engine.totals().FoldersRemoved, 1);
        QVERIFY(c.tree.isDir("dst/X/Y"));
        QVERIFY(!c.tree.exists("dst/X/Y/Z"));
        QVERIFY(c.engine.logLines.contains("<small><i>Delete folder</i> - " + c.target() + "/X/Y/Z</small><br>"));
        c.removeObsolete();
        QVERIFY(!c.tree.exists("dst/X/Y"));
        QVERIFY(c.tree.isDir("dst/X"));
        c.removeObsolete();
        QVERIFY(!c.tree.exists("dst/X"));
        QCOMPARE(c.engine.totals().FoldersRemoved, 3);
        QVERIFY(c.tree.isDir("dst"));
    }

    void folderWhereTheSourceHasAFileKeepsOnlyItself()
    {
        TestCouple c;
        QVERIFY(c.tree.write("src/thing", "a file"));
        QVERIFY(c.tree.write("dst/thing/inner", "i"));
        c.removeObsolete();
        QVERIFY(c.tree.isDir("dst/thing"));
        QCOMPARE(c.tree.entries("dst/thing"), QByteArrayList());
    }

    void linksAreRemovedNotFollowed()
    {
        TestCouple c;
        QVERIFY(c.tree.write("outside/precious", "p"));
        QVERIFY(c.tree.symlink("dst/link", "../outside"));
        c.removeObsolete();
        QVERIFY(!c.tree.exists("dst/link"));
        QCOMPARE(c.tree.entries("outside"), QByteArrayList{"precious"});
    }

    void sourceInsideTargetIsNeverTouched()
    {
        TestTree tree;
        EngineFixture engine;
        QVERIFY(tree.write("all/data/file", "f"));
        QVERIFY(tree.write("all/old", "o"));
        engine.removeObsolete(tree.pathText("all/data"), tree.pathText("all"));
        QCOMPARE(tree.read("all/data/file"), QByteArray("f"));
        QVERIFY(!tree.exists("all/old"));
    }

    void vanishedSourceRemovesNothing()
    {
        TestCouple c;
        QVERIFY(c.tree.write("dst/f", "f"));
        c.engine.removeObsolete(c.tree.pathText("nosuch"), c.target());
        QCOMPARE(c.tree.entries("dst"), QByteArrayList{"f"});
    }

    void stopKeepsWhatIsLeft()
    {
        TestCouple c;
        for (int i = 0; i < 6; ++i)
            QVERIFY(c.tree.write("dst/f" + QByteArray::number(i), "x"));
        c.engine.host.stopAfterYields = 2;
        c.removeObsolete();
        QCOMPARE(c.engine.totals().FilesRemoved, 2);
        QCOMPARE(c.tree.entries("dst").size(), 4);
    }

    // A run's removal walk passes over the target folders its mirror walk
    // found clean: it must still remove all that a full walk removes.
    void removalAfterTheMirrorMissesNothing_data()
    {
        QTest::addColumn<QByteArrayList>("source");
        QTest::addColumn<QByteArrayList>("target");
        QTest::addColumn<bool>("subFolders");
        QTest::newRow("identical") << QByteArrayList{"a/b/f", "a/g", "h"} << QByteArrayList{"a/b/f", "a/g", "h"}
                                   << true;
        QTest::newRow("file gone deep") << QByteArrayList{"a/b/f", "c/"} << QByteArrayList{"a/b/f", "a/b/old", "c/"}
                                        << true;
        QTest::newRow("folder gone") << QByteArrayList{"a/keep"} << QByteArrayList{"a/keep", "a/x/y/z", "a/x/w"}
                                     << true;
        QTest::newRow("folder where the source has a file")
            << QByteArrayList{"a/thing"} << QByteArrayList{"a/thing/inner", "a/thing/deeper/f"} << true;
        QTest::newRow("file where the source has a folder")
            << QByteArrayList{"a/name/f"} << QByteArrayList{"a/name"} << true;
        QTest::newRow("link the source lacks") << QByteArrayList{"a/f"} << QByteArrayList{"a/f", "a/l@../../outside"}
                                               << true;
        QTest::newRow("source FIFO keeps its namesake")
            << QByteArrayList{"a/p|", "a/f"} << QByteArrayList{"a/p", "a/f"} << true;
        QTest::newRow("empty folders gone") << QByteArrayList{"a/"} << QByteArrayList{"a/", "b/", "a/c/"} << true;
        QTest::newRow("top only") << QByteArrayList{"f", "s/f"} << QByteArrayList{"f", "gone", ".hidden", "s/gone"}
                                  << false;
    }

    void removalAfterTheMirrorMissesNothing()
    {
        QFETCH(QByteArrayList, source);
        QFETCH(QByteArrayList, target);
        QFETCH(bool, subFolders);
        TestCouple full;
        TestCouple run;
        for (TestCouple *c : {&full, &run}) {
            QVERIFY(build(c->tree, "src", source));
            QVERIFY(build(c->tree, "dst", target));
            QVERIFY(c->tree.write("outside/precious", "p"));
            c->engine.settings.MiroirSousDossiers = subFolders;
        }
        full.mirror();
        full.removeObsolete();
        run.mirrorAndRemove();
        QCOMPARE(treeOf(run.tree, "dst"), treeOf(full.tree, "dst"));
        QCOMPARE(run.engine.totals().FilesRemoved, full.engine.totals().FilesRemoved);
        QCOMPARE(run.engine.totals().FoldersRemoved, full.engine.totals().FoldersRemoved);
        QCOMPARE(deletions(run), deletions(full));
        QCOMPARE(treeOf(run.tree, "outside"), QByteArrayList{"outside/precious"});
    }

    void theMirrorNotesOnlyTheHighestCleanFolders()
    {
        TestCouple c;
        QVERIFY(build(c.tree, "src", {"a/b/f", "a/c/f", "d/e/f"}));
        QVERIFY(build(c.tree, "dst", {"a/b/f", "a/b/old", "a/c/f", "d/e/f"}));
        c.mirrorAndRemove();
        QCOMPARE(c.engine.noted.folders, (QSet<QByteArray>{"a/c", "d"}));
        QVERIFY(!c.tree.exists("dst/a/b/old"));

        c.mirrorAndRemove();
        QCOMPARE(c.engine.noted.folders, QSet<QByteArray>{""});
    }

    // The note names the folders it was taken on: a target replaced since
    // (a remount, a folder swapped) is walked in full.
    void aNoteOfAnotherTargetFolderIsNotUsed()
    {
        TestCouple c;
        QVERIFY(build(c.tree, "src", {"f"}));
        QVERIFY(build(c.tree, "dst", {"f"}));
        MirrorContext ctx = c.engine.context();
        MirrorFolder(ctx, c.source(), c.target());
        QCOMPARE(ctx.cleanTargets.folders, QSet<QByteArray>{""});
        QVERIFY(::rename(c.tree.path("dst").constData(), c.tree.path("old").constData()) == 0);
        QVERIFY(build(c.tree, "dst", {"f", "gone"}));
        RemoveObsolete(ctx, c.source(), c.target());
        QCOMPARE(c.tree.entries("dst"), QByteArrayList{"f"});
    }

    void renamingCopiesLeavesNoNote()
    {
        TestCouple c;
        c.engine.flags.Renommer = true;
        QVERIFY(build(c.tree, "src", {"a/f"}));
        QVERIFY(build(c.tree, "dst", {"a/f"}));
        c.mirrorAndRemove();
        QVERIFY(c.engine.noted.folders.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestObsoleteRemoval)
#include "tst_obsoleteremoval.moc"
