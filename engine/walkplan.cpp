#include "engine/walkplan.h"

#include <algorithm>

namespace vell {

void QuietProbe::restart(const MirrorContext &ctx)
{
    m_totals = ctx.state.totals;
    m_unsettled = ctx.unsettled;
}

bool QuietProbe::quiet(const MirrorContext &ctx) const
{
    RunTotals now = ctx.state.totals;
    now.FilesExamined = m_totals.FilesExamined;
    const RunTotals &t = m_totals;
    return ctx.unsettled == m_unsettled && now.FilesCreated == t.FilesCreated && now.FilesModified == t.FilesModified
        && now.FilesRemoved == t.FilesRemoved && now.SecuritiesCopied == t.SecuritiesCopied
        && now.SecuritiesNotCopied == t.SecuritiesNotCopied && now.AttributesCopied == t.AttributesCopied
        && now.FoldersCreated == t.FoldersCreated && now.FoldersRemoved == t.FoldersRemoved
        && now.CouplesCounted == t.CouplesCounted && now.InvalidSources == t.InvalidSources
        && now.InvalidTargets == t.InvalidTargets && now.Failures == t.Failures;
}

NodeId WalkPlan::child(NodeId parent, const QByteArray &name) const
{
    if (!recording(parent))
        return NoNode;
    return m_couple.tree().child(parent, name);
}

Visit WalkPlan::visit(NodeId node, uint16_t dirty, uint16_t below) const
{
    if (!recording(node))
        return Visit::Full;
    const uint16_t flags = m_couple.tree().flags(node);
    if (flags & (dirty | AlwaysFull | Replaced | Dying))
        return Visit::Full;
    return flags & below ? Visit::Pass : Visit::Skip;
}

Visit WalkPlan::removalVisit(NodeId node) const
{
    const Visit decided = visit(node, RemovalDirty, RemovalBelow);
    if (decided != Visit::Pass)
        return decided;
    // A sub-folder made since the target was last listed here has no place
    // in its order yet: the folder is listed again rather than the sub-folder
    // left out, which would leave its obsolete items for ever.
    bool unranked = false;
    const FolderTree &tree = m_couple.tree();
    tree.forEachChild(node, [&](NodeId c) {
        unranked = unranked
            || (tree.node(c).targetRank == UnknownRank && visit(c, RemovalDirty, RemovalBelow) != Visit::Skip);
    });
    return unranked ? Visit::Full : Visit::Pass;
}

void WalkPlan::count(Visit visit) const
{
    WatchStats &stats = m_couple.book().stats();
    ++(visit == Visit::Full ? stats.fullFolders : visit == Visit::Pass ? stats.passFolders : stats.skipFolders);
}

void WalkPlan::beginFull(NodeId node, uint16_t dirtyBit)
{
    if (!recording(node))
        return;
    FolderTree &tree = m_couple.tree();
    if (dirtyBit == MirrorDirty && (tree.flags(node) & RemovalDirty)) {
        tree.clearDirty(node, RemovalDirty);
        tree.markDirty(node, RemovalHeld);
    }
    tree.clearDirty(node, dirtyBit);
}

bool WalkPlan::watched(NodeId node) const
{
    if (!recording(node))
        return false;
    const WatchNode &n = m_couple.tree().node(node);
    return n.sourceWd >= 0 && n.targetWd >= 0 && !(n.flags & (Replaced | Dying));
}

void WalkPlan::sourceListed(NodeId node, const std::vector<QByteArray> &subFolders)
{
    if (recording(node))
        m_couple.sourceListed(node, subFolders);
}

void WalkPlan::targetListed(NodeId node, const std::vector<QByteArray> &targetSubFolders)
{
    if (recording(node))
        m_couple.targetListed(node, targetSubFolders);
}

void WalkPlan::watchChild(NodeId child, int parentFd, const QByteArray &name, Side side)
{
    if (recording(child) && parentFd >= 0)
        m_couple.watchChild(child, parentFd, name, side);
}

void WalkPlan::expectTargetMade(NodeId parent, const QByteArray &name)
{
    if (recording(parent))
        m_couple.expectTargetMade(parent, name);
}

void WalkPlan::endMirrorFull(NodeId node, uint32_t files, bool quiet, bool targetClean, uint64_t linked)
{
    if (!recording(node))
        return;
    FolderTree &tree = m_couple.tree();
    // Seen clean and quiet while watched: as a quiet removal visit at the
    // listing would have left it; what happened since marked it again.
    if (tree.flags(node) & RemovalHeld) {
        tree.clearDirty(node, RemovalHeld);
        if (!(quiet && targetClean))
            tree.markDirty(node, RemovalDirty);
    }
    tree.setOwnFiles(node, files);
    if (linked != 0)
        tree.markDirty(node, Volatile);
    else
        tree.clearDirty(node, Volatile);
    // A link made here to a file of another folder raised no event there,
    // where the file may have changed through it since: every folder is
    // visited next run, which makes that folder Volatile too. The new name's
    // event did that already, unless this folder was not watched then.
    // Links that went need nothing.
    if (tree.node(node).linked != linked) {
        tree.setLinked(node, linked);
        if (linked != 0 && !m_couple.fullRun())
            m_couple.fullNextRun();
    }
    if (!quiet)
        tree.markDirty(node, BothDirty); // the removal walk must see what this visit changed too
    tree.recomputeBelow(node);
}

void WalkPlan::endRemovalFull(NodeId node, bool quiet)
{
    if (!recording(node))
        return;
    FolderTree &tree = m_couple.tree();
    if (!quiet)
        tree.markDirty(node, BothDirty);
    tree.recomputeBelow(node);
}

void WalkPlan::endPass(NodeId node)
{
    if (recording(node))
        m_couple.tree().recomputeBelow(node);
}

void WalkPlan::abandon(NodeId node)
{
    if (!recording(node))
        return;
    m_couple.tree().clearDirty(node, RemovalHeld);
    m_couple.tree().markDirty(node, BothDirty);
}

std::vector<NodeId> WalkPlan::children(NodeId node) const
{
    std::vector<NodeId> out;
    if (recording(node))
        m_couple.tree().forEachChild(node, [&](NodeId c) { out.push_back(c); });
    return out;
}

std::vector<NodeId> WalkPlan::childrenByTargetRank(NodeId node) const
{
    std::vector<NodeId> out;
    if (!recording(node))
        return out;
    const FolderTree &tree = m_couple.tree();
    tree.forEachChild(node, [&](NodeId c) {
        // Unranked ones never need reaching here: removalVisit made the folder Full.
        if (tree.node(c).targetRank < UnknownRank && visit(c, RemovalDirty, RemovalBelow) != Visit::Skip)
            out.push_back(c);
    });
    std::sort(out.begin(), out.end(),
              [&](NodeId a, NodeId b) { return tree.node(a).targetRank < tree.node(b).targetRank; });
    return out;
}

} // namespace vell
