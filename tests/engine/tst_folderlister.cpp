#include "common/testtree.h"
#include "engine/folderlister.h"
#include "platform/fileops.h"
#include "platform/uniquefd.h"

#include <QTest>
#include <chrono>
#include <sys/stat.h>
#include <thread>

using namespace vell;
using namespace vell::platform;

namespace {

QByteArray folderName(int i) { return "f" + QByteArray::number(i).rightJustified(3, '0'); }

// Folder i holds i % 3 files.
bool makeFolders(TestTree &tree, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!tree.mkdir("root/" + folderName(i)))
            return false;
        for (int f = 0; f < i % 3; ++f)
            if (!tree.write("root/" + folderName(i) + "/x" + QByteArray::number(f), "x"))
                return false;
    }
    return true;
}

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
    void withAndWithoutHelper_data()
    {
        QTest::addColumn<bool>("helper");
        QTest::newRow("helper thread") << true;
        QTest::newRow("caller alone") << false;
    }

    // Asked last first, taken in any order, well past the helper's limit
    // of listings made ahead: every one is the right folder, whole.
    void listingsComeWholeInAnyOrder_data() { withAndWithoutHelper_data(); }
    void listingsComeWholeInAnyOrder()
    {
        QFETCH(bool, helper);
        TestTree tree;
        constexpr int Count = 100;
        QVERIFY(makeFolders(tree, Count));
        const UniqueFd root(openFolderPath(tree.path("root")));
        QVERIFY(root.valid());
        FolderLister lister(helper);
        std::vector<PendingListing> asked(Count);
        for (int i = Count - 1; i >= 0; --i)
            asked[i] = lister.ask(root.get(), folderName(i), false);
        // Middle first, then the rest: the helper is ahead or behind.
        std::vector<int> order;
        for (int i = Count / 2; i < Count; ++i)
            order.push_back(i);
        for (int i = Count / 2 - 1; i >= 0; --i)
            order.push_back(i);
        for (const int i : order) {
            const FolderListing listing = lister.take(std::move(asked[i]));
            QCOMPARE(listing.rc, 0);
            QCOMPARE(int(listing.entries.size()), i % 3);
            QVERIFY(isFolder(listing, tree, "root/" + folderName(i)));
        }
    }

    // A folder that cannot be opened beneath the root gives -errno: links
    // are never followed, files and missing names are not folders.
    void foldersThatCannotBeOpened()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("root/real/inner"));
        QVERIFY(tree.mkdir("elsewhere"));
        QVERIFY(tree.symlink("root/link", "../elsewhere"));
        QVERIFY(tree.write("root/file", "f"));
        const UniqueFd root(openFolderPath(tree.path("root")));
        FolderLister lister;
        PendingListing link = lister.ask(root.get(), "link", false);
        PendingListing file = lister.ask(root.get(), "file", false);
        PendingListing missing = lister.ask(root.get(), "missing", false);
        PendingListing deep = lister.ask(root.get(), "real/inner", false);
        QCOMPARE(lister.take(std::move(link)).rc, -ELOOP);
        QCOMPARE(lister.take(std::move(file)).rc, -ENOTDIR);
        QCOMPARE(lister.take(std::move(missing)).rc, -ENOENT);
        const FolderListing inner = lister.take(std::move(deep));
        QCOMPARE(inner.rc, 0);
        QVERIFY(inner.entries.empty());
    }

    // Listings the walk gives up (a Stop) are dropped: the helper is not
    // left waiting for room, and the lister ends with some still asked.
    void droppedListingsFreeTheHelper()
    {
        TestTree tree;
        constexpr int Count = 100;
        QVERIFY(makeFolders(tree, Count));
        const UniqueFd root(openFolderPath(tree.path("root")));
        FolderLister lister;
        {
            std::vector<PendingListing> given;
            for (int i = 0; i < Count - 10; ++i)
                given.push_back(lister.ask(root.get(), folderName(i), false));
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the helper fills its room
        }
        std::vector<PendingListing> kept;
        for (int i = Count - 10; i < Count; ++i)
            kept.push_back(lister.ask(root.get(), folderName(i), false));
        QCOMPARE(int(lister.take(std::move(kept.front())).entries.size()), (Count - 10) % 3);
        std::vector<PendingListing> leftAsked;
        for (int i = 0; i < 50; ++i)
            leftAsked.push_back(lister.ask(root.get(), folderName(i), false));
    }

    // A stale temporary file is reported to the caller, not removed by the
    // lister: another thread may be writing into that folder.
    void staleTemporariesAreReportedNotRemoved()
    {
        TestTree tree;
        QVERIFY(tree.write("root/sub/.vell-tmp-Ab3dE9", "partial"));
        QVERIFY(tree.write("root/sub/kept", "k"));
        const UniqueFd root(openFolderPath(tree.path("root")));
        FolderLister lister;
        const FolderListing listing = lister.take(lister.ask(root.get(), "sub", false));
        QCOMPARE(listing.rc, 0);
        QCOMPARE(listing.entries.size(), std::size_t(1));
        QCOMPARE(listing.extras.staleTemporaries, std::vector<QByteArray>{".vell-tmp-Ab3dE9"});
        QVERIFY(tree.exists("root/sub/.vell-tmp-Ab3dE9"));
    }
};

QTEST_APPLESS_MAIN(TestFolderLister)
#include "tst_folderlister.moc"
