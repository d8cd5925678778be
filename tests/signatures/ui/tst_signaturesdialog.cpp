// The signature editor under the offscreen platform, on a real "Signatures.txt" and the table it reloads.
#include "common/controls.h"
#include "base/programidentity.h"
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "signatures/ui/signaturesdialog.h"
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace vell;

namespace {
const QByteArray TwoRows = "\"ZZZZZZZZ\",\"z\",\"Zed\"\r\n\"AAAAAAAA\",\"a\",\"Ay\"\r\n";
const QString Builtins = "W6BNMSWD WDBNMSWD XDOCXPR3";
const QColor Red(255, 0, 0), Magenta(255, 0, 255);
const char *const BoxNames[] = {"txtSignature", "txtExtension", "txtType"};
// A program folder, the running table (the built-in rows) and the shown dialog on them.
struct Editor
{
    TestTree tree;
    ScriptedDialogs dialogs;
    SignatureTable table;
    std::unique_ptr<SignaturesDialog> dialog;
    explicit Editor(const QByteArray &content = TwoRows, int32_t langue = 0)
    {
        if (!content.isNull())
            QVERIFY(content == "/" ? tree.mkdir("Signatures.txt") : tree.write("Signatures.txt", content));
        LoadDefaultSignatures(table);
        Settings settings;
        settings.Langue = langue;
        dialog = std::make_unique<SignaturesDialog>(ProgramFiles{tree.rootText()}, settings, table, dialogs);
        dialog->show();
    }
    template <typename T> T *find(const char *name) const { return child<T>(dialog.get(), name); }
    QTreeWidget *list() const { return find<QTreeWidget>("lstSignatures"); }
    QLineEdit *box(int i) const { return find<QLineEdit>(BoxNames[i]); }
    // lblMsg with its tone: "!" red, "+" magenta.
    QString message() const
    {
        const QLabel *label = find<QLabel>("lblMsg");
        const QColor colour = label->palette().color(QPalette::WindowText);
        const QString tone = colour == Red ? "!" : colour == Magenta ? "+" : "?";
        return label->text().isEmpty() ? QString() : tone + label->text();
    }
    // The rows as shown, "SIG|ext|description; ...", then "*" and the selected row's signature.
    QString rows() const
    {
        QStringList out;
        for (int i = 0; i < list()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = list()->topLevelItem(i);
            out << item->text(0) + '|' + item->text(1) + '|' + item->text(2);
        }
        const QList<QTreeWidgetItem *> selected = list()->selectedItems();
        return out.join("; ") + (selected.isEmpty() ? QString() : " *" + selected.first()->text(0));
    }
    QString boxes() const { return box(0)->text() + '|' + box(1)->text() + '|' + box(2)->text(); }
    void add(const QString &signature, const QString &extension, const QString &description) const
    {
        box(0)->setText(signature);
        box(1)->setText(extension);
        box(2)->setText(description);
        click("cmdAjouter");
    }
    void click(const char *button) const { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    void clickRow(int row) const
    {
        const QPoint at = list()->visualItemRect(list()->topLevelItem(row)).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
    }
    QString tableRows() const
    {
        QStringList out;
        for (const SignatureEntry &e : table.entries())
            out << e.signature;
        return out.join(' ');
    }
};
} // namespace

class TestSignaturesDialog : public QObject
{
    Q_OBJECT
private slots:
    void opensOnTheFile()
    {
        Editor e;
        QCOMPARE(e.dialog->objectName(), "frmGestionSignatures");
        QCOMPARE(e.dialog->windowTitle(), "Vell - Macintosh signatures (2)");
        QCOMPARE(e.rows(), "ZZZZZZZZ|z|Zed; AAAAAAAA|a|Ay"); // file order, nothing selected
        QCOMPARE(e.list()->headerItem()->text(2), "Type Macintosh");
        QCOMPARE(e.find<QPushButton>("cmdOK")->text(), "&Save");
        e.add("AAAAAAA", "a", "Ay");
        e.clickRow(0);
        e.click("cmdAjouter"); // neither a refusal nor a row not modified is a change: saving writes nothing
        e.click("cmdOK");
        QVERIFY(!e.dialog->isVisible());
        QCOMPARE(e.tableRows(), Builtins);
        QVERIFY(e.dialogs.boxes.isEmpty());
        Editor damaged("\"AAAAAAAA\",\"a\",\"Ay\"\r\n\"aaaaaaaa\",\"b\",\"Bee\"\r\n\"BBBBBBBB\",\"b\"");
        QCOMPARE(damaged.rows(), "AAAAAAAA|a|Ay");
        QVERIFY(damaged.dialogs.boxes.size() == 2 && damaged.dialogs.boxes.at(0).icon == MessageIcon::Exclamation
                && damaged.dialogs.boxes.at(1).icon == MessageIcon::Critical);
        QVERIFY(damaged.find<QPushButton>("cmdOK")->isEnabled());
        damaged.click("cmdAnnuler"); // closes without asking
        QVERIFY(!damaged.dialog->isVisible());
        QCOMPARE(damaged.dialogs.boxes.size(), 2);
        Editor unreadable("/");
        QVERIFY(!unreadable.find<QPushButton>("cmdOK")->isEnabled());
    }
    void editsTheList()
    {
        Editor e;
        e.add("AAAAAAA", "a", "Ay");
        QCOMPARE(e.message(), "!Type/Creator signature must be 8 characters");
        QCOMPARE(e.dialog->windowTitle(), "Vell - Macintosh signatures (2)"); // a refusal is no change
        e.add("CCCCCCCC", "", "Cee");
        QCOMPARE(e.message(), "+Added Signature: CCCCCCCC");
        QCOMPARE(e.rows(), "ZZZZZZZZ|z|Zed; AAAAAAAA|a|Ay; CCCCCCCC||Cee *CCCCCCCC");
        QCOMPARE(e.dialog->windowTitle(), "Vell - Macintosh Signatures (3)");
        QCOMPARE(e.boxes(), "CCCCCCCC||Cee");
        e.clickRow(1); // the click clears the message and shows the row
        QCOMPARE(e.message(), QString());
        QCOMPARE(e.boxes(), "AAAAAAAA|a|Ay");
        e.click("cmdAjouter");
        QCOMPARE(e.message(), "!Signature not modified: AAAAAAAA");
        e.add("aaaaAAAA", "a", "Ay ay");
        QCOMPARE(e.message(), "+Modified Signature: aaaaAAAA");
        QCOMPARE(e.rows(), "ZZZZZZZZ|z|Zed; aaaaAAAA|a|Ay ay; CCCCCCCC||Cee *aaaaAAAA");
        e.list()->clearSelection();
        e.click("cmdSupprimer");
        QCOMPARE(e.message(), "!Select a signature to remove");
        e.clickRow(0);
        QTest::keyClick(e.list(), Qt::Key_Delete);
        QCOMPARE(e.message(), "+Removed Signature: ZZZZZZZZ");
        QCOMPARE(e.rows(), "aaaaAAAA|a|Ay ay; CCCCCCCC||Cee"); // nothing selected
        QCOMPARE(e.boxes(), "ZZZZZZZZ|z|Zed");                 // the boxes keep their texts
        QCOMPARE(e.dialog->windowTitle(), "Vell - Macintosh Signatures (2)");
        e.dialogs.answers = {MessageAnswer::No, MessageAnswer::No, MessageAnswer::Yes};
        e.click("cmdAnnuler"); // closing with changes asks
        QVERIFY(e.dialog->isVisible());
        QVERIFY(e.dialogs.boxes.size() == 1 && e.dialogs.boxes.at(0).icon == MessageIcon::Question
                && e.dialogs.boxes.at(0).buttons == MessageButtons::YesNo);
        QCOMPARE(e.dialogs.boxes.at(0).text, "Modified list\r\nDiscard changes");
        QVERIFY(!e.dialog->close()); // the close box asks as well
        QTest::keyClick(e.dialog.get(), Qt::Key_Escape);
        QCOMPARE(e.dialogs.boxes.size(), 3);
        QVERIFY(!e.dialog->isVisible());
        QCOMPARE(e.dialog->result(), int(QDialog::Rejected));
        QCOMPARE(e.tree.read("Signatures.txt"), TwoRows);
        QCOMPARE(e.tableRows(), Builtins);
    }
    void saveWritesAndReloadsTheTable()
    {
        Editor e{QByteArray()}; // no file: an empty list, although the table holds the built-in rows
        QCOMPARE(e.rows(), QString());
        e.add("W6BNMSWD", "wd6", "Word");
        e.add("AAAAAAAA", "", "Ay");
        QHeaderView *header = e.list()->header();
        const auto clickHeading = [&](int column) { // the headings sort with one direction for all columns
            const QPoint middle(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middle);
        };
        clickHeading(0);
        QCOMPARE(e.rows(), "AAAAAAAA||Ay; W6BNMSWD|wd6|Word *AAAAAAAA");
        clickHeading(1);
        QCOMPARE(e.rows(), "W6BNMSWD|wd6|Word; AAAAAAAA||Ay *AAAAAAAA");
        e.add("MMMMMMMM", "b", "Em"); // an added row takes its place in the order
        QCOMPARE(e.rows(), "W6BNMSWD|wd6|Word; MMMMMMMM|b|Em; AAAAAAAA||Ay *MMMMMMMM");
        QVERIFY(e.tree.mkdir("Signatures.txt/in-the-way"));
        e.click("cmdOK");
        QVERIFY(e.dialog->isVisible());
        const QString failure = "Cannot write Signatures file:\r\n" + e.tree.pathText("Signatures.txt");
        QVERIFY(e.dialogs.boxes.size() == 1 && e.dialogs.boxes.at(0).icon == MessageIcon::Critical
                && e.dialogs.boxes.at(0).text.startsWith(failure));
        QCOMPARE(e.tableRows(), Builtins);
        QVERIFY(QDir(e.tree.pathText("Signatures.txt")).removeRecursively());
        e.click("cmdOK"); // mended, the same changes save
        QVERIFY(!e.dialog->isVisible());
        QCOMPARE(e.dialog->result(), int(QDialog::Accepted));
        QCOMPARE(e.tree.read("Signatures.txt"),
                 "\"AAAAAAAA\",\"\",\"Ay\"\r\n\"MMMMMMMM\",\"b\",\"Em\"\r\n\"W6BNMSWD\",\"wd6\",\"Word\"\r\n");
        QCOMPARE(e.tableRows(), "AAAAAAAA MMMMMMMM W6BNMSWD");
        QCOMPARE(e.dialogs.boxes.size(), 1);
    }
};

QTEST_MAIN(TestSignaturesDialog)
#include "tst_signaturesdialog.moc"
