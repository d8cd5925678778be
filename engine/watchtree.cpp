#include "engine/watchtree.h"

#include <QHash>

namespace vell {

namespace {

// The Below bits an ancestor of a node with `flags` must carry.
uint16_t belowFor(uint16_t flags)
{
    uint16_t below = flags & BothBelow;
    if (flags & (MirrorDirty | AlwaysFull))
        below |= MirrorBelow;
    if (flags & (RemovalDirty | AlwaysFull))
        below |= RemovalBelow;
    return below;
}

} // namespace

FolderTree::FolderTree()
{
    m_nodes.push_back(WatchNode{});
    m_nodes[0].flags = BothDirty;
}

QByteArrayView FolderTree::name(NodeId id) const
{
    const WatchNode &n = m_nodes[id];
    return QByteArrayView(m_names.data() + n.nameOffset, n.nameLength);
}

NodeId FolderTree::child(NodeId parent, QByteArrayView name) const
{
    for (NodeId c = m_nodes[parent].firstChild; c != NoNode; c = m_nodes[c].nextSibling)
        if (this->name(c) == name)
            return c;
    return NoNode;
}

NodeId FolderTree::makeNode(NodeId parent, QByteArrayView name)
{
    NodeId id;
    if (m_free.empty()) {
        id = NodeId(m_nodes.size());
        m_nodes.emplace_back();
    } else {
        id = m_free.back();
        m_free.pop_back();
        m_nodes[id] = WatchNode{};
    }
    WatchNode &n = m_nodes[id];
    n.parent = parent;
    n.nameOffset = uint32_t(m_names.size());
    n.nameLength = uint16_t(name.size());
    n.flags = BothDirty;
    m_names.insert(m_names.end(), name.begin(), name.end());
    return id;
}

void FolderTree::dropSubtree(NodeId id, std::vector<DroppedWatch> &dropped)
{
    for (NodeId c = m_nodes[id].firstChild; c != NoNode;) {
        const NodeId next = m_nodes[c].nextSibling;
        dropSubtree(c, dropped);
        c = next;
    }
    WatchNode &n = m_nodes[id];
    if (n.sourceWd >= 0)
        dropped.push_back({n.sourceWd, id, Side::Source});
    if (n.targetWd >= 0)
        dropped.push_back({n.targetWd, id, Side::Target});
    m_deadNameBytes += n.nameLength;
    n = WatchNode{};
    m_free.push_back(id);
}

void FolderTree::reconcileChildren(NodeId parent, const std::vector<QByteArray> &subFolders,
                                   std::vector<DroppedWatch> &dropped)
{
    // Matching first, creating after: a new name may move the name bytes.
    std::vector<NodeId> old;
    forEachChild(parent, [&](NodeId c) {
        if (!(m_nodes[c].flags & Replaced))
            old.push_back(c);
    });
    QHash<QByteArrayView, size_t> byName;
    if (old.size() > 8)
        for (size_t i = 0; i < old.size(); ++i)
            byName.insert(name(old[i]), i);
    std::vector<NodeId> kept(subFolders.size(), NoNode);
    for (size_t k = 0; k < subFolders.size(); ++k) {
        const QByteArrayView wanted(subFolders[k]);
        size_t i = old.size();
        if (old.size() > 8) {
            const auto it = byName.constFind(wanted);
            i = it == byName.cend() ? old.size() : it.value();
        } else {
            for (i = 0; i < old.size() && (old[i] == NoNode || name(old[i]) != wanted); ++i) {
            }
        }
        if (i < old.size() && old[i] != NoNode) {
            kept[k] = old[i];
            old[i] = NoNode; // a name listed twice gets a node of its own
        }
    }
    // `old` lists the children not Replaced in their order; a match left it NoNode.
    int64_t goneFiles = 0;
    size_t i = 0;
    for (NodeId c = m_nodes[parent].firstChild; c != NoNode;) {
        const NodeId next = m_nodes[c].nextSibling;
        const bool keep = !(m_nodes[c].flags & Replaced) && old[i++] == NoNode;
        if (!keep) {
            goneFiles += int64_t(m_nodes[c].subtreeFiles);
            dropSubtree(c, dropped);
        }
        c = next;
    }
    m_nodes[parent].firstChild = NoNode;
    NodeId last = NoNode;
    uint16_t below = 0;
    for (size_t k = 0; k < subFolders.size(); ++k) {
        const NodeId c = kept[k] != NoNode ? kept[k] : makeNode(parent, subFolders[k]);
        m_nodes[c].nextSibling = NoNode;
        (last == NoNode ? m_nodes[parent].firstChild : m_nodes[last].nextSibling) = c;
        last = c;
        below |= belowFor(m_nodes[c].flags);
    }
    addFiles(parent, -goneFiles);
    if (below)
        markDirty(parent, below);
    if (m_deadNameBytes > 4096 && m_deadNameBytes > m_names.size() / 2)
        compactNames();
}

void FolderTree::setTargetRanks(NodeId parent, const std::vector<QByteArray> &targetSubFolders)
{
    forEachChild(parent, [&](NodeId c) { m_nodes[c].targetRank = NoRank; });
    for (size_t k = 0; k < targetSubFolders.size(); ++k) {
        const NodeId c = child(parent, targetSubFolders[k]);
        if (c != NoNode)
            m_nodes[c].targetRank = uint32_t(k);
    }
}

void FolderTree::addFiles(NodeId from, int64_t difference)
{
    if (difference == 0)
        return;
    for (NodeId a = from; a != NoNode; a = m_nodes[a].parent)
        m_nodes[a].subtreeFiles = uint64_t(int64_t(m_nodes[a].subtreeFiles) + difference);
}

void FolderTree::setOwnFiles(NodeId id, uint32_t files)
{
    const int64_t difference = int64_t(files) - int64_t(m_nodes[id].ownFiles);
    m_nodes[id].ownFiles = files;
    addFiles(id, difference);
}

void FolderTree::markDirty(NodeId id, uint16_t bits)
{
    m_nodes[id].flags |= bits;
    const uint16_t below = belowFor(bits);
    // An ancestor already Below has its own ancestors Below too.
    for (NodeId a = m_nodes[id].parent; a != NoNode && (m_nodes[a].flags & below) != below; a = m_nodes[a].parent)
        m_nodes[a].flags |= below;
}

void FolderTree::recomputeBelow(NodeId id)
{
    uint16_t below = 0;
    forEachChild(id, [&](NodeId c) { below |= belowFor(m_nodes[c].flags); });
    m_nodes[id].flags = uint16_t((m_nodes[id].flags & ~BothBelow) | below);
}

void FolderTree::markAll()
{
    for (WatchNode &n : m_nodes) // free slots too: harmless, they are reset when reused
        n.flags |= BothDirty | BothBelow;
}

void FolderTree::setWd(NodeId id, Side side, int32_t wd)
{
    (side == Side::Source ? m_nodes[id].sourceWd : m_nodes[id].targetWd) = wd;
}

void FolderTree::collectWatches(std::vector<DroppedWatch> &watches) const
{
    for (NodeId id = 0; id < m_nodes.size(); ++id) { // free slots hold no watch
        if (m_nodes[id].sourceWd >= 0)
            watches.push_back({m_nodes[id].sourceWd, id, Side::Source});
        if (m_nodes[id].targetWd >= 0)
            watches.push_back({m_nodes[id].targetWd, id, Side::Target});
    }
}

void FolderTree::clear(std::vector<DroppedWatch> &dropped)
{
    dropSubtree(root(), dropped);
    m_nodes.assign(1, WatchNode{});
    m_nodes[0].flags = BothDirty;
    m_names.clear();
    m_free.clear();
    m_deadNameBytes = 0;
}

void FolderTree::compactNames()
{
    std::vector<char> names;
    names.reserve(m_names.size() - m_deadNameBytes);
    for (WatchNode &n : m_nodes) {
        const uint32_t offset = uint32_t(names.size());
        names.insert(names.end(), m_names.begin() + n.nameOffset, m_names.begin() + n.nameOffset + n.nameLength);
        n.nameOffset = offset;
    }
    m_names.swap(names);
    m_deadNameBytes = 0;
}

} // namespace vell
