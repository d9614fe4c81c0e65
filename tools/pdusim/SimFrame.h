#pragma once

#include <QByteArray>
#include <QtGlobal>

// The simulator's own frame code. It deliberately shares nothing with the console's codec, so that a
// fault in one cannot be masked by the same fault in the other.
//
// Frame: A7, type, command, payload length L, L payload bytes, check byte (8-bit sum of the bytes
// before it).
namespace SimFrame {

enum : quint8
{
    Header = 0xA7,
    TypeQuery = 0x40,
    TypeSet = 0x41,
    TypeReply = 0x42
};

enum : quint8
{
    CmdNetwork = 0x01,
    CmdInfo = 0x02,
    CmdStatus = 0x06,
    CmdThresholds = 0x08,
    CmdSwitch = 0x0C,
    CmdDelays = 0x0E,
    CmdNames = 0x10,
};

quint8 byteSum(const char* data, int len);

// A complete frame with its check byte.
QByteArray build(quint8 type, quint8 cmd, const QByteArray& baPayload);

// Payload size of a device's reply to a query, or -1 when the device does not answer that command.
int replySize(quint8 cmd);
// Payload size a device accepts in a set frame, or -1 when it does not accept that command.
int setSize(quint8 cmd);

// A received frame that passed the checks a device makes.
struct Incoming
{
    bool bValid = false;
    quint8 type = 0;
    quint8 cmd = 0;
    QByteArray baPayload;
};

// Checks header, length byte against the datagram size and the check byte. Queries 0x06 and 0x08
// are also accepted with a check byte one below the sum, as consoles in the field send them.
Incoming parse(const QByteArray& baFrame);

void putU16(QByteArray& baOut, quint16 value);
// Text fields always travel whole: cut to n bytes or NUL-padded to n.
void putText(QByteArray& baOut, const QByteArray& baText, int n);
quint16 getU16(const QByteArray& baIn, int iOffset);
quint32 getIPv4(const QByteArray& baIn, int iOffset);
void putIPv4(QByteArray& baOut, quint32 uiIp);

QByteArray toHex(const QByteArray& baFrame);

} // namespace SimFrame
