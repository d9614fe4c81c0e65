#include "device/Protocol.h"

#include <QtTest>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Closes a frame written without its check byte.
QByteArray closed(const char* text)
{
    QByteArray frame = hex(text);
    frame.append(char(checkSum(frame)));
    return frame;
}
} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT
private slots:
    void checkSumIsByteSumModulo256()
    {
        QCOMPARE(checkSum(hex("A7 42 06 08 DC 00 05 00 03 19 32 05")), quint8(0x2B));
        QCOMPARE(checkSum(QByteArray()), quint8(0));
        QCOMPARE(checkSum(hex("FF FF FF")), quint8(0xFD));
        QCOMPARE(checkSum("\x01\x02\x03", 2), quint8(3));
    }

    void decodesStatusExample()
    {
        const QByteArray frame = hex("A7 42 06 08 DC 00 05 00 03 19 32 05 2B");
        QVERIFY(isAcceptedReply(frame));
        QCOMPARE(frameCommand(frame), kCmdStatus);
        const QByteArray payload = framePayload(frame);
        QCOMPARE(payload.size(), kSizeStatus);
        QCOMPARE(decodeU16(payload, 0), quint16(220));
        QCOMPARE(decodeAmperes(payload, 2), 5.3);
        QCOMPARE(decodeByte(payload, 5), quint8(25));
        QCOMPARE(decodeByte(payload, 6), quint8(50));
        QCOMPARE(decodeByte(payload, 7), quint8(0x05)); // outlets 1 and 3
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
        QTest::newRow("length and size agree on 9 bytes")
            << closed("A7 42 06 09 DC 00 05 00 03 19 32 05 00") << true << false;
        QTest::newRow("outlet switch command") << closed("A7 42 0C 02 02 04") << true << false;
        QTest::newRow("outlet switch command, status size")
            << closed("A7 42 0C 08 DC 00 05 00 03 19 32 05") << true << false;
        QTest::newRow("unknown command 0x03")
            << closed("A7 42 03 08 DC 00 05 00 03 19 32 05") << true << false;
        QTest::newRow("query type 0x40") << closed("A7 40 06 08 DC 00 05 00 03 19 32 05") << false << false;
        QTest::newRow("set type 0x41") << closed("A7 41 06 08 DC 00 05 00 03 19 32 05") << false << false;
        QTest::newRow("another console's query") << hex("A7 40 01 00 E8") << false << false;
        QTest::newRow("wrong header") << closed("A6 42 06 08 DC 00 05 00 03 19 32 05") << false << false;
        QTest::newRow("four bytes") << hex("A7 42 00 E9") << false << false;
        QTest::newRow("empty") << QByteArray() << false << false;
        QTest::newRow("empty payload, known command") << closed("A7 42 06 00") << true << false;
    }

    void replyChecks()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, wellFormed);
        QFETCH(bool, accepted);
        QCOMPARE(isWellFormedReply(frame), wellFormed);
        QCOMPARE(isAcceptedReply(frame), accepted);
    }

    void everyReplyCommandAtItsSize_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<int>("size");
        QTest::newRow("network") << 0x01 << 52;
        QTest::newRow("device info") << 0x02 << 24;
        QTest::newRow("status") << 0x06 << 8;
        QTest::newRow("thresholds") << 0x08 << 13;
        QTest::newRow("delays") << 0x0E << 16;
        QTest::newRow("names") << 0x10 << 80;
    }

    void everyReplyCommandAtItsSize()
    {
        QFETCH(int, cmd);
        QFETCH(int, size);
        QCOMPARE(replyPayloadSize(quint8(cmd)), size);
        for (int n : {size - 1, size, size + 1}) {
            const QByteArray frame = buildFrame(kFrameReply, quint8(cmd), QByteArray(n, '\x11'));
            QVERIFY(isWellFormedReply(frame));
            QCOMPARE(isAcceptedReply(frame), n == size);
        }
    }

    void nameOfSixteenCharactersWithoutNul()
    {
        QByteArray payload(kSizeNetwork, '\0');
        payload.replace(20, 16, "ABCDEFGHIJKLMNOP");
        const QByteArray frame = buildFrame(kFrameReply, kCmdNetwork, payload);
        QVERIFY(isAcceptedReply(frame));

        char name[16];
        decodeText(framePayload(frame), 20, name, 16);
        QCOMPARE(QByteArray(name, 16), QByteArray("ABCDEFGHIJKLMNOP"));
        QCOMPARE(textToString(name, 16), QStringLiteral("ABCDEFGHIJKLMNOP"));
        // The position field that follows is not read into the name.
        char position[16];
        decodeText(framePayload(frame), 36, position, 16);
        QCOMPARE(textToString(position, 16), QString());
    }

    void textTravelsWhole()
    {
        char text[10];
        textFromString(QStringLiteral("outlet1"), text, 10);
        QCOMPARE(QByteArray(text, 10), QByteArray("outlet1\0\0\0", 10));
        text[9] = 'x'; // a byte after the NUL still travels
        QByteArray out;
        encodeText(out, text, 10);
        QCOMPARE(out, QByteArray("outlet1\0\0x", 10));
        QCOMPARE(textToString(text, 10), QStringLiteral("outlet1"));

        textFromString(QStringLiteral("a name longer than ten"), text, 10);
        QCOMPARE(QByteArray(text, 10), QByteArray("a name lon"));
    }

    void encodesAmperes_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("7.0") << 7.0 << hex("07 00 00");
        QTest::newRow("2.25") << 2.25 << hex("02 00 03");
        QTest::newRow("5.96 carries") << 5.96 << hex("06 00 00");
        QTest::newRow("0.95 carries") << 0.95 << hex("01 00 00");
        QTest::newRow("5.3") << 5.3 << hex("05 00 03");
        QTest::newRow("0.04") << 0.04 << hex("00 00 00");
        QTest::newRow("300.5") << 300.5 << hex("2C 01 05");
        QTest::newRow("negative") << -1.5 << hex("00 00 00");
        QTest::newRow("too large") << 70000.0 << hex("FF FF 09");
        QTest::newRow("not a number") << qQNaN() << hex("00 00 00");
    }

    void encodesAmperes()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, bytes);
        QByteArray out;
        encodeAmperes(out, value);
        QCOMPARE(out.toHex(' '), bytes.toHex(' '));
        QVERIFY(quint8(out.at(2)) <= 9);
    }

    void decodesAmperes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<double>("value");
        QTest::newRow("2 and 255 signed") << hex("02 00 FF") << 1.9;
        QTest::newRow("5.3") << hex("05 00 03") << 5.3;
        QTest::newRow("whole 5 tenths 10") << hex("05 00 0A") << 6.0;
        QTest::newRow("u16 whole") << hex("2C 01 05") << 300.5;
    }

    void decodesAmperes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(double, value);
        QCOMPARE(decodeAmperes(bytes, 0), value);
    }

    void u16IsLowByteFirst()
    {
        QByteArray out;
        encodeU16(out, 51230);
        QCOMPARE(out, hex("1E C8"));
        QCOMPARE(decodeU16(out, 0), quint16(51230));
        QCOMPARE(decodeU16(hex("00 FF FF"), 1), quint16(0xFFFF));
    }

    void ipv4IsFirstOctetFirst()
    {
        const quint8 ip[4] = {192, 168, 0, 100};
        QByteArray out;
        encodeIPv4(out, ip);
        QCOMPARE(out, hex("C0 A8 00 64"));
        QCOMPARE(ipv4ToUint(ip), quint32(0xC0A80064));
        QCOMPARE(ipv4ToString(ip), QStringLiteral("192.168.0.100"));
        QCOMPARE(ipv4ToString(quint32(0x0AC80105)), QStringLiteral("10.200.1.5"));

        quint8 back[4];
        decodeIPv4(hex("00 0A C8 01 05"), 1, back);
        QCOMPARE(ipv4ToUint(back), quint32(0x0AC80105));
        ipv4FromUint(0xFFFFFF00, back);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(back), 4), hex("FF FF FF 00"));
    }

    void macInDisplayOrder()
    {
        const quint8 mac[6] = {0x00, 0x04, 0xA3, 0x12, 0x34, 0x56};
        QByteArray out;
        encodeMac(out, mac);
        QCOMPARE(out, hex("00 04 A3 12 34 56"));
        quint8 back[6];
        decodeMac(out, 0, back);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(back), 6), out);
    }

    void queryFramesAsListed_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("0x01") << 0 << hex("A7 40 01 00 E8");
        QTest::newRow("0x02") << 1 << hex("A7 40 02 00 E9");
        QTest::newRow("0x06") << 2 << hex("A7 40 06 00 EC");
        QTest::newRow("0x08") << 3 << hex("A7 40 08 00 EE");
        QTest::newRow("0x0E") << 4 << hex("A7 40 0E 00 F5");
        QTest::newRow("0x10") << 5 << hex("A7 40 10 00 F7");
    }

    void queryFramesAsListed()
    {
        QFETCH(int, index);
        QFETCH(QByteArray, bytes);
        QCOMPARE(queryFrames().size(), 6);
        QCOMPARE(queryFrames().at(index).toHex(' '), bytes.toHex(' '));
    }

    void outletSwitchFrames_data()
    {
        QTest::addColumn<int>("outlet");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("outlet 3 off") << 3 << false << hex("A7 41 0C 02 02 04 FC");
        QTest::newRow("outlet 1 on") << 1 << true << closed("A7 41 0C 02 01 01");
        QTest::newRow("outlet 8 on") << 8 << true << closed("A7 41 0C 02 01 80");
    }

    void outletSwitchFrames()
    {
        QFETCH(int, outlet);
        QFETCH(bool, on);
        QFETCH(QByteArray, bytes);
        QCOMPARE(buildOutletSwitchFrame(outlet, on).toHex(' '), bytes.toHex(' '));
    }

    void setFrameLayout()
    {
        const QByteArray frame = buildSetFrame(kCmdThresholds, QByteArray(kSizeThresholds, '\x01'));
        QCOMPARE(frame.size(), kSizeThresholds + 5);
        QCOMPARE(frame.left(4), hex("A7 41 08 0D"));
        QCOMPARE(quint8(frame.back()), checkSum(frame.constData(), frame.size() - 1));
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
