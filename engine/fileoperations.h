#pragma once

#include "engine/mirrorcontext.h"

#include <QByteArray>
#include <QString>

namespace vell {

// The file-level operations of a walk. Folders are given as descriptors of
// the folders being walked, names as bytes.

// Copies srcDir/E onto tgtDir/N with the streams the system carries, then
// the permissions (CopierSecurite) and, in move mode, deletes the source
// once the copy is safe on disk. targetAbsent: the caller has just found
// no file at N, so the copy need not look again. Returns whether the copy
// itself succeeded.
bool CopyOneFile(MirrorContext &ctx, int srcDir, const QByteArray &E, int tgtDir, const QByteArray &N,
                 bool targetAbsent = false);

// The name under which a Macintosh file is written: the characters the
// server keeps for Macintosh-only characters replaced by "-", and the
// extension of its Finder signature appended when it lacks it.
[[nodiscard]] QByteArray MacintoshTargetName(const MirrorContext &ctx, int srcDir, const QByteArray &E);

// Type and creator as 8 Windows-1252 characters; empty when unreadable.
[[nodiscard]] QString ReadFinderSignature(int dirFd, const QByteArray &name);

// Copies the source item's permissions onto the target; counts
// SecuritiesCopied or SecuritiesNotCopied.
void CopyPermissions(MirrorContext &ctx, int srcDir, const QByteArray &srcName, int tgtDir,
                     const QByteArray &tgtName);

// Compares the two items' permissions and copies when they differ. Returns
// true when the target's permissions were written.
bool SyncPermissions(MirrorContext &ctx, int srcDir, const QByteArray &srcName, int tgtDir,
                     const QByteArray &tgtName);

} // namespace vell
