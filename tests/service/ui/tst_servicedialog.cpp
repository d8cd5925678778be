// The service dialog on a real program folder, its unit folder in a temporary folder and systemctl recorded.
#include "common/controls.h"
#include "common/scripteddialogs.h"
#include "common/servicefixture.h"
#include "base/programidentity.h"
#include "engine/enginehost.h"
#include "service/ui/servicedialog.h"
#include <QAbstractButton>
#include <QLabel>
#include <QSignalSpy>

using namespace vell;

namespace {
struct BeepCounter final : EngineHost
{
    void yieldToInterface(int) override {}
    void beep() override { ++beeps; }
    int beeps = 0;
};

struct Dialog
{
    ServiceFixture f;
    Settings settings;
    BeepCounter host;
    ScriptedDialogs dialogs;
    std::unique_ptr<ServiceDialog> dialog;
    std::unique_ptr<QSignalSpy> indicator;
    const ProgramFiles files{f.tree.rootText()};
    void open()
    {
        dialog = std::make_unique<ServiceDialog>(f.control, settings, files, host, dialogs);
        indicator = std::make_unique<QSignalSpy>(dialog.get(), &ServiceDialog::indicatorChanged);
    }
    template <typename T> T *find(const char *name) const { return child<T>(dialog.get(), name); }
    void click(const char *name) const { find<QAbstractButton>(name)->click(); }
    [[nodiscard]] bool checked(const char *name) const { return find<QAbstractButton>(name)->isChecked(); }
    [[nodiscard]] QString status() const { return find<QLabel>("lblService")->text(); }
    [[nodiscard]] QList<bool> indicators() const
    {
        QList<bool> shown;
        for (const QList<QVariant> &call : *indicator)
            shown << call.at(0).toBool();
        return shown;
    }
};

const QString Installed = "Vell Service installed\n(mirroring operations start automatically when the service starts)";
} // namespace

class TestServiceDialog : public QObject
{
    Q_OBJECT
private slots:
    void init() { qunsetenv("VELL_SERVICE"); }
    // Not installed: the state shown; the event-log box is written when clicked; Remove refuses with a beep and shows
    // "Application"; Install with the chosen start type shows its message and ends the program.
    void notInstalled()
    {
        Dialog d;
        d.open();
        QCOMPARE(d.dialog->windowTitle(), "Vell Service [NT]");
        QCOMPARE(d.status(), "Vell Service not installed");
        QVERIFY(d.checked("optType0") && !d.checked("chkInteract") && !d.checked("chkDossierErrEventLog"));
        QVERIFY(d.find<QLabel>("lblInteract")->isHidden());
        d.click("chkDossierErrEventLog");
        QVERIFY(d.settings.ErreurDossierEventLog);
        QCOMPARE(d.f.tree.read("Vell.ini"), "[Configuration]\r\nErreurDossierEventLog=1\r\n");
        d.click("cmdRemove");
        QCOMPARE(d.status(), "Vell Service not installed");
        QVERIFY(d.host.beeps == 1 && d.f.runner.calls.isEmpty() && d.f.log.entries.isEmpty());
        QCOMPARE(d.indicators(), QList<bool>{false});
        d.click("optType1");
        d.click("chkInteract");
        QVERIFY(!d.find<QLabel>("lblInteract")->isHidden());
        d.click("cmdInstall");
        QVERIFY(d.f.control.IsInstalled() && d.f.control.Interactive());
        QCOMPARE(d.f.runner.calls.last(), Ctl("disable")); // manual: installed, not enabled
        QCOMPARE(d.status(), Installed);
        QCOMPARE(d.indicators(), (QList<bool>{false, true}));
        QCOMPARE(d.dialogs.boxes.size(), 1);
        QCOMPARE(d.dialogs.boxes[0].text, Installed + "\n\nConfiguration and start, see\n'Control panel/Services'");
        QVERIFY(d.dialogs.boxes[0].icon == MessageIcon::Information && d.dialogs.boxes[0].title == "Vell");
        QVERIFY(d.dialog->programMustEnd() && d.dialog->result() == QDialog::Accepted && d.host.beeps == 1);
    }
    // Installed (interactive, masked): the state shown; a failed event-log write is shown and the box goes back;
    // Install refuses with a beep; Remove removes and the dialog stays; Cancel then closes.
    void installed()
    {
        Dialog d;
        d.settings.ErreurDossierEventLog = true;
        d.f.control.setInteractive(true);
        d.f.install();
        d.f.runner.answer = [](const QStringList &) { return CommandResult{true, false, 1, "masked\n", {}}; };
        d.open();
        d.f.runner.answer = nullptr;
        QCOMPARE(d.status(), Installed);
        QVERIFY(d.checked("optType2") && d.checked("chkInteract") && d.checked("chkDossierErrEventLog"));
        QVERIFY(!d.find<QLabel>("lblInteract")->isHidden());
        d.click("chkInteract");
        QVERIFY(d.find<QLabel>("lblInteract")->isHidden());
        QVERIFY(d.f.tree.mkdir("Vell.ini"));
        d.click("chkDossierErrEventLog");
        QVERIFY(d.settings.ErreurDossierEventLog && d.checked("chkDossierErrEventLog"));
        QCOMPARE(d.dialogs.boxes.size(), 1);
        QCOMPARE(d.dialogs.boxes[0].text, d.files.settingsFile() + ": Is a directory");
        QVERIFY(d.dialogs.boxes[0].icon == MessageIcon::Critical);
        d.click("cmdInstall");
        QCOMPARE(d.status(), "Vell Service already installed");
        QVERIFY(d.host.beeps == 1 && d.indicators().isEmpty() && d.f.control.IsInstalled());
        d.click("cmdRemove");
        QCOMPARE(d.status(), "Vell Service: removed");
        QCOMPARE(d.indicators(), QList<bool>{false});
        QVERIFY(!d.f.control.IsInstalled() && !d.dialog->programMustEnd() && d.dialog->result() == 0);
        d.click("cmdAnnuler");
        QVERIFY(d.dialog->result() == QDialog::Rejected && !d.dialog->programMustEnd() && d.host.beeps == 1);
    }
};
QTEST_MAIN(TestServiceDialog)
#include "tst_servicedialog.moc"
