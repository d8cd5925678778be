#include "platform/profile.h"

#include "platform/pathcodec.h"
#include "common/testtree.h"

#include <QTest>
#include <cerrno>
#include <sys/stat.h>

using namespace vell;
using namespace vell::platform;

class TestProfile : public QObject
{
    Q_OBJECT
private slots:
    void readRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QByteArray crlf = "[Configuration]\r\nLangue=2\r\n";
        QTest::newRow("crlf") << crlf << "Configuration" << "Langue" << "2";
        QTest::newRow("lf only") << QByteArray("[A]\nk=v\n") << "A" << "k" << "v";
        QTest::newRow("no final line end") << QByteArray("[A]\r\nk=v") << "A" << "k" << "v";
        QTest::newRow("utf8 bom") << QByteArray("\xEF\xBB\xBF[A]\r\nk=v\r\n") << "A" << "k" << "v";
        QTest::newRow("section other case") << crlf << "CONFIGURATION" << "Langue" << "2";
        QTest::newRow("key other case") << crlf << "Configuration" << "lANGUE" << "2";
        QTest::newRow("blanks around =") << QByteArray("[A]\r\n  k \t=\t v w  \r\n") << "A" << "k" << "v w";
        QTest::newRow("blanks in header") << QByteArray("  [ A ]  \r\nk=v\r\n") << "A" << "k" << "v";
        QTest::newRow("double quotes") << QByteArray("[A]\r\nk=\" 1 \"\r\n") << "A" << "k" << " 1 ";
        QTest::newRow("single quotes") << QByteArray("[A]\r\nk='x'\r\n") << "A" << "k" << "x";
        QTest::newRow("quotes not matching") << QByteArray("[A]\r\nk=\"x'\r\n") << "A" << "k" << "\"x'";
        QTest::newRow("quote inside kept") << QByteArray("[A]\r\nk=Admin \"Hi\"\r\n") << "A" << "k" << "Admin \"Hi\"";
        QTest::newRow("lone quote") << QByteArray("[A]\r\nk=\"\r\n") << "A" << "k" << "\"";
        QTest::newRow("first key wins") << QByteArray("[A]\r\nk=1\r\nK=2\r\n") << "A" << "k" << "1";
        QTest::newRow("first section wins") << QByteArray("[A]\r\nx=1\r\n[a]\r\nk=2\r\n") << "A" << "k" << "dflt";
        QTest::newRow("empty value is not default") << QByteArray("[A]\r\nk=\r\n") << "A" << "k" << "";
        QTest::newRow("missing key") << crlf << "Configuration" << "Temporisation" << "dflt";
        QTest::newRow("missing section") << crlf << "Logs" << "Langue" << "dflt";
        QTest::newRow("key of another section") << QByteArray("[B]\r\nk=1\r\n[A]\r\n") << "A" << "k" << "dflt";
        QTest::newRow("key before any section") << QByteArray("k=1\r\n[A]\r\n") << "A" << "k" << "dflt";
        QTest::newRow("comment is no key") << QByteArray("[A]\r\n;k=1\r\n") << "A" << ";k" << "dflt";
        QTest::newRow("equals in value") << QByteArray("[A]\r\nk=a=b\r\n") << "A" << "k" << "a=b";
        QTest::newRow("utf8 value") << QByteArray("[A]\r\nk=\xce\xb1\xe2\x80\x94\r\n") << "A" << "k"
                                    << QString::fromUtf8("\xce\xb1\xe2\x80\x94");
        QTest::newRow("300 characters") << "[A]\r\nk=" + QByteArray(300, 'x') + "\r\n" << "A" << "k"
                                        << QString(254, u'x');
        QTest::newRow("254 after quotes go") << "[A]\r\nk=\"" + QByteArray(260, 'y') + "\"\r\n" << "A" << "k"
                                             << QString(254, u'y');
        // 253 letters then an astral character: the pair is the 254th character.
        QTest::newRow("surrogate pair kept whole")
            << "[A]\nk=" + QByteArray(253, 'a') + "\xf0\x9f\x98\x80zz\n" << "A" << "k"
            << QString::fromUtf8(QByteArray(253, 'a') + "\xf0\x9f\x98\x80");
        QTest::newRow("no file") << QByteArray() << "A" << "k" << "dflt";
    }
    void readRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(Profile::fromBytes(content).value(section, key, QStringLiteral("dflt")), expected);

        // The per-key function on a real file says the same.
        TestTree tree;
        QVERIFY(content.isNull() || tree.write("Vell.ini", content));
        QCOMPARE(readProfileString(tree.pathText("Vell.ini"), section, key, QStringLiteral("dflt")), expected);
    }

    void writeKeepsEveryOtherLine_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("after");

        const QByteArray file = "; written by hand\r\n[Configuration]\r\nLangue=1\r\n  temporisation = 30 \r\n"
                                "Unknown=keep me\r\n\r\n; logs below\r\n[Logs]\nLogs=1\n[Mirror_1]\r\nDeplacer=0";
        const auto edited = [&](const char *from, const char *to) { return QByteArray(file).replace(from, to); };
        QTest::newRow("rewrite only that line, keep its spelling")
            << file << "configuration" << "TEMPORISATION" << "NEW" << 0
            << edited("  temporisation = 30 \r\n", "temporisation=NEW\r\n");
        QTest::newRow("add at end of section, before blank and comment")
            << file << "Configuration" << "Performance" << "NEW" << 0
            << edited("Unknown=keep me\r\n", "Unknown=keep me\r\nPerformance=NEW\r\n");
        QTest::newRow("add to lf section") << file << "Logs" << "PurgeLogs" << "NEW" << 0
                                           << edited("Logs=1\n", "Logs=1\nPurgeLogs=NEW\r\n");
        QTest::newRow("add to last section without line end")
            << file << "Mirror_1" << "Effacer" << "NEW" << 0 << file + "\r\nEffacer=NEW\r\n";
        QTest::newRow("new section at end") << file << "Mirror_2" << "Nouveau" << "NEW" << 0
                                            << file + "\r\n\r\n[Mirror_2]\r\nNouveau=NEW\r\n";
        QTest::newRow("new file") << QByteArray() << "Logs" << "DelaiLogs" << "NEW" << 0
                                  << QByteArray("[Logs]\r\nDelaiLogs=NEW\r\n");
        QTest::newRow("empty section gets its first key")
            << QByteArray("[A]\r\n\r\n[B]\r\n") << "A" << "k" << "NEW" << 0
            << QByteArray("[A]\r\nk=NEW\r\n\r\n[B]\r\n");
        QTest::newRow("invalid UTF-8 survives") << QByteArray() << "Logs" << "PathLogs"
                                                << PathFromBytes("/srv/caf\xe9") << 0
                                                << QByteArray("[Logs]\r\nPathLogs=/srv/caf\xe9\r\n");
        // What the format cannot hold is refused, the file left as it was.
        const QByteArray small("[A]\r\nk=1\r\n");
        QTest::newRow("line break in value") << small << "A" << "k" << "one\r\n[B]" << -EINVAL << small;
        QTest::newRow("lf in value") << small << "A" << "k" << "one\ntwo" << -EINVAL << small;
        QTest::newRow("equals in key") << small << "A" << "k=x" << "v" << -EINVAL << small;
        QTest::newRow("empty key") << small << "A" << " " << "v" << -EINVAL << small;
        QTest::newRow("comment key") << small << "A" << ";k" << "v" << -EINVAL << small;
        QTest::newRow("bracket in section") << small << "A]" << "k" << "v" << -EINVAL << small;
    }
    void writeKeepsEveryOtherLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, result);
        QFETCH(QByteArray, after);
        TestTree tree;
        QVERIFY(before.isNull() || tree.write("Vell.ini", before));
        QCOMPARE(writeProfileString(tree.pathText("Vell.ini"), section, key, value), result);
        QCOMPARE(tree.read("Vell.ini"), after);
        QVERIFY(result != 0 || readProfileString(tree.pathText("Vell.ini"), section, key, {}) == value);
        QCOMPARE(tree.entries(""), QByteArrayList{"Vell.ini"}); // no temporary file left
    }

    void failedWriteLeavesOldFile()
    {
        TestTree tree;
        QVERIFY(tree.write("Vell.ini", "[A]\r\nk=1\r\n"));
        // A folder where the temporary file must go makes the write fail.
        QVERIFY(tree.mkdir(".Vell.ini.vell-new/sub"));
        QVERIFY(writeProfileString(tree.pathText("Vell.ini"), "A", "k", "2") < 0);
        QCOMPARE(tree.read("Vell.ini"), QByteArray("[A]\r\nk=1\r\n"));
        QVERIFY(tree.mkdir("folder/Vell.ini")); // what cannot be read is not replaced
        QCOMPARE(writeProfileString(tree.pathText("folder/Vell.ini"), "A", "k", "2"), -EISDIR);
        QVERIFY(tree.isDir("folder/Vell.ini"));
    }
};

QTEST_APPLESS_MAIN(TestProfile)
#include "tst_profile.moc"
