// The main window under the offscreen platform: start-up, languages, the grid and its gestures, editing,
// Start/Stop, the notice window and Quit, on a real program folder.
#include "common/controls.h"
#include "common/recorders.h"
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "config/folderpairsfile.h"
#include "shell/captions.h"
#include "base/ui/applycaptions.h"
#include "shell/gridtexts.h"
#include "shell/ui/mainwindow.h"
#include "shell/vellprogram.h"
#include "platform/systeminfo.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace vell;

namespace {

// A program folder with three couples: plain, moved, and removing, newer-only with its own delay; the third's
// source is missing.
struct Window
{
    TestTree tree;
    RecordingCommandRunner runner;
    RecordingEventLog log;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<VellProgram> program;

    explicit Window(const QByteArray &configuration = {})
    {
        qputenv("XDG_DATA_HOME", tree.path("xdg")); // no service installed
        qunsetenv("VELL_SERVICE");
        QVERIFY(tree.build({"a/one.txt=12345", "a/Data/", "b/", "c/", "t/"}));
        const QString r = tree.rootText();
        FolderPairList pairs{{r + "/a", r + "/t"}, {r + "/b", r + "/t"}, {r + "/missing", r + "/c"}};
        QCOMPARE(SaveFolderPairs(ProgramFiles{r}, pairs, SystemInfo{.IsNT = true}), 0);
        QVERIFY(tree.write("Vell.ini", "[Configuration]\r\n" + configuration + "\r\n[Mirror_2]\r\nDeplacer=1\r\n"
                                       "[Mirror_3]\r\nNbTemporisations=5\r\nEffacer=1\r\nNouveau=1\r\n"));
        window = std::make_unique<MainWindow>(runner, log);
        program = std::make_unique<VellProgram>(StartupOptions{r, "/opt/vell/vell", {}, false}, *window, dialogs,
                                                runner, log);
        window->attach(*program, dialogs);
        QCOMPARE(program->prepare(), std::nullopt);
        window->showStartup();
    }
    template <typename T> T *find(const char *name) const { return child<T>(window.get(), name); }
    QTableWidget *grid() const { return find<QTableWidget>("lstDossiers"); }
    QAction *action(const char *name) const { return find<QAction>(name); }
    bool enabled(const char *name) const
    {
        QObject *o = window->findChild<QObject *>(QString::fromLatin1(name));
        if (auto *menu = qobject_cast<QMenu *>(o))
            return menu->menuAction()->isEnabled();
        if (auto *a = qobject_cast<QAction *>(o))
            return a->isEnabled();
        return qobject_cast<QWidget *>(o)->isEnabled();
    }
    void clickCell(int row, int column, bool twice = false) const
    {
        QWidget *viewport = grid()->viewport();
        const QPoint at = grid()->visualRect(grid()->model()->index(row, column)).center();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    }
    void hover(QWidget *widget, QPoint at) const
    {
        QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(widget, &move);
    }
    QString text(const char *name) const { return find<QLabel>(name)->text(); }
};

// The shown top-level windows named `name`.
QWidgetList shown(const char *name)
{
    QWidgetList found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            found << w;
    return found;
}
// Runs `answer` on the modal dialog named `name` as soon as it is shown.
void whenShown(const char *name, std::function<void(QWidget *)> answer)
{
    QTimer::singleShot(0, [name, answer] {
        if (shown(name).size() == 1)
            return answer(shown(name).first());
        qWarning("%s was not shown", name);
    });
}

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

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void startupShowsTheSettings()
    {
        Window w("Langue=1\r\nMiroirSousDossiers=0\r\nCopierSecurite=1\r\nCopierSecuriteDossiers=1\r\n"
                 "ErreurDossierSon=1\r\nAfficherFichiers=0");
        QVERIFY(w.window->windowTitle().startsWith("Vell 2.1e   "));
        QCOMPARE(w.text("lblVell"), "Vell 2.1e");
        QCOMPARE(w.find<QPushButton>("cmdAjouterDossierSource")->text(), "Ajouter");
        QCOMPARE(w.text("lblDossiersSources"), "Dossiers sources");
        QCOMPARE(w.action("mnuEffacement")->text(), "&Supprimer les fichiers obsolètes des dossiers cibles (par défaut)");
        QCOMPARE(ApplyCaptions(w.window.get(), MainWindowCaptions(1, false, true) + FixedCaptions()), QStringList());
        QStringList checked;
        for (QAction *a : w.window->findChildren<QAction *>())
            if (a->isChecked())
                checked << a->objectName();
        checked.sort();
        QCOMPARE(checked, QStringList({"mnuCopierSecuriteDossiers", "mnuDossierErr", "mnuFrancais"}));
        QVERIFY(w.find<QWidget>("frameLegende")->isVisibleTo(w.window.get()));
        QVERIFY(!w.find<QWidget>("lstFichiersSources")->isVisibleTo(w.window.get()));
        for (QAction *a : w.window->findChildren<QAction *>())
            QVERIFY2(a->isEnabled() || a->isSeparator(), qPrintable(a->objectName())); // every command works
        QCOMPARE(w.text("lblMode"), "Application");
        QCOMPARE(w.find<QLabel>("PictureMode")->toolTip(), "Vell Mirroring Application");
        QVERIFY(w.window->isVisible());
    }

