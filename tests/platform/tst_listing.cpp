#include "common/lebytes.h"
#include "common/testtree.h"
#include "platform/fileops.h"
#include "platform/uniquefd.h"

#include <QTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace vell::platform;

namespace {

// Samba's NDR xattr_DOSATTRIB: text, pad 2, version, level, pad 4, arm.
QByteArray ndrDosAttrib(const QByteArray &hex, uint16_t version, const QByteArray &arm)
{
    QByteArray b = hex;
    b.append('\0');
    if (b.size() % 2)
        b.append('\0');
    appendLe16(b, version);
    appendLe16(b, version);
    while (b.size() % 4)
        b.append('\0');
    return b + arm;
}

constexpr uint64_t SomeNtTime = 0x01D5A1B2C3D4E5F6;

// xattr_DosInfo3: valid_flags, attrib, ea_size, size, alloc_size, create_time, change_time.
QByteArray armV3(uint32_t validFlags, uint32_t attrib)
{
    QByteArray a;
    appendLe32(a, validFlags);
    appendLe32(a, attrib);
    appendLe32(a, 0);
    appendLe64(a, 4096);
    appendLe64(a, 8192);
    appendLe64(a, SomeNtTime);
    appendLe64(a, SomeNtTime + 1);
    return a;
}

// xattr_DosInfo4: valid_flags, attrib, itime, create_time.
QByteArray armV4(uint32_t attrib)
{
    QByteArray a;
    appendLe32(a, 0x11);
    appendLe32(a, attrib);
    appendLe64(a, SomeNtTime);
    appendLe64(a, SomeNtTime + 2);
    return a;
}

// xattr_DosInfo5: valid_flags, attrib, create_time.
QByteArray armV5(uint32_t attrib)
{
    QByteArray a;
    appendLe32(a, 0x11);
    appendLe32(a, attrib);
    appendLe64(a, SomeNtTime + 3);
    return a;
}

QByteArray armV1(uint32_t attrib)
{
    QByteArray a;
    appendLe32(a, attrib);
    appendLe32(a, 0);
    appendLe64(a, 1);
    appendLe64(a, 2);
    appendLe64(a, SomeNtTime);
    appendLe64(a, SomeNtTime);
    return a;
}

const EntryInfo *find(const std::vector<EntryInfo> &entries, const QByteArray &name)
{
    for (const EntryInfo &e : entries) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

bool makeSocket(const QByteArray &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    struct sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof addr.sun_path) {
        ::close(fd);
        return false;
    }
    memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    const bool ok = ::bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
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
        QVERIFY(tree.mkdir("folder"));
        QVERIFY(tree.symlink("link", "file.txt"));
        QVERIFY(tree.mkfifo("fifo"));
        const bool socketMade = makeSocket(tree.path("sock"));
        const UniqueFd dir(openFolderPath(tree.root()));
        QVERIFY(dir.valid());

        std::vector<EntryInfo> entries;
        QCOMPARE(listFolder(dir.get(), entries, false), 0);
        QCOMPARE(entries.size(), size_t(3));
        QVERIFY(find(entries, "fifo") == nullptr);
        QVERIFY(!socketMade || find(entries, "sock") == nullptr);
        QCOMPARE(find(entries, "file.txt")->kind, EntryKind::File);
        QCOMPARE(find(entries, "file.txt")->size, uint64_t(5));
        QCOMPARE(find(entries, "folder")->kind, EntryKind::Folder);
        QCOMPARE(find(entries, "link")->kind, EntryKind::Link);
        QCOMPARE(find(entries, "link")->size, uint64_t(8)); // the link's own text, not the file
        QVERIFY(tree.exists("fifo"));
    }

    void listsAgainFromTheStart()
    {
        TestTree tree;
        QVERIFY(tree.write("a", "1"));
        const UniqueFd dir(openFolderPath(tree.root()));
        std::vector<EntryInfo> first;
        std::vector<EntryInfo> second;
        QCOMPARE(listFolder(dir.get(), first, false), 0);
        QCOMPARE(listFolder(dir.get(), second, false), 0);
        QCOMPARE(second.size(), size_t(1));
    }

