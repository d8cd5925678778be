#include "common/testtree.h"
#include "platform/fileops.h"
#include "platform/uniquefd.h"

#include <QTest>

using namespace vell::platform;

namespace {

// A Macintosh information record with type and creator at 16..23.
QByteArray afpInfo(const QByteArray &typeAndCreator, qsizetype size = 60)
{
    QByteArray record("AFP\0\0\0\1\0", 8);
    record.append(QByteArray(8, '\0'));
    record.append(typeAndCreator);
    record.append(QByteArray(60, '\0'));
    return record.left(size);
}

// netatalk's metadata: FinderInfo at offset 122.
QByteArray netatalkMetadata(const QByteArray &typeAndCreator)
{
    QByteArray metadata(122, '\x11');
    metadata.append(typeAndCreator);
    metadata.append(QByteArray(402 - metadata.size(), '\0'));
    return metadata;
}

} // namespace

class TestStreams : public QObject
{
    Q_OBJECT
private slots:
    void writeReadDeleteCopy()
    {
        TestTree tree;
        QVERIFY(tree.write("a", "data") && tree.write("b", "data") && tree.mkdir("folder"));
        const UniqueFd dir(openFolderPath(tree.root()));
        const QByteArray fork("resource\0fork", 13);
        QCOMPARE(writeStream(dir.get(), "a", "AFP_Resource", fork), 0);
        // Samba's layout: the bytes and one zero byte.
        QCOMPARE(tree.xattr("a", "user.DosStream.AFP_Resource:$DATA"), fork + QByteArray(1, '\0'));
        QByteArray read;
        QCOMPARE(readStream(dir.get(), "a", "AFP_Resource", read), 0);
        QCOMPARE(read, fork);
        QCOMPARE(copyStream(dir.get(), "a", dir.get(), "b", "AFP_Resource"), 0);
        QCOMPARE(tree.stream("b", "AFP_Resource"), fork);
        QCOMPARE(copyStream(dir.get(), "a", dir.get(), "b", "AFP_AfpInfo"), -ENODATA);
        QCOMPARE(deleteStream(dir.get(), "a", "AFP_Resource"), 0);
        QCOMPARE(readStream(dir.get(), "a", "AFP_Resource", read), -ENODATA);
        QCOMPARE(deleteStream(dir.get(), "a", "AFP_Resource"), -ENODATA);
        // A folder's stream, and one of no bytes.
        QCOMPARE(writeStream(dir.get(), "folder", "AFP_AfpInfo", QByteArray()), 0);
        QCOMPARE(readStream(dir.get(), "folder", "AFP_AfpInfo", read), 0);
        QVERIFY(read.isEmpty());
    }

    void finderInfo_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QByteArray>("metadata");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("signature");
        QTest::newRow("AfpInfo") << afpInfo("TEXTttxt") << QByteArray() << 0 << QByteArray("TEXTttxt");
        QTest::newRow("short AfpInfo padded")
            << afpInfo("XLS8XCEL", 20) << QByteArray() << 0 << QByteArray("XLS8\0\0\0\0", 8);
        QTest::newRow("AfpInfo before netatalk")
            << afpInfo("TEXTttxt") << netatalkMetadata("APPLMACS") << 0 << QByteArray("TEXTttxt");
        QTest::newRow("netatalk only") << QByteArray() << netatalkMetadata("APPLMACS") << 0 << QByteArray("APPLMACS");
        QTest::newRow("nothing") << QByteArray() << QByteArray() << -ENODATA << QByteArray();
    }
    void finderInfo()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QByteArray, metadata);
        QFETCH(int, result);
        QFETCH(QByteArray, signature);
        TestTree tree;
        QVERIFY(tree.write("f", "x"));
        QVERIFY(stream.isEmpty() || tree.setStream("f", "AFP_AfpInfo", stream));
        QVERIFY(metadata.isEmpty() || tree.setXattr("f", "user.org.netatalk.Metadata", metadata));
        const UniqueFd dir(openFolderPath(tree.root()));
        QByteArray got;
        QCOMPARE(readFinderInfo(dir.get(), "f", got), result);
        QCOMPARE(got, signature);
    }
};

QTEST_APPLESS_MAIN(TestStreams)
#include "tst_streams.moc"
