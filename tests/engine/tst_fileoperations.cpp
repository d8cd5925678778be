#include "common/enginefixture.h"
#include "engine/fileoperations.h"
#include "platform/pathcodec.h"

using namespace vell;

struct MacName { QString name; QByteArray signature; QString expected; };

class TestFileOperations : public QObject
{
    Q_OBJECT
private slots:
    void macintoshNames_data()
    {
        QTest::addColumn<MacName>("mac");
        QTest::newRow("extension added") << MacName{"Budget", "XLS8XCEL", "Budget.xls"};
        QTest::newRow("extension present") << MacName{"notes.doc", "W8BNMSWD", "notes.doc"};
        QTest::newRow("last three letters match") << MacName{"mydoc", "W8BNMSWD", "mydoc"};
        QTest::newRow("letter case of the name ignored") << MacName{"REPORT.DOC", "W8BNMSWD", "REPORT.DOC"};
        QTest::newRow("unknown signature") << MacName{"thing", "????????", "thing"};
        QTest::newRow("no Macintosh information") << MacName{"plain", {}, "plain"};
        QTest::newRow("server-kept quote replaced")
            << MacName{QStringLiteral("say ") + QChar(0xF022) + QStringLiteral("hi") + QChar(0xF022), {}, "say -hi-"};
        QTest::newRow("other blocks replaced, length kept")
            << MacName{QString(QChar(0x0101)) + QChar(0x2014) + QChar(0x2202) + QChar(0x2500) + QChar(0xFB01) + "z", {},
                       "-----z"};
        QTest::newRow("Windows-1252 signature") << MacName{"euro", "\x80\xe9xtTEXT", "euro.eur"};
        QTest::newRow("short information, padded") << MacName{"short", QByteArray(10, 'x'), "short.nul"};
        const QString neighbours = QString(QChar(0xE9)) + QChar(0x400) + QChar(0x2100) + QChar(0x2300) + QChar(0xEFFF);
        QTest::newRow("neighbouring blocks kept") << MacName{neighbours, {}, neighbours};
    }
    void macintoshNames()
    {
        QFETCH(MacName, mac);
        auto &[name, signature, expected] = mac;
        TestTree tree;
        EngineFixture engine;
        engine.extensions = [](const QString &sig) {
            return QString(sig == "XLS8XCEL" ? "XLS" : sig == "W8BNMSWD" ? "doc" : sig == QString(8, QChar(0)) ? "nul"
                           : sig == QString(QChar(0x20AC)) + QString::fromUtf8("éxtTEXT") ? "eur" : "");
        };
        const QByteArray bytes = PathToBytes(name);
        QVERIFY(tree.write(bytes, "x"));
        const QByteArray info = (QByteArray("AFP\0", 4) + QByteArray(12, '\0') + signature).leftJustified(60, '\0');
        if (!signature.isEmpty()) // a Macintosh record with type and creator at 16..23, or a short one as it is
            QVERIFY(tree.setStream(bytes, "AFP_AfpInfo", signature.size() == 8 ? info : signature));
        const platform::UniqueFd dir(platform::openFolderPath(tree.root()));
        QCOMPARE(PathFromBytes(MacintoshTargetName(engine.context(), dir.get(), bytes)), expected);
    }
};
QTEST_APPLESS_MAIN(TestFileOperations)
#include "tst_fileoperations.moc"
