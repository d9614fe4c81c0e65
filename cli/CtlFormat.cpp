#include "cli/CtlFormat.h"

#include "cli/CtlLink.h"
#include "cli/CtlTarget.h"
#include "common/CurrentText.h"
#include "common/DeviceText.h"
#include "device/Protocol.h"

#include <QJsonArray>
#include <QJsonDocument>

QString outletBits(quint8 status)
{
    QString str;
    for (int i = 0; i < 8; ++i)
        str += (status & (1u << i)) ? QLatin1Char('1') : QLatin1Char('0');
    return str;
}

namespace {

QString text(const char* field, int n)
{
    return deviceText(field, n);
}

// A value shown as JSON (the outlet names, the limits) keeps JSON's own escapes; what JSON leaves raw
// (DEL, C1, the separators, the direction marks) gets its \u escape, so it still reads as JSON.
QString jsonOnTerminal(const QString& strJson)
{
    const QString strMarked = labelText(strJson);
    QString str;
    for (int i = 0; i < strJson.size(); ++i)
        str += strMarked.at(i) == strJson.at(i)
                   ? QString(strJson.at(i))
                   : QStringLiteral("\\u%1").arg(uint(strJson.at(i).unicode()), 4, 16, QLatin1Char('0'));
    return str;
}

} // namespace

QString pduLine(const CtlPdu& pdu)
{
    const PduInfo& st = pdu.info;
    return QStringLiteral("%1\t%2\t%3\t%4\tonline\t%5 V\t%6 A\t%7 °C\t%8 %RH\t%9")
        .arg(addressText(pdu), macText(pdu), terminalText(nameText(pdu)),
             terminalText(text(st.position, sizeof st.position)))
        .arg(st.voltage)
        .arg(currentReading(st.current))
        .arg(st.temperature)
        .arg(st.humidity)
        .arg(outletBits(st.outletStatus));
}

QJsonObject pduJson(const CtlPdu& pdu, bool bFull)
{
    const PduInfo& st = pdu.info;
    QJsonArray outlets;
    for (int i = 0; i < 8; ++i)
        outlets.append(bool(st.outletStatus & (1u << i)));
    QJsonObject obj{
        {QStringLiteral("address"), addressText(pdu)},
        {QStringLiteral("mac"), macText(pdu)},
        {QStringLiteral("name"), nameText(pdu)},
        {QStringLiteral("position"), text(st.position, sizeof st.position)},
        {QStringLiteral("port"), int(pdu.uiPort)},
        {QStringLiteral("online"), true},
        {QStringLiteral("voltage"), int(st.voltage)},
        {QStringLiteral("current"), st.current},
        {QStringLiteral("temperature"), int(st.temperature)},
        {QStringLiteral("humidity"), int(st.humidity)},
        {QStringLiteral("outlets"), outlets},
    };
    if (!bFull)
        return obj;
    obj.insert(QStringLiteral("reportedAddress"), ipv4ToString(st.ip));
    obj.insert(QStringLiteral("subnetMask"), ipv4ToString(st.subNetMask));
    obj.insert(QStringLiteral("gateway"), ipv4ToString(st.gateway));
    obj.insert(QStringLiteral("productType"), text(st.productType, sizeof st.productType));
    obj.insert(QStringLiteral("firmware"), text(st.firmwareVer, sizeof st.firmwareVer));
    obj.insert(QStringLiteral("thresholds"),
               QJsonObject{{QStringLiteral("currentWarn"), st.currentWarn},
                           {QStringLiteral("currentOverload"), st.currentOverload},
                           {QStringLiteral("voltageWarn"), int(st.voltageWarn)},
                           {QStringLiteral("voltageOverload"), int(st.voltageOverload)},
                           {QStringLiteral("temperatureLow"), int(st.temperatureLowLimit)},
                           {QStringLiteral("temperatureHigh"), int(st.temperatureHighLimit)},
                           {QStringLiteral("humidityWarn"), int(st.humidityWarn)}});
    QJsonArray openDelays, closeDelays, names;
    for (int i = 0; i < 8; ++i) {
        openDelays.append(int(st.outletOpenDelay[i]));
        closeDelays.append(int(st.outletCloseDelay[i]));
        names.append(text(st.outletName[i], sizeof st.outletName[i]));
    }
    obj.insert(QStringLiteral("openDelays"), openDelays);
    obj.insert(QStringLiteral("closeDelays"), closeDelays);
    obj.insert(QStringLiteral("outletNames"), names);
    return obj;
}

QString pduText(const CtlPdu& pdu)
{
    const QJsonObject obj = pduJson(pdu, true);
    QString str;
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        const QJsonValue value = it.value();
        QString strValue;
        if (value.isObject() || value.isArray())
            strValue = jsonOnTerminal(QString::fromUtf8(
                value.isObject() ? QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)
                                 : QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)));
        else
            strValue = terminalText(value.toVariant().toString());
        str += it.key() + QStringLiteral(": ") + strValue + QLatin1Char('\n');
    }
    return str;
}
