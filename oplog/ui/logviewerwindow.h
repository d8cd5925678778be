#pragma once

#include "oplog/logviewer.h"

#include <QList>
#include <QWidget>
#include <memory>

class QLabel;
class QMenu;
class QScreen;

namespace Ui {
class LogViewerWindow;
}

namespace vell {

struct Settings;
class UserDialogs;

// frmVoirLogs: the dates of the daily logs of PathLogs in rows of four,
// each opening its log through the system, or deleting it through its
// right-button menu. Modeless, top-most, at the top right of its screen;
// built from the folder when created and deleted when closed. It opens the
// newest log as soon as it is shown.
class LogViewerWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LogViewerWindow)
public:
    // `screen`: the one it opens on (the main window's); null for the
    // primary screen.
    LogViewerWindow(const Settings &settings, UserDialogs &dialogs, QScreen *screen = nullptr);
    ~LogViewerWindow() override;

    // The menu item chosen again while the viewer is open: it comes back
    // from the task bar instead of a second viewer being made.
    void bringBack();

    [[nodiscard]] const QList<ListedLog> &logs() const { return m_logs; }

signals:
    // A date was clicked: the main window minimises itself so the log can
    // be read.
    void dateClicked();
    // The viewer is closing: the main window restores itself.
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void layDates();
    void updateScrollRange();
    void scrolled(int value);
    void placeTopRight();
    void openLog(int index, bool minimizeMain);
    void showMenu(int index, const QPoint &globalPos);
    void deleteSelected();
    void markVisited(QLabel *label);

    std::unique_ptr<Ui::LogViewerWindow> m_ui;
    QMenu *m_menu = nullptr; // owned by the window
    UserDialogs &m_dialogs;
    QScreen *m_screen;
    QString m_folder;
    int32_t m_langue;
    QList<ListedLog> m_logs;
    QList<QLabel *> m_labels; // one per log, in list order; owned by picDates
    int m_selected = -1;      // the date last right-clicked
    int m_contentHeight = 0;  // picDates' height
    bool m_shownOnce = false;
};

} // namespace vell
