#include "common/filesizelimit.h"
#include "common/signatureentries.h"
#include "common/testtree.h"
#include "signatures/signaturefile.h"
#include "signatures/signatureloader.h"
#include "signatures/signaturetable.h"

#include <QTest>
#include <cerrno>
#include <cstring>

using namespace vell;

namespace {

const QByteArray OldFile = "\"OLDSIG01\",\"old\",\"The file before the save\"\r\n";

} // namespace

class TestSignatureFile : public QObject
{
    Q_OBJECT

private slots:
    void writesSortedQuotedCrLf()
    {
        const QByteArray text = formatSignatureText({
                entry("XDOCXPR3", "qxd", "Quark"),
                entry("abcdEFGH", "", "Empty extension"),
                entry("W6BNMSWD", "doc", "Word, 6"),
        });
        QCOMPARE(text, QByteArray("\"abcdEFGH\",\"\",\"Empty extension\"\r\n"
                                  "\"W6BNMSWD\",\"doc\",\"Word, 6\"\r\n"
                                  "\"XDOCXPR3\",\"qxd\",\"Quark\"\r\n"));
    }

    void roundTripKeepsEveryEntry()
    {
        TestTree tree;
        QVERIFY2(tree.isValid(), "no temporary folder");
        const Entries entries{
                entry(QStringLiteral("TEXTR\u00e9s"), QStringLiteral("t\u00e9x"),
                      QStringLiteral("Texte accentu\u00e9 \u00c7\u00e0\u00fc")),
                entry(QStringLiteral("tExT8BIM"), QStringLiteral("psd"), QStringLiteral("  Photoshop, with blanks  ")),
                entry(QStringLiteral("\u0391\u03b2\u03b3\u03b4MOOV"), QString(),
                      QStringLiteral("\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \U0001F600")),
                entry(QStringLiteral("AAAAAAAA"), QStringLiteral("a"), QStringLiteral("First, in order")),
        };
        const QString path = tree.pathText("Signatures.txt");
        const SignatureSaveResult saved = saveSignatureFile(path, entries);
        QVERIFY2(saved.ok(), qPrintable(signatureSaveMessage(saved, 0)));

        const SignatureFileReading reading = readSignatureFile(path);
        QCOMPARE(reading.status, SignatureFileStatus::Complete);
        // Letter case is ignored in the order: "tExT8BIM" comes before "TEXTRés".
        QCOMPARE(reading.records, Entries({entries[3], entries[1], entries[0], entries[2]}));

        SignatureTable table;
        QVERIFY(LoadSignatures(table, path, 0).isEmpty());
        QCOMPARE(table.size(), entries.size());
        QCOMPARE(ExtensionForSignature(table, QStringLiteral("TEXT8bim")), QStringLiteral("psd"));
        QCOMPARE(ExtensionForSignature(table, QStringLiteral("textr\u00c9s")), QStringLiteral("t\u00e9x"));
        QCOMPARE(tree.entries(""), QByteArrayList{"Signatures.txt"}); // no temporary file left
    }

    void bytesThatAreNotUtf8SurviveASave()
    {
        TestTree tree;
        const QByteArray legacy = "\"AAAAAAAA\",\"a\",\"Cr\xe9" "ateur\"\r\n\"BBBBBBBB\",\"b\",\"\x80\xff\"\r\n";
        QVERIFY(tree.write("Signatures.txt", legacy));
        const QString path = tree.pathText("Signatures.txt");
        const SignatureFileReading reading = readSignatureFile(path);
        QCOMPARE(reading.records.size(), 2);
        QVERIFY(saveSignatureFile(path, reading.records).ok());
        QCOMPARE(tree.read("Signatures.txt"), legacy);
    }