    void languageMenu()
    {
        Window w("AfficherFichiers=1");
        QCOMPARE(w.action("mnuAnglais")->isChecked(), true); // no Langue: English
        w.clickCell(0, 0);
        QVERIFY(w.find<QListWidget>("lstFichiersSources")->count() > 0);
        w.action("mnuPortugais")->trigger();
        QVERIFY(w.tree.read("Vell.ini").contains("Langue=2\r\n"));
        QCOMPARE(w.find<QPushButton>("cmdSupprimer")->text(), "Suprimir");
        QCOMPARE(w.text("lblNbFichiersSources"), ""); // the count lines are cleared, not the lists
        QVERIFY(w.find<QListWidget>("lstFichiersSources")->count() > 0);
        w.action("mnuAnglais")->trigger();
        QVERIFY(w.tree.read("Vell.ini").contains("Langue=3\r\n"));
        QVERIFY(w.action("mnuAnglais")->isChecked() && !w.action("mnuPortugais")->isChecked());

        // A toggle that cannot be stored holds for the session and says why.
        QVERIFY(QFile::remove(w.tree.pathText("Vell.ini")) && w.tree.mkdir("Vell.ini"));
        w.action("mnuCopierAttributs")->trigger();
        QVERIFY(w.program->settings.CopierAttributs);
        QCOMPARE(w.text("lblMessage"), "Vell: " + w.tree.pathText("Vell.ini") + ": Is a directory");
    }

    void gridShowsTheCouples()
    {
        Window w;
        QTableWidget *grid = w.grid();
        QCOMPARE(grid->rowCount(), 3);
        QCOMPARE(w.text("lblNbDossiers"), "3");
        QVERIFY(grid->selectedItems().isEmpty()); // no row looks selected after a load
        QCOMPARE(grid->item(1, 0)->foreground().color(), QColor(0xFF, 0, 0));
        QCOMPARE(grid->item(2, 2)->foreground().color(), QColor(0xFF, 0, 0xFF));
        for (int c = 0; c < 3; ++c)
            QCOMPARE(grid->item(2, c)->background().color(), QColor(0, 0xFF, 0xFF));
        QVERIFY(grid->item(2, 0)->text().startsWith("??? "));
        const auto image = [](const QIcon &icon) { return icon.pixmap(22, 22).toImage(); };
        QCOMPARE(image(grid->item(0, 1)->icon()), image(QIcon(":/icons/delay-default.svg")));
        QCOMPARE(image(grid->item(2, 1)->icon()), image(QIcon(":/icons/delay-own.svg")));
        QVERIFY(image(grid->item(0, 1)->icon()) != image(grid->item(2, 1)->icon()));

        // The hover description, once per row, cleared below the last row.
        QWidget *viewport = grid->viewport();
        w.hover(viewport, grid->visualRect(grid->model()->index(2, 0)).center());
        QCOMPARE(w.window->LastDescribedRow(), 2);
        QCOMPARE(w.text("lblMessage"), HoverDescription(grid->item(2, 0)->text(), grid->item(2, 2)->text(),
                                                        w.program->pairs.at(2), 10, 0, true));
        QVERIFY(w.text("lblMessage").contains("T = 50 s; remove old target files"));
        w.hover(viewport, QPoint(5, grid->rowHeight(0) * 3 + 2));
        QCOMPARE(w.text("lblMessage"), "");
        QCOMPARE(w.window->LastDescribedRow(), -1);
    }

