#pragma once

// The logic of the per-couple modes dialog: what it shows when it opens,
// the check of the number of intervals, the total delay, and what OK writes.

#include "base/caption.h"
#include "config/folderpair.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <cstdint>

namespace vell {

struct ProgramFiles;

// The dialog's state: what it shows and what OK stores.
struct ModesForm
{
    QString countText = QStringLiteral("2"); // txtMiroirN
    bool defaultDelay = true;                // optTempo index 0
    bool deplacer = false;
    bool renommer = false;
    bool effacer = false;
    bool nouveau = false; // optNouveau index 1
};

// The opening state from the couple's texts as stored in its "Mirror_"
// section (`position` from 1): a count from 2 to 64000 is shown as stored,
// anything else opens as the default delay with "2"; a box is checked
// unless its text is exactly "0" (a stored Deplacer "0" also clears
// Renommer); the newer-only option needs exactly "1". The move rule then
// applies: a moved couple neither removes nor updates on "newer".
[[nodiscard]] ModesForm OpenModesForm(const ProgramFiles &files, qsizetype position);

// The move rule, as the dialog applies it when chkDeplacer changes.
void ApplyMoveRule(ModesForm &form);

enum class CountCheck { Valid, NotANumber, OutOfRange };
// `text` without its surrounding blanks: a number in the sense of the
// system's locale (or the C locale), from 2 to 64000.
[[nodiscard]] CountCheck CheckCount(const QString &text, const QLocale &locale = QLocale::system());

// lblErr's text while typing, and the OK box's text (they differ in English).
[[nodiscard]] QString CountMessage(CountCheck check, int32_t langue, bool forOkBox);

// lblMiroirN2: "soit: 1 h 6 min 40 sec" for `count` intervals of
// `temporisation` seconds, in 64-bit arithmetic.
[[nodiscard]] QString TotalDelayText(const QString &countText, int32_t temporisation, int32_t langue,
                                     const QLocale &locale = QLocale::system());

// Every caption of the dialog frmSetMode (window title included) in the
// language of `langue`; `temporisation` is the default delay the two delay
// options name.
[[nodiscard]] QList<Caption> ModesDialogCaptions(int32_t langue, int32_t temporisation);

// Sets the couple's five fields from the form and writes them to its
// section. Returns 0 or -errno of the write.
[[nodiscard]] int StoreModes(const ProgramFiles &files, qsizetype position, const ModesForm &form, FolderPair &pair);

} // namespace vell
