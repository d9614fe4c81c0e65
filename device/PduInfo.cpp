#include "device/PduInfo.h"

#include "device/Protocol.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace {
template <size_t N> void setText(char (&field)[N], const char* text)
{
    std::memset(field, 0, N);
    std::strncpy(field, text, N);
}

template <size_t N> void setBytes(quint8 (&field)[N], std::initializer_list<quint8> bytes)
{
    std::copy(bytes.begin(), bytes.end(), field);
}
} // namespace

const quint8 kFactoryMac[6] = {0x00, 0x04, 0xA3, 0x00, 0x00, 0x00};

bool isFactoryMac(const quint8 (&mac)[6])
{
    return std::memcmp(mac, kFactoryMac, sizeof kFactoryMac) == 0;
}

PduInfo::PduInfo()
{
    setBytes(ip, {192, 168, 0, 100});
    setBytes(subNetMask, {255, 255, 255, 0});
    setBytes(gateway, {192, 168, 0, 1});
    std::memcpy(mac, kFactoryMac, sizeof mac);
    udpPort = 51230;
    setText(name, "IP PDU");
    setText(position, "office");
    setText(productType, "IP PDU");
    setText(firmwareVer, "1.0.0");
    voltage = 220;
    current = 0.0;
    temperature = 25;
    humidity = 50;
    outletStatus = 0;
    currentWarn = 5.0;
    currentOverload = 6.0;
    voltageWarn = 250;
    voltageOverload = 300;
    temperatureLowLimit = 5;
    temperatureHighLimit = 50;
    humidityWarn = 80;
    for (int i = 0; i < 8; ++i) {
        outletOpenDelay[i] = quint8(5 + i);
        outletCloseDelay[i] = quint8(5 + i);
        setText(outletName[i], QByteArray("outlet" + QByteArray::number(i + 1)).constData());
    }
}

QByteArray networkPayload(const PduInfo& info)
{
    QByteArray out;
    encodeIPv4(out, info.ip);
    encodeIPv4(out, info.subNetMask);
    encodeIPv4(out, info.gateway);
    encodeMac(out, info.mac);
    encodeU16(out, quint16(info.udpPort));
    encodeText(out, info.name, sizeof info.name);
    encodeText(out, info.position, sizeof info.position);
    return out;
}

QByteArray deviceInfoPayload(const PduInfo& info)
{
    QByteArray out;
    encodeText(out, info.productType, sizeof info.productType);
    encodeText(out, info.firmwareVer, sizeof info.firmwareVer);
    return out;
}

QByteArray statusPayload(const PduInfo& info)
{
    QByteArray out;
    encodeU16(out, quint16(info.voltage));
    encodeAmperes(out, info.current);
    encodeByte(out, info.temperature);
    encodeByte(out, info.humidity);
    encodeByte(out, info.outletStatus);
    return out;
}

QByteArray thresholdsPayload(const PduInfo& info)
{
    QByteArray out;
    encodeAmperes(out, info.currentWarn);
    encodeAmperes(out, info.currentOverload);
    encodeU16(out, quint16(info.voltageWarn));
    encodeU16(out, quint16(info.voltageOverload));
    encodeByte(out, info.temperatureLowLimit);
    encodeByte(out, info.temperatureHighLimit);
    encodeByte(out, info.humidityWarn);
    return out;
}

QByteArray outletDelaysPayload(const PduInfo& info)
{
    QByteArray out;
    out.append(reinterpret_cast<const char*>(info.outletOpenDelay), 8);
    out.append(reinterpret_cast<const char*>(info.outletCloseDelay), 8);
    return out;
}

QByteArray outletNamesPayload(const PduInfo& info)
{
    QByteArray out;
    for (const auto& outletName : info.outletName) {
        encodeText(out, outletName, sizeof outletName);
    }
    return out;
}

QByteArray payloadFor(quint8 cmd, const PduInfo& info)
{
    switch (cmd) {
    case kCmdNetwork:
        return networkPayload(info);
    case kCmdDeviceInfo:
        return deviceInfoPayload(info);
    case kCmdStatus:
        return statusPayload(info);
    case kCmdThresholds:
        return thresholdsPayload(info);
    case kCmdOutletDelays:
        return outletDelaysPayload(info);
    case kCmdOutletNames:
        return outletNamesPayload(info);
    default:
        return QByteArray();
    }
}

void decodeNetworkPayload(const QByteArray& baPayload, PduInfo& info)
{
    decodeIPv4(baPayload, 0, info.ip);
    decodeIPv4(baPayload, 4, info.subNetMask);
    decodeIPv4(baPayload, 8, info.gateway);
    decodeNetworkMac(baPayload, info.mac);
    info.udpPort = decodeU16(baPayload, 18);
    decodeText(baPayload, 20, info.name, sizeof info.name);
    decodeText(baPayload, 36, info.position, sizeof info.position);
}

void decodeNetworkMac(const QByteArray& baPayload, quint8 (&mac)[6])
{
    decodeMac(baPayload, 12, mac);
}

void decodeDeviceInfoPayload(const QByteArray& baPayload, PduInfo& info)
{
    decodeText(baPayload, 0, info.productType, sizeof info.productType);
    decodeText(baPayload, 16, info.firmwareVer, sizeof info.firmwareVer);
}

void decodeStatusPayload(const QByteArray& baPayload, PduInfo& info)
{
    info.voltage = decodeU16(baPayload, 0);
    info.current = decodeAmperes(baPayload, 2);
    info.temperature = decodeByte(baPayload, 5);
    info.humidity = decodeByte(baPayload, 6);
    info.outletStatus = decodeByte(baPayload, 7);
}

void decodeThresholdsPayload(const QByteArray& baPayload, PduInfo& info)
{
    info.currentWarn = decodeAmperes(baPayload, 0);
    info.currentOverload = decodeAmperes(baPayload, 3);
    info.voltageWarn = decodeU16(baPayload, 6);
    info.voltageOverload = decodeU16(baPayload, 8);
    info.temperatureLowLimit = decodeByte(baPayload, 10);
    info.temperatureHighLimit = decodeByte(baPayload, 11);
    info.humidityWarn = decodeByte(baPayload, 12);
}

void decodeOutletDelaysPayload(const QByteArray& baPayload, PduInfo& info)
{
    for (int i = 0; i < 8; ++i) {
        info.outletOpenDelay[i] = decodeByte(baPayload, i);
        info.outletCloseDelay[i] = decodeByte(baPayload, 8 + i);
    }
}

void decodeOutletNamesPayload(const QByteArray& baPayload, PduInfo& info)
{
    for (int i = 0; i < 8; ++i) {
        decodeText(baPayload, i * 10, info.outletName[i], sizeof info.outletName[i]);
    }
}
