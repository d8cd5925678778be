// The folder-error alerts dialog on a real settings file; the alerts of a
// try are recorded instead of raised.
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "base/programidentity.h"
#include "engine/enginehost.h"
#include "service/alertsettings.h"
#include "service/ui/alertsdialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace vell;

namespace {
SystemInfo System(bool nt)
{
    SystemInfo system;
    system.IsNT = nt;
    return system;
}
} // namespace

namespace {

struct AlertRecorder final : EngineHost
{
    void yieldToInterface(int) override {}
    void showNotice(const QString &text) override { events << "notice " + text; }
    void beep() override { events << "beep"; }
    void runAlertCommand(const QStringList &argv) override { events << "command " + argv.join('|'); }
    void logEvent(const QString &text, int) override { events << "event " + text; }
    QStringList events;
};

struct Dialog
{
    TestTree tree;
    const ProgramFiles files{tree.rootText()};
    Settings settings;
    AlertRecorder host;
    ScriptedDialogs dialogs;
    std::unique_ptr<AlertsDialog> dialog;

    void open(bool nt = true)
    {
        dialog = std::make_unique<AlertsDialog>(settings, files, System(nt), host, dialogs);
    }
    template <typename T> T *find(const char *name) const
    {
        T *found = dialog->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    void click(const char *name) const { find<QAbstractButton>(name)->click(); }
    [[nodiscard]] bool enabled(const char *name) const { return find<QWidget>(name)->isEnabled(); }
    // "1" or "0" per box, then the text: the state on screen.
    [[nodiscard]] QString shown() const
    {
        QString state;
        for (const char *box : {"chkDossierErr", "chkDossierErrSon", "chkDossierErrNetSend"})
            state += find<QCheckBox>(box)->isChecked() ? '1' : '0';
        return state + ' ' + find<QLineEdit>("txtNetSend")->text();
    }
};

} // namespace

class TestAlertsDialog : public QObject
{
    Q_OBJECT
private slots:
    // Opening: the stored choices; the net-send controls follow their box,
    // and net send exists on NT only.
    void opening_data()
    {
        QTest::addColumn<bool>("nt");
        QTest::addColumn<bool>("stored"); // all three stored on, text "bob hi"
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("enabled"); // chkDossierErrNetSend, txtNetSend, lblNetSend, cmdEssayer
        QTest::newRow("no key") << true << false << "000 Administrator \"Warning from Vell: unknown folder\"" << "1000";
        QTest::newRow("all on") << true << true << "111 bob hi" << "1111";
        QTest::newRow("not NT") << false << true << "110 bob hi" << "0001";
    }
    void opening()
    {
        QFETCH(bool, nt);
        QFETCH(bool, stored);
        QFETCH(QString, shown);
        QFETCH(QString, enabled);
        Dialog d;
        if (stored) {
            d.settings.ErreurDossier = d.settings.ErreurDossierSon = d.settings.ErreurDossierNetSend = true;
            d.settings.MessageNetSend = "bob hi";
        }
        d.open(nt);
        QCOMPARE(d.dialog->windowTitle(), "Warning on unknown folder");
        QCOMPARE(d.shown(), shown);
        QString state;
        for (const char *name : {"chkDossierErrNetSend", "txtNetSend", "lblNetSend", "cmdEssayer"})
            state += d.enabled(name) ? '1' : '0';
        QCOMPARE(state, enabled);
    }

    // The net-send box turns its controls on and off; Try needs any alert.
    void netSendBox()
    {
        Dialog d;
        d.open();
        d.click("chkDossierErrNetSend");
        QVERIFY(d.enabled("txtNetSend") && d.enabled("lblNetSend") && d.enabled("cmdEssayer"));
        d.click("chkDossierErrNetSend");
        QVERIFY(!d.enabled("txtNetSend") && !d.enabled("lblNetSend") && !d.enabled("cmdEssayer"));
        d.click("chkDossierErrSon");
        QVERIFY(d.enabled("cmdEssayer") && !d.enabled("txtNetSend"));
    }

