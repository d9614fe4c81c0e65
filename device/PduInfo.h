#pragma once

#include <QByteArray>
#include <QtGlobal>

// One device's settings and readings in a fixed layout. Addresses are kept first octet first; text
// fields are NUL-padded byte arrays that are compared and sent whole.
struct PduInfo
{
    quint8 ip[4];
    quint8 subNetMask[4];
    quint8 gateway[4];
    quint8 mac[6];
    quint32 udpPort;
    char name[16];
    char position[16];
    char productType[16];
    char firmwareVer[8];
    quint32 voltage;
    double current;
    quint8 temperature;
    quint8 humidity;
    quint8 outletStatus;
    double currentWarn;
    double currentOverload;
    quint32 voltageWarn;
    quint32 voltageOverload;
    quint8 temperatureLowLimit;
    quint8 temperatureHighLimit;
    quint8 humidityWarn;
    quint8 outletOpenDelay[8];
    quint8 outletCloseDelay[8];
    char outletName[8][10];

    // Every new record starts with the factory defaults.
    PduInfo();
};

// The MAC every unit leaves the factory with, shared by all unconfigured units: it identifies none.
extern const quint8 kFactoryMac[6];
bool isFactoryMac(const quint8 (&mac)[6]);

// Payloads of the set and reply frames, built from and decoded into a record. The decoders expect a
// payload of exactly the command's size (the reply checks make sure of it).
QByteArray networkPayload(const PduInfo& info);
QByteArray deviceInfoPayload(const PduInfo& info);
QByteArray statusPayload(const PduInfo& info);
QByteArray thresholdsPayload(const PduInfo& info);
QByteArray outletDelaysPayload(const PduInfo& info);
QByteArray outletNamesPayload(const PduInfo& info);
// The payload for any of the six polled commands; empty for any other.
QByteArray payloadFor(quint8 cmd, const PduInfo& info);

void decodeNetworkPayload(const QByteArray& baPayload, PduInfo& info);
// Only the MAC a network payload carries, for asking whose reply it is without decoding the rest.
void decodeNetworkMac(const QByteArray& baPayload, quint8 (&mac)[6]);
void decodeDeviceInfoPayload(const QByteArray& baPayload, PduInfo& info);
void decodeStatusPayload(const QByteArray& baPayload, PduInfo& info);
void decodeThresholdsPayload(const QByteArray& baPayload, PduInfo& info);
void decodeOutletDelaysPayload(const QByteArray& baPayload, PduInfo& info);
void decodeOutletNamesPayload(const QByteArray& baPayload, PduInfo& info);
