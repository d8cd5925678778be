#include "oplog/ui/pathlogsdialog.h"

#include "base/programidentity.h"
#include "base/ui/applycaptions.h"
#include "base/userdialogs.h"
#include "config/folderprobe.h"
#include "oplog/logsettings.h"
#include "ui_pathlogsdialog.h"

#include <QTimer>
#include <QFileSystemModel>
#include <cstring>

namespace vell {

PathLogsDialog::PathLogsDialog(const ProgramFiles &files, Settings &settings, UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::PathLogsDialog>())
    , m_files(files)
    , m_settings(settings)
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    (void)ApplyCaptions(this, PathLogsCaptions(settings.Langue));
    m_ui->chkLogs->setChecked(settings.Logs);
    m_ui->chkFichiersLogs->setChecked(settings.FichiersLogs);

    // The folder list: every folder of the machine, hidden ones too, since
    // the logs folder may be one.
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    m_model->setRootPath(QStringLiteral("/"));
    m_ui->Chemins->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_ui->Chemins->hideColumn(column);
    for (const QString &drive : LogFolderDrives())
        m_ui->Lecteurs->addItem(drive, drive);

    showFolder(InitialLogFolder(settings.PathLogs, files.ProgramFolder));
    // The model reads folders in the background: once the folder's parents
    // are read, the list can show it where it is.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this](const QString &loaded) {
        if (m_folder.startsWith(loaded))
            showCurrentFolder();
    });
    logsClicked();

    connect(m_ui->chkLogs, &QCheckBox::toggled, this, &PathLogsDialog::logsClicked);
    connect(m_ui->Lecteurs, &QComboBox::activated, this, &PathLogsDialog::driveChosen);
    connect(m_ui->Chemins->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &PathLogsDialog::folderChosen);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &PathLogsDialog::accept);
    connect(m_ui->cmdAnnuler, &QPushButton::clicked, this, &PathLogsDialog::reject);
}

PathLogsDialog::~PathLogsDialog() = default;

// The folder choice only matters when logs are written, but it stays
// visible (and OK stores it) either way.
void PathLogsDialog::logsClicked()
{
    const bool on = m_ui->chkLogs->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(m_ui->chkFichiersLogs), static_cast<QWidget *>(m_ui->lblTitre),
                       static_cast<QWidget *>(m_ui->Lecteurs), static_cast<QWidget *>(m_ui->Chemins),
                       static_cast<QWidget *>(m_ui->lblDossier)})
        w->setEnabled(on);
}

// A drive that cannot be read sends the list back to the drive of the
// folder shown; the folder stays.
void PathLogsDialog::driveChosen(int index)
{
    const QString drive = m_ui->Lecteurs->itemData(index).toString();
    if (FolderExists(drive)) {
        showFolder(drive);
        return;
    }
    const int back = m_ui->Lecteurs->findData(DriveOf(m_folder));
    if (back >= 0)
        m_ui->Lecteurs->setCurrentIndex(back);
}

void PathLogsDialog::folderChosen(const QModelIndex &current)
{
    if (!current.isValid())
        return;
    m_folder = m_model->filePath(current);
    m_ui->lblDossier->setText(m_folder);
}

void PathLogsDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    QTimer::singleShot(0, this, &PathLogsDialog::showCurrentFolder);
}

void PathLogsDialog::showCurrentFolder()
{
    m_ui->Chemins->scrollTo(m_ui->Chemins->currentIndex(), QAbstractItemView::PositionAtCenter);
}

// Shows `folder` in all three places; the tree may not hold it (a folder it
// filters out), but lblDossier, and so OK, always do.
void PathLogsDialog::showFolder(const QString &folder)
{
    m_folder = folder;
    m_ui->lblDossier->setText(folder);
    const int drive = m_ui->Lecteurs->findData(DriveOf(folder));
    if (drive >= 0)
        m_ui->Lecteurs->setCurrentIndex(drive);
    const QModelIndex index = m_model->index(folder);
    if (index.isValid()) {
        for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
            m_ui->Chemins->expand(parent);
        m_ui->Chemins->setCurrentIndex(index);
        m_ui->Chemins->scrollTo(index, QAbstractItemView::PositionAtCenter);
        folderChosen(index);
    }
}

void PathLogsDialog::accept()
{
    const int rc = StoreLogFolder(m_files, m_settings, m_ui->chkLogs->isChecked(),
                                  m_ui->chkFichiersLogs->isChecked(), m_folder);
    if (rc < 0) {
        // The choice stays in the dialog: the user may try again or cancel.
        ShowSettingsWriteFailure(m_dialogs, m_files, rc);
        return;
    }
    QDialog::accept();
}

} // namespace vell
