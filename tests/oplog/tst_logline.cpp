#include "oplog/dailylog.h"
#include "oplog/logencoding.h"
#include "oplog/logline.h"
#include "oplog/logwords.h"
#include "platform/pathcodec.h"

#include "common/testtree.h"

#include <QTest>

using namespace vell;

// The entries as they land in the file: built by the line builders, written
// by AppendLogLine, read back as bytes.
class TestLogLine : public QObject
{
    Q_OBJECT

    // Writes one line into a fresh log and returns the file's bytes.
    static QByteArray written(const QString &line)
    {
        TestTree tree;
        const QString file = tree.pathText("log.htm");
        if (AppendLogLine(file, line) != 0)
            return "(not written)";
        return tree.read("log.htm");
    }

private slots:
    void entries_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("bytes");
        const LogWords fr = LogWordsFor(1);
        const LogWords pt = LogWordsFor(2);
        const LogWords en = LogWordsFor(3);
        const auto item = [](const LogWords &words, ItemOperation operation, bool folder, const char *path,
                             int error = 0) {
            return ItemLogLine(words, ItemEvent{operation, folder, QString::fromUtf8(path), error});
        };

        QTest::newRow("english file creation") << item(en, ItemOperation::Creation, false, "/b/letter.doc")
                                               << QByteArray("<small>Creation - /b/letter.doc</small><br>\r\n");
        QTest::newRow("english folder attributes")
            << item(en, ItemOperation::Attributes, true, "/b/Photos")
            << QByteArray("<small><i>Modification attributes folder</i> - /b/Photos</small><br>\r\n");
        QTest::newRow("french folder creation")
            << item(fr, ItemOperation::Creation, true, "/b/Photos")
            << QByteArray("<small><i>Cr\xe9" "ation dossier</i> - /b/Photos</small><br>\r\n");
        QTest::newRow("french security") << item(fr, ItemOperation::Security, false, "/b/a")
                                         << QByteArray("<small>S\xe9" "curit\xe9 modifi\xe9" "e - /b/a</small><br>\r\n");
        QTest::newRow("portuguese folder delete") << item(pt, ItemOperation::Delete, true, "/b/x")
                                                  << QByteArray("<small><i>Supress\xe3o pasta</i> - /b/x</small><br>\r\n");
        QTest::newRow("portuguese modification")
            << item(pt, ItemOperation::Modification, false, "/b/x")
            << QByteArray("<small>Modifica\xe7\xe3o - /b/x</small><br>\r\n");
        QTest::newRow("failed copy, markup in the name")
            << item(en, ItemOperation::Creation, false, "/b/R&D <1>", ENOSPC)
            << QByteArray("<small><b>Failure</b> Creation - /b/R&amp;D &lt;1&gt;: No space left on device</small><br>\r\n");
        QTest::newRow("failed folder reading, french")
            << item(fr, ItemOperation::Reading, true, "/s/x", EACCES)
            << QByteArray("<small><b>\xc9" "chec</b> <i>Lecture dossier</i> - /s/x: Permission denied</small><br>\r\n");
        QTest::newRow("failed log writing, portuguese")
            << item(pt, ItemOperation::Writing, false, "/l", EROFS)
            << QByteArray("<small><b>Falha</b> Escrita - /l: Read-only file system</small><br>\r\n");