    void modesDialogFromTheGrid()
    {
        Window w;
        whenShown("frmSetMode", [](QWidget *dialog) {
            QCOMPARE(dialog->findChild<QLabel *>("lblSource")->text().startsWith("??? "), true);
            QVERIFY(dialog->findChild<QWidget *>("optTempo1")->property("checked").toBool());
            QCOMPARE(dialog->findChild<QLabel *>("lblMiroirN2")->text(), "i.e. 0 h 0 min 50 sec");
            auto *move = dialog->findChild<QCheckBox *>("chkDeplacer");
            move->click();
            QVERIFY(!dialog->findChild<QCheckBox *>("chkEffacer")->isChecked());
            QVERIFY(!dialog->findChild<QWidget *>("frameMAJ")->isEnabled());
            dialog->findChild<QPushButton *>("cmdOK")->click();
        });
        w.clickCell(2, 1);
        QVERIFY(w.tree.read("Vell.ini").contains("[Mirror_3]\r\nNbTemporisations=5\r\nEffacer=0\r\nNouveau=0\r\n"
                                                 "Deplacer=1\r\nRenommer=0\r\n"));
        QCOMPARE(w.grid()->item(2, 0)->foreground().color(), QColor(0xFF, 0, 0)); // reloaded: now moved
        QCOMPARE(w.grid()->currentRow(), 2);

        // Cancel writes nothing; during a run a click on the picture only selects.
        const QByteArray before = w.tree.read("Vell.ini");
        whenShown("frmSetMode", [](QWidget *dialog) { dialog->findChild<QPushButton *>("cmdAnnuler")->click(); });
        w.clickCell(0, 1);
        QCOMPARE(w.tree.read("Vell.ini"), before);
        w.program->state.MirroringOff = false;
        w.clickCell(1, 1); // would block on a modal dialog if one opened
        QCOMPARE(w.grid()->currentRow(), 1);
        w.program->state.MirroringOff = true;
    }

    void editingThroughTheWindow()
    {
        Window w;
        w.dialogs.chosen = {w.tree.pathText("c")};
        whenShown("frmSetMode", [](QWidget *dialog) { dialog->findChild<QPushButton *>("cmdAnnuler")->click(); });
        w.find<QPushButton>("cmdAjouterDossierSource")->click();
        QCOMPARE(w.grid()->rowCount(), 4);
        QCOMPARE(w.grid()->item(3, 2)->text(), "???");

        // Delete removes the selected block after a Yes; the grid is reloaded with no row selected.
        w.grid()->setFocus();
        w.clickCell(1, 0);
        w.dialogs.answers = {MessageAnswer::Yes};
        QTest::keyClick(w.grid(), Qt::Key_Delete);
        QCOMPARE(w.grid()->rowCount(), 3);
        QCOMPARE(w.dialogs.boxes.last().text, "Remove the selected folders");
        QCOMPARE(LoadFolderPairs(w.program->files, w.program->settings, w.program->system, false).pairs.size(), 3);
        QVERIFY(w.grid()->selectedItems().isEmpty());

        // Double-click in column 2 changes the target (the browser is cancelled here: nothing changes).
        w.clickCell(0, 2, true);
        QCOMPARE(w.dialogs.prompts.last(), "MODIFY: Select a new TARGET folder");
    }

