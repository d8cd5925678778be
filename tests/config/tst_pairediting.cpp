// Adding, changing and removing couples, their default target and warnings, and the modes dialog's logic, through the
// real couples and settings files.
#include "base/programidentity.h"
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "config/defaulttarget.h"
#include "config/folderpairsfile.h"
#include "config/pairediting.h"
#include "config/pairmodes.h"
#include "config/settingsfile.h"
#include "platform/systeminfo.h"
#include <QTest>

using namespace vell;

namespace {
struct Program
{
    TestTree tree;
    ProgramFiles files{tree.rootText()};
    Settings settings;
    SystemInfo system{.IsNT = true, .NTMajorVersion = 5};
    ScriptedDialogs dialogs;
    FolderPairList pairs;
    EditContext context() { return {files, settings, system, dialogs}; }
    EditOutcome edit(EditAction action, FolderRole role, PathMeans means, GridSelection selection = {})
    {
        return EditFolderPair(action, role, means, selection, pairs, context());
    }
    void save(const QStringList &sources)
    {
        pairs.clear();
        for (const QString &s : sources)
            pairs.append({s, s + "-copy"});
        QCOMPARE(SaveFolderPairs(files, pairs, system), 0);
    }
    QStringList loaded()
    {
        QStringList out;
        for (const FolderPair &p : LoadFolderPairs(files, settings, system, false).pairs)
            out << p.Source + "|" + p.Cible + "|" + FlagText(p.Effacer);
        return out;
    }
};
struct Removal { GridSelection selection; QList<MessageAnswer> answers; QStringList left;
                 QString box = "Remove the selected folders"; };
} // namespace

