#include "common/testtree.h"
#include "platform/fileops.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"
#include <QTest>
#include <array>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

using namespace vell::platform;
using namespace Qt::StringLiterals;

namespace {
constexpr char AccessAcl[] = "system.posix_acl_access";
constexpr char DefaultAcl[] = "system.posix_acl_default";
constexpr uint32_t NoId = 0xFFFFFFFF;
// Little-endian fields of Samba's DOSATTRIB and the kernel's ACL xattrs, written byte by byte so that the
// expected bytes do not come from the code under test.
template<typename T>
QByteArray le(T v)
{
    QByteArray b;
    for (size_t i = 0; i < sizeof(T); ++i)
        b.append(char((uint64_t(v) >> (8 * i)) & 0xFF));
    return b;
}
// Samba's NDR xattr_DOSATTRIB: text, pad 2, version, level, pad 4, then
// the arm: `words` (valid_flags, attrib, ...) and `times` NT times.
QByteArray ndr(const QByteArray &hex, uint16_t version, std::initializer_list<uint32_t> words, int times)
{
    QByteArray b = hex + QByteArray(hex.size() % 2 ? 1 : 2, '\0') + le(version) + le(version);
    b += QByteArray((4 - b.size() % 4) % 4, '\0');
    for (const uint32_t w : words)
        b += le(w);
    for (int i = 0; i < times; ++i)
        b += le(uint64_t(0x01D5A1B2C3D4E5F6 + i));
    return b;
}
// Makes `name` of a kind: file, folder, link (to "target"), fifo, none.
bool make(TestTree &tree, const QByteArray &name, const QByteArray &kind)
{
    return kind == "folder" ? tree.mkdir(name) : kind == "link" ? tree.symlink(name, "target")
         : kind == "fifo"   ? tree.mkfifo(name) : kind == "none" || tree.write(name, "x");
}
// The kernel's xattr form of a POSIX ACL, from {tag, permissions, id} entries.
QByteArray aclBytes(std::initializer_list<std::array<uint32_t, 3>> entries)
{
    QByteArray b = le(uint32_t(2));
    for (const auto &[tag, perm, id] : entries)
        b += le(uint16_t(tag)) + le(uint16_t(perm)) + le(id);
    return b;
}
// user::, group:: and other:: entries alone.
QByteArray modeAcl(uint32_t u, uint32_t g, uint32_t o) { return aclBytes({{1, u, NoId}, {4, g, NoId}, {32, o, NoId}}); }
// user::rw-, user:1234:r-x, group::r--, mask::r-x, other::---
const QByteArray extendedAcl =
    aclBytes({{0x01, 6, NoId}, {0x02, 5, 1234}, {0x04, 4, NoId}, {0x10, 5, NoId}, {0x20, 0, NoId}});
// What Vell stores: the access ACL's size, the access ACL, the default ACL.
QByteArray descriptor(const QByteArray &a, const QByteArray &d = {}) { return le(uint32_t(a.size())) + a + d; }
const EntryInfo *find(const std::vector<EntryInfo> &entries, const QByteArray &name)
{
    const auto it = std::find_if(entries.begin(), entries.end(), [&](const EntryInfo &e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}
// Rows. age: seconds since the change, by the clock given; dosAttrib null: none.
struct StaleCase { QByteArray name, kind; int age, result; };
struct WordCase { QByteArray name, kind; unsigned mode; QByteArray dosAttrib; bool known; uint32_t word; };
struct SetCase { QByteArray kind; unsigned mode; QByteArray dos; uint32_t word; int result; unsigned modeAfter;
                 QByteArray dosAfter; };
struct FinderCase { QByteArray stream, metadata; int result; QByteArray signature; }; // empty: no stream, no metadata
// "item" of a kind, its mode and its ACL attributes (null: none).
struct Item { QByteArray kind; unsigned mode = 0; QByteArray access = {}, defaults = {}; };
// modeAfter 0: a read, else a write of `written`.
struct AclCase { Item item; QByteArray written; int result; unsigned modeAfter; QByteArray readBack; };
bool make(TestTree &tree, const Item &item)
{
    return tree.write("target", "x") && make(tree, "item", item.kind)
        && ((item.kind != "file" && item.kind != "folder") || tree.setMode("item", item.mode))
        && (item.access.isNull() || tree.setXattr("item", AccessAcl, item.access))
        && (item.defaults.isNull() || tree.setXattr("item", DefaultAcl, item.defaults));
}
// A Macintosh information record with type and creator at 16..23.
QByteArray afpInfo(const QByteArray &typeAndCreator, qsizetype size = 60)
{
    return (QByteArray("AFP\0\0\0\1\0", 8) + QByteArray(8, '\0') + typeAndCreator + QByteArray(60, '\0')).left(size);
}
struct Tree : TestTree { const UniqueFd fd{openFolderPath(root())}; int dir() const { return fd.get(); } };
} // namespace

// What a listing tells of each entry, and what Vell reads and sets on one: attributes, streams, POSIX ACLs.
class TestListing : public QObject
{
    Q_OBJECT
private slots:
    // A copy may be writing into a temporary file right now: a listing names such files and removes nothing.
    void listsKindsAndLeavesSpecialsAndTemporariesOut()
    {
        Tree tree;
        QVERIFY(tree.build({"file.txt=hello@1000000000.123456789", "folder/", "link->file.txt", "fifo|"})
                && tree.build({".vell-tmp-Ab3dE9", ".vell-tmp-Zz9zz9/", ".vell-tmp-Lnk001->x", ".vell-tmp-notes.txt"}));
        const QByteArrayList all = tree.entries("");
        std::vector<EntryInfo> entries;
        ListingExtras extras;
        for (const bool kinds : {false, true}) {
            for (ListingExtras *ask : {static_cast<ListingExtras *>(nullptr), &extras, &extras}) {
                extras.staleTemporaries = {"left over"}; // the second listing through one descriptor starts afresh
                QCOMPARE(kinds ? listKinds(tree.dir(), entries, ask) : listFolder(tree.dir(), entries, true, ask), 0);
                QCOMPARE(entries.size(), size_t(4));
                QVERIFY(find(entries, ".vell-tmp-notes.txt") && !find(entries, "fifo"));
                QVERIFY(find(entries, "link")->kind == EntryKind::Link);
                QVERIFY(find(entries, "folder")->kind == EntryKind::Folder);
            }
            QCOMPARE(extras.staleTemporaries, std::vector<QByteArray>{".vell-tmp-Ab3dE9"});
            QVERIFY(extras.specialsLeftOut);
        }
        QCOMPARE(listFolder(tree.dir(), entries, false), 0);
        QVERIFY(find(entries, "file.txt")->kind == EntryKind::File && find(entries, "file.txt")->size == 5);
        QCOMPARE(find(entries, "file.txt")->lastWrite, (1000000000 + 11644473600ULL) * 10000000ULL + 1234567ULL);
        QCOMPARE(find(entries, "link")->size, uint64_t(8)); // the link's own text, not the file
        EntryInfo info;
        QVERIFY(lookUp(tree.dir(), "fifo", info, true) == -EINVAL && lookUp(tree.dir(), "no", info, true) == -ENOENT);
        QCOMPARE(removeStaleTemporary(tree.dir(), ".vell-tmp-Ab3dE9"), -EBUSY); // just written
        QCOMPARE(tree.entries(""), all);
    }
    // A file with another name elsewhere may change without a word in its folder: the listing says so.
    void countsHardLinks()
    {
        Tree tree;
        QVERIFY(tree.build({"f", "g", "sub/h=>f"}));
        std::vector<EntryInfo> entries;
        QCOMPARE(listFolder(tree.dir(), entries, false), 0);
        QVERIFY(find(entries, "f")->links == 2 && find(entries, "g")->links == 1);
        EntryInfo info;
        QVERIFY(lookUp(tree.dir(), "f", info, false) == 0 && info.links == 2);
        QVERIFY(lookUp(tree.dir(), "g", info, false) == 0 && info.links == 1); // not kept from the last look-up
    }
    void removesOnlyStaleTemporaries_data()
    {
        QTest::addColumn<StaleCase>("c");
        const QByteArray tmp(".vell-tmp-Ab3dE9");
        QTest::newRow("stale") << StaleCase{tmp, "file", 3600, 0};
        QTest::newRow("young") << StaleCase{tmp, "file", 30, -EBUSY};
        QTest::newRow("changed in the future") << StaleCase{tmp, "file", -3600, -EBUSY};
        QTest::newRow("locked by a live copy") << StaleCase{tmp, "locked", 3600, -EBUSY};
        QTest::newRow("another user's") << StaleCase{tmp, "foreign", 3600, -EPERM};
        QTest::newRow("user's name") << StaleCase{".vell-tmp-notes", "file", 3600, -EINVAL};
        QTest::newRow("folder") << StaleCase{tmp, "folder", 3600, -EINVAL};
        QTest::newRow("link") << StaleCase{tmp, "link", 3600, -EINVAL};
        QTest::newRow("fifo") << StaleCase{tmp, "fifo", 3600, -EINVAL};
        QTest::newRow("missing") << StaleCase{tmp, "none", 3600, -ENOENT};
    }
    void removesOnlyStaleTemporaries()
    {
        QFETCH(StaleCase, c);
        Tree tree;
        QVERIFY(tree.write("target", "kept") && make(tree, c.name, c.kind));
        // Another open file description holds the lock, as a live copy does.
        const UniqueFd holder(c.kind == "locked" ? ::open(tree.path(c.name).constData(), O_RDONLY | O_CLOEXEC) : -1);
        QVERIFY(c.kind != "locked" || ::flock(holder.get(), LOCK_EX | LOCK_NB) == 0);
        struct stat st = {};
        (void)::lstat(tree.path(c.name).constData(), &st);
        const struct timespec now = {st.st_ctim.tv_sec + c.age, 0};
        QCOMPARE(sys::removeStaleTemporaryAs(tree.dir(), c.name, ::geteuid() + (c.kind == "foreign"), now), c.result);
        QCOMPARE(tree.exists(c.name), c.result != 0 && c.kind != "none");
        QCOMPARE(tree.read("target"), "kept"_ba);
    }
    void temporaryNamesAndTicks()
    {
        QVERIFY(isTemporaryName(".vell-tmp-a1B2c3") && isTemporaryName(sys::temporaryName()));
        for (const char *name : {".vell-tmp-a1B2c", ".vell-tmp-a1B2c3d", ".vell-tmp-a1B2.3", "vell-tmp-a1B2c3"})
            QVERIFY2(!isTemporaryName(name), name);
        const uint64_t unixEpoch = 116444736000000000ULL; // below a tick is dropped; 1601 and before are 0
        QVERIFY(ticksFromTimespec({0, 0}) == unixEpoch && ticksFromTimespec({0, 199}) == unixEpoch + 1);
        QVERIFY(ticksFromTimespec({-11644473600LL, 0}) == 0 && ticksFromTimespec({-11644473601LL, 999999999}) == 0);
    }
    void attributeWords_data()
    {
        QTest::addColumn<WordCase>("c");
        // A plain file carrying a DOSATTRIB value, and whether it is understood.
        const auto dos = [](const QByteArray &value, bool known, uint32_t word) {
            return WordCase{"f", "file", 0644, value, known, word};
        };
        QTest::newRow("plain") << WordCase{"f", "file", 0644, {}, false, Attr::Normal};
        QTest::newRow("owner cannot write") << WordCase{"f", "file", 0466, {}, false, Attr::ReadOnly};
        QTest::newRow("hidden read-only") << WordCase{".f", "file", 0444, {}, false, Attr::Hidden | Attr::ReadOnly};
        QTest::newRow("read-only folder") << WordCase{"d", "folder", 0555, {}, false, Attr::Folder};
        QTest::newRow("dot folder") << WordCase{".d", "folder", 0755, {}, false, Attr::Folder | Attr::Hidden};
        QTest::newRow("link") << WordCase{"l", "link", 0, {}, false, Attr::Normal};
        QTest::newRow("text") << dos("0x26", true, Attr::Hidden | Attr::System | Attr::Archive);
        QTest::newRow("text with NUL") << dos(QByteArray("0x20", 5), true, Attr::Archive);
        QTest::newRow("v1") << dos(ndr("0x4", 1, {0x4, 0}, 4), true, Attr::System);
        QTest::newRow("v3") << dos(ndr("0x24", 3, {0x1, 0x24, 0}, 4), true, Attr::Archive | Attr::System);
        QTest::newRow("v3 attrib not valid uses text") << dos(ndr("0x2", 3, {0x10, 0x24, 0}, 4), true, Attr::Hidden);
        QTest::newRow("v4 empty text") << dos(ndr("", 4, {0x11, 0x21}, 2), true, Attr::Archive);
        QTest::newRow("v5 folder bit ignored") << dos(ndr("0x30", 5, {0x11, 0x30}, 1), true, Attr::Archive);
        QTest::newRow("unknown version") << dos(ndr("0x20", 9, {0x11, 0x20}, 1), false, Attr::Normal);
        QTest::newRow("garbage") << dos("hello", false, Attr::Normal);
    }
    void attributeWords()
    {
        QFETCH(WordCase, c);
        Tree tree;
        QVERIFY(make(tree, c.name, c.kind) && (c.kind == "link" || tree.setMode(c.name, c.mode)));
        QVERIFY(c.dosAttrib.isNull() || tree.setXattr(c.name, "user.DOSATTRIB", c.dosAttrib));
        std::vector<EntryInfo> entries;
        QCOMPARE(listFolder(tree.dir(), entries, true), 0);
        QVERIFY(entries.front().hasDosAttrib == c.known && entries.front().attributes == c.word);
        uint32_t got = 0;
        QVERIFY(getAttributes(tree.dir(), c.name, got) == 0 && got == c.word);
        QVERIFY(listFolder(tree.dir(), entries, false) == 0 && !entries.front().hasDosAttrib); // fast: reads none
        QVERIFY(c.dosAttrib.isNull() || entries.front().attributes == Attr::Normal);
    }
    void setsAttributes_data()
    {
        QTest::addColumn<SetCase>("c");
        const auto row = [](const char *name, const SetCase &c) { QTest::newRow(name) << c; };
        const uint32_t w = Attr::Archive | Attr::System | Attr::NotContentIndexed;
        const QByteArray archive("0x20", 5), hiddenReadOnly("0x3", 4);
        // "0x4" puts the arm at offset 8, "0x2024" at 12; the times are kept.
        const QByteArray binary = ndr("0x4", 5, {0x11, 0x4}, 1), grown = ndr("0x2024", 5, {0x11, w}, 1);
        row("binary, text grows", {"file", 0644, binary, w, 0, 0644, grown});
        row("text, read-only on", {"file", 0644, archive, Attr::Hidden | Attr::ReadOnly, 0, 0444, hiddenReadOnly});
        row("text, read-only off", {"file", 0444, hiddenReadOnly, Attr::Archive, 0, 0644, archive});
        // None is made, and only the owner's write bit changes.
        row("no DOSATTRIB", {"file", 0664, {}, Attr::ReadOnly | Attr::System, 0, 0464, {}});
        row("folder never read-only", {"folder", 0755, {}, Attr::Folder | Attr::ReadOnly, 0, 0755, {}});
        row("link: its target untouched", {"link", 0, {}, Attr::ReadOnly, 0, 0, {}});
        row("missing", {"none", 0, {}, Attr::Normal, -ENOENT, 0, {}});
    }
    void setsAttributes()
    {
        QFETCH(SetCase, c);
        Tree tree;
        QVERIFY(tree.write("target", "x") && make(tree, "item", c.kind));
        QVERIFY(c.dos.isNull() || tree.setXattr("item", "user.DOSATTRIB", c.dos));
        QVERIFY(c.kind == "link" || c.kind == "none" || tree.setMode("item", c.mode));
        QCOMPARE(setAttributes(tree.dir(), "item", c.word), c.result);
        QCOMPARE(c.kind == "link" ? 0u : tree.mode("item"), c.modeAfter);
        QCOMPARE(tree.hasXattr("item", "user.DOSATTRIB"), !c.dosAfter.isNull());
        QVERIFY(tree.xattr("item", "user.DOSATTRIB") == c.dosAfter && tree.mode("target") == 0644u);
    }
    void differences()
    {
        struct Case { const char *name; uint32_t source, target; bool targetHasDosAttrib, differ; };
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
    // Named streams as Samba keeps them: the bytes and one zero byte.
    void streamsWriteReadDeleteCopy()
    {
        Tree tree;
        QVERIFY(tree.write("a", "data") && tree.write("b", "data") && tree.mkdir("folder"));
        const QByteArray fork("resource\0fork", 13);
        QCOMPARE(writeStream(tree.dir(), "a", "AFP_Resource", fork), 0);
        QCOMPARE(tree.xattr("a", "user.DosStream.AFP_Resource:$DATA"), fork + QByteArray(1, '\0'));
        QByteArray read;
        QVERIFY(readStream(tree.dir(), "a", "AFP_Resource", read) == 0 && read == fork);
        const int dir = tree.dir();
        QVERIFY(copyStream(dir, "a", dir, "b", "AFP_Resource") == 0 && tree.stream("b", "AFP_Resource") == fork);
        QCOMPARE(copyStream(dir, "a", dir, "b", "AFP_AfpInfo"), -ENODATA);
        QVERIFY(deleteStream(dir, "a", "AFP_Resource") == 0 && deleteStream(dir, "a", "AFP_Resource") == -ENODATA);
        QCOMPARE(readStream(tree.dir(), "a", "AFP_Resource", read), -ENODATA);
        // A folder's stream, and one of no bytes.
        QCOMPARE(writeStream(tree.dir(), "folder", "AFP_AfpInfo", QByteArray()), 0);
        QVERIFY(readStream(tree.dir(), "folder", "AFP_AfpInfo", read) == 0 && read.isEmpty());
    }
    void finderInfo_data()
    {
        QTest::addColumn<FinderCase>("c");
        const QByteArray netatalk = (QByteArray(122, '\x11') + "APPLMACS").leftJustified(402, '\0'); // FinderInfo: 122
        QTest::newRow("AfpInfo") << FinderCase{afpInfo("TEXTttxt"), {}, 0, "TEXTttxt"};
        QTest::newRow("short AfpInfo padded") << FinderCase{afpInfo("XLS8XCEL", 20), {}, 0, "XLS8\0\0\0\0"_ba};
        QTest::newRow("AfpInfo before netatalk") << FinderCase{afpInfo("TEXTttxt"), netatalk, 0, "TEXTttxt"};
        QTest::newRow("netatalk only") << FinderCase{{}, netatalk, 0, "APPLMACS"};
        QTest::newRow("nothing") << FinderCase{{}, {}, -ENODATA, {}};
    }
    void finderInfo()
    {
        QFETCH(FinderCase, c);
        Tree tree;
        QVERIFY(tree.write("f", "x") && (c.stream.isEmpty() || tree.setStream("f", "AFP_AfpInfo", c.stream)));
        QVERIFY(c.metadata.isEmpty() || tree.setXattr("f", "user.org.netatalk.Metadata", c.metadata));
        QByteArray got;
        QVERIFY(readFinderInfo(tree.dir(), "f", got) == c.result && got == c.signature);
    }
    void permissions_data()
    {
        QTest::addColumn<AclCase>("c");
        const auto row = [](const char *name, const AclCase &c) { QTest::newRow(name) << c; };
        const QByteArray both = descriptor(extendedAcl, modeAcl(7, 0, 0)), plain = descriptor(modeAcl(6, 4, 4));
        const QByteArray owner = descriptor(modeAcl(7, 0, 0)), noGroup = descriptor(modeAcl(6, 0, 0));
        const QByteArray folderDefault = descriptor(modeAcl(7, 5, 5), extendedAcl);
        const QByteArray fileModes = descriptor(modeAcl(6, 4, 0));
        row("read file, mode only", {{"file", 0640}, {}, 0, 0, fileModes});
        row("read folder, mode only", {{"folder", 0751}, {}, 0, 0, descriptor(modeAcl(7, 5, 1))});
        row("read extended ACL", {{"file", 0644, extendedAcl}, {}, 0, 0, descriptor(extendedAcl)});
        row("read folder's default ACL", {{"folder", 0755, {}, extendedAcl}, {}, 0, 0, folderDefault});
        row("read link", {{"link"}, {}, -EOPNOTSUPP, 0, {}});
        row("read fifo", {{"fifo"}, {}, -EINVAL, 0, {}});
        row("read missing", {{"none"}, {}, -ENOENT, 0, {}});
        // With an extended ACL the group bits are the mask.
        row("ACLs onto a plain folder", {{"folder", 0755}, both, 0, 0650, both});
        row("ACLs the source lacks go", {{"folder", 0755, extendedAcl, extendedAcl}, owner, 0, 0700, owner});
        row("special bits kept", {{"file", 04755}, fileModes, 0, 04640, fileModes});
        // A folder's default part means nothing to a file and is ignored.
        row("default part on a file", {{"file", 04755}, descriptor(modeAcl(6, 0, 0), extendedAcl), 0, 04600, noGroup});
        row("write link", {{"link"}, descriptor(modeAcl(7, 7, 7)), -EOPNOTSUPP, 0777, {}});
        row("write empty", {{"file", 0644}, {}, -EINVAL, 0644, plain});
        row("entries missing", {{"file", 0644}, descriptor(aclBytes({{0x01, 7, NoId}})), -EINVAL, 0644, plain});
        row("truncated", {{"file", 0644}, descriptor(modeAcl(7, 7, 7)).chopped(3), -EINVAL, 0644, plain});
    }
    // Reads the item's ACLs, or writes the row's and reads them back.
    void permissions()
    {
        QFETCH(AclCase, c);
        Tree tree;
        QVERIFY(tree.write("probe", "x"));
        if (!tree.setXattr("probe", AccessAcl, extendedAcl) && errno == EOPNOTSUPP)
            QSKIP("No POSIX ACLs in the temporary folder");
        QVERIFY(make(tree, c.item));
        QByteArray got;
        const bool write = c.modeAfter != 0;
        QCOMPARE(write ? writePermissions(tree.dir(), "item", c.written) : readPermissions(tree.dir(), "item", got),
                 c.result);
        QVERIFY(!write || tree.mode("item") == c.modeAfter);
        QCOMPARE(tree.mode("target"), 0644u); // a link's target is not touched
        (void)readPermissions(tree.dir(), "item", got);
        QCOMPARE(got, c.readBack);
    }
};
QTEST_APPLESS_MAIN(TestListing)
#include "tst_listing.moc"
