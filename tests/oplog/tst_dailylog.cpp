#include "oplog/dailylog.h"
#include "oplog/logencoding.h"
#include "oplog/logpurge.h"

#include "common/testtree.h"

#include <QLocale>
#include <QTest>
#include <sys/stat.h>

using namespace vell;

// The day's log file: its name, its header, its lines, and the purge of
// the older logs that its creation runs.
class TestDailyLog : public QObject
{
    Q_OBJECT

    static QByteArray logName(const QDate &day) { return "Log Vell " + day.toString("yyyy-MM-dd").toLatin1() + ".htm"; }

    // `count` logs on consecutive days from `first`, written newest first so
    // that the order of creation says nothing about age.
    static bool writeLogs(TestTree &tree, const QDate &first, int count)
    {
        for (int i = count - 1; i >= 0; --i)
            if (!tree.write(logName(first.addDays(i)), "old"))
                return false;
        return true;
    }

    static QByteArrayList namesFrom(const QDate &first, int count)
    {
        QByteArrayList names;
        for (int i = 0; i < count; ++i)
            names.append(logName(first.addDays(i)));
        return names;
    }

    // The regular files named like a day's log, sorted.
    static QByteArrayList logsIn(const TestTree &tree)
    {
        QByteArrayList logs;
        for (const QByteArray &name : tree.entries({})) {
            struct stat st;
            if (DailyLogDay(QString::fromLatin1(name)).isValid() && ::lstat(tree.path(name).constData(), &st) == 0
                && S_ISREG(st.st_mode))
                logs.append(name);
        }
        return logs;
    }

private slots:
    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QDate>("day");
        QTest::newRow("log") << "Log Vell 2026-01-31.htm" << QDate(2026, 1, 31);
        QTest::newRow("leap day") << "Log Vell 2024-02-29.htm" << QDate(2024, 2, 29);
        QTest::newRow("no such day") << "Log Vell 2026-02-30.htm" << QDate();
        QTest::newRow("short month") << "Log Vell 2026-1-031.htm" << QDate();
        QTest::newRow("suffix") << "Log Vell 2026-01-31 copy.htm" << QDate();
        QTest::newRow("other case") << "log vell 2026-01-31.htm" << QDate();
        QTest::newRow("signs") << "Log Vell +026-01-31.htm" << QDate();
    }
    void names()
    {
        QFETCH(QString, name);
        QFETCH(QDate, day);
        QCOMPARE(DailyLogDay(name), day);
        QCOMPARE(DailyLogFileName("/srv/logs", QDate(2026, 12, 5)), "/srv/logs/Log Vell 2026-12-05.htm");
        QCOMPARE(DailyLogFileName("/srv/logs/", QDate(2026, 12, 5)), "/srv/logs/Log Vell 2026-12-05.htm");
        QCOMPARE(DailyLogFileName("/", QDate(2026, 12, 5)), "/Log Vell 2026-12-05.htm");
    }

    void headerOncePerDay_data()
    {
        QTest::addColumn<int>("langue");
        QTest::addColumn<QByteArray>("heading");
        QTest::newRow("french") << 1 << QByteArray("Journal des op\xe9rations de miroir");
        QTest::newRow("portuguese") << 2 << QByteArray("Jornal das opera\xe7\xf5" "es de miror");
        QTest::newRow("absent key") << 0 << QByteArray("Mirroring Logs");
    }
    void headerOncePerDay()
    {
        QFETCH(int, langue);
        QFETCH(QByteArray, heading);
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

    void appendOnlyToFilesThatCanBe()
    {
        // A line into a missing folder fails without making it; a FIFO must
        // not block; a missing file is made without header, also below a
        // folder whose name is not UTF-8.
        TestTree tree;
        QVERIFY(tree.mkfifo("fifo"));
        QVERIFY(tree.mkdir("caf\xe9"));
        const QString gone = DailyLogFileName(tree.pathText("gone"), QDate(2026, 12, 5));
        QVERIFY(!OpenDailyLog(gone, Settings{}));
        QVERIFY(AppendLogLine(gone, "x") < 0);
        QVERIFY(!tree.exists("gone"));
        QVERIFY(AppendLogLine(tree.pathText("fifo"), "x") < 0);
        QVERIFY(AppendLogLine(tree.rootText(), "x") < 0); // a folder
        const QString odd = QString::fromUtf8(tree.root()) + "/caf" + QChar(0xDCE9) + "/new.htm";
        QCOMPARE(AppendLogLine(odd, "a"), 0);
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
        QVERIFY(writeLogs(tree, first, present));
        Settings settings;
        settings.PurgeLogs = purge;
        settings.DelaiLogs = delaiLogs;
        const QString today = DailyLogFileName(tree.rootText(), QDate(2026, 12, 20));
        QVERIFY(OpenDailyLog(today, settings));
        const QByteArrayList expected = namesFrom(first.addDays(present - kept), kept) << logName(QDate(2026, 12, 20));
        QCOMPARE(logsIn(tree), expected);
        // The day's log exists: a later run of the day purges nothing.
        settings.PurgeLogs = true;
        settings.DelaiLogs = 2;
        QVERIFY(OpenDailyLog(today, settings));
        QCOMPARE(logsIn(tree), expected);
    }

    void onlyDailyLogsAreDeleted()
    {
        // Other names, folders, links (dangling or not) and FIFOs named like
        // logs are never touched, never followed, and never count among the
        // logs kept; a missing folder is no error.
        TestTree tree;
        QVERIFY(tree.write("elsewhere/Log Vell 2000-01-01.htm", "target"));
        const QByteArrayList others = {"Log Vell 2020-01-01.htm.bak", "log vell 2020-01-01.htm",
                                       "Log Vell 2020-1-01.htm",      "Log Vell 2020-02-30.htm",
                                       "Log Vell 2020-01-01 copy.htm", "Log Velo 2020-01-01.htm",
                                       "Log Vell 2020-01-01.html",    "notes.txt"};
        for (const QByteArray &name : others)
            QVERIFY(tree.write(name, "keep"));
        QVERIFY(tree.write("Log Vell 2029-01-01.htm/inside.txt", "keep")); // a folder with a log's name
        QVERIFY(tree.symlink("Log Vell 2029-01-02.htm", "elsewhere/Log Vell 2000-01-01.htm"));
        QVERIFY(tree.symlink("Log Vell 2029-01-03.htm", "missing"));
        QVERIFY(tree.mkfifo("Log Vell 2029-01-04.htm"));
        QVERIFY(writeLogs(tree, QDate(2021, 3, 1), 3));
        PurgeDailyLogs(tree.rootText(), 1);
        PurgeDailyLogs(tree.pathText("gone"), 0);
        QCOMPARE(logsIn(tree), namesFrom(QDate(2021, 3, 3), 1));
        for (const QByteArray &name : others)
            QCOMPARE(tree.read(name), QByteArray("keep"));
        QCOMPARE(tree.read("Log Vell 2029-01-01.htm/inside.txt"), QByteArray("keep"));
        QVERIFY(tree.isLink("Log Vell 2029-01-02.htm") && tree.isLink("Log Vell 2029-01-03.htm"));
        QVERIFY(tree.exists("Log Vell 2029-01-04.htm"));
        QCOMPARE(tree.read("elsewhere/Log Vell 2000-01-01.htm"), QByteArray("target"));
    }
};

QTEST_APPLESS_MAIN(TestDailyLog)
#include "tst_dailylog.moc"
