#include "device/Protocol.h"

#include <algorithm>
#include <cmath>
#include <cstring>

quint8 checkSum(const char* data, int len)
{
    quint8 sum = 0;
    for (int i = 0; i < len; ++i) {
        sum = quint8(sum + quint8(data[i]));
    }
    return sum;
}

quint8 checkSum(const QByteArray& baData)
{
    return checkSum(baData.constData(), baData.size());
}

const QList<QByteArray>& queryFrames()
{
    static const QList<QByteArray> frames = {
        QByteArray::fromHex("A7400100E8"), QByteArray::fromHex("A7400200E9"),
        QByteArray::fromHex("A7400600EC"), QByteArray::fromHex("A7400800EE"),
        QByteArray::fromHex("A7400E00F5"), QByteArray::fromHex("A7401000F7"),
    };
    return frames;
}

int replyPayloadSize(quint8 cmd)
{
    switch (cmd) {
    case kCmdNetwork:
        return kSizeNetwork;
    case kCmdDeviceInfo:
        return kSizeDeviceInfo;
    case kCmdStatus:
        return kSizeStatus;
    case kCmdThresholds:
        return kSizeThresholds;
    case kCmdOutletDelays:
        return kSizeOutletDelays;
    case kCmdOutletNames:
        return kSizeOutletNames;
    default:
        return -1;
    }
}

bool isWellFormedReply(const QByteArray& baFrame)
{
    const int n = baFrame.size();
    if (n < kFrameOverhead) {
        return false;
    }
    if (quint8(baFrame.at(n - 1)) != checkSum(baFrame.constData(), n - 1)) {
        return false;
    }
    if (quint8(baFrame.at(0)) != kFrameHeader || quint8(baFrame.at(1)) != kFrameReply) {
        return false;
    }
    return quint8(baFrame.at(3)) == n - kFrameOverhead;
}

bool isAcceptedReply(const QByteArray& baFrame)
{
    return isWellFormedReply(baFrame) &&
           replyPayloadSize(frameCommand(baFrame)) == baFrame.size() - kFrameOverhead;
}

quint8 frameCommand(const QByteArray& baFrame)
{
    return baFrame.size() > 2 ? quint8(baFrame.at(2)) : 0;
}

QByteArray framePayload(const QByteArray& baFrame)
{
    if (baFrame.size() < kFrameOverhead) {
        return QByteArray();
    }
    return baFrame.mid(4, baFrame.size() - kFrameOverhead);
}

QByteArray buildFrame(quint8 type, quint8 cmd, const QByteArray& baPayload)
{
    QByteArray frame;
    frame.reserve(baPayload.size() + kFrameOverhead);
    frame.append(char(kFrameHeader));
    frame.append(char(type));
    frame.append(char(cmd));
    frame.append(char(quint8(baPayload.size())));
    frame.append(baPayload);
    frame.append(char(checkSum(frame)));
    return frame;
}

QByteArray buildSetFrame(quint8 cmd, const QByteArray& baPayload)
{
    return buildFrame(kFrameSet, cmd, baPayload);
}

QByteArray buildOutletSwitchFrame(int iOutlet, bool bOn)
{
    Q_ASSERT(iOutlet >= 1 && iOutlet <= 8);
    QByteArray payload;
    encodeByte(payload, bOn ? kOutletActionOn : kOutletActionOff);
    encodeByte(payload, quint8(0x01 << (iOutlet - 1)));
    return buildSetFrame(kCmdOutletSwitch, payload);
}

void encodeByte(QByteArray& baOut, quint8 value)
{
    baOut.append(char(value));
}

quint8 decodeByte(const QByteArray& baIn, int iOffset)
{
    return quint8(baIn.at(iOffset));
}

void encodeU16(QByteArray& baOut, quint16 value)
{
    baOut.append(char(value & 0xFF));
    baOut.append(char(value >> 8));
}

quint16 decodeU16(const QByteArray& baIn, int iOffset)
{
    return quint16(quint8(baIn.at(iOffset)) | (quint8(baIn.at(iOffset + 1)) << 8));
}

void encodeAmperes(QByteArray& baOut, double value)
{
    // Keep the value inside what the three bytes can carry; NaN goes out as zero.
    if (!(value > 0.0)) {
        value = 0.0;
    }
    value = std::min(value, 65535.9);
    int whole = int(std::trunc(value));
    int tenths = int(std::trunc((value - std::floor(value)) * 10.0 + 0.5));
    if (tenths >= 10) {
        whole += tenths / 10;
        tenths %= 10;
    }
    if (whole > 0xFFFF) {
        whole = 0xFFFF;
        tenths = 9;
    }
    encodeU16(baOut, quint16(whole));
    encodeByte(baOut, quint8(tenths));
}

double decodeAmperes(const QByteArray& baIn, int iOffset)
{
    return decodeU16(baIn, iOffset) + qint8(baIn.at(iOffset + 2)) / 10.0;
}

void encodeIPv4(QByteArray& baOut, const quint8* ip)
{
    baOut.append(reinterpret_cast<const char*>(ip), 4);
}

void decodeIPv4(const QByteArray& baIn, int iOffset, quint8* ip)
{
    std::memcpy(ip, baIn.constData() + iOffset, 4);
}

quint32 ipv4ToUint(const quint8* ip)
{
    return (quint32(ip[0]) << 24) | (quint32(ip[1]) << 16) | (quint32(ip[2]) << 8) | quint32(ip[3]);
}

void ipv4FromUint(quint32 uiIp, quint8* ip)
{
    ip[0] = quint8(uiIp >> 24);
    ip[1] = quint8(uiIp >> 16);
    ip[2] = quint8(uiIp >> 8);
    ip[3] = quint8(uiIp);
}

QString ipv4ToString(const quint8* ip)
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

QString ipv4ToString(quint32 uiIp)
{
    quint8 ip[4];
    ipv4FromUint(uiIp, ip);
    return ipv4ToString(ip);
}

void encodeMac(QByteArray& baOut, const quint8* mac)
{
    baOut.append(reinterpret_cast<const char*>(mac), 6);
}

void decodeMac(const QByteArray& baIn, int iOffset, quint8* mac)
{
    std::memcpy(mac, baIn.constData() + iOffset, 6);
}

void encodeText(QByteArray& baOut, const char* text, int n)
{
    baOut.append(text, n);
}

void decodeText(const QByteArray& baIn, int iOffset, char* text, int n)
{
    std::memcpy(text, baIn.constData() + iOffset, size_t(n));
}
