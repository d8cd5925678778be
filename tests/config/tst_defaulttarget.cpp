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

    void warnings()
    {
        SystemInfo nt;
        nt.IsNT = true;
        nt.WindowsFolder = QStringLiteral("C:\\WINNT");
        SystemInfo old = nt;
        old.IsNT = false;
        // Each path, how it came and on which system: "unc" and "windows" as 0 or 1.
        const auto warn = [](const char *path, FolderRole role, PathMeans means, const SystemInfo &system) {
            const PathWarnings w = WarningsForNewPath(QString::fromLatin1(path), role, means, system);
            return QString::number(w.unc) + QString::number(w.windowsFolder);
        };
        const FolderRole source = FolderRole::Source, target = FolderRole::Target;
        const PathMeans browser = PathMeans::Browser, typed = PathMeans::Typed;
        QCOMPARE(QStringList({warn("//Srv/Share", source, browser, nt), warn("//Srv/Share", source, typed, nt),
                              warn("//Srv/Share", target, browser, nt), warn("//Srv/Share", source, browser, old),
                              warn("/Srv/Share", source, browser, nt), warn("c:\\winnt\\x", target, typed, old)}),
                 QStringList({"10", "00", "00", "00", "00", "01"}));
        old.WindowsFolder.clear(); // matches nothing
        QCOMPARE(warn("c:\\winnt\\x", target, typed, old), "00");
    }

    void warningTexts()
    {
        QCOMPARE(WindowsFolderWarningText(2), QStringLiteral("ATENÇÃO: incluir uma sub-pasta de Windows pode danificar o sistema"));
        QCOMPARE(WindowsFolderWarningText(3), "WARNING: including a Windows sub-folder can damage your system");
        QCOMPARE(UncWarningText(2), UncWarningText(1)); // French stands in for Portuguese
        QCOMPARE(UncWarningText(0), "Source folders:\r\nuse a drive letter (C:, D:)\r\ninstead UNC path "
                                    "(\\\\Server\\Share\\Folder)\r\nin order to mirror opened files\r\n"
                                    "cf. Korvane documentation");
    }
};

QTEST_APPLESS_MAIN(TestDefaultTarget)
#include "tst_defaulttarget.moc"
