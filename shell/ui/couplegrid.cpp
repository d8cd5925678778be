// The couple grid, the file lists and the commands that edit the couples:
// the part of the main window that shows FolderPairList.

#include "shell/ui/mainwindow.h"

#include "base/programidentity.h"
#include "base/userdialogs.h"
#include "config/settingsfile.h"
#include "config/ui/setmodedialog.h"
#include "shell/gridtexts.h"
#include "shell/vellprogram.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QMouseEvent>
#include <QToolTip>
#include <cstring>

namespace vell {

namespace {

constexpr int IsFolderRole = Qt::UserRole + 1; // a list item that stands for a sub-folder

QTableWidgetItem *cell(const QString &text, std::optional<uint32_t> colour, std::optional<uint32_t> background)
{
    auto *item = new QTableWidgetItem(text);
    if (colour)
        item->setForeground(QColor(QRgb(*colour)));
    if (background) {
        item->setBackground(QColor(QRgb(*background)));
        if (!colour)
            item->setForeground(QColor(Qt::black)); // readable on cyan in a dark theme too
    }
    return item;
}

} // namespace

void MainWindow::LoadGrid()
{
    QTableWidget *grid = m_ui->lstDossiers;
    const QList<CoupleRow> &rows = m_program->rows;
    const QSignalBlocker blocker(grid);
    grid->clearContents();
    grid->setRowCount(int(rows.size()));
    const QIcon delays[] = {QIcon(QStringLiteral(":/icons/delay-default.svg")),
                            QIcon(QStringLiteral(":/icons/delay-own.svg"))};
    for (int r = 0; r < rows.size(); ++r) {
        const CoupleRow &row = rows.at(r);
        QTableWidgetItem *source = cell(row.sourceText, row.sourceColour, row.background);
        source->setData(Qt::UserRole, qlonglong(row.position));
        grid->setItem(r, 0, source);
        QTableWidgetItem *delay = cell(QString(), std::nullopt, row.background);
        delay->setIcon(delays[row.delay == DelayPicture::Default ? 0 : 1]);
        grid->setItem(r, 1, delay);
        grid->setItem(r, 2, cell(row.targetText, row.targetColour, row.background));
    }
    m_ui->lblNbDossiers->setText(QString::number(rows.size()));
    if (!rows.isEmpty())
        grid->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
    showHighlight(false); // no row looks selected until the grid is used
}

void MainWindow::showHighlight(bool shown)
{
    QTableWidget *grid = m_ui->lstDossiers;
    m_highlightShown = shown;
    if (!shown) {
        grid->clearSelection();
        return;
    }
    if (grid->selectedRanges().isEmpty() && grid->currentRow() >= 0)
        selectWholeRow(grid->currentRow());
}

void MainWindow::selectWholeRow(int row)
{
    QTableWidget *grid = m_ui->lstDossiers;
    grid->setCurrentCell(row, 0, QItemSelectionModel::NoUpdate);
    grid->clearSelection();
    grid->setRangeSelected(QTableWidgetSelectionRange(row, 0, row, 2), true);
}

GridSelection MainWindow::gridSelection() const
{
    const QTableWidget *grid = m_ui->lstDossiers;
    GridSelection selection;
    selection.currentRow = grid->currentRow();
    selection.shown = m_highlightShown && !grid->selectedRanges().isEmpty();
    selection.endRow = selection.currentRow;
    for (const QTableWidgetSelectionRange &range : grid->selectedRanges()) {
        // The other end of a dragged block, seen from the current row.
        if (range.topRow() <= selection.currentRow && selection.currentRow <= range.bottomRow())
            selection.endRow = selection.currentRow == range.topRow() ? range.bottomRow() : range.topRow();
    }
    return selection;
}

void MainWindow::gridClicked(int row, int column)
{
    QTableWidget *grid = m_ui->lstDossiers;
    if (grid->rowCount() == 0)
        return;
    m_highlightShown = true;
    selectWholeRow(row);
    if (m_program->settings.AfficherFichiers)
        FillFileLists(row);
    if (column == 1 && m_program->state.MirroringOff)
        openModes(row);
}

void MainWindow::gridDoubleClicked(int, int column)
{
    if (!m_program->state.MirroringOff)
        return;
    if (column == 0)
        editCouple(EditAction::Modify, FolderRole::Source, PathMeans::Browser);
    else if (column == 2)
        editCouple(EditAction::Modify, FolderRole::Target, PathMeans::Browser);
}

void MainWindow::gridMouseMoved(const QPoint &position)
{
    QTableWidget *grid = m_ui->lstDossiers;
    if (grid->rowCount() == 0 || !m_program->state.MirroringOff)
        return;
    if (position.y() >= grid->rowHeight(0) * grid->rowCount()) {
        clearStatus();
        return;
    }
    const int row = grid->rowAt(position.y());
    if (row >= 0 && row != m_lastDescribedRow) {
        const CoupleRow &couple = m_program->rows.at(row);
        m_ui->lblMessage->setText(HoverDescription(couple.sourceText, couple.targetText, m_program->pairs.at(row),
                                                   m_program->settings.Temporisation, m_program->settings.Langue,
                                                   m_program->system.IsNT));
        m_lastDescribedRow = row;
    }
    // A cell too wide for its column shows its whole text as a tooltip
    // (230 twips of margin: a twip is 1/1440 inch).
    const QTableWidgetItem *item = grid->itemAt(position);
    const QString text = item ? item->text() : QString();
    const QLabel *measure = findChild<QLabel *>(QStringLiteral("lblTestLongueur"));
    const int margin = 230 * logicalDpiX() / 1440;
    const bool tooWide = measure->fontMetrics().horizontalAdvance(text) > grid->width() / 2 - margin;
    grid->setToolTip(tooWide ? text : QString());
}

void MainWindow::clearStatus()
{
    m_ui->lblMessage->clear();
    m_lastDescribedRow = -1;
}

void MainWindow::backgroundClicked()
{
    QTableWidget *grid = m_ui->lstDossiers;
    if (grid->rowCount() > 0)
        grid->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
    showHighlight(false);
    m_ui->lstFichiersSources->clear();
    m_ui->lstFichiersCibles->clear();
    m_ui->lblNbFichiersSources->clear();
    m_ui->lblNbFichiersCibles->clear();
    m_ui->cmdMiroir->setFocus();
}

void MainWindow::FillFileLists(int row)
{
    m_ui->lstFichiersSources->clear();
    m_ui->lstFichiersCibles->clear();
    m_ui->lblNbFichiersSources->clear();
    m_ui->lblNbFichiersCibles->clear();
    if (row < 0 || row >= m_program->pairs.size())
        return;
    const FolderPair &pair = m_program->pairs.at(row);
    ListFolder(pair.Source, 1);
    ListFolder(pair.Cible, 2);
}

void MainWindow::ListFolder(const QString &path, int side)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QListWidget *list = side == 1 ? m_ui->lstFichiersSources : m_ui->lstFichiersCibles;
    QLabel *count = side == 1 ? m_ui->lblNbFichiersSources : m_ui->lblNbFichiersCibles;
    list->clear();
    for (const FolderItem &entry : FolderItems(path)) {
        auto *item = new QListWidgetItem(entry.text, list);
        item->setData(Qt::UserRole, entry.data);
        item->setData(IsFolderRole, entry.text.startsWith(QLatin1Char('[')) && entry.data == -1);
    }
    const QTableWidget *grid = m_ui->lstDossiers;
    const QTableWidgetItem *folderCell = grid->currentRow() >= 0 ? grid->item(grid->currentRow(), side == 1 ? 0 : 2)
                                                                 : nullptr;
    count->setText(FileCountText(list->count(), folderCell ? folderCell->text() : QString(),
                                 m_program->settings.Langue));
    QApplication::restoreOverrideCursor();
}

