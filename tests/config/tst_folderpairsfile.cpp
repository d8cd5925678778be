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

SystemInfo nt()
{
    SystemInfo info;
    info.IsNT = true;
    info.NTMajorVersion = 5;
    return info;
}

FolderPair couple(const QString &source, const QString &target)
{
    FolderPair pair;
    pair.Source = source;
    pair.Cible = target;
    return pair;
}

QByteArray couplesLine(const QString &source, const QString &target)
{
    return "\"" + PathToHex(source).toLatin1() + "\",\"" + PathToHex(target).toLatin1() + "\"\r\n";
}

// Loads with the settings given, -U off, on NT.
FolderPairsLoad load(const TestTree &tree, const Settings &settings = {}, bool quit = false)
{
    return LoadFolderPairs(ProgramFiles{tree.rootText()}, settings, nt(), quit);
}

} // namespace

class TestFolderPairsFile : public QObject
{
    Q_OBJECT
private slots:
    void hexForms_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("hex");
        QTest::newRow("drive root") << "C:\\" << "43003A005C00";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("greek alpha") << QString(QChar(0x3B1)) << "B103";
        QTest::newRow("codec escape") << PathFromBytes("\xe9") << "E9DC";
        QTest::newRow("astral pair") << QString::fromUtf8("\xf0\x9f\x98\x80") << "3DD800DE";
    }
    void hexForms()
    {
        QFETCH(QString, path);
        QFETCH(QString, hex);
        QCOMPARE(PathToHex(path), hex);
        QCOMPARE(HexToPath(hex), std::optional<QString>(path));
        QCOMPARE(HexToPath(hex.toLower()), std::optional<QString>(path));
    }

    void invalidHex_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::newRow("odd length") << "430";
        QTest::newRow("lone trailing byte") << "43003A";
        QTest::newRow("not a hex digit") << "4G00";
        QTest::newRow("blank inside") << "43 0";
    }
    void invalidHex()
    {
        QFETCH(QString, hex);
        QCOMPARE(HexToPath(hex), std::nullopt);
    }

    void narrowForm()
    {
        // The 8-bit systems store the path's bytes.
        QCOMPARE(PathToHex(QStringLiteral("C:\u00e9"), false), QStringLiteral("433AC3A9"));
        QCOMPARE(HexToPath("433AC3A9", false), std::optional<QString>(QStringLiteral("C:\u00e9")));
        QCOMPARE(HexToPath("E9", false), std::optional<QString>(PathFromBytes("\xe9")));
        QCOMPARE(HexToPath("433", false), std::nullopt);
        QCOMPARE(HexToPath("2F0061", false), std::nullopt); // a NUL byte
    }

    void oneCoupleWithEmptyTarget()
    {
        TestTree tree;
        QVERIFY(tree.write("Vell.w", "\"43003A005C004400610074006100\",\"\"\r\n"));
        const FolderPairsLoad l = load(tree);
        QCOMPARE(l.end, LoadEnd::Loaded);
        QCOMPARE(l.pairs.size(), 1);
        QCOMPARE(l.pairs[0].Source, QStringLiteral("C:\\Data"));
        QVERIFY(l.pairs[0].Cible.isEmpty());
        QCOMPARE(l.rows[0].position, 1);
        QCOMPARE(l.rows[0].sourceText, QStringLiteral("??? C:\\Data"));
        QCOMPARE(l.rows[0].targetText, QStringLiteral("???"));
        QVERIFY(!l.rows[0].sourceFound);
        QVERIFY(!l.rows[0].targetFound);
    }

    void foundFoldersShowTheirPath()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("src"));
        QVERIFY(tree.mkdir("dst"));
        QVERIFY(tree.write("Vell.w", couplesLine(tree.pathText("src"), tree.pathText("dst"))));
        const FolderPairsLoad l = load(tree);
        QCOMPARE(l.rows[0].sourceText, tree.pathText("src"));
        QCOMPARE(l.rows[0].targetText, tree.pathText("dst"));
        QVERIFY(l.rows[0].sourceFound && l.rows[0].targetFound);
        QVERIFY(!l.showMacintoshWarning);
    }

    void onlySecondMoves()
    {
        TestTree tree;
        QVERIFY(tree.write("Vell.w", couplesLine("/a", "/b") + couplesLine("/c", "/d") + couplesLine("/e", "")));
        QVERIFY(tree.write("Vell.ini", "[Mirror_2]\r\nDeplacer=1\r\n"));
        const FolderPairsLoad l = load(tree);
        QCOMPARE(l.pairs.size(), 3);
        QCOMPARE(l.rows.size(), 3);
        for (qsizetype i = 0; i < 3; ++i) {
            QCOMPARE(l.pairs[i].Deplacer, i == 1);
            QVERIFY(!l.pairs[i].Renommer && !l.pairs[i].Effacer && !l.pairs[i].Nouveau);
            QCOMPARE(l.pairs[i].NbTemporisations, 1);
            QCOMPARE(l.rows[i].position, i + 1);
            QCOMPARE(l.rows[i].sourceColour, i == 1 ? std::optional<uint32_t>(0xFF0000) : std::nullopt);
            QCOMPARE(l.rows[i].targetColour, std::nullopt);
            QCOMPARE(l.rows[i].background, std::nullopt);
        }
        QCOMPARE(l.pairs[2].Source, QStringLiteral("/e"));
    }

    void modeColours()
    {
        TestTree tree;
        QVERIFY(tree.write("Vell.w", couplesLine("/a", "/b")));
        QVERIFY(tree.write("Vell.ini", "[Mirror_1]\r\nEffacer=1\r\nNouveau=1\r\nRenommer=1\r\n"));
        const FolderPairsLoad l = load(tree);
        QVERIFY(l.pairs[0].Renommer);
        QCOMPARE(l.rows[0].sourceColour, std::nullopt);
        QCOMPARE(l.rows[0].targetColour, std::optional<uint32_t>(0xFF00FF));
        QCOMPARE(l.rows[0].background, std::optional<uint32_t>(0x00FFFF));
    }

    void delayPicture_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("specific");
        QTest::addColumn<int>("count");
        QTest::newRow("one") << QByteArray("1") << false << 1;
        QTest::newRow("absent") << QByteArray() << false << 1;
        QTest::newRow("two") << QByteArray("2") << true << 2;
        QTest::newRow("leading zero") << QByteArray("01") << true << 1;
        QTest::newRow("past 16 bits") << QByteArray("64000") << true << 64000;
        QTest::newRow("above the range") << QByteArray("99999999999") << true << 64000;
        QTest::newRow("zero") << QByteArray("0") << true << 1;
        QTest::newRow("lowest") << QByteArray("-2147483648") << true << 1;
    }
    void delayPicture()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, specific);
        QFETCH(int, count);
        TestTree tree;
        QVERIFY(tree.write("Vell.w", couplesLine("/a", "/b")));
        QVERIFY(tree.write("Vell.ini", "[Mirror_1]\r\nNbTemporisations=" + stored + "\r\n"));
        const FolderPairsLoad l = load(tree);
        QCOMPARE(l.rows[0].delay, specific ? DelayPicture::Specific : DelayPicture::Default);
        QCOMPARE(l.pairs[0].NbTemporisations, count);
        QCOMPARE(l.pairs[0].TemporisationsRestantes, count);
        const ProgramFiles files{tree.rootText()};
        QCOMPARE(SaveFolderPairs(files, l.pairs, nt()), 0); // the text stays as stored
        QCOMPARE(platform::readProfileString(files.settingsFile(), "Mirror_1", "NbTemporisations", {}).toLatin1(),
                 stored.isEmpty() ? QByteArray("1") : stored);
    }

    void namesSurviveSaveAndLoad()
    {
        TestTree tree;
        const QByteArray greek = "\xce\x91\xce\xb8\xce\xae\xce\xbd\xce\xb1";         // Αθήνα
        const QByteArray cyrillic = "\xd0\x9c\xd0\xbe\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0"; // Москва
        const QByteArray dashes = "a\xe2\x80\x93" "b\xe2\x80\x94" "c";                  // a–b—c
        const QByteArray latin1 = "caf\xe9";                                              // not UTF-8
        for (const QByteArray &name : {greek, cyrillic, dashes, latin1})
            QVERIFY(tree.mkdir(name));
        // QTemporaryDir cannot remove a name that is not UTF-8 by itself.
        const auto cleanUp = qScopeGuard([&] { (void)::rmdir(tree.path(latin1).constData()); });
        const FolderPairList pairs{couple(PathFromBytes(tree.path(greek)), PathFromBytes(tree.path(cyrillic))),
                                   couple(PathFromBytes(tree.path(dashes)), PathFromBytes(tree.path(latin1)))};
        const ProgramFiles files{tree.rootText()};
        QCOMPARE(SaveFolderPairs(files, pairs, nt()), 0);

        const FolderPairsLoad l = load(tree);
        QCOMPARE(l.pairs.size(), 2);
        for (qsizetype i = 0; i < 2; ++i) {
            QCOMPARE(l.pairs[i].Source, pairs[i].Source);
            QCOMPARE(l.pairs[i].Cible, pairs[i].Cible);
            QVERIFY(l.rows[i].sourceFound); // the bytes reach the same folders
            QVERIFY(l.rows[i].targetFound);
        }
        QCOMPARE(PathToBytes(l.pairs[1].Cible), tree.path(latin1));
    }

    void saveWritesTheFileFormat()
    {
        TestTree tree;
        FolderPair first = couple("C:\\", "");
        FolderPair second = couple("/a", "/b");
        second.Nouveau = true;
        second.NbTemporisations = 7;
        QCOMPARE(SaveFolderPairs(ProgramFiles{tree.rootText()}, {first, second}, nt()), 0);
        QCOMPARE(tree.read("Vell.w"), QByteArray("\"43003A005C00\",\"\"\r\n\"2F006100\",\"2F006200\"\r\n"));
        QCOMPARE(tree.read("Vell.ini"),
                 QByteArray("[Mirror_1]\r\nNbTemporisations=1\r\nDeplacer=0\r\nRenommer=0\r\nEffacer=0\r\nNouveau=0\r\n"
                            "\r\n"
                            "[Mirror_2]\r\nNbTemporisations=7\r\nDeplacer=0\r\nRenommer=0\r\nEffacer=0\r\nNouveau=1\r\n"));
        QCOMPARE(tree.entries(""), (QByteArrayList{"Vell.ini", "Vell.w"}));
    }

    void removingSecondOfThree()
    {
        TestTree tree;
        const ProgramFiles files{tree.rootText()};
        FolderPair a = couple("/a", "/A");
        a.Deplacer = true;
        FolderPair b = couple("/b", "/B");
        b.Effacer = true;
        b.NbTemporisationsText = QStringLiteral("5");
        b.NbTemporisations = 5;
        FolderPair c = couple("/c", "/C");
        c.Nouveau = true;
        c.NbTemporisationsText = QStringLiteral("01");
        QCOMPARE(SaveFolderPairs(files, {a, b, c}, nt()), 0);

        FolderPairList pairs = load(tree).pairs;
        pairs.removeAt(1);
        QCOMPARE(SaveFolderPairs(files, pairs, nt()), 0);

        QCOMPARE(tree.read("Vell.w").count("\r\n"), 2);
        const FolderPairsLoad l = load(tree);
        QCOMPARE(l.pairs.size(), 2);
        QCOMPARE(l.pairs[0].Source, QStringLiteral("/a"));
        QVERIFY(l.pairs[0].Deplacer && !l.pairs[0].Effacer && !l.pairs[0].Nouveau);
        QCOMPARE(l.pairs[1].Source, QStringLiteral("/c"));
        QVERIFY(l.pairs[1].Nouveau && !l.pairs[1].Effacer);
        QCOMPARE(l.pairs[1].NbTemporisationsText, QStringLiteral("01"));
        QCOMPARE(l.rows[1].delay, DelayPicture::Specific);
        // The third section stays behind, unread.
        const QString ini = files.settingsFile();
        QCOMPARE(platform::readProfileString(ini, "Mirror_3", "Nouveau", {}), QStringLiteral("1"));
        QCOMPARE(platform::readProfileString(ini, "Mirror_3", "NbTemporisations", {}), QStringLiteral("01"));
    }

    void blankLineKeepsItsNumber_data()
    {
        QTest::addColumn<QByteArray>("blank");
        QTest::newRow("empty line") << QByteArray("\r\n");
        QTest::newRow("blanks only") << QByteArray(" \t \r\n");
    }
    void blankLineKeepsItsNumber()
    {
        QFETCH(QByteArray, blank);
        TestTree tree;
        const ProgramFiles files{tree.rootText()};
        QVERIFY(tree.write("Vell.w", couplesLine("/a", "/A") + blank + couplesLine("/c", "/C")));
        // Mirror_2 is left from an earlier couple; the couple on line 3 is Mirror_3's.
        QVERIFY(tree.write("Vell.ini", "[Mirror_2]\r\nEffacer=1\r\n[Mirror_3]\r\nDeplacer=1\r\nNbTemporisations=5\r\n"));
        for (const qsizetype position : {3, 2}) { // as loaded, then after a save and a reload
            const FolderPairsLoad l = load(tree);
            QCOMPARE(l.pairs.size(), 2);
            QCOMPARE(l.rows[0].position, 1);
            QCOMPARE(l.rows[1].position, position);
            QVERIFY(!l.pairs[0].Deplacer && !l.pairs[0].Effacer);
            QCOMPARE(l.pairs[1].Source, QStringLiteral("/c"));
            QVERIFY(l.pairs[1].Deplacer && !l.pairs[1].Effacer);
            QCOMPARE(l.pairs[1].NbTemporisations, 5);
            QCOMPARE(SaveFolderPairs(files, l.pairs, nt()), 0);
            QCOMPARE(tree.read("Vell.w"), couplesLine("/a", "/A") + couplesLine("/c", "/C"));
        }
    }

    void failedSaveKeepsBothFiles()
    {
        TestTree tree;
        const ProgramFiles files{tree.rootText()};
        FolderPair a = couple("/a", "/A");
        a.Deplacer = true;
        QCOMPARE(SaveFolderPairs(files, {a}, nt()), 0);
        const QByteArray ini = tree.read("Vell.ini");
        const QByteArray w = tree.read("Vell.w");
        // A folder where the couples file's temporary file must go.
        QVERIFY(tree.mkdir(".Vell.w.vell-new/x"));
        QVERIFY(SaveFolderPairs(files, {couple("/b", "/B"), a}, nt()) < 0);
        QCOMPARE(tree.read("Vell.w"), w);
        QCOMPARE(tree.read("Vell.ini"), ini);
        QVERIFY(::rmdir(tree.path(".Vell.w.vell-new/x").constData()) == 0 && ::rmdir(tree.path(".Vell.w.vell-new").constData()) == 0);
        QCOMPARE(SaveFolderPairs(files, {couple(QStringLiteral("/b\u0000c"), "/B"), a}, nt()), -EINVAL);
        QCOMPARE(tree.read("Vell.w"), w);
    }

    void invalidField_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("odd length source") << QByteArray("\"430\",\"\"\r\n");
        QTest::newRow("odd length target") << QByteArray("\"2F00\",\"2F0\"\r\n");
        QTest::newRow("not hex") << QByteArray("\"ZZ00\",\"\"\r\n");
        QTest::newRow("NUL inside source") << QByteArray("\"2F0000006100\",\"\"\r\n");
        QTest::newRow("NUL ending target") << QByteArray("\"2F00\",\"2F0000000000\"\r\n");
    }
    void invalidField()
    {
        QFETCH(QByteArray, line);
        TestTree tree;
        QVERIFY(tree.write("Vell.w", couplesLine("/a", "/b") + line));
        const ProgramFiles files{tree.rootText()};
        const FolderPairsLoad l = LoadFolderPairs(files, {}, nt(), false);
        QCOMPARE(l.end, LoadEnd::InvalidFile);
        QCOMPARE(l.exitStatus(), 1);
        QCOMPARE(l.message, "Invalid hexa string in the parameters file\r\n" + files.couplesFile());
    }

    void quitIfFolderMissing_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<bool>("quit");
        QTest::addColumn<bool>("ends");
        QTest::newRow("both found, -U") << QByteArray("src") << QByteArray("dst") << true << false;
        QTest::newRow("target missing, -U") << QByteArray("src") << QByteArray("gone") << true << true;
        QTest::newRow("source missing, -U") << QByteArray("gone") << QByteArray("dst") << true << true;
        QTest::newRow("no target, -U") << QByteArray("src") << QByteArray() << true << true;
        QTest::newRow("target missing, no -U") << QByteArray("src") << QByteArray("gone") << false << false;
    }
    void quitIfFolderMissing()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, target);
        QFETCH(bool, quit);
        QFETCH(bool, ends);
        TestTree tree;
        QVERIFY(tree.mkdir("src"));
        QVERIFY(tree.mkdir("dst"));
        QVERIFY(tree.write("Vell.w", couplesLine(tree.pathText(source), target.isEmpty() ? QString() : tree.pathText(target))
                                         + couplesLine(tree.pathText("src"), tree.pathText("dst"))));
        const FolderPairsLoad l = load(tree, {}, quit);
        QCOMPARE(l.end, ends ? LoadEnd::FolderMissing : LoadEnd::Loaded);
        QCOMPARE(l.exitStatus(), ends ? 3 : 0);
        QCOMPARE(l.rows.size(), ends ? 0 : 2);
    }

    void macintoshWarning_data()
    {
        QTest::addColumn<bool>("sourceMac");
        QTest::addColumn<bool>("targetMac");
        QTest::addColumn<int>("langue");
        QTest::addColumn<bool>("automatique");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("shown");
        const QString pt = QStringLiteral("ATENÇÃO: Uma pasta de entrada está num volume Macintosh\r\n"
                                          "mas a pasta de saída não");
        const QString en = QStringLiteral("WARNING: A target folder belongs to a Macintosh volume\r\n"
                                          "but the corresponding source folder does not belong to a Macintosh volume");
        const QString fr = QStringLiteral("ATTENTION: Un dossier source appartient à un volume Macintosh\r\n"
                                          "mais le dossier cible corrrespondant n'appartient pas à un volume Macintosh");
        QTest::newRow("source mac, portuguese") << true << false << 2 << false << pt << true;
        QTest::newRow("source mac, automatic start") << true << false << 2 << true << pt << false;
        QTest::newRow("target mac, english") << false << true << 3 << false << en << true;
        QTest::newRow("source mac, french") << true << false << 1 << false << fr << true;
        QTest::newRow("both mac") << true << true << 0 << false << QString() << false;
    }
    void macintoshWarning()
    {
        QFETCH(bool, sourceMac);
        QFETCH(bool, targetMac);
        QFETCH(int, langue);
        QFETCH(bool, automatique);
        QFETCH(QString, message);
        QFETCH(bool, shown);
        TestTree tree;
        QVERIFY(tree.mkdir("mac/Network Trash Folder"));
        const QByteArray source = sourceMac ? "mac/Docs/Work" : "plain/Work";
        const QByteArray target = targetMac ? "mac/Copy" : "plain/Copy";
        QVERIFY(tree.mkdir(source) && tree.mkdir(target));
        QVERIFY(tree.write("Vell.w", couplesLine(tree.pathText(source), tree.pathText(target))));
        Settings settings;
        settings.Langue = langue;
        settings.Automatique = automatique;
        const FolderPairsLoad l = load(tree, settings);
        QCOMPARE(l.macintoshWarning, message);
        QCOMPARE(l.showMacintoshWarning, shown);
        QCOMPARE(l.rows[0].sourceMacintosh, sourceMac);
        QCOMPARE(l.rows[0].targetMacintosh, targetMac);
        QCOMPARE(l.rows[0].sourceText, (sourceMac ? QStringLiteral("      ") : QString()) + tree.pathText(source));
    }

    void macintoshChecksNeedNtAndFoundFolders()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("mac/Network Trash Folder"));
        QVERIFY(tree.mkdir("mac/A") && tree.mkdir("B") && tree.mkdir("C"));
        // The last mismatch wins; a missing target gives no mismatch.
        QVERIFY(tree.write("Vell.w", couplesLine(tree.pathText("mac/A"), tree.pathText("B"))
                                         + couplesLine(tree.pathText("C"), tree.pathText("mac/A"))
                                         + couplesLine(tree.pathText("mac/A"), tree.pathText("gone"))));
        const FolderPairsLoad l = load(tree);
        QCOMPARE(l.macintoshWarning, MacintoshWarningText(MacintoshMismatch::TargetOnly, 0));
        QVERIFY(l.rows[2].sourceMacintosh);
        QCOMPARE(l.rows[2].targetText, "??? " + tree.pathText("gone"));

        SystemInfo old;
        old.IsNT = false;
        QVERIFY(tree.write("Vell.w", "\"" + PathToHex(tree.pathText("mac/A"), false).toLatin1() + "\",\"\"\r\n"));
        const FolderPairsLoad l95 = LoadFolderPairs(ProgramFiles{tree.rootText()}, {}, old, false);
        QCOMPARE(l95.pairs[0].Source, tree.pathText("mac/A"));
        QVERIFY(!l95.rows[0].sourceMacintosh);
        QCOMPARE(l95.rows[0].sourceText, tree.pathText("mac/A"));
    }

    void looseFileShapes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("count");
        QTest::newRow("no file") << QByteArray() << 0;
        QTest::newRow("empty file") << QByteArray("\r\n") << 0;
        QTest::newRow("lf and blank lines") << QByteArray("\"2F006100\",\"\"\n\n\"2F006200\",\"2F006300\"\n") << 2;
        QTest::newRow("line cut short") << QByteArray("\"2F006100\"\r\n") << 1;
        QTest::newRow("bare fields") << QByteArray("2F006100 , 2F006200\r\n") << 1;
    }
    void looseFileShapes()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, count);
        TestTree tree;
        if (!content.isEmpty())
            QVERIFY(tree.write("Vell.w", content));
        const FolderPairsLoad l = load(tree);
        QCOMPARE(l.end, LoadEnd::Loaded);
        QCOMPARE(l.pairs.size(), count);
        QVERIFY(l.message.isEmpty());
        if (count > 0)
            QCOMPARE(l.pairs[0].Source, QStringLiteral("/a"));
    }
};

QTEST_APPLESS_MAIN(TestFolderPairsFile)
#include "tst_folderpairsfile.moc"
