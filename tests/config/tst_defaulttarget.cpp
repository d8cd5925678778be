#include "config/defaulttarget.h"

#include "platform/systeminfo.h"

#include <QTest>

using namespace vell;

class TestDefaultTarget : public QObject
{
    Q_OBJECT
private slots:
    void defaultTarget_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("drive");
        QTest::addColumn<QString>("unc");
        QTest::addColumn<QString>("target");
        QTest::newRow("absolute path") << "/home/ann/Work" << "/backup" << "" << "/backup/home/ann/Work";
        QTest::newRow("prefix ending in slash") << "/home/ann" << "/backup/" << "" << "/backup/home/ann";
        QTest::newRow("drive letter") << "C:\\Data\\Work" << "E:" << "" << "E:\\Data\\Work";
        QTest::newRow("drive and folder") << "C:\\Data\\Work" << "E:\\Copies" << "" << "E:\\Copies\\Data\\Work";
        QTest::newRow("relative path") << "home/ann" << "/backup" << "//B/C" << "";
        QTest::newRow("no prefixes") << "/home/ann" << "" << "" << "";
        QTest::newRow("unc share and folders") << "//Srv/Share/Dept/X" << "/backup" << "//Backup/Copies"
                                               << "//Backup/Copies/Dept/X";
        QTest::newRow("unc share alone") << "//Srv/Share" << "" << "//Backup/Copies" << "//Backup/Copies";
        QTest::newRow("unc server alone") << "//Srv" << "" << "//Backup/Copies" << "";
        QTest::newRow("unc without unc prefix") << "//Srv/Share/X" << "/backup" << "" << "";
        QTest::newRow("absolute path, unc prefix only") << "/home/ann" << "" << "//Backup/Copies" << "";
        QTest::newRow("absolute path holding a colon") << "/mnt/c:/x" << "/backup" << "" << "/backup/mnt/c:/x";
    }
    void defaultTarget()
    {
        QFETCH(QString, source);
        QFETCH(QString, drive);
        QFETCH(QString, unc);
        QFETCH(QString, target);
        QCOMPARE(DefaultTarget(source, drive, unc), target);
    }

    void warnings_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("role");
        QTest::addColumn<int>("means");
        QTest::addColumn<bool>("isNT");
        QTest::addColumn<QString>("windir");
        QTest::addColumn<bool>("unc");
        QTest::addColumn<bool>("windows");
        const int src = int(FolderRole::Source);
        const int tgt = int(FolderRole::Target);
        const int browser = int(PathMeans::Browser);
        const int typed = int(PathMeans::Typed);
        QTest::newRow("unc source browsed") << "//Srv/Share" << src << browser << true << "" << true << false;
        QTest::newRow("unc source typed") << "//Srv/Share" << src << typed << true << "" << false << false;
        QTest::newRow("unc target browsed") << "//Srv/Share" << tgt << browser << true << "" << false << false;
        QTest::newRow("unc source, not NT") << "//Srv/Share" << src << browser << false << "" << false << false;
        QTest::newRow("single slash") << "/Srv/Share" << src << browser << true << "" << false << false;
        QTest::newRow("windows subfolder") << "C:\\WINNT\\Temp" << src << typed << true << "C:\\WINNT" << false << true;
        QTest::newRow("windows folder in lower case") << "c:\\winnt" << tgt << typed << true << "C:\\WINNT" << false
                                                      << true;
        QTest::newRow("empty windows folder") << "/home" << src << typed << true << "" << false << false;
        QTest::newRow("both") << "//Srv/C:\\WINNT" << src << browser << true << "C:\\WINNT" << true << true;
    }
    void warnings()
    {
        QFETCH(QString, path);
        QFETCH(int, role);
        QFETCH(int, means);
        QFETCH(bool, isNT);
        QFETCH(QString, windir);
        QFETCH(bool, unc);
        QFETCH(bool, windows);
        SystemInfo system;
        system.IsNT = isNT;
        system.WindowsFolder = windir;
        const PathWarnings w = WarningsForNewPath(path, FolderRole(role), PathMeans(means), system);
        QCOMPARE(w.unc, unc);
        QCOMPARE(w.windowsFolder, windows);
    }

    void warningTexts()
    {
        QCOMPARE(WindowsFolderWarningText(2), QStringLiteral("ATENÇÃO: incluir uma sub-pasta de Windows pode danificar o sistema"));
        QCOMPARE(WindowsFolderWarningText(3), QStringLiteral("WARNING: including a Windows sub-folder can damage your system"));
        QCOMPARE(UncWarningText(2), UncWarningText(1)); // French stands in for Portuguese
        QCOMPARE(UncWarningText(0).split(QStringLiteral("\r\n")).size(), 5);
        QVERIFY(UncWarningText(0).contains(QStringLiteral("instead UNC path (\\\\Server\\Share\\Folder)")));
    }
};

QTEST_APPLESS_MAIN(TestDefaultTarget)
#include "tst_defaulttarget.moc"
