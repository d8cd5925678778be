#include "config/settingsfile.h"

#include "common/testtree.h"
#include "platform/profile.h"
#include "base/programidentity.h"

#include <QTest>

using namespace vell;

namespace {

ProgramFiles filesIn(const TestTree &tree)
{
    return ProgramFiles{tree.rootText()};
}

// Writes Vell.ini and loads it; an empty Settings (Langue -1) when the
// file cannot be written.
Settings loadFrom(TestTree &tree, const QByteArray &ini)
{
    if (!tree.write("Vell.ini", ini)) {
        Settings none;
        none.Langue = -1;
        return none;
    }
    return LoadSettings(filesIn(tree));
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT
private slots:
    void noKeyGivesEveryDefault_data()
    {
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no file") << false << QByteArray();
        QTest::newRow("sections without keys") << true << QByteArray("[Configuration]\r\n[Logs]\r\n");
        QTest::newRow("every key empty") << true
                                         << QByteArray("[Configuration]\r\nLangue=\r\nMiroirSousDossiers=\r\n"
                                                       "Temporisation=\r\nMessageNetSend=\r\n"
                                                       "[Logs]\r\nPathLogs=\r\nDelaiLogs=\r\n");
    }
    void noKeyGivesEveryDefault()
    {
        QFETCH(bool, fileExists);
        QFETCH(QByteArray, content);
        TestTree tree;
        if (fileExists)
            QVERIFY(tree.write("Vell.ini", content));
        const Settings s = LoadSettings(filesIn(tree));
        QCOMPARE(s.Langue, 0);
        QVERIFY(s.MiroirSousDossiers);
        QVERIFY(!s.Effacement);
        QVERIFY(!s.CopierAttributs);
        QCOMPARE(SecurityChoiceOf(s), SecurityChoice::Non);
        QCOMPARE(s.Temporisation, 10);
        QCOMPARE(s.Performance, 1);
        QVERIFY(s.PrefixeCibleDefaut.isEmpty());
        QVERIFY(s.PrefixeCibleDefautUNC.isEmpty());
        QVERIFY(!s.AfficherFichiers && !s.Automatique && !s.ArretAutomatique);
        QVERIFY(!s.ErreurDossier && !s.ErreurDossierSon && !s.ErreurDossierNetSend && !s.ErreurDossierEventLog);
        QCOMPARE(s.MessageNetSend, QStringLiteral("Administrator \"Warning from Vell: unknown folder\""));
        QVERIFY(!s.Logs && !s.FichiersLogs && !s.PurgeLogs);
        QCOMPARE(s.PathLogs, tree.rootText());
        QCOMPARE(s.DelaiLogs, 10);
    }

    void flagsOnlyForExactlyOne_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("on");
        QTest::newRow("one") << QByteArray("1") << true;
        QTest::newRow("one with blanks around") << QByteArray("  1  ") << true;
        QTest::newRow("quoted one") << QByteArray("\"1\"") << true;
        QTest::newRow("blank before one, quoted") << QByteArray("\" 1\"") << false;
        QTest::newRow("zero") << QByteArray("0") << false;
        QTest::newRow("word") << QByteArray("True") << false;
        QTest::newRow("leading zero") << QByteArray("01") << false;
        QTest::newRow("two") << QByteArray("2") << false;
    }
    void flagsOnlyForExactlyOne()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, on);
        TestTree tree;
        const Settings s = loadFrom(tree, "[Configuration]\r\nEffacement=" + stored + "\r\nMiroirSousDossiers="
                                              + stored + "\r\n[Logs]\r\nPurgeLogs=" + stored + "\r\n");
        QCOMPARE(s.Effacement, on);
        QCOMPARE(s.MiroirSousDossiers, on); // on by default, yet a stored text decides
        QCOMPARE(s.PurgeLogs, on);
    }

    void countsBelowOneGiveDefaults_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("temporisation");
        QTest::addColumn<int>("performance");
        QTest::addColumn<int>("delaiLogs");
        QTest::newRow("zero") << QByteArray("0") << 10 << 1 << 10;
        QTest::newRow("no number") << QByteArray("abc") << 10 << 1 << 10;
        QTest::newRow("negative") << QByteArray("-5") << 10 << -5 << -5;
        QTest::newRow("one") << QByteArray("1") << 1 << 1 << 1;
        QTest::newRow("lowest") << QByteArray("-2147483648") << 10 << -2147483647 - 1 << -2147483647 - 1;
        QTest::newRow("seven") << QByteArray("7") << 7 << 7 << 7;
        QTest::newRow("past 16 bits") << QByteArray("60000") << 60000 << 60000 << 60000;
    }
    void countsBelowOneGiveDefaults()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, temporisation);
        QFETCH(int, performance);
        QFETCH(int, delaiLogs);
        TestTree tree;
        const Settings s = loadFrom(tree, "[Configuration]\r\nTemporisation=" + stored + "\r\nPerformance=" + stored
                                              + "\r\n[Logs]\r\nDelaiLogs=" + stored + "\r\n");
        QCOMPARE(s.Temporisation, temporisation);
        QCOMPARE(s.Performance, performance);
        QCOMPARE(s.DelaiLogs, delaiLogs);
    }

    void integerRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "42" << 42;
        QTest::newRow("leading zero") << "01" << 1;
        QTest::newRow("leading blanks") << "  12" << 12;
        QTest::newRow("trailing letters") << "12abc" << 12;
        QTest::newRow("no number") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("fraction rounds up") << "3.6" << 4;
        QTest::newRow("half rounds away") << "2.5" << 3;
        QTest::newRow("negative half") << "-2.5" << -3;
        QTest::newRow("bare fraction") << ".7" << 1;
        QTest::newRow("plus sign") << "+5" << 5;
        QTest::newRow("exponent") << "1e3" << 1000;
        QTest::newRow("e without digits") << "2e" << 2;
        QTest::newRow("dot alone") << "." << 0;
        QTest::newRow("too big") << "99999999999" << 2147483647;
        QTest::newRow("too small") << "-99999999999" << -2147483647 - 1;
        QTest::newRow("lowest") << "-2147483648" << -2147483647 - 1;
        QTest::newRow("rounds past the top") << "2147483647.5" << 2147483647;
        QTest::newRow("huge exponent") << "1e999" << 2147483647;
        QTest::newRow("huge negative exponent") << "-1e999" << -2147483647 - 1;
        QTest::newRow("400 digits") << QString(400, u'9') << 2147483647;
        QTest::newRow("many leading zeros") << QString(40, u'0') + "7" << 7;
        QTest::newRow("tiny") << "1e-999" << 0;
        QTest::newRow("exponent moves the point") << "25e-1" << 3;
        QTest::newRow("fraction and exponent") << "1.25e1" << 13;
        QTest::newRow("minus alone") << "-" << 0;
        QTest::newRow("arabic-indic digits are no number") << QString::fromUtf8("\xd9\xa3") << 0;
    }
    void integerRule()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(IntegerFromText(text), value);
    }

    void readingRules()
    {
        TestTree tree;
        const Settings s = loadFrom(tree, "[configuration]\r\n"
                                          "LANGUE = 2\r\n"
                                          "prefixecibledefaut\t=  \"/backup\"  \r\n"
                                          "MessageNetSend=" + QByteArray(300, 'm') + "\r\n"
                                          "Automatique = 1\r\n"
                                          "Automatique=0\r\n");
        QCOMPARE(s.Langue, 2);
        QCOMPARE(s.PrefixeCibleDefaut, QStringLiteral("/backup"));
        QCOMPARE(s.MessageNetSend, QString(254, u'm'));
        QVERIFY(s.Automatique); // the first match wins
        QCOMPARE(LoadLangue(filesIn(tree)), 2);
    }

    void pathLogsFallsBackToProgramFolder_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("kept");
        QTest::newRow("existing folder") << QByteArray("logs") << true;
        QTest::newRow("missing folder") << QByteArray("gone") << false;
        QTest::newRow("a file") << QByteArray("file.txt") << false;
    }
    void pathLogsFallsBackToProgramFolder()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, kept);
        TestTree tree;
        QVERIFY(tree.mkdir("logs"));
        QVERIFY(tree.write("file.txt", "x"));
        const Settings s = loadFrom(tree, "[Logs]\r\nPathLogs=" + tree.path(stored) + "\r\n");
        QCOMPARE(s.PathLogs, kept ? tree.pathText(stored) : tree.rootText());
    }

    void writeSettingReadsBack()
    {
        TestTree tree;
        QVERIFY(tree.write("Vell.ini", "; mine\r\n[Configuration]\r\nCustom=x\r\nLangue=1\r\n[Other]\r\na=b\r\n"));
        const ProgramFiles files = filesIn(tree);
        QCOMPARE(WriteSettingNumber(files, SectionConfiguration, "Langue", 3), 0);
        QCOMPARE(WriteSettingFlag(files, SectionConfiguration, "Automatique", true), 0);
        QCOMPARE(WriteSetting(files, SectionLogs, "PathLogs", tree.rootText()), 0);
        QCOMPARE(WriteSetting(files, SectionConfiguration, "MessageNetSend", "a\nb"), -EINVAL);
        QCOMPARE(tree.read("Vell.ini"), "; mine\r\n[Configuration]\r\nCustom=x\r\nLangue=3\r\nAutomatique=1\r\n"
                                        "[Other]\r\na=b\r\n\r\n[Logs]\r\nPathLogs=" + tree.root() + "\r\n");
        const Settings s = LoadSettings(files);
        QCOMPARE(s.Langue, 3);
        QVERIFY(s.Automatique);
        QCOMPARE(MirrorSection(12), QStringLiteral("Mirror_12"));
    }
};

QTEST_APPLESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
