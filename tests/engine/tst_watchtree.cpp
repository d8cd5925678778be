#include "engine/watchtree.h"
#include <QTest>

using namespace vell;

namespace {
std::vector<QByteArray> names(const QByteArray &spaced)
{
    std::vector<QByteArray> out;
    for (const QByteArray &n : spaced.split(' '))
        if (!n.isEmpty())
            out.push_back(n);
    return out;
}
// The node at "a/b" below the root (NoNode when unknown).
NodeId at(const FolderTree &tree, const QByteArray &path)
{
    NodeId id = tree.root();
    for (const QByteArray &part : path.split('/'))
        if (!part.isEmpty() && id != NoNode)
            id = tree.child(id, part);
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
} // namespace

class TestWatchTree : public QObject
{
    Q_OBJECT
private slots:
    void reconcile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("replaced"); // children flagged Replaced by an event
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QByteArray>("kept"); // children that keep their node
        const QByteArray many = "a b c d e f g h i j k l";
        QTest::newRow("unchanged") << QByteArray("a b c") << QByteArray() << QByteArray("a b c")
                                   << QByteArray("a b c");
        QTest::newRow("reordered, gone, new") << QByteArray("a b c") << QByteArray() << QByteArray("c d a")
                                              << QByteArray("c a");
        QTest::newRow("replaced under its name") << QByteArray("a b") << QByteArray("b") << QByteArray("a b")
                                                 << QByteArray("a");
        QTest::newRow("all gone") << QByteArray("a b") << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("many, by name") << many << QByteArray("k") << QByteArray("l k j i h g f e d c b x")
                                       << QByteArray("l j i h g f e d c b");
    }
    void reconcile()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, replaced);
        QFETCH(QByteArray, after);
        QFETCH(QByteArray, kept);
        FolderTree tree;
        list(tree, "", before);
        for (const QByteArray &n : names(before)) {
            list(tree, n, "inner"); // a sub-tree that goes with its folder
            tree.clearDirty(at(tree, n), BothDirty | BothBelow);
            tree.clearDirty(at(tree, n + "/inner"), BothDirty);
        }
        tree.clearDirty(tree.root(), BothDirty | BothBelow);
        for (const QByteArray &n : names(replaced))
            tree.markDirty(at(tree, n), Replaced);
        std::map<QByteArray, NodeId> ids;
        for (const QByteArray &n : names(before))
            ids[n] = at(tree, n);
        const uint32_t count = tree.nodeCount();
        std::vector<DroppedWatch> dropped;
        tree.reconcileChildren(tree.root(), names(after), dropped);
        QCOMPARE(childNames(tree, tree.root()), after);
        const std::vector<QByteArray> keptNames = names(kept);
        for (const QByteArray &n : names(after)) {
            const bool keeps = std::find(keptNames.begin(), keptNames.end(), n) != keptNames.end();
            if (keeps)
                QCOMPARE(at(tree, n), ids[n]);
            QCOMPARE(tree.node(at(tree, n)).sourceWd, keeps ? int32_t(100 + ids[n]) : -1); // a fresh slot if not
            // A kept folder keeps what it learnt; a new one must be visited.
            QCOMPARE(tree.flags(at(tree, n)) & BothDirty, keeps ? 0 : int(BothDirty));
            QCOMPARE(childNames(tree, at(tree, n)), QByteArray(keeps ? "inner" : ""));
        }
        // Every dropped folder gives back its watch and its sub-folder's.
        const qsizetype gone = names(before).size() - keptNames.size();
        QCOMPARE(dropped.size(), size_t(2 * gone));
        for (const DroppedWatch &d : dropped)
            QCOMPARE(d.wd, int32_t(100 + d.node));
        QCOMPARE(tree.nodeCount(), count - uint32_t(2 * gone) + uint32_t(names(after).size() - keptNames.size()));
        QCOMPARE(bool(tree.flags(tree.root()) & MirrorBelow), names(after).size() > keptNames.size());
    }
    void subtreeFiles()
    {
        FolderTree tree;
        list(tree, "", "a b");
        list(tree, "a", "c");
        tree.setOwnFiles(tree.root(), 1);
        tree.setOwnFiles(at(tree, "a"), 10);
        tree.setOwnFiles(at(tree, "a/c"), 100);
        tree.setOwnFiles(at(tree, "b"), 1000);
        QCOMPARE(tree.node(tree.root()).subtreeFiles, 1111u);
        tree.setOwnFiles(at(tree, "a/c"), 40); // fewer files than last time
        QCOMPARE(tree.node(at(tree, "a")).subtreeFiles, 50u);
        QCOMPARE(tree.node(tree.root()).subtreeFiles, 1051u);
        list(tree, "", "b"); // "a" and "a/c" went
        QCOMPARE(tree.node(tree.root()).subtreeFiles, 1001u);
        QCOMPARE(tree.node(tree.root()).ownFiles, 1u);
    }
    void belowBits_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("below");
        QTest::newRow("mirror") << int(MirrorDirty) << int(MirrorBelow);
        QTest::newRow("removal") << int(RemovalDirty) << int(RemovalBelow);
        QTest::newRow("volatile") << int(Volatile) << int(BothBelow);
        QTest::newRow("target unwatched") << int(TargetUnwatched) << int(BothBelow);
        QTest::newRow("dying") << int(Dying) << 0;
    }
    void belowBits()
    {
        QFETCH(int, bits);
        QFETCH(int, below);
        FolderTree tree;
        list(tree, "", "a b");
        list(tree, "a", "c");
        list(tree, "a/c", "d");
        for (const QByteArray path : {"", "a", "b", "a/c", "a/c/d"})
            tree.clearDirty(at(tree, path), BothDirty | BothBelow);
        tree.markDirty(at(tree, "a/c/d"), uint16_t(bits));
        QCOMPARE(tree.flags(at(tree, "a/c/d")), bits);
        for (const QByteArray path : {"", "a", "a/c"})
            QCOMPARE(tree.flags(at(tree, path)) & BothBelow, below);
        QCOMPARE(int(tree.flags(at(tree, "b"))), 0);
        // Recomputed from the children: kept while the child needs a visit, gone once it is quiet.
        tree.recomputeBelow(at(tree, "a/c"));
        QCOMPARE(tree.flags(at(tree, "a/c")) & BothBelow, below);
        tree.clearDirty(at(tree, "a/c/d"), uint16_t(bits));
        tree.recomputeBelow(at(tree, "a/c"));
        tree.recomputeBelow(at(tree, "a"));
        QCOMPARE(tree.flags(at(tree, "a")) & BothBelow, 0);
        tree.markAll();
        QCOMPARE(tree.flags(at(tree, "b")) & (BothDirty | BothBelow), BothDirty | BothBelow);
    }
    void namesSurviveChurn()
    {
        // Dropped names are compacted away from time to time; the live ones must stay right.
        FolderTree tree;
        QByteArray kept;
        for (int round = 0; round < 60; ++round) {
            QByteArray listed = "keep";
            for (int k = 0; k < 20; ++k)
                listed += ' ' + QByteArray(40, char('a' + k % 26)) + QByteArray::number(round);
            list(tree, "", listed);
            if (round == 0)
                list(tree, "keep", "inner");
        }
        QCOMPARE(tree.nodeCount(), 23u);
        QVERIFY(at(tree, "keep/inner") != NoNode);
        QCOMPARE(childNames(tree, tree.root()).left(4), QByteArray("keep"));
        QCOMPARE(tree.name(tree.child(tree.root(), QByteArray(40, 'a') + "59")), QByteArray(40, 'a') + "59");
        std::vector<DroppedWatch> dropped;
        tree.clear(dropped);
        QCOMPARE(dropped.size(), 22u); // every watched folder, the root has none
        QCOMPARE(tree.nodeCount(), 1u);
    }
};

QTEST_APPLESS_MAIN(TestWatchTree)
#include "tst_watchtree.moc"
