#include "common/enginefixture.h"
#include "common/testtree.h"
#include "engine/mirrorcontroller.h"
#include "engine/runtexts.h"
#include "oplog/dailylog.h"

#include <QTest>

using namespace vell;

namespace {

FolderPair couple(const QString &source, const QString &target, int every = 1)
{
    FolderPair pair;
    pair.Source = source;
    pair.Cible = target;
    pair.NbTemporisations = every;
    pair.TemporisationsRestantes = every;
    pair.NbTemporisationsText = QString::number(every);
    return pair;
}

// A program's worth of run state around one controller, with a clock the
// test moves by hand.
struct Program
{
    TestTree tree;
    EngineFixture engine;
    FolderPairList pairs;
    QDateTime clock = QDateTime(QDate(2026, 12, 6), QTime(14, 3, 27));
    bool serviceRunning = false;
    MirrorController controller{RunEnvironment{engine.settings, pairs, engine.system, engine.state, engine.host, {},
                                               [this] { return serviceRunning; }, [this] { return clock; }}};
    Program()
    {
        engine.state.MirroringOff = true;
        engine.settings.Logs = false;
        engine.settings.PathLogs = tree.rootText();
    }
    QString log() const
    {
        return QString::fromLatin1(
            tree.read(QFile::encodeName(DailyLogFileName(QString(), clock.date()).mid(1))));
    }
};

} // namespace

class TestMirrorRun : public QObject
{
    Q_OBJECT
private slots:
    void countsAndAlertsOverSeveralCouples()
    {
        Program p;
        p.engine.settings.Logs = true;
        p.engine.settings.ErreurDossier = true;
        p.engine.settings.ErreurDossierSon = true;
        QVERIFY(p.tree.write("good/src/f", "x"));
        QVERIFY(p.tree.mkdir("good/dst"));
        QVERIFY(p.tree.mkdir("exists"));
        const QString missing = p.tree.pathText("missing");
        const QString exists = p.tree.pathText("exists");
        p.pairs << couple(QString(), exists) << couple(exists, QString()) << couple(missing, exists)
                << couple(exists, missing + "2") << couple(missing + "3", missing + "4")
                << couple(p.tree.pathText("good/src"), p.tree.pathText("good/dst"));
        p.controller.StartStop();
        const RunTotals &t = p.engine.totals();
        QCOMPARE(t.CouplesCounted, int16_t(4));
        QCOMPARE(t.InvalidSources, int16_t(3));
        QCOMPARE(t.InvalidTargets, int16_t(3));
        QCOMPARE(t.FilesCreated, 1);
        const QStringList expected{
            "notice 14:03:27 - Unknown source folder", "beep",
            "notice 14:03:27 - Unknown target folder", "beep",
            "notice 14:03:27 - Unknown source folder", "beep",
            "notice 14:03:27 - Unknown target folder", "beep"};
        QStringList alerts = p.engine.host.events;
        alerts.removeAll("active");
        QCOMPARE(alerts, expected);
        const QString log = p.log();
        QVERIFY(log.contains("14:03:27 - Unknown source folder: " + missing + "/<br>\r\n"));
        QVERIFY(log.contains("14:03:27 - Unknown target folder: " + missing + "2/<br>\r\n"));
        QVERIFY(log.indexOf(missing + "3/") < log.indexOf(missing + "4/"));
        QVERIFY(log.contains("<br><hr>\r\n")); // the run created a file: its summary is logged
        QVERIFY(p.engine.host.statusText.contains("1 file in 4 source folders (3 invalid source folders; "
                                                  "3 invalid target folders)"));
    }

    void noNoticeNoLogLineWithoutTheirOption()
    {
        Program p;
        p.engine.settings.Logs = true;
        p.engine.settings.ErreurDossierSon = true;
        QVERIFY(p.tree.mkdir("exists"));
        p.pairs << couple(p.tree.pathText("missing"), p.tree.pathText("exists"));
        p.controller.StartStop();
        QCOMPARE(p.engine.host.events, (QStringList{"active", "beep"}));
        QVERIFY(!p.log().contains("Unknown"));
        QVERIFY(!p.log().contains("<hr>")); // nothing changed: no summary in the log
        QVERIFY(!p.engine.host.statusText.isEmpty());
    }

