#pragma once

#include "base/userdialogs.h"

#include <QPointer>

class QWidget;

namespace vell {

// Real message boxes, input boxes, the folder browser and the desktop's
// viewer, owned by the main window.
class QtDialogs final : public UserDialogs
{
public:
    void setOwner(QWidget *owner) { m_owner = owner; }

    MessageAnswer messageBox(const QString &text, const QString &title, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<QString> inputBox(const QString &prompt, const QString &title, const QString &initial) override;
    std::optional<QString> browseFolder(const QString &title, const QString &startFolder) override;
    bool openDocument(const QString &path) override;

private:
    QPointer<QWidget> m_owner;
};

} // namespace vell
