#include "tests/common/TestFrames.h"

#include <QtTest>

namespace {
// Closes a frame written without its check byte.
QByteArray closed(const char* text)
{
    QByteArray frame = hex(text);
    frame.append(char(checkSum(frame)));
    return frame;
}
} // namespace

using AmpereRow = std::tuple<double, QByteArray, bool, bool>;
Q_DECLARE_METATYPE(AmpereRow)

class TestProtocol : public QObject
{
    Q_OBJECT
private slots:
    void decodesStatusExample()
    {
        const QByteArray frame = hex("A7 42 06 08 DC 00 05 00 03 19 32 05 2B");
        QCOMPARE(frameCommand(frame), kCmdStatus);
        PduInfo info;
        decodeStatusPayload(framePayload(frame), info);
        QCOMPARE(info.voltage, 220u);
        QCOMPARE(info.current, 5.3);
        QCOMPARE(int(info.temperature), 25);
        QCOMPARE(int(info.humidity), 50);
        QCOMPARE(int(info.outletStatus), 0x05); // outlets 1 and 3
        QCOMPARE(statusPayload(info), framePayload(frame));
    }

    void replyChecks_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("wellFormed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("status example") << hex("A7 42 06 08 DC 00 05 00 03 19 32 05 2B") << true << true;
        QTest::newRow("payload byte changed, old check byte")
            << hex("A7 42 06 08 DC 00 06 00 03 19 32 05 2B") << false << false;
        QTest::newRow("length 8, nine payload bytes")
            << closed("A7 42 06 08 DC 00 05 00 03 19 32 05 00") << false << false;
        QTest::newRow("outlet switch command") << closed("A7 42 0C 02 02 04") << true << false;
        QTest::newRow("unknown command 0x03")
            << closed("A7 42 03 08 DC 00 05 00 03 19 32 05") << true << false;
        QTest::newRow("set type 0x41") << closed("A7 41 06 08 DC 00 05 00 03 19 32 05") << false << false;
        QTest::newRow("another console's query") << hex("A7 40 01 00 E8") << false << false;
        QTest::newRow("wrong header") << closed("A6 42 06 08 DC 00 05 00 03 19 32 05") << false << false;
        QTest::newRow("four bytes") << hex("A7 42 00 E9") << false << false;
        QTest::newRow("empty") << QByteArray() << false << false;
    }

    void replyChecks()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, wellFormed);
        QFETCH(bool, accepted);
        QCOMPARE(isWellFormedReply(frame), wellFormed);
        QCOMPARE(isAcceptedReply(frame), accepted);
    }

    // A reply is decoded only at its command's own payload size.
    void everyReplyCommandAtItsSize()
    {
        const QList<QPair<int, int>> listSizes{{0x01, 52}, {0x02, 24}, {0x06, 8},
                                               {0x08, 13}, {0x0E, 16}, {0x10, 80}};
        for (const auto& cmdSize : listSizes) {
            QCOMPARE(replyPayloadSize(quint8(cmdSize.first)), cmdSize.second);
            for (int n : {cmdSize.second - 1, cmdSize.second, cmdSize.second + 1}) {
                const QByteArray frame =
                    buildFrame(kFrameReply, quint8(cmdSize.first), QByteArray(n, '\x11'));
                QVERIFY(isWellFormedReply(frame));
                QCOMPARE(isAcceptedReply(frame), n == cmdSize.second);
            }
        }
    }

    // Whole amperes (u16) and tenths; the tenths are rounded and carried, and read back as signed.
    void amperes_data()
    {
        // encoded: value -> bytes
        // decoded: bytes -> value
        QTest::addColumn<AmpereRow>("row");
        QTest::newRow("7.0") << AmpereRow(7.0, hex("07 00 00"), true, true);
        QTest::newRow("5.3") << AmpereRow(5.3, hex("05 00 03"), true, true);
        QTest::newRow("300.5") << AmpereRow(300.5, hex("2C 01 05"), true, true);
        QTest::newRow("2.25") << AmpereRow(2.25, hex("02 00 03"), true, false);
        QTest::newRow("5.96 carries") << AmpereRow(5.96, hex("06 00 00"), true, false);
        QTest::newRow("0.95 carries") << AmpereRow(0.95, hex("01 00 00"), true, false);
        QTest::newRow("0.04") << AmpereRow(0.04, hex("00 00 00"), true, false);
        QTest::newRow("negative") << AmpereRow(-1.5, hex("00 00 00"), true, false);
        QTest::newRow("too large") << AmpereRow(70000.0, hex("FF FF 09"), true, false);
        QTest::newRow("not a number") << AmpereRow(qQNaN(), hex("00 00 00"), true, false);
        QTest::newRow("2 and 255 signed") << AmpereRow(1.9, hex("02 00 FF"), false, true);
        QTest::newRow("whole 5 tenths 10") << AmpereRow(6.0, hex("05 00 0A"), false, true);
    }

    void amperes()
    {
        QFETCH(AmpereRow, row);
        const auto& [value, bytes, encoded, decoded] = row;
        QByteArray out;
        encodeAmperes(out, value);
        if (encoded)
            QCOMPARE(out.toHex(' '), bytes.toHex(' '));
        if (decoded)
            QCOMPARE(decodeAmperes(bytes, 0), value);
    }

    // Port numbers travel low byte first, addresses first octet first.
    void byteOrders()
    {
        QByteArray out;
        encodeU16(out, 51230);
        const quint8 ip[4] = {192, 168, 0, 100};
        encodeIPv4(out, ip);
        QCOMPARE(out, hex("1E C8 C0 A8 00 64"));
        QCOMPARE(ipv4ToString(ipv4ToUint(ip)), QStringLiteral("192.168.0.100"));
    }

    void queryFramesAsListed()
    {
        QCOMPARE(queryFrames(),
                 (QList<QByteArray>{hex("A7 40 01 00 E8"), hex("A7 40 02 00 E9"), hex("A7 40 06 00 EC"),
                                    hex("A7 40 08 00 EE"), hex("A7 40 0E 00 F5"), hex("A7 40 10 00 F7")}));
    }

    // Outlet n is bit n-1 of the mask; 1 switches on, 2 off.
    void outletSwitchFrames()
    {
        QCOMPARE(buildOutletSwitchFrame(3, false), hex("A7 41 0C 02 02 04 FC"));
        QCOMPARE(buildOutletSwitchFrame(1, true), closed("A7 41 0C 02 01 01"));
        QCOMPARE(buildOutletSwitchFrame(8, true), closed("A7 41 0C 02 01 80"));
    }

    // The check byte is the byte sum modulo 256 of everything before it.
    void setFrameLayout()
    {
        QCOMPARE(checkSum(hex("FF FF FF")), quint8(0xFD));
        QCOMPARE(checkSum("\x01\x02\x03", 2), quint8(3));
        const QByteArray frame = buildSetFrame(kCmdThresholds, QByteArray(kSizeThresholds, '\x01'));
        QCOMPARE(frame, closed("A7 41 08 0D 01 01 01 01 01 01 01 01 01 01 01 01 01"));
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
