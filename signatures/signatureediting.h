#pragma once

// The logic of the signature editor frmGestionSignatures: what it lists when
// it opens, the checks and effects of add/modify and remove, its texts, and
// the save that rewrites "Signatures.txt" and reloads the running table.
// Its texts exist in French (Langue 1) and English (every other value).

#include "base/caption.h"
#include "signatures/signaturefile.h"
#include "signatures/signatureloader.h"
#include "signatures/signaturetable.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace vell {

// What the editor lists when it opens.
struct SignatureEditorOpening
{
    // The file's records in file order, less those with an empty signature
    // or description and less the later of two signatures equal but for
    // letter case. No file: empty (the built-in rows are not listed).
    QList<SignatureEntry> rows;
    // To show in order, as the loader's are: a warning for each duplicate
    // dropped, then the corrupt-file message when the file is cut short,
    // malformed or unreadable (the rows read before the fault are kept).
    QList<SignatureLoadMessage> messages;
    // False when the file exists but cannot be read: a save would replace
    // entries the editor never saw, so the editor does not offer it.
    bool canSave = true;
};

[[nodiscard]] SignatureEditorOpening OpenSignatureEditor(const QString &signatureFile, int32_t langue);

// How lblMsg shows a message: an error in red with a beep, a confirmation
// in magenta.
enum class EditTone { None, Error, Confirmation };

enum class EditMessageKind {
    None,
    SignatureLength,
    ExtensionLength,
    ExtensionCharacter,
    DescriptionMissing,
    Added,       // followed by the signature
    NotModified, // followed by the signature
    Modified,    // followed by the signature
    SelectFirst,
    Removed, // followed by the signature
};

// lblMsg's text for `kind` (with the signature where it follows).
[[nodiscard]] QString SignatureEditMessage(EditMessageKind kind, const QString &signature, int32_t langue);
[[nodiscard]] EditTone ToneOf(EditMessageKind kind);

// The characters a Windows extension cannot hold.
inline constexpr char16_t ForbiddenExtensionCharacters[] = u"\\/:*?\"<>|";

// The editor's own copy of the entries, with its modified flag. Rows are
// identified by signature, letter case ignored (the loader's rule), so the
// editor never holds two entries the loader would reject as duplicates.
class SignatureEditor final
{
public:
    struct Outcome
    {
        EditMessageKind message = EditMessageKind::None;
        QString signature; // the one the message names
        qsizetype row = -1; // the row added, modified or removed; -1 when none
    };

    explicit SignatureEditor(QList<SignatureEntry> rows = {}) : m_rows(std::move(rows)) {}

    [[nodiscard]] const QList<SignatureEntry> &rows() const { return m_rows; }
    [[nodiscard]] bool isModified() const { return m_modified; }
    // The row of `signature`, letter case ignored; -1 when none.
    [[nodiscard]] qsizetype indexOf(const QString &signature) const;

    // cmdAjouter with the three text boxes' contents, checked in order: a
    // signature of exactly 8 characters, an extension of at most 3 and none
    // of ForbiddenExtensionCharacters, a description. Then adds a row (at
    // the end), or replaces the row of that signature unless all three
    // texts already match it exactly. A refusal changes nothing; an add or
    // a change sets the modified flag.
    [[nodiscard]] Outcome addOrModify(const SignatureEntry &typed);

    // cmdSupprimer on `row` (-1: none selected, refused with SelectFirst).
    [[nodiscard]] Outcome remove(qsizetype row);

    // After a successful save.
    void markSaved() { m_modified = false; }

private:
    QList<SignatureEntry> m_rows;
    bool m_modified = false;
};

// The window title: "Vell", the title text, the count, ")". The English
// title text is capitalised differently after a change than on opening.
[[nodiscard]] QString SignatureEditorTitle(qsizetype count, bool afterChange, int32_t langue);

// The captions of the labels and buttons (the title is set apart).
[[nodiscard]] QList<Caption> SignatureEditorCaptions(int32_t langue);

// The three column headings of lstSignatures, the same in every language.
[[nodiscard]] QStringList SignatureListHeadings();

// The question asked before closing with unsaved changes (Yes/No box).
[[nodiscard]] QString DiscardSignatureChangesQuestion(int32_t langue);

struct SignatureEditorSave
{
    SignatureSaveResult result;
    QList<SignatureLoadMessage> loadMessages; // the reload's, after a success
};

// cmdOK with changes: rewrites `signatureFile` with `rows` (sorted by
// signature, quoted, CR LF, atomically) and, only when that succeeded,
// reloads `table` from it (LoadSignatures). A refused or failed write
// leaves the file and the table as they were; the result says why.
[[nodiscard]] SignatureEditorSave SaveSignatureEditor(const QString &signatureFile,
                                                      const QList<SignatureEntry> &rows, SignatureTable &table,
                                                      int32_t langue);

} // namespace vell
