// The log viewer and the two log settings dialogs on real folders and a real Vell.ini; the purge number's steps and
// check, and what OK writes.
#include "common/controls.h"
#include "oplog/logsettings.h"
#include "oplog/ui/logviewerwindow.h"
#include "oplog/ui/pathlogsdialog.h"
#include "oplog/ui/purgelogsdialog.h"
#include "base/programidentity.h"
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "config/settings.h"
#include "config/settingsfile.h"
#include <QAction>
#include <QCheckBox>
#include <QDate>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <unistd.h>

using namespace vell;

namespace {
const QColor Purple(0x80, 0x00, 0x80);
// The log of the k-th day from 2026-01-01 (k from 1).
QByteArray logName(int k) { return QDate(2025, 12, 31).addDays(k).toString("'Log Vell 'yyyy-MM-dd'.htm'").toLatin1(); }
// The logs of the first `count` days, newest first so that the order of creation says nothing.
QByteArrayList logs(int count)
{
    QByteArrayList names;
    for (int day = count; day >= 1; --day)
        names << logName(day);
    return names;
}
QColor colourOf(QWidget *w, const char *name) { return child<QLabel>(w, name)->palette().color(QPalette::WindowText); }
// A system that cannot open documents; its boxes go to `shown`.
struct NoBrowser final : UserDialogs
{
    explicit NoBrowser(ScriptedDialogs &shown) : shown(shown) {}
    MessageAnswer messageBox(const QString &text, const QString &title, MessageIcon icon, MessageButtons b) override
    {
        return shown.messageBox(text, title, icon, b);
    }
    std::optional<QString> inputBox(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> browseFolder(const QString &, const QString &) override { return {}; }
    bool openDocument(const QString &) override { return false; }
    ScriptedDialogs &shown;
};
struct Dialog
{
    TestTree tree;
    const ProgramFiles files{tree.rootText()};
    ScriptedDialogs dialogs;
    Settings settings;
};
struct Viewer : Dialog
{
    NoBrowser noBrowser{dialogs};
    QPointer<LogViewerWindow> window;
    explicit Viewer(const QByteArrayList &items, int langue = 0, bool canOpen = true)
    {
        QVERIFY(tree.build(items));
        settings.PathLogs = tree.rootText();
        settings.Langue = langue;
        window = new LogViewerWindow(settings, canOpen ? static_cast<UserDialogs &>(dialogs) : noBrowser);
        window->show();
    }
    ~Viewer() { delete window; }
    QLabel *date(int k) { return child<QLabel>(window, QString("lblDate%1").arg(k).toLatin1()); }
    // The right-button menu on date k, then its delete command, answered.
    void removeDate(int k, MessageAnswer answer)
    {
        dialogs.answers = {answer};
        QTest::mousePress(date(k), Qt::RightButton);
        child<QAction>(window, "mnuSupprimerLog")->trigger();
    }
};
// The text typed, the arrow clicked (+1 up, -1 down), the number shown next and the limit named.
struct Step { const char *text; int delta, number; PurgeLimit limit; };
} // namespace

class TestLogDialogs : public QObject
{
    Q_OBJECT
private slots:
    void viewerLaysOutTheDatesAndOpensTheNewest()
    {
        Viewer v(logs(59), 1);
        QCOMPARE(v.window->objectName(), "frmVoirLogs");
        QCOMPARE(v.window->windowTitle(), "Voir les journaux - [Retour à Vell] ->");
        QVERIFY(v.window->windowFlags() & Qt::WindowStaysOnTopHint);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(v.window->frameGeometry().topRight(), screen.topRight());
        QCOMPARE(v.date(2)->text(), "2026-01-03");
        for (int k = 1; k < 4; ++k) { // four to a row
            QCOMPARE(v.date(k)->y(), v.date(0)->y());
            QVERIFY(v.date(k - 1)->x() + v.date(k - 1)->width() <= v.date(k)->x());
        }
        QCOMPARE(v.date(4)->x(), v.date(0)->x());
        QVERIFY(v.date(4)->y() >= v.date(0)->y() + v.date(0)->height());
        QCOMPARE(colourOf(v.window, "lblDate58"), Purple);
        QCOMPARE(colourOf(v.window, "lblDate0"), QColor(Qt::blue));
        QCOMPARE(v.dialogs.documents, QStringList{v.tree.pathText(logName(59))});
        QVERIFY(v.dialogs.boxes.isEmpty());
        v.window->resize(v.window->width(), 200);
        QScrollBar *bar = child<QScrollBar>(v.window, "VScroll1");
        QVERIFY(bar->maximum() > 0);
        QWidget *frame = child<QWidget>(v.window, "fraDates");
        const QLabel *last = v.date(58);
        // At the end of the range the last row is in sight, and not before.
        QVERIFY(last->mapTo(frame, QPoint(0, last->height())).y() > frame->height());
        bar->setValue(bar->maximum());
        QVERIFY(last->mapTo(frame, QPoint(0, last->height())).y() <= frame->height());
        const int y = v.date(0)->mapTo(frame, QPoint()).y();
        bar->setValue(bar->maximum() - 10);
        QCOMPARE(v.date(0)->mapTo(frame, QPoint()).y(), y + 10);
    }
    void emptyFolderShowsNothing()
    {
        Dialog d;
        for (const QString &folder : {d.tree.rootText(), d.tree.pathText("gone")}) {
            d.settings.PathLogs = folder;
            LogViewerWindow window(d.settings, d.dialogs);
            window.setAttribute(Qt::WA_DeleteOnClose, false);
            window.show();
            QVERIFY(window.findChildren<QLabel *>().isEmpty());
        }
        QVERIFY(d.dialogs.documents.isEmpty() && d.dialogs.boxes.isEmpty());
    }
    void clickOpensAndDeleteAsksForOnlyThatLog()
    {
        Viewer v(logs(6) << "Log Vell 2026-01-02 copy.htm" << "notes.txt");
        QSignalSpy clicked(v.window, &LogViewerWindow::dateClicked);
        QSignalSpy closed(v.window, &LogViewerWindow::closed);
        QCOMPARE(clicked.count(), 0); // the automatic opening leaves the main window alone
        QTest::mouseClick(v.date(0), Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(colourOf(v.window, "lblDate0"), Purple);
        QCOMPARE(colourOf(v.window, "lblDate1"), QColor(Qt::blue));
        QCOMPARE(v.dialogs.documents.last(), v.tree.pathText(logName(1)));
        QCOMPARE(v.date(2)->text(), "2026-01-02");
        v.removeDate(2, MessageAnswer::No);
        QCOMPARE(child<QAction>(v.window, "mnuSupprimerLog")->text(), "Remove Log '2026-01-02'");
        QCOMPARE(child<QAction>(v.window, "mnuAnnuler")->text(), "Cancel");
        QCOMPARE(v.dialogs.boxes.size(), 1);
        QCOMPARE(v.dialogs.boxes[0].text, "Remove Log '2026-01-02'");
        QCOMPARE(v.dialogs.boxes[0].title, "Vell");
        QCOMPARE(v.dialogs.boxes[0].icon, MessageIcon::Question);
        QCOMPARE(v.dialogs.boxes[0].buttons, MessageButtons::YesNo);
        QVERIFY(v.tree.exists(logName(2)) && !v.date(2)->isHidden());
        QByteArrayList expected = v.tree.entries("");
        expected.removeOne(logName(2));
        v.removeDate(2, MessageAnswer::Yes);
        QCOMPARE(v.tree.entries(""), expected);
        QVERIFY(v.date(2)->isHidden());
        QCOMPARE(v.dialogs.boxes.size(), 2); // no failure shown
        const QPoint kept = v.date(3)->pos();
        QScrollBar *bar = child<QScrollBar>(v.window, "VScroll1");
        bar->setMaximum(100);
        bar->setValue(20);
        QVERIFY(v.date(2)->isHidden());
        QCOMPARE(v.date(3)->pos(), kept); // the labels stay where they were, the gap too
        v.window->close();
        QCOMPARE(closed.count(), 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(v.window.isNull()); // discarded on close
    }
    void failuresAreShown()
    {
        Viewer v(logs(2), 2, false);
        QCOMPARE(v.dialogs.boxes.size(), 1);
        QCOMPARE(v.dialogs.boxes[0].text, "Não foi possível abrir o jornal:\n" + v.tree.pathText(logName(2)));
        // The log became a folder after the viewer listed it: it is not a log to delete, even for root.
        const QString first = v.tree.pathText(logName(1));
        QVERIFY(QFile::remove(first) && v.tree.mkdir(logName(1)));
        v.removeDate(0, MessageAnswer::Yes);
        QVERIFY(v.tree.isDir(logName(1)) && !v.date(0)->isHidden());
        QCOMPARE(v.dialogs.boxes.size(), 3);
        QCOMPARE(v.dialogs.boxes[2].icon, MessageIcon::Critical);
        QVERIFY(v.dialogs.boxes[2].text.startsWith("Não foi possível suprimir o jornal:\n" + first));
        // A log removed behind the viewer's back is reported and its date goes.
        QVERIFY(QFile::remove(v.tree.pathText(logName(2))));
        v.removeDate(1, MessageAnswer::Yes);
        QCOMPARE(v.dialogs.boxes.size(), 5);
        QVERIFY(v.date(1)->isHidden());
    }
    void pathDialogStoresTheFolderShown()
    {
        Dialog d;
        QVERIFY(d.tree.mkdir("logs") && d.tree.mkdir("other") && d.tree.mkdir("Vell.ini")); // unreadable, even by root
        d.settings.Langue = 1;
        d.settings.Logs = true;
        d.settings.PathLogs = d.tree.pathText("logs");
        PathLogsDialog dialog(d.files, d.settings, d.dialogs);
        QCOMPARE(dialog.windowTitle(), "Vell 2.1e");
        QCOMPARE(child<QPushButton>(&dialog, "cmdAnnuler")->text(), "&Annuler");
        QVERIFY(child<QCheckBox>(&dialog, "chkLogs")->isChecked());
        QVERIFY(!child<QCheckBox>(&dialog, "chkFichiersLogs")->isChecked());
        QCOMPARE(child<QLabel>(&dialog, "lblDossier")->text(), d.tree.pathText("logs"));
        // Another folder chosen in the list, then logging turned off: the folder choice greys out but counts.
        auto *folders = child<QTreeView>(&dialog, "Chemins");
        const auto *model = qobject_cast<QFileSystemModel *>(folders->model());
        QCOMPARE(folders->currentIndex(), model->index(d.tree.pathText("logs")));
        folders->setCurrentIndex(model->index(d.tree.pathText("other")));
        QCOMPARE(child<QLabel>(&dialog, "lblDossier")->text(), d.tree.pathText("other"));
        child<QCheckBox>(&dialog, "chkLogs")->click();
        for (const char *name : {"chkFichiersLogs", "lblTitre", "Lecteurs", "Chemins", "lblDossier"})
            QVERIFY2(!child<QWidget>(&dialog, name)->isEnabled(), name);
        child<QPushButton>(&dialog, "cmdOK")->click();
        QCOMPARE(dialog.result(), 0);
        QCOMPARE(d.dialogs.boxes.size(), 1);
        QCOMPARE(d.dialogs.boxes[0].icon, MessageIcon::Critical);
        QCOMPARE(d.dialogs.boxes[0].text, d.files.settingsFile() + ": Is a directory");
        QVERIFY(d.settings.Logs);
        QVERIFY(::rmdir(d.tree.path("Vell.ini")) == 0);
        child<QPushButton>(&dialog, "cmdOK")->click();
        QCOMPARE(dialog.result(), QDialog::Accepted);
        QCOMPARE(d.tree.read("Vell.ini"),
                 "[Logs]\r\nLogs=0\r\nFichiersLogs=0\r\nPathLogs=" + d.tree.path("other") + "\r\n");
        QVERIFY(!d.settings.Logs);
        QCOMPARE(d.settings.PathLogs, d.tree.pathText("other"));
    }
    void pathDialogCancelChangesNothing()
    {
        Dialog d;
        d.settings.PathLogs = d.tree.pathText("gone"); // removed since start-up
        PathLogsDialog dialog(d.files, d.settings, d.dialogs);
        QCOMPARE(dialog.folder(), d.tree.rootText());
        QVERIFY(!child<QWidget>(&dialog, "Chemins")->isEnabled());
        child<QCheckBox>(&dialog, "chkLogs")->click();
        QVERIFY(child<QWidget>(&dialog, "Chemins")->isEnabled());
        child<QPushButton>(&dialog, "cmdAnnuler")->click();
        QCOMPARE(dialog.result(), QDialog::Rejected);
        QVERIFY(!d.tree.exists("Vell.ini") && !d.settings.Logs);
    }
    void purgeDialogStepsChecksAndStores()
    {
        Dialog d;
        d.settings.Langue = 1;
        d.settings.DelaiLogs = 3;
        PurgeLogsDialog dialog(d.files, d.settings, d.dialogs);
        auto *text = child<QLineEdit>(&dialog, "Text1");
        const auto *limit = child<QLabel>(&dialog, "Label1");
        QCOMPARE(child<QLabel>(&dialog, "lblJours")->text(), "jours");
        QVERIFY(!child<QCheckBox>(&dialog, "chkPurgeLogs")->isChecked());
        QCOMPARE(text->text(), "3");
        QVERIFY(limit->isHidden());
        child<QToolButton>(&dialog, "UpDown1Down")->click();
        QCOMPARE(text->text(), "2");
        QVERIFY(!limit->isHidden());
        QCOMPARE(limit->text(), "Valeur minimale atteinte");
        child<QToolButton>(&dialog, "UpDown1Up")->click();
        QCOMPARE(text->text(), "3");
        QVERIFY(limit->isHidden());
        child<QCheckBox>(&dialog, "chkPurgeLogs")->click();
        text->setText("367");
        child<QPushButton>(&dialog, "cmdOK")->click();
        QCOMPARE(dialog.result(), 0);
        QCOMPARE(d.dialogs.boxes.size(), 1);
        QCOMPARE(d.dialogs.boxes[0].text, "Valeur incorrecte: 367");
        QCOMPARE(d.dialogs.boxes[0].title, "Vell 2.1e");
        QCOMPARE(d.dialogs.boxes[0].icon, MessageIcon::Critical);
        QVERIFY(!d.tree.exists("Vell.ini") && !d.settings.PurgeLogs);
        QCOMPARE(d.settings.DelaiLogs, 3);
        text->setText("2.5"); // half to even
        child<QPushButton>(&dialog, "cmdOK")->click();
        QCOMPARE(dialog.result(), QDialog::Accepted);
        QCOMPARE(d.tree.read("Vell.ini"), "[Logs]\r\nPurgeLogs=1\r\nDelaiLogs=2\r\n");
        QVERIFY(d.settings.PurgeLogs);
        QCOMPARE(d.settings.DelaiLogs, 2);
        PurgeLogsDialog cancelled(d.files, d.settings, d.dialogs);
        child<QCheckBox>(&cancelled, "chkPurgeLogs")->click();
        child<QLineEdit>(&cancelled, "Text1")->setText("9");
        child<QPushButton>(&cancelled, "cmdAnnuler")->click();
        QVERIFY(d.settings.PurgeLogs);
        QCOMPARE(d.settings.DelaiLogs, 2);
    }
    // The arrows step from the number typed, rounded half to even, and name the bound they reach.
    void steps()
    {
        using enum PurgeLimit;
        const Step rows[] = {
            {"10", -1, 9, None}, {"3", -1, 2, Minimum}, {"0", -1, 2, Minimum}, {"4", -1, 3, None},
            {"367", -1, 366, None}, {"1000", -1, 366, Maximum}, {"1e999", -1, 366, Maximum}, {"10", 1, 11, None},
            {"365", 1, 366, Maximum}, {"364", 1, 365, None}, {"1", 1, 2, None}, {"abc", 1, 2, Minimum},
            {"-1e999", 1, 2, Minimum}, {"4.5", -1, 4, None}, {"4.5", 1, 6, None}, {" 12 days", 1, 13, None}};
        for (const auto &[text, delta, number, limit] : rows) {
            const PurgeStep step = StepPurgeNumber(text, delta);
            QVERIFY2(step.number == number && step.limit == limit, qPrintable(QString("%1 %2").arg(text).arg(delta)));
        }
    }
    // What OK stores, -1 when refused: the bounds, halves to even, exponents.
    void check()
    {
        const std::pair<const char *, int> rows[] = {
            {"1", -1}, {"1.99", -1}, {"2", 2}, {"2.5", 2}, {"3.5", 4}, {"366", 366}, {"366.01", -1}, {"367", -1},
            {"ten", -1}, {"1e2", 100}, {"30e", 30}, {"-5", -1}};
        for (const auto &[text, stored] : rows)
            QVERIFY2(CheckPurgeNumber(text) == stored, text);
    }
    void texts()
    {
        QCOMPARE(PurgeLimitMessage(PurgeLimit::Minimum, 2), "Valor mínimo atingido");
        QCOMPARE(PurgeLimitMessage(PurgeLimit::Maximum, 0), "Maximal value reached");
        QVERIFY(PurgeLimitMessage(PurgeLimit::None, 1).isEmpty());
        QCOMPARE(PathLogsCaptions(2).at(1).text, "Registrar diáriamente as operações no jornal");
    }
    // A failed store changes nothing; a path the file cannot hold is refused, not cut.
    void storeWritesTheirKeysOrNothing()
    {
        TestTree tree;
        const ProgramFiles files{tree.rootText()};
        QVERIFY(tree.mkdir("Vell.ini")); // a settings file that cannot be read, even by root
        Settings settings;
        settings.PathLogs = "/old";
        QCOMPARE(StoreLogFolder(files, settings, true, true, "/new"), -EISDIR);
        QCOMPARE(StorePurge(files, settings, true, 5), -EISDIR);
        QVERIFY(!settings.Logs && !settings.FichiersLogs && !settings.PurgeLogs);
        QCOMPARE(settings.DelaiLogs, 10);
        QVERIFY(::rmdir(tree.path("Vell.ini")) == 0);
        QCOMPARE(StoreLogFolder(files, settings, true, true, "/a\nb"), -EINVAL);
        QCOMPARE(settings.PathLogs, "/old");
        QVERIFY(!tree.exists("Vell.ini"));
        QCOMPARE(StoreLogFolder(files, settings, true, false, "/srv/logs with blanks"), 0);
        QCOMPARE(StorePurge(files, settings, true, 2), 0);
        QCOMPARE(tree.read("Vell.ini"), "[Logs]\r\nLogs=1\r\nFichiersLogs=0\r\nPathLogs=/srv/logs with blanks\r\n"
                                        "PurgeLogs=1\r\nDelaiLogs=2\r\n");
        QVERIFY(settings.Logs && !settings.FichiersLogs && settings.PurgeLogs);
        QCOMPARE(settings.PathLogs, "/srv/logs with blanks");
        QCOMPARE(settings.DelaiLogs, 2);
    }
    void initialFolder()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("logs"));
        QCOMPARE(InitialLogFolder(tree.pathText("logs"), "/program"), tree.pathText("logs"));
        QCOMPARE(InitialLogFolder(tree.pathText("gone"), "/program"), "/program");
        QVERIFY(LogFolderDrives().contains("/"));
        QCOMPARE(DriveOf("/"), "/");
    }
};

QTEST_MAIN(TestLogDialogs)
#include "tst_logdialogs.moc"
