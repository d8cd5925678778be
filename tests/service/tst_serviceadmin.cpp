#include "common/servicefixture.h"
#include "base/programidentity.h"
#include "service/serviceadmin.h"

using namespace vell;

class TestServiceAdmin : public QObject
{
    Q_OBJECT
private slots:
    // What the dialog opens with: the unit's state as systemd tells it.
    void open_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QByteArray>("isEnabled"); // systemctl's answer
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("status");
        const QString in = "Vell Service installé\n(le miroir démarre automatiquement au lancement du service)";
        QTest::newRow("not installed") << false << false << QByteArray() << 0 << "Vell Service non installé";
        QTest::newRow("enabled, interactive") << true << true << QByteArray("enabled\n") << 0 << in;
        QTest::newRow("installed only") << true << false << QByteArray("disabled\n") << 1 << in;
        QTest::newRow("masked") << true << false << QByteArray("masked\n") << 2 << in;
        QTest::newRow("no answer") << true << false << QByteArray() << 1
                                   << in + "\nsystemctl --user is-enabled " + FixtureUnit + ": Access denied";
    }
    void open()
    {
        QFETCH(bool, installed);
        QFETCH(bool, interactive);
        QFETCH(QByteArray, isEnabled);
        QFETCH(int, option);
        QFETCH(QString, status);
        ServiceFixture f;
        f.control.setInteractive(interactive);
        if (installed)
            f.install();
        f.runner.answer = [&](const QStringList &) { return CommandResult{true, false, 1, isEnabled, "Access denied"}; };
        Settings settings;
        settings.ErreurDossierEventLog = installed;
        const AdminForm form = OpenAdminForm(f.control, settings, 1);
        QCOMPARE(form.statusText, status);
        QCOMPARE(form.startOption, option);
        QVERIFY(form.interactive == interactive && form.eventLog == installed);
    }

    // Not installed, the form shows the start type set for the next
    // Install; beyond 0 and 1 that is "disabled".
    void openBeyondRange()
    {
        ServiceFixture f;
        f.control.setStartType(7);
        QCOMPARE(OpenAdminForm(f.control, Settings(), 0).startOption, 2);
        f.control.setStartType(1);
        QCOMPARE(OpenAdminForm(f.control, Settings(), 0).startOption, 1);
    }

    // The event-log box is stored at once; memory follows the file only.
    void storeEventLog()
    {
        TestTree tree;
        QVERIFY(tree.write("Vell.ini", "[Configuration]\r\nLangue=2\r\n"));
        Settings settings;
        QCOMPARE(StoreEventLogChoice(ProgramFiles{tree.rootText()}, settings, true), 0);
        QVERIFY(settings.ErreurDossierEventLog);
        QCOMPARE(tree.read("Vell.ini"), "[Configuration]\r\nLangue=2\r\nErreurDossierEventLog=1\r\n");
        TestTree broken;
        QVERIFY(broken.mkdir("Vell.ini"));
        QVERIFY(StoreEventLogChoice(ProgramFiles{broken.rootText()}, settings, false) < 0);
        QVERIFY(settings.ErreurDossierEventLog);
    }

    // The texts with their names in them; Portuguese borrows most from English.
    void texts()
    {
        QHash<QString, QString> fr, pt;
        for (const Caption &c : ServiceDialogCaptions(1))
            fr[c.objectName] = c.text;
        for (const Caption &c : ServiceDialogCaptions(2))
            pt[c.objectName] = c.text;
        QCOMPARE(fr.size(), 14);
        QCOMPARE(fr["frmAdminService"], "Vell Service [NT]");
        QVERIFY(fr["lblInfo"].startsWith("IMPORTANT: Si vous souhaitez accéder à des fichiers situés sur un réseau, "
                                          "le service Vell doit démarrer sous un compte utilisateur"));
        QCOMPARE(fr["lblRemove"], "Pour supprimer Vell Service, vous pouvez aussi:\n- arrêter le service avec "
                                  "'Panneau de Configuration/Services'\n- lancer à nouveau Vell (le programme, pas "
                                  "le service)");
        QCOMPARE(pt["lblInstall"], "- Install Vell Service and exit\n- Configure and run Vell Service using "
                                   "'Control pannel/Services'");
        QCOMPARE(pt["chkInteract"], "Vell Service can interact with the desktop");
        QCOMPARE(pt["optType2"] + pt["cmdInstall"] + pt["cmdRemove"] + pt["cmdAnnuler"],
                 "Disabled&Instalar&Suprimir&Cancelar");
    }
};

QTEST_APPLESS_MAIN(TestServiceAdmin)
#include "tst_serviceadmin.moc"
