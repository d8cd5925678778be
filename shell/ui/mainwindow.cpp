#include "shell/ui/mainwindow.h"

#include "base/programidentity.h"
#include "base/ui/applycaptions.h"
#include "base/userdialogs.h"
#include "config/settingsfile.h"
#include "config/ui/performancedialog.h"
#include "config/ui/prefixdialog.h"
#include "config/ui/setmodedialog.h"
#include "config/ui/tempodialog.h"
#include "engine/runtexts.h"
#include "oplog/ui/logviewerwindow.h"
#include "oplog/ui/pathlogsdialog.h"
#include "oplog/ui/purgelogsdialog.h"
#include "service/alerts.h"
#include "service/eventlog.h"
#include "service/ui/alertsdialog.h"
#include "service/ui/servicedialog.h"
#include "shell/captions.h"
#include "shell/ui/aboutdialog.h"
#include "shell/ui/splash.h"
#include "shell/vellprogram.h"
#include "signatures/ui/signaturesdialog.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

namespace vell {

namespace {

// Commands a run locks: the couple buttons and these menu items.
const char *const LockedWhileMirroring[] = {
    "cmdAjouterDossierSource", "cmdSupprimer",   "cmdModifierDossierSource", "cmdModifierDossierCible",
    "mnuDossiers",             "mnuMiroirSousDossiers", "mnuEffacement",     "mnuCopierAttributs",
    "mnuCopierSecurite",       "mnuTempo",       "mnuLangue",                "mnuQuitter",
    "mnuDefinirLogs",          "mnuPurgeLogs",   "mnuService"};

QIcon icon(const char *name)
{
    return QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(name) + QStringLiteral(".svg"));
}

QPixmap picture(const char *name, int size)
{
    return icon(name).pixmap(size, size);
}

} // namespace

MainWindow::MainWindow(CommandRunner &runner, EventLog &eventLog, QWidget *parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::MainWindow>()), m_runner(runner), m_eventLog(eventLog)
{
    m_ui->setupUi(this);
    setWindowIcon(icon("vell"));
    m_ui->picFleche1->setPixmap(picture("arrow", 22));
    m_ui->picFleche2->setPixmap(picture("arrow", 22));
    m_ui->picLegende1->setPixmap(picture("delay-default", 22));
    m_ui->picLegende2->setPixmap(picture("delay-own", 22));
    m_ui->cmdMiroir->setIcon(icon("start"));
    m_ui->lstDossiers->setIconSize(QSize(22, 22));
    m_ui->lstDossiers->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_ui->lstDossiers->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    m_ui->lstDossiers->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_ui->lstDossiers->setColumnWidth(1, 30);
    m_ui->lstDossiers->verticalHeader()->setMinimumSectionSize(26);
    m_ui->lstDossiers->verticalHeader()->setDefaultSectionSize(26);
    m_ui->lblMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The hidden holders of the pictures, named as the rest of the window.
    const std::pair<const char *, const char *> holders[] = {
        {"PictureVell1", "tray-idle"},          {"PictureVell2", "tray-waiting"},
        {"PictureVell3", "tray-mirroring"},     {"PictureApplication", "mode-application"},
        {"PictureService", "mode-service"},     {"PictureMacRit", "mac-supported"},
        {"PictureMacPleure", "mac-unsupported"}, {"Picture1", "start"},
        {"Picture2", "stop"}};
    for (const auto &[name, art] : holders) {
        auto *holder = new QLabel(this);
        holder->setObjectName(QString::fromLatin1(name));
        holder->setPixmap(picture(art, 32));
        holder->hide();
    }
    auto *measure = new QLabel(this);
    measure->setObjectName(QStringLiteral("lblTestLongueur"));
    measure->hide();

    for (QWidget *watched : {static_cast<QWidget *>(m_ui->centralwidget), static_cast<QWidget *>(m_ui->FrameSourcesCibles),
                             static_cast<QWidget *>(m_ui->FrameSources), static_cast<QWidget *>(m_ui->FrameCibles),
                             static_cast<QWidget *>(m_ui->frameLegende), static_cast<QWidget *>(m_ui->lblNbFichiersSources),
                             static_cast<QWidget *>(m_ui->lblNbFichiersCibles), static_cast<QWidget *>(m_ui->lblDossiersSources),
                             static_cast<QWidget *>(m_ui->lblDossiersCibles), static_cast<QWidget *>(m_ui->lblNbDossiers)})
        watched->installEventFilter(this);
    m_ui->lstDossiers->installEventFilter(this);
    m_ui->lstDossiers->viewport()->installEventFilter(this);
    m_ui->lstFichiersSources->viewport()->installEventFilter(this);
    m_ui->lstFichiersCibles->viewport()->installEventFilter(this);
    m_ui->centralwidget->setMouseTracking(true);
    connectCommands();
}