        QTest::newRow("unknown folder") << UnknownFolderLogLine(QStringLiteral("14:03:27 - Unknown target folder"),
                                                                QStringLiteral("/backup/"))
                                        << QByteArray("14:03:27 - Unknown target folder: /backup/<br>\r\n");
        QTest::newRow("unknown folder portuguese")
            << UnknownFolderLogLine(QStringLiteral("14:03:27 - Pasta de saída desconhecida"), QStringLiteral("/d/"))
            << QByteArray("14:03:27 - Pasta de sa\xed" "da desconhecida: /d/<br>\r\n");
        QTest::newRow("summary") << SummaryLogEntry(QStringLiteral("Monday - 14:05:00; 3 files in 1 source folder"),
                                                    QStringLiteral("Files: 3 created, 0 modified, 0 removed"))
                                 << QByteArray("Monday - 14:05:00; 3 files in 1 source folder<br>"
                                               "Files: 3 created, 0 modified, 0 removed<br><hr>\r\n");
        QTest::newRow("summary with failures")
            << SummaryLogEntry(QStringLiteral("l1"), QStringLiteral("l2"), QStringLiteral("2 failures; see <log>"))
            << QByteArray("l1<br>l2<br>2 failures; see &lt;log&gt;<br><hr>\r\n");
        QTest::newRow("summary french")
            << SummaryLogEntry(QStringLiteral("lundi à 14:05:00"), QStringLiteral("Fichiers: 2 créés; durée 0,50 s"))
            << QByteArray("lundi \xe0 14:05:00<br>Fichiers: 2 cr\xe9\xe9s; dur\xe9" "e 0,50 s<br><hr>\r\n");

        QTest::newRow("markup in an unknown folder")
            << UnknownFolderLogLine(QStringLiteral("t"), QStringLiteral("/a&b/<i>/"))
            << QByteArray("t: /a&amp;b/&lt;i&gt;/<br>\r\n");
        QTest::newRow("an escaped name is not escaped again")
            << FileLogLine(en.LogWordCreation, QStringLiteral("/b/&amp;"))
            << QByteArray("<small>Creation - /b/&amp;amp;</small><br>\r\n");
    }
    void entries()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, bytes);
        QCOMPARE(written(line), bytes);
    }

    void failureTextForTerminals()
    {
        const ItemEvent event{ItemOperation::Delete, true, QStringLiteral("/t/a&b"), EACCES};
        QCOMPARE(FailureText(LogWordsFor(3), event), QStringLiteral("Failure: Delete folder - /t/a&b: Permission denied"));
    }

    void encoding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("french accents") << QStringLiteral("àâçéèêëîïôùûüÿ") << QByteArray("\xe0\xe2\xe7\xe9\xe8\xea\xeb\xee\xef\xf4\xf9\xfb\xfc\xff");
        QTest::newRow("portuguese accents") << QStringLiteral("ãõáíóúÇÃ") << QByteArray("\xe3\xf5\xe1\xed\xf3\xfa\xc7\xc3");
        QTest::newRow("windows-1252 letters above latin-1") << QStringLiteral("€Œœ…—™Ÿ") << QByteArray("\x80\x8c\x9c\x85\x97\x99\x9f");
        QTest::newRow("greek") << QStringLiteral("αβ") << QByteArray("&#945;&#946;");
        QTest::newRow("cyrillic") << QStringLiteral("Жук") << QByteArray("&#1046;&#1091;&#1082;");
        QTest::newRow("emoji") << QStringLiteral("a😀b") << QByteArray("a&#128512;b");
        QTest::newRow("markup passes") << QStringLiteral("<b>&amp;</b>") << QByteArray("<b>&amp;</b>");
        QTest::newRow("tab kept") << QStringLiteral("a\tb") << QByteArray("a\tb");
        QTest::newRow("line break in a name") << QStringLiteral("a\nb\rc") << QByteArray("a&#65533;b&#65533;c");
        QTest::newRow("c1 control") << QString(QChar(0x81)) << QByteArray("&#65533;");
        QTest::newRow("undecodable name byte") << PathFromBytes("caf\xe9") << QByteArray("caf&#65533;");
        QTest::newRow("lone high surrogate") << QString(QChar(0xD83D)) + QLatin1Char('x') << QByteArray("&#65533;x");
    }
    void encoding()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(LogFileBytes(text), bytes);
    }
};

QTEST_APPLESS_MAIN(TestLogLine)
#include "tst_logline.moc"
