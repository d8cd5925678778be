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

namespace {

// Samba's NDR xattr_DOSATTRIB: text, pad 2, version, level, pad 4, then
// the arm: `words` (valid_flags, attrib, ...) and `times` NT times.
QByteArray ndrDosAttrib(const QByteArray &hex, uint16_t version, std::initializer_list<uint32_t> words, int times)
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

const EntryInfo *find(const std::vector<EntryInfo> &entries, const QByteArray &name)
{
    for (const EntryInfo &e : entries) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

} // namespace

class TestListing : public QObject
{
    Q_OBJECT
private slots:
    void listsKindsAndLeavesSpecialsOut()
    {
        TestTree tree;
        QVERIFY(tree.write("file.txt", "hello"));
        QVERIFY(tree.setMtime("file.txt", 1000000000, 123456789));
        QVERIFY(tree.mkdir("folder"));
        QVERIFY(tree.symlink("link", "file.txt"));
        QVERIFY(tree.mkfifo("fifo"));
        const UniqueFd dir(openFolderPath(tree.root()));
        std::vector<EntryInfo> entries;
        ListingExtras extras;
        for (int pass = 0; pass < 2; ++pass) { // a second listing through one descriptor starts afresh
            QCOMPARE(listFolder(dir.get(), entries, false, &extras), 0);
            QCOMPARE(entries.size(), size_t(3));
            QVERIFY(extras.specialsLeftOut);
        }
        QCOMPARE(find(entries, "file.txt")->kind, EntryKind::File);
        QCOMPARE(find(entries, "file.txt")->size, uint64_t(5));
        QCOMPARE(find(entries, "file.txt")->lastWrite,
                 (uint64_t(1000000000) + 11644473600ULL) * 10000000ULL + 1234567ULL);
        QCOMPARE(find(entries, "folder")->kind, EntryKind::Folder);
        QCOMPARE(find(entries, "link")->kind, EntryKind::Link);
        QCOMPARE(find(entries, "link")->size, uint64_t(8)); // the link's own text, not the file
        QCOMPARE(listKinds(dir.get(), entries, &extras), 0);
        QCOMPARE(entries.size(), size_t(3));
        QCOMPARE(find(entries, "link")->kind, EntryKind::Link);
        QCOMPARE(find(entries, "folder")->kind, EntryKind::Folder);
        QVERIFY(extras.specialsLeftOut);
        EntryInfo info;
        QCOMPARE(lookUp(dir.get(), "fifo", info, true), -EINVAL);
        QCOMPARE(lookUp(dir.get(), "missing", info, true), -ENOENT);
        QVERIFY(tree.exists("fifo"));
    }

    // A copy may be writing into a temporary file right now: a listing
    // names such files and removes nothing.
    void listingNamesTemporariesAndRemovesNothing()
    {
        TestTree tree;
        QVERIFY(tree.write(".vell-tmp-Ab3dE9", "partial"));
        QVERIFY(tree.mkdir(".vell-tmp-Zz9zz9"));
        QVERIFY(tree.symlink(".vell-tmp-Lnk001", "nowhere"));
        QVERIFY(tree.write(".vell-tmp-notes.txt", "a user's file"));
        const UniqueFd dir(openFolderPath(tree.root()));
        const QByteArrayList all = tree.entries("");
        std::vector<EntryInfo> entries;
        ListingExtras extras;
        for (const bool kinds : {false, true}) {
            for (ListingExtras *asked : {static_cast<ListingExtras *>(nullptr), &extras}) {
                extras.staleTemporaries = {"left over"};
                QCOMPARE(kinds ? listKinds(dir.get(), entries, asked) : listFolder(dir.get(), entries, true, asked), 0);
                QCOMPARE(entries.size(), size_t(1));
                QCOMPARE(entries.front().name, QByteArray(".vell-tmp-notes.txt"));
                QCOMPARE(tree.entries(""), all);
            }
            QCOMPARE(extras.staleTemporaries, std::vector<QByteArray>{".vell-tmp-Ab3dE9"});
        }
        QCOMPARE(removeStaleTemporary(dir.get(), ".vell-tmp-Ab3dE9"), -EBUSY); // just written
        QVERIFY(tree.exists(".vell-tmp-Ab3dE9"));
    }

