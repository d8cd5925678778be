#include "common/enginefixture.h"
#include "engine/copypool.h"
#include "engine/orderedoutput.h"

using namespace vell;

// The pool and its ordered output: copies run on threads, their outcomes counted and recorded in the order they were
// handed in, as a sequential walk does. The twin rounds of tst_watchedruns hold pooled walks to sequential ones.
class TestCopyPool : public QObject
{
    Q_OBJECT

    // Copies every file of src into `target` below the tree, in name order, an event "Creation folder <i>" after each,
    // on the pool when `pool` is set; returns the totals and the events, a line each.
    static QString copyAll(TestTree &tree, const QString &modes, const QByteArray &target, CopyPool *pool)
    {
        EngineFixture engine;
        engine.apply(modes);
        const platform::UniqueFd src(platform::openFolderPath(tree.path("src")));
        const platform::UniqueFd tgt(platform::openFolderPath(tree.path(target)));
        OrderedOutput output([&](const ItemEvent &e) { engine.events << e; });
        MirrorContext ctx = engine.context();
        ctx.record = [&](const ItemEvent &e) { output.add(e); };
        for (const QByteArray &name : tree.entries("src")) {
            CopyRequest request{src.get(), tgt.get(), name, name, !tree.exists(target + '/' + name),
                                engine.flags.Deplacer, true, true, false, {}};
            const auto apply = [&ctx, request, name](const CopyOutcome &outcome) {
                ApplyCopyOutcome(ctx, request, outcome, [&](bool inSource) { return (inSource ? "s/" : "t/") + name; });
            };
            if (CopyPool::Ticket ticket = pool ? pool->submit(request, false) : nullptr)
                output.addCopy(std::move(ticket), apply, 0);
            else
                apply(CopyWork(request));
            ctx.done(ItemOperation::Creation, true, [&] { return QString(name); });
            if (pool)
                output.flush(*pool);
        }
        if (pool)
            output.drain(*pool, {}, {});
        QStringList lines{engine.totals()};
        for (const ItemEvent &e : engine.events)
            lines << QString("%1 %2 %3 %4").arg(int(e.operation)).arg(e.folder).arg(e.path).arg(e.error);
        return lines.join('\n');
    }

private slots:
    // Pooled copies give the sequential copies' totals, events in the same order, and the same files, though a large
    // first file ends last.
    void sameOutcomeAsSequential_data()
    {
        QTest::addColumn<QString>("modes");
        QTest::addColumn<QByteArray>("inTargets"); // an item already in each target
        QTest::newRow("creations") << "" << QByteArray();
        QTest::newRow("moves") << "Deplacer" << QByteArray();
        QTest::newRow("a folder in the way fails") << "" << QByteArray("c/");
    }
    void sameOutcomeAsSequential()
    {
        QFETCH(QString, modes);
        QFETCH(QByteArray, inTargets);
        TestTree tree;
        const auto sources = [&] {
            return tree.write("src/a", QByteArray(8 << 20, 'a')) && tree.build({"src/b=bb", "src/c=cc", "src/d=dd"});
        };
        QVERIFY(sources() && tree.build({"one/" + inTargets, "two/" + inTargets}));
        const QString sequential = copyAll(tree, modes, "one", nullptr);
        QVERIFY(sources()); // the moved ones back for the pool
        CopyPool pool(2);
        QCOMPARE(copyAll(tree, modes, "two", &pool), sequential);
        QByteArrayList pooled = tree.snapshot("two");
        for (QByteArray &line : pooled)
            line.replace(0, 3, "one");
        QCOMPARE(pooled, tree.snapshot("one"));
        QCOMPARE(sequential.contains("failures"), !inTargets.isEmpty());
    }
    // A stop ends the large copy a thread is in (nothing of it is left) and lets every other copy handed in end, as
    // the walk had made them before it saw the stop.
    void stopEndsOnlyTheLargeCopy()
    {
        TestTree tree;
        QVERIFY(tree.write("src/a", QByteArray(32 << 20, 'a')) && tree.mkdir("dst")); // the thread is in a at the stop
        for (int i = 0; i < 40; ++i)
            QVERIFY(tree.write("src/f" + QByteArray::number(i), QByteArray(1 << 16, 'x')));
        const platform::UniqueFd src(platform::openFolderPath(tree.path("src")));
        const platform::UniqueFd tgt(platform::openFolderPath(tree.path("dst")));
        QStringList reported;
        CopyPool pool(1);
        OrderedOutput output([&](const ItemEvent &e) { reported << e.path; });
        for (const QByteArray &name : tree.entries("src")) {
            const CopyRequest request{src.get(), tgt.get(), name, name, true, false, true, true, false, {}};
            output.addCopy(pool.submit(request, name == "a"), [&reported, name](const CopyOutcome &o) {
                if (o.rc == 0)
                    reported << QString(name);
                else
                    QCOMPARE(o.rc, -ECANCELED); // a running copy was asked to end
            }, 0);
        }
        output.drain(pool, {}, [] { return true; });
        reported.sort();
        const QByteArrayList inTarget = tree.entries("dst");
        QCOMPARE(QStringList(inTarget.begin(), inTarget.end()).join(' '), reported.join(' '));
        QVERIFY(reported.size() >= 40 && !reported.contains("a")); // the stop came long before 32 MiB were written
    }
    // A stop during a pooled walk: every copy reported is in the target, nothing else is (no temporary either), and
    // a moved source is in one place or the other.
    void stopDuringAPooledWalk_data()
    {
        QTest::addColumn<QString>("modes");
        QTest::newRow("copies") << "";
        QTest::newRow("moves") << "Deplacer";
    }
    void stopDuringAPooledWalk()
    {
        QFETCH(QString, modes);
        QByteArrayList items;
        for (int i = 0; i < 30; ++i)
            items << "src/f" + QByteArray::number(i) + "=data" + QByteArray::number(i);
        TestCouple c;
        c.prepare(modes, items);
        c.actDuring("6:stop");
        c.engine.settings.CopiesSimultanees = 2;
        c.run();
        const QStringList reported = c.eventTexts().filter("Creation dst/").replaceInStrings("Creation dst/", "");
        const QByteArrayList inTarget = c.tree.entries("dst");
        QCOMPARE(QStringList(inTarget.begin(), inTarget.end()), reported);
        QVERIFY(reported.size() < 30);
        for (int i = 0; i < 30; ++i) {
            const QByteArray name = "f" + QByteArray::number(i);
            QVERIFY(c.tree.exists("src/" + name) || c.tree.read("dst/" + name) == "data" + QByteArray::number(i));
            QCOMPARE(c.tree.exists("src/" + name), !modes.contains("Deplacer") || !reported.contains(name));
        }
    }
};

QTEST_APPLESS_MAIN(TestCopyPool)
#include "tst_copypool.moc"
