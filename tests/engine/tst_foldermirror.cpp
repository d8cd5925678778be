#include "common/enginefixture.h"
#include "platform/pathcodec.h"
#include <QScopeGuard>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

using namespace vell;

namespace {
// The same items in the source and the target.
QByteArrayList both(const QByteArrayList &items)
{
    QByteArrayList all;
    for (const QByteArray &item : items)
        all << "src/" + item << "dst/" + item;
    return all;
}

struct Turn { QString modes; QByteArrayList before, after; QString totals; QStringList events; QByteArray during; };

void row(const char *name, const QString &modes, const QByteArrayList &before, const QByteArrayList &after,
         const QString &totals, const QStringList &events, const QByteArray &during = {})
{
    QTest::newRow(name) << Turn{modes, before, after, totals, events, during};
}
} // namespace

class TestFolderMirror : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { ::umask(022); }
    // One couple's turn (the mirror walk, then the removal walk when the couple removes and does not move) from the
    // trees before to the trees after (none given: left as they were), with its totals and recorded items; a second
    // turn finds nothing more to do (see TestCouple::actDuring for `during`).
    void turn_data()
    {
        QTest::addColumn<Turn>("t");
        const QByteArray deep = QByteArray("l/").repeated(70); // deeper than the descriptors kept open
        const QByteArray quoted = PathToBytes(QStringLiteral("a") + QChar(0xF022) + QStringLiteral("b"));
        const QByteArrayList inSub{"src/sub/a=same@1000", "src/sub/b=same@1000", "dst/sub/a=same@2000",
                                   "dst/sub/b=same@2000"};
        row("new tree", "", {"src/a=alpha@1500000000.123456700", "src/.hidden", "src/.hd/x", "src/sub/empty/"},
            both({".hd/x", ".hidden", "a=alpha", "sub/empty/"}), "examined 3, created 3, foldersCreated 3",
            {"Creation dst/.hd/x", "Creation dst/.hidden", "Creation dst/a", "Creation folder dst/.hd",
             "Creation folder dst/sub", "Creation folder dst/sub/empty"});
        row("up to date", "Effacer", both({"a", "sub/b", "l->x"}), {}, "examined 3", {});
        row("names that are not UTF-8", "", {"src/caf\xe9 \xff.txt=b", "src/\xce\xb1/\xd0\x96=g"},
            both({"caf\xe9 \xff.txt=b", "\xce\xb1/\xd0\x96=g"}), "examined 2, created 2, foldersCreated 1",
            {QString::fromUtf16(u"Creation dst/caf\xDCE9 \xDCFF.txt"), QString::fromUtf8("Creation dst/α/Ж"),
             QString::fromUtf8("Creation folder dst/α")});
        row("Macintosh names, found missing every run", "Renommer Effacer", {"src/" + quoted}, {},
            "examined 1, created 1, removed 1", {"Creation dst/" + PathFromBytes(quoted), "Delete dst/a-b"}, "0:");
        row("without sub-folders", "-MiroirSousDossiers Effacer",
            {"src/plain", "src/.hidden", "src/h#0x2", "src/dir/y", "dst/gone", "dst/.old", "dst/o#0x22", "dst/d/f"},
            {"dst/.old", "dst/d/f", "dst/o#0x22", "dst/plain", "src/.hidden", "src/dir/y", "src/h#0x2", "src/plain"},
            "examined 1, created 1, removed 1", {"Creation dst/plain", "Delete dst/gone"});
        row("other time, same size", "", {"src/f=new@2000", "dst/f=old@1000"}, both({"f=new"}),
            "examined 1, modified 1", {"Modification dst/f"});
        row("target newer", "", {"src/f=new@1000", "dst/f=old@2000"}, both({"f=new"}), "examined 1, modified 1",
            {"Modification dst/f"});
        row("other size, same time", "", {"src/f=new", "dst/f=longer"}, both({"f=new"}), "examined 1, modified 1",
            {"Modification dst/f"});
        row("same time and size", "", {"src/f=new", "dst/f=old"}, {}, "examined 1", {});
        row("read-only target", "", {"src/f=fresh", "dst/f=stale!%444"}, both({"f=fresh"}), "examined 1, modified 1",
            {"Modification dst/f"});
        row("newer by one tick", "Nouveau", {"src/f=new@1000.000000100", "dst/f=old@1000"}, both({"f=new"}),
            "examined 1, modified 1", {"Modification dst/f"});
        row("newer: equal times", "Nouveau", {"src/f=new@1000", "dst/f=longer@1000"}, {}, "examined 1", {});
        row("newer: older by one tick", "Nouveau", {"src/f=new@999.999999900", "dst/f=old@1000"}, {}, "examined 1", {});
        // 100 ns ticks since 1601 whose low 32 bits are 0x7FFFFFF0 and 0x80000010.
        row("newer: full 64-bit times", "Nouveau",
            {"src/up=new@1556703022.478132800", "dst/up=old@1556703022.478129600",
             "src/keep=new@1556703022.478129600", "dst/keep=old@1556703022.478132800"},
            {"dst/keep=old", "dst/up=new", "src/keep=new", "src/up=new"}, "examined 2, modified 1",
            {"Modification dst/up"});
        row("listing read again", "Nouveau", {"src/sub/a=new@1000", "dst/sub/a=old@2000", "src/sub/b=new@1000",
            "dst/sub/b=old@2000"}, {"dst/sub/^=old", "dst/sub/~=new", "src/sub/^=new", "src/sub/~=new"},
            "examined 2, modified 1", {"Modification dst/sub/~"}, "2:dst/sub/~=old@500");
        row("stopped in the mirror walk", "", {"src/sub/a", "src/sub/b"}, {"dst/sub/^", "src/sub/^", "src/sub/~"},
            "examined 1, created 1, foldersCreated 1", {"Creation dst/sub/^", "Creation folder dst/sub"}, "2:stop");
        row("source gone meanwhile", "", {"src/sub/a", "src/sub/b"}, {"dst/sub/^", "src/sub/^"},
            "examined 2, created 1, foldersCreated 1", {"Creation dst/sub/^", "Creation folder dst/sub"},
            "2:-src/sub/~");
        row("move: missing", "Deplacer Nouveau", {"src/m"}, {"dst/m", "src/"}, "examined 1, created 1, removed 1",
            {"Creation dst/m"});
        row("move: newer", "Deplacer Nouveau", {"src/f=new!@2000", "dst/f=old@1000"}, {"dst/f=new!", "src/"},
            "examined 1, modified 1, removed 1", {"Modification dst/f"});
        row("move: target newer, same bytes", "Deplacer Nouveau", {"src/f=same@1000", "dst/f=same@2000"},
            {"dst/f=same", "src/"}, "examined 1, removed 1", {"Delete dst/f"});
        row("move: target newer, other bytes", "Deplacer Nouveau", {"src/f=src@1000", "dst/f=target@2000"}, {},
            "examined 1", {});
        row("move: same time and size, other bytes", "Deplacer", {"src/f=abc", "dst/f=xyz"}, {}, "examined 1", {});
        row("move: target is the same file", "Deplacer Nouveau", {"src/f=only", "dst/f=>src/f"}, {}, "examined 1", {});
        row("move: a link to source", "Deplacer Nouveau", {"src/f=only@1000", "dst/f->../src/f"}, {}, "examined 1", {});
        row("move: target is the couple's source", "Deplacer Nouveau target=src", {"src/f=only"}, {}, "examined 1", {});
        row("move: source touched meanwhile", "Deplacer Nouveau", inSub,
            {"dst/sub/^=same", "dst/sub/~=same", "src/sub/~=same"}, "examined 2, removed 1", {"Delete dst/sub/^"},
            "2:src/sub/~=same@3000");
        row("move: target written meanwhile", "Deplacer Nouveau", inSub,
            {"dst/sub/^=same", "dst/sub/~=written", "src/sub/~=same"}, "examined 2, removed 1", {"Delete dst/sub/^"},
            "2:dst/sub/~=written");
        row("move: a folder where the source has a file", "Deplacer Nouveau Effacer", {"src/g", "dst/g/"}, {},
            "examined 1, failures 1", {"Creation dst/g !EISDIR"});
        row("move: temporaries in a source stay", "Deplacer Nouveau", {"src/.vell-tmp-Ab3dE9=partial", "src/f"},
            {"dst/f", "src/.vell-tmp-Ab3dE9=partial"}, "examined 1, created 1, removed 1", {"Creation dst/f"});
        // Young temporaries may be another copy's at work: they stay too.
        row("young temporaries in a target", "",
            {"src/sub/deeper/f", "src/sub/.vell-tmp-Ab3dE9=p", "dst/.vell-tmp-Ab3dE9=p", "dst/sub/.vell-tmp-Ab3dE9=p",
             "dst/sub/.vell-tmp-Zz9zz9/"},
            {"dst/.vell-tmp-Ab3dE9=p", "dst/sub/.vell-tmp-Ab3dE9=p", "dst/sub/.vell-tmp-Zz9zz9/", "dst/sub/deeper/f",
             "src/sub/.vell-tmp-Ab3dE9=p", "src/sub/deeper/f"},
            "examined 1, created 1, foldersCreated 1", {"Creation dst/sub/deeper/f", "Creation folder dst/sub/deeper"});
        row("folder where the source has a file", "Effacer",
            {"src/thing=file", "dst/thing/inner", "dst/thing/deeper/f", "dst/thing/deeper/l->x"},
            both({"thing=file"}), "examined 1, created 1, removed 3, foldersRemoved 2",
            {"Creation dst/thing", "Delete dst/thing/deeper/f", "Delete dst/thing/deeper/l",
             "Delete dst/thing/inner", "Delete folder dst/thing", "Delete folder dst/thing/deeper"});
        row("file where the source has a folder", "Effacer", {"src/name/f", "dst/name=a file"}, both({"name/f"}),
            "examined 1, created 1, removed 1, foldersCreated 1",
            {"Creation dst/name/f", "Creation folder dst/name", "Delete dst/name"});
        row("folder where the source has a file, kept", "", {"src/thing", "dst/thing/inner"}, {},
            "examined 1, failures 1", {"Creation dst/thing !EISDIR"});
        row("file where the source has a folder, kept", "", {"src/name/f", "src/other", "dst/name=a file"},
            {"dst/name=a file", "dst/other", "src/name/f", "src/other"}, "examined 2, created 1, failures 1",
            {"Creation dst/other", "Creation folder dst/name !ENOTDIR"});
        row("link where the source has a folder", "", {"src/d/f", "dst/d->../outside"}, both({"d/f"}),
            "examined 1, created 1, removed 1, foldersCreated 1",
            {"Creation dst/d/f", "Creation folder dst/d", "Delete dst/d"});
        row("FIFO where the source has a file", "Effacer", {"src/sub/p", "dst/sub/p|"}, {},
            "examined 1, failures 1", {"Creation dst/sub/p !EEXIST"});
        row("FIFO where the source has a folder", "Effacer", {"src/q/f", "dst/q|"}, {},
            "examined 1, failures 1", {"Creation folder dst/q !EEXIST"});
        row("source FIFO left out", "", {"src/pipe|", "src/f"}, {"dst/f", "src/f", "src/pipe|"},
            "examined 1, created 1", {"Creation dst/f"});
        row("links copied as links", "", {"src/out->../outside", "src/dangling->nowhere"},
            both({"dangling->nowhere", "out->../outside"}), "examined 2, created 2",
            {"Creation dst/dangling", "Creation dst/out"});
        row("obsolete files", "Effacer", {"src/kept", "dst/kept", "dst/gone", "dst/ro%444"}, both({"kept"}),
            "examined 1, removed 2", {"Delete dst/gone", "Delete dst/ro"});
        row("obsolete tree, one level a run", "Effacer", {"dst/X/x", "dst/X/Y/y", "dst/X/Y/Z/z"}, {"dst/X/Y/", "src/"},
            "removed 3, foldersRemoved 1",
            {"Delete dst/X/Y/Z/z", "Delete dst/X/Y/y", "Delete dst/X/x", "Delete folder dst/X/Y/Z"}, "0:");
        row("obsolete link and empty folders", "Effacer", {"src/a/", "dst/a/l->../../outside", "dst/a/c/", "dst/b/"},
            both({"a/"}), "removed 1, foldersRemoved 2",
            {"Delete dst/a/l", "Delete folder dst/a/c", "Delete folder dst/b"});
        row("obsolete folder gone meanwhile", "Effacer", {"dst/sub/"}, {"dst/", "src/"}, "", {}, "1:-dst/sub");
        row("stopped in a removal", "Effacer", {"src/sub", "dst/sub/a", "dst/sub/b"}, {"dst/sub/~", "src/sub"},
            "examined 1, removed 1", {"Delete dst/sub/^"}, "1:stop");
        row("stopped in the removal walk", "Effacer", {"dst/sub/a", "dst/sub/b"}, {"dst/sub/~", "src/"}, "removed 1",
            {"Delete dst/sub/^"}, "2:stop");
        row("no removal in move mode", "Deplacer Nouveau Effacer", {"dst/gone"}, {}, "", {});
        row("no file lines", "-FichiersLogs", {"src/a", "src/thing", "dst/thing/"},
            {"dst/a", "dst/thing/", "src/a", "src/thing"}, "examined 2, created 1, failures 1",
            {"Creation dst/thing !EISDIR"});
        row("a source that is gone", "Effacer source=nosuch", {"dst/f"}, {}, "", {});
        row("a target that is gone", "Effacer target=nosuch", {"src/f"}, {}, "examined 1", {});
        row("a source inside its target", "Effacer source=dst/data", {"dst/data/file", "dst/old"},
            {"dst/data/file", "dst/file", "src/"}, "examined 1, created 1, removed 1",
            {"Creation dst/file", "Delete dst/old"});
        row("a source inside its target, named by a file", "Effacer source=dst/data", {"dst/data/data=file"}, {},
            "examined 1, failures 1", {"Delete folder dst/data !EBUSY"});
        row("a target inside its source", "Effacer target=src/backup", {"src/a", "src/backup/"},
            {"dst/", "src/a", "src/backup/a"}, "examined 1, created 1", {"Creation src/backup/a"});
        row("attributes", "CopierAttributs", {"src/f%444", "src/d/#0x14", "dst/f", "dst/d/#0x10"},
            both({"d/#0x14", "f%444"}), "examined 1, attributes 2", {"Attributes dst/f", "Attributes folder dst/d"});
        const QByteArrayList mac{"src/mac", "src/mac$AFP_AfpInfo=i", "src/mac$AFP_Resource=r", "src/mac$Zone=z",
                                 "src/dir/%700", "src/dir$AFP_AfpInfo=d"};
        const QByteArrayList carried = both({"dir$AFP_AfpInfo=d", "dir/%700", "mac", "mac$AFP_AfpInfo=i",
                                             "mac$AFP_Resource=r", "mac$Zone=z"});
        const QStringList created{"Creation dst/mac", "Creation folder dst/dir"};
        const QString withPermissions = "examined 1, created 1, securities 2, foldersCreated 1";
        row("streams on NT 5", "CopierSecurite", mac, carried, withPermissions, created);
        row("streams on NT 4 service pack 4", "CopierSecurite NT4SP4", mac, carried, withPermissions, created);
        QByteArrayList withoutOthers = carried;
        withoutOthers.removeOne("dst/mac$Zone=z"); // only the two Macintosh streams are copied one by one
        row("streams on NT 4 service pack 3", "CopierSecurite NT4SP3", mac, withoutOthers, withPermissions, created);
        row("streams on NT 4 service pack 3, moved", "CopierSecurite NT4SP3 Deplacer Nouveau", mac,
            {"dst/dir$AFP_AfpInfo=d", "dst/dir/%700", "dst/mac", "dst/mac$AFP_AfpInfo=i", "dst/mac$AFP_Resource=r",
             "src/dir$AFP_AfpInfo=d", "src/dir/%700"},
            "examined 1, created 1, removed 1, securities 2, foldersCreated 1", created);
        row("no streams nor permissions but on NT", "CopierSecurite 9x", mac, QByteArrayList(mac) << "dst/dir/"
            << "dst/mac", "examined 1, created 1, foldersCreated 1", created);
        row("permissions of new items only", "CopierSecurite", {"src/d/%700", "src/d/f%600", "dst/d/f"}, {},
            "examined 1", {});
        row("permissions of folders", "CopierSecurite CopierSecuriteDossiers",
            {"src/d/%700", "src/d/f%600", "dst/d/f"}, {"dst/d/%700", "dst/d/f", "src/d/%700", "src/d/f%600"},
            "examined 1, securities 1", {"Security folder dst/d"});
        row("permissions of everything", "CopierSecurite CopierSecuriteTout", {"src/d/%700", "src/d/f%600", "dst/d/f"},
            both({"d/%700", "d/f%600"}), "examined 1, securities 2", {"Security dst/d/f", "Security folder dst/d"});
        row("obsolete folder deep", "Effacer", {"src/a/keep", "dst/a/keep", "dst/a/x/y/z", "dst/a/x/w"},
            {"dst/a/keep", "dst/a/x/", "src/a/keep"}, "examined 1, removed 2, foldersRemoved 1",
            {"Delete dst/a/x/w", "Delete dst/a/x/y/z", "Delete folder dst/a/x/y"}, "0:");
        row("obsolete items below 70 levels", "Effacer",
            both({deep + "a/f", deep + "b/f"}) << "dst/" + deep + "a/old" << "dst/" + deep + "b/old",
            both({deep + "a/f", deep + "b/f"}), "examined 2, removed 2",
            {"Delete dst/" + deep + "a/old", "Delete dst/" + deep + "b/old"});
        row("FIFO in the source keeps its namesake", "Effacer", {"src/a/p|", "src/a/f", "dst/a/p", "dst/a/f"}, {},
            "examined 1", {});
        row("obsolete mount point", "Effacer mount=dst/m", {"dst/m/"}, {"dst/m/precious", "src/"}, "", {});
        row("mount below an obsolete folder", "Effacer mount=dst/o/m", {"dst/o/m/", "dst/o/f"},
            {"dst/o/m/precious", "src/"}, "removed 1", {"Delete dst/o/f"});
        row("mount where the source has a file", "Effacer mount=dst/m", {"src/m", "dst/m/"},
            {"dst/m/precious", "src/m"}, "examined 1, failures 1", {"Delete folder dst/m !EBUSY"});
        row("mount below a folder where the source has a file", "Effacer mount=dst/o/m", {"src/o", "dst/o/m/"},
            {"dst/o/m/precious", "src/o"}, "examined 1, failures 1", {"Delete folder dst/o/m !EBUSY"});
        // As an ordinary user: each failure is reported and the walk goes on; a source that cannot be read is never
        // taken for one that is gone.
        row("denied: unreadable source folder", "denied Effacer", {"src/open/f", "src/locked/g", "dst/locked/g=copy",
            "dst/open/%777", "dst/%777", "dst/locked/%777", "src/locked/%0"},
            {"dst/locked/g=copy", "dst/open/f", "src/locked/g", "src/open/f"}, "examined 1, created 1, failures 1",
            {"Creation dst/open/f", "Reading folder src/locked !EACCES"});
        row("denied: unreadable source file", "denied CopierSecurite", {"src/plain", "src/secret%0", "dst/%777"},
            {"dst/plain", "src/plain", "src/secret"},
            "examined 2, created 1, securities 1, securitiesNot 1, failures 1",
            {"Creation dst/plain", "Creation dst/secret !EACCES"});
        row("denied: target folder that may not be written", "denied Effacer", {"src/new", "src/nd/f", "src/d/f",
            "src/changed=new data", "dst/changed=old", "dst/gone", "dst/e/", "dst/d->x"}, {}, "examined 4, failures 6",
            {"Creation dst/new !EACCES", "Creation folder dst/nd !EACCES", "Delete dst/d !EACCES",
             "Delete dst/gone !EACCES", "Delete folder dst/e !EACCES", "Modification dst/changed !EACCES"});
        row("denied: unreadable target folder", "denied Effacer", {"src/sub/f", "dst/sub/old", "dst/gone/x",
            "dst/%777", "dst/gone/%777", "dst/sub/%0"}, {"dst/sub/old", "src/sub/f"},
            "examined 1, removed 1, foldersRemoved 1, failures 1",
            {"Delete dst/gone/x", "Delete folder dst/gone", "Reading folder dst/sub !EACCES"});
        row("denied: attributes and permissions of another's items", "denied CopierAttributs CopierSecurite "
            "CopierSecuriteTout", {"src/f%444", "dst/f", "dst/%777", "src/d/#0x14%775", "dst/d/#0x10"},
            {"dst/d/#0x10", "dst/f", "src/d/#0x14", "src/f"}, "examined 1, securitiesNot 2, failures 4",
            {"Attributes dst/f !EPERM", "Attributes folder dst/d !EACCES", "Security dst/f !EPERM",
             "Security folder dst/d !EPERM"});
        row("denied: moved source that may not be deleted", "denied Deplacer Nouveau",
            {"src/f%666", "src/f$AFP_AfpInfo=i", "dst/%777"}, both({"f", "f$AFP_AfpInfo=i"}),
            "examined 1, created 1, failures 1", {"Creation dst/f", "Delete src/f !EACCES"});
        row("denied: stopped after a folder where the source has a file", "denied Effacer", {"src/t", "dst/t/x"}, {},
            "examined 1, failures 1", {"Delete dst/t/x !EACCES"}, "2:stop");
        row("denied: removing a folder where the source has a file", "denied Effacer",
            {"src/t", "dst/t/x", "dst/t/%777"}, {"dst/t/", "src/t"}, "examined 1, removed 1, failures 1",
            {"Delete dst/t/x", "Delete folder dst/t !EACCES"});
    }
    void turn()
    {
        QFETCH(Turn, t);
        TestCouple c;
        c.prepare(t.modes, t.before);
        const QByteArrayList unchanged = c.tree.snapshot();
        // A bind mount, in a mount namespace of the test's own so that not even a crash leaves it behind.
        const QByteArray mountPoint = c.tree.path(t.modes.section("mount=", 1).section(' ', 0, 0).toUtf8());
        const bool bindMount = t.modes.contains("mount=");
        const auto unmount = qScopeGuard([&] { (void)(bindMount && ::umount2(mountPoint.constData(), MNT_DETACH)); });
        if (bindMount) {
            // Nor is the removal walk ever run on "/": only its test is run here.
            const platform::UniqueFd root(platform::openFolderPath("/"));
            const platform::UniqueFd tree(platform::openFolderPath(c.tree.root()));
            QVERIFY(platform::isSystemRoot(root.get()) && !platform::isSystemRoot(tree.get()));
            static const bool isolated = ::unshare(CLONE_NEWNS) == 0
                && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
            const QByteArray outside = c.tree.path("outside");
            if (!isolated || ::mount(outside.constData(), mountPoint.constData(), nullptr, MS_BIND, nullptr) != 0)
                QSKIP("bind mounts are not permitted here");
        }
        c.actDuring(t.during);
        const bool denied = t.modes.contains("denied");
        const QString done = c.runOutcome(denied);
        for (QByteArray &item : t.after << "outside/precious")
            item = c.named(item);
        std::sort(t.after.begin(), t.after.end());
        t.after = t.after == QByteArrayList{"outside/precious"} ? unchanged : t.after;
        QCOMPARE(c.tree.snapshot(), t.after);
        QCOMPARE(done, c.named(t.totals + '\n' + t.events.join('\n')));
        if ((!t.during.isEmpty() && !t.during.endsWith(':')) || denied || bindMount)
            return;
        // A folder's line comes before the lines of what was mirrored into it.
        const QStringList inOrder = c.eventTexts(false);
        for (qsizetype i = 0; i < inOrder.size(); ++i)
            for (qsizetype j = 0; j < i && inOrder[i].startsWith("Creation folder "); ++j)
                QVERIFY(!inOrder[j].contains(inOrder[i].mid(16) + '/'));
        if (c.engine.flags.Effacer && !c.engine.flags.Deplacer) {
            // The run's removal walk passes over what its mirror walk found clean: it must do all that a walk of its
            // own does.
            TestCouple full;
            full.prepare(t.modes, t.before);
            full.mirror();
            full.removeObsolete();
            QCOMPARE(full.tree.snapshot(), t.after);
            QCOMPARE(full.outcome(), done);
        }
        if (!t.during.isEmpty())
            return;
        c.resetTotals();
        c.run();
        QCOMPARE(c.tree.snapshot(), t.after);
        QCOMPARE(c.eventTexts().filter(" !"), c.eventTexts()); // failures only, if any
    }
    // The mirror walk notes the highest target folders that held nothing the source lacks, and the removal walk does
    // not enter them; the note holds for the couple and folders it was taken on only.
    void theMirrorNotesCleanFolders()
    {
        TestCouple c;
        QVERIFY(c.tree.build({"src/a/b/f", "src/a/c/f", "src/d/e/f", "dst/a/b/f", "dst/a/b/old", "dst/a/c/f",
                              "dst/d/e/f"}));
        const auto walkedByRemoval = [&](MirrorContext &ctx) {
            const int yields = c.engine.host.yields;
            RemoveObsolete(ctx, c.source(), c.target());
            return c.engine.host.yields - yields;
        };
        MirrorContext ctx = c.engine.context();
        MirrorFolder(ctx, c.source(), c.target());
        QCOMPARE(ctx.cleanTargets.folders, (QSet<QByteArray>{"a/c", "d"}));
        QCOMPARE(walkedByRemoval(ctx), 6); // a and d, b and c in a, f and old in a/b
        MirrorFolder(ctx, c.source(), c.target());
        QCOMPARE(ctx.cleanTargets.folders, QSet<QByteArray>{""});
        QCOMPARE(walkedByRemoval(ctx), 0);
        QVERIFY(::rename(c.tree.path("dst").constData(), c.tree.path("old").constData()) == 0);
        QVERIFY(c.tree.build({"dst/a/b/f", "dst/gone"}));
        RemoveObsolete(ctx, c.source(), c.target());
        QCOMPARE(c.tree.snapshot("dst"), QByteArrayList{"dst/a/b/f"});
    }
    // 1,000 levels of 9-byte names (paths longer than PATH_MAX) mirrored and walked for removal, and 300 removed as a
    // whole, with fewer descriptors than levels.
    void deepTrees()
    {
        TestCouple c;
        QVERIFY(c.tree.build({"src/", "dst/", "old/", "other/level-abc=now a file"}));
        QVERIFY(c.tree.makeChain("src", "level-abc", 1000, "bottom"));
        QVERIFY(c.tree.makeChain("old", "level-abc", 300, "bottom"));
        struct rlimit saved;
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
        const struct rlimit tight{200, saved.rlim_max};
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &tight) == 0);
        c.mirror();
        QVERIFY(c.tree.makeChain("dst", "level-abc", 1000, "obsolete"));
        c.removeObsolete();
        const QString mirrored = c.engine.totals();
        c.resetTotals();
        c.engine.apply("Effacer");
        c.engine.run(c.tree.pathText("other"), c.tree.pathText("old")); // a file where the target has a tree
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &saved) == 0);
        QCOMPARE(mirrored, "examined 1, created 1, removed 1, foldersCreated 1000");
        QCOMPARE(c.engine.totals(), "examined 1, created 1, removed 1, foldersRemoved 300");
        QCOMPARE(c.tree.snapshot("old"), QByteArrayList{"old/level-abc=now a file"});
    }
};
QTEST_APPLESS_MAIN(TestFolderMirror)
#include "tst_foldermirror.moc"
