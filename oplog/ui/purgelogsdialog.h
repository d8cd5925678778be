#pragma once

#include "config/settings.h"

#include <QDialog>
#include <memory>

namespace Ui {
class PurgeLogsDialog;
}

namespace vell {

struct ProgramFiles;
class UserDialogs;

// frmPurgeLogs: whether old logs are removed and how many are kept. OK
// checks the number, then writes PurgeLogs and DelaiLogs to the settings
// file and to `settings`; Cancel changes nothing.
class PurgeLogsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PurgeLogsDialog)
public:
    PurgeLogsDialog(const ProgramFiles &files, Settings &settings, UserDialogs &dialogs, QWidget *parent = nullptr);
    ~PurgeLogsDialog() override;

private:
    void step(int delta);
    void accept() override;

    std::unique_ptr<Ui::PurgeLogsDialog> m_ui;
    const ProgramFiles &m_files;
    Settings &m_settings;
    UserDialogs &m_dialogs;
};

} // namespace vell
