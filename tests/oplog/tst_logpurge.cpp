#include "oplog/dailylog.h"
#include "oplog/logpurge.h"

#include "common/testtree.h"

#include <QTest>
#include <sys/stat.h>

using namespace vell;

class TestLogPurge : public QObject
{
    Q_OBJECT

    static QByteArray logName(const QDate &day)
    {
        return "Log Vell " + day.toString(QStringLiteral("yyyy-MM-dd")).toLatin1() + ".htm";
    }

    // `count` logs on consecutive days from `first`, written newest first so
    // that the order of creation says nothing about age.
    static bool writeLogs(TestTree &tree, const QDate &first, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            if (!tree.write(logName(first.addDays(i)), "old"))
                return false;
        }
        return true;
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

    static QByteArrayList namesFrom(const QDate &first, int count)
    {
        QByteArrayList names;
        for (int i = 0; i < count; ++i)
            names.append(logName(first.addDays(i)));
        return names;
    }

private slots:
    void newDayKeepsDelaiLogs_data()
    {
        QTest::addColumn<int>("present");
        QTest::addColumn<int>("delaiLogs");
        QTest::addColumn<int>("kept"); // the newest earlier logs left beside the new one
        QTest::newRow("12 logs, keep 10") << 12 << 10 << 9;
        QTest::newRow("fewer than kept") << 5 << 10 << 5;
        QTest::newRow("smallest setting") << 4 << 2 << 1;
        QTest::newRow("one keeps none") << 4 << 1 << 0;
        QTest::newRow("edited to negative") << 3 << std::numeric_limits<int32_t>::min() << 0;
    }
    void newDayKeepsDelaiLogs()
    {
        QFETCH(int, present);
        QFETCH(int, delaiLogs);
        QFETCH(int, kept);
        TestTree tree;
        QVERIFY(tree.isValid());
        const QDate first(2026, 11, 25); // across a month's end
        QVERIFY(writeLogs(tree, first, present));
        Settings settings;
        settings.PurgeLogs = true;
        settings.DelaiLogs = delaiLogs;
        const QDate today(2026, 12, 20);

        QVERIFY(OpenDailyLog(DailyLogFileName(tree.rootText(), today), settings));

        QByteArrayList expected = namesFrom(first.addDays(present - kept), kept);
        expected.append(logName(today));
        QCOMPARE(logsIn(tree), expected);
        QVERIFY(tree.read(logName(today)).startsWith("<html>\r\n"));
    }

    void noPurgeWithoutNewFile()
    {
        TestTree tree;
        QVERIFY(writeLogs(tree, QDate(2026, 12, 1), 12));
        Settings settings;
        settings.DelaiLogs = 10;
        settings.PurgeLogs = false;
        QVERIFY(OpenDailyLog(DailyLogFileName(tree.rootText(), QDate(2026, 12, 20)), settings));
        QCOMPARE(logsIn(tree).size(), 13);

        // The day's log exists: a later run of the day purges nothing.
        settings.PurgeLogs = true;
        QVERIFY(OpenDailyLog(DailyLogFileName(tree.rootText(), QDate(2026, 12, 20)), settings));
        QCOMPARE(logsIn(tree).size(), 13);
    }

    void onlyDailyLogsAreDeleted()
    {
        // Other names, folders, links (dangling or not) and FIFOs named like
        // logs are never touched, never followed, and never count among the
        // logs kept; a missing folder is no error.
        TestTree tree;
        QVERIFY(tree.write("elsewhere/Log Vell 2000-01-01.htm", "target"));
        const QByteArrayList others = {
            "Log Vell 2020-01-01.htm.bak", "log vell 2020-01-01.htm", "Log Vell 2020-1-01.htm",
            "Log Vell 2020-02-30.htm", "Log Vell 2020-01-01 copy.htm", "Log Velo 2020-01-01.htm",
            "Log Vell 2020-01-01.html", "notes.txt",
        };
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
        QVERIFY(tree.isLink("Log Vell 2029-01-02.htm"));
        QVERIFY(tree.isLink("Log Vell 2029-01-03.htm"));
        QVERIFY(tree.exists("Log Vell 2029-01-04.htm"));
        QCOMPARE(tree.read("elsewhere/Log Vell 2000-01-01.htm"), QByteArray("target"));
    }
};

QTEST_APPLESS_MAIN(TestLogPurge)
#include "tst_logpurge.moc"
