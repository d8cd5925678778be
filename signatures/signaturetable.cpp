#include "signatures/signaturetable.h"

namespace vell {

void SignatureTable::clear()
{
    m_entries.clear();
    m_index.clear();
}

bool SignatureTable::add(const SignatureEntry &entry)
{
    const QString key = keyOf(entry.signature);
    if (m_index.contains(key))
        return false;
    m_index.insert(key, m_entries.size());
    m_entries.append(entry);
    return true;
}

const SignatureEntry *SignatureTable::find(const QString &signature) const
{
    const auto it = m_index.constFind(keyOf(signature));
    return it == m_index.constEnd() ? nullptr : &m_entries.at(it.value());
}

QList<SignatureEntry> BuiltInSignatures()
{
    return {
        {QStringLiteral("W6BNMSWD"), QStringLiteral("doc"), QStringLiteral("Word 6 Document")},
        {QStringLiteral("WDBNMSWD"), QStringLiteral("doc"), QStringLiteral("Word 3/4/5 Macintosh Document")},
        {QStringLiteral("XDOCXPR3"), QStringLiteral("qxd"), QStringLiteral("Quark XPress Document")},
    };
}

void LoadDefaultSignatures(SignatureTable &table)
{
    table.clear();
    for (const SignatureEntry &entry : BuiltInSignatures())
        (void)table.add(entry); // the built-in signatures are distinct
}

QString ExtensionForSignature(const SignatureTable &table, const QString &signature)
{
    const SignatureEntry *const entry = table.find(signature);
    return entry ? entry->extension : QString();
}

std::function<QString(const QString &signature)> signatureLookup(const SignatureTable &table)
{
    return [&table](const QString &signature) { return ExtensionForSignature(table, signature); };
}

} // namespace vell