    void staleTemporaryFilesAreRemoved()
    {
        TestTree tree;
        QVERIFY(tree.write(".vell-tmp-Ab3dE9", "partial"));
        QVERIFY(tree.mkdir(".vell-tmp-Zz9zz9"));
        QVERIFY(tree.write(".vell-tmp-notes.txt", "a user's file"));
        const UniqueFd dir(openFolderPath(tree.root()));
        std::vector<EntryInfo> entries;
        QCOMPARE(listFolder(dir.get(), entries, false), 0);
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(entries.front().name, QByteArray(".vell-tmp-notes.txt"));
        QVERIFY(!tree.exists(".vell-tmp-Ab3dE9"));
        QVERIFY(tree.isDir(".vell-tmp-Zz9zz9")); // only files are removed
    }

    void theCallerCanBeToldWhatWasLeftOut()
    {
        TestTree tree;
        QVERIFY(tree.write(".vell-tmp-Ab3dE9", "partial"));
        QVERIFY(tree.mkdir(".vell-tmp-Zz9zz9"));
        const UniqueFd dir(openFolderPath(tree.root()));
        std::vector<EntryInfo> entries;
        ListingExtras extras;
        QCOMPARE(listFolder(dir.get(), entries, false, &extras), 0);
        QVERIFY(entries.empty());
        QCOMPARE(extras.staleTemporaries, std::vector<QByteArray>{".vell-tmp-Ab3dE9"});
        QVERIFY(!extras.specialsLeftOut);
        QVERIFY(tree.exists(".vell-tmp-Ab3dE9"));
        QVERIFY(tree.mkfifo("pipe"));
        QCOMPARE(listFolder(dir.get(), entries, false, &extras), 0);
        QVERIFY(extras.specialsLeftOut);
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
        QTest::newRow("plain") << QByteArray("report.doc") << false;
    }
    void temporaryNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, temporary);
        QCOMPARE(isTemporaryName(name), temporary);
    }

    void attributeWords_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<unsigned>("mode");
        QTest::addColumn<uint32_t>("word");
        QTest::newRow("plain file") << QByteArray("f") << QByteArray("file") << 0644u << Attr::Normal;
        QTest::newRow("owner cannot write") << QByteArray("f") << QByteArray("file") << 0466u << Attr::ReadOnly;
        QTest::newRow("dot file") << QByteArray(".f") << QByteArray("file") << 0644u << Attr::Hidden;
        QTest::newRow("hidden read-only")
            << QByteArray(".f") << QByteArray("file") << 0444u << (Attr::Hidden | Attr::ReadOnly);
        QTest::newRow("folder") << QByteArray("d") << QByteArray("folder") << 0755u << Attr::Folder;
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
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(entries.front().attributes, word);
        uint32_t got = 0;
        QCOMPARE(getAttributes(dir.get(), name, got), 0);
        QCOMPARE(got, word);
    }

    void lastWriteTicks()
    {
        TestTree tree;
        QVERIFY(tree.write("f", "x"));
        QVERIFY(tree.setMtime("f", 1000000000, 123456789));
        const UniqueFd dir(openFolderPath(tree.root()));
        EntryInfo info;
        QCOMPARE(lookUp(dir.get(), "f", info, false), 0);
        QCOMPARE(info.lastWrite, (uint64_t(1000000000) + 11644473600ULL) * 10000000ULL + 1234567ULL);
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
        struct timespec ts;
        ts.tv_sec = sec;
        ts.tv_nsec = nsec;
        QCOMPARE(ticksFromTimespec(ts), uint64_t(ticks));
    }

    void lookUpRefusesSpecialsAndReportsAbsence()
    {
        TestTree tree;
        QVERIFY(tree.mkfifo("fifo"));
        const UniqueFd dir(openFolderPath(tree.root()));
        EntryInfo info;
        QCOMPARE(lookUp(dir.get(), "fifo", info, true), -EINVAL);
        QCOMPARE(lookUp(dir.get(), "missing", info, true), -ENOENT);
    }

    void dosAttribForms_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("known");
        QTest::addColumn<uint32_t>("word");
        QTest::newRow("text") << QByteArray("0x26") << true << (Attr::Hidden | Attr::System | Attr::Archive);
        QTest::newRow("text with NUL") << QByteArray("0x20", 5) << true << Attr::Archive;
        QTest::newRow("v1") << ndrDosAttrib("0x4", 1, armV1(0x4)) << true << Attr::System;
        QTest::newRow("v3") << ndrDosAttrib("0x24", 3, armV3(0x1, 0x24)) << true << (Attr::Archive | Attr::System);
        QTest::newRow("v3 attrib not valid uses text")
            << ndrDosAttrib("0x2", 3, armV3(0x10, 0x24)) << true << Attr::Hidden;
        QTest::newRow("v4 empty text") << ndrDosAttrib("", 4, armV4(0x21)) << true << Attr::Archive;
        QTest::newRow("v5 folder bit ignored")
            << ndrDosAttrib("0x30", 5, armV5(0x30)) << true << Attr::Archive;
        QTest::newRow("unknown version") << ndrDosAttrib("0x20", 9, armV5(0x20)) << false << Attr::Normal;
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

    void setAttributesKeepsBinaryDosAttribInStep()
    {
        TestTree tree;
        QVERIFY(tree.write("f", "x"));
        // "0x4" puts the arm at offset 8; "0x2024" moves it to 12.
        const QByteArray before = ndrDosAttrib("0x4", 5, armV5(0x4));
        QVERIFY(tree.setXattr("f", "user.DOSATTRIB", before));
        const UniqueFd dir(openFolderPath(tree.root()));
        const uint32_t word = Attr::Archive | Attr::System | Attr::NotContentIndexed;
        QCOMPARE(setAttributes(dir.get(), "f", word), 0);

        const QByteArray after = tree.xattr("f", "user.DOSATTRIB");
        QVERIFY(after.startsWith(QByteArray("0x2024\0", 7)));
        QCOMPARE(le32At(after, 8), uint32_t(5) | uint32_t(5) << 16);
        QCOMPARE(le32At(after, 16), word);          // attrib
        QCOMPARE(after.mid(20), before.mid(16));    // create_time kept
        uint32_t got = 0;
        bool has = false;
        QCOMPARE(getAttributes(dir.get(), "f", got, &has), 0);
        QVERIFY(has);
        QCOMPARE(got, word);
    }

    void setAttributesRewritesTextForm()
    {
        TestTree tree;
        QVERIFY(tree.write("f", "x"));
        QVERIFY(tree.setXattr("f", "user.DOSATTRIB", QByteArray("0x20", 5)));
        const UniqueFd dir(openFolderPath(tree.root()));
        QCOMPARE(setAttributes(dir.get(), "f", Attr::Hidden | Attr::ReadOnly), 0);
        QCOMPARE(tree.xattr("f", "user.DOSATTRIB"), QByteArray("0x3", 4));
        QCOMPARE(tree.mode("f") & 0200, 0u);
        QCOMPARE(setAttributes(dir.get(), "f", Attr::Archive), 0);
        QCOMPARE(tree.xattr("f", "user.DOSATTRIB"), QByteArray("0x20", 5));
        QCOMPARE(tree.mode("f") & 0200, 0200u);
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
        QTest::newRow("read-only of a folder")
            << (Attr::Folder | Attr::ReadOnly) << Attr::Folder << true << false;
        QTest::newRow("archive, target without DOSATTRIB") << Attr::Archive << Attr::Normal << false << false;
        QTest::newRow("archive, target with DOSATTRIB") << Attr::Archive << Attr::Normal << true << true;
        QTest::newRow("system of a folder") << (Attr::Folder | Attr::System) << Attr::Folder << true << true;
        QTest::newRow("hidden without DOSATTRIB") << Attr::Hidden << Attr::Normal << false << false;
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
