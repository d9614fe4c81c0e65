#include "tools/pdusim/SimFrame.h"

namespace SimFrame {

quint8 byteSum(const char* data, int len)
{
    quint8 sum = 0;
    for (int i = 0; i < len; ++i)
        sum = quint8(sum + quint8(data[i]));
    return sum;
}

QByteArray build(quint8 type, quint8 cmd, const QByteArray& baPayload)
{
    QByteArray baFrame;
    baFrame.reserve(baPayload.size() + 5);
    baFrame.append(char(Header));
    baFrame.append(char(type));
    baFrame.append(char(cmd));
    baFrame.append(char(quint8(baPayload.size())));
    baFrame.append(baPayload);
    baFrame.append(char(byteSum(baFrame.constData(), baFrame.size())));
    return baFrame;
}

int replySize(quint8 cmd)
{
    switch (cmd) {
    case CmdNetwork:
        return 52;
    case CmdInfo:
        return 24;
    case CmdStatus:
        return 8;
    case CmdThresholds:
        return 13;
    case CmdDelays:
        return 16;
    case CmdNames:
        return 80;
    default:
        return -1;
    }
}

int setSize(quint8 cmd)
{
    switch (cmd) {
    case CmdNetwork:
        return 52;
    case CmdThresholds:
        return 13;
    case CmdSwitch:
        return 2;
    case CmdDelays:
        return 16;
    case CmdNames:
        return 80;
    default:
        return -1;
    }
}

Incoming parse(const QByteArray& baFrame)
{
    Incoming in;
    const int n = baFrame.size();
    if (n < 5 || quint8(baFrame[0]) != Header)
        return in;
    if (quint8(baFrame[3]) != n - 5)
        return in;
    const quint8 type = quint8(baFrame[1]);
    const quint8 cmd = quint8(baFrame[2]);
    const quint8 sum = byteSum(baFrame.constData(), n - 1);
    const quint8 check = quint8(baFrame[n - 1]);
    const bool bLenient = type == TypeQuery && (cmd == CmdStatus || cmd == CmdThresholds);
    if (check != sum && !(bLenient && check == quint8(sum - 1)))
        return in;
    in.bValid = true;
    in.type = type;
    in.cmd = cmd;
    in.baPayload = baFrame.mid(4, n - 5);
    return in;
}

void putU16(QByteArray& baOut, quint16 value)
{
    baOut.append(char(value & 0xFF));
    baOut.append(char(value >> 8));
}

void putText(QByteArray& baOut, const QByteArray& baText, int n)
{
    QByteArray baField = baText.left(n);
    baField.append(QByteArray(n - baField.size(), '\0'));
    baOut.append(baField);
}

quint16 getU16(const QByteArray& baIn, int iOffset)
{
    return quint16(quint8(baIn[iOffset]) | (quint8(baIn[iOffset + 1]) << 8));
}

quint32 getIPv4(const QByteArray& baIn, int iOffset)
{
    return (quint32(quint8(baIn[iOffset])) << 24) | (quint32(quint8(baIn[iOffset + 1])) << 16) |
           (quint32(quint8(baIn[iOffset + 2])) << 8) | quint32(quint8(baIn[iOffset + 3]));
}

void putIPv4(QByteArray& baOut, quint32 uiIp)
{
    baOut.append(char(uiIp >> 24));
    baOut.append(char(uiIp >> 16));
    baOut.append(char(uiIp >> 8));
    baOut.append(char(uiIp));
}

QByteArray toHex(const QByteArray& baFrame)
{
    return baFrame.toHex(' ').toUpper();
}

} // namespace SimFrame
