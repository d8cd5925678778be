#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

namespace Ui {
class AboutDialog;
}

namespace vell {

struct SystemInfo;

// frmAbout: the program's one-line description.
class AboutDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutDialog)
public:
    AboutDialog(int32_t langue, const SystemInfo &system, QWidget *parent = nullptr);
    ~AboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialog> m_ui;
};

} // namespace vell
