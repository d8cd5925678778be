// The log viewer and the two log settings dialogs on real folders and a real Vell.ini.
#include "oplog/ui/logviewerwindow.h"
#include "oplog/ui/pathlogsdialog.h"
#include "oplog/ui/purgelogsdialog.h"

#include "base/programidentity.h"
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "config/settings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

using namespace vell;

namespace {

const QColor Purple(0x80, 0x00, 0x80);

// The log of the k-th day from 2026-01-01 (k from 1).
QByteArray logName(int k) { return "Log Vell " + QDate(2026, 1, 1).addDays(k - 1).toString("yyyy-MM-dd").toLatin1() + ".htm"; }

QByteArrayList logs(int count)
{
    QByteArrayList names;
    for (int day = 1; day <= count; ++day)
        names << logName(day);
    return names;
}

template <typename T> T *child(QWidget *w, const char *name)
{
    T *found = w->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

QColor colourOf(QWidget *w, const char *name) { return child<QLabel>(w, name)->palette().color(QPalette::WindowText); }

// A system that cannot open documents.
class NoBrowser final : public UserDialogs
{
public:
    MessageAnswer messageBox(const QString &text, const QString &title, MessageIcon icon, MessageButtons buttons) override
    {
        return scripted.messageBox(text, title, icon, buttons);
    }
    std::optional<QString> inputBox(const QString &p, const QString &t, const QString &i) override { return scripted.inputBox(p, t, i); }
    std::optional<QString> browseFolder(const QString &t, const QString &s) override { return scripted.browseFolder(t, s); }
    bool openDocument(const QString &path) override { return !scripted.openDocument(path); }
    ScriptedDialogs scripted;
};

struct Viewer
{
    TestTree tree;
    ScriptedDialogs dialogs;
    Settings settings;
    QPointer<LogViewerWindow> window;

    explicit Viewer(const QByteArrayList &items, int langue = 0)
    {
        QVERIFY(tree.build(items.isEmpty() ? QByteArrayList{"other.txt"} : items));
        settings.PathLogs = tree.rootText();
        settings.Langue = langue;
        window = new LogViewerWindow(settings, dialogs);
        window->show();
    }
    ~Viewer() { delete window; }
    QLabel *date(int k) { return child<QLabel>(window, QString("lblDate%1").arg(k).toLatin1()); }
    // The right-button menu on date k, then its delete command.
    void removeDate(int k)
    {
        QTest::mousePress(date(k), Qt::RightButton);
        child<QAction>(window, "mnuSupprimerLog")->trigger();
    }
};

} // namespace

class TestLogDialogs : public QObject
{
    Q_OBJECT
private slots:
    void viewerShowsThreeDatesAndOpensTheNewest()
    {
        Viewer v({logName(3), logName(1), logName(2)}, 1);
        QCOMPARE(v.window->objectName(), "frmVoirLogs");
        QCOMPARE(v.window->windowTitle(), "Voir les journaux - [Retour à Vell] ->");
        QVERIFY(v.window->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(v.date(0)->text(), "2026-01-01");
        QCOMPARE(v.date(2)->text(), "2026-01-03");
        QCOMPARE(v.date(1)->y(), v.date(0)->y());
        QCOMPARE(v.date(2)->y(), v.date(0)->y());
        QVERIFY(v.date(0)->x() + v.date(0)->width() <= v.date(1)->x());
        QVERIFY(v.date(1)->x() + v.date(1)->width() <= v.date(2)->x());
        QCOMPARE(colourOf(v.window, "lblDate2"), Purple);
        QCOMPARE(colourOf(v.window, "lblDate0"), QColor(Qt::blue));
        QCOMPARE(v.dialogs.documents, QStringList{v.tree.pathText(logName(3))});
        QVERIFY(v.dialogs.boxes.isEmpty());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(v.window->frameGeometry().right(), screen.right());
        QCOMPARE(v.window->frameGeometry().top(), screen.top());
    }

    void fifthDateStartsASecondRow()
    {
        Viewer v(logs(5));
        QCOMPARE(v.date(4)->x(), v.date(0)->x());
        QVERIFY(v.date(4)->y() >= v.date(0)->y() + v.date(0)->height());
        QCOMPARE(v.date(3)->y(), v.date(0)->y());
        QVERIFY(v.date(3)->x() > v.date(2)->x());
    }

    void emptyFolderShowsNothing_data()
    {
        QTest::addColumn<bool>("missing");
        QTest::newRow("empty") << false;
        QTest::newRow("missing") << true;
    }
    void emptyFolderShowsNothing()
    {
        QFETCH(bool, missing);
        TestTree tree;
        ScriptedDialogs dialogs;
        Settings settings;
        settings.PathLogs = missing ? tree.pathText("gone") : tree.rootText();
        LogViewerWindow window(settings, dialogs);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        QVERIFY(window.findChildren<QLabel *>().isEmpty());
        QVERIFY(dialogs.documents.isEmpty() && dialogs.boxes.isEmpty());
    }

    void clickOpensAndAsksForTheMainWindowToMinimise()
    {
        Viewer v(logs(3));
        QSignalSpy clicked(v.window, &LogViewerWindow::dateClicked);
        QSignalSpy closed(v.window, &LogViewerWindow::closed);
        QCOMPARE(clicked.count(), 0); // the automatic opening leaves the main window alone
        QTest::mouseClick(v.date(0), Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(colourOf(v.window, "lblDate0"), Purple);
        QCOMPARE(colourOf(v.window, "lblDate1"), QColor(Qt::blue));
        QCOMPARE(v.dialogs.documents.last(), v.tree.pathText(logName(1)));
        v.window->close();
        QCOMPARE(closed.count(), 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(v.window.isNull()); // discarded on close
    }

    void deleteAsksAndRemovesOnlyThatLog()
    {
        Viewer v(logs(6) << "Log Vell 2026-01-02 copy.htm" << "notes.txt");
        QCOMPARE(v.date(2)->text(), "2026-01-02");
        v.dialogs.answers = {MessageAnswer::No};
        v.removeDate(2);
        QCOMPARE(child<QAction>(v.window, "mnuSupprimerLog")->text(), "Remove Log '2026-01-02'");
        QCOMPARE(child<QAction>(v.window, "mnuAnnuler")->text(), "Cancel");
        QCOMPARE(v.dialogs.boxes.size(), 1);
        QCOMPARE(v.dialogs.boxes[0].text, "Remove Log '2026-01-02'");
        QCOMPARE(v.dialogs.boxes[0].title, "Vell");
        QCOMPARE(v.dialogs.boxes[0].icon, MessageIcon::Question);
        QCOMPARE(v.dialogs.boxes[0].buttons, MessageButtons::YesNo);
        QVERIFY(v.tree.exists(logName(2)));
        QVERIFY(!v.date(2)->isHidden());

        const QByteArrayList before = v.tree.entries("");
        v.dialogs.answers = {MessageAnswer::Yes};
        v.removeDate(2);
        QByteArrayList expected = before;
        expected.removeOne(logName(2));
        QCOMPARE(v.tree.entries(""), expected);
        QVERIFY(v.date(2)->isHidden());
        QCOMPARE(v.dialogs.boxes.size(), 2); // no failure shown
        const QPoint kept = v.date(3)->pos();
        QScrollBar *bar = child<QScrollBar>(v.window, "VScroll1");
        bar->setMaximum(100);
        bar->setValue(20);
        QVERIFY(v.date(2)->isHidden());
        QCOMPARE(v.date(3)->pos(), kept); // the labels stay where they were, the gap too
    }

    void failedDeleteIsShown()
    {
        Viewer v(logs(2), 2);
        // The log became a folder after the viewer listed it: it is not a log to delete, even for root.
        QVERIFY(QFile::remove(v.tree.pathText(logName(1))) && v.tree.mkdir(logName(1)));
        v.dialogs.answers = {MessageAnswer::Yes};
        v.removeDate(0);
        QVERIFY(v.tree.isDir(logName(1)));
        QVERIFY(!v.date(0)->isHidden());
        QCOMPARE(v.dialogs.boxes.size(), 2);
        QCOMPARE(v.dialogs.boxes[1].icon, MessageIcon::Critical);
        QCOMPARE(v.dialogs.boxes[1].title, "Vell");
        QVERIFY(v.dialogs.boxes[1].text.startsWith("Não foi possível suprimir o jornal:\n" + v.tree.pathText(logName(1))));

        // A log removed behind the viewer's back is reported and its date goes.
        QVERIFY(QFile::remove(v.tree.pathText(logName(2))));
        v.dialogs.answers = {MessageAnswer::Yes};
        v.removeDate(1);
        QCOMPARE(v.dialogs.boxes.size(), 4);
        QCOMPARE(v.dialogs.boxes[3].icon, MessageIcon::Critical);
        QVERIFY(v.date(1)->isHidden());
    }

    void failedOpeningIsShown()
    {
        TestTree tree;
        QVERIFY(tree.build({logName(1)}));
        NoBrowser dialogs;
        Settings settings;
        settings.PathLogs = tree.rootText();
        LogViewerWindow window(settings, dialogs);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        QCOMPARE(dialogs.scripted.boxes.size(), 1);
        QCOMPARE(dialogs.scripted.boxes[0].text, "The Log could not be opened:\n" + tree.pathText(logName(1)));
    }

    void scrollingMovesTheDates()
    {
        Viewer v(logs(59));
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

    void pathDialogStoresTheFolderShown()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("logs") && tree.mkdir("other"));
        const ProgramFiles files{tree.rootText()};
        ScriptedDialogs dialogs;
        Settings settings;
        settings.Langue = 1;
        settings.Logs = true;
        settings.PathLogs = tree.pathText("logs");
        PathLogsDialog dialog(files, settings, dialogs);
        QCOMPARE(dialog.windowTitle(), "Vell 2.1e");
        QCOMPARE(child<QPushButton>(&dialog, "cmdAnnuler")->text(), "&Annuler");
        QVERIFY(child<QCheckBox>(&dialog, "chkLogs")->isChecked());
        QVERIFY(!child<QCheckBox>(&dialog, "chkFichiersLogs")->isChecked());
        QCOMPARE(child<QLabel>(&dialog, "lblDossier")->text(), tree.pathText("logs"));

        // Another folder chosen in the list, then logging turned off: the folder choice greys out but counts.
        auto *tree_view = child<QTreeView>(&dialog, "Chemins");
        const auto *model = qobject_cast<QFileSystemModel *>(tree_view->model());
        tree_view->setCurrentIndex(model->index(tree.pathText("other")));
        QCOMPARE(child<QLabel>(&dialog, "lblDossier")->text(), tree.pathText("other"));
        child<QCheckBox>(&dialog, "chkLogs")->click();
        for (const char *name : {"chkFichiersLogs", "lblTitre", "Lecteurs", "Chemins", "lblDossier"})
            QVERIFY2(!child<QWidget>(&dialog, name)->isEnabled(), name);
        QVERIFY(child<QPushButton>(&dialog, "cmdOK")->isEnabled());
        child<QPushButton>(&dialog, "cmdOK")->click();
        QCOMPARE(dialog.result(), QDialog::Accepted);
        QCOMPARE(tree.read("Vell.ini"), "[Logs]\r\nLogs=0\r\nFichiersLogs=0\r\nPathLogs=" + tree.path("other") + "\r\n");
        QVERIFY(!settings.Logs);
        QCOMPARE(settings.PathLogs, tree.pathText("other"));
    }

    void pathDialogCancelAndFailures()
    {
        TestTree tree;
        const ProgramFiles files{tree.rootText()};
        ScriptedDialogs dialogs;
        Settings settings;
        settings.PathLogs = tree.pathText("gone"); // removed since start-up
        {
            PathLogsDialog dialog(files, settings, dialogs);
            QCOMPARE(dialog.folder(), tree.rootText());
            QVERIFY(!child<QWidget>(&dialog, "Chemins")->isEnabled());
            child<QCheckBox>(&dialog, "chkLogs")->click();
            QVERIFY(child<QWidget>(&dialog, "Chemins")->isEnabled());
            child<QPushButton>(&dialog, "cmdAnnuler")->click();
            QCOMPARE(dialog.result(), QDialog::Rejected);
        }
        QVERIFY(!tree.exists("Vell.ini"));
        QVERIFY(!settings.Logs);
        QVERIFY(tree.mkdir("Vell.ini")); // a settings file that cannot be read, even by root
        PathLogsDialog dialog(files, settings, dialogs);
        child<QCheckBox>(&dialog, "chkLogs")->click();
        child<QPushButton>(&dialog, "cmdOK")->click();
        QCOMPARE(dialog.result(), 0);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes[0].icon, MessageIcon::Critical);
        QCOMPARE(dialogs.boxes[0].text, files.settingsFile() + ": Is a directory");
        QVERIFY(!settings.Logs);
    }

    void purgeDialogSteps()
    {
        TestTree tree;
        const ProgramFiles files{tree.rootText()};
        ScriptedDialogs dialogs;
        Settings settings;
        settings.Langue = 1;
        settings.DelaiLogs = 3;
        PurgeLogsDialog dialog(files, settings, dialogs);
        QCOMPARE(child<QLabel>(&dialog, "lblJours")->text(), "jours");
        QVERIFY(!child<QCheckBox>(&dialog, "chkPurgeLogs")->isChecked());
        QCOMPARE(child<QLineEdit>(&dialog, "Text1")->text(), "3");
        QVERIFY(child<QLabel>(&dialog, "Label1")->isHidden());
        child<QToolButton>(&dialog, "UpDown1Down")->click();
        QCOMPARE(child<QLineEdit>(&dialog, "Text1")->text(), "2");
        QVERIFY(!child<QLabel>(&dialog, "Label1")->isHidden());
        QCOMPARE(child<QLabel>(&dialog, "Label1")->text(), "Valeur minimale atteinte");
        child<QToolButton>(&dialog, "UpDown1Up")->click();
        QCOMPARE(child<QLineEdit>(&dialog, "Text1")->text(), "3");
        QVERIFY(child<QLabel>(&dialog, "Label1")->isHidden());
        child<QPushButton>(&dialog, "cmdAnnuler")->click();
        QVERIFY(!tree.exists("Vell.ini"));
        QCOMPARE(settings.DelaiLogs, 3);
    }

    void purgeDialogOk_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::newRow("too small") << "1" << -1;
        QTest::newRow("too large") << "367" << -1;
        QTest::newRow("half to even") << "2.5" << 2;
        QTest::newRow("maximum") << "366" << 366;
    }
    void purgeDialogOk()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        TestTree tree;
        const ProgramFiles files{tree.rootText()};
        ScriptedDialogs dialogs;
        Settings settings;
        PurgeLogsDialog dialog(files, settings, dialogs);
        child<QCheckBox>(&dialog, "chkPurgeLogs")->click();
        child<QLineEdit>(&dialog, "Text1")->setText(typed);
        child<QPushButton>(&dialog, "cmdOK")->click();
        if (stored < 0) {
            QCOMPARE(dialogs.boxes.size(), 1);
            QCOMPARE(dialogs.boxes[0].text, "Invalid value: " + typed);
            QCOMPARE(dialogs.boxes[0].title, "Vell 2.1e");
            QCOMPARE(dialogs.boxes[0].icon, MessageIcon::Critical);
            QCOMPARE(dialog.result(), 0);
            QVERIFY(!tree.exists("Vell.ini"));
            QVERIFY(!settings.PurgeLogs);
            QCOMPARE(settings.DelaiLogs, 10);
        } else {
            QVERIFY(dialogs.boxes.isEmpty());
            QCOMPARE(dialog.result(), QDialog::Accepted);
            QCOMPARE(tree.read("Vell.ini"), "[Logs]\r\nPurgeLogs=1\r\nDelaiLogs=" + QByteArray::number(stored) + "\r\n");
            QVERIFY(settings.PurgeLogs);
            QCOMPARE(settings.DelaiLogs, stored);
        }
    }
};

QTEST_MAIN(TestLogDialogs)
#include "tst_logdialogs.moc"
