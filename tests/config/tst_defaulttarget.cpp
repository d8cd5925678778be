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
        QTest::addColumn<QStringList>("args"); // the source, the drive prefix, the UNC prefix
        QTest::addColumn<QString>("target");
        const QList<std::pair<QStringList, const char *>> rows{
            {{"/home/ann/Work", "/backup", ""}, "/backup/home/ann/Work"},
            {{"/home/ann", "/backup/", ""}, "/backup/home/ann"},
            {{"C:\\Data\\Work", "E:", ""}, "E:\\Data\\Work"},
            {{"/mnt/c:/x", "/backup", ""}, "/backup/mnt/c:/x"},
            {{"home/ann", "/backup", "//B/C"}, ""},
            {{"/home/ann", "", "//B/C"}, ""},
            {{"//Srv/Share/Dept/X", "/backup", "//B/C"}, "//B/C/Dept/X"},
            {{"//Srv/Share", "", "//B/C/"}, "//B/C/"},
            {{"//Srv", "", "//B/C"}, ""},
            {{"///Share/X", "", "//B/C"}, "//B/C/X"},
            {{"//Srv//X", "", "//B/C"}, "//B/C/X"},
            {{"//Srv/Share/X", "/backup", ""}, ""}};
        for (const auto &[args, target] : rows)
            QTest::newRow(qPrintable(args.join(u' '))) << args << QString::fromLatin1(target);
    }
    void defaultTarget()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, target);
        QCOMPARE(DefaultTarget(args[0], args[1], args[2]), target);
    }

    void warnings_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("how"); // role, means, system; then the warnings expected
        QTest::newRow("unc source browsed") << "//Srv/Share" << QByteArray("source browser NT unc");
        QTest::newRow("unc source typed") << "//Srv/Share" << QByteArray("source typed NT -");
        QTest::newRow("unc target browsed") << "//Srv/Share" << QByteArray("target browser NT -");
        QTest::newRow("unc source, not NT") << "//Srv/Share" << QByteArray("source browser 95 -");
        QTest::newRow("single slash") << "/Srv/Share" << QByteArray("source browser NT -");
        QTest::newRow("windows folder, lower case") << "c:\\winnt\\x" << QByteArray("target typed 95 windows");
    }
    void warnings()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, how);
        const QByteArrayList words = how.split(' ');
        SystemInfo system;
        system.IsNT = words[2] == "NT";
        system.WindowsFolder = QStringLiteral("C:\\WINNT");
        const PathWarnings w = WarningsForNewPath(path, words[0] == "source" ? FolderRole::Source : FolderRole::Target,
                                                  words[1] == "browser" ? PathMeans::Browser : PathMeans::Typed, system);
        QCOMPARE(w.unc, words[3] == "unc");
        QCOMPARE(w.windowsFolder, words[3] == "windows");
        system.WindowsFolder.clear(); // matches nothing
        QVERIFY(!WarningsForNewPath(path, FolderRole::Source, PathMeans::Typed, system).windowsFolder);
    }

    void warningTexts()
    {
        QCOMPARE(WindowsFolderWarningText(2),
                 QStringLiteral("ATENÇÃO: incluir uma sub-pasta de Windows pode danificar o sistema"));
        QCOMPARE(WindowsFolderWarningText(3), "WARNING: including a Windows sub-folder can damage your system");
        QCOMPARE(UncWarningText(2), UncWarningText(1)); // French stands in for Portuguese
        QCOMPARE(UncWarningText(0), "Source folders:\r\nuse a drive letter (C:, D:)\r\ninstead UNC path "
                                    "(\\\\Server\\Share\\Folder)\r\nin order to mirror opened files\r\n"
                                    "cf. Korvane documentation");
    }
};

QTEST_APPLESS_MAIN(TestDefaultTarget)
#include "tst_defaulttarget.moc"
