#include "common/testtree.h"
#include "platform/pathcodec.h"
#include "platform/profile.h"
#include "platform/systeminfo.h"
#include "platform/wholefile.h"
#include <QTest>
#include <unistd.h>

using namespace vell;
using namespace vell::platform;
using namespace Qt::StringLiterals;

namespace {
// Rows; a null content, before or after: no file.
struct ReadCase { QByteArray content; QString section, key, expected; };
struct WriteCase { QByteArray before; QString section, key, value; int result; QByteArray after; };
struct AppendCase { QByteArray name; bool exclusive; int result; QByteArray after; };
} // namespace

// Vell.ini as the Windows profile calls read and write it, the whole-file calls beneath them, names as text,
// and what Vell tells of this machine.
class TestProfile : public QObject
{
    Q_OBJECT
private slots:
    void readRules_data()
    {
        QTest::addColumn<ReadCase>("c");
        const QByteArray crlf = "[Configuration]\r\nLangue=2\r\n";
        const QByteArray astral = QByteArray(253, 'a') + "\xf0\x9f\x98\x80";
        const QString x254(254, u'x'), y254(254, u'y');
        QTest::newRow("crlf") << ReadCase{crlf, "Configuration", "Langue", "2"};
        QTest::newRow("no final line end") << ReadCase{"[A]\r\nk=v", "A", "k", "v"};
        QTest::newRow("utf8 bom") << ReadCase{"\xEF\xBB\xBF[A]\r\nk=v\r\n", "A", "k", "v"};
        QTest::newRow("section other case") << ReadCase{crlf, "CONFIGURATION", "Langue", "2"};
        QTest::newRow("key other case") << ReadCase{crlf, "Configuration", "lANGUE", "2"};
        QTest::newRow("blanks around =") << ReadCase{"[A]\r\n  k \t=\t v w  \r\n", "A", "k", "v w"};
        QTest::newRow("blanks in header") << ReadCase{"  [ A ]  \r\nk=v\r\n", "A", "k", "v"};
        QTest::newRow("double quotes") << ReadCase{"[A]\r\nk=\" 1 \"\r\n", "A", "k", " 1 "};
        QTest::newRow("single quotes") << ReadCase{"[A]\r\nk='x'\r\n", "A", "k", "x"};
        QTest::newRow("quotes not matching") << ReadCase{"[A]\r\nk=\"x'\r\n", "A", "k", "\"x'"};
        QTest::newRow("quote inside kept") << ReadCase{"[A]\r\nk=Admin \"Hi\"\r\n", "A", "k", "Admin \"Hi\""};
        QTest::newRow("lone quote") << ReadCase{"[A]\r\nk=\"\r\n", "A", "k", "\""};
        QTest::newRow("first key wins") << ReadCase{"[A]\r\nk=1\r\nK=2\r\n", "A", "k", "1"};
        QTest::newRow("first section wins") << ReadCase{"[A]\r\nx=1\r\n[a]\r\nk=2\r\n", "A", "k", "dflt"};
        QTest::newRow("empty value is not default") << ReadCase{"[A]\r\nk=\r\n", "A", "k", ""};
        QTest::newRow("missing key") << ReadCase{crlf, "Configuration", "Temporisation", "dflt"};
        QTest::newRow("missing section") << ReadCase{crlf, "Logs", "Langue", "dflt"};
        QTest::newRow("key of another section") << ReadCase{"[B]\r\nk=1\r\n[A]\r\n", "A", "k", "dflt"};
        QTest::newRow("key before any section") << ReadCase{"k=1\r\n[A]\r\n", "A", "k", "dflt"};
        QTest::newRow("comment is no key") << ReadCase{"[A]\r\n;k=1\r\n", "A", ";k", "dflt"};
        QTest::newRow("equals in value") << ReadCase{"[A]\r\nk=a=b\r\n", "A", "k", "a=b"};
        QTest::newRow("utf8 value") << ReadCase{"[A]\r\nk=\xce\xb1\xe2\x80\x94\r\n", "A", "k", u"\u03b1\u2014"_s};
        QTest::newRow("300 characters") << ReadCase{"[A]\r\nk=" + QByteArray(300, 'x') + "\r\n", "A", "k", x254};
        QTest::newRow("254 after quotes") << ReadCase{"[A]\r\nk=\"" + QByteArray(260, 'y') + "\"\r\n", "A", "k", y254};
        // 253 letters then an astral character: the pair is the 254th character.
        QTest::newRow("surrogate pair kept whole")
            << ReadCase{"[A]\nk=" + astral + "zz\n", "A", "k", QString::fromUtf8(astral)};
        QTest::newRow("no file") << ReadCase{{}, "A", "k", "dflt"};
    }
    void readRules()
    {
        QFETCH(ReadCase, c);
        QCOMPARE(Profile::fromBytes(c.content).value(c.section, c.key, u"dflt"_s), c.expected);
        // The per-key function on a real file says the same.
        TestTree tree;
        QVERIFY(c.content.isNull() || tree.write("Vell.ini", c.content));
        QCOMPARE(readProfileString(tree.pathText("Vell.ini"), c.section, c.key, u"dflt"_s), c.expected);
    }
    void writeKeepsEveryOtherLine_data()
    {
        QTest::addColumn<WriteCase>("c");
        const auto row = [](const char *name, const WriteCase &c) { QTest::newRow(name) << c; };
        const QByteArray file = "; written by hand\r\n[Configuration]\r\nLangue=1\r\n  temporisation = 30 \r\n"
                                "Unknown=keep me\r\n\r\n; logs below\r\n[Logs]\nLogs=1\n[Mirror_1]\r\nDeplacer=0";
        const auto edited = [&](const char *from, const char *to) { return QByteArray(file).replace(from, to); };
        const QByteArray rewritten = edited("  temporisation = 30 \r\n", "temporisation=N\r\n");
        const QByteArray added = edited("Unknown=keep me\r\n", "Unknown=keep me\r\nPerformance=N\r\n");
        row("rewrite only that line, keep its spelling", {file, "configuration", "TEMPORISATION", "N", 0, rewritten});
        row("add at end of section, before blank and comment", {file, "Configuration", "Performance", "N", 0, added});
        row("add to lf section", {file, "Logs", "PurgeLogs", "N", 0, edited("Logs=1\n", "Logs=1\nPurgeLogs=N\r\n")});
        row("add to last section without line end", {file, "Mirror_1", "Effacer", "N", 0, file + "\r\nEffacer=N\r\n"});
        row("new section at end", {file, "Mirror_2", "Nouveau", "N", 0, file + "\r\n\r\n[Mirror_2]\r\nNouveau=N\r\n"});
        row("new file", {{}, "Logs", "DelaiLogs", "N", 0, "[Logs]\r\nDelaiLogs=N\r\n"});
        row("empty section gets its first key", {"[A]\r\n\r\n[B]\r\n", "A", "k", "N", 0, "[A]\r\nk=N\r\n\r\n[B]\r\n"});
        const QByteArray latin1 = "/srv/caf\xe9", latin1Line = "[Logs]\r\nPathLogs=/srv/caf\xe9\r\n";
        row("invalid UTF-8 survives", {{}, "Logs", "PathLogs", PathFromBytes(latin1), 0, latin1Line});
        // What the format cannot hold is refused, the file left as it was.
        const QByteArray small("[A]\r\nk=1\r\n");
        row("lf in value", {small, "A", "k", "one\ntwo", -EINVAL, small});
        row("equals in key", {small, "A", "k=x", "v", -EINVAL, small});
        row("empty key", {small, "A", " ", "v", -EINVAL, small});
        row("comment key", {small, "A", ";k", "v", -EINVAL, small});
        row("bracket in section", {small, "A]", "k", "v", -EINVAL, small});
    }
    void writeKeepsEveryOtherLine()
    {
        QFETCH(WriteCase, c);
        TestTree tree;
        QVERIFY(c.before.isNull() || tree.write("Vell.ini", c.before));
        QCOMPARE(writeProfileString(tree.pathText("Vell.ini"), c.section, c.key, c.value), c.result);
        QCOMPARE(tree.read("Vell.ini"), c.after);
        QVERIFY(c.result != 0 || readProfileString(tree.pathText("Vell.ini"), c.section, c.key, {}) == c.value);
        QCOMPARE(tree.entries(""), QByteArrayList{"Vell.ini"}); // no temporary file left
    }
    void failedWriteLeavesOldFile()
    {
        TestTree tree;
        // A folder where the temporary file must go makes the write fail.
        QVERIFY(tree.write("Vell.ini", "[A]\r\nk=1\r\n") && tree.mkdir(".Vell.ini.vell-new/sub"));
        QVERIFY(writeProfileString(tree.pathText("Vell.ini"), "A", "k", "2") < 0);
        QCOMPARE(tree.read("Vell.ini"), "[A]\r\nk=1\r\n"_ba);
        QVERIFY(tree.mkdir("folder/Vell.ini")); // what cannot be read is not replaced
        QCOMPARE(writeProfileString(tree.pathText("folder/Vell.ini"), "A", "k", "2"), -EISDIR);
        QVERIFY(tree.isDir("folder/Vell.ini"));
    }
    void readsWholeAndWritesAtomicallyKeepingModeAndLink()
    {
        TestTree tree;
        const QByteArray big(200000, 'b'); // more than one read
        QVERIFY(tree.write("big", big));
        QByteArray got = "left over";
        QVERIFY(readWholeFile(tree.pathText("big"), got) == 0 && got == big);
        QVERIFY(readWholeFile(tree.pathText("gone"), got) == -ENOENT && got.isEmpty());
        QVERIFY(tree.write("real/Vell.ini", "old") && tree.setMode("real/Vell.ini", 0640));
        QVERIFY(tree.symlink("Vell.ini", "real/Vell.ini") && tree.write(".Vell.ini.vell-new", "stale"));
        QVERIFY(tree.write("real/.Vell.ini.vell-new", "stale"));
        QCOMPARE(writeFileAtomically(tree.pathText("Vell.ini"), "new"), 0);
        QVERIFY(tree.isLink("Vell.ini") && tree.read("real/Vell.ini") == "new");
        QCOMPARE(tree.mode("real/Vell.ini"), 0640u);
        QVERIFY(!tree.exists("real/.Vell.ini.vell-new"));
        QCOMPARE(atomicTemporaryPath("/a/Vell.w"), u"/a/.Vell.w.vell-new"_s);
    }
    void appendsOnlyToARegularFile_data()
    {
        QTest::addColumn<AppendCase>("c");
        QTest::newRow("existing file") << AppendCase{"file", false, 0, "oldnew"};
        QTest::newRow("existing file, exclusive") << AppendCase{"file", true, -EEXIST, "old"};
        QTest::newRow("missing file, exclusive") << AppendCase{"fresh", true, 0, "new"};
        QTest::newRow("fifo, no reader") << AppendCase{"fifo", false, -ENXIO, {}};
        QTest::newRow("folder") << AppendCase{"folder", false, -EISDIR, {}};
    }
    void appendsOnlyToARegularFile()
    {
        QFETCH(AppendCase, c);
        TestTree tree;
        QVERIFY(tree.write("file", "old") && tree.mkfifo("fifo") && tree.mkdir("folder")); // no FIFO reader: no block
        QCOMPARE(appendToFile(tree.pathText(c.name), "new", c.exclusive), c.result);
        QVERIFY(c.after.isNull() || tree.read(c.name) == c.after);
    }
    void describesThisMachine()
    {
        const SystemInfo info = QuerySystemInfo();
        QVERIFY(info.copyCarriesStreams() && !info.ComputerName.isEmpty());
        QVERIFY2(info.OSDescription.contains(u", Linux "_s) && !info.OSDescription.startsWith(u'"'),
                 qPrintable(info.OSDescription));
        QVERIFY(::geteuid() != 0 || info.UserName == QStringLiteral("root"));
        qputenv("Windir", "c:\\winnt"); // WindowsFolder: the upper-cased Windir
        QCOMPARE(QuerySystemInfo().WindowsFolder, QStringLiteral("C:\\WINNT"));
        qunsetenv("Windir");
        QVERIFY(QuerySystemInfo().WindowsFolder.isEmpty());
    }
    void pathRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QByteArray("/home/ann/Work");
        QTest::newRow("greek-cyrillic-dash") << QByteArray("/d/\xce\xb1\xce\xb2 \xd0\x96 \xe2\x80\x94 x");
        QTest::newRow("latin1 byte") << QByteArray("caf\xe9.txt");
        QTest::newRow("lone continuation") << QByteArray("a\x80z");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xb2\x80");
        QTest::newRow("cut sequence at end") << QByteArray("ok\xe2\x82");
        QTest::newRow("astral") << QByteArray("\xf0\x9f\x98\x80.png");
    }
    void pathRoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(PathToBytes(PathFromBytes(bytes)), bytes);
    }
    void invalidPathBytesBecomeEscapes()
    {
        QCOMPARE(PathFromBytes("a\xff"), QStringLiteral("a") + QChar(0xDCFF));
        QCOMPARE(PathFromBytes("\xce\xb1"), QString(QChar(0x3B1)));
    }
};
QTEST_APPLESS_MAIN(TestProfile)
#include "tst_profile.moc"