MainWindow::~MainWindow()
{
    if (m_tray)
        m_tray->hide();
}

void MainWindow::attach(VellProgram &program, UserDialogs &dialogs)
{
    m_program = &program;
    m_dialogs = &dialogs;
}

void MainWindow::connectCommands()
{
    const auto on = [this](QAction *action, auto slot) { connect(action, &QAction::triggered, this, slot); };
    connect(m_ui->cmdMiroir, &QPushButton::clicked, this, &MainWindow::startStop);
    on(m_ui->mnuDemarrer, [this] { startStop(); });
    on(m_ui->mnuRestaurer, [this] {
        showNormal();
        show();
    });
    on(m_ui->mnuQuitter, [this] { Quit(); });

    const auto edit = [this](EditAction action, FolderRole role, PathMeans means) {
        return [this, action, role, means] { editCouple(action, role, means); };
    };
    connect(m_ui->cmdAjouterDossierSource, &QPushButton::clicked, this,
            edit(EditAction::Add, FolderRole::Source, PathMeans::Browser));
    connect(m_ui->cmdModifierDossierSource, &QPushButton::clicked, this,
            edit(EditAction::Modify, FolderRole::Source, PathMeans::Browser));
    connect(m_ui->cmdModifierDossierCible, &QPushButton::clicked, this,
            edit(EditAction::Modify, FolderRole::Target, PathMeans::Browser));
    connect(m_ui->cmdSupprimer, &QPushButton::clicked, this, &MainWindow::removeCouples);
    on(m_ui->mnuAjouterSourceParcourir, edit(EditAction::Add, FolderRole::Source, PathMeans::Browser));
    on(m_ui->mnuAjouterSourceSaisir, edit(EditAction::Add, FolderRole::Source, PathMeans::Typed));
    on(m_ui->mnuModifierSourceParcourir, edit(EditAction::Modify, FolderRole::Source, PathMeans::Browser));
    on(m_ui->mnuModifierSourceSaisir, edit(EditAction::Modify, FolderRole::Source, PathMeans::Typed));
    on(m_ui->mnuModifierCibleParcourir, edit(EditAction::Modify, FolderRole::Target, PathMeans::Browser));
    on(m_ui->mnuModifierCibleSaisir, edit(EditAction::Modify, FolderRole::Target, PathMeans::Typed));
    on(m_ui->mnuSupprimerDossiers, [this] { removeCouples(); });

    on(m_ui->mnuMiroirSousDossiers, [this] {
        toggleSetting(m_ui->mnuMiroirSousDossiers, m_program->settings.MiroirSousDossiers, "MiroirSousDossiers");
        ApplyCaptions(this, SubFolderCaptions(m_program->settings.Langue, m_program->settings.MiroirSousDossiers));
    });
    on(m_ui->mnuEffacement, [this] {
        toggleSetting(m_ui->mnuEffacement, m_program->settings.Effacement, "Effacement");
        if (m_program->settings.Effacement)
            (void)m_dialogs->messageBox(EffacementWarningText(m_program->settings.Langue), ProductName,
                                        MessageIcon::Exclamation, MessageButtons::Ok);
    });
    on(m_ui->mnuCopierAttributs,
       [this] { toggleSetting(m_ui->mnuCopierAttributs, m_program->settings.CopierAttributs, "CopierAttributs"); });
    on(m_ui->mnuAutomatique,
       [this] { toggleSetting(m_ui->mnuAutomatique, m_program->settings.Automatique, "Automatique"); });
    on(m_ui->mnuArretAutomatique, [this] {
        toggleSetting(m_ui->mnuArretAutomatique, m_program->settings.ArretAutomatique, "ArretAutomatique");
    });
    for (QAction *security : {m_ui->mnuCopierSecuriteNon, m_ui->mnuCopierSecuriteMod,
                              m_ui->mnuCopierSecuriteDossiers, m_ui->mnuCopierSecuriteTout})
        on(security, [this, security] { chooseSecurity(security); });
    on(m_ui->mnuAfficherFichiers, [this] { toggleFileLists(); });
    connectDialogs();

    on(m_ui->mnuFrancais, [this] { chooseLanguage(1); });
    on(m_ui->mnuPortugais, [this] { chooseLanguage(2); });
    on(m_ui->mnuAnglais, [this] { chooseLanguage(3); });
    on(m_ui->mnuAide, [this] { openHelp(); });
    on(m_ui->mnuAPropos, [this] { openAbout(); });

    QTableWidget *grid = m_ui->lstDossiers;
    connect(grid, &QTableWidget::cellClicked, this, &MainWindow::gridClicked);
    connect(grid, &QTableWidget::cellDoubleClicked, this, &MainWindow::gridDoubleClicked);
    connect(grid, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0 && m_program && m_program->settings.AfficherFichiers)
            FillFileLists(row);
    });
}

