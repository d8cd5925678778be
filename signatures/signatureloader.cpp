#include "signatures/signatureloader.h"

#include "base/programidentity.h"
#include "base/userdialogs.h"
#include "signatures/signaturefile.h"

namespace vell {

QString duplicateSignatureMessage(const QString &signature, int32_t langue)
{
    const QString lead = langue == 1 ? QStringLiteral("Doublon dans le fichier des Signatures: ")
                                     : QStringLiteral("Duplicate key in Signatures file: ");
    return lead + signature;
}

QString corruptSignatureFileMessage(const QString &signatureFile, int32_t accepted, int32_t langue)
{
    const bool french = langue == 1;
    const QString head = french ? QStringLiteral("Fichier Signatures endommagé:")
                                : QStringLiteral("Corrupted Signatures file:");
    const QString line = french ? QStringLiteral("Ligne:") : QStringLiteral("Line:");
    return head + QLatin1String("\r\n") + signatureFile + QLatin1String("\r\n") + line + QString::number(accepted);
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
