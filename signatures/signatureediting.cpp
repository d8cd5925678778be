#include "signatures/signatureediting.h"

#include "base/language.h"
#include "base/programidentity.h"

namespace vell {

namespace {

const QString CrLf = QStringLiteral("\r\n");

Caption text(const char *name, const QString &value)
{
    return Caption{QString::fromLatin1(name), CaptionProperty::Text, value};
}

bool hasForbiddenCharacter(const QString &extension)
{
    for (const char16_t c : ForbiddenExtensionCharacters) {
        if (c != u'\0' && extension.contains(QChar(c)))
            return true;
    }
    return false;
}

} // namespace

SignatureEditorOpening OpenSignatureEditor(const QString &signatureFile, int32_t langue)
{
    SignatureEditorOpening opening;
    const SignatureFileReading reading = readSignatureFile(signatureFile);
    // The loader's rules, so that the editor lists what the table holds.
    SignatureTable seen;
    for (const SignatureEntry &record : reading.records) {
        if (!seen.add(record)) {
            opening.messages.append(
                {SignatureLoadMessage::Kind::Duplicate, duplicateSignatureMessage(record.signature, langue)});
            continue;
        }
        opening.rows.append(record);
    }
    if (reading.status == SignatureFileStatus::Corrupt || reading.status == SignatureFileStatus::Unreadable) {
        const auto count = static_cast<int32_t>(opening.rows.size());
        opening.messages.append(
            {SignatureLoadMessage::Kind::Corrupt, corruptSignatureFileMessage(signatureFile, count, langue)});
    }
    opening.canSave = reading.status != SignatureFileStatus::Unreadable;
    return opening;
}

QString SignatureEditMessage(EditMessageKind kind, const QString &signature, int32_t langue)
{
    const auto words = [langue](const char *fr, const char *en) { return Trilingual{fr, en}.in(langue); };
    switch (kind) {
    case EditMessageKind::None:
        return {};
    case EditMessageKind::SignatureLength:
        return words("La signature Type/Créateur doit comporter 8 caractères",
                     "Type/Creator signature must be 8 characters");
    case EditMessageKind::ExtensionLength:
        return words("L'extension Windows doit comporter 3 caractères au plus",
                     "Windows extension must be 3 characters or less");
    case EditMessageKind::ExtensionCharacter:
        return words("Caractère invalide dans une extension Windows", "Invalid character in Windows extension");
    case EditMessageKind::DescriptionMissing:
        return words("Le type Macintosh est obligatoire", "Macintosh type is mandatory");
    case EditMessageKind::Added:
        return words("Signature ajoutée: ", "Added Signature: ") + signature;
    case EditMessageKind::NotModified:
        return words("Signature inchangée: ", "Signature not modified: ") + signature;
    case EditMessageKind::Modified:
        return words("Signature modifié: ", "Modified Signature: ") + signature;
    case EditMessageKind::SelectFirst:
        return words("Sélectionner une signature à supprimer", "Select a signature to remove");
    case EditMessageKind::Removed:
        return words("Signature supprimée: ", "Removed Signature: ") + signature;
    }
    return {};
}

EditTone ToneOf(EditMessageKind kind)
{
    switch (kind) {
    case EditMessageKind::None:
        return EditTone::None;
    case EditMessageKind::Added:
    case EditMessageKind::Modified:
    case EditMessageKind::Removed:
        return EditTone::Confirmation;
    default:
        return EditTone::Error;
    }
}

qsizetype SignatureEditor::indexOf(const QString &signature) const
{
    const QString key = SignatureTable::keyOf(signature);
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (SignatureTable::keyOf(m_rows.at(i).signature) == key)
            return i;
    }
    return -1;
}

SignatureEditor::Outcome SignatureEditor::addOrModify(const SignatureEntry &typed)
{
    Outcome outcome;
    if (typed.signature.size() != 8)
        outcome.message = EditMessageKind::SignatureLength;
    else if (typed.extension.size() > 3)
        outcome.message = EditMessageKind::ExtensionLength;
    else if (hasForbiddenCharacter(typed.extension))
        outcome.message = EditMessageKind::ExtensionCharacter;
    else if (typed.description.isEmpty())
        outcome.message = EditMessageKind::DescriptionMissing;
    if (outcome.message != EditMessageKind::None)
        return outcome;

    outcome.signature = typed.signature;
    outcome.row = indexOf(typed.signature);
    if (outcome.row < 0) {
        outcome.row = m_rows.size();
        m_rows.append(typed);
        outcome.message = EditMessageKind::Added;
    } else if (m_rows.at(outcome.row) == typed) {
        outcome.message = EditMessageKind::NotModified;
        return outcome;
    } else {
        m_rows[outcome.row] = typed;
        outcome.message = EditMessageKind::Modified;
    }
    m_modified = true;
    return outcome;
}

SignatureEditor::Outcome SignatureEditor::remove(qsizetype row)
{
    Outcome outcome;
    if (row < 0 || row >= m_rows.size()) {
        outcome.message = EditMessageKind::SelectFirst;
        return outcome;
    }
    outcome.signature = m_rows.takeAt(row).signature;
    outcome.row = row;
    outcome.message = EditMessageKind::Removed;
    m_modified = true;
    return outcome;
}

QString SignatureEditorTitle(qsizetype count, bool afterChange, int32_t langue)
{
    const QString words = Trilingual{" - Signatures Macintosh (",
                                     afterChange ? " - Macintosh Signatures (" : " - Macintosh signatures ("}
                              .in(langue);
    return ProductName + words + QString::number(count) + QLatin1Char(')');
}

QList<Caption> SignatureEditorCaptions(int32_t langue)
{
    const auto words = [langue](const char *fr, const char *en) { return Trilingual{fr, en}.in(langue); };
    return {
        text("lblSignature", words("Type/Créateur", "Type/Creator") + CrLf + words("[obligatoire]", "[mandatory]")),
        text("lblExtension", words("Extension", "Extension") + CrLf + words("[facultative]", "[optional}")),
        text("lblType", words("Type Macintosh (libellé)", "Macintosh Type (description)") + CrLf
                            + words("[obligatoire]", "[mandatory]")),
        text("cmdAjouter", words("&Ajouter/Modifier", "&Add/Modify")),
        text("cmdSupprimer", words("&Effacer", "&Remove")),
        text("cmdOK", words("&Sauvegarder", "&Save")),
        text("cmdAnnuler", words("Annuler", "&Cancel")),
    };
}

QStringList SignatureListHeadings()
{
    return {QStringLiteral("Signature"), QStringLiteral("Extension"), QStringLiteral("Type Macintosh")};
}

QString DiscardSignatureChangesQuestion(int32_t langue)
{
    return Trilingual{"Liste modifiée", "Modified list"}.in(langue) + CrLf
        + Trilingual{"Quitter sans sauvegarder les modifications", "Discard changes"}.in(langue);
}

SignatureEditorSave SaveSignatureEditor(const QString &signatureFile, const QList<SignatureEntry> &rows,
                                        SignatureTable &table, int32_t langue)
{
    SignatureEditorSave save;
    save.result = saveSignatureFile(signatureFile, rows);
    if (save.result.ok())
        save.loadMessages = LoadSignatures(table, signatureFile, langue);
    return save;
}

} // namespace vell
