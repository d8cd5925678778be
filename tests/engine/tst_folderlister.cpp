#include "common/testtree.h"
#include "engine/folderlister.h"
#include "platform/fileops.h"
#include "platform/uniquefd.h"
#include <QTest>
#include <sys/stat.h>

using namespace vell;
using namespace vell::platform;

namespace {
QByteArray folderPath(int i) { return "root/f" + QByteArray::number(i).rightJustified(3, '0'); }

bool isFolder(const FolderListing &listing, const TestTree &tree, const QByteArray &rel)
{
    struct stat st;
    return ::lstat(tree.path(rel).constData(), &st) == 0 && listing.dev == st.st_dev && listing.ino == st.st_ino;
}
} // namespace

class TestFolderLister : public QObject
{
    Q_OBJECT
private slots:
    // Asked last first, taken in any order, well past the helper's limit of listings made ahead, some dropped (a Stop)
    // wherever the helper is with them: every one taken is the right folder, whole, and the lister ends with some still
    // asked.
    void listingsComeWholeInAnyOrder_data()
    {
        QTest::addColumn<int>("dropped"); // every n-th listing is given up; -1: none, and no helper thread
        QTest::newRow("helper thread") << 0;
        QTest::newRow("caller alone") << -1;
        QTest::newRow("some dropped") << 3;
    }
    void listingsComeWholeInAnyOrder()
    {
        QFETCH(int, dropped);
        TestTree tree;
        QByteArrayList items; // folders root/f000 to root/f099; folder i holds i % 3 files
        for (int i = 0; i < 100; ++i)
            for (int f = -1; f < i % 3; ++f)
                items << folderPath(i) + (f < 0 ? QByteArray("/") : "/x" + QByteArray::number(f));
        QVERIFY(tree.build(items));
        const UniqueFd root(openFolderPath(tree.path("root")));
        FolderLister lister(dropped >= 0);
        std::vector<PendingListing> asked(100);
        for (int i = 99; i >= 0; --i)
            asked[i] = lister.ask(root.get(), folderPath(i).mid(5), false);
        for (int i = 0; dropped > 0 && i < 100; i += dropped)
            asked[i] = PendingListing();
        for (int k = 0; k < 90; ++k) { // middle first, then the rest: the helper is ahead or behind
            const int i = k < 50 ? 50 + k : 99 - k;
            if (dropped > 0 && i % dropped == 0)
                continue;
            const FolderListing listing = lister.take(std::move(asked[i]));
            QCOMPARE(listing.rc, 0);
            QCOMPARE(int(listing.entries.size()), i % 3);
            QVERIFY(isFolder(listing, tree, folderPath(i)));
        }
    }
    // What a listing of a folder below the root tells: -errno when it cannot be opened there (links are never followed,
    // files and missing names are not folders); stale temporary files reported, not removed (another thread may be
    // writing into that folder).
    void whatAListingTells()
    {
        TestTree tree;
        QVERIFY(tree.build({"root/real/inner/.vell-tmp-Ab3dE9=partial", "root/real/inner/kept", "elsewhere/",
                            "root/link->../elsewhere", "root/file"}));
        const UniqueFd root(openFolderPath(tree.path("root")));
        FolderLister lister;
        std::vector<PendingListing> asked; // every one asked before any is taken
        for (const char *name : {"link", "file", "missing", "real/inner"})
            asked.push_back(lister.ask(root.get(), name, false));
        QCOMPARE(lister.take(std::move(asked[0])).rc, -ELOOP);
        QCOMPARE(lister.take(std::move(asked[1])).rc, -ENOTDIR);
        QCOMPARE(lister.take(std::move(asked[2])).rc, -ENOENT);
        const FolderListing inner = lister.take(std::move(asked[3]));
        QCOMPARE(inner.rc, 0);
        QVERIFY(isFolder(inner, tree, "root/real/inner") && inner.entries.size() == 1);
        QCOMPARE(inner.extras.staleTemporaries, std::vector<QByteArray>{".vell-tmp-Ab3dE9"});
        QVERIFY(tree.exists("root/real/inner/.vell-tmp-Ab3dE9"));
    }
};
QTEST_APPLESS_MAIN(TestFolderLister)
#include "tst_folderlister.moc"