void MainWindow::connectDialogs()
{
    const auto on = [this](QAction *action, auto slot) { connect(action, &QAction::triggered, this, slot); };
    on(m_ui->mnuTempo, [this] { openTempo(); });
    on(m_ui->mnuPerformance, [this] {
        PerformanceDialog dialog(m_program->files, m_program->settings, *m_dialogs, this);
        dialog.exec();
    });
    on(m_ui->mnuPrefixeCibleDefaut, [this] {
        PrefixDialog dialog(m_program->files, m_program->settings, *m_dialogs, this);
        dialog.exec();
    });
    on(m_ui->mnuDossierErr, [this] { openAlerts(); });
    on(m_ui->mnuService, [this] { openService(); });
    on(m_ui->mnuGestionSignatures, [this] {
        SignaturesDialog dialog(m_program->files, m_program->settings, m_program->signatures, *m_dialogs, this);
        dialog.exec();
    });
    on(m_ui->mnuDefinirLogs, [this] {
        PathLogsDialog dialog(m_program->files, m_program->settings, *m_dialogs, this);
        dialog.exec();
        m_ui->mnuDefinirLogs->setChecked(m_program->settings.Logs); // a checkable item inverted its own mark
    });
    on(m_ui->mnuPurgeLogs, [this] {
        PurgeLogsDialog dialog(m_program->files, m_program->settings, *m_dialogs, this);
        dialog.exec();
        m_ui->mnuPurgeLogs->setChecked(m_program->settings.PurgeLogs);
    });
    on(m_ui->mnuVoirLogs, [this] { openLogViewer(); });
}

void MainWindow::openTempo()
{
    TempoDialog dialog(m_program->files, m_program->settings, m_program->state.MirroringOff,
                       *m_dialogs, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    MirrorController &controller = m_program->controller();
    setWaitProgress(m_ui->ProgressBarAttente->value(), controller.waitProgressMaximum());
    controller.setSecondsToNextRun(m_program->settings.Temporisation);
}

void MainWindow::openAlerts()
{
    AlertsDialog dialog(m_program->settings, m_program->files, m_program->system, *this, *m_dialogs, this);
    dialog.exec();
    const Settings &s = m_program->settings;
    m_ui->mnuDossierErr->setChecked(s.ErreurDossier || s.ErreurDossierSon || s.ErreurDossierNetSend);
}

void MainWindow::openService()
{
    ServiceDialog dialog(m_program->service(), m_program->settings, m_program->files, *this, *m_dialogs, this);
    connect(&dialog, &ServiceDialog::indicatorChanged, this, &MainWindow::showModeIndicator);
    dialog.exec();
    if (dialog.programMustEnd())
        m_program->controller().requestEnd(0); // the installed service mirrors from now on
}

// One viewer at most: chosen again, the menu item brings it back.
void MainWindow::openLogViewer()
{
    if (m_logViewer) {
        setWindowState(windowState() | Qt::WindowMinimized);
        m_logViewer->bringBack();
        return;
    }
    m_logViewer = new LogViewerWindow(m_program->settings, *m_dialogs, screen());
    connect(m_logViewer, &LogViewerWindow::dateClicked, this,
            [this] { setWindowState(windowState() | Qt::WindowMinimized); });
    connect(m_logViewer, &LogViewerWindow::closed, this, [this] {
        showNormal();
        raise();
    });
    m_logViewer->show();
}

void MainWindow::showStartup()
{
    VellProgram &program = *m_program;
    setWindowTitle(program.title);
    m_ui->lblVell->setText(ProductName + QLatin1Char(' ') + VersionText);
    showIndicators();
    showSettingsMarks();
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon(this);
        m_tray->setContextMenu(m_ui->mnuFichier);
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason != QSystemTrayIcon::DoubleClick)
                return;
            if (isMinimized() || isHidden())
                ShowMainWindow();
            else
                setWindowState(windowState() | Qt::WindowMinimized);
        });
    }
    setTrayState(TrayState::Idle);
    setWaitProgress(0, program.controller().waitProgressMaximum());
    SetLanguage(program.settings.Langue);
    LoadGrid();
    if (program.startsMirroring())
        setWindowState(windowState() | Qt::WindowMinimized); // lives in the tray while it mirrors
    else
        show();
}

