#include "config/ui/setmodedialog.h"

#include "base/programidentity.h"
#include "base/ui/applycaptions.h"
#include "base/userdialogs.h"
#include "platform/systeminfo.h"
#include "ui_setmodedialog.h"

#include <QIcon>
#include <cstring>

namespace vell {

SetModeDialog::SetModeDialog(const Couple &couple, const Settings &settings, const SystemInfo &system,
                             bool mirroringOff, UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::SetModeDialog>())
    , m_files(couple.files)
    , m_position(couple.position)
    , m_langue(settings.Langue)
    , m_temporisation(settings.Temporisation)
    , m_isNT(system.IsNT)
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    (void)ApplyCaptions(this, ModesDialogCaptions(m_langue, m_temporisation));
    m_ui->picTempo->setPixmap(QIcon(QStringLiteral(":/icons/delay-own.svg")).pixmap(22, 22));
    m_ui->cmdOK->setEnabled(mirroringOff); // the modes never change during a run
    m_ui->lblSource->setText(couple.sourceText);
    m_ui->lblCible->setText(couple.targetText);
    showForm(OpenModesForm(m_files, m_position));

    connect(m_ui->optTempo0, &QRadioButton::toggled, this, [this] {
        m_ui->txtMiroirN->setEnabled(m_ui->optTempo1->isChecked());
    });
    connect(m_ui->chkDeplacer, &QCheckBox::clicked, this, &SetModeDialog::moveRuleChanged);
    connect(m_ui->txtMiroirN, &QLineEdit::textChanged, this, &SetModeDialog::countChanged);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &SetModeDialog::accept);
    connect(m_ui->cmdAnnuler, &QPushButton::clicked, this, &SetModeDialog::reject);
}

SetModeDialog::~SetModeDialog() = default;

void SetModeDialog::showForm(const ModesForm &form)
{
    m_ui->txtMiroirN->setText(form.countText);
    (form.defaultDelay ? m_ui->optTempo0 : m_ui->optTempo1)->setChecked(true);
    m_ui->txtMiroirN->setEnabled(!form.defaultDelay);
    m_ui->chkDeplacer->setChecked(form.deplacer);
    m_ui->chkRenommer->setChecked(form.renommer);
    m_ui->chkEffacer->setChecked(form.effacer);
    (form.nouveau ? m_ui->optNouveau1 : m_ui->optNouveau0)->setChecked(true);
    moveRuleChanged();
    countChanged();
}

ModesForm SetModeDialog::form() const
{
    ModesForm form;
    form.countText = m_ui->txtMiroirN->text().trimmed();
    form.defaultDelay = m_ui->optTempo0->isChecked();
    form.deplacer = m_ui->chkDeplacer->isChecked();
    form.renommer = m_ui->chkRenommer->isChecked();
    form.effacer = m_ui->chkEffacer->isChecked();
    form.nouveau = m_ui->optNouveau1->isChecked();
    return form;
}

// A moved couple never removes obsolete target files and updates on any
// difference; only a moved couple renames Macintosh files, on NT.
void SetModeDialog::moveRuleChanged()
{
    const bool moved = m_ui->chkDeplacer->isChecked();
    if (moved) {
        m_ui->chkRenommer->setEnabled(m_isNT);
        if (!m_isNT)
            m_ui->chkRenommer->setChecked(false);
        m_ui->chkEffacer->setChecked(false);
        m_ui->chkEffacer->setEnabled(false);
        m_ui->frameMAJ->setEnabled(false);
        m_ui->optNouveau0->setChecked(true);
    } else {
        m_ui->chkRenommer->setChecked(false);
        m_ui->chkRenommer->setEnabled(false);
        m_ui->chkEffacer->setEnabled(true);
        m_ui->frameMAJ->setEnabled(true);
    }
}

void SetModeDialog::countChanged()
{
    const QString text = m_ui->txtMiroirN->text().trimmed();
    const CountCheck check = CheckCount(text);
    m_ui->lblErr->setText(CountMessage(check, m_langue, false));
    m_ui->lblErr->setVisible(check != CountCheck::Valid);
    m_ui->lblMiroirN2->setVisible(check == CountCheck::Valid);
    if (check == CountCheck::Valid)
        m_ui->lblMiroirN2->setText(TotalDelayText(text, m_temporisation, m_langue));
}

void SetModeDialog::accept()
{
    const ModesForm chosen = form();
    const CountCheck check = CheckCount(chosen.countText);
    if (check != CountCheck::Valid) {
        (void)m_dialogs.messageBox(CountMessage(check, m_langue, true), ProductName, MessageIcon::Exclamation,
                                   MessageButtons::Ok);
        return;
    }
    FolderPair stored;
    const int rc = StoreModes(m_files, m_position, chosen, stored);
    if (rc < 0) {
        // The modes are not lost from the dialog: the user may try again or cancel.
        ShowSettingsWriteFailure(m_dialogs, m_files, rc);
        return;
    }
    QDialog::accept();
}

} // namespace vell
