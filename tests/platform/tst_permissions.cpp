#include "common/lebytes.h"
#include "common/testtree.h"
#include "platform/fileops.h"
#include "platform/uniquefd.h"

#include <QProcess>
#include <QStandardPaths>
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

    void modeOnlyItems_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<unsigned>("mode");
        QTest::newRow("file") << false << 0640u;
        QTest::newRow("folder") << true << 0751u;
    }
    void modeOnlyItems()
    {
        QFETCH(bool, folder);
        QFETCH(unsigned, mode);
        TestTree tree;
        QVERIFY(folder ? tree.mkdir("item") : tree.write("item", "x"));
        QVERIFY(tree.setMode("item", mode));
        const UniqueFd dir(openFolderPath(tree.root()));
        QByteArray got;
        QCOMPARE(readPermissions(dir.get(), "item", got), 0);
        QCOMPARE(got, descriptor(modeAcl((mode >> 6) & 7, (mode >> 3) & 7, mode & 7)));
    }

    void extendedAccessAcl()
    {
        TestTree tree;
        QVERIFY(tree.write("f", "x"));
        QVERIFY(tree.setXattr("f", AccessAcl, extendedAcl()));
        const UniqueFd dir(openFolderPath(tree.root()));
        QByteArray got;
        QCOMPARE(readPermissions(dir.get(), "f", got), 0);
        QCOMPARE(got, descriptor(extendedAcl()));
    }

    void aclMadeBySetfacl()
    {
        const QString setfacl = QStandardPaths::findExecutable(QStringLiteral("setfacl"));
        if (setfacl.isEmpty())
            QSKIP("setfacl is not installed");
        TestTree tree;
        QVERIFY(tree.mkdir("d"));
        QVERIFY(tree.setMode("d", 0750));
        QCOMPARE(QProcess::execute(setfacl, {QStringLiteral("-m"), QStringLiteral("u:1234:rwx,g:55:r-x"),
                                             QStringLiteral("-d"), QStringLiteral("-m"),
                                             QStringLiteral("u:1234:r-x"), tree.pathText("d")}),
                 0);
        const UniqueFd dir(openFolderPath(tree.root()));
        QByteArray got;
        QCOMPARE(readPermissions(dir.get(), "d", got), 0);
        const QByteArray access = tree.xattr("d", AccessAcl);
        const QByteArray defaults = tree.xattr("d", DefaultAcl);
        QVERIFY(access.size() > 28 && defaults.size() > 28);
        QCOMPARE(got, descriptor(access, defaults));
    }

    void defaultAclOfFolder()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("d"));
        QVERIFY(tree.setXattr("d", DefaultAcl, extendedAcl()));
        const UniqueFd dir(openFolderPath(tree.root()));
        QByteArray got;
        QCOMPARE(readPermissions(dir.get(), "d", got), 0);
        QCOMPARE(got, descriptor(modeAcl(7, 5, 5), extendedAcl()));
    }

    void roundTripBetweenFolders()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("a"));
        QVERIFY(tree.mkdir("b"));
        QVERIFY(tree.setXattr("a", AccessAcl, extendedAcl()));
        QVERIFY(tree.setXattr("a", DefaultAcl, modeAcl(7, 0, 0)));
        const UniqueFd dir(openFolderPath(tree.root()));
        QByteArray fromA;
        QCOMPARE(readPermissions(dir.get(), "a", fromA), 0);
        QCOMPARE(writePermissions(dir.get(), "b", fromA), 0);
        QByteArray fromB;
        QCOMPARE(readPermissions(dir.get(), "b", fromB), 0);
        QCOMPARE(fromB, fromA);
        QCOMPARE(tree.mode("b"), 0650u); // group bits are the mask
    }

    void writeRemovesWhatTheSourceLacks()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("d"));
        QVERIFY(tree.setXattr("d", AccessAcl, extendedAcl()));
        QVERIFY(tree.setXattr("d", DefaultAcl, extendedAcl()));
        const UniqueFd dir(openFolderPath(tree.root()));
        QCOMPARE(writePermissions(dir.get(), "d", descriptor(modeAcl(7, 0, 0))), 0);
        QVERIFY(!tree.hasXattr("d", AccessAcl));
        QVERIFY(!tree.hasXattr("d", DefaultAcl));
        QCOMPARE(tree.mode("d"), 0700u);
    }

    void writeKeepsTargetsSpecialBits()
    {
        TestTree tree;
        QVERIFY(tree.write("f", "x"));
        QVERIFY(tree.setMode("f", 04755));
        const UniqueFd dir(openFolderPath(tree.root()));
        QCOMPARE(writePermissions(dir.get(), "f", descriptor(modeAcl(6, 4, 0))), 0);
        QCOMPARE(tree.mode("f"), 04640u);
        // A folder's default part means nothing to a file and is ignored.
        QCOMPARE(writePermissions(dir.get(), "f", descriptor(modeAcl(6, 0, 0), extendedAcl())), 0);
        QCOMPARE(tree.mode("f"), 04600u);
    }

    void linksAndSpecialsAndBadInput()
    {
        TestTree tree;
        QVERIFY(tree.write("f", "x"));
        QVERIFY(tree.symlink("l", "f"));
        QVERIFY(tree.mkfifo("fifo"));
        const UniqueFd dir(openFolderPath(tree.root()));
        QByteArray got;
        QCOMPARE(readPermissions(dir.get(), "l", got), -EOPNOTSUPP);
        QCOMPARE(writePermissions(dir.get(), "l", descriptor(modeAcl(7, 7, 7))), -EOPNOTSUPP);
        QCOMPARE(readPermissions(dir.get(), "fifo", got), -EINVAL);
        QCOMPARE(readPermissions(dir.get(), "missing", got), -ENOENT);
        QCOMPARE(writePermissions(dir.get(), "f", QByteArray()), -EINVAL);
        QCOMPARE(writePermissions(dir.get(), "f", descriptor(aclBytes({{0x01, 7, NoId}}))), -EINVAL);
        QByteArray truncated = descriptor(modeAcl(7, 7, 7));
        truncated.chop(3);
        QCOMPARE(writePermissions(dir.get(), "f", truncated), -EINVAL);
        QCOMPARE(tree.mode("f"), 0644u);
    }
};

QTEST_APPLESS_MAIN(TestPermissions)
#include "tst_permissions.moc"
