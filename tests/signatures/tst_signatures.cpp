#include "common/signatureentries.h"
#include "common/testtree.h"
#include "platform/pathcodec.h"
#include "signatures/signaturefile.h"
#include "signatures/signatureloader.h"

#include <QTest>
#include <cstring>

using namespace vell;

namespace {

const QString Builtins = "W6BNMSWD|doc|Word 6 Document; WDBNMSWD|doc|Word 3/4/5 Macintosh Document; "
                         "XDOCXPR3|qxd|Quark XPress Document";
const QString Two = "AAAAAAAA|a|A; BBBBBBBB|b|B #2";
const QByteArray OldFile = "\"OLDSIG01\",\"old\",\"The file before the save\"\r\n";

// A load in one line: the entries, the count, then each message (D a
// duplicate, C a corrupt file) with the file's path as <file>.
QString describe(const SignatureTable &table, const QList<SignatureLoadMessage> &messages, const QString &file)
{
    QStringList entries;
    for (const SignatureEntry &e : table.entries())
        entries << e.signature + '|' + e.extension + '|' + e.description;
    QString text = entries.join(QLatin1String("; ")) + " #" + QString::number(table.acceptedRecords());
    for (const SignatureLoadMessage &m : messages)
        text += QString(m.kind == SignatureLoadMessage::Kind::Duplicate ? " !D " : " !C ") + m.text;
    return text.replace(file, "<file>");
}

} // namespace

