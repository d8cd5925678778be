#include "config/folderpairsfile.h"

#include "common/testtree.h"
#include "platform/pathcodec.h"
#include "platform/profile.h"
#include "platform/systeminfo.h"
#include "base/programidentity.h"

#include <QScopeGuard>
#include <QTest>
#include <unistd.h>

using namespace vell;

namespace {

const SystemInfo Nt = [] {
    SystemInfo info;
    info.IsNT = true;
    return info;
}();

FolderPair couple(const QString &source, const QString &target = {})
{
    FolderPair pair;
    pair.Source = source;
    pair.Cible = target;
    return pair;
}

QByteArray line(const QString &source, const QString &target)
{
    return '"' + PathToHex(source).toLatin1() + "\",\"" + PathToHex(target).toLatin1() + "\"\r\n";
}

FolderPairsLoad load(const TestTree &tree, const Settings &settings = {}, bool quit = false)
{
    return LoadFolderPairs(ProgramFiles{tree.rootText()}, settings, Nt, quit);
}

int save(const TestTree &tree, const FolderPairList &pairs)
{
    return SaveFolderPairs(ProgramFiles{tree.rootText()}, pairs, Nt);
}

// Each couple of a load in one line: row data, [cell 0] [cell 2], found
// (S T) and Macintosh (M M) marks, modes D R E N, delay count and
// countdown, picture, colours of cell 0, cell 2 and background ("-": no,
// off, none); `root` shown as "~".
QStringList describe(const FolderPairsLoad &l, const QString &root = "~")
{
    const auto flag = [](bool on, char c) { return QString(on ? QChar::fromLatin1(c) : QChar(u'-')); };
    const auto colour = [](std::optional<uint32_t> c) { return c ? QString::number(*c, 16) : QStringLiteral("-"); };
    QStringList rows;
    for (qsizetype i = 0; i < l.rows.size(); ++i) {
        const FolderPair &p = l.pairs.at(i);
        const CoupleRow &r = l.rows.at(i);
        rows << QStringList{QString::number(r.position), '[' + r.sourceText + ']', '[' + r.targetText + ']',
                            flag(r.sourceFound, 'S') + flag(r.targetFound, 'T') + flag(r.sourceMacintosh, 'M')
                                + flag(r.targetMacintosh, 'M'),
                            flag(p.Deplacer, 'D') + flag(p.Renommer, 'R') + flag(p.Effacer, 'E') + flag(p.Nouveau, 'N'),
                            QString::number(p.NbTemporisations), QString::number(p.TemporisationsRestantes),
                            r.delay == DelayPicture::Default ? "default" : "specific", colour(r.sourceColour),
                            colour(r.targetColour), colour(r.background)}
                    .join(u' ')
                    .replace(root, "~");
    }
    return rows;
}

} // namespace

