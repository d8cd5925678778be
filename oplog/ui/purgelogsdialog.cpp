#include "oplog/ui/purgelogsdialog.h"

#include "base/programidentity.h"
#include "base/ui/applycaptions.h"
#include "base/userdialogs.h"
#include "oplog/logsettings.h"
#include "ui_purgelogsdialog.h"

#include <cstring>

namespace vell {

PurgeLogsDialog::PurgeLogsDialog(const ProgramFiles &files, Settings &settings, UserDialogs &dialogs,
                                 QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::PurgeLogsDialog>())
    , m_files(files)
    , m_settings(settings)
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    (void)ApplyCaptions(this, PurgeLogsCaptions(settings.Langue));
    m_ui->chkPurgeLogs->setChecked(settings.PurgeLogs);
    m_ui->Text1->setText(QString::number(settings.DelaiLogs));
    // The message comes and goes without moving the buttons.
    QSizePolicy keep = m_ui->Label1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_ui->Label1->setSizePolicy(keep);
    m_ui->Label1->hide();

    connect(m_ui->UpDown1Up, &QToolButton::clicked, this, [this] { step(+1); });
    connect(m_ui->UpDown1Down, &QToolButton::clicked, this, [this] { step(-1); });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &PurgeLogsDialog::accept);
    connect(m_ui->cmdAnnuler, &QPushButton::clicked, this, &PurgeLogsDialog::reject);
}

PurgeLogsDialog::~PurgeLogsDialog() = default;

void PurgeLogsDialog::step(int delta)
{
    const PurgeStep next = StepPurgeNumber(m_ui->Text1->text(), delta);
    m_ui->Label1->setText(PurgeLimitMessage(next.limit, m_settings.Langue));
    m_ui->Label1->setVisible(next.limit != PurgeLimit::None);
    m_ui->Text1->setText(QString::number(next.number));
}

void PurgeLogsDialog::accept()
{
    const QString typed = m_ui->Text1->text();
    const int32_t number = CheckPurgeNumber(typed);
    if (number < 0) {
        (void)m_dialogs.messageBox(InvalidPurgeNumberMessage(typed, m_settings.Langue), windowTitle(),
                                   MessageIcon::Critical, MessageButtons::Ok);
        return;
    }
    const int rc = StorePurge(m_files, m_settings, m_ui->chkPurgeLogs->isChecked(), number);
    if (rc < 0) {
        ShowSettingsWriteFailure(m_dialogs, m_files, rc);
        return;
    }
    QDialog::accept();
}

} // namespace vell
