// The log settings dialogs' logic: the purge number's steps and check, and what OK writes to a real Vell.ini.
#include "oplog/logsettings.h"
#include "base/programidentity.h"
#include "common/testtree.h"
#include "config/settingsfile.h"
#include <QTest>
#include <unistd.h>

using namespace vell;

Q_DECLARE_METATYPE(vell::PurgeLimit)

class TestLogSettings : public QObject
{
    Q_OBJECT
private slots:
    void steps_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("number");
        QTest::addColumn<PurgeLimit>("limit");
        QTest::newRow("down inside") << "10" << -1 << 9 << PurgeLimit::None;
        QTest::newRow("down to the minimum") << "3" << -1 << 2 << PurgeLimit::Minimum;
        QTest::newRow("down past the minimum") << "0" << -1 << 2 << PurgeLimit::Minimum;
        QTest::newRow("down from 4") << "4" << -1 << 3 << PurgeLimit::None;
        QTest::newRow("down from 367") << "367" << -1 << 366 << PurgeLimit::None;
        QTest::newRow("down from far above") << "1000" << -1 << 366 << PurgeLimit::Maximum;
        QTest::newRow("down from infinity") << "1e999" << -1 << 366 << PurgeLimit::Maximum;
        QTest::newRow("up inside") << "10" << 1 << 11 << PurgeLimit::None;
        QTest::newRow("up to the maximum") << "365" << 1 << 366 << PurgeLimit::Maximum;
        QTest::newRow("up from 364") << "364" << 1 << 365 << PurgeLimit::None;
        QTest::newRow("up from 1") << "1" << 1 << 2 << PurgeLimit::None;
        QTest::newRow("up from nothing") << "abc" << 1 << 2 << PurgeLimit::Minimum;
        QTest::newRow("up from far below") << "-1e999" << 1 << 2 << PurgeLimit::Minimum;
        QTest::newRow("half to even, down") << "4.5" << -1 << 4 << PurgeLimit::None;
        QTest::newRow("half to even, up") << "4.5" << 1 << 6 << PurgeLimit::None;
        QTest::newRow("leading number") << " 12 days" << 1 << 13 << PurgeLimit::None;
    }
    void steps()
    {
        QFETCH(QString, text);
        QFETCH(int, delta);
        const PurgeStep step = StepPurgeNumber(text, delta);
        QTEST(int(step.number), "number");
        QTEST(step.limit, "limit");
    }
    void check_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stored");
        QTest::newRow("below") << "1" << -1;
        QTest::newRow("just below") << "1.99" << -1;
        QTest::newRow("minimum") << "2" << 2;
        QTest::newRow("half down to even") << "2.5" << 2;
        QTest::newRow("half up to even") << "3.5" << 4;
        QTest::newRow("maximum") << "366" << 366;
        QTest::newRow("just above") << "366.01" << -1;
        QTest::newRow("above") << "367" << -1;
        QTest::newRow("no number") << "ten" << -1;
        QTest::newRow("exponent") << "1e2" << 100;
        QTest::newRow("bare exponent") << "30e" << 30;
        QTest::newRow("negative") << "-5" << -1;
    }
    void check()
    {
        QFETCH(QString, text);
        QTEST(int(CheckPurgeNumber(text)), "stored");
    }
    void texts()
    {
        QCOMPARE(PurgeLimitMessage(PurgeLimit::Minimum, 2), "Valor mínimo atingido");
        QCOMPARE(PurgeLimitMessage(PurgeLimit::Maximum, 0), "Maximal value reached");
        QVERIFY(PurgeLimitMessage(PurgeLimit::None, 1).isEmpty());
        QCOMPARE(PathLogsCaptions(2).at(1).text, "Registrar diáriamente as operações no jornal");
    }
    // A failed store changes nothing; a path the file cannot hold is refused, not cut.
    void storeWritesTheirKeysOrNothing()
    {
        TestTree tree;
        const ProgramFiles files{tree.rootText()};
        QVERIFY(tree.mkdir("Vell.ini")); // a settings file that cannot be read, even by root
        Settings settings;
        settings.PathLogs = "/old";
        QCOMPARE(StoreLogFolder(files, settings, true, true, "/new"), -EISDIR);
        QCOMPARE(StorePurge(files, settings, true, 5), -EISDIR);
        QVERIFY(!settings.Logs && !settings.FichiersLogs && !settings.PurgeLogs);
        QCOMPARE(settings.DelaiLogs, 10);
        QVERIFY(::rmdir(tree.path("Vell.ini")) == 0);
        QCOMPARE(StoreLogFolder(files, settings, true, true, "/a\nb"), -EINVAL);
        QCOMPARE(settings.PathLogs, "/old");
        QVERIFY(!tree.exists("Vell.ini"));
        QCOMPARE(StoreLogFolder(files, settings, true, false, "/srv/logs with blanks"), 0);
        QCOMPARE(StorePurge(files, settings, true, 2), 0);
        QCOMPARE(tree.read("Vell.ini"), "[Logs]\r\nLogs=1\r\nFichiersLogs=0\r\nPathLogs=/srv/logs with blanks\r\n"
                                        "PurgeLogs=1\r\nDelaiLogs=2\r\n");
        QVERIFY(settings.Logs && !settings.FichiersLogs && settings.PurgeLogs);
        QCOMPARE(settings.PathLogs, "/srv/logs with blanks");
        QCOMPARE(settings.DelaiLogs, 2);
    }
    void initialFolder()
    {
        TestTree tree;
        QVERIFY(tree.mkdir("logs"));
        QCOMPARE(InitialLogFolder(tree.pathText("logs"), "/program"), tree.pathText("logs"));
        QCOMPARE(InitialLogFolder(tree.pathText("gone"), "/program"), "/program");
        QVERIFY(LogFolderDrives().contains("/"));
        QCOMPARE(DriveOf("/"), "/");
    }
};

QTEST_APPLESS_MAIN(TestLogSettings)
#include "tst_logsettings.moc"
