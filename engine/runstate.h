#pragma once

#include <QString>
#include <cstdint>

namespace vell {

// The totals of the current run, cleared when a run starts. Wide enough
// that no count ever wraps, whatever the number of files or couples.
struct RunTotals
{
    int64_t FilesExamined = 0;
    int64_t FilesCreated = 0;
    int64_t FilesModified = 0;
    int64_t FilesRemoved = 0;
    int64_t SecuritiesCopied = 0;
    int64_t SecuritiesNotCopied = 0;
    int64_t AttributesCopied = 0;
    int64_t FoldersCreated = 0;
    int64_t FoldersRemoved = 0;
    int64_t CouplesCounted = 0;
    int64_t InvalidSources = 0;
    int64_t InvalidTargets = 0;
    // Copies, deletions, folder creations, attribute and permission changes
    // and folder readings that failed, and a day's log that could not be
    // written: each was reported, and is tried again at the next run.
    int64_t Failures = 0;
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
