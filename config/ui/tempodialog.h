#pragma once

#include "config/globaloptions.h"
#include "config/settings.h"

#include <QDialog>
#include <memory>

namespace Ui {
class TempoDialog;
}

namespace vell {

struct ProgramFiles;
class UserDialogs;

// frmTempo: the default delay between two mirror runs. OK writes
// Temporisation to the settings file and to `settings`; the caller then
// gives the wait bar its new range and restarts the countdown of the
// current wait from the new delay.
class TempoDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TempoDialog)
public:
    TempoDialog(const ProgramFiles &files, Settings &settings, bool mirroringOff, UserDialogs &dialogs,
                QWidget *parent = nullptr);
    ~TempoDialog() override;

private:
    void stepDown();
    void stepUp();
    void showStep(const DelayStep &step);
    bool eventFilter(QObject *watched, QEvent *event) override;
    void accept() override;

    std::unique_ptr<Ui::TempoDialog> m_ui;
    const ProgramFiles &m_files;
    Settings &m_settings;
    UserDialogs &m_dialogs;
};

} // namespace vell