    void netSendAndEventLogFollowTheirOptions()
    {
        Program p;
        p.engine.settings.ErreurDossierNetSend = true;
        p.engine.settings.ErreurDossierEventLog = true;
        p.pairs << couple(p.tree.pathText("gone"), p.tree.rootText());
        p.controller.StartStop();
        QVERIFY(p.engine.host.events.contains("command net|send|Administrator|Warning from Vell: unknown folder"));
        QVERIFY(!p.engine.host.events.join(' ').contains("event")); // the service is not running

        p.serviceRunning = true;
        p.engine.host.events.clear();
        p.controller.StartStop(); // Stop
        p.controller.StartStop(); // Start again
        QVERIFY(p.engine.host.events.contains("event 2 14:03:27 - Unknown source folder: " + p.tree.pathText("gone")
                                              + "/"));
    }

    void countdownMirrorsEveryThirdTimedRun()
    {
        Program p;
        p.engine.settings.Temporisation = 1;
        QVERIFY(p.tree.mkdir("src"));
        QVERIFY(p.tree.mkdir("dst"));
        p.pairs << couple(p.tree.pathText("src"), p.tree.pathText("dst"), 3);
        QList<int> mirroredAt;
        int run = 0;
        QObject::connect(&p.controller, &MirrorController::runFinished, &p.controller, [&] {
            if (p.engine.totals().FilesCreated > 0)
                mirroredAt << run;
            ++run;
        });
        auto addFile = [&] { QVERIFY(p.tree.write("src/f" + QByteArray::number(run), "x")); };
        addFile();
        p.controller.StartStop(); // run 0, the user's: always mirrored
        for (int tick = 0; tick < 40 && run < 10; ++tick) {
            addFile();
            p.controller.tick();
        }
        QCOMPARE(mirroredAt, (QList<int>{0, 3, 6, 9}));
    }

    void timerSequence_data()
    {
        QTest::addColumn<int>("delay");
        QTest::addColumn<QStringList>("counter");
        QTest::newRow("one second") << 1 << QStringList{"1 s", "1 s", "1 s"};
        QTest::newRow("three seconds") << 3 << QStringList{"3 s", "2 s", "1 s", "3 s", "2 s", "1 s", "3 s"};
    }
    void timerSequence()
    {
        QFETCH(int, delay);
        QFETCH(QStringList, counter);
        Program p;
        p.engine.settings.Temporisation = delay;
        QVERIFY(p.tree.mkdir("d"));
        p.pairs << couple(p.tree.pathText("d"), p.tree.pathText("d"));
        int runs = 0;
        QObject::connect(&p.controller, &MirrorController::runFinished, &p.controller, [&] { ++runs; });
        p.controller.StartStop();
        QCOMPARE(runs, 1);
        QVERIFY(p.controller.timerActive());
        QCOMPARE(p.controller.phase(), MirrorController::Phase::Waiting);
        QCOMPARE(p.controller.waitProgressMaximum(), delay < 2 ? 1 : delay - 1);
        QStringList shown;
        QList<int> runsAfterTick;
        for (int i = 0; i < counter.size(); ++i) {
            p.engine.host.counterTexts.clear();
            p.controller.tick();
            shown << p.engine.host.counterTexts.last();
            runsAfterTick << runs;
        }
        QCOMPARE(shown, counter);
        // The first run after Start comes at tick T + 1, later ones every T ticks.
        QCOMPARE(runsAfterTick.count(1), delay);
        QCOMPARE(runsAfterTick.at(delay), 2);
    }

