#pragma once

#include "base/userdialogs.h"

namespace vell {

// No display: every message goes to stderr; OK to a message, No to every
// Yes/No question, Cancel to every input and folder choice.
class HeadlessDialogs final : public UserDialogs
{
public:
    MessageAnswer messageBox(const QString &text, const QString &title, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<QString> inputBox(const QString &prompt, const QString &title, const QString &initial) override;
    std::optional<QString> browseFolder(const QString &title, const QString &startFolder) override;
    bool openDocument(const QString &path) override;
};

} // namespace vell
