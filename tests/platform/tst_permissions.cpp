#include "common/lebytes.h"
#include "common/testtree.h"
#include "platform/fileops.h"
#include "platform/uniquefd.h"

#include <QTest>
#include <cerrno>

using namespace vell::platform;

namespace {

constexpr char AccessAcl[] = "system.posix_acl_access";
constexpr char DefaultAcl[] = "system.posix_acl_default";

struct AclEntry
{
    uint16_t tag;
    uint16_t perm;
    uint32_t id;
};

// The kernel's xattr form of a POSIX ACL.
QByteArray aclBytes(std::initializer_list<AclEntry> entries)
{
    QByteArray b;
    appendLe32(b, 2);
    for (const AclEntry &e : entries) {
        appendLe16(b, e.tag);
        appendLe16(b, e.perm);
        appendLe32(b, e.id);
    }
    return b;
}

constexpr uint32_t NoId = 0xFFFFFFFF;

QByteArray modeAcl(unsigned user, unsigned group, unsigned other)
{
    return aclBytes({{0x01, uint16_t(user), NoId}, {0x04, uint16_t(group), NoId}, {0x20, uint16_t(other), NoId}});
}

// user::rw-, user:1234:r-x, group::r--, mask::r-x, other::---
QByteArray extendedAcl()
{
    return aclBytes({{0x01, 6, NoId}, {0x02, 5, 1234}, {0x04, 4, NoId}, {0x10, 5, NoId}, {0x20, 0, NoId}});
}

QByteArray descriptor(const QByteArray &access, const QByteArray &defaults = {})
{
    QByteArray d;
    appendLe32(d, uint32_t(access.size()));
    return d + access + defaults;
}

// "item" of a kind (file, folder, link to "f", fifo, none), its mode and
// its ACL attributes (null: none).
struct Item
{
    QByteArray kind;
    unsigned mode = 0;
    QByteArray access = {};
    QByteArray defaults = {};

    bool make(TestTree &tree) const
    {
        bool ok = tree.write("f", "x");
        if (kind == "file" || kind == "folder")
            ok = ok && (kind == "file" ? tree.write("item", "x") : tree.mkdir("item")) && tree.setMode("item", mode);
        else if (kind != "none")
            ok = ok && (kind == "link" ? tree.symlink("item", "f") : tree.mkfifo("item"));
        ok = ok && (access.isNull() || tree.setXattr("item", AccessAcl, access));
        return ok && (defaults.isNull() || tree.setXattr("item", DefaultAcl, defaults));
    }
};

struct ReadCase
{
    Item item;
    int result;
    QByteArray expected;
};

struct WriteCase
{
    Item item;
    QByteArray written;
    int result;
    unsigned modeAfter;
    QByteArray readBack;
};

} // namespace

class TestPermissions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestTree tree;
        QVERIFY(tree.write("probe", "x"));
        if (!tree.setXattr("probe", AccessAcl, extendedAcl()) && errno == EOPNOTSUPP)
            QSKIP("The temporary folder's file system has no POSIX ACLs");
    }

    void reads_data()
    {
        QTest::addColumn<ReadCase>("c");
        QTest::newRow("file, mode only") << ReadCase{{"file", 0640}, 0, descriptor(modeAcl(6, 4, 0))};
        QTest::newRow("folder, mode only") << ReadCase{{"folder", 0751}, 0, descriptor(modeAcl(7, 5, 1))};
        QTest::newRow("extended access ACL") << ReadCase{{"file", 0644, extendedAcl()}, 0, descriptor(extendedAcl())};
        QTest::newRow("folder's default ACL")
            << ReadCase{{"folder", 0755, {}, extendedAcl()}, 0, descriptor(modeAcl(7, 5, 5), extendedAcl())};
        QTest::newRow("link") << ReadCase{{"link"}, -EOPNOTSUPP, {}};
        QTest::newRow("fifo") << ReadCase{{"fifo"}, -EINVAL, {}};
        QTest::newRow("missing") << ReadCase{{"none"}, -ENOENT, {}};
    }
    void reads()
    {
        QFETCH(ReadCase, c);
        TestTree tree;
        QVERIFY(c.item.make(tree));
        const UniqueFd dir(openFolderPath(tree.root()));
        QByteArray got;
        QCOMPARE(readPermissions(dir.get(), "item", got), c.result);
        QCOMPARE(got, c.expected);
    }

    void writes_data()
    {
        QTest::addColumn<WriteCase>("c");
        const QByteArray both = descriptor(extendedAcl(), modeAcl(7, 0, 0));
        const QByteArray plain = descriptor(modeAcl(6, 4, 4));
        QByteArray truncated = descriptor(modeAcl(7, 7, 7));
        truncated.chop(3);
        // With an extended ACL the group bits are the mask.
        QTest::newRow("ACLs onto a plain folder") << WriteCase{{"folder", 0755}, both, 0, 0650, both};
        QTest::newRow("ACLs the source lacks go")
            << WriteCase{{"folder", 0755, extendedAcl(), extendedAcl()}, descriptor(modeAcl(7, 0, 0)), 0, 0700,
                         descriptor(modeAcl(7, 0, 0))};
        QTest::newRow("special bits kept")
            << WriteCase{{"file", 04755}, descriptor(modeAcl(6, 4, 0)), 0, 04640, descriptor(modeAcl(6, 4, 0))};
        // A folder's default part means nothing to a file and is ignored.
        QTest::newRow("default part on a file")
            << WriteCase{{"file", 04755}, descriptor(modeAcl(6, 0, 0), extendedAcl()), 0, 04600,
                         descriptor(modeAcl(6, 0, 0))};
        QTest::newRow("link") << WriteCase{{"link"}, descriptor(modeAcl(7, 7, 7)), -EOPNOTSUPP, 0777, {}};
        QTest::newRow("empty") << WriteCase{{"file", 0644}, {}, -EINVAL, 0644, plain};
        QTest::newRow("entries missing")
            << WriteCase{{"file", 0644}, descriptor(aclBytes({{0x01, 7, NoId}})), -EINVAL, 0644, plain};
        QTest::newRow("truncated") << WriteCase{{"file", 0644}, truncated, -EINVAL, 0644, plain};
    }
    void writes()
    {
        QFETCH(WriteCase, c);
        TestTree tree;
        QVERIFY(c.item.make(tree));
        const UniqueFd dir(openFolderPath(tree.root()));
        QCOMPARE(writePermissions(dir.get(), "item", c.written), c.result);
        QCOMPARE(tree.mode("item"), c.modeAfter);
        QCOMPARE(tree.mode("f"), 0644u); // a link's target is not touched
        QByteArray got;
        (void)readPermissions(dir.get(), "item", got);
        QCOMPARE(got, c.readBack);
    }
};

QTEST_APPLESS_MAIN(TestPermissions)
#include "tst_permissions.moc"
