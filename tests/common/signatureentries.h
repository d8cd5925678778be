#pragma once

#include "signatures/signaturetable.h"

#include <QList>
#include <QTest>

using Entries = QList<vell::SignatureEntry>;

inline vell::SignatureEntry entry(const QString &signature, const QString &extension, const QString &description)
{
    return {signature, extension, description};
}

namespace vell {
// Readable entries in failure reports.
inline char *toString(const SignatureEntry &e)
{
    return QTest::toString(e.signature + '|' + e.extension + '|' + e.description);
}
} // namespace vell
