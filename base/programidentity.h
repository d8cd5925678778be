#pragma once

#include <QString>

namespace vell {

inline const QString ProductName = QStringLiteral("Vell");
inline const QString VersionText = QStringLiteral("2.1e");
inline const QString ServiceDisplayName = QStringLiteral("Vell Service");

// The program's own files, all in the folder of the executable.
struct ProgramFiles
{
    QString ProgramFolder; // without a trailing "/"

    [[nodiscard]] QString settingsFile() const { return ProgramFolder + QLatin1Char('/') + ProductName + QLatin1String(".ini"); }
    [[nodiscard]] QString couplesFile() const { return ProgramFolder + QLatin1Char('/') + ProductName + QLatin1String(".w"); }
    [[nodiscard]] QString signatureFile() const { return ProgramFolder + QLatin1String("/Signatures.txt"); }
};

} // namespace vell
