#include "common/lebytes.h"
#include "common/testtree.h"
#include "platform/fileops.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <QTest>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

using namespace vell::platform;
using namespace Qt::StringLiterals;

namespace {

// Samba's NDR xattr_DOSATTRIB: text, pad 2, version, level, pad 4, then
// the arm: `words` (valid_flags, attrib, ...) and `times` NT times.
QByteArray ndr(const QByteArray &hex, uint16_t version, std::initializer_list<uint32_t> words, int times)
{
    QByteArray b = hex + QByteArray(hex.size() % 2 ? 1 : 2, '\0');
    appendLe16(b, version);
    appendLe16(b, version);
    while (b.size() % 4)
        b.append('\0');
    for (const uint32_t w : words)
        appendLe32(b, w);
    for (int i = 0; i < times; ++i)
        appendLe64(b, 0x01D5A1B2C3D4E5F6 + i);
    return b;
}

// Makes `name` of a kind: file, folder, link (to "target"), fifo, none.
bool make(TestTree &tree, const QByteArray &name, const QByteArray &kind)
{
    if (kind == "folder" || kind == "link" || kind == "fifo")
        return kind == "folder" ? tree.mkdir(name) : kind == "link" ? tree.symlink(name, "target") : tree.mkfifo(name);
    return kind == "none" || tree.write(name, "x");
}

const EntryInfo *find(const std::vector<EntryInfo> &entries, const QByteArray &name)
{
    const auto it = std::find_if(entries.begin(), entries.end(), [&](const EntryInfo &e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

// An item, the word set on it, and what it is afterwards.
struct SetCase
{
    QByteArray kind;
    unsigned mode;
    QByteArray dosAttrib; // null: none
    uint32_t word;
    int result;
    unsigned modeAfter;
    QByteArray dosAttribAfter;
};

} // namespace

class TestListing : public QObject
{
    Q_OBJECT
private slots:
    // A copy may be writing into a temporary file right now: a listing
    // names such files and removes nothing.
    void listsKindsAndLeavesSpecialsAndTemporariesOut()
    {
        TestTree tree;
        QVERIFY(tree.write("file.txt", "hello") && tree.setMtime("file.txt", 1000000000, 123456789));
        QVERIFY(tree.mkdir("folder") && tree.symlink("link", "file.txt") && tree.mkfifo("fifo"));
        QVERIFY(tree.write(".vell-tmp-Ab3dE9", "partial") && tree.mkdir(".vell-tmp-Zz9zz9"));
        QVERIFY(tree.symlink(".vell-tmp-Lnk001", "nowhere") && tree.write(".vell-tmp-notes.txt", "user's"));
        const QByteArrayList all = tree.entries("");
        const UniqueFd dir(openFolderPath(tree.root()));
        std::vector<EntryInfo> entries;
        ListingExtras extras;
        for (const bool kinds : {false, true}) {
            for (ListingExtras *asked : {static_cast<ListingExtras *>(nullptr), &extras, &extras}) {
                extras.staleTemporaries = {"left over"}; // the second listing through one descriptor starts afresh
                QCOMPARE(kinds ? listKinds(dir.get(), entries, asked) : listFolder(dir.get(), entries, true, asked), 0);
                QCOMPARE(entries.size(), size_t(4));
                QVERIFY(find(entries, ".vell-tmp-notes.txt") && !find(entries, "fifo"));
                QCOMPARE(find(entries, "link")->kind, EntryKind::Link);
                QCOMPARE(find(entries, "folder")->kind, EntryKind::Folder);
                QCOMPARE(tree.entries(""), all);
            }
            QCOMPARE(extras.staleTemporaries, std::vector<QByteArray>{".vell-tmp-Ab3dE9"});
            QVERIFY(extras.specialsLeftOut);
        }
        QCOMPARE(listFolder(dir.get(), entries, false), 0);
        QCOMPARE(find(entries, "file.txt")->kind, EntryKind::File);
        QCOMPARE(find(entries, "file.txt")->size, uint64_t(5));
        QCOMPARE(find(entries, "file.txt")->lastWrite, (1000000000 + 11644473600ULL) * 10000000ULL + 1234567ULL);
        QCOMPARE(find(entries, "link")->size, uint64_t(8)); // the link's own text, not the file
        EntryInfo info;
        QCOMPARE(lookUp(dir.get(), "fifo", info, true), -EINVAL);
        QCOMPARE(lookUp(dir.get(), "missing", info, true), -ENOENT);
        QCOMPARE(removeStaleTemporary(dir.get(), ".vell-tmp-Ab3dE9"), -EBUSY); // just written
        QCOMPARE(tree.entries(""), all);
    }

    void removesOnlyStaleTemporaries_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<int>("age"); // seconds since its change, by the clock given
        QTest::addColumn<int>("result");
        const QByteArray temporary(".vell-tmp-Ab3dE9");
        QTest::newRow("stale") << temporary << "file"_ba << 3600 << 0;
        QTest::newRow("young") << temporary << "file"_ba << 30 << -EBUSY;
        QTest::newRow("changed in the future") << temporary << "file"_ba << -3600 << -EBUSY;
        QTest::newRow("locked by a live copy") << temporary << "locked"_ba << 3600 << -EBUSY;
        QTest::newRow("another user's") << temporary << "foreign"_ba << 3600 << -EPERM;
        QTest::newRow("user's name") << ".vell-tmp-notes"_ba << "file"_ba << 3600 << -EINVAL;
        QTest::newRow("folder") << temporary << "folder"_ba << 3600 << -EINVAL;
        QTest::newRow("link") << temporary << "link"_ba << 3600 << -EINVAL;
        QTest::newRow("fifo") << temporary << "fifo"_ba << 3600 << -EINVAL;
        QTest::newRow("missing") << temporary << "none"_ba << 3600 << -ENOENT;
    }
    void removesOnlyStaleTemporaries()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, kind);
        QFETCH(int, age);
        QFETCH(int, result);
        TestTree tree;
        QVERIFY(tree.write("target", "kept") && make(tree, name, kind));
        // Another open file description holds the lock, as a live copy does.
        const UniqueFd holder(kind == "locked" ? ::open(tree.path(name).constData(), O_RDONLY | O_CLOEXEC) : -1);
        QVERIFY(kind != "locked" || ::flock(holder.get(), LOCK_EX | LOCK_NB) == 0);
        struct stat st = {};
        (void)::lstat(tree.path(name).constData(), &st);
        const struct timespec now = {st.st_ctim.tv_sec + age, 0};
        const UniqueFd dir(openFolderPath(tree.root()));
        QCOMPARE(sys::removeStaleTemporaryAs(dir.get(), name, ::geteuid() + (kind == "foreign"), now), result);
        QCOMPARE(tree.exists(name), result != 0 && kind != "none");
        QCOMPARE(tree.read("target"), "kept"_ba);
    }

