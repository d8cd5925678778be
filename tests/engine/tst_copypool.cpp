#include "common/enginefixture.h"
#include "engine/copypool.h"
#include "engine/orderedoutput.h"

using namespace vell;

// The pool and its ordered output under a stop. The twin rounds of tst_watchedruns hold pooled walks to sequential
// ones: the same totals, the same events in the same order, failures included.
class TestCopyPool : public QObject
{
    Q_OBJECT
private slots:
    // A stop ends the large copy a thread is in (nothing of it is left) and lets every other copy handed in end, as
    // the walk had made them before it saw the stop.
    void stopEndsOnlyTheLargeCopy()
    {
        TestTree tree;
        QVERIFY(tree.write("src/a", QByteArray(32 << 20, 'a')) && tree.mkdir("dst"));
        for (int i = 0; i < 40; ++i)
            QVERIFY(tree.write("src/f" + QByteArray::number(i), QByteArray(1 << 16, 'x')));
        const platform::UniqueFd src(platform::openFolderPath(tree.path("src")));
        const platform::UniqueFd tgt(platform::openFolderPath(tree.path("dst")));
        QStringList reported;
        CopyPool pool(1);
        pool.stop(); // before a is handed in: a fast disk could end 32 MiB before a later stop
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
        QVERIFY(reported.size() == 40 && !reported.contains("a"));
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
