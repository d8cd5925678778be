#pragma once

#include "config/folderpair.h"
#include "config/folderpairsfile.h"
#include "config/settings.h"
#include "engine/enginehost.h"
#include "engine/mirrorcontroller.h"
#include "engine/runstate.h"
#include "platform/systeminfo.h"
#include "platform/uniquefd.h"
#include "service/commandrunner.h"
#include "service/eventlog.h"
#include "service/servicecontrol.h"
#include "base/programidentity.h"
#include "base/userdialogs.h"
#include "signatures/signatureloader.h"
#include "signatures/signaturetable.h"

#include <QString>
#include <memory>
#include <optional>

namespace vell {

struct StartupOptions
{
    QString programFolder; // where the program's files live, without a trailing "/"
    QString programPath;   // the executable, for the service unit
    QString commandLine;   // the words after the program's name, as typed
    bool headless = false; // no window: no notice that asks for a key press
    QString dataFolder;    // the installed help files; empty for a portable program
};

enum class ProgramMode { Application, Service };

// The program's state and its start-up sequence, shared by the window and
// the headless host: they differ only in the EngineHost and UserDialogs
// they hand in. Everything lives as long as the process.
class VellProgram final
{
    Q_DISABLE_COPY_MOVE(VellProgram)
public:
    VellProgram(StartupOptions options, EngineHost &host, UserDialogs &dialogs, CommandRunner &runner,
                EventLog &eventLog);

    // Runs the start-up sequence up to and including the automatic start.
    // Returns the exit status when the program must end now: 2 another
    // instance runs, 1 invalid couples file, 3 a missing folder with "-U",
    // 0 the user kept the installed service, or the first run's status
    // when it ended the program (ArretAutomatique).
    [[nodiscard]] std::optional<int> start();
    // The same in two steps, so that a window can show the settings and the
    // couples before the automatic start: up to the loaded couples, then
    // the automatic start itself.
    [[nodiscard]] std::optional<int> prepare();
    [[nodiscard]] std::optional<int> startAutomatically();
    // Whether start-up will begin mirroring (Automatique, or the service):
    // the window then starts hidden.
    [[nodiscard]] bool startsMirroring();
    // Reads the couples again after an edit; the exit status when the load
    // ends the program (a missing folder with "-U").
    [[nodiscard]] std::optional<int> reloadCouples();

    // Whether start-up began mirroring (Automatique, or the service).
    [[nodiscard]] bool mirroringStarted() const { return m_mirroringStarted; }

    [[nodiscard]] MirrorController &controller() { return *m_controller; }
    [[nodiscard]] ServiceControl &service() { return m_service; }

    ProgramFiles files;
    QString dataFolder; // as StartupOptions::dataFolder
    QString title;
    bool QuitIfFolderMissing = false;
    Settings settings;
    FolderPairList pairs;
    QList<CoupleRow> rows;
    SystemInfo system;
    RunState state;
    SignatureTable signatures;
    ProgramMode mode = ProgramMode::Application;

private:
    [[nodiscard]] bool takeInstanceLock(int32_t langue);
    void identifySystem(int32_t langue);
    [[nodiscard]] std::optional<int> decideMode(int32_t langue);
    [[nodiscard]] std::optional<int> loadCouples();
    void rememberSourceFileSystem(qsizetype index, const QString &fileSystem);

    StartupOptions m_options;
    EngineHost &m_host;
    UserDialogs &m_dialogs;
    ServiceControl m_service;
    std::unique_ptr<MirrorController> m_controller;
    platform::UniqueFd m_instanceLock;
    bool m_mirroringStarted = false;
};

// "Program already running" and the single automatic run notice, in the
// language of Langue.
[[nodiscard]] QString AlreadyRunningText(int32_t langue);
[[nodiscard]] QString SingleRunNoticeText(int32_t langue);

} // namespace vell
