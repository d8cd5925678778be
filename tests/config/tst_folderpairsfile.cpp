// The couples and settings files, read and written for real.
#include "config/folderpairsfile.h"
#include "config/settingsfile.h"
#include "common/testtree.h"
#include "platform/pathcodec.h"
#include "platform/profile.h"
#include "platform/systeminfo.h"
#include "base/programidentity.h"
#include <QScopeGuard>
#include <QSet>
#include <QTest>
#include <csignal>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

using namespace vell;

namespace {
const SystemInfo Nt = [] { SystemInfo info; info.IsNT = true; return info; }();
FolderPair couple(const QString &s, const QString &t = {}) { FolderPair p; p.Source = s; p.Cible = t; return p; }
QByteArray line(const QString &source, const QString &target)
{
    return ('"' + PathToHex(source) + "\",\"" + PathToHex(target) + "\"\r\n").toLatin1();
}
FolderPairsLoad load(const TestTree &tree, const Settings &settings = {}, bool quit = false)
{
    return LoadFolderPairs({tree.rootText()}, settings, Nt, quit);
}
QByteArray ini(QByteArray text) { return text.replace(';', "\r\n"); } // ";" ends a line
int save(const TestTree &t, const FolderPairList &pairs) { return SaveFolderPairs({t.rootText()}, pairs, Nt); }
// One complete write: even rounds save 20, 40 or 60 couples with long paths, odd ones rewrite one key.
int rewrite(const TestTree &t, int round)
{
    const QString text(round / 2 % 2 ? 250 : 10, u'm');
    if (round % 2 == 1)
        return WriteSetting({t.rootText()}, SectionConfiguration, "MessageNetSend", text);
    FolderPairList pairs(20 + 20 * (round / 2 % 3));
    for (qsizetype i = 0; i < pairs.size(); ++i)
        pairs[i] = couple(QString("/src/%1/").arg(i) + QString(200, u'α'), QString("/dst/%1/").arg(i) + text);
    return save(t, pairs);
}
// Each couple of a load in one line: row data, [cell 0] [cell 2], found (S T) and Macintosh (M M) marks, modes
// D R E N, delay count and countdown, picture, colours of cell 0, cell 2 and background ("-": no, off, none).
QStringList describe(const FolderPairsLoad &l, const QString &root = "~")
{
    const auto colour = [](std::optional<uint32_t> c) { return c ? QString::number(*c, 16) : QStringLiteral("-"); };
    QStringList rows;
    for (qsizetype i = 0; i < l.rows.size(); ++i) {
        const FolderPair &p = l.pairs.at(i);
        const CoupleRow &r = l.rows.at(i);
        QString marks = "STMM DREN";
        const bool on[] = {r.sourceFound, r.targetFound, r.sourceMacintosh, r.targetMacintosh, true,
                           p.Deplacer,    p.Renommer,    p.Effacer,         p.Nouveau};
        for (int k = 0; k < 9; ++k)
            marks[k] = on[k] ? marks[k] : u'-';
        rows << QStringList{QString::number(r.position), '[' + r.sourceText + ']', '[' + r.targetText + ']', marks,
                            QString::number(p.NbTemporisations), QString::number(p.TemporisationsRestantes),
                            r.delay == DelayPicture::Default ? "default" : "specific", colour(r.sourceColour),
                            colour(r.targetColour), colour(r.background)}.join(u' ').replace(root, "~");
    }
    return rows;
}
struct Hex { bool wide; QString hex, path; };
// Every field in key order, flags as 0/1, the program folder as "<root>".
QString describeSettings(const Settings &s, const QString &root)
{
    const auto n = [](int32_t value) { return QString::number(value); };
    return QStringList{n(s.Langue), n(s.MiroirSousDossiers), n(s.Effacement), n(s.CopierAttributs), n(s.CopierSecurite),
                       n(s.CopierSecuriteDossiers), n(s.CopierSecuriteTout), n(s.Temporisation), n(s.Performance),
                       s.PrefixeCibleDefaut, s.PrefixeCibleDefautUNC, n(s.AfficherFichiers), n(s.Automatique),
                       n(s.ArretAutomatique), n(s.ErreurDossier), n(s.ErreurDossierSon), n(s.ErreurDossierNetSend),
                       s.MessageNetSend, n(s.ErreurDossierEventLog), n(s.Surveillance), n(s.DelaiVerification),
                       n(s.CopiesSimultanees), n(s.Logs), n(s.FichiersLogs), s.PathLogs,
                       n(s.PurgeLogs), n(s.DelaiLogs)}.join(u'|').replace(root, "<root>");
}
const QString Defaults =
    "0|1|0|0|0|0|0|10|1|||0|0|0|0|0|0|Administrator \"Warning from Vell: unknown folder\"|0|1|60|0|0|0|<root>|0|10";
} // namespace

