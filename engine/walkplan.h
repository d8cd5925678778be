#pragma once

// How a watched couple's walks go through its folders this run: a folder
// is visited as ever (Full), passed through to reach changed folders below
// it (Pass), or left with its whole sub-tree (Skip), whose files are
// counted from what its last quiet visit counted. Flags are cleared when a
// folder's listing is asked and set again at the end of a visit that was
// not quiet; events set them at any time, so a change made during a visit
// is never lost by that visit's end.

#include "engine/mirrorcontext.h"
#include "engine/watchbook.h"
#include "engine/watchtree.h"

#include <QByteArray>
#include <vector>

namespace vell {

enum class Visit { Full, Pass, Skip };

// What a visit's own work changed: every total but FilesExamined, and the
// things a full run would do again next time without counting them now.
class QuietProbe
{
public:
    explicit QuietProbe(const MirrorContext &ctx) { restart(ctx); }
    void restart(const MirrorContext &ctx);
    // Since the last restart: nothing counted, nothing left pending.
    [[nodiscard]] bool quiet(const MirrorContext &ctx) const;

private:
    RunTotals m_totals;
    int64_t m_unsettled = 0;
};

// One couple's plan for one run, a view over its CoupleWatch. NoNode stands
// for a folder the tree does not know (target-only, below a refused
// couple...): always Full, never recorded.
class WalkPlan
{
public:
    WalkPlan(CoupleWatch &couple, QByteArray key) : m_couple(couple), m_key(std::move(key)) {}

    [[nodiscard]] CoupleWatch &couple() const { return m_couple; }
    // CoupleKey() of the folders the plan was made for.
    [[nodiscard]] const QByteArray &key() const { return m_key; }
    [[nodiscard]] NodeId root() const { return m_couple.tree().root(); }
    [[nodiscard]] NodeId child(NodeId parent, const QByteArray &name) const;
    [[nodiscard]] QByteArray name(NodeId node) const { return m_couple.tree().name(node).toByteArray(); }

    // Full: own work wanted or the folder unknown; Pass: work wanted below.
    // Counted in the book's stats.
    [[nodiscard]] Visit mirrorVisit(NodeId node) const { return visit(node, MirrorDirty, MirrorBelow); }
    // The removal walk passes through a folder only when it knows the place
    // of every sub-folder it must reach in the target's order.
    [[nodiscard]] Visit removalVisit(NodeId node) const;
    void count(Visit visit) const;

    // Before the folder's listing is asked for: that walk's Dirty bit goes.
    // The mirror walk also sets RemovalDirty aside: a visit that finds the
    // target clean does the removal walk's work here as well.
    void beginFull(NodeId node, uint16_t dirtyBit);
    // Both sides were watched when the visit began: only then may a quiet
    // visit leave the folder clean.
    [[nodiscard]] bool watched(NodeId node) const;
    void sourceListed(NodeId node, const std::vector<QByteArray> &subFolders);
    void targetListed(NodeId node, const std::vector<QByteArray> &targetSubFolders);
    void watchChild(NodeId child, int parentFd, const QByteArray &name, Side side);
    // The target lacks this sub-folder: the walk may make it now.
    void expectTargetMade(NodeId parent, const QByteArray &name);
    // linked: a digest of the inodes of its files with other links (0: none).
    // targetClean: nothing in the target below the folder lacks its source
    // (the removal walk of this run passes it over).
    void endMirrorFull(NodeId node, uint32_t files, bool quiet, bool targetClean, uint64_t linked);
    void endRemovalFull(NodeId node, bool quiet);
    void endPass(NodeId node);
    // A Full visit that did not end (stop, unreadable folder): visited
    // again next run.
    void abandon(NodeId node);

    [[nodiscard]] uint32_t ownFiles(NodeId node) const { return m_couple.tree().node(node).ownFiles; }
    [[nodiscard]] uint64_t subtreeFiles(NodeId node) const { return m_couple.tree().node(node).subtreeFiles; }
    // In source order.
    [[nodiscard]] std::vector<NodeId> children(NodeId node) const;
    // In the order of the target's last listing, only those the removal
    // walk must reach (a Pass has a known place for each of them).
    [[nodiscard]] std::vector<NodeId> childrenByTargetRank(NodeId node) const;

private:
    [[nodiscard]] Visit visit(NodeId node, uint16_t dirty, uint16_t below) const;
    [[nodiscard]] bool recording(NodeId node) const { return node != NoNode && m_couple.watching(); }

    CoupleWatch &m_couple;
    QByteArray m_key;
};

// Ends a Full visit that returns early as abandoned.
class FullVisit
{
public:
    FullVisit(WalkPlan *plan, NodeId node) : m_plan(plan), m_node(node) {}
    ~FullVisit()
    {
        if (m_plan && !m_ended)
            m_plan->abandon(m_node);
    }
    FullVisit(const FullVisit &) = delete;
    FullVisit &operator=(const FullVisit &) = delete;
    void ended() { m_ended = true; }

private:
    WalkPlan *m_plan;
    NodeId m_node;
    bool m_ended = false;
};

} // namespace vell
