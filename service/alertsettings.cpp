#include "service/alertsettings.h"

#include "base/language.h"
#include "base/programidentity.h"
#include "config/settingsfile.h"
#include "platform/profile.h"
#include "platform/systeminfo.h"

#include <QStandardPaths>

namespace vell {

namespace {

constexpr Trilingual Title{"Avertir lorsqu'un dossier est inconnu", "Warning on unknown folder",
                           "Alerta na ausência de uma pasta"};

} // namespace

AlertForm OpenAlertForm(const Settings &settings, const SystemInfo &system)
{
    return {settings.ErreurDossier, settings.ErreurDossierSon, system.IsNT && settings.ErreurDossierNetSend,
            settings.MessageNetSend};
}

bool AlertMenuChecked(const Settings &settings)
{
    return settings.ErreurDossier || settings.ErreurDossierSon || settings.ErreurDossierNetSend;
}

int StoreAlertSettings(const ProgramFiles &files, Settings &settings, const AlertForm &form)
{
    platform::Profile profile;
    if (const int rc = platform::Profile::load(files.settingsFile(), profile); rc < 0)
        return rc; // an unreadable file is not replaced by four keys
    const QString keys[] = {QStringLiteral("ErreurDossier"), QStringLiteral("ErreurDossierSon"),
                            QStringLiteral("ErreurDossierNetSend"), QStringLiteral("MessageNetSend")};
    const QString values[] = {FlagText(form.notice), FlagText(form.beep), FlagText(form.netSend), form.message};
    for (int i = 0; i < 4; ++i)
        if (const int rc = profile.setValue(SectionConfiguration, keys[i], values[i]); rc < 0)
            return rc;
    if (const int rc = profile.save(files.settingsFile()); rc < 0)
        return rc;
    settings.ErreurDossier = form.notice;
    settings.ErreurDossierSon = form.beep;
    settings.ErreurDossierNetSend = form.netSend;
    settings.MessageNetSend = form.message;
    return 0;
}

AlertActions TryAlertActions(const Settings &settings, const AlertForm &form, const SystemInfo &system)
{
    Settings tried = settings;
    tried.ErreurDossier = form.notice;
    tried.ErreurDossierSon = form.beep;
    tried.ErreurDossierNetSend = form.netSend;
    tried.MessageNetSend = form.message;
    // As if the service were not running: no event-log entry.
    AlertActions actions = DecideAlertActions(tried, system, false);
    actions.logLine = false;
    return actions;
}

bool TryLacksMessage(const AlertForm &form, const SystemInfo &system)
{
    return system.IsNT && form.netSend && NetSendArgv(form.message).isEmpty();
}

QString AlertTryNoticeText(const QTime &time, int32_t langue)
{
    return time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" - ")
        + Trilingual{"Essai", "Test", "Teste"}.in(langue) + QStringLiteral(": ") + Title.in(langue);
}

QString NoNetSendMessageText(int32_t langue)
{
    return Trilingual{"Aucun message à envoyer", "No message to send", "Naõ ha mensagem"}.in(langue);
}

QString AlertCommandProblem(const QStringList &argv, int32_t langue)
{
    if (argv.isEmpty() || !QStandardPaths::findExecutable(argv.first()).isEmpty())
        return {};
    return Trilingual{"Programme '%1' introuvable (PATH)", "Program '%1' not found (PATH)",
                      "Programa '%1' não encontrado (PATH)"}
        .in(langue)
        .arg(argv.first());
}

QList<Caption> AlertsDialogCaptions(int32_t langue)
{
    const auto text = [langue](const char *name, const Trilingual &words) {
        return Caption{QString::fromLatin1(name), CaptionProperty::Text, words.in(langue)};
    };
    return {
        text("frmAvertirDossierErr", Title),
        text("chkDossierErr", {"Avertir par un message à l'écran et dans le journal",
                               "Warning using display and Log messages", "Alerta com um mensagem e jornal"}),
        text("chkDossierErrSon", {"Avertissement sonore", "Beep warning", "Alerta com um bip (som)"}),
        text("chkDossierErrNetSend", {"Avertir par un message 'net send' (ci-dessous)",
                                      "Warning using a 'net send' message (see below)",
                                      "Alerta com um mensagem 'net send' (a baixa)"}),
        text("lblNetSend", {"NT seulement - utiliser WinPopup pour recevoir les messages",
                            "NT only - use WinPopup to receive messages"}),
        text("cmdEssayer", {"Essayer", "Try"}),
        text("cmdOK", {"OK", "OK"}),
        text("cmdAnnuler", {"&Annuler", "&Cancel", "&Cancelar"}),
    };
}

} // namespace vell
