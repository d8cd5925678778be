#include "oplog/dailylog.h"
#include "oplog/logencoding.h"
#include "oplog/logline.h"
#include "oplog/logwords.h"
#include "platform/pathcodec.h"
#include "common/testtree.h"
#include <QTest>

using namespace vell;

// The entries as they land in the file: built by the line builders, written by AppendLogLine, read back as bytes.
class TestLogLine : public QObject
{
    Q_OBJECT
private slots:
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
    void failureTextForTerminals()
    {
        const ItemEvent event{ItemOperation::Delete, true, QStringLiteral("/t/a&b"), EACCES};
        QCOMPARE(FailureText(LogWordsFor(3), event), "Failure: Delete folder - /t/a&b: Permission denied");
    }
};

QTEST_APPLESS_MAIN(TestLogLine)
#include "tst_logline.moc"
