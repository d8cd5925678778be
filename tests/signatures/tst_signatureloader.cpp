#include "common/signatureentries.h"
#include "common/testtree.h"
#include "signatures/signaturefile.h"
#include "signatures/signatureloader.h"
#include "signatures/signaturetable.h"

#include <QTest>

using namespace vell;

Q_DECLARE_METATYPE(SignatureEntry)

class TestSignatureLoader : public QObject
{
    Q_OBJECT

    // Writes `content` as Signatures.txt (unless null) and loads it.
    void load(const QByteArray &content, int32_t langue = 0)
    {
        QVERIFY2(m_tree->isValid(), "no temporary folder");
        if (!content.isNull())
            QVERIFY(m_tree->write("Signatures.txt", content));
        m_messages = LoadSignatures(m_table, path(), langue);
    }
    QString path() const { return m_tree->pathText("Signatures.txt"); }

    std::unique_ptr<TestTree> m_tree;
    SignatureTable m_table;
    QList<SignatureLoadMessage> m_messages;

private slots:
    void init()
    {
        m_tree = std::make_unique<TestTree>();
        m_table = SignatureTable();
        QVERIFY(m_table.add(entry("STALESIG", "old", "Left from an earlier load")));
        m_messages.clear();
    }

    void missingFileGivesBuiltInRowsSilently()
    {
        load(QByteArray());
        QCOMPARE(m_table.entries(), BuiltInSignatures());
        QCOMPARE(m_table.entries().first(), entry("W6BNMSWD", "doc", "Word 6 Document"));
        QCOMPARE(m_table.acceptedRecords(), 0);
        QVERIFY(m_messages.isEmpty());
    }

