#include "service/ui/alertsdialog.h"

#include "base/programidentity.h"
#include "base/ui/applycaptions.h"
#include "base/userdialogs.h"
#include "engine/enginehost.h"
#include "service/alertsettings.h"
#include "ui_alertsdialog.h"

#include <cstring>

namespace vell {

AlertsDialog::AlertsDialog(Settings &settings, const ProgramFiles &files, const SystemInfo &system,
                           EngineHost &host, UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::AlertsDialog>())
    , m_settings(settings)
    , m_files(files)
    , m_system(system)
    , m_host(host)
    , m_dialogs(dialogs)
    , m_langue(settings.Langue)
{
    m_ui->setupUi(this);
    (void)ApplyCaptions(this, AlertsDialogCaptions(m_langue));
    const AlertForm opened = OpenAlertForm(m_settings, m_system);
    m_ui->chkDossierErr->setChecked(opened.notice);
    m_ui->chkDossierErrSon->setChecked(opened.beep);
    m_ui->chkDossierErrNetSend->setChecked(opened.netSend);
    m_ui->chkDossierErrNetSend->setEnabled(m_system.IsNT); // net send exists on NT only
    m_ui->txtNetSend->setText(opened.message);
    boxesChanged();

    for (QCheckBox *box : {m_ui->chkDossierErr, m_ui->chkDossierErrSon, m_ui->chkDossierErrNetSend})
        connect(box, &QCheckBox::toggled, this, &AlertsDialog::boxesChanged);
    connect(m_ui->cmdEssayer, &QPushButton::clicked, this, &AlertsDialog::tryAlerts);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &AlertsDialog::accept);
    connect(m_ui->cmdAnnuler, &QPushButton::clicked, this, &AlertsDialog::reject);
}

AlertsDialog::~AlertsDialog() = default;

AlertForm AlertsDialog::form() const
{
    return {m_ui->chkDossierErr->isChecked(), m_ui->chkDossierErrSon->isChecked(),
            m_ui->chkDossierErrNetSend->isChecked(), m_ui->txtNetSend->text()};
}

// The net-send text matters only while net send is chosen; Try has
// something to raise while any alert is.
void AlertsDialog::boxesChanged()
{
    const AlertForm chosen = form();
    const bool netSend = m_system.IsNT && chosen.netSend;
    m_ui->txtNetSend->setEnabled(netSend);
    m_ui->lblNetSend->setEnabled(netSend);
    m_ui->cmdEssayer->setEnabled(chosen.notice || chosen.beep || netSend);
}

void AlertsDialog::tryAlerts()
{
    const AlertForm chosen = form();
    const AlertActions actions = TryAlertActions(m_settings, chosen, m_system);
    if (actions.notice)
        m_host.showNotice(AlertTryNoticeText(QTime::currentTime(), m_langue));
    if (actions.beep)
        m_host.beep();
    if (TryLacksMessage(chosen, m_system)) {
        (void)m_dialogs.messageBox(NoNetSendMessageText(m_langue), ProductName, MessageIcon::Exclamation,
                                   MessageButtons::Ok);
        return;
    }
    if (actions.netSendArgv.isEmpty())
        return;
    // A run cannot tell anyone that the command is missing; a try can.
    if (const QString problem = AlertCommandProblem(actions.netSendArgv, m_langue); !problem.isEmpty()) {
        (void)m_dialogs.messageBox(problem, ProductName, MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    m_host.runAlertCommand(actions.netSendArgv);
}

void AlertsDialog::accept()
{
    const int rc = StoreAlertSettings(m_files, m_settings, form());
    if (rc < 0) {
        ShowSettingsWriteFailure(m_dialogs, m_files, rc);
        return;
    }
    QDialog::accept();
}

} // namespace vell
