#include "service/serviceevents.h"
#include <QSignalSpy>
#include <QTest>
#include <csignal>

using namespace vell;

// Appends the name of each signal to lines, beside the entries: their order shows.
static void Follow(ServiceEvents &events, QStringList &lines)
{
    using E = ServiceEvents;
    for (const auto &[name, signal] : {std::pair{"started", &E::started}, {"paused", &E::paused},
                                       {"stopRequested", &E::stopRequested}, {"continued", &E::continued}})
        QObject::connect(&events, signal, &events, [&lines, name] { lines.append(name); });
}

class TestServiceEvents : public QObject
{
    Q_OBJECT
private slots:
    // The pipe's notifier turns the signal into an event on the event loop: first the entry ("type text", in the
    // language Langue has when the event is handled), then the signal. The stop flag is up at once.
    void signalsReachTheEventLoop()
    {
        Settings settings;
        QStringList lines;
        ServiceEvents events(settings,
                             [&lines](const QString &text, int type) { lines << QString::number(type) + ' ' + text; });
        QVERIFY(events.isValid() && !ServiceEvents::stopPending());
        Follow(events, lines);
        QSignalSpy spy(&events, &ServiceEvents::continued);
        QVERIFY(::raise(SIGUSR1) == 0 && !ServiceEvents::stopPending());
        QVERIFY(::raise(SIGTERM) == 0 && ServiceEvents::stopPending()); // the handler has run when raise() returns
        QVERIFY(::raise(SIGUSR2) == 0 && ::raise(SIGTERM) == 0);        // a second stop changes nothing
        settings.Langue = 1; // changed from the menu before the loop runs
        QVERIFY(spy.wait(5000));
        QCOMPARE(lines, (QStringList{QString::fromUtf8("4 Vell Service: suspendu"), "paused",
                                     QString::fromUtf8("4 Vell Service: arrêté"), "stopRequested",
                                     "4 Vell Service: reprise", "continued"}));
        events.processPending(); // drained: nothing twice
        settings.Langue = 2;     // Portuguese logs in English
        events.announceStarted();
        QCOMPARE(lines.mid(6), (QStringList{"4 Vell Service: started", "started"}));
    }
    // One instance at a time; without a logger (a program started by hand) events only signal; a new instance starts
    // with no stop pending.
    void oneInstanceAtATimeAndHandlersRestored()
    {
        struct sigaction before = {}, during = {}, after = {};
        QVERIFY(sigaction(SIGUSR1, nullptr, &before) == 0);
        Settings settings;
        {
            ServiceEvents first(settings, {});
            QVERIFY(first.isValid() && !ServiceEvents(settings, {}).isValid());
            QVERIFY(sigaction(SIGUSR1, nullptr, &during) == 0 && during.sa_handler != before.sa_handler);
            QStringList lines;
            Follow(first, lines);
            QVERIFY(::raise(SIGUSR1) == 0 && ::raise(SIGUSR2) == 0);
            first.processPending();
            QVERIFY(::raise(SIGTERM) == 0);
            first.processPending(); // only the byte read now: none of the earlier ones again
            QCOMPARE(lines, (QStringList{"paused", "continued", "stopRequested"}));
        }
        QVERIFY(sigaction(SIGUSR1, nullptr, &after) == 0 && after.sa_handler == before.sa_handler);
        QVERIFY(ServiceEvents(settings, {}).isValid() && !ServiceEvents::stopPending());
    }
};
QTEST_GUILESS_MAIN(TestServiceEvents)
#include "tst_serviceevents.moc"
