// Adding, changing and removing couples, and the modes dialog's logic, through the real couples and settings files.
#include "base/programidentity.h"
#include "common/scripteddialogs.h"
#include "common/testtree.h"
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
        EditOutcome out = EditFolderPair(EditAction::Add, FolderRole::Source, PathMeans::Browser, {}, p.pairs, p.context());
        QVERIFY(out.changed && out.openModes); // a browsed add opens the modes of the new couple
        QCOMPARE(p.loaded(), QStringList{"/home/ann/Work|/backup/home/ann/Work|1"});
        QCOMPARE(p.dialogs.prompts.last(), "ADD: select a SOURCE folder");

        p.settings.PrefixeCibleDefaut.clear();
        p.settings.Effacement = false;
        p.dialogs.typed = {" /typed "};
        out = EditFolderPair(EditAction::Add, FolderRole::Source, PathMeans::Typed, {}, p.pairs, p.context());
        QVERIFY(out.changed && !out.openModes);
        QCOMPARE(p.loaded().last(), " /typed ||0"); // kept as typed, no target without a prefix

        // A modify offers the couple's real path, never its "??? " cell text.
        const GridSelection second{1, 1, true};
        p.dialogs.typed = {"/new/target"};
        p.settings.Langue = 1;
        QVERIFY(EditFolderPair(EditAction::Modify, FolderRole::Target, PathMeans::Typed, second, p.pairs, p.context())
                    .changed);
        QCOMPARE(p.dialogs.initials.last(), "");
        QCOMPARE(p.dialogs.prompts.last(), "MODIFIER: Choisir un nouveau dossier CIBLE");
        QCOMPARE(p.loaded().last(), " /typed |/new/target|0");
        p.dialogs.chosen = {"/other/source"};
        QVERIFY(EditFolderPair(EditAction::Modify, FolderRole::Source, PathMeans::Browser, {0, 0, true}, p.pairs,
                               p.context()).changed);
        QCOMPARE(p.loaded().first(), "/other/source|/backup/home/ann/Work|1");
    }

    void nothingChangesWithoutAnAnswer()
    {
        Program p;
        p.save({"/a", "/b"});
        const QByteArray couples = p.tree.read("Vell.w"), settings = p.tree.read("Vell.ini");
        // Cancelled browser, cancelled or empty input box, nothing selected (the highlight hidden after a load).
        p.dialogs.typed = {""};
        QVERIFY(!EditFolderPair(EditAction::Add, FolderRole::Source, PathMeans::Browser, {}, p.pairs, p.context()).changed);
        QVERIFY(!EditFolderPair(EditAction::Add, FolderRole::Source, PathMeans::Typed, {}, p.pairs, p.context()).changed);
        QVERIFY(!EditFolderPair(EditAction::Modify, FolderRole::Source, PathMeans::Typed, {0, 0, false}, p.pairs,
                                p.context()).changed);
        p.settings.Langue = 2;
        QVERIFY(!EditFolderPair(EditAction::Modify, FolderRole::Target, PathMeans::Browser, {-1, -1, true}, p.pairs,
                                p.context()).changed);
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
        QVERIFY(p.tree.mkdir("Vell.w")); // nothing can be renamed over a folder, even by root
        p.dialogs.chosen = {"/b"};
        const EditOutcome out = EditFolderPair(EditAction::Add, FolderRole::Source, PathMeans::Browser, {}, p.pairs,
                                               p.context());
        QVERIFY(out.changed && !out.openModes); // no modes for a couple that was not saved
        QCOMPARE(p.dialogs.boxes.size(), 1);
        QVERIFY(p.dialogs.boxes.at(0).text.startsWith("The folder couples could not be saved: Is a directory\r\n"));
        QCOMPARE(p.dialogs.boxes.at(0).icon, MessageIcon::Critical);
        QVERIFY(p.tree.isDir("Vell.w"));
    }

    void removeBlocks_data()
    {
        QTest::addColumn<GridSelection>("selection");
        QTest::addColumn<QList<MessageAnswer>>("answers");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QString>("box");
        using A = QList<MessageAnswer>;
        QTest::newRow("rows 1 to 2") << GridSelection{1, 2, true} << A{MessageAnswer::Yes} << QStringList{"/a"}
                                     << "Remove the selected folders";
        QTest::newRow("dragged up 2 to 0") << GridSelection{2, 0, true} << A{MessageAnswer::Yes} << QStringList{}
                                           << "Remove the selected folders";
        QTest::newRow("middle") << GridSelection{1, 1, true} << A{MessageAnswer::Yes} << QStringList{"/a", "/c"}
                                << "Remove the selected folders";
        QTest::newRow("answered No") << GridSelection{0, 2, true} << A{MessageAnswer::No}
                                     << QStringList{"/a", "/b", "/c"} << "Remove the selected folders";
        QTest::newRow("other end beyond the list") << GridSelection{0, 3, true} << A{MessageAnswer::Yes}
                                                   << QStringList{"/b", "/c"} << "Remove the selected folders";
        QTest::newRow("no current row") << GridSelection{-1, -1, true} << A{} << QStringList{"/a", "/b", "/c"}
                                        << "Select a couple of folders (source+target) to remove";
        QTest::newRow("highlight hidden") << GridSelection{0, 0, false} << A{} << QStringList{"/a", "/b", "/c"}
                                          << "Select a couple of folders (source+target) to remove";
    }
    void removeBlocks()
    {
        QFETCH(GridSelection, selection);
        Program p;
        p.save({"/a", "/b", "/c"});
        QFETCH(QList<MessageAnswer>, answers);
        p.dialogs.answers = answers;
        const bool removed = RemoveFolderPairs(selection, p.pairs, p.context());
        QFETCH(QStringList, left);
        QCOMPARE(removed, left.size() < 3);
        QStringList sources;
        for (const QString &line : p.loaded())
            sources << line.section('|', 0, 0);
        QCOMPARE(sources, left);
        QFETCH(QString, box);
        QCOMPARE(p.dialogs.boxes.last().text, box);
    }

    void removeFromEmptyList()
    {
        Program p;
        p.settings.Langue = 2;
        QVERIFY(!RemoveFolderPairs({0, 0, true}, p.pairs, p.context()));
        QCOMPARE(p.dialogs.boxes.last().text, "Selecionar pastas");
    }

    void modesOpenAsStored_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QString>("shown"); // count, default, deplacer, renommer, effacer, nouveau
        QTest::newRow("missing") << QByteArray() << "2 d ----";
        QTest::newRow("default") << QByteArray("NbTemporisations=1") << "2 d ----";
        QTest::newRow("too many") << QByteArray("NbTemporisations=70000\r\nEffacer=1\r\nNouveau=1") << "2 d --EN";
        QTest::newRow("specific, hand-edited flags")
            << QByteArray("NbTemporisations=400\r\nEffacer=yes\r\nNouveau=yes") << "400 s --E-";
        QTest::newRow("move clears removal and newer")
            << QByteArray("NbTemporisations=2.5\r\nDeplacer=1\r\nRenommer=1\r\nEffacer=1\r\nNouveau=1") << "2.5 s DR--";
        QTest::newRow("no move, no rename") << QByteArray("Deplacer=0\r\nRenommer=1") << "2 d ----";
    }
    void modesOpenAsStored()
    {
        Program p;
        QFETCH(QByteArray, section);
        QVERIFY(p.tree.write("Vell.ini", "[Mirror_3]\r\n" + section + "\r\n"));
        const ModesForm f = OpenModesForm(p.files, 3);
        QFETCH(QString, shown);
        QCOMPARE(f.countText + (f.defaultDelay ? " d " : " s ") + (f.deplacer ? "D" : "-")
            + (f.renommer ? "R" : "-") + (f.effacer ? "E" : "-") + (f.nouveau ? "N" : "-"), shown);
    }

    void countChecksAndTotals()
    {
        const QLocale c = QLocale::c();
        QCOMPARE(CheckCount("2", c), CountCheck::Valid);
        QCOMPARE(CheckCount("64000", c), CountCheck::Valid);
        QCOMPARE(CheckCount("2.5", c), CountCheck::Valid);
        QCOMPARE(CheckCount("1", c), CountCheck::OutOfRange);
        QCOMPARE(CheckCount("64001", c), CountCheck::OutOfRange);
        QCOMPARE(CheckCount("-3", c), CountCheck::OutOfRange);
        QCOMPARE(CheckCount("abc", c), CountCheck::NotANumber);
        QCOMPARE(CheckCount("", c), CountCheck::NotANumber);
        QCOMPARE(CountMessage(CountCheck::OutOfRange, 3, false), "Value must be between 2 and 64000");
        QCOMPARE(CountMessage(CountCheck::OutOfRange, 3, true), "Value must be set between 2 and 64000");
        QCOMPARE(CountMessage(CountCheck::OutOfRange, 2, true), "La valeur doit être comprise entre 2 et 64000");
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
};

QTEST_GUILESS_MAIN(TestPairEditing)
#include "tst_pairediting.moc"
