#include "config/ui/performancedialog.h"

#include "base/programidentity.h"
#include "base/ui/applycaptions.h"
#include "base/userdialogs.h"
#include "config/globaloptions.h"
#include "ui_performancedialog.h"

namespace vell {

PerformanceDialog::PerformanceDialog(const ProgramFiles &files, Settings &settings, UserDialogs &dialogs,
                                     QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::PerformanceDialog>())
    , m_files(files)
    , m_settings(settings)
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    (void)ApplyCaptions(this, PerformanceDialogCaptions(m_settings.Langue));
    m_ui->HScroll1->setRange(MinimumPerformance, MaximumPerformance);
    m_ui->HScroll1->setValue(PerformanceSliderValue(m_settings.Performance));

    connect(m_ui->cmdOK, &QPushButton::clicked, this, &PerformanceDialog::accept);
    connect(m_ui->cmdAnnuler, &QPushButton::clicked, this, &PerformanceDialog::reject);
}

PerformanceDialog::~PerformanceDialog() = default;

void PerformanceDialog::accept()
{
    if (const int rc = StorePerformance(m_files, m_ui->HScroll1->value(), m_settings); rc < 0) {
        ShowSettingsWriteFailure(m_dialogs, m_files, rc);
        return;
    }
    QDialog::accept();
}

} // namespace vell