    void temporaryNames()
    {
        QVERIFY(isTemporaryName(".vell-tmp-a1B2c3") && isTemporaryName(sys::temporaryName()));
        for (const char *name : {".vell-tmp-a1B2c", ".vell-tmp-a1B2c3d", ".vell-tmp-a1B2.3", "vell-tmp-a1B2c3"})
            QVERIFY2(!isTemporaryName(name), name);
    }

    void ticks()
    {
        QCOMPARE(ticksFromTimespec({0, 0}), 116444736000000000ULL); // the Unix epoch
        QCOMPARE(ticksFromTimespec({0, 199}), 116444736000000001ULL); // below a tick: dropped
        QCOMPARE(ticksFromTimespec({-11644473600LL, 0}), 0ULL); // 1601 itself
        QCOMPARE(ticksFromTimespec({-11644473601LL, 999999999}), 0ULL); // before 1601
    }

    // The word from the mode, the name and user.DOSATTRIB in its forms.
    void attributeWords_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<unsigned>("mode");
        QTest::addColumn<QByteArray>("dosAttrib"); // null: none
        QTest::addColumn<bool>("known");
        QTest::addColumn<uint32_t>("word");
        const QByteArray none;
        QTest::newRow("plain") << "f"_ba << "file"_ba << 0644u << none << false << Attr::Normal;
        QTest::newRow("owner cannot write") << "f"_ba << "file"_ba << 0466u << none << false << Attr::ReadOnly;
        QTest::newRow("hidden read-only") << ".f"_ba << "file"_ba << 0444u << none << false
                                          << (Attr::Hidden | Attr::ReadOnly);
        QTest::newRow("read-only folder") << "d"_ba << "folder"_ba << 0555u << none << false << Attr::Folder;
        QTest::newRow("dot folder") << ".d"_ba << "folder"_ba << 0755u << none << false
                                    << (Attr::Folder | Attr::Hidden);
        QTest::newRow("link") << "l"_ba << "link"_ba << 0u << none << false << Attr::Normal;
        QTest::newRow("text") << "f"_ba << "file"_ba << 0644u << "0x26"_ba << true
                              << (Attr::Hidden | Attr::System | Attr::Archive);
        QTest::newRow("text with NUL") << "f"_ba << "file"_ba << 0644u << QByteArray("0x20", 5) << true
                                       << Attr::Archive;
        QTest::newRow("v1") << "f"_ba << "file"_ba << 0644u << ndr("0x4", 1, {0x4, 0}, 4) << true << Attr::System;
        QTest::newRow("v3") << "f"_ba << "file"_ba << 0644u << ndr("0x24", 3, {0x1, 0x24, 0}, 4) << true
                            << (Attr::Archive | Attr::System);
        QTest::newRow("v3 attrib not valid uses text")
            << "f"_ba << "file"_ba << 0644u << ndr("0x2", 3, {0x10, 0x24, 0}, 4) << true << Attr::Hidden;
        QTest::newRow("v4 empty text") << "f"_ba << "file"_ba << 0644u << ndr("", 4, {0x11, 0x21}, 2) << true
                                       << Attr::Archive;
        QTest::newRow("v5 folder bit ignored")
            << "f"_ba << "file"_ba << 0644u << ndr("0x30", 5, {0x11, 0x30}, 1) << true << Attr::Archive;
        QTest::newRow("unknown version") << "f"_ba << "file"_ba << 0644u << ndr("0x20", 9, {0x11, 0x20}, 1) << false
                                         << Attr::Normal;
        QTest::newRow("garbage") << "f"_ba << "file"_ba << 0644u << "hello"_ba << false << Attr::Normal;
    }
    void attributeWords()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, kind);
        QFETCH(unsigned, mode);
        QFETCH(QByteArray, dosAttrib);
        QFETCH(bool, known);
        QFETCH(uint32_t, word);
        TestTree tree;
        QVERIFY(make(tree, name, kind) && (kind == "link" || tree.setMode(name, mode)));
        QVERIFY(dosAttrib.isNull() || tree.setXattr(name, "user.DOSATTRIB", dosAttrib));
        const UniqueFd dir(openFolderPath(tree.root()));
        std::vector<EntryInfo> entries;
        QCOMPARE(listFolder(dir.get(), entries, true), 0);
        QCOMPARE(entries.front().hasDosAttrib, known);
        QCOMPARE(entries.front().attributes, word);
        uint32_t got = 0;
        QCOMPARE(getAttributes(dir.get(), name, got), 0);
        QCOMPARE(got, word);
        QCOMPARE(listFolder(dir.get(), entries, false), 0);
        QVERIFY(!entries.front().hasDosAttrib); // the fast path reads no attribute
        QVERIFY(dosAttrib.isNull() || entries.front().attributes == Attr::Normal);
    }

    void setsAttributes_data()
    {
        QTest::addColumn<SetCase>("c");
        const uint32_t w = Attr::Archive | Attr::System | Attr::NotContentIndexed;
        // "0x4" puts the arm at offset 8, "0x2024" at 12; the times are kept.
        QTest::newRow("binary, text grows")
            << SetCase{"file", 0644, ndr("0x4", 5, {0x11, 0x4}, 1), w, 0, 0644, ndr("0x2024", 5, {0x11, w}, 1)};
        QTest::newRow("text, read-only on") << SetCase{"file", 0644, QByteArray("0x20", 5),
                                                       Attr::Hidden | Attr::ReadOnly, 0, 0444, QByteArray("0x3", 4)};
        QTest::newRow("text, read-only off")
            << SetCase{"file", 0444, QByteArray("0x3", 4), Attr::Archive, 0, 0644, QByteArray("0x20", 5)};
        // None is made, and only the owner's write bit changes.
        QTest::newRow("no DOSATTRIB") << SetCase{"file", 0664, {}, Attr::ReadOnly | Attr::System, 0, 0464, {}};
        QTest::newRow("folder never read-only")
            << SetCase{"folder", 0755, {}, Attr::Folder | Attr::ReadOnly, 0, 0755, {}};
        QTest::newRow("link: its target untouched") << SetCase{"link", 0, {}, Attr::ReadOnly, 0, 0, {}};
        QTest::newRow("missing") << SetCase{"none", 0, {}, Attr::Normal, -ENOENT, 0, {}};
    }
    void setsAttributes()
    {
        QFETCH(SetCase, c);
        TestTree tree;
        QVERIFY(tree.write("target", "x") && make(tree, "item", c.kind));
        QVERIFY(c.dosAttrib.isNull() || tree.setXattr("item", "user.DOSATTRIB", c.dosAttrib));
        QVERIFY(c.kind == "link" || c.kind == "none" || tree.setMode("item", c.mode));
        const UniqueFd dir(openFolderPath(tree.root()));
        QCOMPARE(setAttributes(dir.get(), "item", c.word), c.result);
        QCOMPARE(c.kind == "link" ? 0u : tree.mode("item"), c.modeAfter);
        QCOMPARE(tree.hasXattr("item", "user.DOSATTRIB"), !c.dosAttribAfter.isNull());
        QCOMPARE(tree.xattr("item", "user.DOSATTRIB"), c.dosAttribAfter);
        QCOMPARE(tree.mode("target"), 0644u);
    }

    void differences()
    {
        struct Case
        {
            const char *name;
            uint32_t source, target;
            bool targetHasDosAttrib, differ;
        };
        for (const Case &c : {Case{"equal", Attr::Archive, Attr::Archive, true, false},
                              Case{"read-only of a file", Attr::ReadOnly | Attr::Archive, Attr::Archive, false, true},
                              Case{"read-only of a folder", Attr::Folder | Attr::ReadOnly, Attr::Folder, true, false},
                              Case{"archive, target without DOSATTRIB", Attr::Archive, Attr::Normal, false, false},
                              Case{"archive, target with DOSATTRIB", Attr::Archive, Attr::Normal, true, true},
                              Case{"system of a folder", Attr::Folder | Attr::System, Attr::Folder, true, true},
                              Case{"compressed never", 0x800 | Attr::Archive, Attr::Archive, true, false},
                              Case{"normal against folder", Attr::Normal, Attr::Folder, true, false}})
            QVERIFY2(attributesDiffer(c.source, c.target, c.targetHasDosAttrib) == c.differ, c.name);
    }
};

QTEST_APPLESS_MAIN(TestListing)
#include "tst_listing.moc"
