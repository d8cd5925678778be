#pragma once

#include "oplog/itemevent.h"

#include <QString>

namespace vell {

// The words of the file and folder lines of the log, in one language.
struct LogWords
{
    QString LogWordCreation;
    QString LogWordModification;
    QString LogWordDelete;
    QString LogWordFolder;
    QString LogWordSecurity;
    QString LogWordAttributes;
    QString LogWordReading; // the failed reading of a folder
    QString LogWordWriting; // the failed writing of the day's log
    QString LogWordFailure; // marks the line of an operation that failed
};

// Langue 1 French, 2 Portuguese, anything else English.
[[nodiscard]] LogWords LogWordsFor(int langue);

// The words of an operation: "Creation", "Modification attributes",
// "Delete folder" and so on.
[[nodiscard]] QString OperationWords(const LogWords &words, ItemOperation operation, bool folder);

// The reason of a failure in words (the system's message for the errno).
[[nodiscard]] QString ErrorText(int error);

// One line for a terminal or the journal: "Failure: Creation - /t/a: No
// space left on device".
[[nodiscard]] QString FailureText(const LogWords &words, const ItemEvent &event);

} // namespace vell
