// The signature editor under the offscreen platform, on a real "Signatures.txt" and the table it reloads.
#include "common/scripteddialogs.h"
#include "common/testtree.h"
#include "base/programidentity.h"
#include "signatures/ui/signaturesdialog.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace vell;

namespace {

const QByteArray TwoRows = "\"ZZZZZZZZ\",\"z\",\"Zed\"\r\n\"AAAAAAAA\",\"a\",\"Ay\"\r\n";
const QColor Red(255, 0, 0), Magenta(255, 0, 255);

// A program folder, the running table (the built-in rows) and the dialog on them.
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
    template <typename T> T *find(const char *name) const
    {
        T *found = dialog->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QTreeWidget *list() const { return find<QTreeWidget>("lstSignatures"); }
    QString message() const { return find<QLabel>("lblMsg")->text(); }
    QColor colour() const { return find<QLabel>("lblMsg")->palette().color(QPalette::WindowText); }
    // The rows as shown, "SIG|ext|description; ...".
    QString rows() const
    {
        QStringList out;
        for (int i = 0; i < list()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = list()->topLevelItem(i);
            out << item->text(0) + '|' + item->text(1) + '|' + item->text(2);
        }
        return out.join(QLatin1String("; "));
    }
    QString boxes() const
    {
        return QString::number(find<QLineEdit>("txtSignature")->text().size()) + ':'
            + find<QLineEdit>("txtSignature")->text() + '|' + find<QLineEdit>("txtExtension")->text() + '|'
            + find<QLineEdit>("txtType")->text();
    }
    void type(const QString &signature, const QString &extension, const QString &description) const
    {
        find<QLineEdit>("txtSignature")->setText(signature);
        find<QLineEdit>("txtExtension")->setText(extension);
        find<QLineEdit>("txtType")->setText(description);
    }
    void click(const char *button) const { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    void clickRow(int row) const
    {
        const QRect rect = list()->visualItemRect(list()->topLevelItem(row));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QString tableRows() const
    {
        QStringList out;
        for (const SignatureEntry &e : table.entries())
            out << e.signature;
        return out.join(' ');
    }
};

const QString Builtins = "W6BNMSWD WDBNMSWD XDOCXPR3";

} // namespace

class TestSignaturesDialog : public QObject
{
    Q_OBJECT
private slots:
    void opensOnTheFileInItsOrder()
    {
        Editor e;
        QCOMPARE(e.dialog->objectName(), "frmGestionSignatures");
        QCOMPARE(e.dialog->windowTitle(), "Vell - Macintosh signatures (2)");
        QCOMPARE(e.rows(), "ZZZZZZZZ|z|Zed; AAAAAAAA|a|Ay");
        QCOMPARE(e.list()->headerItem()->text(2), "Type Macintosh");
        QCOMPARE(e.find<QPushButton>("cmdOK")->text(), "&Save");
        QVERIFY(e.find<QPushButton>("cmdOK")->isEnabled());
        QVERIFY(e.list()->selectedItems().isEmpty());
        QCOMPARE(e.message(), QString());
        QVERIFY(e.dialogs.boxes.isEmpty());
    }
    void opensEmptyWithoutAFile()
    {
        Editor e(QByteArray(), 1);
        QCOMPARE(e.dialog->windowTitle(), "Vell - Signatures Macintosh (0)");
        QCOMPARE(e.list()->topLevelItemCount(), 0);
        // The first add on an empty list saves a file of that row alone.
        e.type("CCCCCCCC", "", "Cee");
        e.click("cmdAjouter");
        QCOMPARE(e.message(), "Signature ajoutée: CCCCCCCC");
        e.click("cmdOK");
        QVERIFY(!e.dialog->isVisible());
        QCOMPARE(e.tree.read("Signatures.txt"), "\"CCCCCCCC\",\"\",\"Cee\"\r\n");
        QCOMPARE(e.tableRows(), "CCCCCCCC");
    }
    void showsWhatTheReadingMet()
    {
        Editor e("\"AAAAAAAA\",\"a\",\"Ay\"\r\n\"aaaaaaaa\",\"b\",\"Bee\"\r\n\"BBBBBBBB\",\"b\"");
        QCOMPARE(e.rows(), "AAAAAAAA|a|Ay");
        QCOMPARE(e.dialogs.boxes.size(), 2);
        QCOMPARE(e.dialogs.boxes.at(0).text, "Duplicate key in Signatures file: aaaaaaaa");
        QCOMPARE(e.dialogs.boxes.at(0).icon, MessageIcon::Exclamation);
        QCOMPARE(e.dialogs.boxes.at(1).icon, MessageIcon::Critical);
        QCOMPARE(e.dialogs.boxes.at(1).title, ProductName);
        Editor unreadable("/");
        QVERIFY(!unreadable.find<QPushButton>("cmdOK")->isEnabled());
        QCOMPARE(unreadable.dialogs.boxes.size(), 1);
    }

    void refusesBadInputInRedAndKeepsTheList()
    {
        Editor e;
        e.type("AAAAAAA", "a", "Ay");
        e.click("cmdAjouter");
        QCOMPARE(e.message(), "Type/Creator signature must be 8 characters");
        QCOMPARE(e.colour(), Red);
        e.type("CCCCCCCC", "c/", "Cee");
        e.click("cmdAjouter");
        QCOMPARE(e.message(), "Invalid character in Windows extension");
        QCOMPARE(e.rows(), "ZZZZZZZZ|z|Zed; AAAAAAAA|a|Ay");
        QCOMPARE(e.dialog->windowTitle(), "Vell - Macintosh signatures (2)");
        e.click("cmdAnnuler"); // nothing changed: no question
        QVERIFY(!e.dialog->isVisible());
        QVERIFY(e.dialogs.boxes.isEmpty());
    }
    void addsSelectsAndCounts()
    {
        Editor e;
        e.type("CCCCCCCC", "", "Cee");
        e.click("cmdAjouter");
        QCOMPARE(e.message(), "Added Signature: CCCCCCCC");
        QCOMPARE(e.colour(), Magenta);
        QCOMPARE(e.rows(), "ZZZZZZZZ|z|Zed; AAAAAAAA|a|Ay; CCCCCCCC||Cee");
        QCOMPARE(e.list()->selectedItems().value(0), e.list()->topLevelItem(2));
        QCOMPARE(e.dialog->windowTitle(), "Vell - Macintosh Signatures (3)");
        QCOMPARE(e.boxes(), "8:CCCCCCCC||Cee");
    }
    void clickFillsTheBoxesAndModifiesInPlace()
    {
        Editor e;
        e.type("CCCCCCC", "", "");
        e.click("cmdAjouter");
        e.clickRow(1);
        QCOMPARE(e.message(), QString()); // the click clears the message
        QCOMPARE(e.boxes(), "8:AAAAAAAA|a|Ay");
        e.click("cmdAjouter");
        QCOMPARE(e.message(), "Signature not modified: AAAAAAAA");
        QCOMPARE(e.colour(), Red);
        e.click("cmdOK"); // nothing changed: nothing written, nothing reloaded
        QVERIFY(!e.dialog->isVisible());
        QCOMPARE(e.tree.read("Signatures.txt"), TwoRows);
        QCOMPARE(e.tableRows(), Builtins);

        Editor m;
        m.clickRow(1);
        m.find<QLineEdit>("txtType")->setText("Ay ay");
        m.find<QLineEdit>("txtSignature")->setText("aaaaAAAA");
        m.click("cmdAjouter");
        QCOMPARE(m.message(), "Modified Signature: aaaaAAAA");
        QCOMPARE(m.rows(), "ZZZZZZZZ|z|Zed; aaaaAAAA|a|Ay ay");
        QCOMPARE(m.dialog->windowTitle(), "Vell - Macintosh Signatures (2)");
    }
    void removesTheSelectedRow()
    {
        Editor e;
        e.click("cmdSupprimer");
        QCOMPARE(e.message(), "Select a signature to remove");
        QCOMPARE(e.colour(), Red);
        e.clickRow(0);
        e.list()->setFocus();
        QTest::keyClick(e.list(), Qt::Key_Delete);
        QCOMPARE(e.message(), "Removed Signature: ZZZZZZZZ");
        QCOMPARE(e.colour(), Magenta);
        QCOMPARE(e.rows(), "AAAAAAAA|a|Ay");
        QVERIFY(e.list()->selectedItems().isEmpty());
        QCOMPARE(e.boxes(), "8:ZZZZZZZZ|z|Zed"); // the boxes are not cleared
        QCOMPARE(e.dialog->windowTitle(), "Vell - Macintosh Signatures (1)");
        e.click("cmdSupprimer"); // nothing selected any more
        QCOMPARE(e.rows(), "AAAAAAAA|a|Ay");
    }
    void headingsSortWithOneSharedDirection()
    {
        Editor e;
        e.type("MMMMMMMM", "b", "Em");
        e.click("cmdAjouter");
        QHeaderView *header = e.list()->header();
        const auto clickHeading = [&](int column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                     header->height() / 2));
        };
        clickHeading(0);
        QCOMPARE(e.rows(), "AAAAAAAA|a|Ay; MMMMMMMM|b|Em; ZZZZZZZZ|z|Zed");
        clickHeading(1);
        QCOMPARE(e.rows(), "ZZZZZZZZ|z|Zed; MMMMMMMM|b|Em; AAAAAAAA|a|Ay");
        e.type("BBBBBBBB", "y", "Bee"); // an added row takes its place in the order
        e.click("cmdAjouter");
        QCOMPARE(e.rows(), "ZZZZZZZZ|z|Zed; BBBBBBBB|y|Bee; MMMMMMMM|b|Em; AAAAAAAA|a|Ay");
    }