void MainWindow::showIndicators()
{
    const VellProgram &program = *m_program;
    const bool service = program.mode == ProgramMode::Service;
    showModeIndicator(service);
    const bool nt = program.system.IsNT;
    m_ui->PictureMac->setPixmap(picture(nt ? "mac-supported" : "mac-unsupported", 24));
    m_ui->lblDossierMac->setEnabled(nt);
    setCommandEnabled("mnuCopierSecurite", nt);
    setCommandEnabled("mnuService", nt);
    setCommandEnabled("mnuQuitter", !service);
}

void MainWindow::showModeIndicator(bool service)
{
    m_ui->PictureMode->setPixmap(picture(service ? "mode-service" : "mode-application", 24));
    m_ui->PictureMode->setToolTip(ModeToolTip(service));
    m_ui->lblMode->setText(ModeCaption(service));
}

void MainWindow::showSettingsMarks()
{
    const Settings &s = m_program->settings;
    m_ui->mnuMiroirSousDossiers->setChecked(s.MiroirSousDossiers);
    m_ui->mnuEffacement->setChecked(s.Effacement);
    m_ui->mnuCopierAttributs->setChecked(s.CopierAttributs);
    const SecurityChoice choice = SecurityChoiceOf(s);
    m_ui->mnuCopierSecuriteNon->setChecked(choice == SecurityChoice::Non);
    m_ui->mnuCopierSecuriteMod->setChecked(choice == SecurityChoice::Mod);
    m_ui->mnuCopierSecuriteDossiers->setChecked(choice == SecurityChoice::Dossiers);
    m_ui->mnuCopierSecuriteTout->setChecked(choice == SecurityChoice::Tout);
    m_ui->mnuAfficherFichiers->setChecked(s.AfficherFichiers);
    showFileLists(s.AfficherFichiers);
    m_ui->mnuAutomatique->setChecked(s.Automatique);
    m_ui->mnuArretAutomatique->setChecked(s.ArretAutomatique);
    m_ui->mnuDossierErr->setChecked(s.ErreurDossier || s.ErreurDossierSon || s.ErreurDossierNetSend);
    m_ui->mnuDefinirLogs->setChecked(s.Logs);
    m_ui->mnuPurgeLogs->setChecked(s.PurgeLogs);
}

void MainWindow::setCommandEnabled(const char *name, bool enabled)
{
    QObject *object = findChild<QObject *>(QString::fromLatin1(name));
    if (auto *menu = qobject_cast<QMenu *>(object))
        menu->menuAction()->setEnabled(enabled);
    else if (auto *action = qobject_cast<QAction *>(object))
        action->setEnabled(enabled);
    else if (auto *widget = qobject_cast<QWidget *>(object))
        widget->setEnabled(enabled);
}

void MainWindow::SetLanguage(int32_t langue)
{
    m_ui->lblNbFichiersSources->clear();
    m_ui->lblNbFichiersCibles->clear();
    clearStatus();
    m_ui->mnuFrancais->setChecked(langue == 1);
    m_ui->mnuPortugais->setChecked(langue == 2);
    m_ui->mnuAnglais->setChecked(langue != 1 && langue != 2);
    // The log words follow Settings.Langue, which the run reads.
    const VellProgram &program = *m_program;
    (void)ApplyCaptions(this, FixedCaptions());
    (void)ApplyCaptions(this, MainWindowCaptions(langue, program.settings.MiroirSousDossiers, program.system.IsNT));
}

