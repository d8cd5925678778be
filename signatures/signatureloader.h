#pragma once

#include "signatures/signaturetable.h"

#include <QList>
#include <QString>
#include <cstdint>

namespace vell {

// What a load met that the user must be told, in the order it was met.
struct SignatureLoadMessage
{
    enum class Kind {
        Duplicate, // a warning: the record was dropped and loading went on
        Corrupt,   // a critical error: the built-in rows are in force
    };
    Kind kind = Kind::Duplicate;
    QString text; // French when langue is 1, English otherwise
};

// Rebuilds `table` from the signature file at `signatureFile` (its full
// path, which the corrupt-file message shows). A missing file gives the
// built-in rows and no message; an empty file gives an empty table. A
// record whose signature is already present (letter case ignored) is
// dropped with a Duplicate message and loading goes on. A file cut short,
// holding a malformed field, or that cannot be read gives a Corrupt message
// (last) with the count of records accepted so far, then the built-in rows.
// The table's count of accepted records is set to the records accepted.
// Shows nothing: the caller shows the messages, in order, each in a box
// titled with the program's name.
[[nodiscard]] QList<SignatureLoadMessage> LoadSignatures(SignatureTable &table, const QString &signatureFile,
                                                         int32_t langue);

// The warning for a dropped duplicate, followed by its signature as read.
[[nodiscard]] QString duplicateSignatureMessage(const QString &signature, int32_t langue);

// The critical message for a corrupt or unreadable file.
[[nodiscard]] QString corruptSignatureFileMessage(const QString &signatureFile, int32_t accepted, int32_t langue);

class UserDialogs;

// Shows what a signature load met, in its order, each in an OK box titled
// "Vell": a duplicate with the warning icon, a corrupt or unreadable file
// with the critical one. Start-up and the signature editor use it.
void ShowSignatureLoadMessages(const QList<SignatureLoadMessage> &messages, UserDialogs &dialogs);

} // namespace vell
