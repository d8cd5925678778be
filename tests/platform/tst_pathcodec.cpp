#include "platform/pathcodec.h"

#include <QTest>

using namespace vell;

class TestPathCodec : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QByteArray("/home/ann/Work");
        QTest::newRow("greek-cyrillic-dash") << QByteArray("/d/\xce\xb1\xce\xb2 \xd0\x96 \xe2\x80\x94 x");
        QTest::newRow("latin1 byte") << QByteArray("caf\xe9.txt");
        QTest::newRow("lone continuation") << QByteArray("a\x80z");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xb2\x80");
        QTest::newRow("cut sequence at end") << QByteArray("ok\xe2\x82");
        QTest::newRow("astral") << QByteArray("\xf0\x9f\x98\x80.png");
    }
    void roundTrip()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(PathToBytes(PathFromBytes(bytes)), bytes);
    }
    void invalidBytesBecomeEscapes()
    {
        const QString text = PathFromBytes("a\xff");
        QCOMPARE(text.size(), 2);
        QCOMPARE(text.at(1).unicode(), char16_t(0xDCFF));
        QCOMPARE(PathFromBytes("\xce\xb1"), QString(QChar(0x3B1)));
    }
};

QTEST_APPLESS_MAIN(TestPathCodec)
#include "tst_pathcodec.moc"