    // Try raises each chosen alert with the text as it stands, or says why
    // it cannot send; nothing is written.
    void tryAlerts_data()
    {
        QTest::addColumn<QString>("boxes"); // the boxes clicked
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("path"); // "bin": a net program on PATH
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("box");
        QTest::newRow("all") << "chkDossierErr chkDossierErrSon chkDossierErrNetSend" << "bob \"a b\"" << "bin"
                             << QStringList{"notice", "beep", "command net|send|bob|a b"} << "";
        QTest::newRow("empty text") << "chkDossierErrSon chkDossierErrNetSend" << "" << "bin" << QStringList{"beep"}
                                    << "No message to send";
        QTest::newRow("no net program") << "chkDossierErrNetSend" << "bob hi" << "" << QStringList{}
                                        << "Program 'net' not found (PATH)";
    }
    void tryAlerts()
    {
        QFETCH(QString, boxes);
        QFETCH(QString, text);
        QFETCH(QString, path);
        QFETCH(QStringList, events);
        QFETCH(QString, box);
        Dialog d;
        d.settings.ErreurDossierEventLog = true; // never raised by a try
        QVERIFY(d.tree.write("bin/net", "#!/bin/sh\n") && d.tree.setMode("bin/net", 0755));
        d.open();
        for (const QString &name : boxes.split(' '))
            d.click(qPrintable(name));
        d.find<QLineEdit>("txtNetSend")->setText(text);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", d.tree.path(path.toUtf8()));
        d.click("cmdEssayer");
        qputenv("PATH", oldPath);
        QStringList kinds = d.host.events;
        for (QString &e : kinds)
            if (e.startsWith("notice "))
                e = "notice";
        QCOMPARE(kinds, events);
        if (events.value(0) == "notice")
            QVERIFY2(d.host.events[0].endsWith(" - Test: Warning on unknown folder"), qPrintable(d.host.events[0]));
        QCOMPARE(d.dialogs.boxes.size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty())
            QVERIFY(d.dialogs.boxes[0].text == box && d.dialogs.boxes[0].title == "Vell"
                    && d.dialogs.boxes[0].icon == MessageIcon::Exclamation);
        QVERIFY(!d.tree.exists("Vell.ini") && !d.settings.ErreurDossier && d.dialog->result() == 0);
    }

    // OK writes the four keys and the settings, the empty text included,
    // and the menu's mark follows; Cancel writes nothing.
    void okAndCancel_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("OK") << "cmdOK"
                            << QByteArray("[Configuration]\r\nErreurDossier=0\r\nErreurDossierSon=1\r\n"
                                          "ErreurDossierNetSend=0\r\nMessageNetSend=\r\n");
        QTest::newRow("Cancel") << "cmdAnnuler" << QByteArray();
    }
    void okAndCancel()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, file);
        Dialog d;
        d.open();
        d.click("chkDossierErrSon");
        d.find<QLineEdit>("txtNetSend")->setText("");
        d.click(qPrintable(button));
        QCOMPARE(d.dialog->result(), file.isEmpty() ? QDialog::Rejected : QDialog::Accepted);
        QCOMPARE(d.tree.read("Vell.ini"), file);
        QCOMPARE(d.settings.ErreurDossierSon, !file.isEmpty());
        QCOMPARE(d.settings.MessageNetSend.isEmpty(), !file.isEmpty());
        QCOMPARE(AlertMenuChecked(d.settings), !file.isEmpty());
        QVERIFY(d.host.events.isEmpty());
    }

    // A write that fails is shown, and the dialog stays open unchanged.
    void okFails()
    {
        Dialog d;
        QVERIFY(d.tree.mkdir("Vell.ini"));
        d.open();
        d.click("chkDossierErr");
        d.click("cmdOK");
        QCOMPARE(d.dialogs.boxes.size(), 1);
        QCOMPARE(d.dialogs.boxes[0].text, d.files.settingsFile() + ": Is a directory");
        QVERIFY(d.dialogs.boxes[0].icon == MessageIcon::Critical);
        QVERIFY(d.dialog->result() == 0 && !d.settings.ErreurDossier && d.find<QCheckBox>("chkDossierErr")->isChecked());
    }
};

QTEST_MAIN(TestAlertsDialog)
#include "tst_alertsdialog.moc"