void MainWindow::fileListMouseMoved(QListWidget *list, const QPoint &position)
{
    const QListWidgetItem *item = list->itemAt(position);
    if (!item) {
        list->setToolTip(QString());
        return;
    }
    if (item->data(IsFolderRole).toBool())
        list->setToolTip(FolderItemTooltip(item->text(), m_program->settings.Langue));
    else
        list->setToolTip(FileItemTooltip(item->text(), item->data(Qt::UserRole).toInt()));
}

void MainWindow::toggleFileLists()
{
    Settings &settings = m_program->settings;
    settings.AfficherFichiers = m_ui->mnuAfficherFichiers->isChecked();
    const int rc = WriteSettingFlag(m_program->files, SectionConfiguration, QStringLiteral("AfficherFichiers"),
                                    settings.AfficherFichiers);
    reportSettingWrite(rc);
    showFileLists(settings.AfficherFichiers);
    if (settings.AfficherFichiers && m_ui->lstDossiers->rowCount() > 0)
        FillFileLists(std::max(0, m_ui->lstDossiers->currentRow()));
}

void MainWindow::showFileLists(bool on)
{
    if (!on) {
        m_ui->lstFichiersSources->clear();
        m_ui->lstFichiersCibles->clear();
        m_ui->lblNbFichiersSources->clear();
        m_ui->lblNbFichiersCibles->clear();
    }
    m_ui->fileListsArea->setVisible(on);
    m_ui->frameLegende->setVisible(!on);
}

