#pragma once

#include "engine/mirrorcontext.h"
#include "platform/fileops.h"

#include <QByteArray>
#include <QString>

namespace vell {

// The file-level operations of a walk. Folders are given as descriptors of
// the folders being walked, names as bytes.

// Copies srcDir/E onto tgtDir/N with the streams the system carries, then
// the permissions (CopierSecurite). In move mode the data are flushed and
// `copied` tells what was copied, for DeleteMovedSource. targetAbsent: the
// caller has just found no file at N, so the copy need not look again.
// Returns 0 or the -errno of the copy itself.
[[nodiscard]] int CopyOneFile(MirrorContext &ctx, int srcDir, const QByteArray &E, int tgtDir, const QByteArray &N,
                              platform::CopiedSource &copied, bool targetAbsent = false);

// Why a moved source may go: this run copied it (and `seen` is what was
// copied), or the target counted as up to date (and `seen` is the source as
// listed), which is proven only by comparing the two files' bytes.
enum class MoveProof { CopiedNow, UpToDate };

// Move mode: deletes the source srcDir/E once its content is certainly in
// tgtDir/N and on disk, and the source is still what `seen` says. The one
// gate of every source deletion. Returns 0 when deleted, 1 when the source
// stays because the target does not hold it (or it changed meanwhile),
// -errno when the deletion itself failed.
[[nodiscard]] int DeleteMovedSource(MirrorContext &ctx, int srcDir, const QByteArray &E, int tgtDir,
                                    const QByteArray &N, const platform::CopiedSource &seen, MoveProof proof);

// The name under which a Macintosh file is written: the characters the
// server keeps for Macintosh-only characters replaced by "-", and the
// extension of its Finder signature appended when it lacks it.
[[nodiscard]] QByteArray MacintoshTargetName(const MirrorContext &ctx, int srcDir, const QByteArray &E);

// Type and creator as 8 Windows-1252 characters; empty when unreadable.
[[nodiscard]] QString ReadFinderSignature(int dirFd, const QByteArray &name);

// Copies the source item's permissions onto the target; counts
// SecuritiesCopied or SecuritiesNotCopied. 0, or -errno when it failed.
// Both functions leave a target alone (0, nothing counted) when one of the
// two is a folder and the other not: replaced since it was listed.
int CopyPermissions(MirrorContext &ctx, int srcDir, const QByteArray &srcName, int tgtDir,
                     const QByteArray &tgtName);

// Compares the two items' permissions and copies when they differ. Returns
// 1 when the target's permissions were written, 0 when they were in step
// already (or a link has none), -errno when they could not be compared or
// written (counted in SecuritiesNotCopied).
int SyncPermissions(MirrorContext &ctx, int srcDir, const QByteArray &srcName, int tgtDir,
                     const QByteArray &tgtName);

} // namespace vell
