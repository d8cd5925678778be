#pragma once

#include "config/settings.h"
#include "signatures/signatureediting.h"

#include <QDialog>
#include <QString>
#include <memory>

class QTreeWidgetItem;

namespace Ui {
class SignaturesDialog;
}

namespace vell {

struct ProgramFiles;
class UserDialogs;

// frmGestionSignatures: edits its own copy of "Signatures.txt". Save
// rewrites the file and reloads `table`, the one the engine looks
// signatures up in; nothing reaches either before that. A save that fails
// is shown and the dialog stays open with its changes.
class SignaturesDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SignaturesDialog)
public:
    // Reads the file and shows, in boxes, what its reading met (duplicates,
    // a corrupt or unreadable file) before the dialog is shown.
    SignaturesDialog(const ProgramFiles &files, const Settings &settings, SignatureTable &table,
                     UserDialogs &dialogs, QWidget *parent = nullptr);
    ~SignaturesDialog() override;

    // Saves when there are changes; closes only when that succeeded.
    void accept() override;
    // Cancel, Escape and the close box: asks before dropping changes.
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void addOrModify();
    void removeSelected();
    void listClicked();
    void showSelected();
    void headingClicked(int column);
    void showMessage(EditMessageKind kind, const QString &signature);
    void updateTitle(bool afterChange);
    void alignColumns();
    [[nodiscard]] QTreeWidgetItem *itemOf(const QString &signature) const;
    [[nodiscard]] qsizetype selectedRow() const;

    std::unique_ptr<Ui::SignaturesDialog> m_ui;
    QString m_signatureFile;
    int32_t m_langue;
    SignatureTable &m_table;
    UserDialogs &m_dialogs;
    SignatureEditor m_editor;
    int m_sortColumn = -1;          // none until a heading is clicked
    bool m_nextAscending = true;    // one direction, shared by all columns
};

} // namespace vell
