#include "platform/systeminfo.h"

#include <QTest>
#include <unistd.h>

using namespace vell;

class TestSystemInfo : public QObject
{
    Q_OBJECT
private slots:
    void describesThisMachine()
    {
        const SystemInfo info = QuerySystemInfo();
        QVERIFY(info.IsNT);
        QCOMPARE(info.NTMajorVersion, 5);
        QCOMPARE(info.ServicePack, int16_t(0));
        QVERIFY(info.copyCarriesStreams());
        QVERIFY2(info.OSDescription.contains(QStringLiteral(", Linux ")), qPrintable(info.OSDescription));
        QVERIFY(!info.OSDescription.startsWith(QLatin1Char('"')));
        QVERIFY(!info.ComputerName.isEmpty());
        QVERIFY(!info.UserName.isEmpty());
        if (::geteuid() == 0)
            QCOMPARE(info.UserName, QStringLiteral("root"));
        // WindowsFolder: the upper-cased Windir.
        const QByteArray saved = qgetenv("Windir");
        const bool wasSet = qEnvironmentVariableIsSet("Windir");
        qputenv("Windir", "c:\\winnt");
        QCOMPARE(QuerySystemInfo().WindowsFolder, QStringLiteral("C:\\WINNT"));
        qunsetenv("Windir");
        QVERIFY(QuerySystemInfo().WindowsFolder.isEmpty());
        if (wasSet)
            qputenv("Windir", saved);
    }
};

QTEST_APPLESS_MAIN(TestSystemInfo)
#include "tst_systeminfo.moc"
