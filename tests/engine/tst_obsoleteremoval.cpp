#include "common/enginefixture.h"
#include "common/testtree.h"

#include <QTest>

using namespace vell;

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

    void unwritableLogDoesNotStopRemoval()
    {
        TestCouple c;
        QVERIFY(c.tree.write("dst/a", "x"));
        QVERIFY(c.tree.write("dst/b", "x"));
        c.engine.logFails = true;
        c.removeObsolete();
        QCOMPARE(c.engine.totals().FilesRemoved, 2);
    }
};

QTEST_APPLESS_MAIN(TestObsoleteRemoval)
#include "tst_obsoleteremoval.moc"