    void removesOnlyStaleTemporaries_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<int>("age"); // seconds since its change, by the clock given
        QTest::addColumn<int>("result");
        const QByteArray temporary(".vell-tmp-Ab3dE9");
        QTest::newRow("stale") << temporary << QByteArray("file") << 3600 << 0;
        QTest::newRow("young") << temporary << QByteArray("file") << 30 << -EBUSY;
        QTest::newRow("changed in the future") << temporary << QByteArray("file") << -3600 << -EBUSY;
        QTest::newRow("locked by a live copy") << temporary << QByteArray("locked") << 3600 << -EBUSY;
        QTest::newRow("another user's") << temporary << QByteArray("foreign") << 3600 << -EPERM;
        QTest::newRow("user's name") << QByteArray(".vell-tmp-notes") << QByteArray("file") << 3600 << -EINVAL;
        QTest::newRow("folder") << temporary << QByteArray("folder") << 3600 << -EINVAL;
        QTest::newRow("link") << temporary << QByteArray("link") << 3600 << -EINVAL;
        QTest::newRow("fifo") << temporary << QByteArray("fifo") << 3600 << -EINVAL;
        QTest::newRow("missing") << temporary << QByteArray("none") << 3600 << -ENOENT;
    }
    void removesOnlyStaleTemporaries()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, kind);
        QFETCH(int, age);
        QFETCH(int, result);
        TestTree tree;
        QVERIFY(tree.write("target", "kept"));
        if (kind == "folder")
            QVERIFY(tree.mkdir(name));
        else if (kind == "link")
            QVERIFY(tree.symlink(name, "target"));
        else if (kind == "fifo")
            QVERIFY(tree.mkfifo(name));
        else if (kind != "none")
            QVERIFY(tree.write(name, "partial"));
        UniqueFd holder;
        if (kind == "locked") { // another open file description, as a copy holds
            holder.reset(::open(tree.path(name).constData(), O_RDONLY | O_CLOEXEC));
            QCOMPARE(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);
        }
        struct stat st = {};
        (void)::lstat(tree.path(name).constData(), &st);
        const struct timespec now = {st.st_ctim.tv_sec + age, 0};
        const uid_t user = kind == "foreign" ? ::geteuid() + 1 : ::geteuid();
        const UniqueFd dir(openFolderPath(tree.root()));
        QCOMPARE(sys::removeStaleTemporaryAs(dir.get(), name, user, now), result);
        QCOMPARE(tree.exists(name), result != 0 && kind != "none");
        QCOMPARE(tree.read("target"), QByteArray("kept"));
    }

    void temporaryNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("temporary");
        QTest::newRow("six letters and digits") << QByteArray(".vell-tmp-a1B2c3") << true;
        QTest::newRow("five") << QByteArray(".vell-tmp-a1B2c") << false;
        QTest::newRow("seven") << QByteArray(".vell-tmp-a1B2c3d") << false;
        QTest::newRow("punctuation") << QByteArray(".vell-tmp-a1B2.3") << false;
        QTest::newRow("no dot") << QByteArray("vell-tmp-a1B2c3") << false;
    }
    void temporaryNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, temporary);
        QCOMPARE(isTemporaryName(name), temporary);
        QVERIFY(isTemporaryName(sys::temporaryName()));
    }

    void attributeWords_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<unsigned>("mode");
        QTest::addColumn<uint32_t>("word");
        QTest::newRow("plain file") << QByteArray("f") << QByteArray("file") << 0644u << Attr::Normal;
        QTest::newRow("owner cannot write") << QByteArray("f") << QByteArray("file") << 0466u << Attr::ReadOnly;
        QTest::newRow("hidden read-only")
            << QByteArray(".f") << QByteArray("file") << 0444u << (Attr::Hidden | Attr::ReadOnly);
        QTest::newRow("read-only folder") << QByteArray("d") << QByteArray("folder") << 0555u << Attr::Folder;
        QTest::newRow("dot folder")
            << QByteArray(".d") << QByteArray("folder") << 0755u << (Attr::Folder | Attr::Hidden);
        QTest::newRow("link") << QByteArray("l") << QByteArray("link") << 0u << Attr::Normal;
    }
    void attributeWords()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, kind);
        QFETCH(unsigned, mode);
        QFETCH(uint32_t, word);
        TestTree tree;
        if (kind == "file")
            QVERIFY(tree.write(name, "x"));
        else if (kind == "folder")
            QVERIFY(tree.mkdir(name));
        else
            QVERIFY(tree.symlink(name, "nowhere"));
        if (kind != "link")
            QVERIFY(tree.setMode(name, mode));
        const UniqueFd dir(openFolderPath(tree.root()));
        std::vector<EntryInfo> entries;
        QCOMPARE(listFolder(dir.get(), entries, true), 0);
        QCOMPARE(entries.front().attributes, word);
        uint32_t got = 0;
        QCOMPARE(getAttributes(dir.get(), name, got), 0);
        QCOMPARE(got, word);
    }

    void ticks_data()
    {
        QTest::addColumn<qint64>("sec");
        QTest::addColumn<long>("nsec");
        QTest::addColumn<quint64>("ticks");
        QTest::newRow("unix epoch") << qint64(0) << 0L << quint64(116444736000000000ULL);
        QTest::newRow("1601 itself") << qint64(-11644473600LL) << 0L << quint64(0);
        QTest::newRow("before 1601") << qint64(-11644473601LL) << 999999999L << quint64(0);
        QTest::newRow("sub-tick dropped") << qint64(0) << 199L << quint64(116444736000000001ULL);
    }
    void ticks()
    {
        QFETCH(qint64, sec);
        QFETCH(long, nsec);
        QFETCH(quint64, ticks);
        QCOMPARE(ticksFromTimespec(timespec{time_t(sec), nsec}), uint64_t(ticks));
    }

    void dosAttribForms_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("known");
        QTest::addColumn<uint32_t>("word");
        QTest::newRow("text") << QByteArray("0x26") << true << (Attr::Hidden | Attr::System | Attr::Archive);
        QTest::newRow("text with NUL") << QByteArray("0x20", 5) << true << Attr::Archive;
        QTest::newRow("v1") << ndrDosAttrib("0x4", 1, {0x4, 0}, 4) << true << Attr::System;
        QTest::newRow("v3") << ndrDosAttrib("0x24", 3, {0x1, 0x24, 0}, 4) << true << (Attr::Archive | Attr::System);
        QTest::newRow("v3 attrib not valid uses text") << ndrDosAttrib("0x2", 3, {0x10, 0x24, 0}, 4) << true
                                                       << Attr::Hidden;
        QTest::newRow("v4 empty text") << ndrDosAttrib("", 4, {0x11, 0x21}, 2) << true << Attr::Archive;
        QTest::newRow("v5 folder bit ignored") << ndrDosAttrib("0x30", 5, {0x11, 0x30}, 1) << true << Attr::Archive;
        QTest::newRow("unknown version") << ndrDosAttrib("0x20", 9, {0x11, 0x20}, 1) << false << Attr::Normal;
        QTest::newRow("garbage") << QByteArray("hello") << false << Attr::Normal;
    }
    void dosAttribForms()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, known);
        QFETCH(uint32_t, word);
        TestTree tree;
        QVERIFY(tree.write("f", "x"));
        QVERIFY(tree.setXattr("f", "user.DOSATTRIB", value));
        const UniqueFd dir(openFolderPath(tree.root()));
        std::vector<EntryInfo> entries;
        QCOMPARE(listFolder(dir.get(), entries, true), 0);
        QCOMPARE(entries.front().hasDosAttrib, known);
        QCOMPARE(entries.front().attributes, word);
        QCOMPARE(listFolder(dir.get(), entries, false), 0);
        QCOMPARE(entries.front().attributes, Attr::Normal); // the fast path reads no attribute
        QVERIFY(!entries.front().hasDosAttrib);
    }

    void setAttributesKeepsDosAttribInStep()
    {
        TestTree tree;
        QVERIFY(tree.write("f", "x"));
        QVERIFY(tree.write("t", "x"));
        // "0x4" puts the arm at offset 8; "0x2024" moves it to 12.
        const QByteArray before = ndrDosAttrib("0x4", 5, {0x11, 0x4}, 1);
        QVERIFY(tree.setXattr("f", "user.DOSATTRIB", before));
        QVERIFY(tree.setXattr("t", "user.DOSATTRIB", QByteArray("0x20", 5)));
        const UniqueFd dir(openFolderPath(tree.root()));
        const uint32_t word = Attr::Archive | Attr::System | Attr::NotContentIndexed;
        QCOMPARE(setAttributes(dir.get(), "f", word), 0);
        const QByteArray after = tree.xattr("f", "user.DOSATTRIB");
        QVERIFY(after.startsWith(QByteArray("0x2024\0", 7)));
        QCOMPARE(le32At(after, 8), uint32_t(5) | uint32_t(5) << 16);
        QCOMPARE(le32At(after, 16), word);       // attrib
        QCOMPARE(after.mid(20), before.mid(16)); // create_time kept
        uint32_t got = 0;
        bool has = false;
        QCOMPARE(getAttributes(dir.get(), "f", got, &has), 0);
        QVERIFY(has);
        QCOMPARE(got, word);
        // The text form, and read-only both ways.
        QCOMPARE(setAttributes(dir.get(), "t", Attr::Hidden | Attr::ReadOnly), 0);
        QCOMPARE(tree.xattr("t", "user.DOSATTRIB"), QByteArray("0x3", 4));
        QCOMPARE(tree.mode("t") & 0200, 0u);
        QCOMPARE(setAttributes(dir.get(), "t", Attr::Archive), 0);
        QCOMPARE(tree.xattr("t", "user.DOSATTRIB"), QByteArray("0x20", 5));
        QCOMPARE(tree.mode("t") & 0200, 0200u);
    }

    void setAttributesOnPlainItems()
    {
        TestTree tree;
        QVERIFY(tree.write("f", "x"));
        QVERIFY(tree.mkdir("d"));
        QVERIFY(tree.symlink("l", "f"));
        QVERIFY(tree.setMode("f", 0664));
        const UniqueFd dir(openFolderPath(tree.root()));
        QCOMPARE(setAttributes(dir.get(), "f", Attr::ReadOnly | Attr::System), 0);
        QCOMPARE(tree.mode("f"), 0464u); // only the owner's write bit
        QVERIFY(!tree.hasXattr("f", "user.DOSATTRIB")); // none is made
        QCOMPARE(setAttributes(dir.get(), "d", Attr::Folder | Attr::ReadOnly), 0);
        QCOMPARE(tree.mode("d"), 0755u);
        QCOMPARE(setAttributes(dir.get(), "l", Attr::ReadOnly), 0);
        QCOMPARE(tree.mode("f"), 0464u); // the link's target is not touched
        QCOMPARE(setAttributes(dir.get(), "missing", Attr::Normal), -ENOENT);
    }

    void differences_data()
    {
        QTest::addColumn<uint32_t>("source");
        QTest::addColumn<uint32_t>("target");
        QTest::addColumn<bool>("targetHasDosAttrib");
        QTest::addColumn<bool>("differ");
        QTest::newRow("equal") << Attr::Archive << Attr::Archive << true << false;
        QTest::newRow("read-only of a file") << (Attr::ReadOnly | Attr::Archive) << Attr::Archive << false << true;
        QTest::newRow("read-only of a folder") << (Attr::Folder | Attr::ReadOnly) << Attr::Folder << true << false;
        QTest::newRow("archive, target without DOSATTRIB") << Attr::Archive << Attr::Normal << false << false;
        QTest::newRow("archive, target with DOSATTRIB") << Attr::Archive << Attr::Normal << true << true;
        QTest::newRow("system of a folder") << (Attr::Folder | Attr::System) << Attr::Folder << true << true;
        QTest::newRow("compressed never") << uint32_t(0x800 | Attr::Archive) << Attr::Archive << true << false;
        QTest::newRow("normal against folder") << Attr::Normal << Attr::Folder << true << false;
    }
    void differences()
    {
        QFETCH(uint32_t, source);
        QFETCH(uint32_t, target);
        QFETCH(bool, targetHasDosAttrib);
        QFETCH(bool, differ);
        QCOMPARE(attributesDiffer(source, target, targetHasDosAttrib), differ);
    }
};

QTEST_APPLESS_MAIN(TestListing)
#include "tst_listing.moc"
