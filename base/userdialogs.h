#pragma once

#include "base/programidentity.h"

#include <QString>
#include <cstring>
#include <optional>

namespace vell {

enum class MessageIcon { None, Information, Exclamation, Critical, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// Message boxes, input boxes, the folder browser and "open this document".
// The window shows real dialogs; tests script the answers; the headless
// host prints the text and answers safely.
class UserDialogs
{
public:
    virtual ~UserDialogs() = default;
    virtual MessageAnswer messageBox(const QString &text, const QString &title, MessageIcon icon,
                                     MessageButtons buttons) = 0;
    // std::nullopt when the user cancels.
    virtual std::optional<QString> inputBox(const QString &prompt, const QString &title, const QString &initial) = 0;
    virtual std::optional<QString> browseFolder(const QString &title, const QString &startFolder) = 0;
    virtual bool openDocument(const QString &path) = 0;
};

// A settings file that could not be written (rc = -errno), said in a box
// of the dialog that tried: the dialog stays open with the user's choice.
inline void ShowSettingsWriteFailure(UserDialogs &dialogs, const ProgramFiles &files, int rc)
{
    (void)dialogs.messageBox(files.settingsFile() + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(-rc)),
                             ProductName, MessageIcon::Critical, MessageButtons::Ok);
}

} // namespace vell
