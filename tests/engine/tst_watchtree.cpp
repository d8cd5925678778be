#include "engine/watchtree.h"
#include <QTest>

using namespace vell;

namespace {
std::vector<QByteArray> names(const QByteArray &spaced)
{
    const QByteArrayList list = spaced.split(' ');
    return spaced.isEmpty() ? std::vector<QByteArray>() : std::vector<QByteArray>(list.begin(), list.end());
}
NodeId at(const FolderTree &tree, const QByteArray &path) // "a/b" below the root, NoNode when unknown
{
    NodeId id = tree.root();
    for (const QByteArray &part : path.split('/'))
        id = part.isEmpty() || id == NoNode ? id : tree.child(id, part);
    return id;
}
// Gives `parent` the children `spaced`, each watched on the source side with wd 100 + its node id.
void list(FolderTree &tree, const QByteArray &parent, const QByteArray &spaced)
{
    std::vector<DroppedWatch> dropped;
    tree.reconcileChildren(at(tree, parent), names(spaced), dropped);
    tree.forEachChild(at(tree, parent), [&](NodeId c) { tree.setWd(c, Side::Source, int32_t(100 + c)); });
}
QByteArray childNames(const FolderTree &tree, NodeId parent)
{
    QByteArrayList out;
    tree.forEachChild(parent, [&](NodeId c) { out << tree.name(c).toByteArray(); });
    return out.join(' ');
}
struct Reconcile { QByteArray before, replaced, after, kept; };
} // namespace

class TestWatchTree : public QObject
{
    Q_OBJECT
private slots:
    void reconcile_data()
    {
        // replaced: children flagged Replaced by an event; kept: children that keep their node.
        QTest::addColumn<Reconcile>("r");
        QTest::newRow("unchanged") << Reconcile{"a b c", "", "a b c", "a b c"};
        QTest::newRow("reordered, gone, new") << Reconcile{"a b c", "", "c d a", "c a"};
        QTest::newRow("replaced under its name") << Reconcile{"a b", "b", "a b", "a"};
        QTest::newRow("all gone") << Reconcile{"a b", "", "", ""};
        QTest::newRow("many, by name")
            << Reconcile{"a b c d e f g h i j k l", "k", "l k j i h g f e d c b x", "l j i h g f e d c b"};
    }
    void reconcile()
    {
        QFETCH(Reconcile, r);
        const auto &[before, replaced, after, kept] = r;
        FolderTree tree;
        list(tree, "", before);
        std::map<QByteArray, NodeId> ids;
        for (const QByteArray &n : names(before)) {
            list(tree, n, "inner"); // a sub-tree that goes with its folder
            tree.setOwnFiles(at(tree, n), 1);
            tree.setOwnFiles(at(tree, n + "/inner"), 10);
            tree.clearDirty(at(tree, n), BothDirty | BothBelow);
            tree.clearDirty(at(tree, n + "/inner"), BothDirty);
            ids[n] = at(tree, n);
        }
        tree.clearDirty(tree.root(), BothDirty | BothBelow);
        std::vector<QByteArray> targetOrder = names(before);
        std::reverse(targetOrder.begin(), targetOrder.end());
        targetOrder.push_back("target-only");
        tree.setTargetRanks(tree.root(), targetOrder);
        for (const QByteArray &n : names(replaced))
            tree.markDirty(at(tree, n), Replaced);
        const uint32_t count = tree.nodeCount();
        std::vector<DroppedWatch> dropped;
        tree.reconcileChildren(tree.root(), names(after), dropped);
        QCOMPARE(childNames(tree, tree.root()), after);
        const std::vector<QByteArray> keptNames = names(kept);
        for (const QByteArray &n : names(after)) {
            const bool keeps = std::find(keptNames.begin(), keptNames.end(), n) != keptNames.end();
            const WatchNode &node = tree.node(at(tree, n));
            QVERIFY(!keeps || at(tree, n) == ids[n]);
            QCOMPARE(node.sourceWd, keeps ? int32_t(100 + ids[n]) : -1); // a fresh slot if not
            // A kept folder keeps what it learnt; a new one must be visited.
            QCOMPARE(node.flags & BothDirty, keeps ? 0 : int(BothDirty));
            QCOMPARE(childNames(tree, at(tree, n)), QByteArray(keeps ? "inner" : ""));
            // Only the target's next listing tells where a new folder stands in it.
            const auto rank = std::find(targetOrder.begin(), targetOrder.end(), n) - targetOrder.begin();
            QCOMPARE(node.targetRank, keeps ? uint32_t(rank) : UnknownRank);
        }
        // Every dropped folder gives back its watch and its sub-folder's; its files go with it.
        const qsizetype gone = names(before).size() - keptNames.size();
        QCOMPARE(dropped.size(), size_t(2 * gone));
        for (const DroppedWatch &d : dropped)
            QCOMPARE(d.wd, int32_t(100 + d.node));
        QCOMPARE(tree.nodeCount(), count - uint32_t(2 * gone) + uint32_t(names(after).size() - keptNames.size()));
        QCOMPARE(bool(tree.flags(tree.root()) & MirrorBelow), names(after).size() > keptNames.size());
        QCOMPARE(tree.node(tree.root()).subtreeFiles, 11u * keptNames.size());
        tree.setTargetRanks(tree.root(), {});
        tree.forEachChild(tree.root(), [&](NodeId c) { QCOMPARE(tree.node(c).targetRank, NoRank); });
        if (!keptNames.empty()) { // fewer files than last time: every ancestor counts the difference
            tree.setOwnFiles(at(tree, keptNames[0] + "/inner"), 4);
            QCOMPARE(tree.node(tree.root()).subtreeFiles, 11u * keptNames.size() - 6);
        }
    }
    // Dropped names are compacted away from time to time; the live ones must stay right.
    void namesSurviveChurn()
    {
        FolderTree tree;
        for (int round = 0; round < 60; ++round) {
            QByteArray listed = "keep";
            for (int k = 0; k < 20; ++k)
                listed += ' ' + QByteArray(40, char('a' + k)) + QByteArray::number(round);
            list(tree, "", listed);
            if (round == 0)
                list(tree, "keep", "inner");
        }
        QVERIFY(tree.nodeCount() == 23u && at(tree, "keep/inner") != NoNode);
        QCOMPARE(tree.name(tree.child(tree.root(), QByteArray(40, 'a') + "59")), QByteArray(40, 'a') + "59");
        std::vector<DroppedWatch> dropped;
        tree.clear(dropped);
        QCOMPARE(dropped.size(), 22u); // every watched folder, the root has none
        QCOMPARE(tree.nodeCount(), 1u);
    }
};
QTEST_APPLESS_MAIN(TestWatchTree)
#include "tst_watchtree.moc"
