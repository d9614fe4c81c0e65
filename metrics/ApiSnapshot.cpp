#include "metrics/ApiSnapshot.h"

#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/AlarmTracker.h"
#include "device/OutletControl.h"
#include "device/OutletSetControl.h"
#include "device/Pdu.h"
#include "history/HistoryCsv.h"

#include <QLocale>

namespace {

const char* const s_apszConditions[] = {"voltageWarn",     "voltageOverload", "currentWarn",
                                        "currentOverload", "temperature",     "humidity",
                                        "groupOverBudget", "groupAtBreaker"};

void appendNumber(QByteArray& ba, double d)
{
    ba += QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
}

void appendKey(QByteArray& ba, const char* pszKey)
{
    ba += '"';
    ba += pszKey;
    ba += "\":";
}

void appendField(QByteArray& ba, const char* pszKey, const QString& strValue)
{
    appendKey(ba, pszKey);
    appendJsonString(ba, strValue);
    ba += ',';
}

void appendField(QByteArray& ba, const char* pszKey, double dValue)
{
    appendKey(ba, pszKey);
    appendNumber(ba, dValue);
    ba += ',';
}

template <int N> QString field(const char (&ac)[N])
{
    return deviceText(ac);
}

QString ipText(const quint8 (&ip)[4])
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

void appendArray(QByteArray& ba, const char* pszKey, const quint8 (&a)[8])
{
    appendKey(ba, pszKey);
    ba += '[';
    for (int i = 0; i < 8; ++i) {
        ba += QByteArray::number(a[i]);
        ba += i < 7 ? ',' : ']';
    }
    ba += ',';
}

// Ends a list whose items each end in a comma.
void endList(QByteArray& ba, const char* pszEnd)
{
    if (ba.endsWith(','))
        ba.chop(1);
    ba += pszEnd;
}

void closeObject(QByteArray& ba)
{
    ba.chop(1);
    ba += '}';
}

// Eight flags, outlet 1 first.
template <typename F> void appendFlags(QByteArray& ba, const char* pszKey, F fnFlag)
{
    appendKey(ba, pszKey);
    ba += '[';
    for (int i = 0; i < 8; ++i) {
        ba += fnFlag(i) ? "true" : "false";
        ba += i < 7 ? ',' : ']';
    }
    ba += ',';
}

// The fields of rackmind-ctl's `show --json`, so that a script reads the same either way, and the
// room's own: group, the alarms that hold.
void appendPdu(QByteArray& ba, const CPdu& pdu, const COutletControl* pControl)
{
    const PduInfo& st = pdu.stInfo;
    ba += '{';
    appendField(ba, "address", pdu.sendAddress().toString());
    appendField(ba, "mac", macDisplay(st.mac));
    appendField(ba, "name", field(st.name));
    appendField(ba, "position", field(st.position));
    appendField(ba, "port", double(st.udpPort));
    appendKey(ba, "online");
    ba += pdu.isOnline() ? "true," : "false,";
    appendKey(ba, "macKnown");
    ba += pdu.bMacKnown ? "true," : "false,";
    appendField(ba, "voltage", double(st.voltage));
    appendField(ba, "current", st.current);
    appendField(ba, "temperature", double(st.temperature));
    appendField(ba, "humidity", double(st.humidity));
    appendFlags(ba, "outlets", [&](int i) { return (st.outletStatus >> i) & 1; });
    appendField(ba, "reportedAddress", ipText(st.ip));
    appendField(ba, "subnetMask", ipText(st.subNetMask));
    appendField(ba, "gateway", ipText(st.gateway));
    appendField(ba, "productType", field(st.productType));
    appendField(ba, "firmware", field(st.firmwareVer));
    appendKey(ba, "thresholds");
    ba += '{';
    appendField(ba, "currentWarn", st.currentWarn);
    appendField(ba, "currentOverload", st.currentOverload);
    appendField(ba, "voltageWarn", double(st.voltageWarn));
    appendField(ba, "voltageOverload", double(st.voltageOverload));
    appendField(ba, "temperatureLow", double(st.temperatureLowLimit));
    appendField(ba, "temperatureHigh", double(st.temperatureHighLimit));
    appendField(ba, "humidityWarn", double(st.humidityWarn));
    closeObject(ba);
    ba += ',';
    appendArray(ba, "openDelays", st.outletOpenDelay);
    appendArray(ba, "closeDelays", st.outletCloseDelay);
    appendKey(ba, "outletNames");
    ba += '[';
    for (int i = 0; i < 8; ++i) {
        appendJsonString(ba, field(st.outletName[i]));
        ba += i < 7 ? ',' : ']';
    }
    ba += ',';
    // What a client must not switch off without the override, known before it sends anything.
    appendFlags(ba, "protected", [&](int i) { return pControl && pControl->isProtected(&pdu, i + 1); });
    appendField(ba, "group", pdu.strGroup);
    appendKey(ba, "alarms");
    ba += '[';
    for (int i = 0; i < CPdu::AlarmCount; ++i) {
        if (pdu.bAlarm[i]) {
            appendJsonString(ba, QLatin1String(s_apszConditions[i]));
            ba += ',';
        }
    }
    endList(ba, "]}");
}

void appendAlarm(QByteArray& ba, const ActiveAlarm& alarm)
{
    ba += '{';
    appendField(ba, "id", double(alarm.uiId));
    const int iCondition = alarm.iCondition;
    appendField(ba, "condition",
                iCondition >= 0 && iCondition < int(std::size(s_apszConditions))
                    ? QLatin1String(s_apszConditions[iCondition])
                    : QString::number(iCondition));
    appendField(ba, "severity",
                alarm.severity() > 1 ? QStringLiteral("critical") : QStringLiteral("warning"));
    if (alarm.isGroupAlarm()) {
        appendField(ba, "group", alarm.strGroup);
        appendField(ba, "value", alarm.strValue);
        appendField(ba, "limit", alarm.strLimit);
    } else {
        appendField(ba, "mac", alarm.strMac);
        appendField(ba, "address", alarm.strAddress);
        if (alarm.pPdu)
            appendField(ba, "name", field(alarm.pPdu->stInfo.name));
    }
    appendField(ba, "since", HistoryCsv::time(alarm.dtSince.toMSecsSinceEpoch()));
    appendKey(ba, "acknowledged");
    ba += alarm.bAcknowledged ? "true," : "false,";
    if (alarm.bAcknowledged) {
        appendField(ba, "acknowledgedAt", HistoryCsv::time(alarm.dtAcknowledged.toMSecsSinceEpoch()));
        appendField(ba, "acknowledgedBy", alarm.strAcknowledgedBy);
    }
    closeObject(ba);
}

const char* sequenceState(SequenceView::State state)
{
    static const char* const s_apsz[] = {"idle",      "switching", "waiting",   "paused",
                                         "completed", "failed",    "cancelled", "interrupted"};
    return s_apsz[state];
}

void appendSets(QByteArray& ba, const OutletSetsData& data, COutletSetControl& sets,
                const QHash<QString, CPdu*>& hashByMac)
{
    ba += "{\"sets\":[";
    for (const OutletSet& set : data.mapSets) {
        ba += '{';
        appendField(ba, "name", set.strName);
        appendKey(ba, "outlets");
        ba += '[';
        for (const OutletRef& ref : set.listOutlets) {
            appendJsonString(ba, ref.text());
            ba += ',';
        }
        endList(ba, "],");
        appendField(ba, "running", sets.setState(set.strName));
        closeObject(ba);
        ba += ',';
    }
    endList(ba, "],\"sequences\":[");
    for (const OutletSequence& seq : data.mapSequences) {
        ba += '{';
        appendField(ba, "name", seq.strName);
        appendKey(ba, "steps");
        ba += '[';
        for (const SequenceStep& step : seq.listSteps) {
            ba += '{';
            appendField(ba, "step", sets.stepText(step, hashByMac));
            // As the sets file has it, for a client that works the step out itself.
            if (step.strSet.isEmpty())
                appendField(ba, "outlet", step.outlet.text());
            else
                appendField(ba, "set", step.strSet);
            appendKey(ba, "on");
            ba += step.bOn ? "true," : "false,";
            appendField(ba, "wait", double(step.iWaitSecs));
            closeObject(ba);
            ba += ',';
        }
        endList(ba, "]},");
    }
    endList(ba, "],\"sequence\":{");
    const SequenceView& view = sets.sequence();
    appendField(ba, "name", view.strName);
    appendField(ba, "state", QLatin1String(sequenceState(view.state)));
    appendField(ba, "step", double(view.iStep + 1));
    appendField(ba, "secondsLeft", double(view.iSecondsLeft));
    appendField(ba, "reason", view.strReason);
    closeObject(ba);
    ba += '}';
}

} // namespace

