#pragma once

#include "config/settings.h"
#include "platform/systeminfo.h"

#include <QDialog>
#include <memory>

namespace Ui {
class AlertsDialog;
}

namespace vell {

class EngineHost;
class UserDialogs;
struct AlertForm;
struct ProgramFiles;

// frmAvertirDossierErr: how a mirror run warns of an unknown folder. OK
// writes the four keys; Try raises each alert the boxes ask for at once.
class AlertsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertsDialog)
public:
    // `host` shows the notice, beeps and starts the net-send command of a
    // try; `dialogs` shows the try's and the write's boxes.
    AlertsDialog(Settings &settings, const ProgramFiles &files, const SystemInfo &system, EngineHost &host,
                 UserDialogs &dialogs, QWidget *parent = nullptr);
    ~AlertsDialog() override;

private:
    [[nodiscard]] AlertForm form() const;
    void boxesChanged();
    void tryAlerts();
    void accept() override;

    std::unique_ptr<Ui::AlertsDialog> m_ui;
    Settings &m_settings;
    const ProgramFiles &m_files;
    SystemInfo m_system;
    EngineHost &m_host;
    UserDialogs &m_dialogs;
    int m_langue;
};

} // namespace vell
