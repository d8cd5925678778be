#include "oplog/logwords.h"

namespace vell {

LogWords LogWordsFor(int langue)
{
    switch (langue) {
    case 1:
        return {QStringLiteral("Création"), QStringLiteral("Modification"), QStringLiteral("Effacement"),
                QStringLiteral("dossier"), QStringLiteral("Sécurité modifiée"), QStringLiteral("attributs")};
    case 2:
        return {QStringLiteral("Criação"), QStringLiteral("Modificação"), QStringLiteral("Supressão"),
                QStringLiteral("pasta"), QStringLiteral("Seguridade modificada"), QStringLiteral("attributos")};
    default:
        return {QStringLiteral("Creation"), QStringLiteral("Modification"), QStringLiteral("Delete"),
                QStringLiteral("folder"), QStringLiteral("Modified security"), QStringLiteral("attributes")};
    }
}

} // namespace vell
