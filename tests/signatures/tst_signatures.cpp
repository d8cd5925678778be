// The signatures file, loaded and saved for real, and the editor's list logic.
#include "common/testtree.h"
#include "platform/pathcodec.h"
#include "signatures/signaturefile.h"
#include "signatures/signatureediting.h"
#include "signatures/signatureloader.h"
#include <QTest>
#include <cstring>

using namespace vell;
using Entries = QList<SignatureEntry>;
using Kind = EditMessageKind;

namespace {
const QString Builtins = "W6BNMSWD|doc|Word 6 Document; WDBNMSWD|doc|Word 3/4/5 Macintosh Document; "
                         "XDOCXPR3|qxd|Quark XPress Document";
const QString Two = "AAAAAAAA|a|A; BBBBBBBB|b|B #2";
const QString Duplicate = " !D Duplicate key in Signatures file: ";
const QString Corrupt = " !C Corrupted Signatures file:\r\n<file>\r\nLine:";
// The built-in rows, after a corrupt file of which `accepted` records were taken.
QString broken(int accepted) { return Builtins + QString(" #%1").arg(accepted) + Corrupt + QString::number(accepted); }
const QByteArray OldFile = "\"OLDSIG01\",\"old\",\"The file before the save\"\r\n";
// "SIG|ext|description; ..." for a list of entries.
QString listed(const Entries &entries)
{
    QStringList rows;
    for (const SignatureEntry &e : entries)
        rows << e.signature + '|' + e.extension + '|' + e.description;
    return rows.join(QLatin1String("; "));
}
const Entries Start{{"AAAAAAAA", "a", "A"}, {"BBBBBBBB", "b", "B"}};
const QString StartListed = "AAAAAAAA|a|A; BBBBBBBB|b|B";
} // namespace

// The entry typed, the message, the row it lands on and the list after (empty: as at the start, and not modified).
struct Edit { SignatureEntry typed; Kind message; int row; QString after; };

