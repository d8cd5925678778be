#include "service/ui/servicedialog.h"

#include "base/programidentity.h"
#include "base/ui/applycaptions.h"
#include "base/userdialogs.h"
#include "engine/enginehost.h"
#include "service/serviceadmin.h"
#include "ui_servicedialog.h"

#include <cstring>

namespace vell {

ServiceDialog::ServiceDialog(ServiceControl &control, Settings &settings, const ProgramFiles &files,
                             EngineHost &host, UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ServiceDialog>())
    , m_control(control)
    , m_settings(settings)
    , m_files(files)
    , m_host(host)
    , m_dialogs(dialogs)
    , m_langue(settings.Langue)
{
    m_ui->setupUi(this);
    (void)ApplyCaptions(this, ServiceDialogCaptions(m_langue));
    const AdminForm form = OpenAdminForm(m_control, m_settings, m_langue);
    m_ui->chkDossierErrEventLog->setChecked(form.eventLog);
    m_ui->lblService->setText(form.statusText);
    QRadioButton *const options[] = {m_ui->optType0, m_ui->optType1, m_ui->optType2};
    options[form.startOption]->setChecked(true);
    m_ui->chkInteract->setChecked(form.interactive);
    interactChanged();

    connect(m_ui->chkInteract, &QCheckBox::toggled, this, &ServiceDialog::interactChanged);
    connect(m_ui->chkDossierErrEventLog, &QCheckBox::clicked, this, &ServiceDialog::eventLogClicked);
    connect(m_ui->cmdInstall, &QPushButton::clicked, this, &ServiceDialog::install);
    connect(m_ui->cmdRemove, &QPushButton::clicked, this, &ServiceDialog::remove);
    connect(m_ui->cmdAnnuler, &QPushButton::clicked, this, &ServiceDialog::reject);
}

ServiceDialog::~ServiceDialog() = default;

void ServiceDialog::interactChanged()
{
    m_ui->lblInteract->setVisible(m_ui->chkInteract->isChecked());
}

void ServiceDialog::eventLogClicked(bool checked)
{
    const int rc = StoreEventLogChoice(m_files, m_settings, checked);
    if (rc == 0)
        return;
    // The box keeps showing what the file and the program still hold.
    m_ui->chkDossierErrEventLog->setChecked(m_settings.ErreurDossierEventLog);
    ShowSettingsWriteFailure(m_dialogs, m_files, rc);
}

int ServiceDialog::selectedStartOption() const
{
    if (m_ui->optType0->isChecked())
        return 0;
    return m_ui->optType1->isChecked() ? 1 : 2;
}

void ServiceDialog::install()
{
    const AdminResult result =
        AdminInstall(m_control, selectedStartOption(), m_ui->chkInteract->isChecked(), m_langue);
    m_ui->lblService->setText(result.statusText);
    if (result.beep)
        m_host.beep();
    if (result.serviceIndicator)
        emit indicatorChanged(*result.serviceIndicator);
    if (!result.message.isEmpty())
        (void)m_dialogs.messageBox(result.message, ProductName, MessageIcon::Information, MessageButtons::Ok);
    if (result.endProgram) {
        m_programMustEnd = true;
        accept();
    }
}

void ServiceDialog::remove()
{
    const AdminResult result = AdminRemove(m_control, m_langue);
    m_ui->lblService->setText(result.statusText);
    if (result.beep)
        m_host.beep();
    if (result.serviceIndicator)
        emit indicatorChanged(*result.serviceIndicator);
}

} // namespace vell
