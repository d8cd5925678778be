#pragma once

// The logic and texts of the three small option dialogs: the default delay
// (frmTempo), the performance (frmPerformance) and the default target
// prefixes (frmPrefixeCible).

#include "base/caption.h"
#include "config/settings.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace vell {

struct ProgramFiles;

inline constexpr int32_t MinimumDelay = 1;
inline constexpr int32_t MaximumDelay = 60000;
inline constexpr int32_t MinimumPerformance = 1;
inline constexpr int32_t MaximumPerformance = 100;

// "Vell 2.1e": the title of the three dialogs and of frmTempo's refusal box.
[[nodiscard]] QString OptionsDialogTitle();

// frmTempo's arrows. `value` is what Text1 then shows; `limit` says which
// message Label1 shows (None hides it).
enum class DelayLimit { None, Minimum, Maximum };
struct DelayStep
{
    int32_t value = MinimumDelay;
    DelayLimit limit = DelayLimit::None;
};
// The value of `text` (the integer rule of stored numbers) minus 1, never
// below 1: reaching 1 shows the minimum message.
[[nodiscard]] DelayStep DelayStepDown(const QString &text);
// The value of `text` plus 1, never above 60000: reaching 60000 shows the
// maximum message.
[[nodiscard]] DelayStep DelayStepUp(const QString &text);
// Label1's text for `limit`; empty for None.
[[nodiscard]] QString DelayLimitMessage(DelayLimit limit, int32_t langue);

// The delay OK stores: the value of `text` by the integer rule (a text
// without a number is 0), or nullopt when it lies outside 1 to 60000.
[[nodiscard]] std::optional<int32_t> CheckDelay(const QString &text);
// The refusal box's text: its prefix and the text exactly as typed.
[[nodiscard]] QString InvalidDelayMessage(const QString &text, int32_t langue);

// Writes Temporisation, then sets it in `settings`, so that a failed write
// changes nothing. Returns 0 or -errno.
[[nodiscard]] int StoreDelay(const ProgramFiles &files, int32_t delay, Settings &settings);

// What the slider shows for a stored Performance: a hand-edited value
// outside 1 to 100 shows as the nearest end.
[[nodiscard]] int32_t PerformanceSliderValue(int32_t performance);
// Writes Performance, then sets it in `settings`. Returns 0 or -errno.
[[nodiscard]] int StorePerformance(const ProgramFiles &files, int32_t performance, Settings &settings);

// Writes PrefixeCibleDefaut, then PrefixeCibleDefautUNC, exactly as typed
// (an empty text switches that prefix off); each field changes in
// `settings` once its key is written. Returns 0 or the first -errno, after
// which nothing more is written.
[[nodiscard]] int StoreTargetPrefixes(const ProgramFiles &files, const QString &drive, const QString &unc,
                                      Settings &settings);


// Every caption of each dialog (window title included) in the language of
// `langue`.
[[nodiscard]] QList<Caption> TempoDialogCaptions(int32_t langue);
[[nodiscard]] QList<Caption> PerformanceDialogCaptions(int32_t langue);
[[nodiscard]] QList<Caption> PrefixDialogCaptions(int32_t langue);

} // namespace vell
