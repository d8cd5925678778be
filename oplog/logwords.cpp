#include "oplog/logwords.h"

#include "base/language.h"

#include <cstring>

namespace vell {

namespace {

struct WordRow
{
    QString LogWords::*word;
    Trilingual text;
};

const WordRow Rows[] = {
    {&LogWords::LogWordCreation, {"Création", "Creation", "Criação"}},
    {&LogWords::LogWordModification, {"Modification", "Modification", "Modificação"}},
    {&LogWords::LogWordDelete, {"Effacement", "Delete", "Supressão"}},
    {&LogWords::LogWordFolder, {"dossier", "folder", "pasta"}},
    {&LogWords::LogWordSecurity, {"Sécurité modifiée", "Modified security", "Seguridade modificada"}},
    {&LogWords::LogWordAttributes, {"attributs", "attributes", "attributos"}},
    {&LogWords::LogWordReading, {"Lecture", "Reading", "Leitura"}},
    {&LogWords::LogWordWriting, {"Écriture", "Writing", "Escrita"}},
    {&LogWords::LogWordFailure, {"Échec", "Failure", "Falha"}},
};

} // namespace

LogWords LogWordsFor(int langue)
{
    LogWords words;
    for (const WordRow &row : Rows)
        words.*row.word = row.text.in(langue);
    return words;
}

QString OperationWords(const LogWords &words, ItemOperation operation, bool folder)
{
    QString text;
    switch (operation) {
    case ItemOperation::Creation: text = words.LogWordCreation; break;
    case ItemOperation::Modification: text = words.LogWordModification; break;
    case ItemOperation::Attributes: text = words.LogWordModification + QLatin1Char(' ') + words.LogWordAttributes; break;
    case ItemOperation::Security: text = words.LogWordSecurity; break;
    case ItemOperation::Delete: text = words.LogWordDelete; break;
    case ItemOperation::Reading: text = words.LogWordReading; break;
    case ItemOperation::Writing: text = words.LogWordWriting; break;
    }
    if (folder)
        text += QLatin1Char(' ') + words.LogWordFolder;
    return text;
}

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString FailureText(const LogWords &words, const ItemEvent &event)
{
    return words.LogWordFailure + QStringLiteral(": ") + OperationWords(words, event.operation, event.folder)
        + QStringLiteral(" - ") + event.path + QStringLiteral(": ") + ErrorText(event.error);
}

} // namespace vell
