#pragma once

#include "config/settings.h"

#include <QDialog>
#include <memory>

namespace Ui {
class PrefixDialog;
}

namespace vell {

struct ProgramFiles;
class UserDialogs;

// frmPrefixeCible: the prefixes that make the default target of a couple
// added afterwards. OK writes PrefixeCibleDefaut and PrefixeCibleDefautUNC
// exactly as typed, to the settings file and to `settings`.
class PrefixDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PrefixDialog)
public:
    PrefixDialog(const ProgramFiles &files, Settings &settings, UserDialogs &dialogs, QWidget *parent = nullptr);
    ~PrefixDialog() override;

private:
    void accept() override;

    std::unique_ptr<Ui::PrefixDialog> m_ui;
    const ProgramFiles &m_files;
    Settings &m_settings;
    UserDialogs &m_dialogs;
};

} // namespace vell
