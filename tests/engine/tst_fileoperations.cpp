#include "common/enginefixture.h"
#include "engine/fileoperations.h"
#include "platform/pathcodec.h"
#include "platform/uniquefd.h"

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

} // namespace

class TestFileOperations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { ::umask(022); }

    // Which streams and permissions go with a new file and a new folder.
    void streamsAndPermissionsFollowTheSystem_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("modes");
        // The streams of the new file | of the new folder | of the source
        // file, the new folder's mode and the totals.
        QTest::addColumn<QString>("carried");
        const QString all = "AFP_AfpInfo AFP_Resource Zone.Identifier";
        const QString afp = "AFP_AfpInfo AFP_Resource | AFP_AfpInfo | ";
        const QString totals = " | 700 | examined 1, created 1, securities 2, foldersCreated 1";
        QTest::newRow("NT 5") << "" << "" << all + " | AFP_AfpInfo | " + all + totals;
        QTest::newRow("NT 4 service pack 4") << "NT4SP4" << "" << all + " | AFP_AfpInfo | " + all + totals;
        QTest::newRow("NT 4 service pack 3") << "NT4SP3" << "" << afp + all + totals;
        QTest::newRow("NT 4 service pack 3, moved") << "NT4SP3" << "Deplacer Nouveau"
            << afp + " | 700 | examined 1, created 1, removed 1, securities 2, foldersCreated 1";
        QTest::newRow("not NT") << "9x" << "" << " |  | " + all + " | 755 | examined 1, created 1, foldersCreated 1";
    }

    void streamsAndPermissionsFollowTheSystem()
    {
        QFETCH(QString, system);
        QFETCH(QString, modes);
        QFETCH(QString, carried);
        TestCouple c;
        c.engine.apply(modes + " CopierSecurite CopierSecuriteTout");
        c.engine.system.IsNT = system != "9x";
        c.engine.system.NTMajorVersion = system.startsWith("NT4") ? 4 : 5;
        c.engine.system.ServicePack = system.endsWith("SP4") ? 4 : 0;
        QVERIFY(c.tree.build({"src/mac", "src/dir/%700", "dst/"}));
        for (const QByteArray rel : {"src/mac", "src/dir"})
            QVERIFY(c.tree.setStream(rel, "AFP_AfpInfo", afpInfo("TEXTttxt")));
        QVERIFY(c.tree.setStream("src/mac", "AFP_Resource", "resource fork"));
        QVERIFY(c.tree.setStream("src/mac", "Zone.Identifier", "other"));
        c.run();
        QStringList facts;
        for (const QByteArray rel : {"dst/mac", "dst/dir", "src/mac"}) {
            QStringList streams;
            for (const char *name : {"AFP_AfpInfo", "AFP_Resource", "Zone.Identifier"})
                if (c.tree.hasXattr(rel, QByteArray("user.DosStream.") + name + ":$DATA"))
                    streams << name;
            facts << streams.join(' ');
        }
        facts << QString::number(c.tree.mode("dst/dir"), 8) << c.engine.totals();
        QCOMPARE(facts.join(" | "), carried);
        if (c.engine.system.IsNT)
            QCOMPARE(c.tree.stream("dst/mac", "AFP_AfpInfo"), afpInfo("TEXTttxt"));
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
        QTest::newRow("Windows-1252 signature") << "euro" << QByteArray("\x80\xe9xtTEXT") << "euro.eur";
        QTest::newRow("short information, padded") << "short" << QByteArray(10, 'x') << "short.nul";
        const QString neighbours = QString(QChar(0xE9)) + QChar(0x400) + QChar(0x2100) + QChar(0x2300) + QChar(0xEFFF);
        QTest::newRow("neighbouring blocks kept") << neighbours << QByteArray() << neighbours;
    }

    void macintoshNames()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, signature);
        QFETCH(QString, expected);
        TestTree tree;
        EngineFixture engine;
        engine.extensions = [](const QString &sig) {
            return QString(sig == "XLS8XCEL" ? "XLS" : sig == "W8BNMSWD" ? "doc" : sig == QString(8, QChar(0)) ? "nul"
                           : sig == QString(QChar(0x20AC)) + QString::fromUtf8("éxtTEXT") ? "eur" : "");
        };
        const QByteArray bytes = PathToBytes(name);
        QVERIFY(tree.write(bytes, "x"));
        if (!signature.isEmpty())
            QVERIFY(tree.setStream(bytes, "AFP_AfpInfo", signature.size() == 8 ? afpInfo(signature) : signature));
        const platform::UniqueFd dir(platform::openFolderPath(tree.root()));
        QCOMPARE(PathFromBytes(MacintoshTargetName(engine.context(), dir.get(), bytes)), expected);
    }
};

QTEST_APPLESS_MAIN(TestFileOperations)
#include "tst_fileoperations.moc"
