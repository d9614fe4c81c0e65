#include "metrics/MetricsText.h"

#include "common/DeviceText.h"
#include "common/Energy.h"
#include "common/MacText.h"
#include "device/GroupAlarms.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "metrics/OutletSetGauge.h"
#include "settings/GroupSettings.h"

#include <QMap>

#include <cmath>
#include <functional>
#include <vector>

// Label values come from the devices themselves: a name may hold quotes, backslashes or line feeds,
// which would otherwise end the value or the line.
void appendLabelValue(QByteArray& baOut, const QString& strValue)
{
    for (const char c : strValue.toUtf8()) {
        if (c == '\\')
            baOut += "\\\\";
        else if (c == '"')
            baOut += "\\\"";
        else if (c == '\n')
            baOut += "\\n";
        else
            baOut += c;
    }
}

namespace {

// Twelve hex digits without separators: the label is on every series of the PDU, and the colons
// alone would be a tenth of the page.
QByteArray macLabel(const PduInfo& info)
{
    return "mac=\"" + macDigits(info.mac).toLatin1() + '"';
}

QByteArray infoLabels(const CPdu* pPdu)
{
    const PduInfo& info = pPdu->stInfo;
    QByteArray ba = macLabel(info) + ",name=\"";
    appendLabelValue(ba, deviceText(info.name));
    ba += "\",position=\"";
    appendLabelValue(ba, deviceText(info.position));
    ba += "\",address=\"" + pPdu->sendAddress().toString().toLatin1() + "\",group=\"";
    appendLabelValue(ba, pPdu->strGroup);
    ba += '"';
    return ba;
}

// The value as QByteArray::number(d, 'g', 10) writes it. Readings and limits have at most two
// decimals, and a page of a large room holds tens of thousands of them: those take a short way.
QByteArray number(double dValue)
{
    const double dCenti = std::round(dValue * 100);
    if (!(std::fabs(dValue) < 1e7) || dCenti / 100 != dValue || (dValue == 0 && std::signbit(dValue)))
        return QByteArray::number(dValue, 'g', 10);
    char acDigits[24];
    char* p = std::end(acDigits);
    qint64 iCenti = qint64(dCenti);
    const bool bNegative = iCenti < 0;
    if (bNegative)
        iCenti = -iCenti;
    const int iFraction = int(iCenti % 100);
    if (iFraction) {
        if (iFraction % 10)
            *--p = char('0' + iFraction % 10);
        *--p = char('0' + iFraction / 10);
        *--p = '.';
    }
    qint64 iWhole = iCenti / 100;
    do {
        *--p = char('0' + iWhole % 10);
        iWhole /= 10;
    } while (iWhole);
    if (bNegative)
        *--p = '-';
    return QByteArray(p, int(std::end(acDigits) - p));
}

void appendFamily(QByteArray& baOut, const char* pszName, const char* pszType, const char* pszHelp)
{
    baOut += QByteArray("# HELP ") + pszName + ' ' + pszHelp + "\n# TYPE " + pszName + ' ' + pszType + '\n';
}

// One line: name{labels,extra} value. Appended piece by piece, without temporaries.
void appendSample(QByteArray& baOut, const char* pszName, const QByteArray& baLabels,
                  const QByteArray& baValue, const QByteArray& baExtraLabels = QByteArray())
{
    baOut.append(pszName);
    if (!baLabels.isEmpty()) {
        baOut.append('{');
        baOut.append(baLabels);
        baOut.append(baExtraLabels);
        baOut.append('}');
    }
    baOut.append(' ');
    baOut.append(baValue);
    baOut.append('\n');
}

struct Gauge
{
    const char* pszName;
    const char* pszHelp;
    std::function<double(const PduInfo&)> value;
    bool bLimit;
};

// Each group's load, and the budget and breaker rating of those that have them, in name order.
template <typename FamilyFn>
void appendGroups(QByteArray& ba, const QList<CPdu*>& listPdu, const FamilyFn& appendFamily)
{
    QMap<QString, double> mapLoad;
    const QHash<QString, GroupBudget> hashBudgets = groupBudgets();
    for (auto it = hashBudgets.cbegin(); it != hashBudgets.cend(); ++it)
        mapLoad.insert(it.key(), 0);
    const QHash<QString, double> hashLoad = CGroupAlarms::groupLoads(listPdu);
    for (auto it = hashLoad.cbegin(); it != hashLoad.cend(); ++it)
        mapLoad.insert(it.key(), it.value());
    QMap<QString, QByteArray> mapLabels;
    for (auto it = mapLoad.cbegin(); it != mapLoad.cend(); ++it) {
        QByteArray& baLabel = mapLabels[it.key()];
        baLabel = "group=\"";
        appendLabelValue(baLabel, it.key());
        baLabel += '"';
    }
    appendFamily(ba, "rackmind_group_current_amperes", "gauge",
                 "Load of the group: the sum of its online PDUs' currents.");
    for (auto it = mapLoad.cbegin(); it != mapLoad.cend(); ++it)
        appendSample(ba, "rackmind_group_current_amperes", mapLabels.value(it.key()),
                     QByteArray::number(it.value(), 'g', 10));
    const auto appendBudgets = [&](const char* pszName, const char* pszHelp, bool bDerated) {
        appendFamily(ba, pszName, "gauge", pszHelp);
        for (auto it = mapLoad.cbegin(); it != mapLoad.cend(); ++it) {
            const GroupBudget budget = hashBudgets.value(it.key());
            if (budget.isSet())
                appendSample(
                    ba, pszName, mapLabels.value(it.key()),
                    QByteArray::number(bDerated ? budget.budgetAmps() : budget.dBreakerAmps, 'g', 10));
        }
    };
    appendBudgets("rackmind_group_budget_amperes",
                  "The group's budget: its breaker rating times its derating, the most continuous load "
                  "may draw.",
                  true);
    appendBudgets("rackmind_group_breaker_amperes", "Rating of the breaker that feeds the group.", false);
}

} // namespace

