// The main window's texts: caption rows typed from the design, the hover description, byte sizes, file lists.
#include "common/testtree.h"
#include "platform/systeminfo.h"
#include "shell/captions.h"
#include "shell/gridtexts.h"
#include <QTest>

using namespace vell;

namespace {
QString captionOf(const QList<Caption> &captions, const QString &name, CaptionProperty property = CaptionProperty::Text)
{
    QString found;
    for (const Caption &c : captions)
        if (c.objectName == name && c.property == property)
            found = c.text; // the last one set wins, as on the window
    return found;
}

// A control's caption in French, Portuguese and English.
struct CaptionRow { QString name; bool subFolders, nt; QStringList texts; };
// The modes: D move, R rename, E remove, N newer.
struct Hover { int intervals; QString modes; int langue; QString expected; };
} // namespace

class TestWindowTexts : public QObject
{
    Q_OBJECT
private slots:
    void captions_data()
    {
        QTest::addColumn<CaptionRow>("caption");
        const auto row = [](const char *name, bool sub, bool nt, QStringList texts) {
            QTest::newRow(qPrintable(QString::fromLatin1(name) + (sub ? "" : " (no sub)") + (nt ? "" : " (not NT)")))
                << CaptionRow{QString::fromLatin1(name), sub, nt, texts};
        };
        row("mnuDemarrer", true, true, {"&Démarrer le miroir", "&Começar o miror", "&Start mirroring"});
        row("mnuModifierSourceSaisir", true, true, {"Saisir", "Type", "Type"});
        row("mnuModifierCibleParcourir", true, true, {"Parcourir", "Browse", "Browse"});
        row("mnuEffacement", true, true, {"&Supprimer les fichiers/dossiers obsolètes des dossiers cibles (par défaut)",
             "&Suprimir os ficheiros/pastas antigos em pastas de saída",
             "&Remove old files/folders from target folders (default value)"});
        row("mnuEffacement", false, true,
            {"&Supprimer les fichiers obsolètes des dossiers cibles (par défaut)", "&Suprimir os ficheiros antigos em "
             "pastas de saída", "&Remove old files from target folders (dafault value)"});
        row("mnuService", true, true, {"Installer/supprimer Vell Service [NT]", "Instalar/suprimir Vell Service [NT]",
             "Install/remove Vell Service [NT]"});
        row("lblDossierMac", true, false,
            {"miroir des fichiers Macintosh non supporté", "miror dos ficheiros Macintosh não suportádo",
             "Macintosh files mirroring not supported"});
        row("lblDossiersCibles", false, true, {"Dossiers cibles", "Pastas de saída", "Target folders"});
        row("lblDossiersSources", true, true,
            {"Dossiers sources (sous-dossiers inclus)", "Pastas de entrada (sub-pastas incluidas)",
             "Source folders (including sub-folders)"});
    }
    void captions()
    {
        QFETCH(CaptionRow, caption);
        auto &[name, subFolders, nt, texts] = caption;
        for (int langue = 1; langue <= 3; ++langue)
            QCOMPARE(captionOf(MainWindowCaptions(langue, subFolders, nt), name), texts.at(langue - 1));
    }
    void captionTableShape()
    {
        QSet<QString> names;
        for (const Caption &c : MainWindowCaptions(0, true, true))
            names.insert(c.objectName + (c.property == CaptionProperty::ToolTip ? "/tip" : ""));
        QCOMPARE(names.size(), 68); // every control of the table once
        QCOMPARE(captionOf(MainWindowCaptions(1, true, false), "PictureMac", CaptionProperty::ToolTip),
                 "Le miroir des fichiers Macintosh nécessite Windows NT");
        QCOMPARE(captionOf(MainWindowCaptions(7, true, true), "cmdMiroir", CaptionProperty::ToolTip),
                 "Start mirroring from source folders to target folders");
        QCOMPARE(captionOf(SubFolderCaptions(3, false), "mnuEffacement"), "&Remove old files from target folders");
        QCOMPARE(captionOf(SubFolderCaptions(2, true), "lblDossiersCibles"), "Pastas de saída (sub-pastas incluidas)");
    }
    void hoverDescription_data()
    {
        QTest::addColumn<Hover>("hover");
        QTest::newRow("360 x 10 s") << Hover{360, "", 3, "T = 1 h 0 min 0 s; keep all target files; update if source "
                                                         "and taget files are different"};
        QTest::newRow("minutes") << Hover{7, "EN", 3, "T = 1 min 10 s; remove old target files; update if source file "
                                                      "newer than target file"};
        QTest::newRow("move and rename") << Hover{1, "DRE", 3, "T = 10 s; move files and rename Macintosh files"};
        QTest::newRow("Portuguese reads French") << Hover{1, "D", 2, "T = 10 s; déplacer les fichiers"};
        QTest::newRow("French") << Hover{1, "E", 1, "T = 10 s; supprimer les fichiers cibles obsolètes; mettre à jour "
                                                    "si source et cible sont différents"};
    }
    void hoverDescription()
    {
        QFETCH(Hover, hover);
        auto &[intervals, modes, langue, expected] = hover;
        FolderPair pair;
        pair.NbTemporisations = intervals;
        pair.Deplacer = modes.contains('D');
        pair.Renommer = modes.contains('R');
        pair.Effacer = modes.contains('E');
        pair.Nouveau = modes.contains('N');
        QCOMPARE(HoverDescription("  /src ", "??? /dst", pair, 10, langue, true), "/src -> ??? /dst\r\n" + expected);
        if (pair.Renommer) // renaming exists on NT only
            QVERIFY(!HoverDescription("a", "b", pair, 10, langue, false).contains("rename"));
    }
    // Byte sizes on each side of the units' bounds; the low 32 bits of a negative size.
    void formatSize()
    {
        const std::pair<int, QString> sizes[] = {
            {0, "0 bytes"}, {1023, "1,023 bytes"}, {1024, "1.00KB (1,024 bytes)"}, {10 * 1024, "10.0KB (10,240 bytes)"},
            {100 * 1024, "100KB (102,400 bytes)"}, {999 * 1024 + 1023, "1000KB (1,023,999 bytes)"},
            {1000 * 1024, "0.98MB (1,024,000 bytes)"}, {10000 * 1024, "9.8MB (10,240,000 bytes)"},
            {100 * 1048576, "100MB (104,857,600 bytes)"}, {1000 * 1048576, "0.98GB (1,048,576,000 bytes)"},
            {-5, "-5 bytes"}};
        for (const auto &[bytes, text] : sizes)
            QCOMPARE(FormatSize(bytes, QLocale(QLocale::English, QLocale::UnitedStates)), text);
    }
    void fileLists()
    {
        TestTree tree;
        QVERIFY(tree.build({"d/Data/", "d/a.txt=12345", "d/l->nowhere", "d/fifo|"}));
        QStringList shown;
        for (const FolderItem &item : FolderItems(tree.pathText("d")))
            shown << item.text + "=" + QString::number(item.data);
        shown.sort();
        QCOMPARE(shown, QStringList({"[Data]=-1", "a.txt=5", "l=7"})); // a FIFO is no entry
        QVERIFY(FolderItems(tree.pathText("missing")).isEmpty() && FolderItems(QString()).isEmpty());
        QCOMPARE(FileCountText(3, "  ??? /x ", 2), "3 ficheiros/pastas na ??? /x");
        QCOMPARE(FolderItemTooltip("[Data]", 3), "folder [Data]");
        QCOMPARE(FileItemTooltip("a.txt", 2048, QLocale(QLocale::French, QLocale::France)),
                 "a.txt   2,00KB (2\u202f048 bytes)");
        QCOMPARE(AboutCredit(1, SystemInfo{.IsNT = true, .NTMajorVersion = 4, .ServicePack = 3}),
                 "Vell: mirroring automatique de fichiers (sans optimisation NT/SP4+)");
        QCOMPARE(AboutCredit(3, SystemInfo{.IsNT = true, .NTMajorVersion = 4, .ServicePack = 4}),
                 "Vell: automatic files mirroring (with NT/SP4+ optimization)");
    }
};
QTEST_APPLESS_MAIN(TestWindowTexts)
#include "tst_windowtexts.moc"
