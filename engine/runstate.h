#pragma once

#include <QString>
#include <cstdint>

namespace vell {

// The totals of the current run, cleared when a run starts.
struct RunTotals
{
    int32_t FilesExamined = 0;
    int32_t FilesCreated = 0;
    int32_t FilesModified = 0;
    int32_t FilesRemoved = 0;
    int32_t SecuritiesCopied = 0;
    int32_t SecuritiesNotCopied = 0;
    int32_t AttributesCopied = 0;
    int32_t FoldersCreated = 0;
    int32_t FoldersRemoved = 0;
    int16_t CouplesCounted = 0;
    int16_t InvalidSources = 0;
    int16_t InvalidTargets = 0;
};

// What a run shares with the rest of the program. Lives as long as the
// process; only the event-loop thread touches it.
struct RunState
{
    bool MirroringOff = true; // true while no mirroring is active
    bool ManualRun = false;   // true during a run started by the Start command
    RunTotals totals;
    QString CurrentLogFile;
};

} // namespace vell
