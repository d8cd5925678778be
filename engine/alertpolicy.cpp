#include "engine/alertpolicy.h"

#include <QProcess>

namespace vell {

QStringList NetSendArgv(const QString &message)
{
    const QStringList words = QProcess::splitCommand(message);
    if (words.isEmpty())
        return {};
    return QStringList{QStringLiteral("net"), QStringLiteral("send")} + words;
}

AlertActions DecideAlertActions(const Settings &settings, const SystemInfo &system, bool serviceRunning)
{
    AlertActions actions;
    actions.notice = settings.ErreurDossier;
    actions.logLine = settings.ErreurDossier && settings.Logs;
    actions.eventLog = system.IsNT && serviceRunning && settings.ErreurDossierEventLog;
    actions.beep = settings.ErreurDossierSon;
    if (system.IsNT && settings.ErreurDossierNetSend && !settings.MessageNetSend.isEmpty())
        actions.netSendArgv = NetSendArgv(settings.MessageNetSend);
    return actions;
}

} // namespace vell
