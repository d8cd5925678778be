#include "platform/wholefile.h"

#include "common/testtree.h"

#include <QTest>
#include <cerrno>

using namespace vell::platform;

class TestWholeFile : public QObject
{
    Q_OBJECT
private slots:
    void readsWholeFileOrErrno()
    {
        TestTree tree;
        const QByteArray big(200000, 'b'); // more than one read
        QVERIFY(tree.write("big", big));
        QByteArray got = "left over";
        QCOMPARE(readWholeFile(tree.pathText("big"), got), 0);
        QCOMPARE(got, big);
        QCOMPARE(readWholeFile(tree.pathText("gone"), got), -ENOENT);
        QVERIFY(got.isEmpty());
    }

    void atomicWriteKeepsModeAndLink()
    {
        TestTree tree;
        QVERIFY(tree.write("real/Vell.ini", "old"));
        QVERIFY(tree.setMode("real/Vell.ini", 0640));
        QVERIFY(tree.symlink("Vell.ini", "real/Vell.ini"));
        QVERIFY(tree.write(".Vell.ini.vell-new", "stale"));
        QVERIFY(tree.write("real/.Vell.ini.vell-new", "stale"));

        QCOMPARE(writeFileAtomically(tree.pathText("Vell.ini"), "new"), 0);
        QVERIFY(tree.isLink("Vell.ini"));
        QCOMPARE(tree.read("real/Vell.ini"), QByteArray("new"));
        QCOMPARE(tree.mode("real/Vell.ini"), 0640u);
        QVERIFY(!tree.exists("real/.Vell.ini.vell-new"));
        QCOMPARE(atomicTemporaryPath("/a/Vell.w"), QStringLiteral("/a/.Vell.w.vell-new"));
    }

    void appendsOnlyToARegularFile_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("exclusive");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("content"); // of the file afterwards; null: not a file
        QTest::newRow("existing file") << QByteArray("file") << false << 0 << QByteArray("oldnew");
        QTest::newRow("existing file, exclusive") << QByteArray("file") << true << -EEXIST << QByteArray("old");
        QTest::newRow("missing file, exclusive") << QByteArray("fresh") << true << 0 << QByteArray("new");
        QTest::newRow("fifo, no reader") << QByteArray("fifo") << false << -ENXIO << QByteArray();
        QTest::newRow("folder") << QByteArray("folder") << false << -EISDIR << QByteArray();
    }
    void appendsOnlyToARegularFile()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, exclusive);
        QFETCH(int, result);
        QFETCH(QByteArray, content);
        TestTree tree;
        QVERIFY(tree.write("file", "old"));
        QVERIFY(tree.mkfifo("fifo")); // opened without a reader: must not block
        QVERIFY(tree.mkdir("folder"));
        QCOMPARE(appendToFile(tree.pathText(name), "new", exclusive), result);
        if (!content.isNull())
            QCOMPARE(tree.read(name), content);
    }
};

QTEST_APPLESS_MAIN(TestWholeFile)
#include "tst_wholefile.moc"
