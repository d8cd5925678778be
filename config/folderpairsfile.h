#pragma once

// The couples file Vell.w and the "Mirror_" sections of Vell.ini: saving
// the list, and loading it into the list and the plain data the window's
// grid shows.

#include "config/folderpair.h"
#include "config/settings.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace vell {

struct ProgramFiles;
struct SystemInfo;

// The couples file's form of a path: its UTF-16LE code units (the 8-bit
// systems: the path's bytes), each byte as two uppercase hex digits. A name
// that is not valid UTF-8 goes through the path codec's escapes, so it
// comes back byte for byte.
[[nodiscard]] QString PathToHex(const QString &path, bool wide = true);
// The reverse, either case accepted; an empty text gives an empty path.
// std::nullopt for a text that is no whole number of units (an odd length,
// a character that is not a hex digit, or (wide) a lone trailing byte) and
// for a path holding U+0000 (a NUL byte on the 8-bit systems), which no
// folder's path can hold.
[[nodiscard]] std::optional<QString> HexToPath(const QString &hex, bool wide = true);

// Colours of the modes in the grid, as 0xRRGGBB (QColor takes them as QRgb).
constexpr uint32_t ColourDeplacer = 0xFF0000; // source text: the couple moves
constexpr uint32_t ColourEffacer = 0xFF00FF;  // target text: obsolete items go
constexpr uint32_t ColourNouveau = 0x00FFFF;  // background: newer files only

enum class DelayPicture { Default, Specific };

// What one grid row shows for one couple: rows[i] of a load is pairs[i].
struct CoupleRow
{
    // The couple's line in the couples file, from 1, blank lines counted:
    // the row data, and the k of the "Mirror_" + k section its modes are
    // read from and written to. It is i + 1 unless the file holds blank
    // lines; a save drops them, so after the reload it is i + 1 again.
    qsizetype position = 0;
    QString sourceText;     // the path; "??? " + path when missing; six blanks first on a Macintosh volume
    QString targetText;     // the same; "???" when the couple has no target
    bool sourceFound = false;
    bool targetFound = false;
    bool sourceMacintosh = false;
    bool targetMacintosh = false;
    std::optional<uint32_t> sourceColour; // text colour of cell 0
    std::optional<uint32_t> targetColour; // text colour of cell 2
    std::optional<uint32_t> background;   // all three cells
    DelayPicture delay = DelayPicture::Default;
};

enum class LoadEnd {
    Loaded,        // go on
    FolderMissing, // "-U" and a missing folder: the program ends, exit status 3
    InvalidFile,   // an invalid hex field: `message` is shown, then the program ends, exit status 1
};

struct FolderPairsLoad
{
    LoadEnd end = LoadEnd::Loaded;
    FolderPairList pairs;
    QList<CoupleRow> rows;
    QString macintoshWarning;          // the last mismatch's message; empty when none
    bool showMacintoshWarning = false; // a mismatch was met and `Automatique` is off
    // InvalidFile: the text of the stop box to show before the program ends
    // (English only: "Invalid hexa string in the parameters file", CR LF,
    // the couples file's full path). Empty otherwise.
    QString message;

    // The process exit status the end asks for (0 when the load went on).
    [[nodiscard]] int exitStatus() const;
};

// Reads the couples file and, per line k, the section "Mirror_" + k of the
// settings file; a blank line makes no couple but is counted. A missing or
// unreadable couples file is an empty list.
// Folder checks and Macintosh probes (these on NT only) give each row's
// marks. With `quitIfFolderMissing` the load stops at the first couple with
// a missing source or target. An invalid hex field stops the load with its
// message; showing it is the caller's part.
[[nodiscard]] FolderPairsLoad LoadFolderPairs(const ProgramFiles &files, const Settings &settings,
                                              const SystemInfo &system, bool quitIfFolderMissing);

// Rewrites the couples file and then the five keys of "Mirror_" + k of
// every couple, each file atomically; sections beyond the list stay. Returns
// 0 or -errno (-EINVAL, writing nothing, for a path holding U+0000); a file
// that could not be written keeps its old content (and when the couples file
// fails, the settings file is left alone too), which the reload that follows
// shows.
[[nodiscard]] int SaveFolderPairs(const ProgramFiles &files, const FolderPairList &pairs, const SystemInfo &system);

enum class MacintoshMismatch { SourceOnly, TargetOnly };
// The two-line warning (CR LF between) in the language of `langue`.
[[nodiscard]] QString MacintoshWarningText(MacintoshMismatch mismatch, int32_t langue);

} // namespace vell
