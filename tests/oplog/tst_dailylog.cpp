#include "oplog/dailylog.h"
#include "oplog/logencoding.h"
#include "oplog/logpurge.h"
#include "common/testtree.h"
#include <QLocale>
#include <QTest>

using namespace vell;

namespace {
QByteArray logName(const QDate &day) { return "Log Vell " + day.toString("yyyy-MM-dd").toLatin1() + ".htm"; }
// `count` logs on consecutive days from `first`, oldest first; with a tree, written into it newest first so that
// the order of creation says nothing about age.
QByteArrayList logs(const QDate &first, int count, TestTree *tree = nullptr)
{
    QByteArrayList names;
    for (int i = count - 1; i >= 0; --i) {
        names.prepend(logName(first.addDays(i)));
        if (tree && !tree->write(names.first(), "old"))
            names.first() += " (not written)";
    }
    return names;
}
} // namespace

class TestDailyLog : public QObject
{
    Q_OBJECT
private slots:
    void names()
    {
        QCOMPARE(DailyLogDay("Log Vell 2026-01-31.htm"), QDate(2026, 1, 31));
        QCOMPARE(DailyLogDay("Log Vell 2024-02-29.htm"), QDate(2024, 2, 29));
        for (const char *name : {"Log Vell 2026-02-30.htm", "Log Vell 2026-1-031.htm", "Log Vell 2026-01-31 copy.htm",
                                 "log vell 2026-01-31.htm", "Log Vell +026-01-31.htm"})
            QVERIFY2(DailyLogDay(name).isNull(), name);
        QCOMPARE(DailyLogFileName("/srv/logs", QDate(2026, 12, 5)), "/srv/logs/Log Vell 2026-12-05.htm");
        QCOMPARE(DailyLogFileName("/srv/logs/", QDate(2026, 12, 5)), "/srv/logs/Log Vell 2026-12-05.htm");
        QCOMPARE(DailyLogFileName("/", QDate(2026, 12, 5)), "/Log Vell 2026-12-05.htm");
    }
    void headerOncePerDay()
    {
        const QList<std::pair<int, QByteArray>> headings{{1, "Journal des op\xe9rations de miroir"},
                                                         {2, "Jornal das opera\xe7\xf5" "es de miror"},
                                                         {0, "Mirroring Logs"}}; // the key absent
        for (const auto &[langue, heading] : headings) {
            TestTree tree;
            Settings settings;
            settings.Langue = langue;
            const QDate day(2026, 12, 5); // not today: the header shows the file's own day
            const QString file = DailyLogFileName(tree.rootText(), day);
            QVERIFY(OpenDailyLog(file, settings));
            const QByteArray header = "<html>\r\n<head>\r\n<title>Logs Vell</title>\r\n</head>\r\n<body>\r\n"
                "<b><center><h1>" + heading + "</h1></center></b>\r\n<center><h3>"
                + LogFileBytes(QLocale::system().toString(day, QLocale::LongFormat)) + "</h3></center>\r\n";
            QCOMPARE(tree.read(logName(day)), header);
            QCOMPARE(AppendLogLine(file, "<small>Creation - /b/a</small><br>"), 0);
            settings.Langue = 1;
            QVERIFY(OpenDailyLog(file, settings)); // a later run the same day
            QCOMPARE(tree.read(logName(day)), header + "<small>Creation - /b/a</small><br>\r\n");
        }
    }
    // A line into a missing folder fails without making it; a FIFO must not block; a missing file is made without
    // header, also below a folder whose name is not UTF-8.
    void appendOnlyToFilesThatCanBe()
    {
        TestTree tree;
        QVERIFY(tree.mkfifo("fifo") && tree.mkdir("caf\xe9"));
        const QString gone = DailyLogFileName(tree.pathText("gone"), QDate(2026, 12, 5));
        QVERIFY(!OpenDailyLog(gone, Settings{}) && AppendLogLine(gone, "x") < 0 && !tree.exists("gone"));
        QVERIFY(AppendLogLine(tree.pathText("fifo"), "x") < 0);
        QVERIFY(AppendLogLine(tree.rootText(), "x") < 0); // a folder
        QCOMPARE(AppendLogLine(QString::fromUtf8(tree.root()) + "/caf" + QChar(0xDCE9) + "/new.htm", "a"), 0);
        QCOMPARE(tree.read("caf\xe9/new.htm"), QByteArray("a\r\n"));
    }
    void newDayKeepsDelaiLogs_data()
    {
        QTest::addColumn<bool>("purge");
        QTest::addColumn<int>("present");
        QTest::addColumn<int>("delaiLogs");
        QTest::addColumn<int>("kept"); // the newest earlier logs left beside the new one
        QTest::newRow("12 logs, keep 10") << true << 12 << 10 << 9;
        QTest::newRow("fewer than kept") << true << 5 << 10 << 5;
        QTest::newRow("smallest setting") << true << 4 << 2 << 1;
        QTest::newRow("one keeps none") << true << 4 << 1 << 0;
        QTest::newRow("edited to negative") << true << 3 << std::numeric_limits<int32_t>::min() << 0;
        QTest::newRow("no purge") << false << 12 << 10 << 12;
    }
    void newDayKeepsDelaiLogs()
    {
        QFETCH(bool, purge);
        QFETCH(int, present);
        QFETCH(int, delaiLogs);
        QFETCH(int, kept);
        TestTree tree;
        const QDate first(2026, 11, 25); // across a month's end
        (void)logs(first, present, &tree);
        Settings settings;
        settings.PurgeLogs = purge;
        settings.DelaiLogs = delaiLogs;
        const QString today = DailyLogFileName(tree.rootText(), QDate(2026, 12, 20));
        QVERIFY(OpenDailyLog(today, settings));
        const QByteArrayList expected = logs(first.addDays(present - kept), kept) << logName(QDate(2026, 12, 20));
        QCOMPARE(tree.entries({}), expected);
        settings.PurgeLogs = true;
        settings.DelaiLogs = 2;
        QVERIFY(OpenDailyLog(today, settings)); // the day's log exists: a later run of the day purges nothing
        QCOMPARE(tree.entries({}), expected);
    }
    // Other names, folders, links (dangling or not) and FIFOs named like logs are never touched, never followed,
    // and never count among the logs kept; a missing folder is no error.
    void onlyDailyLogsAreDeleted()
    {
        TestTree tree;
        QVERIFY(tree.build({"elsewhere/Log Vell 2000-01-01.htm", "Log Vell 2020-01-01.htm.bak", "notes.txt",
                            "log vell 2020-01-01.htm", "Log Vell 2020-1-01.htm", "Log Vell 2020-02-30.htm",
                            "Log Vell 2020-01-01 copy.htm", "Log Velo 2020-01-01.htm", "Log Vell 2020-01-01.html",
                            "Log Vell 2029-01-01.htm/inside.txt", "Log Vell 2029-01-03.htm->missing",
                            "Log Vell 2029-01-02.htm->elsewhere/Log Vell 2000-01-01.htm", "Log Vell 2029-01-04.htm|"}));
        (void)logs(QDate(2021, 3, 3), 1, &tree);
        const QByteArrayList kept = tree.snapshot();
        (void)logs(QDate(2021, 3, 1), 2, &tree);
        PurgeDailyLogs(tree.rootText(), 1);
        PurgeDailyLogs(tree.pathText("gone"), 0);
        QCOMPARE(tree.snapshot(), kept);
    }
};

QTEST_APPLESS_MAIN(TestDailyLog)
#include "tst_dailylog.moc"
