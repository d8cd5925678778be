#pragma once

#include "config/settings.h"

#include <QDialog>
#include <memory>

namespace Ui {
class ServiceDialog;
}

namespace vell {

class EngineHost;
class ServiceControl;
class UserDialogs;
struct ProgramFiles;

// frmAdminService: installs and removes this program folder's service.
// Unlike the other dialogs it acts at once: Install, Remove and the
// event-log box take effect when clicked, and Cancel undoes none of them.
class ServiceDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServiceDialog)
public:
    // `host` beeps; `dialogs` shows the message after an install and a
    // setting that could not be written.
    ServiceDialog(ServiceControl &control, Settings &settings, const ProgramFiles &files, EngineHost &host,
                  UserDialogs &dialogs, QWidget *parent = nullptr);
    ~ServiceDialog() override;

    // After exec(): the service was installed, so the program ends now
    // (tray icon removed, exit status 0).
    [[nodiscard]] bool programMustEnd() const { return m_programMustEnd; }

signals:
    // The main window's mode indicator must show the service (true) or
    // the application (false).
    void indicatorChanged(bool service);

private:
    void interactChanged();
    void eventLogClicked(bool checked);
    void install();
    void remove();
    [[nodiscard]] int selectedStartOption() const;

    std::unique_ptr<Ui::ServiceDialog> m_ui;
    ServiceControl &m_control;
    Settings &m_settings;
    const ProgramFiles &m_files;
    EngineHost &m_host;
    UserDialogs &m_dialogs;
    int m_langue;
    bool m_programMustEnd = false;
};

} // namespace vell