QByteArray renderMetrics(const QList<CPdu*>& listPdu, const MetricsTotals& totals)
{
    QByteArray ba;
    renderMetrics(listPdu, totals, ba);
    return ba;
}

const CMetricsLabels::Entry& CMetricsLabels::of(const CPdu* pPdu)
{
    const PduInfo& info = pPdu->stInfo;
    const quint32 uiAddress = pPdu->sendIPv4();
    QByteArray baKey;
    baKey.reserve(int(sizeof info.mac + sizeof info.name + sizeof info.position + sizeof uiAddress) +
                  pPdu->strGroup.size() * 2);
    baKey.append(reinterpret_cast<const char*>(info.mac), int(sizeof info.mac));
    baKey.append(info.name, int(sizeof info.name));
    baKey.append(info.position, int(sizeof info.position));
    baKey.append(reinterpret_cast<const char*>(&uiAddress), int(sizeof uiAddress));
    baKey.append(reinterpret_cast<const char*>(pPdu->strGroup.constData()), pPdu->strGroup.size() * 2);
    Entry& entry = m_hashEntry[pPdu];
    if (entry.baKey != baKey || entry.baInfo.isEmpty()) {
        entry.baKey = baKey;
        entry.baInfo = infoLabels(pPdu);
        entry.baMac = macLabel(pPdu->stInfo);
    }
    return entry;
}

