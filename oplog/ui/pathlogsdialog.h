#pragma once

#include "config/settings.h"

#include <QDialog>
#include <memory>

class QFileSystemModel;
class QModelIndex;

namespace Ui {
class PathLogsDialog;
}

namespace vell {

struct ProgramFiles;
class UserDialogs;

// frmPathLogs: whether the daily logs are written, with or without the
// names of the mirrored items, and their folder. OK writes Logs,
// FichiersLogs and PathLogs to the settings file and to `settings`;
// Cancel changes nothing.
class PathLogsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PathLogsDialog)
public:
    PathLogsDialog(const ProgramFiles &files, Settings &settings, UserDialogs &dialogs, QWidget *parent = nullptr);
    ~PathLogsDialog() override;

    // The folder shown in lblDossier, which OK stores.
    [[nodiscard]] QString folder() const { return m_folder; }

private:
    void logsClicked();
    void driveChosen(int index);
    void folderChosen(const QModelIndex &current);
    void showFolder(const QString &folder);
    // Scrolls the list to the folder shown, once its parents are read.
    void showCurrentFolder();
    void showEvent(QShowEvent *event) override;
    void accept() override;

    std::unique_ptr<Ui::PathLogsDialog> m_ui;
    QFileSystemModel *m_model = nullptr; // owned by the dialog
    const ProgramFiles &m_files;
    Settings &m_settings;
    UserDialogs &m_dialogs;
    QString m_folder;
};

} // namespace vell
