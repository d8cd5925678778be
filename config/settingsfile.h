#pragma once

// Reading and writing the settings file Vell.ini.

#include "config/settings.h"

#include <QString>
#include <cstdint>

namespace vell {

struct ProgramFiles;

inline const QString SectionConfiguration = QStringLiteral("Configuration");
inline const QString SectionLogs = QStringLiteral("Logs");
// "Mirror_" + k: the modes of the couple at position k (from 1).
[[nodiscard]] QString MirrorSection(qsizetype position);

// The integer rule of stored numbers: the leading number of the text
// (blanks, a sign, digits, a fraction, an exponent), rounded half away from
// zero to a whole number; a number beyond 32 bits, however long its text,
// gives the nearest of INT32_MIN and INT32_MAX. A text that does not start
// with a number gives 0.
[[nodiscard]] int32_t IntegerFromText(const QString &text);

// Every key of the sections Configuration and Logs, with the defaults of a
// missing or empty key. `Temporisation` below 1 gives its default;
// `Performance` and `DelaiLogs` give theirs only for 0 and are otherwise
// kept as stored; `PathLogs` is the program folder when it is empty
// or not a readable folder. A missing or unreadable file gives every default.
[[nodiscard]] Settings LoadSettings(const ProgramFiles &files);

// `Langue` alone, read before anything else at start-up.
[[nodiscard]] int32_t LoadLangue(const ProgramFiles &files);

// Writes one key at once, keeping every other line of the file; the old
// file stays whole on failure. Returns 0 or -errno (-EINVAL for a text
// holding a line break). Callers that pass failures over say so with (void).
[[nodiscard]] int WriteSetting(const ProgramFiles &files, const QString &section, const QString &key,
                               const QString &text);
// The same for a flag ("1" or "0") and for a number (decimal).
[[nodiscard]] int WriteSettingFlag(const ProgramFiles &files, const QString &section, const QString &key, bool on);
[[nodiscard]] int WriteSettingNumber(const ProgramFiles &files, const QString &section, const QString &key,
                                     int32_t number);

} // namespace vell
