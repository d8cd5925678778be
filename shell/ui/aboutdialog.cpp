#include "shell/ui/aboutdialog.h"

#include "base/programidentity.h"
#include "shell/captions.h"
#include "ui_aboutdialog.h"

#include <QIcon>

namespace vell {

AboutDialog::AboutDialog(int32_t langue, const SystemInfo &system, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::AboutDialog>())
{
    m_ui->setupUi(this);
    setWindowTitle(AboutTitle(langue));
    m_ui->picVell->setPixmap(QIcon(QStringLiteral(":/icons/vell.svg")).pixmap(48, 48));
    m_ui->lblCredit->setText(AboutCredit(langue, system));
    m_ui->lblVersion->setText(ProductName + QLatin1Char(' ') + VersionText);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

AboutDialog::~AboutDialog() = default;

} // namespace vell
