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

void LoadSignatures(SignatureTable &table, const QString &signatureFile, int32_t langue, UserDialogs &dialogs)
{
    table.setAcceptedRecords(0);
    table.clear();
    const SignatureFileReading reading = readSignatureFile(signatureFile);
    if (reading.status == SignatureFileStatus::Missing) {
        LoadDefaultSignatures(table); // no file is no error
        return;
    }
    // The whole file is read before the first box: the boxes come in the
    // order the records stand in, the corrupt-file box last, as they would
    // record by record.
    int32_t accepted = 0;
    for (const SignatureEntry &record : reading.records) {
        if (table.add(record)) {
            ++accepted;
            continue;
        }
        (void)dialogs.messageBox(duplicateSignatureMessage(record.signature, langue), ProductName,
                                 MessageIcon::Exclamation, MessageButtons::Ok);
    }
    table.setAcceptedRecords(accepted);
    if (reading.status == SignatureFileStatus::Complete)
        return;
    // Unreadable is treated like corrupt: the user learns which file to mend.
    (void)dialogs.messageBox(corruptSignatureFileMessage(signatureFile, accepted, langue), ProductName,
                             MessageIcon::Critical, MessageButtons::Ok);
    LoadDefaultSignatures(table);
}

} // namespace vell
