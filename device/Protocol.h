#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// Frame layout: A7, type, command, payload length L, L payload bytes, check byte (byte sum of all
// bytes before it). Every datagram carries exactly one frame.

constexpr quint8 kFrameHeader = 0xA7;
constexpr quint8 kFrameQuery = 0x40;
constexpr quint8 kFrameSet = 0x41;
constexpr quint8 kFrameReply = 0x42;
constexpr int kFrameOverhead = 5;

constexpr quint8 kCmdNetwork = 0x01;
constexpr quint8 kCmdDeviceInfo = 0x02;
constexpr quint8 kCmdStatus = 0x06;
constexpr quint8 kCmdThresholds = 0x08;
constexpr quint8 kCmdOutletSwitch = 0x0C;
constexpr quint8 kCmdOutletDelays = 0x0E;
constexpr quint8 kCmdOutletNames = 0x10;

constexpr int kSizeNetwork = 52;
constexpr int kSizeDeviceInfo = 24;
constexpr int kSizeStatus = 8;
constexpr int kSizeThresholds = 13;
constexpr int kSizeOutletSwitch = 2;
constexpr int kSizeOutletDelays = 16;
constexpr int kSizeOutletNames = 80;

constexpr quint8 kOutletActionOn = 1;
constexpr quint8 kOutletActionOff = 2;

// 8-bit sum, modulo 256, of len bytes starting at data.
quint8 checkSum(const char* data, int len);
quint8 checkSum(const QByteArray& baData);

// The six polling queries, sent as they stand and in this order on every tick. The 0x06 and 0x08
// queries carry a check byte one below their byte sum; devices in the field answer them that way.
const QList<QByteArray>& queryFrames();

// Payload size of a reply to command cmd, or -1 for a command that is never answered.
int replyPayloadSize(quint8 cmd);

// A reply frame with a right check byte and a length byte that matches the datagram size.
bool isWellFormedReply(const QByteArray& baFrame);
// A well-formed reply to one of the six queries with that command's payload size: the only replies
// that are decoded.
bool isAcceptedReply(const QByteArray& baFrame);
// Command byte and payload of a frame; only meaningful once the frame has been checked.
quint8 frameCommand(const QByteArray& baFrame);
QByteArray framePayload(const QByteArray& baFrame);

// A7 type cmd L payload check.
QByteArray buildFrame(quint8 type, quint8 cmd, const QByteArray& baPayload);
QByteArray buildSetFrame(quint8 cmd, const QByteArray& baPayload);
// Switches one outlet (1..8) on or off.
QByteArray buildOutletSwitchFrame(int iOutlet, bool bOn);

// Payload codecs. Encoders append to a payload; decoders read at an offset the caller has checked
// against the payload size.
void encodeByte(QByteArray& baOut, quint8 value);
quint8 decodeByte(const QByteArray& baIn, int iOffset);

void encodeU16(QByteArray& baOut, quint16 value);
quint16 decodeU16(const QByteArray& baIn, int iOffset);

// Whole amperes (u16) then tenths (one byte). Tenths are rounded and carried into the whole part,
// so 5.96 travels as 6 and 0. Decoding reads the tenths byte as signed, as devices may send it so.
void encodeAmperes(QByteArray& baOut, double value);
double decodeAmperes(const QByteArray& baIn, int iOffset);

// Addresses are kept first octet first, exactly as they travel.
void encodeIPv4(QByteArray& baOut, const quint8* ip);
void decodeIPv4(const QByteArray& baIn, int iOffset, quint8* ip);
quint32 ipv4ToUint(const quint8* ip);
void ipv4FromUint(quint32 uiIp, quint8* ip);
QString ipv4ToString(const quint8* ip);
QString ipv4ToString(quint32 uiIp);

void encodeMac(QByteArray& baOut, const quint8* mac);
void decodeMac(const QByteArray& baIn, int iOffset, quint8* mac);

// text[n]: the whole n bytes travel, whatever follows the first NUL.
void encodeText(QByteArray& baOut, const char* text, int n);
void decodeText(const QByteArray& baIn, int iOffset, char* text, int n);
