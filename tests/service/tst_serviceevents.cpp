#include "service/serviceevents.h"

#include <QSignalSpy>
#include <QTest>
#include <csignal>

using namespace vell;

// Entries and signals in one list, so that their order shows.
struct Journal
{
    QStringList lines;
    void follow(ServiceEvents &events)
    {
        const auto note = [this, &events](const char *line, void (ServiceEvents::*signal)()) {
            QObject::connect(&events, signal, &events, [this, line] { lines.append(line); });
        };
        note("started", &ServiceEvents::started);
        note("stopRequested", &ServiceEvents::stopRequested);
        note("paused", &ServiceEvents::paused);
        note("continued", &ServiceEvents::continued);
    }
    EventLogger logger()
    {
        return [this](const QString &text, int type) { lines.append(QStringLiteral("%1 %2").arg(type).arg(text)); };
    }
};

class TestServiceEvents : public QObject
{
    Q_OBJECT
private slots:
    // The pipe's notifier turns the signal into an event on the event loop;
    // the language is the one Langue has when the event is handled.
    void signalsReachTheEventLoop()
    {
        Settings settings;
        Journal j;
        ServiceEvents events(settings, j.logger());
        QVERIFY(events.isValid());
        j.follow(events);
        QSignalSpy spy(&events, &ServiceEvents::continued);
        QVERIFY(::raise(SIGUSR1) == 0 && ::raise(SIGTERM) == 0 && ::raise(SIGUSR2) == 0);
        QVERIFY(::raise(SIGTERM) == 0); // a second stop changes nothing
        settings.Langue = 1;            // changed from the menu before the loop runs
        QVERIFY(spy.wait(5000));
        QCOMPARE(j.lines, (QStringList{QString::fromUtf8("4 Vell Service: suspendu"), "paused",
                                       QString::fromUtf8("4 Vell Service: arrêté"), "stopRequested",
                                       "4 Vell Service: reprise", "continued"}));
        events.processPending(); // drained: nothing twice
        settings.Langue = 2;     // Portuguese logs in English
        events.announceStarted();
        QCOMPARE(j.lines.mid(6), (QStringList{"4 Vell Service: started", "started"}));
    }

    // Without a logger (a program started by hand) events only signal.
    void stopIsSeenWithoutTheEventLoop()
    {
        Settings settings;
        ServiceEvents events(settings, {});
        Journal journal;
        journal.follow(events);
        QVERIFY(!ServiceEvents::stopPending());
        QVERIFY(::raise(SIGUSR1) == 0);
        QVERIFY(!ServiceEvents::stopPending());
        QVERIFY(::raise(SIGTERM) == 0);
        // The handler has run by the time raise() returns; nothing pumped.
        QVERIFY(ServiceEvents::stopPending());
        events.processPending();
        QCOMPARE(journal.lines, (QStringList{"paused", "stopRequested"}));
    }

    void oneInstanceAtATimeAndHandlersRestored()
    {
        struct sigaction before = {}, during = {}, after = {};
        QVERIFY(sigaction(SIGUSR1, nullptr, &before) == 0);
        Settings settings;
        {
            ServiceEvents first(settings, {});
            ServiceEvents second(settings, {});
            QVERIFY(first.isValid() && !second.isValid());
            QVERIFY(sigaction(SIGUSR1, nullptr, &during) == 0 && during.sa_handler != before.sa_handler);
        }
        QVERIFY(sigaction(SIGUSR1, nullptr, &after) == 0 && after.sa_handler == before.sa_handler);
        QVERIFY(ServiceEvents(settings, {}).isValid());
    }
};

QTEST_GUILESS_MAIN(TestServiceEvents)
#include "tst_serviceevents.moc"
