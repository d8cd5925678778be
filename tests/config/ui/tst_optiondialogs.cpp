// The three option dialogs on real settings files: what they show, the delay's arrows and refusal, OK and Cancel;
// and their logic on its own.
#include "common/controls.h"
#include "base/programidentity.h"
#include "base/ui/applycaptions.h"
#include "config/globaloptions.h"
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "config/ui/performancedialog.h"
#include "config/ui/prefixdialog.h"
#include "config/ui/tempodialog.h"
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <climits>
#include <unistd.h>

using namespace vell;

namespace {
struct Program
{
    TestTree tree;
    ProgramFiles files{tree.rootText()};
    Settings settings;
    ScriptedDialogs dialogs;
};
template <typename T> T *child(QWidget &dialog, const char *name) { return child<T>(&dialog, name); }
// The text typed, the arrow clicked, the value shown next and the limit named.
struct Step { bool up; const char *text; int value; DelayLimit limit; };
} // namespace

class TestOptionDialogs : public QObject
{
    Q_OBJECT
private slots:
    // The arrows step and name the limit reached; a value out of range or a settings file that cannot be written is
    // named in a box, and the dialog stays.
    void tempoStepsRefusesThenStores()
    {
        Program p;
        p.settings.Temporisation = 2;
        TempoDialog dialog(p.files, p.settings, true, p.dialogs);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), "Vell 2.1e");
        auto *text = child<QLineEdit>(dialog, "Text1");
        auto *label = child<QLabel>(dialog, "Label1");
        QCOMPARE(text->text(), "2");
        QVERIFY(label->isHidden());
        child<QToolButton>(dialog, "UpDown1Down")->click();
        QCOMPARE(text->text(), "1");
        QCOMPARE(label->text(), "Minimal temporisation reached");
        QVERIFY(!label->isHidden());
        text->setText("59999");
        child<QToolButton>(dialog, "UpDown1Up")->click();
        QCOMPARE(text->text(), "60000");
        QCOMPARE(label->text(), "Maximal temporisation reached");
        QTest::keyClick(text, Qt::Key_Down); // the arrow keys step too
        QCOMPARE(text->text(), "59999");
        QVERIFY(label->isHidden());
        const auto ok = [&](const char *typed) {
            text->setText(typed);
            child<QPushButton>(dialog, "cmdOK")->click();
        };
        ok("0");
        QVERIFY(p.tree.mkdir("Vell.ini")); // a settings file that cannot be written, even by root
        ok("30");
        QCOMPARE(p.dialogs.boxes.size(), 2);
        QCOMPARE(p.dialogs.boxes[0].text, "Invalid value: 0");
        QCOMPARE(p.dialogs.boxes[0].title, "Vell 2.1e");
        QCOMPARE(p.dialogs.boxes[1].text, p.files.settingsFile() + ": Is a directory");
        for (const ScriptedDialogs::Box &box : p.dialogs.boxes)
            QCOMPARE(box.icon, MessageIcon::Critical);
        QVERIFY(dialog.isVisible());
        QCOMPARE(p.settings.Temporisation, 2);
        QVERIFY(p.tree.isDir("Vell.ini") && ::rmdir(p.tree.path("Vell.ini")) == 0);
        ok("60000");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(p.dialogs.boxes.size(), 2);
        QCOMPARE(p.settings.Temporisation, 60000);
        QCOMPARE(p.tree.read("Vell.ini"), "[Configuration]\r\nTemporisation=60000\r\n");
        TempoDialog whileMirroring(p.files, p.settings, false, p.dialogs);
        QVERIFY(!child<QPushButton>(whileMirroring, "cmdOK")->isEnabled());
    }
    void performanceAndPrefixesStored()
    {
        Program p;
        p.settings.Performance = 500; // a hand-edited file
        p.settings.PrefixeCibleDefaut = QStringLiteral("/backup");
        p.settings.PrefixeCibleDefautUNC = QStringLiteral("//srv/share");
        PerformanceDialog performance(p.files, p.settings, p.dialogs);
        auto *slider = child<QSlider>(performance, "HScroll1");
        QCOMPARE(slider->value(), 100);
        slider->setValue(42);
        child<QPushButton>(performance, "cmdOK")->click();
        QCOMPARE(performance.result(), int(QDialog::Accepted));
        QCOMPARE(p.settings.Performance, 42);
        PrefixDialog prefix(p.files, p.settings, p.dialogs);
        auto *drive = child<QLineEdit>(prefix, "Text1");
        auto *unc = child<QLineEdit>(prefix, "Text2");
        QCOMPARE(drive->text(), "/backup");
        QCOMPARE(unc->text(), "//srv/share");
        drive->setText(" E: ");
        unc->clear();
        child<QPushButton>(prefix, "cmdOK")->click();
        QCOMPARE(prefix.result(), int(QDialog::Accepted));
        QCOMPARE(p.settings.PrefixeCibleDefaut, " E: "); // as typed
        QCOMPARE(p.settings.PrefixeCibleDefautUNC, QString());
        QCOMPARE(p.tree.read("Vell.ini"),
                 "[Configuration]\r\nPerformance=42\r\nPrefixeCibleDefaut= E: \r\nPrefixeCibleDefautUNC=\r\n");
    }
    // Every caption names a control of its form, in every language; Cancel and Escape close every dialog with no
    // change, in memory or on disk.
    void captionsAndCancel()
    {
        Program p;
        TempoDialog tempo(p.files, p.settings, true, p.dialogs);
        PerformanceDialog performance(p.files, p.settings, p.dialogs);
        PrefixDialog prefix(p.files, p.settings, p.dialogs);
        for (const int langue : {1, 2, 3}) {
            QCOMPARE(ApplyCaptions(&tempo, TempoDialogCaptions(langue)), QStringList());
            QCOMPARE(ApplyCaptions(&performance, PerformanceDialogCaptions(langue)), QStringList());
            QCOMPARE(ApplyCaptions(&prefix, PrefixDialogCaptions(langue)), QStringList());
        }
        QCOMPARE(child<QLabel>(prefix, "lblPrefixeUNC2")->text(),
                 "Universal Naming Convention. Ex. : \\\\Server\\Share"); // the last language applied
        child<QLineEdit>(tempo, "Text1")->setText("99");
        child<QPushButton>(tempo, "cmdAnnuler")->click();
        QCOMPARE(tempo.result(), int(QDialog::Rejected));
        child<QSlider>(performance, "HScroll1")->setValue(77);
        child<QPushButton>(performance, "cmdAnnuler")->click();
        prefix.show();
        child<QLineEdit>(prefix, "Text1")->setText("/x");
        QTest::keyClick(&prefix, Qt::Key_Escape);
        QVERIFY(!prefix.isVisible());
        QCOMPARE(p.settings.Temporisation, 10);
        QCOMPARE(p.settings.Performance, 1);
        QCOMPARE(p.settings.PrefixeCibleDefaut, QString());
        QVERIFY(!p.tree.exists("Vell.ini") && p.dialogs.boxes.isEmpty());
    }
    // The delay's arrows add or take one and name the bound, 1 or 60000, they reach.
    void delaySteps()
    {
        using enum DelayLimit;
        const Step rows[] = {
            {false, "3", 2, None}, {false, "2", 1, Minimum}, {false, "1", 1, Minimum},
            {false, "99999999999", INT_MAX - 1, None}, {true, "5", 6, None}, {true, "59999", 60000, Maximum},
            {true, "60000", 60000, Maximum}, {true, "59998", 59999, None}, {true, "-99999999999", INT_MIN + 1, None}};
        for (const auto &[up, text, value, limit] : rows) {
            const DelayStep step = up ? DelayStepUp(text) : DelayStepDown(text);
            QVERIFY2(step.value == value && step.limit == limit, text);
        }
    }
    // The delay OK stores (-1: refused, rounded first), the slider's clamp of a stored value, the texts.
    void checksAndTexts()
    {
        const std::pair<const char *, int> delays[] = {{"0", -1}, {"1", 1}, {"60000", 60000}, {"60001", -1},
                                                       {" 0.5", 1}, {"60000.5", -1}, {"1e12", -1}};
        for (const auto &[text, stored] : delays)
            QVERIFY2(CheckDelay(text).value_or(-1) == stored, text);
        for (const auto &[stored, shown] : {std::pair{0, 1}, {1, 1}, {37, 37}, {100, 100}, {101, 100}})
            QCOMPARE(int(PerformanceSliderValue(stored)), shown);
        QCOMPARE(InvalidDelayMessage(" 7x", 1), "Valeur de temporisation incorrecte:  7x");
        QCOMPARE(DelayLimitMessage(DelayLimit::Maximum, 2), "Temporização máxima atingida");
    }
    // A failed write leaves memory as it was, so that Cancel changes nothing; of the prefixes, a second that fails on
    // its own leaves the first written and held.
    void failedWriteChangesNothing()
    {
        TestTree tree;
        const ProgramFiles files{tree.rootText()}, gone{tree.rootText() + "/gone"}; // no folder there, even for root
        Settings settings;
        settings.PrefixeCibleDefautUNC = QStringLiteral("//old/share");
        QVERIFY(StoreDelay(gone, 30, settings) < 0 && StorePerformance(gone, 30, settings) < 0);
        QVERIFY(StoreTargetPrefixes(gone, "/b", "//s/x", settings) < 0);
        QCOMPARE(settings.Temporisation, 10);
        QCOMPARE(settings.Performance, 1);
        QCOMPARE(settings.PrefixeCibleDefaut, QString());
        QVERIFY(tree.entries("").isEmpty());
        QCOMPARE(StoreTargetPrefixes(files, "/backup", "//a\nb", settings), -EINVAL);
        QCOMPARE(settings.PrefixeCibleDefaut, "/backup");
        QCOMPARE(settings.PrefixeCibleDefautUNC, "//old/share");
        QCOMPARE(tree.read("Vell.ini"), "[Configuration]\r\nPrefixeCibleDefaut=/backup\r\n");
    }
};

QTEST_MAIN(TestOptionDialogs)
#include "tst_optiondialogs.moc"
