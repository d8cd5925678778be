// A stale DISPLAY is told from a live one before Qt would abort on it.
#include "platform/uniquefd.h"
#include "platform/xdisplay.h"

#include <QTest>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace vell::platform;

class TestXDisplay : public QObject
{
    Q_OBJECT
private slots:
    void localServerAnswersOnlyWhileListening()
    {
        const int number = 40000 + int(::getpid() % 20000); // no real server uses these
        const QByteArray name = "/tmp/.X11-unix/X" + QByteArray::number(number);
        QVERIFY(!XServerAnswers(':' + QByteArray::number(number)));
        {
            UniqueFd server(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size())); // abstract, as X servers do
            const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
            QCOMPARE(::bind(server.get(), reinterpret_cast<sockaddr *>(&address), length), 0);
            QCOMPARE(::listen(server.get(), 1), 0);
            for (const char *form : {":%1", ":%1.0", "unix:%1"})
                QVERIFY2(XServerAnswers(QByteArray(form).replace("%1", QByteArray::number(number))), form);
        }
        QVERIFY(!XServerAnswers("unix:" + QByteArray::number(number) + ".1"));
        // Not understood: Qt decides.
        for (const char *other : {":x", "", "decnet::0"})
            QVERIFY2(XServerAnswers(other), other);
    }
    // A display over TCP (ssh's forwarding gives "localhost:10.0") answers on port 6000 + N while a server listens.
    void remoteServerAnswersOnlyWhileListening()
    {
        QByteArray number;
        {
            UniqueFd server(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t length = sizeof address;
            QVERIFY(::bind(server.get(), reinterpret_cast<sockaddr *>(&address), length) == 0
                    && ::listen(server.get(), 4) == 0
                    && ::getsockname(server.get(), reinterpret_cast<sockaddr *>(&address), &length) == 0);
            QVERIFY(ntohs(address.sin_port) > 6000);
            number = QByteArray::number(ntohs(address.sin_port) - 6000);
            for (const char *form : {"127.0.0.1:%1", "localhost:%1.0", "tcp/127.0.0.1:%1"})
                QVERIFY2(XServerAnswers(QByteArray(form).replace("%1", number)), form);
        }
        QVERIFY(!XServerAnswers("127.0.0.1:" + number));
        QVERIFY(!XServerAnswers("localhost:" + number + ".0"));
    }
};

QTEST_MAIN(TestXDisplay)
#include "tst_xdisplay.moc"
