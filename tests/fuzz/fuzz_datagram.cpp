// Arbitrary datagrams into the registry and the devices it makes: the reply checks, the decoding into
// PduInfo, the routing by sender address, and what a download builds from what was decoded.
//
// Input: one or more datagrams. The first comes from sender 0; every "#>" followed by one byte starts
// a new datagram from the sender that byte selects. A plain reply frame is thus a one-datagram input.

#include "common/Clock.h"
#include "common/DeviceText.h"
#include "device/Pdu.h"
#include "device/PduInfo.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "tests/device/PduInfoCompare.h"
#include "tests/fuzz/FuzzCheck.h"

#include <QApplication>
#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QVector>

#include <cstdint>
#include <cstdlib>

namespace {
constexpr int kMaxDatagrams = 32;
const QByteArray kMarker("#>");

const QList<QHostAddress>& senders()
{
    // Devices, the console's own broadcast and unset addresses, an IPv4-mapped and a plain IPv6 sender.
    static const QList<QHostAddress> list = {
        QHostAddress(QStringLiteral("10.201.0.2")),      QHostAddress(QStringLiteral("10.201.0.3")),
        QHostAddress(QStringLiteral("192.168.0.100")),   QHostAddress(QStringLiteral("0.0.0.0")),
        QHostAddress(QStringLiteral("255.255.255.255")), QHostAddress(QStringLiteral("::ffff:10.201.0.2")),
        QHostAddress(QStringLiteral("fe80::1")),
    };
    return list;
}

struct Datagram
{
    QByteArray baData;
    QHostAddress addrSender;
};

QVector<Datagram> split(const QByteArray& baInput)
{
    QVector<Datagram> listOut;
    int iFrom = 0;
    QHostAddress addrSender = senders().at(0);
    while (listOut.size() < kMaxDatagrams) {
        const int iMarker = baInput.indexOf(kMarker, iFrom);
        if (iMarker < 0 || iMarker + kMarker.size() >= baInput.size()) {
            listOut.append({baInput.mid(iFrom), addrSender});
            break;
        }
        listOut.append({baInput.mid(iFrom, iMarker - iFrom), addrSender});
        addrSender = senders().at(quint8(baInput.at(iMarker + kMarker.size())) % senders().size());
        iFrom = iMarker + kMarker.size() + 1;
    }
    return listOut;
}

bool sameBytes(const QByteArray& a, const QByteArray& b, int iFrom, int iTo)
{
    return a.mid(iFrom, iTo - iFrom) == b.mid(iFrom, iTo - iFrom);
}

// What was decoded encodes back to the bytes that came in. Amperes are the exception: a tenths byte of
// 10 or more, or a negative one, is carried into the whole part on the way back.
void checkDecoded(quint8 cmd, const QByteArray& baPayload, const PduInfo& info)
{
    const QByteArray baBack = payloadFor(cmd, info);
    FUZZ_CHECK(baBack.size() == baPayload.size());
    switch (cmd) {
    case kCmdStatus:
        FUZZ_CHECK(sameBytes(baBack, baPayload, 0, 2) && sameBytes(baBack, baPayload, 5, 8));
        FUZZ_CHECK(info.current == decodeAmperes(baPayload, 2));
        FUZZ_CHECK(info.current >= -12.8 && info.current <= 65535 + 12.7);
        break;
    case kCmdThresholds:
        FUZZ_CHECK(sameBytes(baBack, baPayload, 6, 13));
        FUZZ_CHECK(info.currentWarn == decodeAmperes(baPayload, 0));
        FUZZ_CHECK(info.currentOverload == decodeAmperes(baPayload, 3));
        break;
    default:
        FUZZ_CHECK(baBack == baPayload);
        break;
    }
}

// A set frame as the devices expect it: header, type, command, length, payload of the command's size,
// check byte.
void checkSetFrame(const QByteArray& baFrame)
{
    FUZZ_CHECK(baFrame.size() >= kFrameOverhead);
    FUZZ_CHECK(quint8(baFrame.at(0)) == kFrameHeader && quint8(baFrame.at(1)) == kFrameSet);
    FUZZ_CHECK(quint8(baFrame.at(3)) == baFrame.size() - kFrameOverhead);
    FUZZ_CHECK(replyPayloadSize(frameCommand(baFrame)) == baFrame.size() - kFrameOverhead);
    FUZZ_CHECK(quint8(baFrame.back()) == checkSum(baFrame.constData(), baFrame.size() - 1));
}

// The edit buffer after a download: every pending section goes out once, as a proper set frame, and a
// buffer equal to what the device reported has nothing to send.
void checkDownload(CRackmind& registry, CPdu* pPdu)
{
    const QList<int> listPending = pPdu->needDownload();
    for (int i = 0; i < listPending.size(); ++i) {
        FUZZ_CHECK(replyPayloadSize(quint8(listPending.at(i))) > 0);
        FUZZ_CHECK(i == 0 || listPending.at(i - 1) < listPending.at(i));
    }
    QList<QByteArray> listSent;
    const auto connection = QObject::connect(
        &registry, &CRackmind::signalSndData,
        [&listSent](bool&, QByteArray baData, QHostAddress, uint) { listSent.append(baData); });
    pPdu->download();
    QObject::disconnect(connection);
    FUZZ_CHECK(listSent.size() == listPending.size());
    for (const QByteArray& baFrame : qAsConst(listSent))
        checkSetFrame(baFrame);
    pPdu->stSetInfo = pPdu->stInfo;
    FUZZ_CHECK(pPdu->needDownload().isEmpty());
}

void checkPortList(const CRackmind& registry)
{
    const QList<uint>& listPort = registry.listDevicePort;
    FUZZ_CHECK(!listPort.isEmpty() && listPort.first() == 51230);
    for (int i = 0; i < listPort.size(); ++i)
        FUZZ_CHECK(listPort.indexOf(listPort.at(i)) == i);
}

void feed(CRackmind& registry, const Datagram& datagram)
{
    QVector<PduInfo> listBefore;
    for (const CPdu* pPdu : qAsConst(registry.listPdu))
        listBefore.append(pPdu->stInfo);
    CPdu* pAnswered = nullptr;
    const auto connection = QObject::connect(&registry, &CRackmind::signalDeviceAnswered,
                                             [&pAnswered](CPdu* pPdu) { pAnswered = pPdu; });
    QNetworkDatagram ndDatagram(datagram.baData);
    ndDatagram.setSender(datagram.addrSender, 51230);
    registry.slotRcvData(ndDatagram);
    QObject::disconnect(connection);

    bool bIPv4 = false;
    datagram.addrSender.toIPv4Address(&bIPv4);
    const bool bAccepted = isAcceptedReply(datagram.baData);
    const int iCount = registry.listPdu.size();
    // Only a genuine reply from an IPv4 sender may add a device, and then exactly one.
    FUZZ_CHECK(iCount == listBefore.size() || (bIPv4 && bAccepted && iCount == listBefore.size() + 1));
    FUZZ_CHECK(bIPv4 || !pAnswered);

    for (int i = 0; i < listBefore.size(); ++i) {
        const CPdu* pPdu = registry.listPdu.at(i);
        // A datagram changes nothing but the one device it reached, and only when it is a genuine reply.
        if (pPdu != pAnswered || !bAccepted)
            FUZZ_CHECK(sameInfo(pPdu->stInfo, listBefore.at(i)));
    }
    if (pAnswered) {
        FUZZ_CHECK(pAnswered->dtLastRcv == Clock::now() && pAnswered->isOnline());
        if (bAccepted)
            checkDecoded(frameCommand(datagram.baData), framePayload(datagram.baData), pAnswered->stInfo);
        // What the screens make of the decoded fields.
        FUZZ_CHECK(deviceText(pAnswered->stInfo.name, 16).size() <= 16);
        FUZZ_CHECK(deviceText(pAnswered->stInfo.firmwareVer, 8).size() <= 8);
        FUZZ_CHECK(!ipv4ToString(pAnswered->stInfo.ip).isEmpty());
        (void)pAnswered->isAbnormal();
        (void)registry.onlineCount();
        (void)registry.abnormalCount();
        checkDownload(registry, pAnswered);
    }
    checkPortList(registry);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Devices carry a painter widget, so a widget application is needed; nothing is ever shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int s_iArgc = 1;
    static char s_strName[] = "fuzz_datagram";
    static char* s_argv[] = {s_strName, nullptr};
    static QApplication* s_pApp = new QApplication(s_iArgc, s_argv);
    (void)s_pApp;
    static const QDateTime s_dtNow(QDate(2026, 1, 1), QTime(12, 0, 0), Qt::UTC);
    Clock::setSource([] { return s_dtNow; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 256 * 1024)
        return 0;
    const QByteArray baInput = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    CRackmind registry;
    g_pRackmind = &registry;
    for (const Datagram& datagram : split(baInput))
        feed(registry, datagram);
    return 0;
}
