// The daily logs in real folders: their names, header and entries, the purge, and the viewer's listing and deletion.
#include "oplog/dailylog.h"
#include "oplog/logencoding.h"
#include "oplog/logline.h"
#include "oplog/logpurge.h"
#include "oplog/logviewer.h"
#include "oplog/logwords.h"
#include "platform/pathcodec.h"
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
// Purging on, the logs present, DelaiLogs, and the newest earlier logs kept beside the new one.
struct Purge { bool purge; int present, delaiLogs, kept; };
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
    // The first log of a day purges the oldest logs.
    void newDayKeepsDelaiLogs()
    {
        const Purge rows[] = {{true, 12, 10, 9}, {true, 5, 10, 5}, {true, 4, 2, 1}, {true, 4, 1, 0},
                              {true, 3, INT32_MIN, 0}, {false, 12, 10, 12}};
        for (const auto &[purge, present, delaiLogs, kept] : rows) {
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
    // Which logs the viewer lists under which date, and deleting exactly one.
    void listsLogsOldestFirstAndDeletesExactlyOne()
    {
        TestTree tree;
        QVERIFY(tree.build({"Log Vell 2026-12-05.htm", "Log Vell 2025-01-31.htm", "Log Vell 2026-12-05 copy.htm",
                            "Log Vell 2026-03-01.htm", "Log Vell.htm", "Log Vell 2026-01-01.txt", "Journal.htm",
                            "log vell 2026-01-02.htm", "Log Vell 2026-02-02.htm/",
                            "Log Vell 2026-02-03.htm->Log Vell 2026-03-01.htm"}));
        QList<ListedLog> expected{{"2025-01-31", "Log Vell 2025-01-31.htm"}, {"2026-03-01", "Log Vell 2026-03-01.htm"},
                                  {"2026-12-05", "Log Vell 2026-12-05 copy.htm"},
                                  {"2026-12-05", "Log Vell 2026-12-05.htm"}, {"htm", "Log Vell.htm"}};
        QCOMPARE(ListLogs(tree.rootText()), expected);
        QVERIFY(ListLogs(tree.pathText("gone")).isEmpty());
        QCOMPARE(LogPath("/srv/logs/", "a.htm"), "/srv/logs/a.htm");
        QCOMPARE(LogPath("/srv/logs", "a.htm"), "/srv/logs/a.htm");
        QByteArrayList entries = tree.entries("");
        QCOMPARE(DeleteLog(tree.rootText(), "Log Vell 2026-12-05.htm"), 0);
        QCOMPARE(DeleteLog(tree.rootText(), "Log Vell 2026-12-05.htm"), -ENOENT);
        QVERIFY(DeleteLog(tree.rootText(), "Log Vell 2026-02-02.htm") < 0); // a folder
        QVERIFY(DeleteLog(tree.rootText(), "Log Vell 2026-02-03.htm") < 0); // a link
        entries.removeOne("Log Vell 2026-12-05.htm");
        QCOMPARE(tree.entries(""), entries);
    }
    void texts()
    {
        QCOMPARE(LogViewerTitle(2), "Ver os jornais - [Fechar para Vell] ->");
        QCOMPARE(DeleteLogText("2026-12-05", 2), "Suprimir o jornal '2026-12-05'");
        QCOMPARE(LogMenuCancelText(2), "Cancelar");
        QVERIFY(DeleteLogFailedMessage("/l/x.htm", -EACCES, 0).endsWith("/l/x.htm: Permission denied"));
    }
    // The entries as they land in the file: built by the line builders, written by AppendLogLine, read back as bytes.
    void entries_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("bytes");
        const auto row = [](const char *name, const QString &line, const QByteArray &bytes) {
            QTest::newRow(name) << line << bytes;
        };
        // An item's line in language 1 (French), 2 (Portuguese) or 3 (English); the bytes inside <small>.
        const auto item = [&](const char *name, int langue, ItemOperation operation, bool folder, const char *path,
                              int error, const QByteArray &bytes) {
            const ItemEvent event{operation, folder, QString::fromUtf8(path), error};
            row(name, ItemLogLine(LogWordsFor(langue), event), "<small>" + bytes + "</small><br>\r\n");
        };
        using enum ItemOperation;
        item("english file creation", 3, Creation, false, "/b/letter.doc", 0, "Creation - /b/letter.doc");
        item("english folder attributes", 3, Attributes, true, "/P", 0, "<i>Modification attributes folder</i> - /P");
        item("french folder creation", 1, Creation, true, "/b/P", 0, "<i>Cr\xe9" "ation dossier</i> - /b/P");
        item("french security", 1, Security, false, "/b/a", 0, "S\xe9" "curit\xe9 modifi\xe9" "e - /b/a");
        item("portuguese folder delete", 2, Delete, true, "/b/x", 0, "<i>Supress\xe3o pasta</i> - /b/x");
        item("portuguese modification", 2, Modification, false, "/b/x", 0, "Modifica\xe7\xe3o - /b/x");
        item("failed copy, markup in the name", 3, Creation, false, "/b/R&D <1>", ENOSPC,
             "<b>Failure</b> Creation - /b/R&amp;D &lt;1&gt;: No space left on device");
        item("failed folder reading, french", 1, Reading, true, "/s/x", EACCES,
             "<b>\xc9" "chec</b> <i>Lecture dossier</i> - /s/x: Permission denied");
        item("failed log writing, portuguese", 2, Writing, false, "/l", EROFS,
             "<b>Falha</b> Escrita - /l: Read-only file system");
        row("unknown folder", UnknownFolderLogLine("14:03:27 - Unknown target folder", "/backup/"),
            "14:03:27 - Unknown target folder: /backup/<br>\r\n");
        row("summary", SummaryLogEntry("Monday - 14:05:00; 3 files in 1 source folder", "Files: 3 created, 0 removed"),
            "Monday - 14:05:00; 3 files in 1 source folder<br>Files: 3 created, 0 removed<br><hr>\r\n");
        row("summary with failures", SummaryLogEntry("l1", "l2", "2 failures; see <log>"),
            "l1<br>l2<br>2 failures; see &lt;log&gt;<br><hr>\r\n");
        row("markup in an unknown folder", UnknownFolderLogLine("t", "/a&b/<i>/"), "t: /a&amp;b/&lt;i&gt;/<br>\r\n");
        row("failure for terminals, unescaped", FailureText(LogWordsFor(3), {Delete, true, "/t/a&b", EACCES}),
            "Failure: Delete folder - /t/a&b: Permission denied\r\n");
        row("an escaped name is not escaped again", FileLogLine(LogWordsFor(3).LogWordCreation, "/b/&amp;"),
            "<small>Creation - /b/&amp;amp;</small><br>\r\n");
        // Text beyond Windows-1252 becomes character references; controls but the tab are replaced.
        const auto encoded = [&](const char *name, const QString &text, const QByteArray &bytes) {
            row(name, text, bytes + "\r\n");
        };
        encoded("french accents", QStringLiteral("àçéêîôùÿ"), "\xe0\xe7\xe9\xea\xee\xf4\xf9\xff");
        encoded("portuguese", QStringLiteral("ãõáíóúÇÃ"), "\xe3\xf5\xe1\xed\xf3\xfa\xc7\xc3");
        encoded("windows-1252", QStringLiteral("€Œœ…—™Ÿ"), "\x80\x8c\x9c\x85\x97\x99\x9f");
        encoded("greek", QStringLiteral("αβ"), "&#945;&#946;");
        encoded("cyrillic", QStringLiteral("Жук"), "&#1046;&#1091;&#1082;");
        encoded("emoji", QStringLiteral("a😀b"), "a&#128512;b");
        encoded("markup passes", QStringLiteral("<b>&amp;</b>"), "<b>&amp;</b>");
        encoded("tab kept", QStringLiteral("a\tb"), "a\tb");
        encoded("line break in a name", QStringLiteral("a\nb\rc"), "a&#65533;b&#65533;c");
        encoded("DEL, C1 controls", QString(QChar(0x7F)) + QChar(0x80) + QChar(0x9F), "&#65533;&#65533;&#65533;");
        encoded("undecodable name byte", PathFromBytes("caf\xe9"), "caf&#65533;");
        encoded("lone high surrogate", QString(QChar(0xD83D)) + QLatin1Char('x'), "&#65533;x");
    }
    void entries()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, bytes);
        TestTree tree;
        QCOMPARE(AppendLogLine(tree.pathText("log.htm"), line), 0);
        QCOMPARE(tree.read("log.htm"), bytes);
    }
};

QTEST_APPLESS_MAIN(TestDailyLog)
#include "tst_dailylog.moc"
