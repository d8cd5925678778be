#pragma once

#include "config/pairediting.h"
#include "engine/enginehost.h"
#include "engine/eventpump.h"

#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <memory>
#include <optional>

class QAction;
class QListWidget;

namespace Ui {
class MainWindow;
}

namespace vell {

class CommandRunner;
class EventLog;
class LogViewerWindow;
class Splash;
class UserDialogs;
class VellProgram;

// frmMirror: the program's one window, and the engine's host while it is up.
// The program's start-up and the run belong to VellProgram and its
// controller; the window shows them and turns the user's gestures into
// their commands.
class MainWindow final : public QMainWindow, public EngineHost
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)
public:
    MainWindow(CommandRunner &runner, EventLog &eventLog, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Hands in the program once it exists; before its start-up runs.
    void attach(VellProgram &program, UserDialogs &dialogs);
    // Shows the settings, the texts and the couples that start-up read, and
    // the tray icon: the window's part of start-up, before the automatic
    // start. The window itself is shown unless the program starts mirroring.
    void showStartup();
    // Set once the program must end, with its exit status.
    [[nodiscard]] std::optional<int> endStatus() const { return m_endStatus; }

    // The window's commands, as the menus and buttons call them.
    void SetLanguage(int32_t langue);
    void LoadGrid();
    void FillFileLists(int row);
    void ListFolder(const QString &path, int side);
    void ShowMainWindow();
    void Quit();
    [[nodiscard]] GridSelection gridSelection() const;
    [[nodiscard]] int LastDescribedRow() const { return m_lastDescribedRow; }

    // EngineHost
    void yieldToInterface(int times) override;
    void setMirroringActive(bool active) override;
    void setTrayState(TrayState state) override;
    void setRunProgress(int value, int maximum) override;
    void setWaitProgress(int value, int maximum) override;
    void setCounterText(const QString &text) override;
    void setStatusText(const QString &text) override;
    void showNotice(const QString &text) override;
    void refreshFileLists(bool targetToo) override;
    void endProgram(int exitStatus) override;
    void beep() override;
    void runAlertCommand(const QStringList &argv) override;
    void logEvent(const QString &text, int type) override;
    void reportFailure(const ItemEvent &event, const QString &text) override;
    void noteWatching(const QString &text) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectCommands();
    void showSettingsMarks();
    void showIndicators();
    void showModeIndicator(bool service);
    void connectDialogs();
    void openTempo();
    void openAlerts();
    void openService();
    void openLogViewer();
    void setCommandEnabled(const char *name, bool enabled);
    void lockEditing(bool locked);
    void chooseLanguage(int32_t langue);
    void toggleSetting(QAction *action, bool &setting, const char *key);
    void reportSettingWrite(int rc);
    void chooseSecurity(QAction *chosen);
    void toggleFileLists();
    void showFileLists(bool on);
    void editCouple(EditAction action, FolderRole role, PathMeans means);
    void removeCouples();
    void reloadCouples(qsizetype currentRow);
    void openModes(int row);
    void openHelp();
    void openAbout();
    void startStop();

    // The grid's gestures.
    void showHighlight(bool shown);
    void gridClicked(int row, int column);
    void gridDoubleClicked(int row, int column);
    void gridMouseMoved(const QPoint &position);
    void backgroundClicked();
    void clearStatus();
    void fileListMouseMoved(QListWidget *list, const QPoint &position);
    void selectWholeRow(int row);

    std::unique_ptr<Ui::MainWindow> m_ui;
    CommandRunner &m_runner;
    EventLog &m_eventLog;
    VellProgram *m_program = nullptr;
    UserDialogs *m_dialogs = nullptr;
    QPointer<QSystemTrayIcon> m_tray;
    QPointer<Splash> m_splash;
    QPointer<LogViewerWindow> m_logViewer;
    EventPump m_pump;
    std::optional<int> m_endStatus;
    int m_lastDescribedRow = -1;
    bool m_highlightShown = false;
    bool m_quitting = false;
};

} // namespace vell