class TestFolderPairsFile : public QObject
{
    Q_OBJECT
private slots:
    void hexForms_data()
    {
        QTest::addColumn<Hex>("h"); // wide: UTF-16 code units on NT, else the path's bytes; a null path: refused
        QTest::newRow("drive root") << Hex{true, "43003A005C00", "C:\\"};
        QTest::newRow("empty") << Hex{true, "", ""};
        QTest::newRow("every digit edge") << Hex{true, "0A9F", QString(QChar(0x9F0A))};
        QTest::newRow("codec escape") << Hex{true, "E9DC", PathFromBytes("\xe9")};
        QTest::newRow("astral pair") << Hex{true, "3DD800DE", QString::fromUtf8("\xf0\x9f\x98\x80")};
        for (const char *bad : {"430", "43003A", "4G00", "4:00", "2F0000006100"})
            QTest::newRow(bad) << Hex{true, bad, {}};
        QTest::newRow("8-bit") << Hex{false, "433AC3A9", QStringLiteral("C:\u00e9")};
        QTest::newRow("8-bit codec escape") << Hex{false, "E9", PathFromBytes("\xe9")};
        QTest::newRow("8-bit odd") << Hex{false, "433", {}};
        QTest::newRow("8-bit NUL") << Hex{false, "2F0061", {}};
    }
    void hexForms()
    {
        QFETCH(Hex, h);
        const std::optional<QString> expected = h.path.isNull() ? std::nullopt : std::optional<QString>(h.path);
        QCOMPARE(HexToPath(h.hex, h.wide), expected);
        QCOMPARE(HexToPath(h.hex.toLower(), h.wide), expected);
        QCOMPARE(PathToHex(h.path, h.wide), h.path.isNull() ? QString() : h.hex);
    }
    void loadGivesRowsAndModes()
    {
        TestTree tree;
        const QByteArray latin1 = "dst\xe9"; // not UTF-8: the bytes must reach the folder
        const auto cleanUp = qScopeGuard([&] { (void)::rmdir(tree.path(latin1).constData()); });
        QVERIFY(tree.mkdir("src") && tree.mkdir(latin1) && tree.mkdir("vol/Mac/Docs"));
        QVERIFY(tree.mkdir("vol/Network Trash Folder")); // a Macintosh volume: the marker in an ancestor
        const QString src = tree.pathText("src"), mac = tree.pathText("vol/Mac/Docs");
        QVERIFY(tree.write("Vell.w", line(src, PathFromBytes(tree.path(latin1))) + line(src, "/gone")
                                         + "\"43003A005C004400610074006100\",\"\"\r\n" + line(mac, src)
                                         + line(src, mac) + line(mac, "/gone") + line(mac, mac)));
        // The delay: the count and countdown held to 1..64000, the text deciding the picture.
        QVERIFY(tree.write("Vell.ini", ini("[Mirror_1];Deplacer=1;NbTemporisations=1;[Mirror_2];NbTemporisations=01;"
                                           "[Mirror_3];Renommer=1;Effacer=1;Nouveau=1;NbTemporisations=7;[Mirror_4];"
                                           "NbTemporisations=64000;[Mirror_5];NbTemporisations=99999999999;[Mirror_6];"
                                           "NbTemporisations=0;[Mirror_7];NbTemporisations=-2147483648")));
        Settings settings;
        FolderPairsLoad l = load(tree, settings);
        QCOMPARE(describe(l, tree.rootText()),
                 QStringList({"1 [~/src] [~/dst" + QString(QChar(0xDCE9)) + "] ST-- D--- 1 1 default ff0000 - -",
                              "2 [~/src] [??? /gone] S--- ---- 1 1 specific - - -",
                              "3 [??? C:\\Data] [???] ---- -REN 7 7 specific - ff00ff ffff",
                              "4 [      ~/vol/Mac/Docs] [~/src] STM- ---- 64000 64000 specific - - -",
                              "5 [~/src] [      ~/vol/Mac/Docs] ST-M ---- 64000 64000 specific - - -",
                              "6 [      ~/vol/Mac/Docs] [??? /gone] S-M- ---- 1 1 specific - - -",
                              "7 [      ~/vol/Mac/Docs] [      ~/vol/Mac/Docs] STMM ---- 1 1 specific - - -"}));
        // The last couple whose two folders disagree gives the warning.
        QCOMPARE(l.macintoshWarning, "WARNING: A target folder belongs to a Macintosh volume\r\n"
                                     "but the corresponding source folder does not belong to a Macintosh volume");
        QVERIFY(l.showMacintoshWarning);
        QCOMPARE(MacintoshWarningText(MacintoshMismatch::SourceOnly, 2),
                 QStringLiteral("ATENÇÃO: Uma pasta de entrada está num volume Macintosh\r\nmas a pasta de saída não"));
        settings.Automatique = true;
        l = load(tree, settings); // an automatic start shows no warning
        QVERIFY(!l.macintoshWarning.isEmpty() && !l.showMacintoshWarning);
        l = load(tree, {}, true); // "-U": the first couple with a folder missing ends the load
        QVERIFY(l.end == LoadEnd::FolderMissing && l.exitStatus() == 3 && l.rows.size() == 1);
    }
    void saveWritesTheFileFormatOrNothing()
    {
        TestTree tree;
        FolderPair second = couple("/a", "/b");
        second.NbTemporisationsText = "7\n"; // a text the file cannot hold: the number is written
        second.NbTemporisations = 7;
        second.Nouveau = true;
        QCOMPARE(save(tree, {couple("C:\\"), second}), 0);
        QCOMPARE(tree.read("Vell.w"), QByteArray("\"43003A005C00\",\"\"\r\n\"2F006100\",\"2F006200\"\r\n"));
        const QByteArray ini = tree.read("Vell.ini");
        QCOMPARE(ini, "[Mirror_1]\r\nNbTemporisations=1\r\nDeplacer=0\r\nRenommer=0\r\nEffacer=0\r\nNouveau=0\r\n\r\n"
                      "[Mirror_2]\r\nNbTemporisations=7\r\nDeplacer=0\r\nRenommer=0\r\nEffacer=0\r\nNouveau=1\r\n");
        QCOMPARE(save(tree, {}), 0); // no couple: the sections stay
        // A failed save keeps both files: a folder stands where the temporary file goes, or a path holds a NUL.
        QVERIFY(tree.mkdir(".Vell.w.vell-new/x") && save(tree, {second, couple("/b")}) < 0);
        QVERIFY(::rmdir(tree.path(".Vell.w.vell-new/x")) == 0 && ::rmdir(tree.path(".Vell.w.vell-new")) == 0);
        QCOMPARE(save(tree, {second, couple(QStringLiteral("/b\u0000c"))}), -EINVAL);
        QCOMPARE(save(tree, {second, couple("/b", QStringLiteral("/B\u0000"))}), -EINVAL);
        QVERIFY(tree.read("Vell.w").isEmpty() && tree.read("Vell.ini") == ini);
        QCOMPARE(tree.entries(""), (QByteArrayList{"Vell.ini", "Vell.w"}));
    }
    // A blank line makes no couple but keeps its number; saves drop it and renumber, modes kept.
    void couplesKeepTheirModes()
    {
        TestTree tree;
        QVERIFY(tree.write("Vell.w", line("/a", "/A") + "\r\n \t \r\n" + line("/b", "/B") + line("/c", "/C")));
        QVERIFY(tree.write("Vell.ini", ini("[Mirror_2];Effacer=1;[Mirror_4];Deplacer=1;NbTemporisations=5;[Mirror_5];"
                                           "Nouveau=1;NbTemporisations=01")));
        const QString a = "[??? /a] [??? /A] ---- ---- 1 1 default - - -";
        const QString b = "[??? /b] [??? /B] ---- D--- 5 5 specific ff0000 - -";
        const QString c = "[??? /c] [??? /C] ---- ---N 1 1 specific - - ffff";
        FolderPairsLoad l = load(tree);
        QCOMPARE(describe(l), QStringList({"1 " + a, "4 " + b, "5 " + c}));
        QCOMPARE(save(tree, l.pairs), 0);
        l = load(tree);
        QCOMPARE(describe(l), QStringList({"1 " + a, "2 " + b, "3 " + c}));
        l.pairs.removeAt(1); // the second of three goes
        QCOMPARE(save(tree, l.pairs), 0);
        QCOMPARE(tree.read("Vell.w"), line("/a", "/A") + line("/c", "/C"));
        QCOMPARE(describe(load(tree)), QStringList({"1 " + a, "2 " + c}));
        QCOMPARE(platform::readProfileString(tree.pathText("Vell.ini"), "Mirror_3", "Nouveau", {}), "1"); // unread
    }
    // Couples files of odd shapes: the count and first couple loaded, or the exit status and message.
    void fileShapes()
    {
        const QString refused = "exit 1: Invalid hexa string in the parameters file\r\n<couples>";
        const std::pair<QByteArray, QString> rows[] = {
            {{}, "0"}, {"\r\n", "0"}, {"\"2F006100\",\"\"\n\n\"2F006200\",\"2F006300\"\n", "2 /a>"}, // LF, blank line
            {"\"2F006100\"\r\n", "1 /a>"}, {"2F006100 , \"2F006200\"", "1 /a>/b"}, // cut short; bare, then blank
            {"\"2F006100\",\"\"\r\n\"430\",\"\"", refused}, // an odd length source
            {"\"2F006100\",\"\"\r\n\"2F00\",\"2F0000000000\"", refused}};        // a NUL ending the target
        for (auto [content, loaded] : rows) {
            TestTree tree;
            QVERIFY(content.isNull() || tree.write("Vell.w", content));
            const FolderPairsLoad l = load(tree);
            const QString first = l.pairs.isEmpty() ? "" : ' ' + l.pairs[0].Source + '>' + l.pairs[0].Cible;
            const QString counted = QString::number(l.pairs.size()) + first;
            const QString got = l.exitStatus() ? QString("exit %1: ").arg(l.exitStatus()) : counted;
            QCOMPARE(got + l.message, loaded.replace("<couples>", tree.pathText("Vell.w")));
        }
    }
    // A writer killed at any moment leaves each file whole: one of the contents a complete write gives it.
    void killDuringRewrite()
    {
        TestTree tree;
        QByteArray ini = "[Configuration]\r\n"; // many keys around the one rewritten
        for (int i = 0; i < 1500; ++i)
            ini += "Unknown" + QByteArray::number(i) + "=" + QByteArray(40, 'u') + "\r\n";
        QVERIFY(tree.write("Vell.ini", ini + "[Logs]\r\nDelaiLogs=7\r\n") && rewrite(tree, 4) == 0); // every section
        QSet<QByteArray> whole; // each file's name, then its content
        for (int round = 0; round < 6; ++round) {
            QVERIFY(rewrite(tree, round) == 0);
            whole << "ini " + tree.read("Vell.ini") << "w " + tree.read("Vell.w");
        }
        for (int kill = 0; kill < 12; ++kill) {
            int ready[2];
            const pid_t child = ::pipe(ready) == 0 ? ::fork() : -1;
            QVERIFY(child >= 0);
            if (child == 0) { // one byte after each complete write
                for (int round = kill % 2; rewrite(tree, round) == 0 && ::write(ready[1], "x", 1) == 1; ++round) {}
                ::_exit(1);
            }
            ::close(ready[1]);
            char byte;
            const bool wrote = ::read(ready[0], &byte, 1) == 1; // then kill it a little later each time
            const timespec pause{0, kill / 2 * 300'000L};
            (void)::nanosleep(&pause, nullptr); // cut short, it only moves the kill earlier
            int status = 0;
            const bool killed = ::kill(child, SIGKILL) == 0 && ::waitpid(child, &status, 0) == child;
            ::close(ready[0]);
            QVERIFY(wrote && killed && WIFSIGNALED(status));
            QVERIFY2(whole.contains("ini " + tree.read("Vell.ini")), "settings file not whole");
            QVERIFY2(whole.contains("w " + tree.read("Vell.w")), "couples file not whole");
        }
        QVERIFY(rewrite(tree, 0) == 0 && rewrite(tree, 1) == 0); // they clear what a killed write left behind
        QCOMPARE(tree.entries(""), (QByteArrayList{"Vell.ini", "Vell.w"}));
        QCOMPARE(LoadSettings({tree.rootText()}).DelaiLogs, 7);
    }
    void loadSettings_data()
    {
        QTest::addColumn<QByteArray>("ini"); // null: no file; ";" ends a line
        QTest::addColumn<QString>("read");
        const auto row = [](const char *name, QByteArray ini, QString read) { QTest::newRow(name) << ini << read; };
        row("no file", {}, Defaults);
        row("every key empty", "[Configuration];Langue=;MiroirSousDossiers=;Temporisation=;MessageNetSend=;"
                               "[Logs];PathLogs=;DelaiLogs=", Defaults);
        row("every key set",
            "[Configuration];Langue=2;MiroirSousDossiers=0;Effacement=1;CopierAttributs=1;CopierSecurite=1;"
            "CopierSecuriteDossiers=1;CopierSecuriteTout=1;Temporisation=60000;Performance=100;PrefixeCibleDefaut=/b;"
            "PrefixeCibleDefautUNC=//S/x;AfficherFichiers=1;Automatique=1;ArretAutomatique=1;ErreurDossier=1;"
            "ErreurDossierSon=1;ErreurDossierNetSend=1;MessageNetSend=m;ErreurDossierEventLog=1;Surveillance=0;"
            "DelaiVerification=10080;CopiesSimultanees=8;[Logs];Logs=1;FichiersLogs=1;PathLogs=<root>/logs;PurgeLogs=1;DelaiLogs=366",
            "2|0|1|1|1|1|1|60000|100|/b|//S/x|1|1|1|1|1|1|m|1|0|10080|8|1|1|<root>/logs|1|366");
        // The safety-net delay keeps a week at most; anything outside 1 to 10080 minutes is the default hour.
        for (const QByteArray out : {"0", "-1", "10081", "x"})
            row(("verification delay " + out).constData(), "[Configuration];DelaiVerification=" + out, Defaults);
        row("verification delay 1", "[Configuration];DelaiVerification=1", QString(Defaults).replace("|1|60|", "|1|1|"));
        // At most 8 copies at once; anything else is the automatic choice.
        for (const QByteArray out : {"-1", "9", "x"})
            row(("copies at once " + out).constData(), "[Configuration];CopiesSimultanees=" + out, Defaults);
        row("logs folder missing", "[Logs];PathLogs=<root>/gone", Defaults);
        row("numbers at 0", "[Configuration];Temporisation=0;Performance=x;[Logs];DelaiLogs=0", Defaults);
        // Below 1 there is no yield, and the purge keeps fewer logs.
        row("numbers below 1", "[Configuration];Temporisation=-5;Performance=-5;[Logs];DelaiLogs=-2147483648",
            QString(Defaults).replace("10|1|||", "10|-5|||").replace("<root>|0|10", "<root>|0|-2147483648"));
        row("numbers at 1", "[Configuration];Temporisation=1;Performance=1;[Logs];DelaiLogs=1",
            QString(Defaults).replace("10|1|||", "1|1|||").replace("<root>|0|10", "<root>|0|1"));
        // Only exactly "1" is on, even for a flag that is on by default.
        for (const QByteArray on : {"\" 1\"", "True"})
            row(on, "[Configuration];MiroirSousDossiers=" + on + ";Effacement=" + on + ";[Logs];PurgeLogs=" + on,
                QString(Defaults).replace("0|1|0", "0|0|0"));
    }
    void loadSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, read);
        TestTree tree;
        QVERIFY(tree.mkdir("logs"));
        QVERIFY(ini.isNull() || tree.write("Vell.ini", ini.replace("<root>", tree.root()).replace(';', "\r\n")));
        const ProgramFiles files{tree.rootText()};
        const Settings s = LoadSettings(files);
        QCOMPARE(describeSettings(s, tree.rootText()), read);
        QCOMPARE(LoadLangue(files), s.Langue);
    }
    // How a number is read from a key's text: leading blanks, rounding half away from zero, exponents, and the 32-bit
    // bounds.
    void integerRule()
    {
        const int max = 2147483647, min = -max - 1;
        const QList<std::pair<QString, int>> rows{
            {"42", 42}, {"01", 1}, {"  \t12", 12}, {"12abc", 12}, {"abc", 0}, {"", 0}, {"3.6", 4}, {"3.4", 3},
            {"2.5", 3}, {"-2.5", -3}, {".7", 1}, {"+5", 5}, {"1e3", 1000}, {"1E+3", 1000}, {"2e", 2}, {"2e-", 2},
            {".", 0}, {"-", 0}, {"25e-1", 3}, {"1.25e1", 13}, {"1e-999", 0}, {"99999999999", max}, {"1e2x", 100},
            {"-99999999999", min}, {"-2147483648", min}, {"2147483647.5", max}, {"1e999", max}, {"-1e999", min},
            {"0e999999", 0}, {"0000000000000000000007", 7}, {QString(400, u'9'), max},
            {QString::fromUtf8("\xd9\xa3"), 0}}; // arabic-indic digits are no number
        for (const auto &[text, value] : rows)
            QVERIFY2(IntegerFromText(text) == value, qPrintable(text));
    }
};
QTEST_APPLESS_MAIN(TestFolderPairsFile)
#include "tst_folderpairsfile.moc"