class TestFolderPairsFile : public QObject
{
    Q_OBJECT
private slots:
    void hexForms_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("path"); // null: refused
        QTest::newRow("drive root") << "43003A005C00" << "C:\\";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("every digit edge") << "0A9F" << QString(QChar(0x9F0A));
        QTest::newRow("codec escape") << "E9DC" << PathFromBytes("\xe9");
        QTest::newRow("astral pair") << "3DD800DE" << QString::fromUtf8("\xf0\x9f\x98\x80");
        for (const char *bad : {"430", "43003A", "4G00", "4:00", "2F0000006100"})
            QTest::newRow(bad) << bad << QString();
    }
    void hexForms()
    {
        QFETCH(QString, hex);
        QFETCH(QString, path);
        const std::optional<QString> expected = path.isNull() ? std::nullopt : std::optional<QString>(path);
        QCOMPARE(HexToPath(hex), expected);
        QCOMPARE(HexToPath(hex.toLower()), expected);
        QCOMPARE(PathToHex(path), path.isNull() ? QString() : hex);
    }

    void eightBitSystemsStoreTheBytes()
    {
        QCOMPARE(PathToHex(QStringLiteral("C:\u00e9"), false), QStringLiteral("433AC3A9"));
        QCOMPARE(HexToPath("433ac3a9", false), std::optional<QString>(QStringLiteral("C:\u00e9")));
        QCOMPARE(HexToPath("E9", false), std::optional<QString>(PathFromBytes("\xe9")));
        QVERIFY(!HexToPath("433", false) && !HexToPath("2F0061", false));
    }

    void loadGivesRowsAndModes()
    {
        TestTree tree;
        const QByteArray latin1 = "dst\xe9"; // not UTF-8: the bytes must reach the folder
        QVERIFY(tree.mkdir("src") && tree.mkdir(latin1) && tree.mkdir("vol/Mac/Docs"));
        const auto cleanUp = qScopeGuard([&] { (void)::rmdir(tree.path(latin1).constData()); });
        const QString dst = PathFromBytes(tree.path(latin1));
        const QString src = tree.pathText("src"), mac = tree.pathText("vol/Mac/Docs");
        // A Macintosh volume: the marker in the folder or an ancestor.
        QVERIFY(tree.mkdir("vol/Network Trash Folder"));
        QVERIFY(tree.write("Vell.w", line(src, dst) + line(src, "/gone") + "\"43003A005C004400610074006100\",\"\"\r\n"
                                         + line(mac, src) + line(src, mac) + line(mac, "/gone") + line(mac, mac)));
        // The delay: the count and countdown held to 1..64000, the text deciding the picture.
        QVERIFY(tree.write("Vell.ini", "[Mirror_1]\r\nDeplacer=1\r\nNbTemporisations=1\r\n"
                                       "[Mirror_2]\r\nNbTemporisations=01\r\n"
                                       "[Mirror_3]\r\nRenommer=1\r\nEffacer=1\r\nNouveau=1\r\nNbTemporisations=7\r\n"
                                       "[Mirror_4]\r\nNbTemporisations=64000\r\n"
                                       "[Mirror_5]\r\nNbTemporisations=99999999999\r\n"
                                       "[Mirror_6]\r\nNbTemporisations=0\r\n"
                                       "[Mirror_7]\r\nNbTemporisations=-2147483648\r\n"));
        Settings settings;
        settings.Langue = 3;
        FolderPairsLoad l = load(tree, settings);
        QCOMPARE(describe(l, tree.rootText()),
                 QStringList({"1 [~/src] [~/dst" + QString(QChar(0xDCE9)) + "] ST-- D--- 1 1 default ff0000 - -",
                              "2 [~/src] [??? /gone] S--- ---- 1 1 specific - - -",
                              "3 [??? C:\\Data] [???] ---- -REN 7 7 specific - ff00ff ffff",
                              "4 [      ~/vol/Mac/Docs] [~/src] STM- ---- 64000 64000 specific - - -",
                              "5 [~/src] [      ~/vol/Mac/Docs] ST-M ---- 64000 64000 specific - - -",
                              "6 [      ~/vol/Mac/Docs] [??? /gone] S-M- ---- 1 1 specific - - -",
                              "7 [      ~/vol/Mac/Docs] [      ~/vol/Mac/Docs] STMM ---- 1 1 specific - - -"}));
        QCOMPARE(l.pairs[0].Cible, dst);
        QVERIFY(l.end == LoadEnd::Loaded && l.exitStatus() == 0 && l.message.isEmpty());
        // The last couple whose two folders disagree gives the warning.
        QCOMPARE(l.macintoshWarning, "WARNING: A target folder belongs to a Macintosh volume\r\n"
                                     "but the corresponding source folder does not belong to a Macintosh volume");
        QVERIFY(l.showMacintoshWarning);
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
        second.NbTemporisations = 7;
        second.NbTemporisationsText = "7\n"; // a text the file cannot hold: the number is written
        second.Nouveau = true;
        QCOMPARE(save(tree, {couple("C:\\"), second}), 0);
        QCOMPARE(tree.read("Vell.w"), QByteArray("\"43003A005C00\",\"\"\r\n\"2F006100\",\"2F006200\"\r\n"));
        const QByteArray ini = tree.read("Vell.ini");
        QCOMPARE(ini, "[Mirror_1]\r\nNbTemporisations=1\r\nDeplacer=0\r\nRenommer=0\r\nEffacer=0\r\nNouveau=0\r\n\r\n"
                      "[Mirror_2]\r\nNbTemporisations=7\r\nDeplacer=0\r\nRenommer=0\r\nEffacer=0\r\nNouveau=1\r\n");
        QCOMPARE(save(tree, {}), 0); // no couple: the sections stay
        // A save that fails keeps both files: the couples file cannot be
        // written (a folder stands where its temporary file goes), or a path
        // holds a NUL and could not be loaded again.
        QVERIFY(tree.mkdir(".Vell.w.vell-new/x"));
        QVERIFY(save(tree, {second, couple("/b")}) < 0);
        QVERIFY(::rmdir(tree.path(".Vell.w.vell-new/x").constData()) == 0);
        QVERIFY(::rmdir(tree.path(".Vell.w.vell-new").constData()) == 0);
        QCOMPARE(save(tree, {second, couple(QStringLiteral("/b\u0000c"))}), -EINVAL);
        QCOMPARE(save(tree, {second, couple("/b", QStringLiteral("/B\u0000"))}), -EINVAL);
        QCOMPARE(tree.read("Vell.w"), QByteArray());
        QCOMPARE(tree.read("Vell.ini"), ini);
        QCOMPARE(tree.entries(""), (QByteArrayList{"Vell.ini", "Vell.w"}));
    }

    // Couples are numbered by line: a blank line makes none but keeps its
    // number. Saves drop it and renumber, each couple keeping its own modes.
    void couplesKeepTheirModes()
    {
        TestTree tree;
        QVERIFY(tree.write("Vell.w", line("/a", "/A") + "\r\n \t \r\n" + line("/b", "/B") + line("/c", "/C")));
        QVERIFY(tree.write("Vell.ini", "[Mirror_2]\r\nEffacer=1\r\n[Mirror_4]\r\nDeplacer=1\r\nNbTemporisations=5\r\n"
                                       "[Mirror_5]\r\nNouveau=1\r\nNbTemporisations=01\r\n"));
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
        QCOMPARE(platform::readProfileString(tree.pathText("Vell.ini"), "Mirror_3", "Nouveau", {}), "1"); // stays, unread
    }

    void fileShapes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("loaded"); // the count, then the first couple; empty: refused
        QTest::newRow("no file") << QByteArray() << "0";
        QTest::newRow("empty file") << QByteArray("\r\n") << "0";
        QTest::newRow("lf and blank lines") << QByteArray("\"2F006100\",\"\"\n\n\"2F006200\",\"2F006300\"\n") << "2 /a>";
        QTest::newRow("line cut short") << QByteArray("\"2F006100\"\r\n") << "1 /a>";
        QTest::newRow("bare field, blank before a quoted one") << QByteArray("2F006100 , \"2F006200\"\r\n") << "1 /a>/b";
        QTest::newRow("odd length source") << QByteArray("\"2F006100\",\"\"\r\n\"430\",\"\"") << "";
        QTest::newRow("NUL ending target") << QByteArray("\"2F006100\",\"\"\r\n\"2F00\",\"2F0000000000\"") << "";
    }
    void fileShapes()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, loaded);
        TestTree tree;
        QVERIFY(content.isNull() || tree.write("Vell.w", content));
        const FolderPairsLoad l = load(tree);
        QCOMPARE(l.end, loaded.isEmpty() ? LoadEnd::InvalidFile : LoadEnd::Loaded);
        QCOMPARE(l.exitStatus(), loaded.isEmpty() ? 1 : 0);
        const QString refusal = "Invalid hexa string in the parameters file\r\n" + tree.pathText("Vell.w");
        QCOMPARE(l.message, loaded.isEmpty() ? refusal : "");
        const QString first = l.pairs.isEmpty() ? "" : ' ' + l.pairs[0].Source + '>' + l.pairs[0].Cible;
        if (!loaded.isEmpty())
            QCOMPARE(QString::number(l.pairs.size()) + first, loaded);
    }

    void macintoshWarningTexts()
    {
        QCOMPARE(MacintoshWarningText(MacintoshMismatch::SourceOnly, 2)
                     + MacintoshWarningText(MacintoshMismatch::TargetOnly, 1),
                 QStringLiteral("ATENÇÃO: Uma pasta de entrada está num volume Macintosh\r\nmas a pasta de saída não"
                                "ATTENTION: Un dossier cible appartient à un volume Macintosh\r\n"
                                "mais le dossier source corrrespondant n'appartient pas à un volume Macintosh"));
    }
};

QTEST_APPLESS_MAIN(TestFolderPairsFile)
#include "tst_folderpairsfile.moc"
