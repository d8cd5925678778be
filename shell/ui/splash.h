#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace vell {

struct Settings;

// frmSplash: the small light-blue notice window. It flashes its title
// while it is open; a click closes it; in the single automatic run a key
// keeps the program open after the run (ArretAutomatique is cleared in
// memory only).
class Splash final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Splash)
public:
    explicit Splash(Settings &settings, QWidget *parent = nullptr);

    // Shows `text` at once, without waiting for the user.
    void showMessage(const QString &text);

signals:
    // A key was pressed during the single automatic run.
    void keptOpen();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Settings &m_settings;
    QLabel *m_label;
    QTimer m_flash;
};

} // namespace vell
