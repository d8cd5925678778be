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

} // namespace

class TestWindowTexts : public QObject
{
    Q_OBJECT
private slots:
    void captions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("subFolders");
        QTest::addColumn<bool>("nt");
        QTest::addColumn<QStringList>("texts"); // French, Portuguese, English
        const auto row = [](const char *name, bool sub, bool nt, QStringList texts) {
            QTest::newRow(qPrintable(QString::fromLatin1(name) + (sub ? "" : " (no sub)") + (nt ? "" : " (not NT)")))
                << QString::fromLatin1(name) << sub << nt << texts;
        };
        row("mnuDemarrer", true, true, {"&Démarrer le miroir", "&Começar o miror", "&Start mirroring"});
        row("mnuRestaurer", true, true, {"&Restaurer la fenêtre principale", "&Ver a janela", "Show main &window"});
        row("mnuAjouterSourceSaisir", true, true, {"Saisir", "Type", "Type"});
        row("mnuModifierCibleParcourir", true, true, {"Parcourir", "Browse", "Browse"});
        row("mnuCopierSecuriteNon", true, true,
            {"Ignorer les permissions ACL [plus rapide]", "Naõ replicar ACL", "Neglect ACL permissions [quicker]"});
        row("mnuEffacement", true, true,
            {"&Supprimer les fichiers/dossiers obsolètes des dossiers cibles (par défaut)",
             "&Suprimir os ficheiros/pastas antigos em pastas de saída",
             "&Remove old files/folders from target folders (default value)"});
        row("mnuEffacement", false, true,
            {"&Supprimer les fichiers obsolètes des dossiers cibles (par défaut)",
             "&Suprimir os ficheiros antigos em pastas de saída", "&Remove old files from target folders (dafault value)"});
        row("mnuService", true, true,
            {"Installer/supprimer Vell Service [NT]", "Instalar/suprimir Vell Service [NT]",
             "Install/remove Vell Service [NT]"});
        row("lblDossierMac", true, false,
            {"miroir des fichiers Macintosh non supporté", "miror dos ficheiros Macintosh não suportádo",
             "Macintosh files mirroring not supported"});
        row("lblDossiersCibles", false, true, {"Dossiers cibles", "Pastas de saída", "Target folders"});
        row("lblDossiersSources", true, true,
            {"Dossiers sources (sous-dossiers inclus)", "Pastas de entrada (sub-pastas incluidas)",
             "Source folders (including sub-folders)"});
        row("lblMaj", true, true,
            {"Mettre à jour un fichier cible", "Update an existing target file", "Update an existing target file"});
        row("lblBulle1", true, true,
            {"1 - langue et configuration", "1 - lingua e configuração", "1 - set language and configuration"});
        row("FrameSources", true, true, {"Sources", "Entradas", "Source"});
        row("mnuAPropos", true, true, {"A &propos de...", "&Créditos...", "&About..."});
    }
    void captions()
    {
        QFETCH(QString, name);
        QFETCH(bool, subFolders);
        QFETCH(bool, nt);
        QFETCH(QStringList, texts);
        const int langues[] = {1, 2, 3};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(captionOf(MainWindowCaptions(langues[i], subFolders, nt), name), texts.at(i));
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
        QTest::addColumn<int>("intervals");
        QTest::addColumn<QString>("modes"); // D move, R rename, E remove, N newer
        QTest::addColumn<int>("langue");
        QTest::addColumn<QString>("expected");
        QTest::newRow("360 x 10 s") << 360 << "" << 3
                                    << "T = 1 h 0 min 0 s; keep all target files; update if source and taget files are different";
        QTest::newRow("minutes") << 7 << "EN" << 3
                                 << "T = 1 min 10 s; remove old target files; update if source file newer than target file";
        QTest::newRow("move and rename") << 1 << "DRE" << 3 << "T = 10 s; move files and rename Macintosh files";
        QTest::newRow("Portuguese reads French") << 1 << "D" << 2 << "T = 10 s; déplacer les fichiers";
        QTest::newRow("French") << 1 << "E" << 1
                                << "T = 10 s; supprimer les fichiers cibles obsolètes; mettre à jour si source et cible sont différents";
    }
    void hoverDescription()
    {
        QFETCH(int, intervals);
        QFETCH(QString, modes);
        QFETCH(int, langue);
        QFETCH(QString, expected);
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

    void formatSize_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "0 bytes";
        QTest::newRow("1023") << 1023 << "1,023 bytes";
        QTest::newRow("1024") << 1024 << "1.00KB (1,024 bytes)";
        QTest::newRow("10 KB") << 10 * 1024 << "10.0KB (10,240 bytes)";
        QTest::newRow("100 KB") << 100 * 1024 << "100KB (102,400 bytes)";
        QTest::newRow("999 KB") << 999 * 1024 + 1023 << "1000KB (1,023,999 bytes)";
        QTest::newRow("1000 KB") << 1000 * 1024 << "0.98MB (1,024,000 bytes)";
        QTest::newRow("10000 KB") << 10000 * 1024 << "9.8MB (10,240,000 bytes)";
        QTest::newRow("100 MB") << 100 * 1048576 << "100MB (104,857,600 bytes)";
        QTest::newRow("1000 MB") << 1000 * 1048576 << "0.98GB (1,048,576,000 bytes)";
        QTest::newRow("negative low bits") << -5 << "-5 bytes";
    }
    void formatSize()
    {
        QFETCH(int, bytes);
        QFETCH(QString, text);
        QCOMPARE(FormatSize(bytes, QLocale(QLocale::English, QLocale::UnitedStates)), text);
    }

    void fileLists()
    {
        TestTree tree;
        QVERIFY(tree.build({"d/Data/", "d/a.txt=12345", "d/l->nowhere"}));
        QVERIFY(tree.mkfifo("d/fifo"));
        QStringList shown;
        for (const FolderItem &item : FolderItems(tree.pathText("d")))
            shown << item.text + "=" + QString::number(item.data);
        shown.sort();
        QCOMPARE(shown, QStringList({"[Data]=-1", "a.txt=5", "l=7"})); // a FIFO is no entry
        QVERIFY(FolderItems(tree.pathText("missing")).isEmpty());
        QVERIFY(FolderItems(QString()).isEmpty());
        QCOMPARE(FileCountText(3, "  ??? /x ", 2), "3 ficheiros/pastas na ??? /x");
        QCOMPARE(FolderItemTooltip("[Data]", 3), "folder [Data]");
        QCOMPARE(FileItemTooltip("a.txt", 2048, QLocale(QLocale::French, QLocale::France)),
                 "a.txt   2,00KB (2\u202f048 bytes)");
        QCOMPARE(AboutCredit(1, SystemInfo{.IsNT = true, .NTMajorVersion = 4, .ServicePack = 3}),
                 "Vell: mirroring automatique de fichiers (sans optimisation NT/SP4+)");
        QCOMPARE(AboutCredit(3, SystemInfo{.IsNT = true, .NTMajorVersion = 4, .ServicePack = 4}),
                 "Vell: automatic files mirroring (with NT/SP4+ optimization)");
        QCOMPARE(HelpFileName(2), "VellHelpPOR.htm");
    }
};

QTEST_APPLESS_MAIN(TestWindowTexts)
#include "tst_windowtexts.moc"
