#include "config/ui/prefixdialog.h"

#include "base/programidentity.h"
#include "base/ui/applycaptions.h"
#include "base/userdialogs.h"
#include "config/globaloptions.h"
#include "ui_prefixdialog.h"

namespace vell {

PrefixDialog::PrefixDialog(const ProgramFiles &files, Settings &settings, UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::PrefixDialog>())
    , m_files(files)
    , m_settings(settings)
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    (void)ApplyCaptions(this, PrefixDialogCaptions(m_settings.Langue));
    m_ui->Text1->setText(m_settings.PrefixeCibleDefaut);
    m_ui->Text2->setText(m_settings.PrefixeCibleDefautUNC);

    connect(m_ui->cmdOK, &QPushButton::clicked, this, &PrefixDialog::accept);
    connect(m_ui->cmdAnnuler, &QPushButton::clicked, this, &PrefixDialog::reject);
}

PrefixDialog::~PrefixDialog() = default;

void PrefixDialog::accept()
{
    if (const int rc = StoreTargetPrefixes(m_files, m_ui->Text1->text(), m_ui->Text2->text(), m_settings); rc < 0) {
        ShowSettingsWriteFailure(m_dialogs, m_files, rc);
        return;
    }
    QDialog::accept();
}

} // namespace vell
