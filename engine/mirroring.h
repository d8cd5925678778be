#pragma once

#include "engine/mirrorcontext.h"

#include <QByteArray>
#include <QString>

namespace vell {

// Mirrors the source folder into the target folder, then (with
// MiroirSousDossiers) every sub-folder below it, depth first. Full paths
// without a trailing "/". Counts in ctx.state.totals and logs one line per
// operation; returns when MirroringOff is seen after an entry. A log line
// that cannot be written ends the walk.
void MirrorFolder(MirrorContext &ctx, const QString &source, const QString &target);

// Removes from the target every file that no longer exists in the source,
// then the target folders whose source folder is gone (one level per run).
void RemoveObsolete(MirrorContext &ctx, const QString &source, const QString &target);

struct CoupleFolders;
// Removes the target folder `name` of the open folder parentFd (at rel
// below the couple's target) with everything in it, in this run: a folder
// where the source has a file. Counts and records every removal and
// failure. True when the folder is gone.
bool RemoveTargetTree(MirrorContext &ctx, const CoupleFolders &folders, int parentFd, const QByteArray &rel,
                      const QByteArray &name);

} // namespace vell
