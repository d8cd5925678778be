#include "service/serviceevents.h"

#include <QSignalSpy>
#include <QTest>
#include <csignal>

using namespace vell;

namespace {

// Records entries and signals in one list, so their order shows.
struct Journal
{
    QStringList lines;
    EventLogger logger()
    {
        return [this](const QString &text, int type) { lines.append(QStringLiteral("log %1 %2").arg(type).arg(text)); };
    }
    void follow(ServiceEvents &events)
    {
        QObject::connect(&events, &ServiceEvents::started, &events, [this] { lines.append(QStringLiteral("started")); });
        QObject::connect(&events, &ServiceEvents::stopRequested, &events,
                         [this] { lines.append(QStringLiteral("stopRequested")); });
        QObject::connect(&events, &ServiceEvents::paused, &events, [this] { lines.append(QStringLiteral("paused")); });
        QObject::connect(&events, &ServiceEvents::continued, &events,
                         [this] { lines.append(QStringLiteral("continued")); });
    }
};

} // namespace

class TestServiceEvents : public QObject
{
    Q_OBJECT
private slots:
    void signalsReachTheEventLoop_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<int>("langue");
        QTest::addColumn<QString>("logged");
        QTest::newRow("pause, English") << int(SIGUSR1) << 0 << "log 4 Vell Service: paused";
        QTest::newRow("continue, English") << int(SIGUSR2) << 3 << "log 4 Vell Service: continued";
        QTest::newRow("pause, French") << int(SIGUSR1) << 1 << QString::fromUtf8("log 4 Vell Service: suspendu");
        QTest::newRow("continue, French") << int(SIGUSR2) << 1 << "log 4 Vell Service: reprise";
        QTest::newRow("stop, Portuguese is English") << int(SIGTERM) << 2 << "log 4 Vell Service: stopped";
        QTest::newRow("stop, French") << int(SIGTERM) << 1 << QString::fromUtf8("log 4 Vell Service: arrêté");
    }
    void signalsReachTheEventLoop()
    {
        QFETCH(int, signalNumber);
        QFETCH(int, langue);
        QFETCH(QString, logged);
        Settings settings;
        settings.Langue = langue;
        Journal journal;
        ServiceEvents events(settings, journal.logger());
        QVERIFY(events.isValid());
        journal.follow(events);
        void (ServiceEvents::*wanted)() = signalNumber == SIGTERM ? &ServiceEvents::stopRequested
            : signalNumber == SIGUSR1                              ? &ServiceEvents::paused
                                                                   : &ServiceEvents::continued;
        QSignalSpy spy(&events, wanted);
        QVERIFY(::raise(signalNumber) == 0);
        QVERIFY(spy.wait(5000));
        QCOMPARE(journal.lines.size(), 2);
        QCOMPARE(journal.lines.first(), logged); // logged first, then emitted
    }

    void stopIsSeenWithoutTheEventLoop()
    {
        Settings settings;
        ServiceEvents events(settings, {});
        QVERIFY(!ServiceEvents::stopPending());
        QVERIFY(::raise(SIGUSR1) == 0);
        QVERIFY(!ServiceEvents::stopPending());
        QVERIFY(::raise(SIGTERM) == 0);
        // The handler has run by the time raise() returns; nothing pumped.
        QVERIFY(ServiceEvents::stopPending());
    }

    void pendingEventsComeInArrivalOrder()
    {
        Settings settings;
        Journal journal;
        ServiceEvents events(settings, journal.logger());
        journal.follow(events);
        QVERIFY(::raise(SIGUSR1) == 0);
        QVERIFY(::raise(SIGTERM) == 0);
        QVERIFY(::raise(SIGUSR2) == 0);
        QVERIFY(::raise(SIGTERM) == 0); // a second stop changes nothing
        events.processPending();
        QCOMPARE(journal.lines,
                 (QStringList{"log 4 Vell Service: paused", "paused", "log 4 Vell Service: stopped", "stopRequested",
                              "log 4 Vell Service: continued", "continued"}));
        events.processPending(); // drained: nothing twice
        QCOMPARE(journal.lines.size(), 6);
    }

    void languageIsTakenAtEventTime()
    {
        Settings settings;
        Journal journal;
        ServiceEvents events(settings, journal.logger());
        QVERIFY(::raise(SIGUSR1) == 0);
        settings.Langue = 1; // changed from the menu before the loop runs
        events.processPending();
        QCOMPARE(journal.lines, QStringList{QString::fromUtf8("log 4 Vell Service: suspendu")});
    }

    void startIsAnnounced()
    {
        Settings settings;
        Journal journal;
        ServiceEvents events(settings, journal.logger());
        journal.follow(events);
        events.announceStarted();
        QCOMPARE(journal.lines, (QStringList{"log 4 Vell Service: started", "started"}));
    }

    void withoutLoggerOnlySignals()
    {
        Settings settings;
        ServiceEvents events(settings, {});
        QSignalSpy spy(&events, &ServiceEvents::continued);
        QVERIFY(::raise(SIGUSR2) == 0);
        QVERIFY(spy.wait(5000));
    }

    void oneInstanceAtATimeAndHandlersRestored()
    {
        struct sigaction before = {};
        QVERIFY(sigaction(SIGUSR1, nullptr, &before) == 0);
        {
            Settings settings;
            ServiceEvents first(settings, {});
            QVERIFY(first.isValid());
            ServiceEvents second(settings, {});
            QVERIFY(!second.isValid());
            struct sigaction during = {};
            QVERIFY(sigaction(SIGUSR1, nullptr, &during) == 0);
            QVERIFY(during.sa_handler != before.sa_handler);
        }
        struct sigaction after = {};
        QVERIFY(sigaction(SIGUSR1, nullptr, &after) == 0);
        QVERIFY(after.sa_handler == before.sa_handler);
        Settings settings;
        ServiceEvents again(settings, {});
        QVERIFY(again.isValid());
    }
};

QTEST_GUILESS_MAIN(TestServiceEvents)
#include "tst_serviceevents.moc"
