#pragma once

#include <QString>
#include <cstdint>

namespace vell {

// Stored flags are the texts "1" and "0"; only exactly "1" reads as on.
[[nodiscard]] inline bool FlagFromText(const QString &text) { return text == QLatin1String("1"); }
[[nodiscard]] inline QString FlagText(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

// The global options, each named by its key in Vell.ini, with the values a
// settings file without any key gives.
struct Settings
{
    // [Configuration]
    int32_t Langue = 0;
    bool MiroirSousDossiers = true;
    bool Effacement = false;
    bool CopierAttributs = false;
    bool CopierSecurite = false;
    bool CopierSecuriteDossiers = false;
    bool CopierSecuriteTout = false;
    int32_t Temporisation = 10;
    int32_t Performance = 1;
    QString PrefixeCibleDefaut;
    QString PrefixeCibleDefautUNC;
    bool AfficherFichiers = false;
    bool Automatique = false;
    bool ArretAutomatique = false;
    bool ErreurDossier = false;
    bool ErreurDossierSon = false;
    bool ErreurDossierNetSend = false;
    QString MessageNetSend = DefaultMessageNetSend();
    bool ErreurDossierEventLog = false;
    // Watched runs: only folders changed since the last run are read again.
    bool Surveillance = true;
    // Minutes between two full runs of a watched couple, a safety net for
    // changes no watch reports (writes through mmap); 1 to 10080.
    int32_t DelaiVerification = DefaultDelaiVerification;
    // Files a run copies at once, each on its own thread: 0 as many as suit
    // the machine, 1 one after the other; up to MaxCopiesSimultanees.
    int32_t CopiesSimultanees = 0;
    // [Logs]
    bool Logs = false;
    bool FichiersLogs = false;
    QString PathLogs; // the program folder when absent (set by the loader)
    bool PurgeLogs = false;
    int32_t DelaiLogs = 10;

    static constexpr int32_t DefaultDelaiVerification = 60;
    static constexpr int32_t MaxDelaiVerification = 7 * 24 * 60; // a week
    static constexpr int32_t MaxCopiesSimultanees = 8;

    [[nodiscard]] static QString DefaultMessageNetSend()
    {
        return QStringLiteral("Administrator \"Warning from Vell: unknown folder\"");
    }
};

// The four security choices the three CopierSecurite flags encode, read in
// the order that settles contradicting flags.
enum class SecurityChoice { Non, Mod, Dossiers, Tout };
[[nodiscard]] inline SecurityChoice SecurityChoiceOf(const Settings &s)
{
    if (!s.CopierSecurite)
        return SecurityChoice::Non;
    if (s.CopierSecuriteTout)
        return SecurityChoice::Tout;
    if (s.CopierSecuriteDossiers)
        return SecurityChoice::Dossiers;
    return SecurityChoice::Mod;
}

} // namespace vell
