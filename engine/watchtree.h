#pragma once

// What a watched couple remembers of its folders between runs: one node per
// folder, no data at all per file. A folder whose last visit was quiet and
// whose two sides have had no event since would be quiet again, so a run
// may pass it over and count its files from here.

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <vector>

namespace vell {

using NodeId = uint32_t;
constexpr NodeId NoNode = UINT32_MAX;
constexpr uint32_t NoRank = UINT32_MAX;          // absent from the parent's last target listing
constexpr uint32_t UnknownRank = UINT32_MAX - 1; // made since that listing: its place is not known

enum class Side : uint8_t { Source, Target };

enum NodeFlag : uint16_t {
    MirrorDirty = 1,  // own work needed by the mirror walk (events, a visit that did something, a new node)
    RemovalDirty = 2, // the same for the removal walk
    MirrorBelow = 4,  // some descendant is MirrorDirty or Volatile (kept up to the root)
    RemovalBelow = 8, // some descendant is RemovalDirty or Volatile
    Volatile = 16,    // a listed file has more than one link (set by the walk): always visited
    Replaced = 32,    // the name was created, deleted or moved: its sub-tree goes at the parent's next visit
    Dying = 64,       // one of its watches saw the folder itself deleted or moved
    SourceUnwatched = 128, // its source side could not be watched (EACCES, ENOENT): always visited
    TargetUnwatched = 256, // the same for its target side; each cleared by a later watch of that side
    RemovalHeld = 512, // RemovalDirty set aside while the mirror walk visits the folder in full
};
// A node with any of these is visited in full by both walks at every run.
constexpr uint16_t AlwaysFull = Volatile | SourceUnwatched | TargetUnwatched;
constexpr uint16_t BothDirty = MirrorDirty | RemovalDirty;
constexpr uint16_t BothBelow = MirrorBelow | RemovalBelow;

struct WatchNode
{
    NodeId parent = NoNode;
    NodeId firstChild = NoNode;
    NodeId nextSibling = NoNode; // children in the order of the source listing
    uint32_t nameOffset = 0;     // in the tree's name bytes
    uint16_t nameLength = 0;
    uint16_t flags = 0;
    int32_t sourceWd = -1;
    int32_t targetWd = -1;
    uint32_t targetRank = UnknownRank; // position among the parent's target sub-folders (removal walk order)
    uint32_t ownFiles = 0;        // files this folder adds to FilesExamined
    uint64_t subtreeFiles = 0;    // ownFiles of this node and of everything below
    uint64_t linked = 0;          // digest of its files' inodes that have other links (0: none)

    [[nodiscard]] int32_t wd(Side side) const { return side == Side::Source ? sourceWd : targetWd; }
};

// A watch that went with a dropped node: the caller removes it from its
// index (and from the kernel when it was the last reference).
struct DroppedWatch
{
    int32_t wd;
    NodeId node;
    Side side;
};

// The folders of one watched couple. Node slots are freed only by
// reconcileChildren, which the walk calls at the parent, never below it: a
// NodeId a walk holds is never reused under it. Events only set flags.
class FolderTree
{
public:
    FolderTree(); // the root alone, both Dirty

    [[nodiscard]] NodeId root() const { return 0; }
    [[nodiscard]] const WatchNode &node(NodeId id) const { return m_nodes[id]; }
    [[nodiscard]] QByteArrayView name(NodeId id) const;
    [[nodiscard]] uint16_t flags(NodeId id) const { return m_nodes[id].flags; }
    [[nodiscard]] NodeId child(NodeId parent, QByteArrayView name) const; // NoNode when unknown
    [[nodiscard]] uint32_t nodeCount() const { return uint32_t(m_nodes.size() - m_free.size()); }

    // A full mirror visit's source sub-folders, in listing order: keeps the
    // known children in that order, makes new ones (both Dirty), drops the
    // others and every child flagged Replaced, with their sub-trees; their
    // watches are appended to `dropped`.
    void reconcileChildren(NodeId parent, const std::vector<QByteArray> &subFolders,
                           std::vector<DroppedWatch> &dropped);
    // The removal walk's order: children absent from the target get NoRank;
    // those made later (by the mirror walk) have UnknownRank until the next.
    void setTargetRanks(NodeId parent, const std::vector<QByteArray> &targetSubFolders);
    // Fixes subtreeFiles of every ancestor by the difference.
    void setOwnFiles(NodeId id, uint32_t files);
    // Sets `bits`; Dirty and AlwaysFull bits make every ancestor Below.
    void markDirty(NodeId id, uint16_t bits);
    void clearDirty(NodeId id, uint16_t bits) { m_nodes[id].flags &= uint16_t(~bits); }
    void setLinked(NodeId id, uint64_t linked) { m_nodes[id].linked = linked; }
    // Below bits from the children, at the end of a visit or a pass.
    void recomputeBelow(NodeId id);
    // A full run: every node Dirty for both walks.
    void markAll();
    void setWd(NodeId id, Side side, int32_t wd);
    // Every watch of the tree, the nodes left as they are.
    void collectWatches(std::vector<DroppedWatch> &watches) const;
    // Every watch of the tree (to release them all), then the root alone.
    void clear(std::vector<DroppedWatch> &dropped);

    template<typename F>
    void forEachChild(NodeId parent, F &&f) const
    {
        for (NodeId c = m_nodes[parent].firstChild; c != NoNode; c = m_nodes[c].nextSibling)
            f(c);
    }

private:
    NodeId makeNode(NodeId parent, QByteArrayView name);
    void dropSubtree(NodeId id, std::vector<DroppedWatch> &dropped);
    void addFiles(NodeId from, int64_t difference);
    void compactNames();

    std::vector<WatchNode> m_nodes;
    std::vector<char> m_names;
    std::vector<NodeId> m_free;
    size_t m_deadNameBytes = 0;
};

} // namespace vell