    void stopDuringRunAndDuringWait()
    {
        Program p;
        QVERIFY(p.tree.write("src/a", "x"));
        QVERIFY(p.tree.write("src/b", "x"));
        QVERIFY(p.tree.mkdir("dst"));
        p.pairs << couple(p.tree.pathText("src"), p.tree.pathText("dst"));
        p.engine.host.onYield = [&] {
            if (p.engine.host.yields == 1)
                p.controller.StartStop(); // the user clicks Stop during the run
        };
        p.controller.StartStop();
        QCOMPARE(p.engine.totals().FilesCreated, 1);
        QCOMPARE(p.controller.phase(), MirrorController::Phase::Stopped);
        QVERIFY(p.engine.state.MirroringOff);
        QCOMPARE(p.engine.host.trayStates.last(), TrayState::Idle);
        QVERIFY(!p.engine.host.statusText.isEmpty()); // the stopped run still shows its summary

        p.engine.host.onYield = nullptr;
        p.controller.StartStop();
        QCOMPARE(p.controller.phase(), MirrorController::Phase::Waiting);
        p.controller.tick();
        p.controller.StartStop(); // Stop during the wait
        QVERIFY(!p.controller.timerActive());
        QCOMPARE(p.engine.host.counterTexts.last(), QString());
        QCOMPARE(p.engine.host.trayStates.last(), TrayState::Idle);
        int runs = 0;
        QObject::connect(&p.controller, &MirrorController::runFinished, &p.controller, [&] { ++runs; });
        p.controller.StartStop(); // the next Start runs at once
        QCOMPARE(runs, 1);
        QCOMPARE(p.controller.SecondsToNextRun(), p.engine.settings.Temporisation);
    }

    void startWithoutCouplesDoesNothing()
    {
        Program p;
        p.controller.StartStop();
        QVERIFY(p.engine.host.events.isEmpty());
        QVERIFY(p.engine.state.MirroringOff);
        QCOMPARE(p.controller.phase(), MirrorController::Phase::Stopped);
    }

    void endsAfterFirstRun_data()
    {
        QTest::addColumn<bool>("missingFolder");
        QTest::addColumn<int>("status");
        QTest::newRow("clean run") << false << 0;
        QTest::newRow("unknown folder") << true << 4;
    }
    void endsAfterFirstRun()
    {
        QFETCH(bool, missingFolder);
        QFETCH(int, status);
        Program p;
        p.engine.settings.ArretAutomatique = true;
        QVERIFY(p.tree.mkdir("d"));
        p.pairs << couple(p.tree.pathText(missingFolder ? "nope" : "d"), p.tree.pathText("d"));
        p.controller.StartStop();
        QCOMPARE(p.engine.host.endStatus, status);
        QCOMPARE(p.controller.phase(), MirrorController::Phase::Ended);
        QVERIFY(!p.controller.timerActive());
    }

