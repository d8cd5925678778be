// The folder-error alerts dialog on a real settings file; the alerts of a try are recorded instead of raised.
#include "common/controls.h"
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "base/programidentity.h"
#include "engine/enginehost.h"
#include "service/alertsettings.h"
#include "service/ui/alertsdialog.h"
#include <QCheckBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

using namespace vell;

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
        SystemInfo system;
        system.IsNT = nt;
        dialog = std::make_unique<AlertsDialog>(settings, files, system, host, dialogs);
    }
    template <typename T> T *find(const char *name) const { return child<T>(dialog.get(), name); }
    void click(const char *name) const { find<QAbstractButton>(name)->click(); }
    // "1" or "0" per control: checked boxes, or enabled controls.
    [[nodiscard]] QString state(bool checked, std::initializer_list<const char *> names) const
    {
        QString state;
        for (const char *name : names)
            state += (checked ? find<QCheckBox>(name)->isChecked() : find<QWidget>(name)->isEnabled()) ? '1' : '0';
        return state;
    }
    // The boxes, then the text: the state on screen.
    [[nodiscard]] QString shown() const
    {
        return state(true, {"chkDossierErr", "chkDossierErrSon", "chkDossierErrNetSend"}) + ' '
            + find<QLineEdit>("txtNetSend")->text();
    }
    [[nodiscard]] QString enabled() const
    {
        return state(false, {"chkDossierErrNetSend", "txtNetSend", "lblNetSend", "cmdEssayer"});
    }
    [[nodiscard]] QString box() const
    {
        return dialogs.boxes.isEmpty() ? QString() : dialogs.boxes[0].title + ' ' + dialogs.boxes[0].text;
    }
};

// The boxes clicked, the text, the PATH ("bin": one with a net program), the alerts raised and the box shown.
struct Try { QString boxes, text, path; QStringList events; QString box; };
// Stored: all three boxes on, text "bob hi"; toggled: enabled once the net-send box is clicked; file: Vell.ini once
// closed by the button ("/" a folder in its place, so that OK fails).
struct Opening { bool nt, stored; QString shown, enabled, toggled, button; QByteArray file; };
} // namespace

class TestAlertsDialog : public QObject
{
    Q_OBJECT
private slots:
    // Opening: the stored choices; net send exists on NT only. The net-send controls follow their box, and Try needs
    // any alert. OK writes the four keys and the settings, the empty text included, and the menu's mark follows; Cancel
    // writes nothing; a write that fails is shown, and the dialog stays open unchanged.
    void opening_data()
    {
        QTest::addColumn<Opening>("opening");
        QTest::newRow("no key, OK") << Opening{true, false, "000 Administrator \"Warning from Vell: unknown folder\"",
                                               "1000", "1111", "cmdOK", "[Configuration]\r\nErreurDossier=0\r\n"
                                               "ErreurDossierSon=1\r\nErreurDossierNetSend=1\r\nMessageNetSend=\r\n"};
        QTest::newRow("all on, Cancel") << Opening{true, true, "111 bob hi", "1111", "1001", "cmdAnnuler", {}};
        QTest::newRow("not NT, OK fails") << Opening{false, true, "110 bob hi", "0001", "0001", "cmdOK", "/"};
    }
    void opening()
    {
        QFETCH(Opening, opening);
        auto &[nt, stored, shown, enabled, toggled, button, file] = opening;
        Dialog d;
        d.settings.ErreurDossier = d.settings.ErreurDossierSon = d.settings.ErreurDossierNetSend = stored;
        d.settings.MessageNetSend = stored ? "bob hi" : d.settings.MessageNetSend;
        const bool fails = file == "/", written = !file.isEmpty() && !fails;
        QVERIFY(!fails || d.tree.mkdir("Vell.ini"));
        d.open(nt);
        QCOMPARE(d.dialog->windowTitle(), "Warning on unknown folder");
        QCOMPARE(d.shown(), shown);
        QCOMPARE(d.enabled(), enabled);
        d.click("chkDossierErrNetSend");
        QCOMPARE(d.enabled(), toggled);
        d.click("chkDossierErrSon");
        d.find<QLineEdit>("txtNetSend")->setText("");
        const QString before = d.shown();
        d.click(qPrintable(button));
        QCOMPARE(d.dialog->result(), written ? QDialog::Accepted : fails ? 0 : QDialog::Rejected);
        QCOMPARE(d.tree.read("Vell.ini"), written ? file : QByteArray());
        QVERIFY(d.settings.MessageNetSend.isEmpty() == written && d.settings.ErreurDossierSon == (stored || written));
        QCOMPARE(AlertMenuChecked(d.settings), stored || written);
        QCOMPARE(d.box(), fails ? "Vell " + d.files.settingsFile() + ": Is a directory" : QString());
        QVERIFY(!fails || (d.dialogs.boxes[0].icon == MessageIcon::Critical && d.shown() == before));
        QVERIFY(d.host.events.isEmpty());
    }
    // Try raises each chosen alert with the text as it stands, or says why it cannot send; nothing is written.
    void tryAlerts_data()
    {
        QTest::addColumn<Try>("tried");
        QTest::newRow("all") << Try{"chkDossierErr chkDossierErrSon chkDossierErrNetSend", "bob \"a b\"", "bin",
                                    {"notice", "beep", "command net|send|bob|a b"}, ""};
        QTest::newRow("empty text") << Try{"chkDossierErrSon chkDossierErrNetSend", "", "bin", {"beep"},
                                           "Vell No message to send"};
        QTest::newRow("no net program") << Try{"chkDossierErrNetSend", "bob hi", "", {},
                                               "Vell Program 'net' not found (PATH)"};
    }
    void tryAlerts()
    {
        QFETCH(Try, tried);
        auto &[boxes, text, path, events, box] = tried;
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
        QCOMPARE(d.host.events.replaceInStrings(QRegularExpression("^notice .* - Test: Warning on unknown folder$"),
                                                "notice"), events);
        QCOMPARE(d.box(), box);
        QVERIFY(d.dialogs.boxes.isEmpty() || d.dialogs.boxes[0].icon == MessageIcon::Exclamation);
        QVERIFY(!d.tree.exists("Vell.ini") && !d.settings.ErreurDossier && d.dialog->result() == 0);
    }
};
QTEST_MAIN(TestAlertsDialog)
#include "tst_alertsdialog.moc"