class TestSignatures : public QObject
{
    Q_OBJECT
private slots:
    // The entries, the count, then each message (D a duplicate, C a corrupt file).
    void load_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file; "/": a folder
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<int>("langue");
        const QByteArray a = "\"AAAAAAAA\",\"a\",\"A\"", b = "\"BBBBBBBB\",\"b\",\"B\"";
        const auto row = [](const char *name, const QByteArray &content, const QString &loaded, int langue = 0) {
            QTest::newRow(name) << content << loaded << langue;
        };
        row("no file", {}, Builtins + " #0");
        row("no bytes", "", " #0");
        row("blank lines only", "\r\n  \r\n\n\t\r", " #0");
        row("CR LF", a + "\r\n" + b + "\r\n", Two);
        row("CR only, no final end", a + "\r" + b, Two);
        row("LF, blank lines around", "\n" + a + "\n  \n\n" + b + "\n\n", Two);
        row("record over lines", "\"AAAAAAAA\",\"a\"\r\n\"A\"\r\nBBBBBBBB\r\nb\r\nB", Two);
        row("blanks", "  AAAAAAAA,\ta,  A\r\n  \"BBBBBBBB\" ,\"b\"\t, \"B\"  ", Two);
        row("byte-order mark", "\xEF\xBB\xBF" + a + "\r\n" + b, Two);
        row("empty fields", "\"C\",\"c\",\r\n\"\",\"d\",\"D\"\r\nAAAAAAAA,,\" One, two \"", "AAAAAAAA|| One, two  #1");
        row("UTF-8", "TEXTR\xc3\xa9s,txt,\xe2\x80\x94 \xc3\x87", "TEXTRés|txt|— Ç #1");
        row("duplicate, portuguese", a + "\r\n\"aaaaaaaa\",\"b\",\"B\"", "AAAAAAAA|a|A #1" + Duplicate + "aaaaaaaa", 2);
        row("cut short", a + "\r\n" + b + "\r\n\"CCCCCCCC\",\"c\"\r\n", broken(2), 3);
        row("duplicate, cut short", a + "\r\nAAAAAAAa,b,B\r\nC",
            Builtins + " #1" + Duplicate + "AAAAAAAa" + Corrupt + "1");
        row("quote not closed", a + "\r\n\"BBBBBBBB\",\"b\",\"B\r\n\",\"x\",\"y\"", broken(1));
        row("text after the quote", "A,a,\"Word \"6\"\"", broken(0));
        row("quote in unquoted", "AAAAAAAA,a,Say \"A\"", broken(0));
        row("unreadable", "/", broken(0));
    }
    void load()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, loaded);
        QFETCH(int, langue);
        TestTree tree;
        const QString file = tree.pathText("Signatures.txt");
        if (!content.isNull())
            QVERIFY(content == "/" ? tree.mkdir("Signatures.txt") : tree.write("Signatures.txt", content));
        SignatureTable table;
        QVERIFY(table.add({"STALESIG", "old", "Left from an earlier load"}));
        table.setAcceptedRecords(9);
        const QList<SignatureLoadMessage> messages = LoadSignatures(table, file, langue);
        QString got = listed(table.entries()) + " #" + QString::number(table.acceptedRecords());
        for (const SignatureLoadMessage &m : messages)
            got += QString(m.kind == SignatureLoadMessage::Kind::Duplicate ? " !D " : " !C ") + m.text;
        QCOMPARE(got.replace(file, "<file>"), loaded);
    }
    // A save writes the entries sorted and quoted, read back the same; a refusal leaves the file as it was.
    void save_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<int>("langue");
        QTest::addColumn<QString>("message");
        const SignatureEntry good{"GOODGOOD", "g", "Good"};
        const QString unsaved = "Character that cannot be saved in signature: TEXTttxt";
        const auto row = [](const char *name, const Entries &entries, const QString &message, int langue = 3) {
            QTest::newRow(name) << entries << langue << message;
        };
        row("saved", {{"XDOCXPR3", "qxd", "Quark"}, {"tExT8BIM", "", "Photo, with blanks "},
                      {"TEXTR\u00e9s", "t", PathFromBytes("Cr\xe9" "ateur \x80\xff")}}, "");
        row("quote", {good, {"TEXTttxt", "t\"", "T"}}, "Double quote (\") not allowed in signature: TEXTttxt");
        row("line break", {{"TEXTttxt", "txt", "Two\nlines"}}, unsaved);
        row("lone surrogate", {{"TEXTttxt", "txt", QString(QChar(0xD800))}}, unsaved);
        row("same signature, other case", {good, {"goodGOOD", "x", "O"}}, "Duplicate key in Signatures file: goodGOOD");
        row("no description", {{"TEXTttxt", "txt", ""}}, "Macintosh type is mandatory: TEXTttxt", 2);
        row("no signature", {good, {"", "txt", "T"}}, "Type/Creator signature must be 8 characters");
        row("folder missing", {good}, "Cannot write Signatures file:\r\n<gone>\r\n" + QString(strerror(ENOENT)));
    }
    void save()
    {
        QFETCH(Entries, entries);
        QFETCH(int, langue);
        QFETCH(QString, message);
        TestTree tree;
        QVERIFY(tree.write("Signatures.txt", OldFile));
        const QString path = tree.pathText(message.contains("<gone>") ? "gone/Signatures.txt" : "Signatures.txt");
        QCOMPARE(signatureSaveMessage(saveSignatureFile(path, entries), langue), message.replace("<gone>", path));
        const QByteArray saved = "\"tExT8BIM\",\"\",\"Photo, with blanks \"\r\n\"TEXTR\xc3\xa9s\",\"t\","
                                 "\"Cr\xe9" "ateur \x80\xff\"\r\n\"XDOCXPR3\",\"qxd\",\"Quark\"\r\n";
        QCOMPARE(tree.read("Signatures.txt"), message.isEmpty() ? saved : OldFile);
        if (message.isEmpty())
            QCOMPARE(readSignatureFile(path).records, Entries({entries[1], entries[2], entries[0]}));
        QCOMPARE(tree.entries(""), QByteArrayList{"Signatures.txt"}); // no temporary file left
    }
    void addOrModify_data()
    {
        QTest::addColumn<Edit>("edit");
        const auto row = [](const QString &name, const SignatureEntry &typed, Kind message, int at = -1,
                            const QString &after = {}) {
            QTest::newRow(qPrintable(name)) << Edit{typed, message, at, after};
        };
        row("7-character signature", {"AAAAAAA", "a", "A"}, Kind::SignatureLength);
        row("9-character signature", {"AAAAAAAAA", "a", "A"}, Kind::SignatureLength);
        row("signature checked first", {"AAAA", "a/bcd", ""}, Kind::SignatureLength);
        row("4-character extension", {"CCCCCCCC", "abcd", "C"}, Kind::ExtensionLength);
        row("length checked before characters", {"CCCCCCCC", "a/bc", ""}, Kind::ExtensionLength);
        for (const char16_t c : ForbiddenExtensionCharacters) {
            if (c != u'\0')
                row(QString("extension holds ") + QChar(c), {"CCCCCCCC", QString("x") + QChar(c), "C"},
                    Kind::ExtensionCharacter);
        }
        row("no description", {"CCCCCCCC", "c", ""}, Kind::DescriptionMissing);
        row("new, empty extension, blanks kept", {"C c, \"C\"", "", " C "}, Kind::Added, 2,
            StartListed + "; C c, \"C\"|| C ");
        row("3-character extension", {"CCCCCCCC", "c.c", "C"}, Kind::Added, 2, StartListed + "; CCCCCCCC|c.c|C");
        row("same three texts", {"BBBBBBBB", "b", "B"}, Kind::NotModified, 1);
        row("description only", {"BBBBBBBB", "b", "Bee"}, Kind::Modified, 1, "AAAAAAAA|a|A; BBBBBBBB|b|Bee");
        row("extension only, emptied", {"AAAAAAAA", "", "A"}, Kind::Modified, 0, "AAAAAAAA||A; BBBBBBBB|b|B");
        row("letter case of the signature", {"bbbbBBBB", "b", "B"}, Kind::Modified, 1, "AAAAAAAA|a|A; bbbbBBBB|b|B");
    }
    void addOrModify()
    {
        QFETCH(Edit, edit);
        auto &[typed, message, row, after] = edit;
        SignatureEditor editor(Start);
        const SignatureEditor::Outcome outcome = editor.addOrModify(typed);
        QCOMPARE(outcome.message, message);
        QCOMPARE(outcome.row, row);
        QCOMPARE(outcome.signature, row < 0 ? QString() : typed.signature);
        QCOMPARE(listed(editor.rows()), after.isEmpty() ? StartListed : after);
        QCOMPARE(editor.isModified(), !after.isEmpty());
    }
    void remove()
    {
        SignatureEditor editor(Start);
        for (const int row : {-1, 2}) // none selected, past the end
            QCOMPARE(editor.remove(row).message, Kind::SelectFirst);
        QVERIFY(!editor.isModified());
        const SignatureEditor::Outcome outcome = editor.remove(1);
        QCOMPARE(outcome.message, Kind::Removed);
        QCOMPARE(outcome.signature, "BBBBBBBB");
        QCOMPARE(listed(editor.rows()), "AAAAAAAA|a|A");
        QVERIFY(editor.isModified());
        editor.markSaved();
        QVERIFY(!editor.isModified());
    }
    // Every caption and message, with its tone: "!" red with a beep, "+" magenta; Portuguese reads English.
    void texts()
    {
        const auto texts = [](int langue) {
            QStringList got{SignatureEditorTitle(0, false, langue), SignatureEditorTitle(12, true, langue)};
            for (const Caption &c : SignatureEditorCaptions(langue))
                got << c.objectName + '=' + c.text;
            got << SignatureListHeadings().join(' ') << DiscardSignatureChangesQuestion(langue);
            for (int k = int(Kind::SignatureLength); k <= int(Kind::Removed); ++k) {
                const EditTone tone = ToneOf(Kind(k));
                got << (tone == EditTone::Error ? "!" : tone == EditTone::None ? "?" : "+")
                        + SignatureEditMessage(Kind(k), "SIG", langue);
            }
            return got.join('|');
        };
        QCOMPARE(texts(1), "Vell - Signatures Macintosh (0)|Vell - Signatures Macintosh (12)|"
                           "lblSignature=Type/Créateur\r\n[obligatoire]|lblExtension=Extension\r\n[facultative]|"
                           "lblType=Type Macintosh (libellé)\r\n[obligatoire]|cmdAjouter=&Ajouter/Modifier|"
                           "cmdSupprimer=&Effacer|cmdOK=&Sauvegarder|cmdAnnuler=Annuler|"
                           "Signature Extension Type Macintosh|"
                           "Liste modifiée\r\nQuitter sans sauvegarder les modifications|"
                           "!La signature Type/Créateur doit comporter 8 caractères|"
                           "!L'extension Windows doit comporter 3 caractères au plus|"
                           "!Caractère invalide dans une extension Windows|!Le type Macintosh est obligatoire|"
                           "+Signature ajoutée: SIG|!Signature inchangée: SIG|+Signature modifié: SIG|"
                           "!Sélectionner une signature à supprimer|+Signature supprimée: SIG");
        QCOMPARE(texts(2), texts(3));
        QCOMPARE(ToneOf(Kind::None), EditTone::None);
        QCOMPARE(SignatureEditMessage(Kind::None, "SIG", 1), QString());
    }
};

QTEST_APPLESS_MAIN(TestSignatures)
#include "tst_signatures.moc"
