#include "oplog/ui/logviewerwindow.h"

#include "base/programidentity.h"
#include "base/userdialogs.h"
#include "config/settings.h"
#include "ui_logviewerwindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cerrno>

namespace vell {

namespace {

const QColor Unvisited(0x00, 0x00, 0xff);
const QColor Visited(0x80, 0x00, 0x80);

// The date grid is set in twips: 1/1440 inch, 15 to a pixel at 96 dpi.
int twips(const QWidget *w, int t) { return t * w->logicalDpiY() / 1440; }

constexpr int LeftTwips = 120;
constexpr int TopTwips = 120;
constexpr int ColumnTwips = 960;
constexpr int RowTwips = 360;
constexpr int ShownRows = 12; // the height the window opens with

void setColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

LogViewerWindow::LogViewerWindow(const Settings &settings, UserDialogs &dialogs, QScreen *screen)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint)
    , m_ui(std::make_unique<Ui::LogViewerWindow>())
    , m_dialogs(dialogs)
    , m_screen(screen)
    , m_folder(settings.PathLogs)
    , m_langue(settings.Langue)
{
    // No parent: a window owned by the main window would be minimised with
    // it when a date is clicked.
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->setupUi(this);
    setWindowTitle(LogViewerTitle(m_langue));

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mnuLog"));
    QAction *remove = m_menu->addAction(QString());
    remove->setObjectName(QStringLiteral("mnuSupprimerLog"));
    m_menu->addSeparator();
    QAction *cancel = m_menu->addAction(LogMenuCancelText(m_langue));
    cancel->setObjectName(QStringLiteral("mnuAnnuler"));
    connect(remove, &QAction::triggered, this, &LogViewerWindow::deleteSelected);

    m_logs = ListLogs(m_folder);
    layDates();
    m_ui->fraDates->installEventFilter(this);
    m_ui->VScroll1->setMinimum(0);
    m_ui->VScroll1->setSingleStep(twips(this, 150)); // ten pixels
    connect(m_ui->VScroll1, &QScrollBar::valueChanged, this, &LogViewerWindow::scrolled);
}

LogViewerWindow::~LogViewerWindow() = default;

// Rows of four, in list order. The grid keeps its twips where the font
// allows and widens where a date would not fit its column.
void LogViewerWindow::layDates()
{
    QWidget *dates = m_ui->picDates;
    int widest = 0;
    int tallest = 0;
    for (qsizetype k = 0; k < m_logs.size(); ++k) {
        auto *label = new QLabel(m_logs.at(k).date, dates);
        label->setObjectName(QStringLiteral("lblDate%1").arg(k));
        QFont font = label->font();
        font.setUnderline(true);
        label->setFont(font);
        label->setCursor(Qt::PointingHandCursor);
        setColour(label, Unvisited);
        label->installEventFilter(this);
        label->adjustSize();
        widest = std::max(widest, label->width());
        tallest = std::max(tallest, label->height());
        m_labels.append(label);
    }
    const int left = twips(this, LeftTwips);
    const int top = twips(this, TopTwips);
    const int column = std::max(twips(this, ColumnTwips), widest + left);
    const int row = std::max(twips(this, RowTwips), tallest + top / 2);
    for (qsizetype k = 0; k < m_labels.size(); ++k) {
        const DateCell cell = DateCellOf(int(k));
        m_labels.at(k)->move(left + cell.column * column, top + cell.row * row);
    }
    const int rows = int((m_labels.size() + LogDatesPerRow - 1) / LogDatesPerRow);
    m_contentHeight = top + rows * row + top;
    dates->setGeometry(0, 0, left + LogDatesPerRow * column, m_contentHeight);
    m_ui->fraDates->setMinimumWidth(dates->width());
    resize(dates->width() + m_ui->VScroll1->sizeHint().width(), top + ShownRows * row + top);
}

// The scroll bar covers the dates that do not fit; a window tall enough
// for all of them has nothing to scroll.
void LogViewerWindow::updateScrollRange()
{
    const int visible = m_ui->fraDates->height();
    m_ui->VScroll1->setMaximum(std::max(0, m_contentHeight - visible));
    m_ui->VScroll1->setPageStep(std::max(1, visible));
}

void LogViewerWindow::scrolled(int value) { m_ui->picDates->move(0, -value); }

void LogViewerWindow::placeTopRight()
{
    QScreen *screen = m_screen ? m_screen : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    move(available.x() + available.width() - frameGeometry().width(), available.y());
}

void LogViewerWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    placeTopRight();
    // The window manager adds its frame once the window is mapped; place it
    // again with the frame's real width.
    QTimer::singleShot(0, this, &LogViewerWindow::placeTopRight);
    updateScrollRange();
    if (!m_logs.isEmpty())
        openLog(int(m_logs.size() - 1), false); // the newest, as if clicked
}

void LogViewerWindow::closeEvent(QCloseEvent *event)
{
    emit closed();
    QWidget::closeEvent(event);
}

void LogViewerWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void LogViewerWindow::bringBack()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

bool LogViewerWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->fraDates) {
        if (event->type() == QEvent::Resize)
            updateScrollRange();
        return false;
    }
    const qsizetype index = m_labels.indexOf(static_cast<QLabel *>(watched));
    if (index < 0)
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            showMenu(int(index), mouse->globalPosition().toPoint());
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && m_labels.at(index)->rect().contains(mouse->position().toPoint())) {
            openLog(int(index), true);
            return true;
        }
    }
    return false;
}

void LogViewerWindow::markVisited(QLabel *label) { setColour(label, Visited); }

void LogViewerWindow::openLog(int index, bool minimizeMain)
{
    if (minimizeMain)
        emit dateClicked();
    markVisited(m_labels.at(index));
    const QString path = LogPath(m_folder, m_logs.at(index).fileName);
    if (!m_dialogs.openDocument(path))
        (void)m_dialogs.messageBox(OpenLogFailedMessage(path, m_langue), ProductName, MessageIcon::Exclamation,
                                   MessageButtons::Ok);
}

// The menu pops up without waiting: its delete command acts on the date
// selected here.
void LogViewerWindow::showMenu(int index, const QPoint &globalPos)
{
    m_selected = index;
    m_menu->actions().constFirst()->setText(DeleteLogText(m_logs.at(index).date, m_langue));
    m_menu->popup(globalPos);
}

void LogViewerWindow::deleteSelected()
{
    if (m_selected < 0 || m_selected >= m_logs.size())
        return;
    const ListedLog log = m_logs.at(m_selected);
    const QString text = DeleteLogText(log.date, m_langue);
    if (m_dialogs.messageBox(text, ProductName, MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    const int rc = DeleteLog(m_folder, log.fileName);
    if (rc < 0)
        (void)m_dialogs.messageBox(DeleteLogFailedMessage(LogPath(m_folder, log.fileName), rc, m_langue),
                                   ProductName, MessageIcon::Critical, MessageButtons::Ok);
    // A log already gone has no file left to open; the others keep their
    // places, leaving a gap.
    if (rc == 0 || rc == -ENOENT)
        m_labels.at(m_selected)->hide();
}

} // namespace vell
