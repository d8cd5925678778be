#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>

namespace vell {

// One Macintosh signature: the 4-character file type followed by the
// 4-character creator, the Windows extension (without its dot, may be
// empty) and a readable description.
struct SignatureEntry
{
    QString signature;
    QString extension;
    QString description;

    friend bool operator==(const SignatureEntry &, const SignatureEntry &) = default;
};

// The signature table: signature -> (extension, description). Signatures
// compare without letter case, each stands at most once, and the first entry
// added for a signature wins. Entries keep the order they were added in.
class SignatureTable final
{
public:
    // Empties the table. The count of accepted records is left as it is.
    void clear();

    // Adds the entry unless its signature is already present (in any letter
    // case); returns false, keeping the earlier entry, in that case.
    [[nodiscard]] bool add(const SignatureEntry &entry);

    // The entry of a signature, letter case ignored; nullptr when absent.
    // The pointer is valid until the table next changes.
    [[nodiscard]] const SignatureEntry *find(const QString &signature) const;

    [[nodiscard]] const QList<SignatureEntry> &entries() const { return m_entries; }
    [[nodiscard]] qsizetype size() const { return m_entries.size(); }
    [[nodiscard]] bool isEmpty() const { return m_entries.isEmpty(); }

    // The number of records the last load accepted; the corrupt-file message
    // and the signature editor show it.
    [[nodiscard]] int32_t acceptedRecords() const { return m_acceptedRecords; }
    void setAcceptedRecords(int32_t count) { m_acceptedRecords = count; }

    // The key a signature is filed under: its case-folded form.
    [[nodiscard]] static QString keyOf(const QString &signature) { return signature.toCaseFolded(); }

private:
    QList<SignatureEntry> m_entries;
    QHash<QString, qsizetype> m_index; // keyOf(signature) -> position in m_entries
    int32_t m_acceptedRecords = 0;
};

// The three rows in force when there is no "Signatures.txt", in this order.
[[nodiscard]] QList<SignatureEntry> BuiltInSignatures();

// Empties the table and adds the built-in rows. The count of accepted
// records stays as it was.
void LoadDefaultSignatures(SignatureTable &table);

// The extension stored for an 8-character signature (type then creator),
// as stored; empty when the table has no such signature or its extension is
// empty. Letter case of the signature does not matter. Never fails.
[[nodiscard]] QString ExtensionForSignature(const SignatureTable &table, const QString &signature);

// ExtensionForSignature bound to a table, for the engine's lookup. The table
// is held by reference, so it must outlive the function; a reload of the
// table is seen at once.
[[nodiscard]] std::function<QString(const QString &signature)> signatureLookup(const SignatureTable &table);

} // namespace vell
