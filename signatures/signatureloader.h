#pragma once

#include "signatures/signaturetable.h"

#include <QString>
#include <cstdint>

namespace vell {

class UserDialogs;

// Rebuilds `table` from the signature file at `signatureFile` (its full
// path, which the corrupt-file message shows). A missing file gives the
// built-in rows without a message; an empty file gives an empty table. A
// record whose signature is already present (letter case ignored) is
// dropped with a warning box and loading goes on. A file cut short, holding
// a malformed field, or that cannot be read gives a critical box with the
// count of records accepted so far, then the built-in rows. Boxes are French
// when langue is 1, English otherwise, titled with the program's name.
// The table's count of accepted records is set to the records accepted.
void LoadSignatures(SignatureTable &table, const QString &signatureFile, int32_t langue, UserDialogs &dialogs);

// The warning for a dropped duplicate, followed by its signature as read.
[[nodiscard]] QString duplicateSignatureMessage(const QString &signature, int32_t langue);

// The critical message for a corrupt or unreadable file.
[[nodiscard]] QString corruptSignatureFileMessage(const QString &signatureFile, int32_t accepted, int32_t langue);

} // namespace vell
