#include "signatures/signatureloader.h"

#include "base/language.h"
#include "base/programidentity.h"
#include "base/userdialogs.h"
#include "signatures/signaturefile.h"

namespace vell {

// These texts exist in French and English only.
QString duplicateSignatureMessage(const QString &signature, int32_t langue)
{
    return Trilingual{"Doublon dans le fichier des Signatures: ", "Duplicate key in Signatures file: "}.in(langue)
        + signature;
}

QString corruptSignatureFileMessage(const QString &signatureFile, int32_t accepted, int32_t langue)
{
    return Trilingual{"Fichier Signatures endommagé:", "Corrupted Signatures file:"}.in(langue) + QLatin1String("\r\n")
        + signatureFile + QLatin1String("\r\n") + Trilingual{"Ligne:", "Line:"}.in(langue)
        + QString::number(accepted);
}

QList<SignatureLoadMessage> LoadSignatures(SignatureTable &table, const QString &signatureFile, int32_t langue)
{
    table.setAcceptedRecords(0);
    table.clear();
    const SignatureFileReading reading = readSignatureFile(signatureFile);
    if (reading.status == SignatureFileStatus::Missing) {
        LoadDefaultSignatures(table); // no file is no error
        return {};
    }
    // The messages come in the order the records stand in, the corrupt-file
    // one last, as they would record by record.
    QList<SignatureLoadMessage> messages;
    int32_t accepted = 0;
    for (const SignatureEntry &record : reading.records) {
        if (table.add(record)) {
            ++accepted;
            continue;
        }
        messages.append({SignatureLoadMessage::Kind::Duplicate, duplicateSignatureMessage(record.signature, langue)});
    }
    table.setAcceptedRecords(accepted);
    if (reading.status == SignatureFileStatus::Complete)
        return messages;
    // Unreadable is treated like corrupt: the user learns which file to mend.
    messages.append(
        {SignatureLoadMessage::Kind::Corrupt, corruptSignatureFileMessage(signatureFile, accepted, langue)});
    LoadDefaultSignatures(table);
    return messages;
}

void ShowSignatureLoadMessages(const QList<SignatureLoadMessage> &messages, UserDialogs &dialogs)
{
    for (const SignatureLoadMessage &message : messages) {
        const MessageIcon icon = message.kind == SignatureLoadMessage::Kind::Corrupt ? MessageIcon::Critical
                                                                                     : MessageIcon::Exclamation;
        (void)dialogs.messageBox(message.text, ProductName, icon, MessageButtons::Ok);
    }
}

} // namespace vell
