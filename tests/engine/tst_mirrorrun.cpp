#include "common/enginefixture.h"
#include "engine/eventpump.h"
#include "engine/runtexts.h"
#include <QFileInfo>

using namespace vell;

// The alerts each unknown folder raises: %1 "source" or "target", %2 the folder.
struct Alerts { QString options; bool serviceRunning; QStringList perAlert; };
// fstab ("<src>" the source's path as fstab writes it), the file system remembered ("now" the source's own), and why
// the source is taken for unknown ("" when mirrored).
struct Disk { QByteArray fstab; QString fileSystem; QByteArrayList before; QString reason; };
// The couples (and options to clear, "-FichiersLogs"), the totals of the walks, the end status, the failures reported
// and the summary's third line.
struct Failures { QByteArrayList before; QStringList couples; QString changes; int status = 0; QStringList reports = {};
                  QString line3 = {}; };

class TestMirrorRun : public QObject
{
    Q_OBJECT
private slots:
    // Every couple is counted, and each unknown folder raises the alerts its options ask for, source before target.
    void alertsOfUnknownFolders_data()
    {
        QTest::addColumn<Alerts>("alerts");
        const QString netSend = "command net|send|Administrator|Warning from Vell: unknown folder";
        QTest::newRow("notice, beep, log")
            << Alerts{"ErreurDossier ErreurDossierSon Logs", false, {"notice 14:03:27 - Unknown %1 folder", "beep"}};
        QTest::newRow("net send, no service") << Alerts{"ErreurDossierNetSend ErreurDossierEventLog", false, {netSend}};
        QTest::newRow("event log of the service")
            << Alerts{"ErreurDossierEventLog", true, {"event 2 14:03:27 - Unknown %1 folder: %2/"}};
    }
    void alertsOfUnknownFolders()
    {
        QFETCH(Alerts, alerts);
        auto &[options, serviceRunning, perAlert] = alerts;
        ProgramFixture p({"good/f", "dst/old", "ok/"},
                         {">ok", "ok>", "missing>ok", "ok>missing2", "missing3>missing4", "good>dst"});
        p.engine.apply("-FichiersLogs " + options);
        p.serviceRunning = serviceRunning;
        p.controller.StartStop();
        QStringList expected{"active"};
        for (const QString alert : {"source missing", "target missing2", "source missing3", "target missing4"})
            for (const QString &event : perAlert)
                expected << QString(event).replace("%1", alert.section(' ', 0, 0))
                                .replace("%2", p.tree.pathText(alert.section(' ', 1).toUtf8()));
        QCOMPARE(p.engine.host.events, expected);
        QVERIFY2(p.engine.host.statusText.contains("; 1 file in 4 source folders (3 invalid source folders; "
                                                   "3 invalid target folders)\nFiles: 1 created"),
                 qPrintable(p.engine.host.statusText));
        QCOMPARE(p.log().contains(p.withRoot("14:03:27 - Unknown target folder: <root>/missing4/<br>")),
                 options.contains("ErreurDossier "));
        QCOMPARE(p.log().contains("<hr>"), options.contains("Logs")); // the run created a file
        QCOMPARE(p.engine.host.refreshes, QList<bool>{true});
        QVERIFY(p.tree.exists("dst/old")); // the couple does not remove obsolete files
        QVERIFY(!p.log().contains("Creation")); // no file lines wanted
        QCOMPARE(p.engine.host.counterTexts.filter("/"), (QStringList{"1/6", "2/6", "3/6", "4/6", "5/6", "6/6"}));
    }
    // An empty source over a target that is not empty is a disk that is not mounted when fstab names it and nothing is
    // mounted there, or when it lies on another file system than at its last complete run: nothing in the target is
    // touched. A source the user emptied is mirrored, and a complete run keeps the source's file system.
    void emptySourceOfAnUnmountedDisk_data()
    {
        QTest::addColumn<Disk>("disk");
        const QByteArrayList filled{"disk 2017/", "dst/kept"};
        const QByteArray entry("/dev/sdz1 <src> ext4 defaults 0 2");
        const QString notMounted = " (empty, its disk is not mounted)";
        QTest::newRow("fstab mount point") << Disk{entry, "", filled, notMounted};
        QTest::newRow("fstab with a slash") << Disk{"#\n LABEL=a\t<src>/ ext4", "now", filled, notMounted};
        QTest::newRow("commented out") << Disk{"# " + entry, "", filled, ""};
        QTest::newRow("swap") << Disk{"/dev/sdz1 <src> swap sw 0 0", "", filled, ""};
        QTest::newRow("empty target") << Disk{entry, "", {"disk 2017/", "dst/"}, ""};
        QTest::newRow("source not empty") << Disk{entry, "", {"disk 2017/f", "dst/kept"}, ""};
        const QString otherFileSystem = " (empty, on another file system than at the last run)";
        QTest::newRow("other file system") << Disk{{}, "fs:0:1:2", filled, otherFileSystem};
        QTest::newRow("same file system") << Disk{{}, "now", filled, ""};
        QTest::newRow("file system not known") << Disk{{}, "", filled, ""};
    }
    void emptySourceOfAnUnmountedDisk()
    {
        QFETCH(Disk, disk);
        auto &[fstab, fileSystem, before, reason] = disk;
        ProgramFixture p(before, {"disk 2017>dst+"});
        const QString source = QFileInfo(p.tree.pathText("disk 2017")).canonicalFilePath();
        QVERIFY(p.tree.write("fstab", fstab.replace("<src>", source.toUtf8().replace(" ", "\\040"))));
        const QString now = p.fileSystemOf("disk 2017");
        p.pairs[0].SourceFileSystem = fileSystem == "now" ? now : fileSystem;
        p.engine.apply("ErreurDossier ArretAutomatique");
        p.controller.StartStop();
        QCOMPARE(p.engine.state.totals.InvalidSources, reason.isEmpty() ? 0 : 1);
        QCOMPARE(p.engine.host.events.filter("notice"),
                 reason.isEmpty() ? QStringList() : QStringList{"notice 14:03:27 - Unknown source folder" + reason});
        QCOMPARE(p.engine.host.endStatus, reason.isEmpty() ? 0 : 4);
        QCOMPARE(p.tree.snapshot("dst").contains("dst/kept"), !reason.isEmpty());
        QCOMPARE(p.pairs[0].SourceFileSystem, reason.isEmpty() ? now : p.pairs[0].SourceFileSystem);
        QCOMPARE(p.remembered, reason.isEmpty() && fileSystem != "now" ? QStringList{"0 " + now} : QStringList());
        const RunTotals &t = p.engine.state.totals;
        QCOMPARE(p.engine.host.refreshes, QList<bool>{t.FilesCreated + t.FilesRemoved > 0});
    }
    // Failures are reported one by one, logged, summed up in a third summary line, and end a single run with status 5
    // (4 wins). A run that changed something or failed leaves its summary in the day's log.
    void failuresOfARun_data()
    {
        QTest::addColumn<Failures>("failures");
        const QString see = ", tried again at the next run; see ";
        const QString inLog = see + "<root>/Log Vell 2026-12-06.htm";
        const QString inJournal = see + "the system journal (journalctl -t Vell)";
        const QStringList one{"src>dst"}, two{"Failure: Creation - <root>/dst/a: Is a directory",
                                              "Failure: Creation - <root>/dst/b: Is a directory"};
        const QByteArrayList folders{"src/a", "src/b", "dst/a/", "dst/b/"};
        const auto row = [](const char *name, const Failures &failures) { QTest::newRow(name) << failures; };
        row("none", {{"src/a=new", "dst/a=older"}, one, "examined 1, modified 1"});
        row("nothing to do", {{"src/a", "dst/a"}, one, "examined 1"});
        row("a file removed", {{"src/", "dst/old"}, {"src>dst+"}, "removed 1"});
        row("a folder removed", {{"src/", "dst/e/"}, {"src>dst+"}, "foldersRemoved 1"});
        row("attributes", {{"src/a", "dst/a%444"}, one, "examined 1, attributes 1"});
        row("two", {folders, one, "examined 2, failures 2", 5, two, "2 failures" + inLog});
        row("two, no file lines", {folders, {"src>dst", "-FichiersLogs"}, "examined 2, failures 2", 5, two,
            "2 failures" + inJournal});
        row("one and an unknown folder", {{"src/a", "dst/a/"}, {"src>dst", "nosuch>dst"}, "examined 1, failures 1", 4,
            two.mid(0, 1), "1 failure" + inLog});
        const QString notWritten = "Failure: Writing - <root>/file/logs/Log Vell 2026-12-06.htm: Not a directory";
        row("a log that cannot be written", {{"src/a", "src/b", "dst/", "file"}, one,
            "examined 2, created 2, failures 1", 5, {notWritten}, "1 failure" + inJournal});
    }
    void failuresOfARun()
    {
        QFETCH(Failures, failures);
        auto &[before, couples, changes, status, reports, line3] = failures;
        ProgramFixture p(before, couples.filter(">"));
        p.engine.apply("Logs ArretAutomatique CopierAttributs " + couples.filter(QRegularExpression("^-")).join(' '));
        if (p.tree.exists("file"))
            p.engine.settings.PathLogs = p.tree.pathText("file/logs");
        p.controller.StartStop();
        QCOMPARE(p.engine.host.ends, 1);
        QCOMPARE(p.engine.host.endStatus, status);
        p.engine.host.failures.sort();
        QCOMPARE(p.engine.host.failures, p.withRoot(reports.join('\n')).split('\n', Qt::SkipEmptyParts));
        QCOMPARE(p.engine.host.statusText.section('\n', 2), p.withRoot(line3));
        QCOMPARE(p.log().count("<b>Failure</b>"), line3.contains("Log Vell") ? reports.size() : 0);
        QCOMPARE(p.engine.totals(), changes); // the walk went on after each failure
        const RunTotals &t = p.engine.state.totals;
        QCOMPARE(p.engine.host.refreshes, QList<bool>{t.FilesCreated + t.FilesModified + t.FilesRemoved > 0});
        QCOMPARE(p.log().contains("<hr>"), changes != "examined 1" && !p.tree.exists("file"));
    }
    // A stop asked from outside ends the program at the next yield, once, and no further entry is mirrored; with
    // Performance 0 nothing is pumped but the stop is still taken.
    void stopRequestEndsTheProgramOnce()
    {
        for (const int performance : {100, 0}) {
            ProgramFixture p({"src/a", "src/b", "src/c", "dst/"}, {"src>dst", "src>dst"});
            p.engine.apply("ArretAutomatique");
            p.engine.settings.Performance = performance;
            p.stopPending = [] { return true; };
            p.controller.StartStop();
            QCOMPARE(p.engine.host.ends, 1);
            QCOMPARE(p.engine.host.endStatus, 0);
            QCOMPARE(p.tree.snapshot("dst").size(), 1);
            QCOMPARE(p.engine.host.lastTimes, performance);
            QCOMPARE(p.controller.phase(), MirrorController::Phase::Ended);
        }
    }
    // The run works on its own copy of the couples: a list changed during a yield neither shifts a couple under it nor
    // gets another's countdown (not even one of the same source).
    void theRunWorksOnASnapshot_data()
    {
        QTest::addColumn<QList<int>>("countdowns"); // the couples left, and so which change was made
        QTest::newRow("cleared") << QList<int>{};
        QTest::newRow("last couple removed") << QList<int>{2};
        QTest::newRow("couple inserted at the front") << QList<int>{5, 2, 1};
    }
    void theRunWorksOnASnapshot()
    {
        QFETCH(QList<int>, countdowns);
        const qsizetype change = countdowns.size();
        ProgramFixture p({"a/f", "c/f", "ad/", "bd/", "cd/"}, {"a>ad*3", "a>bd", "c>cd*5"});
        const FolderPair inserted = p.pairs.takeLast();
        p.engine.host.onYield = [&] {
            if (p.engine.host.yields == 1)
                change == 0 ? p.pairs.clear() : change == 1 ? p.pairs.removeLast() : p.pairs.prepend(inserted);
        };
        p.engine.state.MirroringOff = false;
        p.controller.RunMirror(); // a timed run: "a" waits its turn
        QList<int> left;
        for (const FolderPair &pair : p.pairs)
            left << pair.TemporisationsRestantes;
        QCOMPARE(left, countdowns);
        QCOMPARE(p.tree.snapshot("ad") + p.tree.snapshot("bd") + p.tree.snapshot("cd"), QByteArrayList{"bd/f"});
    }
    // The wait before each timed run, shown tick by tick ("*" a run came with the tick, "+" it mirrored the couple of
    // every third run).
    void timedRuns_data()
    {
        QTest::addColumn<int>("delay");
        QTest::addColumn<QStringList>("ticks");
        QTest::newRow("one second") << 1 << QStringList{"1 s", "*1 s", "*1 s", "+1 s", "*1 s", "*1 s", "+1 s"};
        QTest::newRow("three seconds") << 3 << QStringList{"3 s", "2 s", "1 s", "*3 s", "2 s", "1 s", "*3 s", "2 s",
                                                           "1 s", "+3 s"};
    }
    void timedRuns()
    {
        QFETCH(int, delay);
        QFETCH(QStringList, ticks);
        ProgramFixture p({"src/f", "dst/"}, {"src>dst*3"});
        p.engine.settings.Temporisation = delay;
        QString ran;
        QObject::connect(&p.controller, &MirrorController::runFinished, &p.controller,
                         [&] { ran = p.engine.state.totals.FilesCreated > 0 ? "+" : "*"; });
        p.controller.StartStop(); // the user's run: always mirrored
        QCOMPARE(ran, "+");
        QCOMPARE(p.controller.waitProgressMaximum(), qMax(1, delay - 1));
        QStringList shown;
        for (int i = 0; i < ticks.size(); ++i) {
            ran.clear();
            QVERIFY(p.tree.write("src/f" + QByteArray::number(i), "x"));
            p.controller.tick();
            shown << ran + p.engine.host.counterTexts.last();
        }
        QCOMPARE(shown, ticks);
        QCOMPARE(p.controller.phase(), MirrorController::Phase::Waiting);
        QCOMPARE(p.engine.host.trayStates.last(), TrayState::Waiting);
    }
    // A Stop during a run ends it at the next entry, with its summary (its duration right across midnight); a Stop
    // during the wait ends the wait.
    void stopDuringRunAndDuringWait()
    {
        ProgramFixture p({"src/a", "src/b", "dst/"});
        p.controller.StartStop(); // no couple: nothing happens
        p.add("src>dst");
        p.clock = QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59, 500));
        p.engine.host.onYield = [&] {
            p.clock = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 1, 250));
            if (p.engine.host.yields == 1)
                p.controller.StartStop(); // the user clicks Stop during the run
        };
        p.controller.StartStop();
        QCOMPARE(p.engine.state.totals.FilesCreated, 1);
        QCOMPARE(p.controller.phase(), MirrorController::Phase::Stopped);
        QCOMPARE(p.engine.host.trayStates.last(), TrayState::Idle);
        QVERIFY(p.engine.host.statusText.endsWith(QString("1") + QLocale::system().decimalPoint() + "75 s"));
        p.engine.host.onYield = nullptr;
        p.controller.StartStop();
        p.controller.tick();
        p.controller.StartStop(); // Stop during the wait
        QVERIFY(!p.controller.timerActive());
        QCOMPARE(p.engine.host.counterTexts.last(), QString());
        QCOMPARE(p.engine.host.trayStates.last(), TrayState::Idle);
        QCOMPARE(p.engine.host.events, (QStringList{"active", "inactive", "active", "inactive"}));
    }
    // The host's pump lets the event loop run, but not again within its interval.
    void eventPumpSkipsPumpsThatComeTooSoon()
    {
        QObject context;
        int delivered = 0;
        QList<int> seen;
        EventPump seldom(std::chrono::hours(1));
        EventPump always(std::chrono::milliseconds(0));
        for (EventPump *pump : {&seldom, &seldom, &always}) {
            QTimer::singleShot(0, &context, [&] { ++delivered; });
            pump->pump(2);
            seen << delivered;
        }
        QCOMPARE(seen, (QList<int>{1, 1, 3}));
    }
    // One golden row of the summary, with counts no 32-bit or 16-bit counter holds; then, in each language, 0 and 1
    // take the singular and 2 the plural, and the optional parts follow their options.
    void summaryLines()
    {
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        const QDateTime end(QDate(2026, 12, 6), QTime(14, 3, 27));
        Settings s;
        s.CopierSecurite = s.CopierAttributs = true;
        const RunTotals large{3000000000, 2147483648, 4294967296, 5000000000, 6, 7, 8, 9, 10, 40000, 40001, 40002,
                              2147483649};
        QCOMPARE(BuildSummaryLines(large, s, true, end, 2500, "the log", english).text(),
                 english.toString(end.date(), QLocale::LongFormat)
                     + " - 14:03:27; 3000000000 files in 40000 source folders (40001 invalid source folders; "
                       "40002 invalid target folders)\nFiles: 2147483648 created, 4294967296 modified, 5000000000 "
                       "removed; Folders: 9 created, 10 removed; Securities: 6 copied, 7 not copied; Attributes: "
                       "8; elapsed time 2.50 s\n2147483649 failures, tried again at the next run; see the log");
        QCOMPARE(TrayTip(0, 0) + '|' + TrayTip(1, 0) + '|' + TrayTip(2, 0) + '|' + StartStopTooltip(true, 0),
                 "Vell 2.1e|Vell 2.1e - Mirror|Vell 2.1e - Wait|Stop mirroring");
        QCOMPARE(StartStopCaption(false, 0), "&Start mirroring");
        const auto words = [&](int n, bool subFolders, bool security, bool isNT) {
            s.MiroirSousDossiers = subFolders;
            s.CopierSecurite = security;
            s.CopierAttributs = !subFolders;
            const RunTotals t{n, n, n, n, n, n, n, n, n, n, n, n, qMax(n, 1)};
            return BuildSummaryLines(t, s, isNT, end, 1234, "L", QLocale(QLocale::French))
                .text().remove(QRegularExpression("[0-9]"));
        };
        for (const int langue : {1, 2, 0}) {
            s.Langue = langue;
            QCOMPARE(words(0, true, true, true), words(1, true, true, true));
            QVERIFY(words(1, true, true, true) != words(2, true, true, true));
            QVERIFY(words(2, true, false, true).contains(" , s\n")); // "1,23 s"
            // ";" parts: two in line 1, one in line 3, and in line 2 files, [folders], [securities with NT],
            // [attributes] and the duration.
            QCOMPARE(words(2, true, false, true).count(';'), 5);
            QCOMPARE(words(2, true, true, true).count(';'), 6);
            QCOMPARE(words(2, false, true, false).count(';'), 5);
            QCOMPARE(words(2, false, true, true).count(';'), 6);
        }
    }
};
QTEST_GUILESS_MAIN(TestMirrorRun)
#include "tst_mirrorrun.moc"
