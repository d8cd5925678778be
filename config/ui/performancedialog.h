#pragma once

#include "config/settings.h"

#include <QDialog>
#include <memory>

namespace Ui {
class PerformanceDialog;
}

namespace vell {

struct ProgramFiles;
class UserDialogs;

// frmPerformance: how many times the engine lets the interface breathe at
// each yield point. OK writes Performance to the settings file and to
// `settings`; a running mirror takes it at its next yield.
class PerformanceDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PerformanceDialog)
public:
    PerformanceDialog(const ProgramFiles &files, Settings &settings, UserDialogs &dialogs, QWidget *parent = nullptr);
    ~PerformanceDialog() override;

private:
    void accept() override;

    std::unique_ptr<Ui::PerformanceDialog> m_ui;
    const ProgramFiles &m_files;
    Settings &m_settings;
    UserDialogs &m_dialogs;
};

} // namespace vell