void appendJsonString(QByteArray& baOut, const QString& strText)
{
    static const char acHex[] = "0123456789abcdef";
    baOut += '"';
    for (const QChar ch : strText) {
        const ushort u = ch.unicode();
        if (u == '"' || u == '\\') {
            baOut += '\\';
            baOut += char(u);
        } else if (u < 0x20 || u == 0x7f || u == 0x2028 || u == 0x2029) {
            baOut += "\\u";
            for (int iShift = 12; iShift >= 0; iShift -= 4)
                baOut += acHex[(u >> iShift) & 0xf];
        } else if (u < 0x80) {
            baOut += char(u);
        } else {
            baOut += QString(ch).toUtf8();
        }
    }
    baOut += '"';
}

std::shared_ptr<const ApiSnapshot> renderApiSnapshot(const QList<CPdu*>& listPdu,
                                                     const CAlarmTracker* pTracker,
                                                     const OutletSetsData& sets, COutletSetControl* pControl,
                                                     QHash<QString, CPdu*>* pIndex)
{
    auto pSnap = std::make_shared<ApiSnapshot>();
    pSnap->hashPdu.reserve(listPdu.size());
    QHash<QString, CPdu*> hashByMac;
    pSnap->baPdus.reserve(listPdu.size() * 900 + 16);
    pSnap->baPdus += "{\"pdus\":[";
    QByteArray baOne;
    for (CPdu* pPdu : listPdu) {
        baOne.clear();
        appendPdu(baOne, *pPdu, pControl ? pControl->control() : nullptr);
        pSnap->baPdus += baOne;
        pSnap->baPdus += ',';
        // Before its MAC is known a PDU shows the factory's, which every new unit shares.
        const QString strKey = macDigits(pPdu->stInfo.mac);
        if (pPdu->bMacKnown && !pSnap->hashPdu.contains(strKey)) {
            pSnap->hashPdu.insert(strKey, baOne);
            hashByMac.insert(strKey, pPdu);
        }
    }
    endList(pSnap->baPdus, "]}");
    pSnap->baAlarms = "{\"alarms\":[";
    if (pTracker) {
        for (const ActiveAlarm& alarm : pTracker->activeAlarms()) {
            appendAlarm(pSnap->baAlarms, alarm);
            pSnap->baAlarms += ',';
        }
    }
    endList(pSnap->baAlarms, "]}");
    if (pIndex)
        *pIndex = hashByMac;
    if (pControl)
        appendSets(pSnap->baSets, sets, *pControl, hashByMac);
    else
        pSnap->baSets = "{\"sets\":[],\"sequences\":[],\"sequence\":{\"state\":\"idle\"}}";
    return pSnap;
}
