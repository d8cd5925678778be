// The option dialogs' logic: the delay's arrows and check, the slider's clamp, what OK writes, and the texts.
#include "base/programidentity.h"
#include "common/testtree.h"
#include "config/globaloptions.h"
#include "config/settingsfile.h"
#include <QTest>
#include <climits>

using namespace vell;

Q_DECLARE_METATYPE(vell::DelayLimit)

namespace {
} // namespace

class TestGlobalOptions : public QObject
{
    Q_OBJECT
private slots:
    void delaySteps_data()
    {
        QTest::addColumn<bool>("up");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<DelayLimit>("limit");
        QTest::newRow("down from 3") << false << "3" << 2 << DelayLimit::None;
        QTest::newRow("down from 2 reaches 1") << false << "2" << 1 << DelayLimit::Minimum;
        QTest::newRow("down from 1 keeps 1") << false << "1" << 1 << DelayLimit::Minimum;
        QTest::newRow("down from beyond 32 bits") << false << "99999999999" << INT_MAX - 1 << DelayLimit::None;
        QTest::newRow("up from 5") << true << "5" << 6 << DelayLimit::None;
        QTest::newRow("up from 59999 reaches 60000") << true << "59999" << 60000 << DelayLimit::Maximum;
        QTest::newRow("up from 60000 keeps 60000") << true << "60000" << 60000 << DelayLimit::Maximum;
        QTest::newRow("up from 59998") << true << "59998" << 59999 << DelayLimit::None;
        QTest::newRow("up from below 32 bits") << true << "-99999999999" << INT_MIN + 1 << DelayLimit::None;
    }
    void delaySteps()
    {
        QFETCH(bool, up);
        QFETCH(QString, text);
        const DelayStep step = up ? DelayStepUp(text) : DelayStepDown(text);
        QTEST(int(step.value), "value");
        QTEST(step.limit, "limit");
    }
    void checkDelay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stored"); // 0: refused
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("1") << "1" << 1;
        QTest::newRow("60000") << "60000" << 60000;
        QTest::newRow("60001") << "60001" << 0;
        QTest::newRow("rounded into range") << " 0.5" << 1;
        QTest::newRow("rounded out of range") << "60000.5" << 0;
        QTest::newRow("beyond 32 bits") << "1e12" << 0;
    }
    void checkDelay()
    {
        QFETCH(QString, text);
        QFETCH(int, stored);
        const std::optional<int32_t> delay = CheckDelay(text);
        QCOMPARE(delay.has_value(), stored != 0);
        if (delay)
            QCOMPARE(*delay, stored);
    }
    void sliderClampsStoredValue()
    {
        const QList<std::pair<int, int>> rows{{0, 1}, {1, 1}, {37, 37}, {100, 100}, {101, 100}}; // stored, shown
        for (const auto &[stored, shown] : rows)
            QCOMPARE(int(PerformanceSliderValue(stored)), shown);
    }
    void texts()
    {
        QCOMPARE(InvalidDelayMessage(" 7x", 1), "Valeur de temporisation incorrecte:  7x");
        QCOMPARE(DelayLimitMessage(DelayLimit::Maximum, 2), "Temporização máxima atingida");
    }
    // A failed write leaves memory as it was, so that Cancel changes nothing; of the prefixes, a second that fails on
    // its own leaves the first written and held.
    void failedWriteChangesNothing()
    {
        TestTree tree;
        const ProgramFiles files{tree.rootText()}, gone{tree.rootText() + "/gone"}; // no folder there, even for root
        Settings settings;
        settings.PrefixeCibleDefautUNC = QStringLiteral("//old/share");
        QVERIFY(StoreDelay(gone, 30, settings) < 0 && StorePerformance(gone, 30, settings) < 0);
        QVERIFY(StoreTargetPrefixes(gone, "/b", "//s/x", settings) < 0);
        QCOMPARE(settings.Temporisation, 10);
        QCOMPARE(settings.Performance, 1);
        QCOMPARE(settings.PrefixeCibleDefaut, QString());
        QVERIFY(tree.entries("").isEmpty());
        QCOMPARE(StoreTargetPrefixes(files, "/backup", "//a\nb", settings), -EINVAL);
        QCOMPARE(settings.PrefixeCibleDefaut, "/backup");
        QCOMPARE(settings.PrefixeCibleDefautUNC, "//old/share");
        QCOMPARE(tree.read("Vell.ini"), "[Configuration]\r\nPrefixeCibleDefaut=/backup\r\n");
    }
};

QTEST_APPLESS_MAIN(TestGlobalOptions)
#include "tst_globaloptions.moc"
