#include "shell/vellprogram.h"

#include "base/language.h"
#include "config/settingsfile.h"
#include "platform/instancelock.h"
#include "platform/pathcodec.h"
#include "service/serviceevents.h"
#include "service/servicestartup.h"
#include "signatures/signatureloader.h"

#include <cerrno>

namespace vell {

QString AlreadyRunningText(int32_t langue)
{
    return Trilingual{"Programme déjà lancé", "Program already running", "Programa já activo"}.in(langue);
}

QString SingleRunNoticeText(int32_t langue)
{
    return Trilingual{"Appuyer sur la touche 'Esc' pour afficher la fenêtre principale",
                      "Type key 'Esc' to display the main window", "'Esc' para ver a janela principal"}
        .in(langue);
}

VellProgram::VellProgram(StartupOptions options, EngineHost &host, UserDialogs &dialogs, CommandRunner &runner,
                         EventLog &eventLog)
    : m_options(std::move(options))
    , m_host(host)
    , m_dialogs(dialogs)
    , m_service(ServiceSetup::ForThisProcess(m_options.programPath, m_options.programFolder), runner, eventLog)
{
    files.ProgramFolder = m_options.programFolder;
    dataFolder = m_options.dataFolder;
    RunEnvironment env{settings, pairs, system, state, m_host, signatureLookup(signatures),
                       [this] { return m_service.IsInstalled() && m_service.ServiceActive(); }, {},
                       &ServiceEvents::stopPending,
                       [this](qsizetype index, const QString &fileSystem) {
                           rememberSourceFileSystem(index, fileSystem);
                       }};
    m_controller = std::make_unique<MirrorController>(std::move(env));
}

std::optional<int> VellProgram::start()
{
    if (const std::optional<int> end = prepare())
        return end;
    return startAutomatically();
}

std::optional<int> VellProgram::reloadCouples()
{
    return loadCouples();
}

bool VellProgram::startsMirroring()
{
    return settings.Automatique || (system.IsNT && m_service.IsInstalled());
}

std::optional<int> VellProgram::prepare()
{
    title = ProductName + QLatin1Char(' ') + VersionText;
    if (!m_options.commandLine.isEmpty())
        title += QStringLiteral(" [") + m_options.commandLine + QLatin1Char(']');
    QuitIfFolderMissing = m_options.commandLine.toUpper().contains(QLatin1String("-U"));

    const int32_t langue = LoadLangue(files);
    if (!takeInstanceLock(langue))
        return 2;
    identifySystem(langue);
    if (const std::optional<int> end = decideMode(langue))
        return end;

    settings = LoadSettings(files);
    m_host.setTrayState(TrayState::Idle);
    m_host.setWaitProgress(0, m_controller->waitProgressMaximum());
    state.MirroringOff = true;

    return loadCouples();
}

bool VellProgram::takeInstanceLock(int32_t langue)
{
    const int fd = platform::LockProgramFolder(PathToBytes(files.ProgramFolder));
    if (fd >= 0) {
        m_instanceLock.reset(fd);
        return true;
    }
    if (fd != -EWOULDBLOCK)
        return true; // a folder we cannot lock cannot be shared either
    (void)m_dialogs.messageBox(AlreadyRunningText(langue), ProductName, MessageIcon::Exclamation,
                               MessageButtons::Ok);
    return false;
}

void VellProgram::identifySystem(int32_t langue)
{
    system = QuerySystemInfo();
    if (!system.ComputerName.isEmpty())
        title += QStringLiteral("   ") + system.ComputerName;
    if (!system.UserName.isEmpty())
        title += QStringLiteral("; ") + system.UserName;
    if (system.IsNT && system.NTMajorVersion > 3)
        ShowSignatureLoadMessages(LoadSignatures(signatures, files.signatureFile(), langue), m_dialogs);
    if (!system.OSDescription.isEmpty())
        title += QStringLiteral("; ") + system.OSDescription;
}

std::optional<int> VellProgram::decideMode(int32_t langue)
{
    if (!system.IsNT)
        return std::nullopt;
    const StartupDecision decision = ServiceStartupCheck(m_service, m_dialogs, system, langue);
    if (decision.storeAutomatiqueOff)
        (void)WriteSetting(files, SectionConfiguration, QStringLiteral("Automatique"), QStringLiteral("0"));
    switch (decision.action) {
    case StartupAction::EndProgram:
        return 0;
    case StartupAction::ContinueAsService:
        mode = ProgramMode::Service;
        break;
    case StartupAction::ContinueAsApplication:
        mode = ProgramMode::Application;
        break;
    }
    return std::nullopt;
}

std::optional<int> VellProgram::loadCouples()
{
    FolderPairsLoad load = LoadFolderPairs(files, settings, system, QuitIfFolderMissing);
    if (load.end == LoadEnd::InvalidFile)
        (void)m_dialogs.messageBox(load.message, ProductName, MessageIcon::Critical, MessageButtons::Ok);
    if (load.end != LoadEnd::Loaded)
        return load.exitStatus();
    pairs = std::move(load.pairs);
    rows = std::move(load.rows);
    if (load.showMacintoshWarning)
        m_host.showNotice(load.macintoshWarning);
    return std::nullopt;
}

// Stored in the couple's own section, so that a restart still tells an
// unmounted source disk; a file that cannot be written only loses that.
void VellProgram::rememberSourceFileSystem(qsizetype index, const QString &fileSystem)
{
    const qsizetype position = index < rows.size() ? rows.at(index).position : index + 1;
    (void)WriteSetting(files, MirrorSection(position), SourceFileSystemKey, fileSystem);
}

std::optional<int> VellProgram::startAutomatically()
{
    if (settings.Automatique) {
        if (settings.ArretAutomatique && !m_options.headless) {
            m_host.showNotice(SingleRunNoticeText(settings.Langue));
            m_controller->YieldToInterface();
        }
    } else if (!(system.IsNT && m_service.IsInstalled())) {
        return std::nullopt;
    }
    m_mirroringStarted = true;
    m_controller->StartStop();
    if (m_controller->phase() == MirrorController::Phase::Ended)
        return m_controller->lastRunExitStatus();
    return std::nullopt;
}

} // namespace vell