    void durationAcrossMidnight()
    {
        Program p;
        QVERIFY(p.tree.mkdir("d"));
        p.pairs << couple(p.tree.pathText("d"), p.tree.pathText("d"));
        p.clock = QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59, 500));
        p.engine.host.onYield = [&] { p.clock = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 1, 250)); };
        p.controller.StartStop();
        QVERIFY2(p.engine.host.statusText.endsWith(QString("1") + QLocale::system().decimalPoint() + "75 s"),
                 qPrintable(p.engine.host.statusText));
    }

    void summaryTexts_data()
    {
        QTest::addColumn<int>("langue");
        QTest::addColumn<int>("n"); // every counter
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("line2");
        QTest::newRow("English, none") << 0 << 0
            << "D - 14:03:27; 0 file in 0 source folder (0 invalid source folder; 0 invalid target folder)"
            << "Files: 0 created, 0 modified, 0 removed; Folders: 0 created, 0 removed; Securities: 0 copied, "
               "0 not copied; Attributes: 0; elapsed time 2.50 s";
        QTest::newRow("English, two") << 3 << 2
            << "D - 14:03:27; 2 files in 2 source folders (2 invalid source folders; 2 invalid target folders)"
            << "Files: 2 created, 2 modified, 2 removed; Folders: 2 created, 2 removed; Securities: 2 copied, "
               "2 not copied; Attributes: 2; elapsed time 2.50 s";
        QTest::newRow("French, one") << 1 << 1
            << "D à 14:03:27; 1 fichier dans 1 dossier source (1 dossier source invalide; 1 dossier cible invalide)"
            << "Fichiers: 1 créé, 1 modifié, 1 supprimé; Dossiers: 1 créé, 1 supprimé; Sécurités: 1 copiée, "
               "1 non copiée; Attributs: 1; durée 2.50 s";
        QTest::newRow("French, two") << 1 << 2
            << "D à 14:03:27; 2 fichiers dans 2 dossiers sources (2 dossiers sources invalides; 2 dossiers cibles "
               "invalides)"
            << "Fichiers: 2 créés, 2 modifiés, 2 supprimés; Dossiers: 2 créés, 2 supprimés; Sécurités: 2 copiées, "
               "2 non copiées; Attributs: 2; durée 2.50 s";
        QTest::newRow("Portuguese, one") << 2 << 1
            << "D às 14:03:27; 1 ficheiro na 1 pasta de entrada (1 pasta de entrada desconhecida; 1 pasta de saída "
               "desconhecida)"
            << "Ficheiros: 1 criado, 1 modificado, 1 suprimido; Pastas: 1 criada, 1 suprimida; Seguridades: "
               "1 copiada, 1 naõ copiada; Attributos: 1; duração 2.50 s";
        QTest::newRow("Portuguese, two") << 2 << 2
            << "D às 14:03:27; 2 ficheiros nas 2 pastas de entrada (2 pastas de entrada desconhecidas; 2 pastas de "
               "saída desconhecidas)"
            << "Ficheiros: 2 criados, 2 modificados, 2 suprimidos; Pastas: 2 criadas, 2 suprimidas; Seguridades: "
               "2 copiadas, 2 naõ copiadas; Attributos: 2; duração 2.50 s";
    }
    void summaryTexts()
    {
        QFETCH(int, langue);
        QFETCH(int, n);
        QFETCH(QString, line1);
        QFETCH(QString, line2);
        RunTotals t;
        t.FilesExamined = t.FilesCreated = t.FilesModified = t.FilesRemoved = n;
        t.SecuritiesCopied = t.SecuritiesNotCopied = t.AttributesCopied = t.FoldersCreated = t.FoldersRemoved = n;
        t.CouplesCounted = t.InvalidSources = t.InvalidTargets = int16_t(n);
        Settings s;
        s.Langue = langue;
        s.CopierSecurite = true;
        s.CopierAttributs = true;
        const QLocale locale(QLocale::English, QLocale::UnitedStates);
        const QDateTime end(QDate(2026, 12, 6), QTime(14, 3, 27));
        const SummaryLines lines = BuildSummaryLines(t, s, true, end, 2500, {}, locale);
        QCOMPARE(lines.line1, QString(line1).replace(0, 1, locale.toString(end.date(), QLocale::LongFormat)));
        QCOMPARE(lines.line2, line2);
    }

    void summaryOptionalParts()
    {
        Settings s;
        s.MiroirSousDossiers = false;
        s.CopierSecurite = true;
        const QLocale french(QLocale::French, QLocale::France);
        const QDateTime end(QDate(2026, 1, 2), QTime(3, 4, 5));
        QCOMPARE(BuildSummaryLines(RunTotals(), s, false, end, 1234, {}, french).line2,
                 QString("Files: 0 created, 0 modified, 0 removed; elapsed time 1,23 s"));
        QVERIFY(BuildSummaryLines(RunTotals(), s, true, end, 0, {}, french).line2.contains("; Securities: "));
    }
};

QTEST_GUILESS_MAIN(TestMirrorRun)
#include "tst_mirrorrun.moc"