void MainWindow::chooseLanguage(int32_t langue)
{
    m_program->settings.Langue = langue;
    SetLanguage(langue);
    const int rc = WriteSetting(m_program->files, SectionConfiguration, QStringLiteral("Langue"),
                                QString::number(langue));
    reportSettingWrite(rc);
}

// A setting that could not be stored still holds for this session; say so
// where the user looks.
void MainWindow::reportSettingWrite(int rc)
{
    if (rc < 0)
        setStatusText(QStringLiteral("Vell: ") + m_program->files.settingsFile() + QStringLiteral(": ")
                      + QString::fromLocal8Bit(std::strerror(-rc)));
}

void MainWindow::toggleSetting(QAction *action, bool &setting, const char *key)
{
    setting = action->isChecked(); // a checkable action has already inverted its mark
    const int rc = WriteSettingFlag(m_program->files, SectionConfiguration, QString::fromLatin1(key), setting);
    reportSettingWrite(rc);
}

void MainWindow::chooseSecurity(QAction *chosen)
{
    QAction *const items[] = {m_ui->mnuCopierSecuriteNon, m_ui->mnuCopierSecuriteMod, m_ui->mnuCopierSecuriteDossiers,
                              m_ui->mnuCopierSecuriteTout};
    const SecurityChoice choices[] = {SecurityChoice::Non, SecurityChoice::Mod, SecurityChoice::Dossiers,
                                      SecurityChoice::Tout};
    Settings &s = m_program->settings;
    SecurityChoice choice = SecurityChoice::Non;
    for (int i = 0; i < 4; ++i)
        if (items[i] == chosen)
            choice = choices[i];
    const bool already = SecurityChoiceOf(s) == choice;
    for (int i = 0; i < 4; ++i)
        items[i]->setChecked(choices[i] == choice);
    if (already)
        return;
    s.CopierSecurite = choice != SecurityChoice::Non;
    s.CopierSecuriteDossiers = choice == SecurityChoice::Dossiers;
    s.CopierSecuriteTout = choice == SecurityChoice::Tout;
    int rc = WriteSettingFlag(m_program->files, SectionConfiguration, QStringLiteral("CopierSecurite"), s.CopierSecurite);
    if (rc == 0)
        rc = WriteSettingFlag(m_program->files, SectionConfiguration, QStringLiteral("CopierSecuriteDossiers"),
                              s.CopierSecuriteDossiers);
    if (rc == 0)
        rc = WriteSettingFlag(m_program->files, SectionConfiguration, QStringLiteral("CopierSecuriteTout"),
                              s.CopierSecuriteTout);
    reportSettingWrite(rc);
}

void MainWindow::startStop()
{
    m_program->controller().StartStop();
}

void MainWindow::lockEditing(bool locked)
{
    for (const char *name : LockedWhileMirroring)
        setCommandEnabled(name, !locked);
    if (locked)
        return;
    const bool nt = m_program->system.IsNT;
    setCommandEnabled("mnuCopierSecurite", nt);
    setCommandEnabled("mnuService", nt);
    ServiceControl &service = m_program->service();
    setCommandEnabled("mnuQuitter", !(nt && service.IsInstalled() && service.ServiceActive()));
}

void MainWindow::ShowMainWindow()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::Quit()
{
    if (m_dialogs->messageBox(QuitConfirmationText(m_program->settings.Langue), ProductName, MessageIcon::Question,
                              MessageButtons::YesNo)
        != MessageAnswer::Yes)
        return;
    m_program->controller().requestEnd(0);
}

void MainWindow::openHelp()
{
    const int32_t langue = m_program->settings.Langue;
    // Beside the program first, where a user may put their own; then where
    // the installation put them.
    for (const QString &folder : {m_program->files.ProgramFolder, m_program->dataFolder}) {
        const QString path = folder + QLatin1Char('/') + HelpFileName(langue);
        if (!folder.isEmpty() && QFileInfo(path).isFile())
            if (m_dialogs->openDocument(path))
                return;
    }
    (void)m_dialogs->messageBox(HelpNotAvailableText(langue), ProductName, MessageIcon::Information,
                                MessageButtons::Ok);
}