    void startAndStop()
    {
        Window w;
        w.window->setMirroringActive(false);
        QPushButton *start = w.find<QPushButton>("cmdMiroir");
        start->click(); // one run, then waiting for the next
        QCOMPARE(w.program->controller().phase(), MirrorController::Phase::Waiting);
        for (const char *name : {"cmdAjouterDossierSource", "cmdSupprimer", "mnuDossiers", "mnuLangue", "mnuQuitter",
                                 "mnuMiroirSousDossiers", "mnuCopierSecurite", "mnuTempo", "mnuDefinirLogs",
                                 "mnuPurgeLogs", "mnuService"})
            QVERIFY2(!w.enabled(name), name);
        for (const char *name : {"mnuAfficherFichiers", "mnuAutomatique", "mnuPerformance", "mnuPrefixeCibleDefaut",
                                 "mnuDossierErr", "mnuGestionSignatures", "mnuVoirLogs"})
            QVERIFY2(w.enabled(name), name);
        QCOMPARE(w.action("mnuDemarrer")->text(), "&Stop mirroring");
        QCOMPARE(start->toolTip(), "Stop mirroring");
        QVERIFY(w.text("lblMessage").contains("1 invalid source folder"));
        QVERIFY(w.tree.exists("t/one.txt"));
        w.action("mnuDemarrer")->trigger();
        QCOMPARE(w.program->controller().phase(), MirrorController::Phase::Stopped);
        QVERIFY(w.enabled("cmdSupprimer") && w.enabled("mnuQuitter") && w.enabled("mnuTempo"));
        QCOMPARE(w.action("mnuDemarrer")->text(), "&Start mirroring");
    }

    // Each menu item opens its dialog; what the window does after OK or Cancel.
    void menusOpenTheirDialogs()
    {
        Window w("Temporisation=10");
        const auto answer = [&w](const char *item, const char *dialog, std::function<void(QWidget *)> act) {
            whenShown(dialog, act);
            w.action(item)->trigger();
        };
        const auto click = [](QWidget *d, const char *name) { d->findChild<QPushButton *>(name)->click(); };
        answer("mnuTempo", "frmTempo", [&](QWidget *d) {
            d->findChild<QLineEdit *>("Text1")->setText("30");
            click(d, "cmdOK");
        });
        QCOMPARE(w.find<QProgressBar>("ProgressBarAttente")->maximum(), 29);
        QCOMPARE(w.program->controller().SecondsToNextRun(), 30);
        QVERIFY(w.tree.read("Vell.ini").contains("Temporisation=30\r\n"));

        answer("mnuDossierErr", "frmAvertirDossierErr", [&](QWidget *d) {
            d->findChild<QCheckBox *>("chkDossierErrSon")->setChecked(true);
            click(d, "cmdOK");
        });
        QVERIFY(w.action("mnuDossierErr")->isChecked());
        answer("mnuDossierErr", "frmAvertirDossierErr", [&](QWidget *d) { click(d, "cmdAnnuler"); });
        QVERIFY(w.action("mnuDossierErr")->isChecked()); // a checkable item's own toggle is undone

        answer("mnuDefinirLogs", "frmPathLogs", [&](QWidget *d) { click(d, "cmdAnnuler"); });
        QVERIFY(!w.action("mnuDefinirLogs")->isChecked());
        answer("mnuDefinirLogs", "frmPathLogs", [&](QWidget *d) {
            d->findChild<QCheckBox *>("chkLogs")->setChecked(true);
            click(d, "cmdOK");
        });
        QVERIFY(w.action("mnuDefinirLogs")->isChecked());
        answer("mnuPurgeLogs", "frmPurgeLogs", [&](QWidget *d) { click(d, "cmdAnnuler"); });
        QVERIFY(!w.action("mnuPurgeLogs")->isChecked());

        const QByteArray before = w.tree.read("Vell.ini");
        for (const auto &[item, dialog] : {std::pair{"mnuPerformance", "frmPerformance"},
                                           {"mnuPrefixeCibleDefaut", "frmPrefixeCible"},
                                           {"mnuGestionSignatures", "frmGestionSignatures"}})
            answer(item, dialog, [&](QWidget *d) { click(d, "cmdAnnuler"); });
        QCOMPARE(w.tree.read("Vell.ini"), before); // Cancel writes nothing

        // Installing the service ends the program, which the service then replaces.
        w.dialogs.answers = {MessageAnswer::Ok};
        answer("mnuService", "frmAdminService", [&](QWidget *d) {
            click(d, "cmdRemove"); // not installed: the indicator stays
            click(d, "cmdInstall");
        });
        QCOMPARE(w.text("lblMode"), "Service");
        QCOMPARE(w.window->endStatus(), std::optional<int>(0));
    }

