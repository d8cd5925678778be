#include "config/folderprobe.h"

#include "common/testtree.h"

#include <QTest>

using namespace vell;

class TestFolderProbe : public QObject
{
    Q_OBJECT
private slots:
    void folderExists_data()
    {
        QTest::addColumn<QByteArray>("rel");
        QTest::addColumn<bool>("exists");
        QTest::newRow("empty folder") << QByteArray("empty") << true;
        QTest::newRow("folder with a file") << QByteArray("full") << true;
        QTest::newRow("link to a folder") << QByteArray("link") << true;
        QTest::newRow("a file") << QByteArray("full/f.txt") << false;
        QTest::newRow("missing") << QByteArray("gone") << false;
        QTest::newRow("dangling link") << QByteArray("dangling") << false;
        QTest::newRow("fifo") << QByteArray("fifo") << false;
    }
    void folderExists()
    {
        QFETCH(QByteArray, rel);
        QFETCH(bool, exists);
        TestTree tree;
        QVERIFY(tree.mkdir("empty"));
        QVERIFY(tree.write("full/f.txt", "x"));
        QVERIFY(tree.symlink("link", "full"));
        QVERIFY(tree.symlink("dangling", "gone"));
        QVERIFY(tree.mkfifo("fifo"));
        QCOMPARE(FolderExists(tree.pathText(rel)), exists);
    }

    void emptyPathIsNoFolder() { QVERIFY(!FolderExists(QString())); }

    void macintoshProbeWalksUp_data()
    {
        QTest::addColumn<QByteArray>("probe"); // where "Network Trash Folder" lies; empty: nowhere
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<bool>("mac");
        QTest::newRow("in the folder itself") << QByteArray("vol/Mac/Docs") << QByteArray("folder") << true;
        QTest::newRow("in the parent") << QByteArray("vol/Mac") << QByteArray("folder") << true;
        QTest::newRow("in the grandparent") << QByteArray("vol") << QByteArray("folder") << true;
        QTest::newRow("at the tree root") << QByteArray("") << QByteArray("folder") << true;
        QTest::newRow("a file will do") << QByteArray("vol/Mac") << QByteArray("file") << true;
        QTest::newRow("a dangling link will do") << QByteArray("vol") << QByteArray("link") << true;
        QTest::newRow("only in a sibling") << QByteArray("vol/Other") << QByteArray("folder") << false;
        QTest::newRow("only below") << QByteArray("vol/Mac/Docs/Sub") << QByteArray("folder") << false;
        QTest::newRow("nowhere") << QByteArray("none") << QByteArray("") << false;
    }
    void macintoshProbeWalksUp()
    {
        QFETCH(QByteArray, probe);
        QFETCH(QByteArray, kind);
        QFETCH(bool, mac);
        TestTree tree;
        QVERIFY(tree.mkdir("vol/Mac/Docs/Sub"));
        QVERIFY(tree.mkdir("vol/Other"));
        const QByteArray rel = (probe.isEmpty() ? QByteArray() : probe + '/') + "Network Trash Folder";
        if (kind == "folder")
            QVERIFY(tree.mkdir(rel));
        else if (kind == "file")
            QVERIFY(tree.write(rel, "x"));
        else if (kind == "link")
            QVERIFY(tree.symlink(rel, "nowhere"));
        QCOMPARE(IsOnMacintoshVolume(tree.pathText("vol/Mac/Docs")), mac);
        QCOMPARE(IsOnMacintoshVolume(tree.pathText("vol/Mac/Docs/")), mac); // a trailing "/" changes nothing
    }
};

QTEST_APPLESS_MAIN(TestFolderProbe)
#include "tst_folderprobe.moc"
