// The service dialog on a real program folder, its unit folder in a
// temporary folder and systemctl recorded.
#include "common/scripteddialogs.h"
#include "common/servicefixture.h"
#include "base/programidentity.h"
#include "engine/enginehost.h"
#include "service/ui/servicedialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
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
    const ProgramFiles programFiles{f.tree.rootText()};

    [[nodiscard]] const ProgramFiles &files() const { return programFiles; }
    void open()
    {
        dialog = std::make_unique<ServiceDialog>(f.control, settings, programFiles, host, dialogs);
        indicator = std::make_unique<QSignalSpy>(dialog.get(), &ServiceDialog::indicatorChanged);
    }
    template <typename T> T *find(const char *name) const
    {
        T *found = dialog->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    void click(const char *name) const { find<QAbstractButton>(name)->click(); }
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

    // Opening shows the unit as it is, and the warning with the interactive box.
    void opening_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<int>("option");
        QTest::newRow("not installed") << false << false << 0;
        QTest::newRow("installed interactive, masked") << true << true << 2;
    }
    void opening()
    {
        QFETCH(bool, installed);
        QFETCH(bool, interactive);
        QFETCH(int, option);
        Dialog d;
        d.settings.ErreurDossierEventLog = installed;
        d.f.control.setInteractive(interactive);
        if (installed) {
            d.f.install();
            d.f.runner.answer = [](const QStringList &) { return CommandResult{true, false, 1, "masked\n", {}}; };
        }
        d.open();
        QCOMPARE(d.dialog->windowTitle(), "Vell Service [NT]");
        QCOMPARE(d.status(), installed ? Installed : "Vell Service not installed");
        QVERIFY(d.find<QRadioButton>(qPrintable("optType" + QString::number(option)))->isChecked());
        QVERIFY(d.find<QCheckBox>("chkInteract")->isChecked() == interactive);
        QVERIFY(d.find<QLabel>("lblInteract")->isHidden() == !interactive);
        QVERIFY(d.find<QCheckBox>("chkDossierErrEventLog")->isChecked() == installed);
        d.click("chkInteract");
        QVERIFY(d.find<QLabel>("lblInteract")->isHidden() == interactive);
    }

    // The event-log box is written when clicked; a failed write is shown
    // and the box goes back.
    void eventLogBox()
    {
        Dialog d;
        d.open();
        d.click("chkDossierErrEventLog");
        QVERIFY(d.settings.ErreurDossierEventLog);
        QCOMPARE(d.f.tree.read("Vell.ini"), "[Configuration]\r\nErreurDossierEventLog=1\r\n");
        QVERIFY(QFile::remove(d.files().settingsFile()) && d.f.tree.mkdir("Vell.ini"));
        d.click("chkDossierErrEventLog");
        QVERIFY(d.settings.ErreurDossierEventLog && d.find<QCheckBox>("chkDossierErrEventLog")->isChecked());
        QCOMPARE(d.dialogs.boxes.size(), 1);
        QCOMPARE(d.dialogs.boxes[0].text, d.files().settingsFile() + ": Is a directory");
        QVERIFY(d.dialogs.boxes[0].icon == MessageIcon::Critical);
    }

    // Install with the chosen start type, the message, then the end.
    void install()
    {
        Dialog d;
        d.open();
        d.click("optType1");
        d.click("chkInteract");
        d.click("cmdInstall");
        QVERIFY(d.f.control.IsInstalled() && d.f.control.Interactive());
        QCOMPARE(d.f.runner.calls.last(), Ctl("disable")); // manual: installed, not enabled
        QCOMPARE(d.status(), Installed);
        QCOMPARE(d.indicators(), QList<bool>{true});
        QCOMPARE(d.f.log.entries, QStringList{"4 " + Installed});
        QCOMPARE(d.dialogs.boxes.size(), 1);
        QCOMPARE(d.dialogs.boxes[0].text, Installed + "\n\nConfiguration and start, see\n'Control panel/Services'");
        QVERIFY(d.dialogs.boxes[0].icon == MessageIcon::Information && d.dialogs.boxes[0].title == "Vell");
        QVERIFY(d.dialog->programMustEnd() && d.dialog->result() == QDialog::Accepted && d.host.beeps == 0);
    }

    // Install when installed, Remove when not: the label says so, a beep,
    // and the dialog stays; Remove shows "Application" either way.
    void refusals_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QList<bool>>("indicators");
        QTest::newRow("install again") << true << "cmdInstall" << "Vell Service already installed" << 1 << ""
                                       << QList<bool>{};
        QTest::newRow("remove") << true << "cmdRemove" << "Vell Service: removed" << 0
                                << "4 Vell Service: removed" << QList<bool>{false};
        QTest::newRow("remove again") << false << "cmdRemove" << "Vell Service not installed" << 1 << ""
                                      << QList<bool>{false};
    }
    void refusals()
    {
        QFETCH(bool, installed);
        QFETCH(QString, button);
        QFETCH(QString, status);
        QFETCH(int, beeps);
        QFETCH(QString, logged);
        QFETCH(QList<bool>, indicators);
        Dialog d;
        if (installed)
            d.f.install();
        d.open();
        d.click(qPrintable(button));
        QCOMPARE(d.status(), status);
        QCOMPARE(d.host.beeps, beeps);
        QCOMPARE(d.f.log.entries, logged.isEmpty() ? QStringList() : QStringList{logged});
        QCOMPARE(d.indicators(), indicators);
        QVERIFY(d.f.control.IsInstalled() == (installed && button == "cmdInstall"));
        QVERIFY(!d.dialog->programMustEnd() && d.dialog->result() == 0 && d.dialogs.boxes.isEmpty());
    }

    // Cancel closes and changes nothing.
    void cancel()
    {
        Dialog d;
        d.open();
        d.click("optType2");
        d.click("cmdAnnuler");
        QVERIFY(d.dialog->result() == QDialog::Rejected && !d.dialog->programMustEnd());
        QVERIFY(!d.f.control.IsInstalled() && d.f.runner.calls.isEmpty() && !d.f.tree.exists("Vell.ini"));
    }
};

QTEST_MAIN(TestServiceDialog)
#include "tst_servicedialog.moc"
