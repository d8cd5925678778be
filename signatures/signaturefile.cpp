#include "signatures/signaturefile.h"

#include "base/language.h"
#include "platform/pathcodec.h"
#include "platform/wholefile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vell {

namespace {

constexpr QChar Quote = u'"';
constexpr QChar Comma = u',';

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool isLineEnd(QChar c) { return c == u'\r' || c == u'\n'; }

// Hands out the fields of a signature file one after another.
class FieldReader final
{
public:
    enum class Outcome { Field, End, Fault };

    explicit FieldReader(QString text) : m_text(std::move(text))
    {
        if (m_text.startsWith(QChar(0xFEFF)))
            m_pos = 1;
    }

    // Field: `field` holds the next field. End: no field is left. Fault:
    // the next field is malformed.
    Outcome next(QString &field)
    {
        if (!m_midLine && !skipBlankLines())
            return Outcome::End;
        skipBlanks();
        const bool read = atChar(Quote) ? readQuoted(field) : readUnquoted(field);
        if (!read)
            return Outcome::Fault;
        if (atChar(Comma)) {
            ++m_pos; // another field follows on this line, if only an empty one
        } else {
            skipLineEnd();
            m_midLine = false;
        }
        return Outcome::Field;
    }

private:
    [[nodiscard]] bool atEnd() const { return m_pos >= m_text.size(); }
    [[nodiscard]] bool atChar(QChar c) const { return !atEnd() && m_text.at(m_pos) == c; }
    [[nodiscard]] bool atFieldEnd() const { return atEnd() || atChar(Comma) || isLineEnd(m_text.at(m_pos)); }

    void skipBlanks()
    {
        while (!atEnd() && isBlank(m_text.at(m_pos)))
            ++m_pos;
    }

    // CR LF, CR or LF.
    void skipLineEnd()
    {
        if (atChar(u'\r'))
            ++m_pos;
        if (atChar(u'\n'))
            ++m_pos;
    }

    // Moves to the first line that holds something; false at the end.
    bool skipBlankLines()
    {
        for (;;) {
            skipBlanks();
            if (atEnd())
                return false;
            if (!isLineEnd(m_text.at(m_pos)))
                break;
            skipLineEnd();
        }
        m_midLine = true;
        return true;
    }

    bool readQuoted(QString &field)
    {
        const qsizetype start = m_pos + 1;
        qsizetype end = start;
        while (end < m_text.size() && m_text.at(end) != Quote && !isLineEnd(m_text.at(end)))
            ++end;
        if (end >= m_text.size() || m_text.at(end) != Quote)
            return false; // not closed on its line
        field = m_text.mid(start, end - start);
        m_pos = end + 1;
        skipBlanks();
        return atFieldEnd(); // text after the closing quote is no field
    }

    bool readUnquoted(QString &field)
    {
        const qsizetype start = m_pos;
        while (!atFieldEnd()) {
            if (m_text.at(m_pos) == Quote)
                return false; // a field cannot hold a double quote
            ++m_pos;
        }
        field = m_text.mid(start, m_pos - start);
        return true;
    }

    QString m_text;
    qsizetype m_pos = 0;
    bool m_midLine = false; // a comma has announced one more field on this line
};

QString quoted(const QString &field) { return Quote + field + Quote; }

// What keeps the field from being written between quotes and read back the
// same; None when nothing does.
SignatureSaveError fieldFault(const QString &field)
{
    if (field.contains(Quote))
        return SignatureSaveError::QuoteInField;
    if (field.contains(u'\r') || field.contains(u'\n'))
        return SignatureSaveError::UnwritableCharacter;
    if (PathFromBytes(PathToBytes(field)) != field) // a lone surrogate, or escapes that form UTF-8
        return SignatureSaveError::UnwritableCharacter;
    return SignatureSaveError::None;
}

SignatureSaveResult refusal(SignatureSaveError error, const QString &signature)
{
    SignatureSaveResult result;
    result.error = error;
    result.signature = signature;
    return result;
}

SignatureSaveResult writeFailure(const QString &path, const QString &reason)
{
    SignatureSaveResult result;
    result.error = SignatureSaveError::WriteFailed;
    result.path = path;
    result.reason = reason;
    return result;
}

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

} // namespace

