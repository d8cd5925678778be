#include "config/settingsfile.h"
#include "common/testtree.h"
#include "base/programidentity.h"
#include <QTest>

using namespace vell;

namespace {
// Every field in key order, flags as 0/1, the program folder as "<root>".
QString describe(const Settings &s, const QString &root)
{
    const auto n = [](int32_t value) { return QString::number(value); };
    return QStringList{n(s.Langue), n(s.MiroirSousDossiers), n(s.Effacement), n(s.CopierAttributs), n(s.CopierSecurite),
                       n(s.CopierSecuriteDossiers), n(s.CopierSecuriteTout), n(s.Temporisation), n(s.Performance),
                       s.PrefixeCibleDefaut, s.PrefixeCibleDefautUNC, n(s.AfficherFichiers), n(s.Automatique),
                       n(s.ArretAutomatique), n(s.ErreurDossier), n(s.ErreurDossierSon), n(s.ErreurDossierNetSend),
                       s.MessageNetSend, n(s.ErreurDossierEventLog), n(s.Surveillance), n(s.DelaiVerification),
                       n(s.CopiesSimultanees), n(s.Logs), n(s.FichiersLogs), s.PathLogs,
                       n(s.PurgeLogs), n(s.DelaiLogs)}.join(u'|').replace(root, "<root>");
}
const QString Defaults =
    "0|1|0|0|0|0|0|10|1|||0|0|0|0|0|0|Administrator \"Warning from Vell: unknown folder\"|0|1|60|0|0|0|<root>|0|10";
} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT
private slots:
    void loadSettings_data()
    {
        QTest::addColumn<QByteArray>("ini"); // null: no file; ";" ends a line
        QTest::addColumn<QString>("read");
        const auto row = [](const char *name, QByteArray ini, QString read) { QTest::newRow(name) << ini << read; };
        row("no file", {}, Defaults);
        row("every key empty", "[Configuration];Langue=;MiroirSousDossiers=;Temporisation=;MessageNetSend=;"
                               "[Logs];PathLogs=;DelaiLogs=", Defaults);
        row("every key set",
            "[Configuration];Langue=2;MiroirSousDossiers=0;Effacement=1;CopierAttributs=1;CopierSecurite=1;"
            "CopierSecuriteDossiers=1;CopierSecuriteTout=1;Temporisation=60000;Performance=100;PrefixeCibleDefaut=/b;"
            "PrefixeCibleDefautUNC=//S/x;AfficherFichiers=1;Automatique=1;ArretAutomatique=1;ErreurDossier=1;"
            "ErreurDossierSon=1;ErreurDossierNetSend=1;MessageNetSend=m;ErreurDossierEventLog=1;Surveillance=0;"
            "DelaiVerification=10080;CopiesSimultanees=8;[Logs];Logs=1;FichiersLogs=1;PathLogs=<root>/logs;PurgeLogs=1;DelaiLogs=366",
            "2|0|1|1|1|1|1|60000|100|/b|//S/x|1|1|1|1|1|1|m|1|0|10080|8|1|1|<root>/logs|1|366");
        // The safety-net delay keeps a week at most; anything outside 1 to 10080 minutes is the default hour.
        for (const QByteArray out : {"0", "-1", "10081", "x"})
            row(("verification delay " + out).constData(), "[Configuration];DelaiVerification=" + out, Defaults);
        row("verification delay 1", "[Configuration];DelaiVerification=1", QString(Defaults).replace("|1|60|", "|1|1|"));
        // At most 8 copies at once; anything else is the automatic choice.
        for (const QByteArray out : {"-1", "9", "x"})
            row(("copies at once " + out).constData(), "[Configuration];CopiesSimultanees=" + out, Defaults);
        row("logs folder missing", "[Logs];PathLogs=<root>/gone", Defaults);
        row("numbers at 0", "[Configuration];Temporisation=0;Performance=x;[Logs];DelaiLogs=0", Defaults);
        // Below 1 there is no yield, and the purge keeps fewer logs.
        row("numbers below 1", "[Configuration];Temporisation=-5;Performance=-5;[Logs];DelaiLogs=-2147483648",
            QString(Defaults).replace("10|1|||", "10|-5|||").replace("<root>|0|10", "<root>|0|-2147483648"));
        row("numbers at 1", "[Configuration];Temporisation=1;Performance=1;[Logs];DelaiLogs=1",
            QString(Defaults).replace("10|1|||", "1|1|||").replace("<root>|0|10", "<root>|0|1"));
        // Only exactly "1" is on, even for a flag that is on by default.
        for (const QByteArray on : {"\" 1\"", "True"})
            row(on, "[Configuration];MiroirSousDossiers=" + on + ";Effacement=" + on + ";[Logs];PurgeLogs=" + on,
                QString(Defaults).replace("0|1|0", "0|0|0"));
    }
    void loadSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, read);
        TestTree tree;
        QVERIFY(tree.mkdir("logs"));
        QVERIFY(ini.isNull() || tree.write("Vell.ini", ini.replace("<root>", tree.root()).replace(';', "\r\n")));
        const ProgramFiles files{tree.rootText()};
        const Settings s = LoadSettings(files);
        QCOMPARE(describe(s, tree.rootText()), read);
        QCOMPARE(LoadLangue(files), s.Langue);
    }
    void integerRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        const int max = 2147483647, min = -max - 1;
        const QList<std::pair<const char *, int>> rows{
            {"42", 42}, {"01", 1}, {"  \t12", 12}, {"12abc", 12}, {"abc", 0}, {"", 0}, {"3.6", 4}, {"3.4", 3},
            {"2.5", 3}, {"-2.5", -3}, {".7", 1}, {"+5", 5}, {"1e3", 1000}, {"1E+3", 1000}, {"2e", 2}, {"2e-", 2},
            {".", 0}, {"-", 0}, {"25e-1", 3}, {"1.25e1", 13}, {"1e-999", 0}, {"99999999999", max}, {"1e2x", 100},
            {"-99999999999", min}, {"-2147483648", min}, {"2147483647.5", max}, {"1e999", max}, {"-1e999", min},
            {"0e999999", 0}, {"0000000000000000000007", 7}};
        for (const auto &[text, value] : rows)
            QTest::newRow(text) << QString::fromLatin1(text) << value;
        QTest::newRow("400 digits") << QString(400, u'9') << max;
        QTest::newRow("arabic-indic digits are no number") << QString::fromUtf8("\xd9\xa3") << 0;
    }
    void integerRule()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(IntegerFromText(text), value);
    }
};

QTEST_APPLESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