class TestSignatures : public QObject
{
    Q_OBJECT
private slots:
    void load_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file; "/": a folder
        QTest::addColumn<int>("langue");
        QTest::addColumn<QString>("loaded");
        const QByteArray a = "\"AAAAAAAA\",\"a\",\"A\"", b = "\"BBBBBBBB\",\"b\",\"B\"";
        QTest::newRow("no file") << QByteArray() << 0 << Builtins + " #0";
        QTest::newRow("no bytes") << QByteArray("") << 0 << " #0";
        QTest::newRow("blank lines only") << QByteArray("\r\n  \r\n\n\t\r") << 0 << " #0";
        QTest::newRow("CR LF") << a + "\r\n" + b + "\r\n" << 0 << Two;
        QTest::newRow("CR only, no final end") << a + "\r" + b << 0 << Two;
        QTest::newRow("LF, blank lines around") << "\n" + a + "\n  \n\n" + b + "\n\n" << 0 << Two;
        QTest::newRow("record over lines") << QByteArray("\"AAAAAAAA\",\"a\"\r\n\"A\"\r\nBBBBBBBB\r\nb\r\nB") << 0 << Two;
        QTest::newRow("blanks") << QByteArray("  AAAAAAAA,\ta,  A\r\n  \"BBBBBBBB\" ,\"b\"\t, \"B\"  ") << 0 << Two;
        QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + a + "\r\n" + b << 0 << Two;
        QTest::newRow("empty fields") << QByteArray("\"CCCCCCCC\",\"c\",\r\n\"\",\"d\",\"D\"\r\nAAAAAAAA,,\" One, two \"")
                                      << 0 << "AAAAAAAA|| One, two  #1";
        QTest::newRow("UTF-8") << QByteArray("TEXTR\xc3\xa9s,txt,\xe2\x80\x94 \xc3\x87") << 0 << "TEXTRés|txt|— Ç #1";
        QTest::newRow("duplicate, portuguese") << a + "\r\n" + "\"aaaaaaaa\",\"b\",\"B\"" << 2
                                               << "AAAAAAAA|a|A #1 !D Duplicate key in Signatures file: aaaaaaaa";
        QTest::newRow("cut short") << a + "\r\n" + b + "\r\n\"CCCCCCCC\",\"c\"\r\n" << 3
                                   << Builtins + " #2 !C Corrupted Signatures file:\r\n<file>\r\nLine:2";
        QTest::newRow("duplicate, then cut short") << a + "\r\nAAAAAAAa,b,B\r\nC" << 0
                                                   << Builtins + " #1 !D Duplicate key in Signatures file: AAAAAAAa"
                                                          " !C Corrupted Signatures file:\r\n<file>\r\nLine:1";
        const QString corrupt = " !C Corrupted Signatures file:\r\n<file>\r\nLine:";
        QTest::newRow("quote not closed") << a + "\r\n\"BBBBBBBB\",\"b\",\"B\r\n\",\"x\",\"y\"" << 0
                                          << Builtins + " #1" + corrupt + "1";
        QTest::newRow("text after the quote") << QByteArray("A,a,\"Word \"6\"\"") << 0 << Builtins + " #0" + corrupt + "0";
        QTest::newRow("quote in unquoted") << QByteArray("AAAAAAAA,a,Say \"A\"") << 0 << Builtins + " #0" + corrupt + "0";
        QTest::newRow("unreadable") << QByteArray("/") << 0 << Builtins + " #0" + corrupt + "0";
    }
    void load()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, langue);
        QFETCH(QString, loaded);
        TestTree tree;
        QVERIFY(content.isNull() || (content == "/" ? tree.mkdir("Signatures.txt") : tree.write("Signatures.txt", content)));
        SignatureTable table;
        QVERIFY(table.add(entry("STALESIG", "old", "Left from an earlier load")));
        table.setAcceptedRecords(9);
        const QList<SignatureLoadMessage> messages = LoadSignatures(table, tree.pathText("Signatures.txt"), langue);
        QCOMPARE(describe(table, messages, tree.pathText("Signatures.txt")), loaded);
    }

    void lookupIgnoresLetterCase()
    {
        SignatureTable table;
        table.setAcceptedRecords(2);
        LoadDefaultSignatures(table); // keeps the count
        const std::function<QString(const QString &)> lookup = signatureLookup(table);
        QCOMPARE(QStringList({lookup("w6bnMSWD"), lookup("XDOCXPR3"), lookup("W6BNMSWX"), lookup("")}),
                 QStringList({"doc", "qxd", "", ""}));
        QVERIFY(table.add(entry("AAAAAAAA", "", "No extension")) && !table.add(entry("aaaaaaaa", "a", "A")));
        QCOMPARE(lookup("AAAAAAAA") + QString::number(table.acceptedRecords()), "2");
    }

    void saveSortsQuotesAndReadsBack()
    {
        TestTree tree;
        const QString path = tree.pathText("Signatures.txt");
        const Entries entries{entry("XDOCXPR3", "qxd", "Quark"), entry("tExT8BIM", "", "Photo, with blanks "),
                              entry(QStringLiteral("TEXTR\u00e9s"), "t", PathFromBytes("Cr\xe9" "ateur \x80\xff"))};
        QVERIFY(saveSignatureFile(path, entries).ok());
        QCOMPARE(tree.read("Signatures.txt"), QByteArray("\"tExT8BIM\",\"\",\"Photo, with blanks \"\r\n"
                                                         "\"TEXTR\xc3\xa9s\",\"t\",\"Cr\xe9" "ateur \x80\xff\"\r\n"
                                                         "\"XDOCXPR3\",\"qxd\",\"Quark\"\r\n"));
        QCOMPARE(readSignatureFile(path).records, Entries({entries[1], entries[2], entries[0]}));
        QCOMPARE(tree.entries(""), QByteArrayList{"Signatures.txt"}); // no temporary file left
    }

    void saveRefusesWhatCannotReadBack_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<int>("langue");
        QTest::addColumn<QString>("message"); // the file stays as it was
        const SignatureEntry good = entry("GOODGOOD", "g", "Good");
        QTest::newRow("quote") << Entries{good, entry("TEXTttxt", "t\"", "T")}
                               << 3 << "Double quote (\") not allowed in signature: TEXTttxt";
        QTest::newRow("line break") << Entries{entry("TEXTttxt", "txt", "Two\nlines")}
                                    << 3 << "Character that cannot be saved in signature: TEXTttxt";
        QTest::newRow("lone surrogate") << Entries{entry("TEXTttxt", "txt", QString(QChar(0xD800)))}
                                        << 3 << "Character that cannot be saved in signature: TEXTttxt";
        QTest::newRow("same signature in other case") << Entries{good, entry("goodGOOD", "x", "Other")}
                                                      << 3 << "Duplicate key in Signatures file: goodGOOD";
        QTest::newRow("no description") << Entries{entry("TEXTttxt", "txt", "")} << 2
                                        << "Macintosh type is mandatory: TEXTttxt";
        QTest::newRow("no signature") << Entries{good, entry("", "txt", "T")}
                                      << 3 << "Type/Creator signature must be 8 characters";
        QTest::newRow("folder missing") << Entries{good}
                                        << 3 << "Cannot write Signatures file:\r\n<gone>\r\n" + QString(strerror(ENOENT));
        QTest::newRow("quote, french") << Entries{entry("TEXTttxt", "t\"", "T")} << 1
                                       << "Guillemet (\") interdit dans la signature: TEXTttxt";
    }
    void saveRefusesWhatCannotReadBack()
    {
        QFETCH(Entries, entries);
        QFETCH(int, langue);
        QFETCH(QString, message);
        TestTree tree;
        QVERIFY(tree.write("Signatures.txt", OldFile));
        const QString path = tree.pathText(message.contains("<gone>") ? "gone/Signatures.txt" : "Signatures.txt");
        QCOMPARE(signatureSaveMessage(saveSignatureFile(path, entries), langue), QString(message).replace("<gone>", path));
        QCOMPARE(tree.read("Signatures.txt"), OldFile);
        QCOMPARE(tree.entries(""), QByteArrayList{"Signatures.txt"});
    }
};

QTEST_APPLESS_MAIN(TestSignatures)
#include "tst_signatures.moc"
