#include "signatures/ui/signaturesdialog.h"

#include "base/programidentity.h"
#include "base/ui/applycaptions.h"
#include "base/userdialogs.h"
#include "signatures/signatureloader.h"
#include "ui_signaturesdialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalBlocker>

namespace vell {

namespace {

QTreeWidgetItem *newItem(const SignatureEntry &entry)
{
    return new QTreeWidgetItem(QStringList{entry.signature, entry.extension, entry.description});
}

void setItem(QTreeWidgetItem *item, const SignatureEntry &entry)
{
    item->setText(0, entry.signature);
    item->setText(1, entry.extension);
    item->setText(2, entry.description);
}

} // namespace

SignaturesDialog::SignaturesDialog(const ProgramFiles &files, const Settings &settings, SignatureTable &table,
                                   UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::SignaturesDialog>())
    , m_signatureFile(files.signatureFile())
    , m_langue(settings.Langue)
    , m_table(table)
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    (void)ApplyCaptions(this, SignatureEditorCaptions(m_langue));
    m_ui->lstSignatures->setHeaderLabels(SignatureListHeadings());
    m_ui->lstSignatures->header()->setSectionsClickable(true);
    m_ui->lstSignatures->header()->setStretchLastSection(true); // the description takes what is left

    SignatureEditorOpening opening = OpenSignatureEditor(m_signatureFile, m_langue);
    ShowSignatureLoadMessages(opening.messages, m_dialogs);
    for (const SignatureEntry &entry : opening.rows)
        m_ui->lstSignatures->addTopLevelItem(newItem(entry));
    m_editor = SignatureEditor(std::move(opening.rows));
    m_ui->cmdOK->setEnabled(opening.canSave);
    m_ui->lstSignatures->setCurrentItem(nullptr);
    m_ui->lstSignatures->clearSelection();
    updateTitle(false);

    // An 8-character signature fits its box; the description gets the width.
    const int signatureWidth = fontMetrics().horizontalAdvance(QStringLiteral("WWWWWWWWW"));
    m_ui->txtSignature->setMinimumWidth(signatureWidth);
    m_ui->txtExtension->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("WWWWW")));
    m_ui->txtType->setMinimumWidth(2 * signatureWidth);
    // Room for a dozen rows and long descriptions at the desktop's font.
    resize(sizeHint().expandedTo(QSize(fontMetrics().averageCharWidth() * 72, fontMetrics().height() * 24)));

    m_ui->lstSignatures->viewport()->installEventFilter(this);
    m_ui->lstSignatures->installEventFilter(this); // the Delete key removes
    connect(m_ui->lstSignatures, &QTreeWidget::itemSelectionChanged, this, &SignaturesDialog::showSelected);
    connect(m_ui->lstSignatures->header(), &QHeaderView::sectionClicked, this, &SignaturesDialog::headingClicked);
    connect(m_ui->cmdAjouter, &QPushButton::clicked, this, &SignaturesDialog::addOrModify);
    connect(m_ui->cmdSupprimer, &QPushButton::clicked, this, &SignaturesDialog::removeSelected);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &SignaturesDialog::accept);
    connect(m_ui->cmdAnnuler, &QPushButton::clicked, this, &SignaturesDialog::reject);
}

SignaturesDialog::~SignaturesDialog() = default;

void SignaturesDialog::accept()
{
    if (!m_editor.isModified()) {
        QDialog::accept();
        return;
    }
    if (!m_ui->cmdOK->isEnabled())
        return; // an unreadable file is never replaced
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const SignatureEditorSave save = SaveSignatureEditor(m_signatureFile, m_editor.rows(), m_table, m_langue);
    QApplication::restoreOverrideCursor();
    if (!save.result.ok()) {
        // The changes stay in the dialog: the user may mend the cause and save again, or cancel.
        (void)m_dialogs.messageBox(signatureSaveMessage(save.result, m_langue), ProductName, MessageIcon::Critical,
                                   MessageButtons::Ok);
        return;
    }
    m_editor.markSaved();
    ShowSignatureLoadMessages(save.loadMessages, m_dialogs);
    QDialog::accept();
}

void SignaturesDialog::reject()
{
    if (m_editor.isModified()
        && m_dialogs.messageBox(DiscardSignatureChangesQuestion(m_langue), ProductName, MessageIcon::Question,
                                MessageButtons::YesNo)
            != MessageAnswer::Yes)
        return;
    QDialog::reject();
}

bool SignaturesDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->lstSignatures->viewport() && event->type() == QEvent::MouseButtonRelease)
        listClicked();
    if (watched == m_ui->lstSignatures && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete
        && static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
        removeSelected();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void SignaturesDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    alignColumns();
}

void SignaturesDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    alignColumns();
}

// The first two columns stand under their text boxes.
void SignaturesDialog::alignColumns()
{
    const int extensionAt = m_ui->txtExtension->x();
    m_ui->lstSignatures->setColumnWidth(0, extensionAt - m_ui->lstSignatures->x());
    m_ui->lstSignatures->setColumnWidth(1, m_ui->txtType->x() - extensionAt);
}

void SignaturesDialog::addOrModify()
{
    m_ui->lblMsg->clear();
    const SignatureEntry typed{m_ui->txtSignature->text(), m_ui->txtExtension->text(), m_ui->txtType->text()};
    const qsizetype existing = m_editor.indexOf(typed.signature);
    const QString storedSignature = existing >= 0 ? m_editor.rows().at(existing).signature : QString();
    const SignatureEditor::Outcome outcome = m_editor.addOrModify(typed);
    showMessage(outcome.message, outcome.signature);
    if (outcome.message != EditMessageKind::Added && outcome.message != EditMessageKind::Modified)
        return;

    QTreeWidgetItem *item = nullptr;
    if (outcome.message == EditMessageKind::Added) {
        item = newItem(typed);
        m_ui->lstSignatures->addTopLevelItem(item);
    } else {
        item = itemOf(storedSignature);
        setItem(item, typed);
    }
    if (m_sortColumn >= 0)
        m_ui->lstSignatures->sortItems(m_sortColumn, m_nextAscending ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_ui->lstSignatures->setCurrentItem(item);
    m_ui->lstSignatures->scrollToItem(item);
    updateTitle(true);
    m_ui->txtSignature->setFocus();
}

void SignaturesDialog::removeSelected()
{
    m_ui->lblMsg->clear();
    const SignatureEditor::Outcome outcome = m_editor.remove(selectedRow());
    showMessage(outcome.message, outcome.signature);
    if (outcome.message != EditMessageKind::Removed)
        return;
    {
        // The view would select a neighbour and show it in the boxes, which keep their texts.
        const QSignalBlocker quiet(m_ui->lstSignatures);
        delete itemOf(outcome.signature);
        m_ui->lstSignatures->setCurrentItem(nullptr);
        m_ui->lstSignatures->clearSelection();
    }
    updateTitle(true);
}

void SignaturesDialog::listClicked()
{
    m_ui->lblMsg->clear();
    showSelected();
}

// The selected row's texts go to the three boxes; no selection changes nothing.
void SignaturesDialog::showSelected()
{
    const qsizetype row = selectedRow();
    if (row < 0)
        return;
    const SignatureEntry &entry = m_editor.rows().at(row);
    m_ui->txtSignature->setText(entry.signature);
    m_ui->txtExtension->setText(entry.extension);
    m_ui->txtType->setText(entry.description);
}

void SignaturesDialog::headingClicked(int column)
{
    const Qt::SortOrder order = m_nextAscending ? Qt::AscendingOrder : Qt::DescendingOrder;
    m_nextAscending = !m_nextAscending;
    m_sortColumn = column;
    m_ui->lstSignatures->sortItems(column, order);
    m_ui->lstSignatures->header()->setSortIndicatorShown(true);
    m_ui->lstSignatures->header()->setSortIndicator(column, order);
}

void SignaturesDialog::showMessage(EditMessageKind kind, const QString &signature)
{
    const EditTone tone = ToneOf(kind);
    m_ui->lblMsg->setText(SignatureEditMessage(kind, signature, m_langue));
    QPalette palette = m_ui->lblMsg->palette();
    palette.setColor(QPalette::WindowText, tone == EditTone::Confirmation ? QColor(255, 0, 255) : QColor(255, 0, 0));
    m_ui->lblMsg->setPalette(palette);
    if (tone == EditTone::Error)
        QApplication::beep();
}

void SignaturesDialog::updateTitle(bool afterChange)
{
    setWindowTitle(SignatureEditorTitle(m_editor.rows().size(), afterChange, m_langue));
}

QTreeWidgetItem *SignaturesDialog::itemOf(const QString &signature) const
{
    const QString key = SignatureTable::keyOf(signature);
    for (int i = 0; i < m_ui->lstSignatures->topLevelItemCount(); ++i) {
        QTreeWidgetItem *const item = m_ui->lstSignatures->topLevelItem(i);
        if (SignatureTable::keyOf(item->text(0)) == key)
            return item;
    }
    return nullptr;
}

qsizetype SignaturesDialog::selectedRow() const
{
    const QList<QTreeWidgetItem *> selected = m_ui->lstSignatures->selectedItems();
    return selected.isEmpty() ? -1 : m_editor.indexOf(selected.first()->text(0));
}

} // namespace vell
