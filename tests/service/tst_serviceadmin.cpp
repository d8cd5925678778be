#include "common/servicefixture.h"
#include "base/programidentity.h"
#include "service/serviceadmin.h"

using namespace vell;

// The start type set for the next Install, and systemctl's answer to is-enabled.
struct Open { bool installed, interactive; int startType; QByteArray isEnabled; int option; QString status; };

class TestServiceAdmin : public QObject
{
    Q_OBJECT
private slots:
    // What the dialog opens with: the unit's state as systemd tells it; not installed, the start type set for the next
    // Install, beyond 0 and 1 "disabled".
    void open_data()
    {
        QTest::addColumn<Open>("opened");
        const QString in = "Vell Service installé\n(le miroir démarre automatiquement au lancement du service)";
        const QString out = "Vell Service non installé";
        QTest::newRow("not installed") << Open{false, false, 0, {}, 0, out};
        QTest::newRow("not installed, manual") << Open{false, false, 1, {}, 1, out};
        QTest::newRow("not installed, beyond range") << Open{false, false, 7, {}, 2, out};
        QTest::newRow("enabled, interactive") << Open{true, true, 0, "enabled\n", 0, in};
        QTest::newRow("installed only") << Open{true, false, 0, "disabled\n", 1, in};
        QTest::newRow("masked") << Open{true, false, 0, "masked\n", 2, in};
        QTest::newRow("no answer") << Open{true, false, 0, {}, 1,
                                           in + "\nsystemctl --user is-enabled " + FixtureUnit + ": Denied"};
    }
    void open()
    {
        QFETCH(Open, opened);
        auto &[installed, interactive, startType, isEnabled, option, status] = opened;
        ServiceFixture f;
        f.control.setInteractive(interactive);
        if (installed)
            f.install();
        f.control.setStartType(startType);
        f.runner.answer = [&](const QStringList &) { return CommandResult{true, false, 1, isEnabled, "Denied"}; };
        Settings settings;
        settings.ErreurDossierEventLog = installed;
        const AdminForm form = OpenAdminForm(f.control, settings, 1);
        QCOMPARE(form.statusText, status);
        QCOMPARE(form.startOption, option);
        QVERIFY(form.interactive == interactive && form.eventLog == installed);
    }
    // The texts with their names in them; Portuguese borrows most from English.
    void texts()
    {
        QHash<QString, QString> fr, pt;
        for (const int langue : {1, 2})
            for (const Caption &c : ServiceDialogCaptions(langue))
                (langue == 1 ? fr : pt)[c.objectName] = c.text;
        QCOMPARE(fr.size(), 14);
        QCOMPARE(fr["lblRemove"] + pt["optType2"] + pt["cmdInstall"],
                 "Pour supprimer Vell Service, vous pouvez aussi:\n- arrêter le service avec 'Panneau de Configuration/"
                 "Services'\n- lancer à nouveau Vell (le programme, pas le service)Disabled&Instalar");
    }
};
QTEST_APPLESS_MAIN(TestServiceAdmin)
#include "tst_serviceadmin.moc"