void MainWindow::editCouple(EditAction action, FolderRole role, PathMeans means)
{
    if (!m_program->state.MirroringOff)
        return; // the list is never edited during a run
    const GridSelection selection = gridSelection();
    const EditContext context{m_program->files, m_program->settings, m_program->system, *m_dialogs};
    const EditOutcome outcome = EditFolderPair(action, role, means, selection, m_program->pairs, context);
    if (!outcome.changed)
        return;
    reloadCouples(selection.currentRow);
    if (outcome.openModes && !m_program->pairs.isEmpty()) {
        const int last = int(m_program->pairs.size()) - 1;
        m_highlightShown = true;
        selectWholeRow(last);
        openModes(last);
    }
}

void MainWindow::removeCouples()
{
    if (!m_program->state.MirroringOff)
        return;
    const EditContext context{m_program->files, m_program->settings, m_program->system, *m_dialogs};
    if (RemoveFolderPairs(gridSelection(), m_program->pairs, context))
        reloadCouples(0);
}

void MainWindow::reloadCouples(qsizetype currentRow)
{
    if (const std::optional<int> end = m_program->reloadCouples()) {
        endProgram(*end);
        return;
    }
    LoadGrid();
    QTableWidget *grid = m_ui->lstDossiers;
    if (currentRow >= 0 && currentRow < grid->rowCount()) {
        const QSignalBlocker blocker(grid);
        grid->setCurrentCell(int(currentRow), 0, QItemSelectionModel::NoUpdate);
    }
}

void MainWindow::openModes(int row)
{
    if (row < 0 || row >= m_program->rows.size())
        return;
    const CoupleRow couple = m_program->rows.at(row);
    SetModeDialog dialog(SetModeDialog::Couple{m_program->files, couple.position, couple.sourceText,
                                               couple.targetText},
                         m_program->settings, m_program->system, m_program->state.MirroringOff, *m_dialogs, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    reloadCouples(row);
    m_highlightShown = true;
    selectWholeRow(row);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    QTableWidget *grid = m_ui->lstDossiers;
    const QEvent::Type type = event->type();
    if (watched == grid) {
        if (type == QEvent::FocusIn)
            showHighlight(true);
        if (type == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
            if (m_highlightShown && grid->rowCount() > 0)
                removeCouples();
            return true;
        }
        return QMainWindow::eventFilter(watched, event);
    }
    if (watched == grid->viewport()) {
        if (type == QEvent::MouseMove)
            gridMouseMoved(static_cast<QMouseEvent *>(event)->position().toPoint());
        return QMainWindow::eventFilter(watched, event);
    }
    for (QListWidget *list : {m_ui->lstFichiersSources, m_ui->lstFichiersCibles}) {
        if (watched != list->viewport())
            continue;
        const auto *move = static_cast<QMouseEvent *>(event);
        if (type == QEvent::MouseMove && move->buttons() == Qt::NoButton)
            fileListMouseMoved(list, move->position().toPoint());
        return QMainWindow::eventFilter(watched, event);
    }
    const bool heading = watched == m_ui->lblDossiersSources || watched == m_ui->lblDossiersCibles
        || watched == m_ui->lblNbDossiers;
    if (type == QEvent::MouseButtonPress && !heading)
        backgroundClicked();
    if (type == QEvent::MouseMove && (heading || watched == m_ui->centralwidget) && m_program
        && m_program->state.MirroringOff)
        clearStatus();
    return QMainWindow::eventFilter(watched, event);
}

} // namespace vell
