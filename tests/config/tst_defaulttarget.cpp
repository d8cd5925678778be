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
        QTest::addColumn<QStringList>("row"); // the source, the drive prefix, the UNC prefix, the target
        const QList<QStringList> rows{
            {"/home/ann/Work", "/b", "", "/b/home/ann/Work"}, {"/home/ann", "/b/", "", "/b/home/ann"},
            {"C:\\Data\\Work", "E:", "", "E:\\Data\\Work"}, {"/home/ann", " E:", "", " E:/home/ann"},
            {"/mnt/c:/x", "/b", "", "/b/mnt/c:/x"}, {"home/ann", "/b", "//B/C", ""}, {"/home/ann", "", "//B/C", ""},
            {"//Srv", "", "//B/C", ""}, {"//Srv/Share/Dept/X", "/b", "//B/C", "//B/C/Dept/X"},
            {"//Srv/Share", "", "//B/C/", "//B/C/"}, {"///Share/X", "", "//B/C", "//B/C/X"},
            {"//S//X", "", "//B/C", "//B/C/X"}, {"//S/Share/X", "/b", "", ""}};
        for (const QStringList &row : rows)
            QTest::newRow(qPrintable(row.join(u' '))) << row;
    }
    void defaultTarget()
    {
        QFETCH(QStringList, row);
        QCOMPARE(DefaultTarget(row[0], row[1], row[2]), row[3]);
    }
    void warnings_data()
    {
        QTest::addColumn<QByteArray>("row"); // path, role, means, system; then the warnings expected
        for (const char *row : {"//Srv/Share source browser NT unc", "//Srv/Share source typed NT -",
                                "//Srv/Share target browser NT -", "//Srv/Share source browser 95 -",
                                "/Srv/Share source browser NT -", "c:\\winnt\\x target typed 95 windows"})
            QTest::newRow(row) << QByteArray(row);
    }
    void warnings()
    {
        QFETCH(QByteArray, row);
        const QByteArrayList words = row.split(' ');
        const QString path = QString::fromLatin1(words[0]);
        SystemInfo system;
        system.IsNT = words[3] == "NT";
        system.WindowsFolder = QStringLiteral("C:\\WINNT");
        const FolderRole role = words[1] == "source" ? FolderRole::Source : FolderRole::Target;
        const PathMeans means = words[2] == "browser" ? PathMeans::Browser : PathMeans::Typed;
        const PathWarnings w = WarningsForNewPath(path, role, means, system);
        QCOMPARE(w.unc, words[4] == "unc");
        QCOMPARE(w.windowsFolder, words[4] == "windows");
        system.WindowsFolder.clear(); // matches nothing
        QVERIFY(!WarningsForNewPath(path, FolderRole::Source, PathMeans::Typed, system).windowsFolder);
    }
    void warningTexts()
    {
        QCOMPARE(WindowsFolderWarningText(3), "WARNING: including a Windows sub-folder can damage your system");
        QCOMPARE(UncWarningText(2), UncWarningText(1)); // French stands in for Portuguese
        QCOMPARE(UncWarningText(0), "Source folders:\r\nuse a drive letter (C:, D:)\r\ninstead UNC path "
                                    "(\\\\Server\\Share\\Folder)\r\nin order to mirror opened files\r\n"
                                    "cf. Korvane documentation");
    }
};

QTEST_APPLESS_MAIN(TestDefaultTarget)
#include "tst_defaulttarget.moc"