void MainWindow::openAbout()
{
    AboutDialog about(m_program->settings.Langue, m_program->system, this);
    about.exec();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_quitting) {
        event->accept();
        return;
    }
    // The title bar's close minimises: the program is left by File / Quit.
    event->ignore();
    setWindowState(windowState() | Qt::WindowMinimized);
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    // Without a tray the window stays on the task bar, so it can come back.
    if (m_tray && m_tray->isVisible())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
}

// --- EngineHost ---

void MainWindow::yieldToInterface(int times)
{
    m_pump.pump(times);
}

void MainWindow::setMirroringActive(bool active)
{
    lockEditing(active);
    const int32_t langue = m_program->settings.Langue;
    m_ui->cmdMiroir->setToolTip(StartStopTooltip(active, langue));
    m_ui->mnuDemarrer->setText(StartStopCaption(active, langue));
    m_ui->cmdMiroir->setIcon(icon(active ? "stop" : "start"));
    if (!active && (isMinimized() || isHidden()))
        ShowMainWindow();
}

void MainWindow::setTrayState(TrayState state)
{
    if (!m_tray)
        return;
    const char *const art[] = {"tray-idle", "tray-mirroring", "tray-waiting"};
    const int index = int(state);
    m_tray->setIcon(icon(art[index]));
    m_tray->setToolTip(TrayTip(index, m_program ? m_program->settings.Langue : 0));
    m_tray->show();
}

void MainWindow::setRunProgress(int value, int maximum)
{
    m_ui->ProgressBarCopie->setRange(0, maximum);
    m_ui->ProgressBarCopie->setValue(value);
}

void MainWindow::setWaitProgress(int value, int maximum)
{
    m_ui->ProgressBarAttente->setRange(0, maximum);
    m_ui->ProgressBarAttente->setValue(std::min(value, maximum));
}

void MainWindow::setCounterText(const QString &text)
{
    m_ui->lblTempo->setText(text);
    m_ui->lblTempo->repaint();
}

void MainWindow::setStatusText(const QString &text)
{
    m_ui->lblMessage->setText(text);
    m_lastDescribedRow = -1;
}

void MainWindow::showNotice(const QString &text)
{
    if (!m_splash) {
        m_splash = new Splash(m_program->settings, this);
        connect(m_splash, &Splash::keptOpen, this, &MainWindow::ShowMainWindow);
    }
    m_splash->showMessage(text);
}

void MainWindow::refreshFileLists(bool targetToo)
{
    QTableWidget *grid = m_ui->lstDossiers;
    const int row = grid->currentRow();
    if (!m_program->settings.AfficherFichiers || grid->rowCount() == 0 || !m_highlightShown || row < 0)
        return;
    const FolderPair &pair = m_program->pairs.at(row);
    ListFolder(pair.Source, 1);
    if (targetToo)
        ListFolder(pair.Cible, 2);
}

void MainWindow::endProgram(int exitStatus)
{
    m_endStatus = exitStatus;
    m_quitting = true;
    if (m_tray)
        m_tray->hide();
    if (m_splash)
        m_splash->close();
    QCoreApplication::exit(exitStatus);
}

void MainWindow::beep()
{
    QApplication::beep();
}

void MainWindow::runAlertCommand(const QStringList &argv)
{
    const ServiceOutcome started = StartAlertCommand(m_runner, argv);
    if (!started.ok)
        std::fprintf(stderr, "Vell: %s\n", started.message.toLocal8Bit().constData());
}

void MainWindow::logEvent(const QString &text, int type)
{
    m_eventLog.write(text, type);
}

void MainWindow::reportFailure(const ItemEvent &, const QString &text)
{
    // The run's summary counts the failures in the status line; each one
    // goes where the headless host puts it too.
    std::fprintf(stderr, "Vell: %s\n", text.toLocal8Bit().constData());
    m_eventLog.write(text, 2);
}

void MainWindow::noteWatching(const QString &text)
{
    // Shown until the run's summary replaces it, and kept in the journal.
    setStatusText(text);
    m_eventLog.write(text, EventType::Information);
}

} // namespace vell
