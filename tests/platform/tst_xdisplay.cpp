// A stale DISPLAY is told from a live one before Qt would abort on it.
#include "platform/uniquefd.h"
#include "platform/xdisplay.h"

#include <QTest>
#include <cstring>
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
            for (const QByteArray &form : {":%1", ":%1.0", "unix:%1"})
                QVERIFY2(XServerAnswers(QByteArray(form).replace("%1", QByteArray::number(number))), form);
        }
        QVERIFY(!XServerAnswers("unix:" + QByteArray::number(number) + ".1"));
        // Not local, or not understood: Qt decides.
        for (const QByteArray &other : {"remote.example:0", ":x", ""})
            QVERIFY2(XServerAnswers(other), other);
    }
};

QTEST_MAIN(TestXDisplay)
#include "tst_xdisplay.moc"