SignatureFileReading parseSignatureText(const QByteArray &bytes)
{
    SignatureFileReading reading;
    reading.status = SignatureFileStatus::Complete;
    FieldReader reader(PathFromBytes(bytes));
    for (;;) {
        QString fields[3];
        for (int i = 0; i < 3; ++i) {
            const FieldReader::Outcome outcome = reader.next(fields[i]);
            if (outcome == FieldReader::Outcome::End && i == 0)
                return reading;
            if (outcome != FieldReader::Outcome::Field) {
                reading.status = SignatureFileStatus::Corrupt;
                return reading;
            }
        }
        if (fields[0].isEmpty() || fields[2].isEmpty())
            continue; // no key or no description: skipped, and not counted
        reading.records.append({fields[0], fields[1], fields[2]});
    }
}

SignatureFileReading readSignatureFile(const QString &path)
{
    SignatureFileReading reading;
    const QFileInfo info(path);
    if (!info.exists())
        return reading; // Missing
    reading.status = SignatureFileStatus::Unreadable;
    if (!info.isFile()) {
        // A folder, FIFO or device is never opened (a FIFO would block).
        reading.reason = errnoText(info.isDir() ? EISDIR : EINVAL);
        return reading;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reading.reason = file.errorString();
        return reading;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reading.reason = file.errorString();
        return reading;
    }
    return parseSignatureText(bytes);
}

QByteArray formatSignatureText(QList<SignatureEntry> entries)
{
    std::sort(entries.begin(), entries.end(), [](const SignatureEntry &a, const SignatureEntry &b) {
        const int order = QString::compare(a.signature, b.signature, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.signature < b.signature;
    });
    QByteArray bytes;
    for (const SignatureEntry &entry : entries) {
        const QString line = quoted(entry.signature) + Comma + quoted(entry.extension) + Comma
                + quoted(entry.description) + QLatin1String("\r\n");
        bytes += PathToBytes(line);
    }
    return bytes;
}

SignatureSaveResult checkSignaturesWritable(const QList<SignatureEntry> &entries)
{
    SignatureTable seen; // its letter-case rule is the loader's
    for (const SignatureEntry &entry : entries) {
        if (entry.signature.isEmpty())
            return refusal(SignatureSaveError::EmptySignature, entry.signature);
        if (entry.description.isEmpty())
            return refusal(SignatureSaveError::EmptyDescription, entry.signature);
        for (const QString *field : {&entry.signature, &entry.extension, &entry.description}) {
            const SignatureSaveError fault = fieldFault(*field);
            if (fault != SignatureSaveError::None)
                return refusal(fault, entry.signature);
        }
        if (!seen.add(entry))
            return refusal(SignatureSaveError::DuplicateSignature, entry.signature);
    }
    return {};
}

SignatureSaveResult saveSignatureFile(const QString &path, const QList<SignatureEntry> &entries)
{
    const SignatureSaveResult check = checkSignaturesWritable(entries);
    if (!check.ok())
        return check;
    const QByteArray bytes = formatSignatureText(entries);

    // A temporary file beside it, flushed, then renamed over it: a short
    // write or a failed flush leaves the old file whole and no leftover.
    if (const int r = platform::writeFileAtomically(path, bytes); r < 0)
        return writeFailure(path, errnoText(-r));
    return {};
}

QString signatureSaveMessage(const SignatureSaveResult &result, int32_t langue)
{
    // French and English only.
    const auto text = [langue](const char *fr, const char *en) { return Trilingual{fr, en}.in(langue); };
    switch (result.error) {
    case SignatureSaveError::None:
        return {};
    case SignatureSaveError::EmptySignature:
        return text("La signature Type/Créateur doit comporter 8 caractères",
                    "Type/Creator signature must be 8 characters");
    case SignatureSaveError::EmptyDescription:
        return text("Le type Macintosh est obligatoire: ", "Macintosh type is mandatory: ") + result.signature;
    case SignatureSaveError::DuplicateSignature:
        return text("Doublon dans le fichier des Signatures: ", "Duplicate key in Signatures file: ")
                + result.signature;
    case SignatureSaveError::QuoteInField:
        return text("Guillemet (\") interdit dans la signature: ", "Double quote (\") not allowed in signature: ")
                + result.signature;
    case SignatureSaveError::UnwritableCharacter:
        return text("Caractère impossible à enregistrer dans la signature: ",
                    "Character that cannot be saved in signature: ")
                + result.signature;
    case SignatureSaveError::WriteFailed:
        return text("Impossible d'écrire le fichier Signatures:", "Cannot write Signatures file:")
                + QLatin1String("\r\n") + result.path + QLatin1String("\r\n") + result.reason;
    }
    return {};
}

} // namespace vell
