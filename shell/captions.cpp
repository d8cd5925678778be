#include "shell/captions.h"

#include "base/language.h"
#include "base/programidentity.h"
#include "platform/systeminfo.h"

namespace vell {

namespace {

struct CaptionRow
{
    const char *objectName;
    CaptionProperty property;
    Trilingual text;
};

constexpr CaptionProperty Text = CaptionProperty::Text;
constexpr CaptionProperty Tip = CaptionProperty::ToolTip;

// Rows in the order they are set; the conditional rows are chosen below.
const CaptionRow MenuRows[] = {
    {"mnuFichier", Text, {"&Fichier", "&File", "&Ficheiro"}},
    {"mnuRestaurer", Text, {"&Restaurer la fenêtre principale", "Show main &window", "&Ver a janela"}},
    {"mnuDemarrer", Text, {"&Démarrer le miroir", "&Start mirroring", "&Começar o miror"}},
    {"mnuQuitter", Text, {"&Quitter", "&Exit", "&Sair"}},
    {"mnuDossiers", Text, {"&Dossiers", "&Folders", "&Pastas"}},
    {"mnuAjouterSource", Text, {"Ajouter un dossier source", "Add source folder", "Inserir uma pasta de entrada"}},
    {"mnuAjouterSourceParcourir", Text, {"Parcourir", "Browse", "Browse"}},
    {"mnuAjouterSourceSaisir", Text, {"Saisir", "Type", "Type"}},
    {"mnuModifierSource", Text,
     {"Modifier un dossier source", "Modify source folder", "Modificar uma pasta de entrada"}},
    {"mnuModifierCible", Text, {"Modifier un dossier cible", "Modify target folder", "Modificar uma pasta de saída"}},
    {"mnuSupprimerDossiers", Text,
     {"Supprimer un couple de dossiers", "Remove a couple of folders", "Suprimir pastas"}},
    {"mnuConfiguration", Text, {"Configuration", "Configuration", "Configuração"}},
    {"mnuMiroirSousDossiers", Text,
     {"&Inclure les sous-dossiers dans le miroir", "&Include sub-folders in mirroring",
      "&Incluir sub-pastas em miror"}},
    {"mnuCopierAttributs", Text,
     {"Vérifier et copier les attributs", "Check and copy attributes", "Verificar e replicar os attributos"}},
    {"mnuCopierSecurite", Text,
     {"Informations de sécurité [permissions ACL/NT]", "Security informations [ACL permissions/NT]",
      "Informações de seguridade [ACL permissions/NT]"}},
    {"mnuCopierSecuriteNon", Text,
     {"Ignorer les permissions ACL [plus rapide]", "Neglect ACL permissions [quicker]", "Naõ replicar ACL"}},
    {"mnuCopierSecuriteMod", Text,
     {"Copier les permissions ACL lors des créations et modifications",
      "Copy ACL permissions during creations and modifications", "Replicar ACL ao criações e modificações"}},
    {"mnuCopierSecuriteDossiers", Text,
     {"Toujours vérifier les permissions ACL des dossiers [lent]", "Always check ACL permissions for folders [slower]",
      "Sempre replicar ACL das pastas"}},
    {"mnuCopierSecuriteTout", Text,
     {"Toujours vérifier les permissions ACL des dossiers et des fichiers [plus lent]",
      "Always check ACL permissions for folders and files [more slower]",
      "Sempre replicar ACL das pastas e dos ficheiros"}},
    {"mnuTempo", Text,
     {"Régler la &temporisation par défaut entre les miroirs", "Set default &time between two mirroring operations",
      "Definir a &temporização de base entre os mirors"}},
    {"mnuPerformance", Text, {"Régler la &performance", "Set &performance", "Definir a &eficiência"}},
    {"mnuPrefixeCibleDefaut", Text,
     {"&Lecteur/préfixe UNC par défaut des dossiers cibles", "Default &drive/UNC prefix for target folders",
      "&Drive/prefixo UNC para pastas de saída"}},
    {"mnuAfficherFichiers", Text,
     {"&Afficher les fichiers des dossiers sélectionnés", "Display &files in the selected folders (toggle)",
      "&Ver os ficheiros das pastas selecionadas (toggle)"}},
    {"mnuDossierErr", Text,
     {"Avertir lorsqu'un dossier est inconnu", "Warning on unknown folder", "Alerta na ausência de uma pasta"}},
    {"mnuAutomatique", Text,
     {"Démarrer automatiquement au lancement du &programme", "&Automatic start up",
      "&Miror automático ao lançamento do programa"}},
    {"mnuArretAutomatique", Text,
     {"Arrêter le programme après le premier miroir", "Stop program after the first mirroring operation",
      "Parar o programa depois o primeiro miror"}},
    {"mnuGestionSignatures", Text,
     {"Définir les signatures Macintosh [NT]", "Define Macintosh signatures [NT]",
      "Definir os Macintosh signatures [NT]"}},
    {"mnuLogs", Text, {"&Journaux", "&Logs", "&Jornais"}},
    {"mnuDefinirLogs", Text,
     {"&Archiver les opérations de miroir", "&Archive mirroring operations in Log files",
      "&Registrar as operações no jornal"}},
    {"mnuVoirLogs", Text,
     {"&Voir les journaux d'achivage des opérations de miroir (toggle)", "&Check Logs", "&Ver os jornais dos mirors"}},
    {"mnuPurgeLogs", Text,
     {"&Effacer automatiquement les journaux", "&Remove Log files automatically",
      "&Suprimir automáticamente os jornais"}},
    {"mnuLangue", Text, {"&Langue", "&Language", "&Lingua"}},
    {"mnuAide", Text, {"&Aide", "&Help", "&Ajuda"}},
    {"mnuAPropos", Text, {"A &propos de...", "&About...", "&Créditos..."}},
};

const CaptionRow EffacementRows[] = {
    {"mnuEffacement", Text,
     {"&Supprimer les fichiers/dossiers obsolètes des dossiers cibles (par défaut)",
      "&Remove old files/folders from target folders (default value)",
      "&Suprimir os ficheiros/pastas antigos em pastas de saída"}},
    {"mnuEffacement", Text,
     {"&Supprimer les fichiers obsolètes des dossiers cibles (par défaut)",
      "&Remove old files from target folders (dafault value)", "&Suprimir os ficheiros antigos em pastas de saída"}},
};

const CaptionRow MacintoshRows[2][2] = {
    {{"lblDossierMac", Text, {"Dossier Macintosh", "Macintosh folder", "Pasta Macintosh"}},
     {"PictureMac", Tip,
      {"Indique les dossiers qui appartiennent à un volume Macintosh",
       "Point out folders which belong to a Macintosh volume", "Indicar pastas em um Macintosh volume"}}},
    {{"lblDossierMac", Text,
      {"miroir des fichiers Macintosh non supporté", "Macintosh files mirroring not supported",
       "miror dos ficheiros Macintosh não suportádo"}},
     {"PictureMac", Tip,
      {"Le miroir des fichiers Macintosh nécessite Windows NT", "Mirroring Macintosh files requires Windows NT",
       "Windows NT é necessário para duplicar os ficheiros Macintosh"}}},
};

const CaptionRow FolderHeadingRows[2][2] = {
    {{"lblDossiersSources", Text,
      {"Dossiers sources (sous-dossiers inclus)", "Source folders (including sub-folders)",
       "Pastas de entrada (sub-pastas incluidas)"}},
     {"lblDossiersCibles", Text,
      {"Dossiers cibles (sous-dossiers inclus)", "Target folders (including sub-folders)",
       "Pastas de saída (sub-pastas incluidas)"}}},
    {{"lblDossiersSources", Text, {"Dossiers sources", "Source folders", "Pastas de entrada"}},
     {"lblDossiersCibles", Text, {"Dossiers cibles", "Target folders", "Pastas de saída"}}},
};

const CaptionRow LabelRows[] = {
    {"lblAttente", Text, {"Attente", "Wait", "Espera"}},
    {"lblCopie", Text, {"Miroir", "Mirror", "Miror"}},
    {"lblClic", Text,
     {"Cliquer sur l'icône centrale pour modifier", "Click on central icon to modify settings",
      "Cliquar na icona central para modificar"}},
    {"lblLegende1", Text, {"Temporisation par défaut", "Default time setting", "Temporização de base"}},
    {"lblLegende2", Text, {"Temporisation spécifique", "Specific time setting", "Temporização particular"}},
    {"lblSources", Text,
     {"déplacer les fichiers sources", "move files from source to target",
      "deplaçar os ficheiros em pastas de entrada"}},
    {"lblCibles", Text,
     {"supprimer les fichiers cibles obsolètes", "remove old files from target folders",
      "suprimir os fichieros antigos em saída"}},
    {"lblMaj", Text, {"Mettre à jour un fichier cible", "Update an existing target file", "Update an existing target file"}},
    {"lblDifferent", Text,
     {"si le fichier source est différent", "if the source file is different", "if the source file is different"}},
    {"lblNouveau", Text,
     {"si le fichier source est plus récent", "if the source file is newer", "if the source file is newer"}},
    {"lblLegende3", Text, {"F1: voir les journaux d'achivage", "F1: check Logs", "F1: ver os jornais dos mirors"}},
    {"lblLegende4", Text,
     {"F2: afficher les fichiers des dossiers sélectionnés", "F2: display files in the selected folders (toggle)",
      "F2: ver os ficheiros das pastas selecionadas"}},
    {"lblBulle1", Text,
     {"1 - langue et configuration", "1 - set language and configuration", "1 - lingua e configuração"}},
    {"lblBulle2", Text, {"2 - définir les dossiers", "2 - define folders", "2 - definir as pastas"}},
    {"lblBulle3", Text, {"3 - démarrer", "3 - start", "3 - começar"}},
    {"frameLegende", Text, {"Réglages", "Settings", "Parâmetros"}},
    {"FrameSourcesCibles", Text, {"Sources et cibles", "Source and target", "Entradas e saídas"}},
    {"FrameSources", Text, {"Sources", "Source", "Entradas"}},
    {"FrameCibles", Text, {"Cibles", "Target", "Saídas"}},
    {"cmdAjouterDossierSource", Text, {"Ajouter", "Add", "Inserir"}},
    {"cmdSupprimer", Text, {"Supprimer", "Remove", "Suprimir"}},
    {"cmdModifierDossierSource", Text, {"Modifier", "Modify", "Modificar"}},
    {"cmdModifierDossierCible", Text, {"Modifier", "Modify", "Modificar"}},
    {"cmdMiroir", Tip,
     {"Démarre le miroir des dossiers sources vers les dossiers cibles",
      "Start mirroring from source folders to target folders",
      "Começar o miror das pastas de entrada para as pastas de saída"}},
};

const Trilingual ServiceVerb{"Installer/supprimer ", "Install/remove ", "Instalar/suprimir "};

Caption captionOf(const CaptionRow &row, Language language)
{
    return {QString::fromLatin1(row.objectName), row.property, row.text.in(language)};
}

} // namespace

QList<Caption> MainWindowCaptions(int32_t langue, bool miroirSousDossiers, bool isNT)
{
    const Language language = LanguageOf(langue);
    QList<Caption> captions;
    for (const CaptionRow &row : MenuRows) {
        captions.append(captionOf(row, language));
        if (qstrcmp(row.objectName, "mnuMiroirSousDossiers") == 0)
            captions.append(captionOf(EffacementRows[miroirSousDossiers ? 0 : 1], language));
    }
    captions.append({QStringLiteral("mnuService"), Text,
                     ServiceVerb.in(language) + ServiceDisplayName + QStringLiteral(" [NT]")});
    // The modify submenus repeat the add submenu's two items.
    const QString browse = MenuRows[6].text.in(language);
    const QString typeIn = MenuRows[7].text.in(language);
    for (const char *name : {"mnuModifierSourceParcourir", "mnuModifierCibleParcourir"})
        captions.append({QString::fromLatin1(name), Text, browse});
    for (const char *name : {"mnuModifierSourceSaisir", "mnuModifierCibleSaisir"})
        captions.append({QString::fromLatin1(name), Text, typeIn});
    for (const CaptionRow &row : MacintoshRows[isNT ? 0 : 1])
        captions.append(captionOf(row, language));
    for (const CaptionRow &row : FolderHeadingRows[miroirSousDossiers ? 0 : 1])
        captions.append(captionOf(row, language));
    for (const CaptionRow &row : LabelRows)
        captions.append(captionOf(row, language));
    return captions;
}

QList<Caption> SubFolderCaptions(int32_t langue, bool miroirSousDossiers)
{
    static const Trilingual Effacement[] = {
        {"&Supprimer les fichiers/dossiers obsolètes des dossiers cibles",
         "&Remove old files/folders from target folders", "&Suprimir os ficheiros/pastas antigos em pastas de saída"},
        {"&Supprimer les fichiers obsolètes des dossiers cibles", "&Remove old files from target folders",
         "&Suprimir os ficheiros antigos em pastas de saída"},
    };
    const Language language = LanguageOf(langue);
    const int variant = miroirSousDossiers ? 0 : 1;
    QList<Caption> captions{{QStringLiteral("mnuEffacement"), Text, Effacement[variant].in(language)}};
    for (const CaptionRow &row : FolderHeadingRows[variant])
        captions.append(captionOf(row, language));
    return captions;
}

QString EffacementWarningText(int32_t langue)
{
    return Trilingual{"ATTENTION: les fichiers obsolètes seront supprimés des dossiers cibles",
                      "WARNING: old files removed from target folders",
                      "ATENÇÃO: supressaõ dos ficheiros antigos em pastas de saída"}
        .in(langue);
}

QList<Caption> FixedCaptions()
{
    return {{QStringLiteral("mnuAnglais"), Text, QStringLiteral("&English")},
            {QStringLiteral("mnuFrancais"), Text, QStringLiteral("&Français")},
            {QStringLiteral("mnuPortugais"), Text, QStringLiteral("&Português")},
            {QStringLiteral("mnuAbout"), Text, QStringLiteral("&?")}};
}

QString QuitConfirmationText(int32_t langue)
{
    return Trilingual{"Quitter le programme", "Exit program", "Sair do programa"}.in(langue);
}

QString HelpFileName(int32_t langue)
{
    return ProductName + Trilingual{"HelpFRE.htm", "HelpENG.htm", "HelpPOR.htm"}.in(langue);
}

QString HelpNotAvailableText(int32_t langue)
{
    return Trilingual{"La documentation n'est pas encore disponible...", "Documentation not yet available...",
                      "Documentação não disponível..."}
        .in(langue);
}

QString AboutTitle(int32_t langue)
{
    return Trilingual{"A propos de...", "About...", "Créditos..."}.in(langue);
}

QString AboutCredit(int32_t langue, const SystemInfo &system)
{
    const bool optimised = system.NTMajorVersion >= 5 || system.ServicePack >= 4;
    const Trilingual tagline{": mirroring automatique de fichiers", ": automatic files mirroring",
                             ": copia automática de ficheiros"};
    const Trilingual with{" (avec optimisation NT/SP4+)", " (with NT/SP4+ optimization)", " (com otimização NT/SP4+)"};
    const Trilingual without{" (sans optimisation NT/SP4+)", " (without NT/SP4+ optimization)",
                             " (sem otimização NT/SP4+)"};
    return ProductName + tagline.in(langue) + (optimised ? with : without).in(langue);
}

QString ModeCaption(bool service)
{
    return service ? QStringLiteral("Service") : QStringLiteral("Application");
}

QString ModeToolTip(bool service)
{
    return ProductName + (service ? QStringLiteral(" Mirroring Service") : QStringLiteral(" Mirroring Application"));
}

} // namespace vell
