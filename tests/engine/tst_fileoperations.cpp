#include "common/enginefixture.h"
#include "common/testtree.h"
#include "engine/fileoperations.h"
#include "platform/pathcodec.h"

#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vell;

namespace {

QByteArray afpInfo(const QByteArray &typeAndCreator)
{
    QByteArray info(60, '\0');
    info.replace(0, 4, "AFP\0");
    info.replace(16, typeAndCreator.size(), typeAndCreator);
    return info;
}

int openDir(const TestTree &tree, const QByteArray &rel)
{
    return ::open(tree.path(rel).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

class TestFileOperations : public QObject
{
    Q_OBJECT
private slots:
    void streamsFollowTheSystem_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("servicePack");
        QTest::addColumn<bool>("otherStreamCarried");
        QTest::newRow("NT 5") << 5 << 0 << true;
        QTest::newRow("NT 4 service pack 4") << 4 << 4 << true;
        QTest::newRow("NT 4 service pack 3: explicit copy") << 4 << 3 << false;
    }
    void streamsFollowTheSystem()
    {
        QFETCH(int, major);
        QFETCH(int, servicePack);
        QFETCH(bool, otherStreamCarried);
        TestTree tree;
        EngineFixture engine;
        engine.system.NTMajorVersion = major;
        engine.system.ServicePack = int16_t(servicePack);
        QVERIFY(tree.write("src/mac", "data fork"));
        QVERIFY(tree.setStream("src/mac", "AFP_AfpInfo", afpInfo("TEXTttxt")));
        QVERIFY(tree.setStream("src/mac", "AFP_Resource", "resource fork"));
        QVERIFY(tree.setStream("src/mac", "Zone.Identifier", "other"));
        QVERIFY(tree.mkdir("dst"));
        engine.mirror(tree.pathText("src"), tree.pathText("dst"));
        QCOMPARE(tree.read("dst/mac"), QByteArray("data fork"));
        QCOMPARE(tree.stream("dst/mac", "AFP_AfpInfo"), afpInfo("TEXTttxt"));
        QCOMPARE(tree.stream("dst/mac", "AFP_Resource"), QByteArray("resource fork"));
        QCOMPARE(tree.hasXattr("dst/mac", "user.DosStream.Zone.Identifier:$DATA"), otherStreamCarried);
    }

    void explicitStreamCopyMovesTheStreams()
    {
        TestTree tree;
        EngineFixture engine;
        engine.system.NTMajorVersion = 4;
        engine.system.ServicePack = 3;
        engine.flags.Deplacer = true;
        QVERIFY(tree.write("src/mac", "d"));
        QVERIFY(tree.setStream("src/mac", "AFP_AfpInfo", afpInfo("TEXTttxt")));
        QVERIFY(tree.mkdir("dst"));
        engine.mirror(tree.pathText("src"), tree.pathText("dst"));
        QVERIFY(!tree.exists("src/mac"));
        QCOMPARE(tree.stream("dst/mac", "AFP_AfpInfo"), afpInfo("TEXTttxt"));
        QCOMPARE(engine.totals().FilesRemoved, 1);
    }

    void withoutNtOnlyDataIsCopied()
    {
        TestTree tree;
        EngineFixture engine;
        engine.system = SystemInfo();
        engine.settings.CopierSecurite = true;
        engine.settings.CopierSecuriteTout = true;
        engine.flags.Renommer = true;
        engine.extensions = [](const QString &) { return QStringLiteral("txt"); };
        const QByteArray macName = PathToBytes(QStringLiteral("a") + QChar(0xF022) + QStringLiteral("b"));
        QVERIFY(tree.write("src/" + macName, "x"));
        QVERIFY(tree.setStream("src/" + macName, "AFP_AfpInfo", afpInfo("TEXTttxt")));
        QVERIFY(tree.mkdir("src/d"));
        QVERIFY(tree.setMode("src/d", 0700));
        QVERIFY(tree.mkdir("dst"));
        engine.mirror(tree.pathText("src"), tree.pathText("dst"));
        QVERIFY(tree.exists("dst/" + macName));
        QVERIFY(!tree.hasXattr("dst/" + macName, "user.DosStream.AFP_AfpInfo:$DATA"));
        QCOMPARE(engine.totals().SecuritiesCopied + engine.totals().SecuritiesNotCopied, 0);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        QCOMPARE(tree.mode("dst/d"), 0777u & ~unsigned(mask)); // default permissions, not the source's
    }

    void macintoshNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<QString>("expected");
        QTest::newRow("extension added") << "Budget" << QByteArray("XLS8XCEL") << "Budget.xls";
        QTest::newRow("extension present") << "notes.doc" << QByteArray("W8BNMSWD") << "notes.doc";
        QTest::newRow("last three letters match") << "mydoc" << QByteArray("W8BNMSWD") << "mydoc";
        QTest::newRow("letter case of the name ignored") << "REPORT.DOC" << QByteArray("W8BNMSWD") << "REPORT.DOC";
        QTest::newRow("unknown signature") << "thing" << QByteArray("????????") << "thing";
        QTest::newRow("no Macintosh information") << "plain" << QByteArray() << "plain";
        QTest::newRow("server-kept quote replaced")
            << (QStringLiteral("say ") + QChar(0xF022) + QStringLiteral("hi") + QChar(0xF022)) << QByteArray()
            << "say -hi-";
        QTest::newRow("other blocks replaced, length kept")
            << (QString(QChar(0x0101)) + QChar(0x2014) + QChar(0x2202) + QChar(0x2500) + QChar(0xFB01) + "z")
            << QByteArray() << "-----z";
        QTest::newRow("Latin-1 letters kept") << QStringLiteral("café") << QByteArray() << QStringLiteral("café");
    }
    void macintoshNames()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, signature);
        QFETCH(QString, expected);
        TestTree tree;
        EngineFixture engine;
        engine.extensions = [](const QString &sig) {
            if (sig == QLatin1String("XLS8XCEL"))
                return QStringLiteral("XLS");
            if (sig == QLatin1String("W8BNMSWD"))
                return QStringLiteral("doc");
            return QString();
        };
        const QByteArray bytes = PathToBytes(name);
        QVERIFY(tree.write(bytes, "x"));
        if (!signature.isEmpty())
            QVERIFY(tree.setStream(bytes, "AFP_AfpInfo", afpInfo(signature)));
        const int dir = openDir(tree, "");
        const MirrorContext ctx = engine.context();
        const QByteArray result = MacintoshTargetName(ctx, dir, bytes);
        ::close(dir);
        QCOMPARE(PathFromBytes(result), expected);
    }

    void renamedFileIsCopiedUnderItsNewName()
    {
        TestTree tree;
        EngineFixture engine;
        engine.flags.Renommer = true;
        engine.extensions = [](const QString &) { return QStringLiteral("xls"); };
        QVERIFY(tree.write("src/Budget", "numbers"));
        QVERIFY(tree.setStream("src/Budget", "AFP_AfpInfo", afpInfo("XLS8XCEL")));
        QVERIFY(tree.mkdir("dst"));
        engine.mirror(tree.pathText("src"), tree.pathText("dst"));
        QCOMPARE(tree.entries("dst"), QByteArrayList{"Budget.xls"});
        QVERIFY(engine.logLines.contains("<small>Creation - " + tree.pathText("dst") + "/Budget</small><br>"));
        // The lookup uses the source's own name: found missing again next run.
        engine.mirror(tree.pathText("src"), tree.pathText("dst"));
        QCOMPARE(engine.totals().FilesCreated, 2);
    }

    void finderSignature()
    {
        TestTree tree;
        QVERIFY(tree.write("full", ""));
        QVERIFY(tree.setStream("full", "AFP_AfpInfo", afpInfo("\x80\xe9xtTEXT")));
        QVERIFY(tree.write("short", ""));
        QVERIFY(tree.setStream("short", "AFP_AfpInfo", QByteArray(10, 'x')));
        QVERIFY(tree.write("none", ""));
        const int dir = openDir(tree, "");
        QCOMPARE(ReadFinderSignature(dir, "full"), QString(QChar(0x20AC)) + QStringLiteral("\u00e9xtTEXT"));
        QCOMPARE(ReadFinderSignature(dir, "short"), QString(8, QChar(0)));
        QCOMPARE(ReadFinderSignature(dir, "none"), QString());
        ::close(dir);
    }

    void failedCopyOfNewFileCountsOnePermissionFailure()
    {
        TestTree tree;
        EngineFixture engine;
        engine.settings.CopierSecurite = true;
        QVERIFY(tree.write("f", "x"));
        const int dir = openDir(tree, "");
        MirrorContext ctx = engine.context();
        platform::CopiedSource copied;
        QVERIFY(CopyOneFile(ctx, dir, "f", -1, "f", copied) < 0);
        ::close(dir);
        QCOMPARE(engine.totals().SecuritiesNotCopied, 1);
        QCOMPARE(engine.totals().SecuritiesCopied, 0);
    }
};

QTEST_APPLESS_MAIN(TestFileOperations)
#include "tst_fileoperations.moc"