    void logViewerComesBack()
    {
        Window w;
        w.action("mnuVoirLogs")->trigger();
        QCOMPARE(shown("frmVoirLogs").size(), 1);
        QWidget *viewer = shown("frmVoirLogs").first();
        viewer->showMinimized();
        w.action("mnuVoirLogs")->trigger(); // brought back, not a second one
        QVERIFY(w.window->isMinimized() && !viewer->isMinimized());
        QCOMPARE(shown("frmVoirLogs"), QWidgetList{viewer});
        viewer->close();
        QVERIFY(!w.window->isMinimized());
    }

    void noticeKeyKeepsTheProgramOpen()
    {
        Window w("ArretAutomatique=1");
        w.window->showNotice("Type key 'Esc' to display the main window");
        QCOMPARE(shown("frmSplash").size(), 1);
        QWidget *splash = shown("frmSplash").first();
        QCOMPARE(splash->windowTitle(), QString(17, ' ') + "Vell");
        QTest::keyClick(splash, Qt::Key_Escape);
        QVERIFY(!splash->isVisible());
        QVERIFY(!w.program->settings.ArretAutomatique);
        QVERIFY(w.tree.read("Vell.ini").contains("ArretAutomatique=1")); // the stored setting stays
        // Without ArretAutomatique a key does nothing; a click closes.
        w.window->showNotice("x");
        QTest::keyClick(splash, Qt::Key_A);
        QVERIFY(splash->isVisible());
        QTest::mouseClick(splash->findChild<QLabel *>("lblMessage"), Qt::LeftButton);
        QVERIFY(!splash->isVisible());
    }

