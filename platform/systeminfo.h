#pragma once

#include <QString>
#include <cstdint>

namespace vell {

// Facts about the system, gathered once at start-up and handed to the core.
// Tests build other values to run the branches of other systems.
struct SystemInfo
{
    bool IsNT = false;
    int32_t NTMajorVersion = 0;
    int16_t ServicePack = 0;
    QString OSDescription;
    QString ComputerName;
    QString UserName;
    QString WindowsFolder;

    // True when the plain file copy carries the named streams by itself.
    [[nodiscard]] bool copyCarriesStreams() const { return IsNT && !(NTMajorVersion < 5 && ServicePack < 4); }
};

// This Linux machine: IsNT on, version 5, service pack 0, the description
// from /etc/os-release and the kernel release, host and user names,
// WindowsFolder from "Windir" in upper case. Never fails: a fact that
// cannot be read stays empty.
[[nodiscard]] SystemInfo QuerySystemInfo();

} // namespace vell
