#pragma once

// The texts of the main window, as data: SetLanguage walks this table and
// sets each control found by its objectName.

#include "base/caption.h"

#include <QList>
#include <cstdint>

namespace vell {

// Every caption of the main window in the language of `langue`, in the
// order SetLanguage sets them; the conditional rows follow
// `miroirSousDossiers` and `isNT`. The two modify submenus copy the add
// submenu's browse and type-in captions.
[[nodiscard]] QList<Caption> MainWindowCaptions(int32_t langue, bool miroirSousDossiers, bool isNT);

// The three captions the sub-folders toggle sets (its own variants, without
// the default-value remark of start-up): mnuEffacement and the two column titles.
[[nodiscard]] QList<Caption> SubFolderCaptions(int32_t langue, bool miroirSousDossiers);

// The warning shown when Effacement is switched on.
[[nodiscard]] QString EffacementWarningText(int32_t langue);

// The captions that never change with the language.
[[nodiscard]] QList<Caption> FixedCaptions();

struct SystemInfo;

// The quit confirmation, the help file's name and its not-available box, the
// About window's title and description, and the mode indicator's texts.
[[nodiscard]] QString QuitConfirmationText(int32_t langue);
[[nodiscard]] QString HelpFileName(int32_t langue); // "VellHelpENG.htm" and the like
[[nodiscard]] QString HelpNotAvailableText(int32_t langue);
[[nodiscard]] QString AboutTitle(int32_t langue);
[[nodiscard]] QString AboutCredit(int32_t langue, const SystemInfo &system);
[[nodiscard]] QString ModeCaption(bool service);
[[nodiscard]] QString ModeToolTip(bool service);

} // namespace vell