    void quitHelpAndFileLists()
    {
        Window w("Langue=2");
        w.dialogs.answers = {MessageAnswer::No};
        w.action("mnuQuitter")->trigger();
        QCOMPARE(w.dialogs.boxes.last().text, "Sair do programa");
        QCOMPARE(w.window->endStatus(), std::nullopt);
        w.window->close(); // the title bar's close only minimises
        QCOMPARE(w.window->endStatus(), std::nullopt);
        QVERIFY(w.window->isMinimized());

        w.action("mnuAide")->trigger(); // only the English help exists
        QVERIFY(w.tree.write("VellHelpENG.htm", "<html></html>"));
        QCOMPARE(w.dialogs.boxes.last().text, "Documentação não disponível...");
        w.action("mnuAnglais")->trigger();
        w.action("mnuAide")->trigger();
        QCOMPARE(w.dialogs.documents, QStringList{w.tree.pathText("VellHelpENG.htm")});

        w.action("mnuAfficherFichiers")->trigger();
        QVERIFY(w.tree.read("Vell.ini").contains("AfficherFichiers=1\r\n"));
        QVERIFY(!w.find<QWidget>("frameLegende")->isVisibleTo(w.window.get()));
        QCOMPARE(w.text("lblNbFichiersSources"), "2 files/folders in " + w.tree.pathText("a"));
        QStringList items;
        for (int i = 0; i < w.find<QListWidget>("lstFichiersSources")->count(); ++i)
            items << w.find<QListWidget>("lstFichiersSources")->item(i)->text();
        items.sort();
        QCOMPARE(items, QStringList({"[Data]", "one.txt"}));

        w.dialogs.answers = {MessageAnswer::Yes};
        w.action("mnuQuitter")->trigger();
        QCOMPARE(w.window->endStatus(), std::optional<int>(0));
    }
    // The window's texts on their own: caption rows typed from the design, the hover description, byte sizes, file
    // lists.
    // A control's caption in French, Portuguese and English, with and without sub-folders, on NT or not.
    void captions()
    {
        const CaptionRow rows[] = {
            {"mnuDemarrer", true, true, {"&Démarrer le miroir", "&Começar o miror", "&Start mirroring"}},
            {"mnuModifierSourceSaisir", true, true, {"Saisir", "Type", "Type"}},
            {"mnuModifierCibleParcourir", true, true, {"Parcourir", "Browse", "Browse"}},
            {"mnuEffacement", true, true,
             {"&Supprimer les fichiers/dossiers obsolètes des dossiers cibles (par défaut)",
              "&Suprimir os ficheiros/pastas antigos em pastas de saída",
              "&Remove old files/folders from target folders (default value)"}},
            {"mnuEffacement", false, true,
             {"&Supprimer les fichiers obsolètes des dossiers cibles (par défaut)",
              "&Suprimir os ficheiros antigos em pastas de saída",
              "&Remove old files from target folders (dafault value)"}},
            {"mnuService", true, true, {"Installer/supprimer Vell Service [NT]", "Instalar/suprimir Vell Service [NT]",
             "Install/remove Vell Service [NT]"}},
            {"lblDossierMac", true, false, {"miroir des fichiers Macintosh non supporté",
             "miror dos ficheiros Macintosh não suportádo", "Macintosh files mirroring not supported"}},
            {"lblDossiersCibles", false, true, {"Dossiers cibles", "Pastas de saída", "Target folders"}},
            {"lblDossiersSources", true, true, {"Dossiers sources (sous-dossiers inclus)",
             "Pastas de entrada (sub-pastas incluidas)", "Source folders (including sub-folders)"}}};
        for (const auto &[name, subFolders, nt, texts] : rows)
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
    void hoverDescription()
    {
        const Hover rows[] = {
            {360, "", 3, "T = 1 h 0 min 0 s; keep all target files; update if source and taget files are different"},
            {7, "EN", 3, "T = 1 min 10 s; remove old target files; update if source file newer than target file"},
            {1, "DRE", 3, "T = 10 s; move files and rename Macintosh files"},
            {1, "D", 2, "T = 10 s; déplacer les fichiers"}, // Portuguese reads French
            {1, "E", 1, "T = 10 s; supprimer les fichiers cibles obsolètes; mettre à jour si source et cible sont "
                          "différents"}};
        for (const auto &[intervals, modes, langue, expected] : rows) {
            FolderPair pair;
            pair.NbTemporisations = intervals;
            pair.Deplacer = modes.contains('D');
            pair.Renommer = modes.contains('R');
            pair.Effacer = modes.contains('E');
            pair.Nouveau = modes.contains('N');
            QCOMPARE(HoverDescription("  /src ", "??? /dst", pair, 10, langue, true),
                     "/src -> ??? /dst\r\n" + expected);
            if (pair.Renommer) // renaming exists on NT only
                QVERIFY(!HoverDescription("a", "b", pair, 10, langue, false).contains("rename"));
        }
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

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
