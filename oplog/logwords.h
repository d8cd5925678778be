#pragma once

#include <QString>

namespace vell {

// The six words of the file and folder lines of the log, in one language.
struct LogWords
{
    QString LogWordCreation;
    QString LogWordModification;
    QString LogWordDelete;
    QString LogWordFolder;
    QString LogWordSecurity;
    QString LogWordAttributes;
};

// Langue 1 French, 2 Portuguese, anything else English.
[[nodiscard]] LogWords LogWordsFor(int langue);

} // namespace vell