    void emptyFileGivesEmptyTable_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no bytes") << QByteArray("");
        QTest::newRow("blank lines only") << QByteArray("\r\n  \r\n\n\t\r");
    }
    void emptyFileGivesEmptyTable()
    {
        QFETCH(QByteArray, content);
        load(content);
        QVERIFY(m_table.isEmpty());
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(ExtensionForSignature(m_table, QStringLiteral("W6BNMSWD")), QString());
    }

    void emptyKeyOrDescriptionIsSkipped()
    {
        load("\"AAAAAAAA\",\"\",\"No extension\"\r\n"
             "\"BBBBBBBB\",\"bbb\",\"\"\r\n"
             "\"\",\"ccc\",\"No signature\"\r\n"
             "\"DDDDDDDD\",\"ddd\",\"Kept\"\r\n");
        QCOMPARE(m_table.entries(), Entries({entry("AAAAAAAA", "", "No extension"), entry("DDDDDDDD", "ddd", "Kept")}));
        QCOMPARE(m_table.acceptedRecords(), 2);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(ExtensionForSignature(m_table, QStringLiteral("AAAAAAAA")), QString());
        QCOMPARE(ExtensionForSignature(m_table, QStringLiteral("BBBBBBBB")), QString());
    }

    void duplicateInOtherCaseWarnsAndKeepsFirst_data()
    {
        QTest::addColumn<int>("langue");
        QTest::addColumn<QString>("text");
        QTest::newRow("english") << 3 << QStringLiteral("Duplicate key in Signatures file: textTTXT");
        QTest::newRow("french") << 1 << QStringLiteral("Doublon dans le fichier des Signatures: textTTXT");
        QTest::newRow("portuguese gets english") << 2 << QStringLiteral("Duplicate key in Signatures file: textTTXT");
    }
    void duplicateInOtherCaseWarnsAndKeepsFirst()
    {
        QFETCH(int, langue);
        QFETCH(QString, text);
        load("\"TEXTttxt\",\"txt\",\"First\"\r\n\"textTTXT\",\"doc\",\"Second\"\r\n", langue);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().text, text);
        QCOMPARE(m_messages.first().kind, SignatureLoadMessage::Kind::Duplicate);
        QCOMPARE(m_table.entries(), Entries({entry("TEXTttxt", "txt", "First")}));
        QCOMPARE(m_table.acceptedRecords(), 1);
    }

    void lastRecordCutShortFallsBack_data()
    {
        QTest::addColumn<int>("langue");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("line");
        QTest::newRow("english") << 0 << QStringLiteral("Corrupted Signatures file:") << QStringLiteral("Line:");
        QTest::newRow("french") << 1 << QStringLiteral("Fichier Signatures endommagé:") << QStringLiteral("Ligne:");
    }
    void lastRecordCutShortFallsBack()
    {
        QFETCH(int, langue);
        QFETCH(QString, head);
        QFETCH(QString, line);
        load("\"AAAAAAAA\",\"a\",\"A\"\r\n\"BBBBBBBB\",\"b\",\"B\"\r\n\"CCCCCCCC\",\"c\"\r\n", langue);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().text, head + "\r\n" + path() + "\r\n" + line + "2");
        QCOMPARE(m_messages.first().kind, SignatureLoadMessage::Kind::Corrupt);
        QCOMPARE(m_table.entries(), BuiltInSignatures());
        QCOMPARE(ExtensionForSignature(m_table, QStringLiteral("AAAAAAAA")), QString());
    }

    void duplicateBeforeFaultIsWarnedFirstAndNotCounted()
    {
        load("\"AAAAAAAA\",\"a\",\"A\"\r\n\"aaaaaaaa\",\"b\",\"B\"\r\n\"CCCCCCCC\"\r\n");
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages.at(0).text, QStringLiteral("Duplicate key in Signatures file: aaaaaaaa"));
        QVERIFY(m_messages.at(1).text.endsWith(QLatin1String("\r\nLine:1")));
        QCOMPARE(m_table.entries(), BuiltInSignatures());
    }

    void malformedFileFallsBack_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("accepted");
        QTest::newRow("quote not closed on its line")
                << QByteArray("\"AAAAAAAA\",\"a\",\"A\"\r\n\"BBBBBBBB\",\"b\",\"B\r\n\",\"x\",\"y\"\r\n") << 1;
        QTest::newRow("text after closing quote") << QByteArray("\"AAAAAAAA\",\"a\",\"Word \"6\"\"\r\n") << 0;
        QTest::newRow("quote inside unquoted field") << QByteArray("AAAAAAAA,a,A\r\nBBBBBBBB,b,Say \"B\"\r\n") << 1;
        QTest::newRow("one field left at the end") << QByteArray("\"AAAAAAAA\",\"a\",\"A\"\r\n\"BBBBBBBB\"") << 1;
    }
    void malformedFileFallsBack()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, accepted);
        load(content);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().text, corruptSignatureFileMessage(path(), accepted, 0));
        QCOMPARE(m_table.entries(), BuiltInSignatures());
        QCOMPARE(m_table.acceptedRecords(), accepted);
    }

    void unreadableFileIsTreatedAsCorrupt()
    {
        QVERIFY(m_tree->mkdir("Signatures.txt"));
        load(QByteArray());
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().text,
                 QStringLiteral("Corrupted Signatures file:\r\n") + path() + "\r\nLine:0");
        QCOMPARE(m_table.entries(), BuiltInSignatures());
    }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<Entries>("expected");
        const Entries two{entry("AAAAAAAA", "a", "A"), entry("BBBBBBBB", "b", "B")};
        QTest::newRow("CR LF") << QByteArray("\"AAAAAAAA\",\"a\",\"A\"\r\n\"BBBBBBBB\",\"b\",\"B\"\r\n") << two;
        QTest::newRow("CR only") << QByteArray("\"AAAAAAAA\",\"a\",\"A\"\r\"BBBBBBBB\",\"b\",\"B\"\r") << two;
        QTest::newRow("LF only") << QByteArray("\"AAAAAAAA\",\"a\",\"A\"\n\"BBBBBBBB\",\"b\",\"B\"\n") << two;
        QTest::newRow("no final line end") << QByteArray("\"AAAAAAAA\",\"a\",\"A\"\r\n\"BBBBBBBB\",\"b\",\"B\"") << two;
        QTest::newRow("blank lines around records")
                << QByteArray("\r\n\"AAAAAAAA\",\"a\",\"A\"\r\n  \r\n\r\n\"BBBBBBBB\",\"b\",\"B\"\r\n\r\n") << two;
        QTest::newRow("record spanning lines")
                << QByteArray("\"AAAAAAAA\",\"a\"\r\n\"A\"\r\n\"BBBBBBBB\"\r\n\"b\"\r\n\"B\"\r\n") << two;
        QTest::newRow("unquoted with leading blanks") << QByteArray("  AAAAAAAA,\ta,  A\r\nBBBBBBBB,b,B\r\n") << two;
        QTest::newRow("blanks around quoted fields")
                << QByteArray("  \"AAAAAAAA\" ,\"a\"\t, \"A\"  \r\n\"BBBBBBBB\",\"b\",\"B\"\r\n") << two;
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF\"AAAAAAAA\",\"a\",\"A\"\r\nBBBBBBBB,b,B") << two;
        QTest::newRow("trailing comma is an empty description")
                << QByteArray("\"CCCCCCCC\",\"c\",\r\n\"AAAAAAAA\",\"a\",\"A\"\r\n\"BBBBBBBB\",\"b\",\"B\"\r\n") << two;
        QTest::newRow("commas and blanks inside quotes")
                << QByteArray("\"AAAAAAAA\",\"a\",\" One, two \"\r\n")
                << Entries{entry("AAAAAAAA", "a", " One, two ")};
        QTest::newRow("accents in UTF-8")
                << QByteArray("\"TEXTR\xc3\xa9s\",\"txt\",\"Texte accentu\xc3\xa9 \xe2\x80\x94 \xc3\x87\"\r\n")
                << Entries{entry("TEXTRés", "txt", "Texte accentué — Ç")};
    }
    void readingRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(Entries, expected);
        load(content);
        QCOMPARE(m_table.entries(), expected);
        QCOMPARE(m_table.acceptedRecords(), expected.size());
        QVERIFY(m_messages.isEmpty());
    }

    void lookupIgnoresLetterCase()
    {
        load(QByteArray());
        QCOMPARE(ExtensionForSignature(m_table, QStringLiteral("w6bnmswd")), QStringLiteral("doc"));
        QCOMPARE(ExtensionForSignature(m_table, QStringLiteral("XdocXpr3")), QStringLiteral("qxd"));
        QCOMPARE(ExtensionForSignature(m_table, QStringLiteral("TEXTMSWD")), QString());
        QCOMPARE(ExtensionForSignature(m_table, QString()), QString());
    }

    void builtInRowsKeepTheCount()
    {
        load("\"AAAAAAAA\",\"a\",\"A\"\r\n\"BBBBBBBB\",\"b\",\"B\"\r\n");
        LoadDefaultSignatures(m_table);
        QCOMPARE(m_table.entries(), BuiltInSignatures());
        QCOMPARE(m_table.acceptedRecords(), 2);
    }

    void reloadAfterSaveReplacesTable()
    {
        load("\"AAAAAAAA\",\"a\",\"A\"\r\n\"BBBBBBBB\",\"b\",\"B\"\r\n");
        const std::function<QString(const QString &)> lookup = signatureLookup(m_table);
        QCOMPARE(lookup(QStringLiteral("aaaaaaaa")), QStringLiteral("a"));
        const SignatureSaveResult saved = saveSignatureFile(path(), {entry("BBBBBBBB", "bb", "B")});
        QVERIFY2(saved.ok(), qPrintable(signatureSaveMessage(saved, 0)));
        m_messages = LoadSignatures(m_table, path(), 0);
        QCOMPARE(lookup(QStringLiteral("AAAAAAAA")), QString());
        QCOMPARE(lookup(QStringLiteral("BBBBBBBB")), QStringLiteral("bb"));
        QCOMPARE(m_table.size(), 1);
        QVERIFY(m_messages.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestSignatureLoader)
#include "tst_signatureloader.moc"