void renderMetrics(const QList<CPdu*>& listPdu, const MetricsTotals& totals, QByteArray& ba,
                   QVector<int>* pvecFamilies, CMetricsLabels* pLabels, const COutletSetGauge* pSets)
{
    if (pvecFamilies)
        pvecFamilies->clear();
    const auto appendFamily = [&](QByteArray& baOut, const char* pszName, const char* pszType,
                                  const char* pszHelp) {
        if (pvecFamilies)
            pvecFamilies->append(baOut.size());
        ::appendFamily(baOut, pszName, pszType, pszHelp);
    };
    ba.reserve(4096 + listPdu.size() * 1536);
    ba.resize(0); // a reserved array keeps its memory
    appendFamily(ba, "rackmind_pdus", "gauge", "PDUs the console has heard from.");
    appendSample(ba, "rackmind_pdus", {}, QByteArray::number(listPdu.size()));
    appendFamily(ba, "rackmind_replies_received_total", "counter",
                 "Datagrams from PDUs handed to their device.");
    appendSample(ba, "rackmind_replies_received_total", {}, QByteArray::number(totals.iRepliesReceived));
    appendFamily(ba, "rackmind_replies_dropped_total", "counter",
                 "Datagrams from PDUs dropped because the console could not take them in time.");
    appendSample(ba, "rackmind_replies_dropped_total", {}, QByteArray::number(totals.iRepliesDropped));
    appendFamily(ba, "rackmind_last_poll_timestamp_seconds", "gauge",
                 "Time of the last poll broadcast that went out.");
    appendSample(ba, "rackmind_last_poll_timestamp_seconds", {}, number(totals.iLastPollMsecs / 1000.0));
    appendFamily(ba, "rackmind_polled_interfaces", "gauge",
                 "Network interfaces polled on; 0 means no PDU can be heard.");
    appendSample(ba, "rackmind_polled_interfaces", {}, QByteArray::number(totals.iPolledInterfaces));
    appendFamily(ba, "rackmind_history_samples_dropped_total", "counter",
                 "Polls not recorded in the history file: its writer fell behind or the file could not be "
                 "written while its queue filled.");
    appendSample(ba, "rackmind_history_samples_dropped_total", {},
                 QByteArray::number(totals.iHistorySamplesDropped));
    if (totals.iHistoryAvailable >= 0) {
        appendFamily(ba, "rackmind_history_available", "gauge",
                     "1 while the history file can be written; 0 while it cannot (the reason is logged).");
        appendSample(ba, "rackmind_history_available", {}, QByteArray::number(totals.iHistoryAvailable));
        appendFamily(ba, "rackmind_history_samples_pending", "gauge",
                     "Polls waiting in memory for the history file.");
        appendSample(ba, "rackmind_history_samples_pending", {},
                     QByteArray::number(totals.iHistorySamplesPending));
    }

    const QByteArray baOne("1"), baZero("0");
    CMetricsLabels labelsHere;
    CMetricsLabels& labels = pLabels ? *pLabels : labelsHere;
    std::vector<const CMetricsLabels::Entry*> vecLabels;
    // What each PDU may show: 1 online, 2 online with its limits reported.
    std::vector<int> vecShown;
    vecLabels.reserve(size_t(listPdu.size()));
    vecShown.reserve(size_t(listPdu.size()));
    for (const CPdu* pPdu : listPdu) {
        vecLabels.push_back(&labels.of(pPdu));
        vecShown.push_back(pPdu->isOnline() ? (pPdu->limitsKnown() ? 2 : 1) : 0);
    }

    appendFamily(ba, "rackmind_pdu_info", "gauge",
                 "Always 1; the PDU's name, position, address and group, to join on mac.");
    for (const CMetricsLabels::Entry* pEntry : vecLabels)
        appendSample(ba, "rackmind_pdu_info", pEntry->baInfo, baOne);
    appendFamily(ba, "rackmind_pdu_online", "gauge",
                 "1 while the PDU has answered within the last 3 seconds.");
    for (size_t i = 0; i < vecLabels.size(); ++i)
        appendSample(ba, "rackmind_pdu_online", vecLabels[i]->baMac, vecShown[i] ? baOne : baZero);

    const Gauge gauges[] = {
        {"rackmind_pdu_voltage_volts", "Mains voltage.", [](const PduInfo& i) { return i.voltage; }, false},
        {"rackmind_pdu_current_amperes", "Current drawn.", [](const PduInfo& i) { return i.current; }, false},
        {"rackmind_pdu_temperature_celsius", "Temperature.", [](const PduInfo& i) { return i.temperature; },
         false},
        {"rackmind_pdu_humidity_percent", "Relative humidity.", [](const PduInfo& i) { return i.humidity; },
         false},
        {"rackmind_pdu_voltage_warn_volts", "Voltage warning limit.",
         [](const PduInfo& i) { return i.voltageWarn; }, true},
        {"rackmind_pdu_voltage_overload_volts", "Voltage overload limit.",
         [](const PduInfo& i) { return i.voltageOverload; }, true},
        {"rackmind_pdu_current_warn_amperes", "Current warning limit.",
         [](const PduInfo& i) { return i.currentWarn; }, true},
        {"rackmind_pdu_current_overload_amperes", "Current overload limit.",
         [](const PduInfo& i) { return i.currentOverload; }, true},
        {"rackmind_pdu_temperature_high_celsius", "Upper temperature limit.",
         [](const PduInfo& i) { return i.temperatureHighLimit; }, true},
        {"rackmind_pdu_temperature_low_celsius", "Lower temperature limit.",
         [](const PduInfo& i) { return i.temperatureLowLimit; }, true},
        {"rackmind_pdu_humidity_warn_percent", "Humidity warning limit.",
         [](const PduInfo& i) { return i.humidityWarn; }, true},
    };
    for (const Gauge& gauge : gauges) {
        appendFamily(ba, gauge.pszName, "gauge", gauge.pszHelp);
        const int iNeeded = gauge.bLimit ? 2 : 1;
        for (int i = 0; i < listPdu.size(); ++i)
            if (vecShown[size_t(i)] >= iNeeded)
                appendSample(ba, gauge.pszName, vecLabels[size_t(i)]->baMac,
                             number(gauge.value(listPdu[i]->stInfo)));
    }

    appendFamily(ba, "rackmind_pdu_apparent_power_voltamperes", "gauge",
                 "Apparent power, voltage times current (these PDUs measure no watts).");
    for (int i = 0; i < listPdu.size(); ++i)
        if (vecShown[size_t(i)] >= 1)
            appendSample(
                ba, "rackmind_pdu_apparent_power_voltamperes", vecLabels[size_t(i)]->baMac,
                number(Energy::apparentPower(listPdu[i]->stInfo.voltage, listPdu[i]->stInfo.current)));
    if (!totals.hashEnergyUnits.isEmpty()) {
        appendFamily(ba, "rackmind_pdu_energy_voltampere_hours_total", "counter",
                     "Apparent energy since the history file first recorded the PDU; no energy is "
                     "counted across a gap in its polls.");
        for (int i = 0; i < listPdu.size(); ++i) {
            const auto it = totals.hashEnergyUnits.constFind(macDisplay(listPdu[i]->stInfo.mac));
            if (it != totals.hashEnergyUnits.cend())
                appendSample(ba, "rackmind_pdu_energy_voltampere_hours_total", vecLabels[size_t(i)]->baMac,
                             QByteArray::number(Energy::toVah(*it), 'g', 12));
        }
    }
    appendGroups(ba, listPdu, appendFamily);

    appendFamily(ba, "rackmind_pdu_outlet_on", "gauge", "1 while the outlet is switched on.");
    QByteArray abaOutlet[8];
    for (int iOutlet = 0; iOutlet < 8; ++iOutlet)
        abaOutlet[iOutlet] = ",outlet=\"" + QByteArray::number(iOutlet + 1) + '"';
    for (int i = 0; i < listPdu.size(); ++i)
        for (int iOutlet = 0; iOutlet < 8 && vecShown[size_t(i)] >= 1; ++iOutlet)
            appendSample(ba, "rackmind_pdu_outlet_on", vecLabels[size_t(i)]->baMac,
                         (listPdu[i]->stInfo.outletStatus >> iOutlet) & 1 ? baOne : baZero,
                         abaOutlet[iOutlet]);
    appendFamily(
        ba, "rackmind_outlet_set_on", "gauge",
        "Share of the outlet set's outlets switched on (0 to 1); an outlet of a PDU that is offline, "
        "not heard from, or reported by two PDUs with its MAC counts as not on.");
    if (pSets)
        pSets->appendSamples(ba, listPdu);
}
