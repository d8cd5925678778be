// The log viewer's logic on a real folder: which logs it lists under which date, and deleting exactly one.
#include "oplog/logviewer.h"
#include "common/testtree.h"
#include <QTest>

using namespace vell;

class TestLogViewer : public QObject
{
    Q_OBJECT
private slots:
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
};

QTEST_APPLESS_MAIN(TestLogViewer)
#include "tst_logviewer.moc"
