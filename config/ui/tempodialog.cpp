#include "config/ui/tempodialog.h"

#include "base/programidentity.h"
#include "base/ui/applycaptions.h"
#include "base/userdialogs.h"
#include "ui_tempodialog.h"

#include <QKeyEvent>

namespace vell {

TempoDialog::TempoDialog(const ProgramFiles &files, Settings &settings, bool mirroringOff, UserDialogs &dialogs,
                         QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::TempoDialog>())
    , m_files(files)
    , m_settings(settings)
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    (void)ApplyCaptions(this, TempoDialogCaptions(m_settings.Langue));
    // The limit message comes and goes without the dialog changing size.
    QSizePolicy keep = m_ui->Label1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_ui->Label1->setSizePolicy(keep);
    m_ui->Label1->setText(DelayLimitMessage(DelayLimit::Minimum, m_settings.Langue)); // sizes the line
    m_ui->Label1->hide();
    m_ui->Text1->setText(QString::number(m_settings.Temporisation));
    m_ui->Text1->installEventFilter(this);
    m_ui->cmdOK->setEnabled(mirroringOff); // the delay is not changed under a running timer

    connect(m_ui->UpDown1Up, &QToolButton::clicked, this, &TempoDialog::stepUp);
    connect(m_ui->UpDown1Down, &QToolButton::clicked, this, &TempoDialog::stepDown);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &TempoDialog::accept);
    connect(m_ui->cmdAnnuler, &QPushButton::clicked, this, &TempoDialog::reject);
}

TempoDialog::~TempoDialog() = default;

void TempoDialog::stepDown()
{
    showStep(DelayStepDown(m_ui->Text1->text()));
}

void TempoDialog::stepUp()
{
    showStep(DelayStepUp(m_ui->Text1->text()));
}

void TempoDialog::showStep(const DelayStep &step)
{
    m_ui->Label1->setText(DelayLimitMessage(step.limit, m_settings.Langue));
    m_ui->Label1->setVisible(step.limit != DelayLimit::None);
    m_ui->Text1->setText(QString::number(step.value));
}

// The arrow keys in Text1 work like the arrows beside it.
bool TempoDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->Text1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            key == Qt::Key_Up ? stepUp() : stepDown();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TempoDialog::accept()
{
    const QString typed = m_ui->Text1->text();
    const std::optional<int32_t> delay = CheckDelay(typed);
    if (!delay) {
        (void)m_dialogs.messageBox(InvalidDelayMessage(typed, m_settings.Langue), OptionsDialogTitle(),
                                   MessageIcon::Critical, MessageButtons::Ok);
        return;
    }
    if (const int rc = StoreDelay(m_files, *delay, m_settings); rc < 0) {
        ShowSettingsWriteFailure(m_dialogs, m_files, rc);
        return;
    }
    QDialog::accept();
}

} // namespace vell
