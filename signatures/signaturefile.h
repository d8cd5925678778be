#pragma once

// "Signatures.txt": one entry a line, three fields (signature, extension,
// description) separated by commas, UTF-8, read with CR LF, CR or LF line
// ends, written with CR LF.
//
// Reading takes fields one after another. A comma or a line end ends a
// field. A field that begins with a double quote runs to the next double
// quote on the same line, which it drops (commas inside belong to the
// text); only blanks may follow the closing quote. An unquoted field has its
// leading blanks skipped and holds no double quote. A record is the next
// three fields, so a short line takes its missing fields from the next one.
// Lines that are empty or hold only blanks hold no field, so a blank line
// between records or at the end of the file changes nothing. A leading
// UTF-8 byte-order mark is skipped. Bytes that are not valid UTF-8 are kept
// as escapes (see PathFromBytes) and written back unchanged.

#include "signatures/signaturetable.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

namespace vell {

enum class SignatureFileStatus {
    Missing,    // no such file: the built-in rows apply
    Complete,   // read to its end
    Corrupt,    // a record is cut short by the end of the file, or a field is malformed
    Unreadable, // the file exists but cannot be opened or read (or is not a regular file)
};

struct SignatureFileReading
{
    SignatureFileStatus status = SignatureFileStatus::Missing;
    // The records read before the end or the fault, in file order; records
    // with an empty signature or description are left out, duplicates kept.
    QList<SignatureEntry> records;
    QString reason; // the system's reason when Unreadable
};

// Parses the bytes of a signature file.
[[nodiscard]] SignatureFileReading parseSignatureText(const QByteArray &bytes);

// Reads and parses the file at `path`.
[[nodiscard]] SignatureFileReading readSignatureFile(const QString &path);

enum class SignatureSaveError {
    None,
    EmptySignature,      // would be skipped on reading
    EmptyDescription,    // would be skipped on reading
    DuplicateSignature,  // two entries whose signatures differ at most in letter case
    QuoteInField,        // a double quote cannot be written inside a quoted field
    UnwritableCharacter, // a line break, or text that does not survive UTF-8
    WriteFailed,         // the file system refused; the old file is untouched
};

struct SignatureSaveResult
{
    SignatureSaveError error = SignatureSaveError::None;
    QString signature; // the entry refused, for the refusals
    QString path;      // the file, for WriteFailed
    QString reason;    // the system's reason, for WriteFailed

    [[nodiscard]] bool ok() const { return error == SignatureSaveError::None; }
};

// The bytes of a signature file holding `entries`: sorted by signature
// (letter case ignored first, then by code unit), every field in double
// quotes, CR LF after every line. No checks: see checkSignaturesWritable().
[[nodiscard]] QByteArray formatSignatureText(QList<SignatureEntry> entries);

// Checks that every entry reads back as written. A double quote inside a
// field is refused, not replaced: the user sees which entry to change and
// nothing is silently altered. Returns the first refusal, or None.
[[nodiscard]] SignatureSaveResult checkSignaturesWritable(const QList<SignatureEntry> &entries);

// Rewrites the file with `entries` as formatSignatureText() gives them,
// after checkSignaturesWritable(). The text goes to a temporary file beside
// the file, is flushed to disk, then renamed over it
// (platform::writeFileAtomically): the new file keeps the old one's
// permissions, and on any failure, a write stopped part way included, the
// old file is left whole and nothing else is left behind. The caller
// reloads the table (LoadSignatures) after a success.
[[nodiscard]] SignatureSaveResult saveSignatureFile(const QString &path, const QList<SignatureEntry> &entries);

// The text to show for a failed save, French when langue is 1, English
// otherwise. Empty for a success.
[[nodiscard]] QString signatureSaveMessage(const SignatureSaveResult &result, int32_t langue);

} // namespace vell
