#include "oplog/dailylog.h"
#include "oplog/logencoding.h"

#include "common/testtree.h"

#include <QLocale>
#include <QTest>

using namespace vell;

class TestDailyLog : public QObject
{
    Q_OBJECT

    static QByteArray expectedHeader(const QByteArray &heading, const QDate &day)
    {
        const QByteArray longDate = LogFileBytes(QLocale::system().toString(day, QLocale::LongFormat));
        return "<html>\r\n<head>\r\n<title>Logs Vell</title>\r\n</head>\r\n<body>\r\n"
               "<b><center><h1>" + heading + "</h1></center></b>\r\n"
               "<center><h3>" + longDate + "</h3></center>\r\n";
    }

private slots:
    void fileName_data()
    {
        QTest::addColumn<QString>("pathLogs");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder") << QStringLiteral("/srv/logs") << QStringLiteral("/srv/logs/Log Vell 2026-12-05.htm");
        QTest::newRow("trailing slash") << QStringLiteral("/srv/logs/") << QStringLiteral("/srv/logs/Log Vell 2026-12-05.htm");
        QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("/Log Vell 2026-12-05.htm");
    }
    void fileName()
    {
        QFETCH(QString, pathLogs);
        QFETCH(QString, expected);
        QCOMPARE(DailyLogFileName(pathLogs, QDate(2026, 12, 5)), expected);
    }

    void dayOfName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QDate>("day");
        QTest::newRow("log") << QStringLiteral("Log Vell 2026-01-31.htm") << QDate(2026, 1, 31);
        QTest::newRow("leap day") << QStringLiteral("Log Vell 2024-02-29.htm") << QDate(2024, 2, 29);
        QTest::newRow("no such day") << QStringLiteral("Log Vell 2026-02-30.htm") << QDate();
        QTest::newRow("short month") << QStringLiteral("Log Vell 2026-1-031.htm") << QDate();
        QTest::newRow("suffix") << QStringLiteral("Log Vell 2026-01-31 copy.htm") << QDate();
        QTest::newRow("other case") << QStringLiteral("log vell 2026-01-31.htm") << QDate();
        QTest::newRow("signs") << QStringLiteral("Log Vell +026-01-31.htm") << QDate();
    }
    void dayOfName()
    {
        QFETCH(QString, name);
        QFETCH(QDate, day);
        QCOMPARE(DailyLogDay(name), day);
    }

    void headerOncePerDay_data()
    {
        QTest::addColumn<int>("langue");
        QTest::addColumn<QByteArray>("heading");
        QTest::newRow("french") << 1 << QByteArray("Journal des op\xe9rations de miroir");
        QTest::newRow("portuguese") << 2 << QByteArray("Jornal das opera\xe7\xf5" "es de miror");
        QTest::newRow("english") << 3 << QByteArray("Mirroring Logs");
        QTest::newRow("absent key") << 0 << QByteArray("Mirroring Logs");
    }
    void headerOncePerDay()
    {
        QFETCH(int, langue);
        QFETCH(QByteArray, heading);
        TestTree tree;
        QVERIFY(tree.isValid());
        Settings settings;
        settings.Langue = langue;
        const QDate day(2026, 12, 5);
        const QString file = DailyLogFileName(tree.rootText(), day);
        const QByteArray name = "Log Vell 2026-12-05.htm";

        QVERIFY(OpenDailyLog(file, settings));
        const QByteArray header = expectedHeader(heading, day);
        QCOMPARE(tree.read(name), header);
        QCOMPARE(header.count("\r\n"), 7);
        QCOMPARE(header.count('\n'), 7);

        QCOMPARE(AppendLogLine(file, QStringLiteral("<small>Creation - /b/a</small><br>")), 0);
        settings.Langue = 1;
        QVERIFY(OpenDailyLog(file, settings)); // a later run the same day
        QCOMPARE(tree.read(name), header + "<small>Creation - /b/a</small><br>\r\n");
    }

    void appendOnlyToFilesThatCanBe()
    {
        // A line into a missing folder fails without making it; a FIFO must
        // not block; a line into a missing file makes it without header.
        TestTree tree;
        QVERIFY(tree.mkfifo("fifo"));
        QVERIFY(tree.mkdir("folder"));
        const QString gone = DailyLogFileName(tree.pathText("gone"), QDate(2026, 12, 5));
        QVERIFY(!OpenDailyLog(gone, Settings{}));
        QVERIFY(AppendLogLine(gone, QStringLiteral("x")) < 0);
        QVERIFY(!tree.exists("gone"));
        QVERIFY(AppendLogLine(tree.pathText("fifo"), QStringLiteral("x")) < 0);
        QVERIFY(AppendLogLine(tree.pathText("folder"), QStringLiteral("x")) < 0);
        QCOMPARE(AppendLogLine(tree.pathText("new.htm"), QStringLiteral("a")), 0);
        QCOMPARE(tree.read("new.htm"), QByteArray("a\r\n"));
    }

    void appendThroughUndecodableFolderName()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("caf\xe9"));
        const QString folder = QString::fromUtf8(tree.root()) + QLatin1String("/caf") + QChar(0xDCE9);
        QVERIFY(OpenDailyLog(DailyLogFileName(folder, QDate(2026, 12, 5)), Settings{}));
        QVERIFY(tree.exists("caf\xe9/Log Vell 2026-12-05.htm"));
    }
};

QTEST_APPLESS_MAIN(TestDailyLog)
#include "tst_dailylog.moc"
