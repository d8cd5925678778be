#include "config/pairediting.h"

#include "base/language.h"
#include "base/programidentity.h"
#include "base/userdialogs.h"
#include "platform/systeminfo.h"

#include <cstring>

namespace vell {

namespace {

QString promptFor(EditAction action, FolderRole role, int32_t langue)
{
    if (action == EditAction::Add)
        return Trilingual{"AJOUTER: choisir un dossier SOURCE", "ADD: select a SOURCE folder",
                          "INSERIR: selecionar uma pasta de ENTRADA"}
            .in(langue);
    if (role == FolderRole::Source)
        return Trilingual{"MODIFIER: Choisir un nouveau dossier SOURCE", "MODIFY: Select a new SOURCE folder",
                          "MODIFICAR: Selecionar uma nova pasta de ENTRADA"}
            .in(langue);
    return Trilingual{"MODIFIER: Choisir un nouveau dossier CIBLE", "MODIFY: Select a new TARGET folder",
                      "MODIFICAR: Selecionar uma nova pasta de SAÍDA"}
        .in(langue);
}

QString nothingSelectedText(FolderRole role, int32_t langue)
{
    if (role == FolderRole::Source)
        return Trilingual{"Sélectionner un dossier SOURCE à modifier", "Select a SOURCE folder to modify",
                          "Selecionar uma pasta de ENTRADA a modificar"}
            .in(langue);
    return Trilingual{"Sélectionner un dossier CIBLE à modifier", "Select a TARGET folder to modify",
                      "Selecionar uma pasta de SAÍDA a modificar"}
        .in(langue);
}

void inform(const EditContext &context, const QString &text, MessageIcon icon = MessageIcon::Information)
{
    (void)context.dialogs.messageBox(text, ProductName, icon, MessageButtons::Ok);
}

// A list that could not be saved is not lost from memory, but the reload
// that follows shows the files: say why the change did not hold.
bool saveOrReport(const FolderPairList &pairs, const EditContext &context)
{
    const int rc = SaveFolderPairs(context.files, pairs, context.system);
    if (rc == 0)
        return true;
    const QString text = Trilingual{"Les couples de dossiers n'ont pas pu être enregistrés: ",
                                    "The folder couples could not be saved: ",
                                    "As pastas não puderam ser registadas: "}
                             .in(context.settings.Langue)
        + QString::fromLocal8Bit(std::strerror(-rc)) + QStringLiteral("\r\n") + context.files.couplesFile();
    inform(context, text, MessageIcon::Critical);
    return false;
}

// The path of the selected couple, offered for a typed change. Its real
// path, not its cell: the "??? " mark of a missing folder would otherwise
// become part of the path on a plain OK.
QString currentPath(const FolderPair &pair, FolderRole role)
{
    return role == FolderRole::Source ? pair.Source : pair.Cible;
}

} // namespace

EditOutcome EditFolderPair(EditAction action, FolderRole role, PathMeans means, const GridSelection &selection,
                           FolderPairList &pairs, const EditContext &context)
{
    const int32_t langue = context.settings.Langue;
    const qsizetype row = selection.currentRow;
    const bool selected = selection.shown && row >= 0 && row < pairs.size();
    if (action == EditAction::Modify && !selected) {
        inform(context, nothingSelectedText(role, langue));
        return {};
    }
    const QString prompt = promptFor(action, role, langue);
    std::optional<QString> path;
    if (means == PathMeans::Browser) {
        const QString start = action == EditAction::Modify ? currentPath(pairs.at(row), role) : QString();
        path = context.dialogs.browseFolder(prompt, start);
    } else {
        const QString initial = action == EditAction::Modify ? currentPath(pairs.at(row), role) : QString();
        path = context.dialogs.inputBox(prompt, ProductName, initial);
    }
    if (!path || path->isEmpty())
        return {};

    const FolderRole pathRole = action == EditAction::Add ? FolderRole::Source : role;
    const PathWarnings warnings = WarningsForNewPath(*path, pathRole, means, context.system);
    if (warnings.unc)
        inform(context, UncWarningText(langue), MessageIcon::Exclamation);
    if (warnings.windowsFolder)
        inform(context, WindowsFolderWarningText(langue), MessageIcon::Exclamation);

    if (action == EditAction::Add) {
        FolderPair pair;
        pair.Source = *path;
        pair.Cible = DefaultTarget(*path, context.settings.PrefixeCibleDefaut, context.settings.PrefixeCibleDefautUNC);
        pair.Effacer = context.settings.Effacement;
        pairs.append(pair);
    } else if (role == FolderRole::Source) {
        pairs[row].Source = *path;
        pairs[row].SourceFileSystem.clear(); // a new folder: its disk is not known yet
    } else {
        pairs[row].Cible = *path;
    }
    const bool saved = saveOrReport(pairs, context);
    return {true, saved && action == EditAction::Add && means == PathMeans::Browser};
}

RowBlock RemovalBlock(const GridSelection &selection, qsizetype rowCount)
{
    const auto inRange = [rowCount](qsizetype r) { return r >= 0 && r < rowCount; };
    if (!selection.shown || !inRange(selection.currentRow))
        return {};
    const qsizetype end = inRange(selection.endRow) ? selection.endRow : selection.currentRow;
    return {std::min(selection.currentRow, end), std::max(selection.currentRow, end)};
}

bool RemoveFolderPairs(const GridSelection &selection, FolderPairList &pairs, const EditContext &context)
{
    const int32_t langue = context.settings.Langue;
    if (pairs.isEmpty()) {
        inform(context, Trilingual{"La liste des couples de dossiers (source+cible) est vide", "Nothing to remove",
                                   "Selecionar pastas"}
                            .in(langue));
        return false;
    }
    const RowBlock block = RemovalBlock(selection, pairs.size());
    if (block.first < 0) {
        inform(context, Trilingual{"Sélectionner un couple de dossiers (source+cible) à supprimer",
                                   "Select a couple of folders (source+target) to remove",
                                   "Selecionar pastas a suprimir"}
                            .in(langue));
        return false;
    }
    const QString question = Trilingual{"Confirmez la suppression des dossiers sélectionnés",
                                        "Remove the selected folders", "Confirmar a supressão"}
                                 .in(langue);
    if (context.dialogs.messageBox(question, ProductName, MessageIcon::Question, MessageButtons::YesNo)
        != MessageAnswer::Yes)
        return false;
    pairs.remove(block.first, block.last - block.first + 1);
    (void)saveOrReport(pairs, context);
    return true;
}

} // namespace vell