class TestPairEditing : public QObject
{
    Q_OBJECT
private slots:
    void addAndModify()
    {
        Program p;
        p.settings.PrefixeCibleDefaut = "/backup";
        p.settings.Effacement = true;
        p.dialogs.chosen = {"/home/ann/Work"};
        EditOutcome out = p.edit(EditAction::Add, FolderRole::Source, PathMeans::Browser);
        QVERIFY(out.changed && out.openModes); // a browsed add opens the modes of the new couple
        QCOMPARE(p.loaded(), QStringList{"/home/ann/Work|/backup/home/ann/Work|1"});
        QCOMPARE(p.dialogs.prompts.last(), "ADD: select a SOURCE folder");
        p.settings.PrefixeCibleDefaut.clear();
        p.settings.Effacement = false;
        p.dialogs.typed = {" /typed "};
        out = p.edit(EditAction::Add, FolderRole::Source, PathMeans::Typed);
        QVERIFY(out.changed && !out.openModes);
        QCOMPARE(p.loaded().last(), " /typed ||0"); // kept as typed, no target without a prefix
        // A modify offers the couple's real path, never its "??? " cell text.
        p.dialogs.typed = {"/new/target"};
        p.settings.Langue = 1;
        QVERIFY(p.edit(EditAction::Modify, FolderRole::Target, PathMeans::Typed, {1, 1, true}).changed);
        QCOMPARE(p.dialogs.initials.last(), "");
        QCOMPARE(p.dialogs.prompts.last(), "MODIFIER: Choisir un nouveau dossier CIBLE");
        QCOMPARE(p.loaded().last(), " /typed |/new/target|0");
        p.dialogs.chosen = {"/other/source"};
        QVERIFY(p.edit(EditAction::Modify, FolderRole::Source, PathMeans::Browser, {0, 0, true}).changed);
        QCOMPARE(p.loaded().first(), "/other/source|/backup/home/ann/Work|1");
    }
    void nothingChangesWithoutAnAnswer()
    {
        Program p;
        p.save({"/a", "/b"});
        const QByteArray couples = p.tree.read("Vell.w"), settings = p.tree.read("Vell.ini");
        // Cancelled browser, cancelled or empty input box, nothing selected (the highlight hidden after a load).
        p.dialogs.typed = {""};
        QVERIFY(!p.edit(EditAction::Add, FolderRole::Source, PathMeans::Browser).changed);
        QVERIFY(!p.edit(EditAction::Add, FolderRole::Source, PathMeans::Typed).changed);
        QVERIFY(!p.edit(EditAction::Modify, FolderRole::Source, PathMeans::Typed, {0, 0, false}).changed);
        p.settings.Langue = 2;
        QVERIFY(!p.edit(EditAction::Modify, FolderRole::Target, PathMeans::Browser, {-1, -1, true}).changed);
        QCOMPARE(p.dialogs.boxes.size(), 2);
        QCOMPARE(p.dialogs.boxes.at(0).text, "Select a SOURCE folder to modify");
        QCOMPARE(p.dialogs.boxes.at(1).text, "Selecionar uma pasta de SAÍDA a modificar");
        QCOMPARE(p.tree.read("Vell.w"), couples);
        QCOMPARE(p.tree.read("Vell.ini"), settings);
        QCOMPARE(p.pairs.size(), 2);
    }
    void saveFailureIsShown()
    {
        Program p;
        p.settings.Langue = 2;
        QVERIFY(!RemoveFolderPairs({0, 0, true}, p.pairs, p.context())); // nothing to remove
        QCOMPARE(p.dialogs.boxes.last().text, "Selecionar pastas");
        p.settings.Langue = 0;
        QVERIFY(p.tree.mkdir("Vell.w")); // nothing can be renamed over a folder, even by root
        p.dialogs.chosen = {"/b"};
        const EditOutcome out = p.edit(EditAction::Add, FolderRole::Source, PathMeans::Browser);
        QVERIFY(out.changed && !out.openModes); // no modes for a couple that was not saved
        QCOMPARE(p.dialogs.boxes.size(), 2);
        QVERIFY(p.dialogs.boxes.at(1).text.startsWith("The folder couples could not be saved: Is a directory\r\n"));
        QCOMPARE(p.dialogs.boxes.at(1).icon, MessageIcon::Critical);
        QVERIFY(p.tree.isDir("Vell.w"));
    }
    // Removing the block between the current row and the other end of the selection, after a Yes.
    void removeBlocks()
    {
        const QString none = "Select a couple of folders (source+target) to remove";
        const Removal rows[] = {
            {{1, 2, true}, {MessageAnswer::Yes}, {"/a"}}, {{2, 0, true}, {MessageAnswer::Yes}, {}}, // dragged up
            {{1, 1, true}, {MessageAnswer::Yes}, {"/a", "/c"}}, {{0, 2, true}, {MessageAnswer::No}, {"/a", "/b", "/c"}},
            {{0, 3, true}, {MessageAnswer::Yes}, {"/b", "/c"}}, // the other end beyond the list
            {{-1, -1, true}, {}, {"/a", "/b", "/c"}, none}, {{0, 0, false}, {}, {"/a", "/b", "/c"}, none}};
        for (const Removal &r : rows) {
            Program p;
            p.save({"/a", "/b", "/c"});
            p.dialogs.answers = r.answers;
            QCOMPARE(RemoveFolderPairs(r.selection, p.pairs, p.context()), r.left.size() < 3);
            QStringList sources;
            for (const QString &line : p.loaded())
                sources << line.section('|', 0, 0);
            QCOMPARE(sources, r.left);
            QCOMPARE(p.dialogs.boxes.last().text, r.box);
        }
    }
    // What the modes dialog opens with: count, default or not, then D R E N.
    void modesOpenAsStored()
    {
        const std::pair<const char *, const char *> rows[] = { // ";" ends a line
            {"", "2 d ----"}, {"NbTemporisations=1", "2 d ----"},
            {"NbTemporisations=70000;Effacer=1;Nouveau=1", "2 d --EN"},
            {"NbTemporisations=400;Effacer=yes;Nouveau=yes", "400 s --E-"}, // hand-edited flags
            {"NbTemporisations=2.5;Deplacer=1;Renommer=1;Effacer=1;Nouveau=1", "2.5 s DR--"}, // a move clears E and N
            {"Deplacer=0;Renommer=1", "2 d ----"}};
        for (const auto &[section, shown] : rows) {
            Program p;
            QVERIFY(p.tree.write("Vell.ini", "[Mirror_3]\r\n" + QByteArray(section).replace(';', "\r\n") + "\r\n"));
            const ModesForm f = OpenModesForm(p.files, 3);
            QCOMPARE(f.countText + (f.defaultDelay ? " d " : " s ") + (f.deplacer ? "D" : "-")
                         + (f.renommer ? "R" : "-") + (f.effacer ? "E" : "-") + (f.nouveau ? "N" : "-"), shown);
        }
    }
    void countChecksAndTotals()
    {
        const QLocale c = QLocale::c();
        for (const char *text : {"2", "64000", "2.5"})
            QCOMPARE(CheckCount(text, c), CountCheck::Valid);
        for (const char *text : {"1", "64001", "-3"})
            QCOMPARE(CheckCount(text, c), CountCheck::OutOfRange);
        for (const char *text : {"abc", ""})
            QCOMPARE(CheckCount(text, c), CountCheck::NotANumber);
        QCOMPARE(CountMessage(CountCheck::OutOfRange, 3, false), "Value must be between 2 and 64000");
        QCOMPARE(CountMessage(CountCheck::OutOfRange, 3, true), "Value must be set between 2 and 64000");
        QCOMPARE(CountMessage(CountCheck::NotANumber, 1, true), "Valeur incorrecte");
        QCOMPARE(TotalDelayText("400", 10, 1, c), "soit: 1 h 6 min 40 sec");
        // The dialog's captions: Portuguese reads the French texts, except for chkEffacer and the buttons.
        const auto caption = [](int langue, const char *name) {
            for (const Caption &cap : ModesDialogCaptions(langue, 10))
                if (cap.objectName == name && cap.property == CaptionProperty::Text)
                    return cap.text;
            return QString();
        };
        QCOMPARE(caption(2, "optTempo0"), "Défaut: une seule temporisation de 10 secondes entre chaque miroir");
        QCOMPARE(caption(2, "chkEffacer"), "Suprimir os ficheiros antigos em pastas de saída");
        QCOMPARE(caption(2, "cmdAnnuler"), "&Cancelar");
        QCOMPARE(caption(3, "chkDeplacer"), "Move files (delete from source folders after mirroring)");
        QCOMPARE(TotalDelayText("64000", 60000, 3, c), "i.e. 1066666 h 40 min 0 sec"); // beyond 2^31 seconds
    }
    void storeWritesFiveKeys()
    {
        Program p;
        QVERIFY(p.tree.write("Vell.ini", "[Mirror_2]\r\nSystemeFichiersSource=abc\r\nNbTemporisations=9\r\n"));
        FolderPair pair;
        ModesForm form{" 12 ", false, true, true, false, false};
        QCOMPARE(StoreModes(p.files, 2, form, pair), 0);
        QCOMPARE(pair.NbTemporisations, 12);
        QCOMPARE(p.tree.read("Vell.ini"), "[Mirror_2]\r\nSystemeFichiersSource=abc\r\nNbTemporisations=12\r\n"
                                          "Deplacer=1\r\nRenommer=1\r\nEffacer=0\r\nNouveau=0\r\n");
        form.defaultDelay = true;
        QCOMPARE(StoreModes(p.files, 2, form, pair), 0);
        QCOMPARE(pair.NbTemporisationsText, "1");
        QVERIFY(p.tree.read("Vell.ini").contains("NbTemporisations=1\r\n"));
    }
    // The target a new source gets from the drive and UNC prefixes: the source, the two prefixes, the target.
    void defaultTarget()
    {
        const QList<QStringList> rows{
            {"/home/ann/Work", "/b", "", "/b/home/ann/Work"}, {"/home/ann", "/b/", "", "/b/home/ann"},
            {"C:\\Data\\Work", "E:", "", "E:\\Data\\Work"}, {"/home/ann", " E:", "", " E:/home/ann"},
            {"/mnt/c:/x", "/b", "", "/b/mnt/c:/x"}, {"home/ann", "/b", "//B/C", ""}, {"/home/ann", "", "//B/C", ""},
            {"//Srv", "", "//B/C", ""}, {"//Srv/Share/Dept/X", "/b", "//B/C", "//B/C/Dept/X"},
            {"//Srv/Share", "", "//B/C/", "//B/C/"}, {"///Share/X", "", "//B/C", "//B/C/X"},
            {"//S//X", "", "//B/C", "//B/C/X"}, {"//S/Share/X", "/b", "", ""}};
        for (const QStringList &row : rows)
            QVERIFY2(DefaultTarget(row[0], row[1], row[2]) == row[3], qPrintable(row.join(u' ')));
    }
    // The warnings for a new path: path, role, means, system; then the warnings expected.
    void warnings()
    {
        for (const char *row : {"//Srv/Share source browser NT unc", "//Srv/Share source typed NT -",
                                "//Srv/Share target browser NT -", "//Srv/Share source browser 95 -",
                                "/Srv/Share source browser NT -", "c:\\winnt\\x target typed 95 windows"}) {
            const QByteArrayList words = QByteArray(row).split(' ');
            const QString path = QString::fromLatin1(words[0]);
            SystemInfo system{.IsNT = words[3] == "NT", .WindowsFolder = QStringLiteral("C:\\WINNT")};
            const FolderRole role = words[1] == "source" ? FolderRole::Source : FolderRole::Target;
            const PathMeans means = words[2] == "browser" ? PathMeans::Browser : PathMeans::Typed;
            const PathWarnings w = WarningsForNewPath(path, role, means, system);
            QVERIFY2(w.unc == (words[4] == "unc") && w.windowsFolder == (words[4] == "windows"), row);
            system.WindowsFolder.clear(); // matches nothing
            QVERIFY(!WarningsForNewPath(path, FolderRole::Source, PathMeans::Typed, system).windowsFolder);
        }
    }
    void warningTexts()
    {
        QCOMPARE(WindowsFolderWarningText(3), "WARNING: including a Windows sub-folder can damage your system");
        QCOMPARE(UncWarningText(2), UncWarningText(1)); // French stands in for Portuguese
        QCOMPARE(UncWarningText(0), "Source folders:\r\nuse a drive letter (C:, D:)\r\ninstead UNC path "
                                    "(\\\\Server\\Share\\Folder)\r\nin order to mirror opened files\r\n"
                                    "cf. Korvane documentation");
    }
};
QTEST_GUILESS_MAIN(TestPairEditing)
#include "tst_pairediting.moc"
