#pragma once

#include "config/pairmodes.h"
#include "config/settings.h"

#include <QDialog>
#include <memory>

namespace Ui {
class SetModeDialog;
}

namespace vell {

struct ProgramFiles;
struct SystemInfo;
class UserDialogs;

// frmSetMode: the delay and the modes of one couple. OK writes the couple's
// section of the settings file; the caller reloads the list.
class SetModeDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SetModeDialog)
public:
    struct Couple
    {
        const ProgramFiles &files;
        qsizetype position; // its "Mirror_" section
        QString sourceText; // the grid's cell texts
        QString targetText;
    };

    SetModeDialog(const Couple &couple, const Settings &settings, const SystemInfo &system, bool mirroringOff,
                  UserDialogs &dialogs, QWidget *parent = nullptr);
    ~SetModeDialog() override;

private:
    void showForm(const ModesForm &form);
    [[nodiscard]] ModesForm form() const;
    void moveRuleChanged();
    void countChanged();
    void accept() override;

    std::unique_ptr<Ui::SetModeDialog> m_ui;
    const ProgramFiles &m_files;
    qsizetype m_position;
    int32_t m_langue;
    int32_t m_temporisation;
    bool m_isNT;
    UserDialogs &m_dialogs;
};

} // namespace vell