    void saveWritesSortedAndReloadsTheTable()
    {
        Editor e;
        e.type("W6BNMSWD", "wd6", "Word");
        e.click("cmdAjouter");
        e.clickRow(0);
        e.click("cmdSupprimer");
        e.click("cmdOK");
        QVERIFY(!e.dialog->isVisible());
        QCOMPARE(e.dialog->result(), int(QDialog::Accepted));
        QCOMPARE(e.tree.read("Signatures.txt"), "\"AAAAAAAA\",\"a\",\"Ay\"\r\n\"W6BNMSWD\",\"wd6\",\"Word\"\r\n");
        QCOMPARE(e.tableRows(), "AAAAAAAA W6BNMSWD");
        QCOMPARE(ExtensionForSignature(e.table, "w6bnmswd"), "wd6");
        QVERIFY(e.dialogs.boxes.isEmpty());
    }
    void failedSaveIsShownAndKeepsTheChanges()
    {
        Editor e;
        e.type("CCCCCCCC", "c", "Cee");
        e.click("cmdAjouter");
        QVERIFY(QFile::remove(e.tree.pathText("Signatures.txt")));
        QVERIFY(e.tree.mkdir("Signatures.txt/in-the-way"));
        e.click("cmdOK");
        QVERIFY(e.dialog->isVisible());
        QCOMPARE(e.dialogs.boxes.size(), 1);
        QCOMPARE(e.dialogs.boxes.at(0).icon, MessageIcon::Critical);
        QVERIFY2(e.dialogs.boxes.at(0).text.startsWith("Cannot write Signatures file:\r\n"
                                                       + e.tree.pathText("Signatures.txt") + "\r\n"),
                 qPrintable(e.dialogs.boxes.at(0).text));
        QCOMPARE(e.tableRows(), Builtins);
        // Mended, the same changes save.
        QVERIFY(QDir(e.tree.pathText("Signatures.txt")).removeRecursively());
        e.click("cmdOK");
        QVERIFY(!e.dialog->isVisible());
        QCOMPARE(e.tableRows(), "AAAAAAAA CCCCCCCC ZZZZZZZZ");
    }
    void closingWithChangesAsks()
    {
        Editor e(TwoRows, 1);
        e.clickRow(0);
        e.click("cmdSupprimer");
        e.dialogs.answers = {MessageAnswer::No, MessageAnswer::No, MessageAnswer::Yes};
        e.click("cmdAnnuler");
        QVERIFY(e.dialog->isVisible());
        QCOMPARE(e.dialogs.boxes.size(), 1);
        QCOMPARE(e.dialogs.boxes.at(0).text, "Liste modifiée\r\nQuitter sans sauvegarder les modifications");
        QCOMPARE(e.dialogs.boxes.at(0).icon, MessageIcon::Question);
        QCOMPARE(e.dialogs.boxes.at(0).buttons, MessageButtons::YesNo);
        QCOMPARE(e.dialogs.boxes.at(0).title, ProductName);
        QVERIFY(!e.dialog->close()); // the close box asks as well
        QCOMPARE(e.dialogs.boxes.size(), 2);
        QTest::keyClick(e.dialog.get(), Qt::Key_Escape);
        QVERIFY(!e.dialog->isVisible());
        QCOMPARE(e.dialog->result(), int(QDialog::Rejected));
        QCOMPARE(e.tree.read("Signatures.txt"), TwoRows);
        QCOMPARE(e.tableRows(), Builtins);
    }
};

QTEST_MAIN(TestSignaturesDialog)
#include "tst_signaturesdialog.moc"
