#include "shell/ui/splash.h"

#include "base/programidentity.h"
#include "config/settings.h"

#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace vell {

Splash::Splash(Settings &settings, QWidget *parent)
    : QWidget(parent, Qt::Window), m_settings(settings), m_label(new QLabel(QStringLiteral("Message"), this))
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QString(17, u' ') + ProductName);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xFF));
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    m_label->setObjectName(QStringLiteral("lblMessage"));
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->installEventFilter(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->addWidget(m_label);
    setMinimumWidth(360);

    m_flash.setObjectName(QStringLiteral("Timer1"));
    m_flash.setInterval(500);
    connect(&m_flash, &QTimer::timeout, this, [this] { QApplication::alert(this); });
}

void Splash::showMessage(const QString &text)
{
    m_label->setText(text);
    // Topmost and passive, except in the single automatic run, where it
    // must take the key that keeps the program open.
    const bool takesKeys = m_settings.ArretAutomatique;
    setWindowFlag(Qt::WindowStaysOnTopHint, !takesKeys);
    setAttribute(Qt::WA_ShowWithoutActivating, !takesKeys);
    show();
    raise();
    if (takesKeys)
        activateWindow();
    m_flash.start();
}

void Splash::mousePressEvent(QMouseEvent *)
{
    m_flash.stop();
    close();
}

void Splash::keyPressEvent(QKeyEvent *)
{
    if (!m_settings.ArretAutomatique)
        return;
    m_settings.ArretAutomatique = false;
    m_flash.stop();
    close();
    emit keptOpen();
}

bool Splash::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label && event->type() == QEvent::MouseButtonPress) {
        m_flash.stop();
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vell
