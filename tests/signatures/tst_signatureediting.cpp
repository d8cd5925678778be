#include "signatures/signatureediting.h"
#include <QTest>

using namespace vell;
using Entries = QList<SignatureEntry>;
using Kind = EditMessageKind;

namespace {
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

Q_DECLARE_METATYPE(vell::SignatureEntry)
Q_DECLARE_METATYPE(vell::EditMessageKind)

class TestSignatureEditing : public QObject
{
    Q_OBJECT
private slots:
    void addOrModify_data()
    {
        QTest::addColumn<SignatureEntry>("typed");
        QTest::addColumn<EditMessageKind>("message");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("after"); // empty: as at the start, and not modified
        const auto row = [](const QString &name, const SignatureEntry &typed, Kind message, int at = -1,
                            const QString &after = {}) {
            QTest::newRow(qPrintable(name)) << typed << message << at << after;
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
        QFETCH(SignatureEntry, typed);
        QFETCH(EditMessageKind, message);
        QFETCH(int, row);
        QFETCH(QString, after);
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

QTEST_APPLESS_MAIN(TestSignatureEditing)
#include "tst_signatureediting.moc"