    void refusesWhatCannotReadBack_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<SignatureSaveError>("error");
        QTest::addColumn<QString>("signature");
        const SignatureEntry good = entry("GOODGOOD", "g", "Good");
        QTest::newRow("quote in description") << Entries{good, entry("TEXTttxt", "txt", "Say \"hi\"")}
                                              << SignatureSaveError::QuoteInField << QStringLiteral("TEXTttxt");
        QTest::newRow("quote in signature") << Entries{entry("TEXT\"txt", "txt", "T"), good}
                                            << SignatureSaveError::QuoteInField << QStringLiteral("TEXT\"txt");
        QTest::newRow("line break") << Entries{entry("TEXTttxt", "txt", "Two\r\nlines")}
                                    << SignatureSaveError::UnwritableCharacter << QStringLiteral("TEXTttxt");
        QTest::newRow("lone surrogate") << Entries{entry("TEXTttxt", "txt", QString(QChar(0xD800)))}
                                        << SignatureSaveError::UnwritableCharacter << QStringLiteral("TEXTttxt");
        QTest::newRow("same signature in other case")
                << Entries{good, entry("goodGOOD", "x", "Other")} << SignatureSaveError::DuplicateSignature
                << QStringLiteral("goodGOOD");
        QTest::newRow("empty description") << Entries{entry("TEXTttxt", "txt", "")}
                                           << SignatureSaveError::EmptyDescription << QStringLiteral("TEXTttxt");
        QTest::newRow("empty signature") << Entries{entry("", "txt", "T")}
                                         << SignatureSaveError::EmptySignature << QString();
    }
    void refusesWhatCannotReadBack()
    {
        QFETCH(Entries, entries);
        QFETCH(SignatureSaveError, error);
        QFETCH(QString, signature);
        TestTree tree;
        QVERIFY(tree.write("Signatures.txt", OldFile));
        const SignatureSaveResult result = saveSignatureFile(tree.pathText("Signatures.txt"), entries);
        QCOMPARE(result.error, error);
        QCOMPARE(result.signature, signature);
        QVERIFY(!signatureSaveMessage(result, 0).isEmpty());
        QCOMPARE(tree.read("Signatures.txt"), OldFile);
    }

    void quoteRefusalMessage()
    {
        SignatureSaveResult result;
        result.error = SignatureSaveError::QuoteInField;
        result.signature = QStringLiteral("TEXTttxt");
        QCOMPARE(signatureSaveMessage(result, 2),
                 QStringLiteral("Double quote (\") not allowed in signature: TEXTttxt"));
        QCOMPARE(signatureSaveMessage(result, 1),
                 QStringLiteral("Guillemet (\") interdit dans la signature: TEXTttxt"));
    }

    void writeStoppedPartWayKeepsOldFile()
    {
        TestTree tree;
        QVERIFY(tree.write("Signatures.txt", OldFile));
        Entries many;
        for (int i = 0; i < 40; ++i)
            many.append(entry(QStringLiteral("SIG%1").arg(i, 5, 10, QLatin1Char('0')), "x", "A longer description"));
        SignatureSaveResult result;
        {
            const FileSizeLimit limit(512);
            QVERIFY(limit.ok());
            result = saveSignatureFile(tree.pathText("Signatures.txt"), many);
        }
        QCOMPARE(result.error, SignatureSaveError::WriteFailed);
        QVERIFY(signatureSaveMessage(result, 0).startsWith(QLatin1String("Cannot write Signatures file:\r\n")
                                                           + tree.pathText("Signatures.txt") + "\r\n"));
        QVERIFY(result.reason.endsWith(QString::fromLocal8Bit(std::strerror(EFBIG))));
        QCOMPARE(tree.read("Signatures.txt"), OldFile);
        QCOMPARE(tree.entries(""), QByteArrayList{"Signatures.txt"});
    }

    void saveKeepsThePermissions()
    {
        TestTree tree;
        QVERIFY(tree.write("Signatures.txt", OldFile));
        QVERIFY(tree.setMode("Signatures.txt", 0604));
        QVERIFY(saveSignatureFile(tree.pathText("Signatures.txt"), {entry("AAAAAAAA", "a", "A")}).ok());
        QCOMPARE(tree.read("Signatures.txt"), QByteArray("\"AAAAAAAA\",\"a\",\"A\"\r\n"));
        QCOMPARE(tree.mode("Signatures.txt"), 0604u);
    }

    void unwritablePlaceKeepsOldFile_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::newRow("folder missing") << QByteArray("gone/Signatures.txt");
        QTest::newRow("target is a folder") << QByteArray("Signatures.txt");
    }
    void unwritablePlaceKeepsOldFile()
    {
        QFETCH(QByteArray, target);
        TestTree tree;
        QVERIFY(tree.mkdir("Signatures.txt"));
        QVERIFY(tree.write("Signatures.txt/inside", OldFile));
        const SignatureSaveResult result = saveSignatureFile(tree.pathText(target), {entry("AAAAAAAA", "a", "A")});
        QCOMPARE(result.error, SignatureSaveError::WriteFailed);
        QCOMPARE(tree.entries(""), QByteArrayList{"Signatures.txt"});
        QCOMPARE(tree.read("Signatures.txt/inside"), OldFile);
    }

    void readOnlyFolderKeepsOldFile()
    {
        if (RunningAsRoot())
            QSKIP("root writes into a read-only folder; the file size limit case covers the fault");
        TestTree tree;
        QVERIFY(tree.write("Signatures.txt", OldFile));
        QVERIFY(tree.setMode("", 0555));
        const SignatureSaveResult result =
                saveSignatureFile(tree.pathText("Signatures.txt"), {entry("AAAAAAAA", "a", "A")});
        QVERIFY(tree.setMode("", 0755));
        QCOMPARE(result.error, SignatureSaveError::WriteFailed);
        QCOMPARE(tree.read("Signatures.txt"), OldFile);
    }
};

QTEST_APPLESS_MAIN(TestSignatureFile)
#include "tst_signaturefile.moc"
