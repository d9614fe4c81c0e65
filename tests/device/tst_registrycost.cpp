#include "common/Clock.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "tests/common/TestFrames.h"

#include <QtTest>

#include <time.h>

namespace {
constexpr int kSmallRoom = 200;
constexpr int kLargeRoom = 2000;
// Replies routed per measurement whatever the room's size, and measurements per room (the least is
// taken: a loaded machine only ever adds to a figure).
constexpr int kRepliesPerMeasurement = 12000;
constexpr int kMeasurements = 7;
constexpr int kStrangers = 64;

qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

QNetworkDatagram datagram(quint32 uiSender, const QByteArray& baData)
{
    QNetworkDatagram nd(baData);
    nd.setSender(QHostAddress(uiSender), 51230);
    return nd;
}

// A room whose every device has told its own MAC, and one poll tick of its replies (six per device).
struct Room
{
    explicit Room(int iDevices)
    {
        for (int i = 0; i < iDevices; ++i) {
            PduInfo info;
            const quint32 uiAddress = 0x0AC90001 + quint32(i);
            ipv4FromUint(uiAddress, info.ip);
            info.mac[3] = quint8(i >> 16);
            info.mac[4] = quint8(i >> 8);
            info.mac[5] = quint8(i + 1);
            for (quint8 cmd : kReplyCommands)
                listTick << datagram(uiAddress, replyFrame(cmd, info));
        }
        for (const QNetworkDatagram& nd : qAsConst(listTick))
            registry.slotRcvData(nd);
        registry.setDeviceLimit(iDevices);
        for (int i = 0; i < kStrangers; ++i)
            listStrangers << datagram(0x0ACA0001 + quint32(i), replyFrame(kCmdStatus, PduInfo()));
        // Two units answering from the first device's address (an address given twice), each telling its
        // own MAC, one of them not yet in the room.
        PduInfo first, other;
        ipv4FromUint(0x0AC90001, first.ip);
        ipv4FromUint(0x0AC90001, other.ip);
        first.mac[5] = 1;
        other.mac[2] = 0xEE;
        listShared << datagram(0x0AC90001, replyFrame(kCmdNetwork, other))
                   << datagram(0x0AC90001, replyFrame(kCmdNetwork, first));
    }

    // Thread CPU per reply routed, in ns.
    double cost(const QList<QNetworkDatagram>& list)
    {
        const int iRounds = qMax(1, kRepliesPerMeasurement / list.size());
        const qint64 iStart = threadCpuNs();
        for (int r = 0; r < iRounds; ++r)
            for (const QNetworkDatagram& nd : list)
                registry.slotRcvData(nd);
        return double(threadCpuNs() - iStart) / (double(iRounds) * list.size());
    }

    CRackmind registry;
    QList<QNetworkDatagram> listTick;
    // Status replies from hosts the full registry admits no more.
    QList<QNetworkDatagram> listStrangers;
    QList<QNetworkDatagram> listShared;
};
} // namespace

// What routing one reply costs must not depend on how many devices the room holds: a path that looks
// at every device for each reply makes a large room's console fall behind its replies.
class TestRegistryCost : public QObject
{
    Q_OBJECT
    enum Replies
    {
        Tick,
        Strangers,
        Shared
    };

private slots:
    void initTestCase()
    {
        qRegisterMetaType<CPdu*>();
        // One instant throughout: every device stays online, nothing held back expires half way.
        Clock::setElapsedSource([] { return qint64(1000000); });
    }

    void costPerReplyDoesNotGrowWithTheRoom_data()
    {
        QTest::addColumn<int>("iReplies");
        QTest::newRow("known devices, every reply") << int(Tick);
        QTest::newRow("hosts past the device limit") << int(Strangers);
        QTest::newRow("two units answering from one address") << int(Shared);
    }
    void costPerReplyDoesNotGrowWithTheRoom()
    {
        QFETCH(int, iReplies);
        const auto replies = [iReplies](Room& room) -> const QList<QNetworkDatagram>& {
            return iReplies == Strangers ? room.listStrangers
                   : iReplies == Shared  ? room.listShared
                                         : room.listTick;
        };
        Room small(kSmallRoom);
        Room large(kLargeRoom);
        QCOMPARE(large.registry.listPdu.size(), kLargeRoom);
        double dSmall = 1e18;
        double dLarge = 1e18;
        // Taken in turns, so that a busy spell of the machine falls on both.
        for (int i = 0; i < kMeasurements; ++i) {
            dSmall = qMin(dSmall, small.cost(replies(small)));
            dLarge = qMin(dLarge, large.cost(replies(large)));
        }
        QCOMPARE(large.registry.listPdu.size(), kLargeRoom);
        const double dRatio = dLarge / dSmall;
        qInfo("per reply: %.0f ns with %d devices, %.0f ns with %d: ratio %.2f", dSmall, kSmallRoom, dLarge,
              kLargeRoom, dRatio);
        QVERIFY2(dRatio <= 1.5, qPrintable(QStringLiteral("ratio %1").arg(dRatio)));
    }

    void cleanupTestCase() { Clock::setElapsedSource({}); }
};

QTEST_MAIN(TestRegistryCost)
#include "tst_registrycost.moc"
