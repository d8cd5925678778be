#pragma once

namespace vell {

// The exit statuses of the program, for scripts and the service manager.
namespace ExitStatus {
constexpr int Normal = 0;          // an end the user asked for, or a single run that went well
constexpr int InvalidCouples = 1;  // the couples file holds an invalid field
constexpr int AlreadyRunning = 2;  // another Vell runs in this program folder
constexpr int FolderMissing = 3;   // "-U" and a couple's folder is missing
constexpr int UnknownFolder = 4;   // the single run met a source or target folder that does not exist
constexpr int RunFailures = 5;     // the single run could not copy, delete, create or set something
constexpr int NoProgramFolder = 6; // the folder for the settings could not be made
} // namespace ExitStatus

} // namespace vell
