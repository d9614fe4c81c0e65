#include "history/HistoryRecorder.h"

#include "common/CurrentText.h"
#include "common/DeviceText.h"
#include "common/MacText.h"
#include "history/HistoryCsv.h"

#include "common/Clock.h"
#include "device/AlarmTracker.h"
#include "device/OutletControl.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"

#include <QTimer>

#include <cmath>
#include <cstring>

namespace {
// The alarm conditions as the event log names them, in the device's order.
const char* const kConditionNames[CPdu::AlarmCount] = {"Voltage Warn",     "Voltage Overload",
                                                       "Current Warn",     "Current Overload",
                                                       "Temperature Warn", "Humidity Warn"};

HistorySample sampleOf(const PduInfo& info)
{
    HistorySample s;
    s.iMsecs = Clock::now().toMSecsSinceEpoch();
    s.bOnline = true;
    s.uiVoltage = quint16(qMin<quint32>(info.voltage, 0xFFFF));
    const double dCenti = std::round(info.current * 100.0);
    s.uiCentiAmps = quint16(dCenti > 0 && dCenti < 65535 ? dCenti : (dCenti >= 65535 ? 65535 : 0));
    s.uiTemperature = info.temperature;
    s.uiHumidity = info.humidity;
    s.uiOutlets = info.outletStatus;
    return s;
}
} // namespace

CHistoryRecorder::CHistoryRecorder(CHistoryStore* pStore, CRackmind* pRegistry, QObject* parent)
    : QObject(parent), m_pStore(pStore), m_pTimer(new QTimer(this))
{
    if (pRegistry) {
        connect(pRegistry, &CRackmind::signalNewDevice, this, &CHistoryRecorder::slotNewDevice);
        for (CPdu* pPdu : qAsConst(pRegistry->listPdu))
            slotNewDevice(pPdu);
    }
    connect(m_pTimer, &QTimer::timeout, this, &CHistoryRecorder::slotTick);
    m_pTimer->start(1000);
}

CHistoryRecorder* CHistoryRecorder::attach(CHistoryStore* pStore, CRackmind* pRegistry,
                                           CAlarmTracker* pTracker)
{
    if (pTracker && pStore->isAvailable()) {
        QList<ActiveAlarm> listStanding;
        for (const StoredAlarm& stored : CHistoryReader(pStore->path()).standingAlarms()) {
            ActiveAlarm alarm;
            alarm.strMac = stored.strMac;
            alarm.strAddress = stored.strAddress;
            alarm.iCondition = stored.iCondition;
            alarm.dtSince = QDateTime::fromMSecsSinceEpoch(stored.iSince, Qt::UTC);
            alarm.bAcknowledged = stored.iAcknowledged != 0;
            if (alarm.bAcknowledged)
                alarm.dtAcknowledged = QDateTime::fromMSecsSinceEpoch(stored.iAcknowledged, Qt::UTC);
            alarm.strAcknowledgedBy = stored.strAcknowledgedBy;
            listStanding << alarm;
        }
        pTracker->restore(listStanding);
    }
    auto* pRecorder = new CHistoryRecorder(pStore, pRegistry, pRegistry);
    if (!pTracker)
        return pRecorder;
    pRecorder->setDeriveAlarms(false);
    connect(pTracker, &CAlarmTracker::signalAlarmBegan, pRecorder, &CHistoryRecorder::slotAlarmBegan);
    connect(pTracker, &CAlarmTracker::signalAlarmEnded, pRecorder, &CHistoryRecorder::slotAlarmEnded);
    connect(pTracker, &CAlarmTracker::signalAlarmAcknowledged, pRecorder,
            &CHistoryRecorder::slotAlarmAcknowledged);
    return pRecorder;
}

QString CHistoryRecorder::macText(const PduInfo& info)
{
    return macDisplay(info.mac);
}

void CHistoryRecorder::slotNewDevice(CPdu* pPdu)
{
    if (!pPdu || m_hashTracked.contains(pPdu))
        return;
    m_hashTracked[pPdu].pPdu = pPdu;
    connect(pPdu, &CPdu::signalReplyDecoded, this, [this, pPdu](int iCommand) {
        auto it = m_hashTracked.find(pPdu);
        if (it != m_hashTracked.end())
            onReply(*it, iCommand);
    });
    connect(pPdu, &CPdu::signalDownload, this, [this, pPdu](const PduInfo& before, const PduInfo& after) {
        recordDownload(m_hashTracked.value(pPdu), before, after);
    });
    connect(pPdu, &CPdu::signalOutletSwitch, this, [this, pPdu](int iOutlet, bool bOn) {
        const Tracked t = m_hashTracked.value(pPdu);
        m_pStore->record(HistoryEvent::OutletSwitched, t.strMac, deviceText(pPdu->stInfo.name),
                         QString::number(iOutlet), QString(),
                         bOn ? QStringLiteral("on") : QStringLiteral("off"));
    });
    connect(pPdu, &QObject::destroyed, this, [this, pPdu] { m_hashTracked.remove(pPdu); });
}

HistorySample CHistoryRecorder::sample(Tracked& t)
{
    const PduInfo& info = t.pPdu->stInfo;
    HistorySample s = sampleOf(info);
    // No voltage while the device answers, or a current ten times its own overload limit (known once
    // its thresholds arrived), is a meter fault, not energy.
    QString strReading, strValue, strLimit;
    if (info.voltage == 0) {
        strReading = QStringLiteral("voltage");
        strValue = QStringLiteral("0");
        strLimit = QStringLiteral("> 0");
    } else if (t.bLimits && info.currentOverload > 0 && info.current > info.currentOverload * 10) {
        strReading = QStringLiteral("current");
        strValue = currentInMail(info.current);
        strLimit = QStringLiteral("<= ") + currentInMail(info.currentOverload * 10);
    }
    s.bNoEnergy = !strReading.isEmpty();
    if (s.bNoEnergy && !t.bImplausible)
        m_pStore->record(HistoryEvent::ImplausibleReading, t.strMac, deviceText(info.name), strReading,
                         QString(), strValue, strLimit);
    t.iPlausible = s.bNoEnergy ? 0 : t.iPlausible + 1;
    t.bImplausible = s.bNoEnergy || (t.bImplausible && t.iPlausible < kPlausibleToEnd);
    return s;
}

void CHistoryRecorder::onReply(Tracked& t, int iCommand)
{
    const PduInfo& info = t.pPdu->stInfo;
    if (iCommand == kCmdNetwork) {
        const QString strMac = macText(info);
        if (strMac != t.strMac) {
            t.strMac = strMac;
            t.bOnline = true;
            t.bLabelled = false;
            m_pStore->record(HistoryEvent::Appeared, strMac, deviceText(info.name),
                             t.pPdu->sendAddress().toString());
        }
        return;
    }
    if (iCommand == kCmdThresholds)
        t.bLimits = true;
    if (iCommand != kCmdStatus || t.strMac.isEmpty())
        return;
    m_pStore->addSample(t.strMac, sample(t));
    if (m_bDeriveAlarms && t.bLimits)
        deriveAlarms(t);
}

void CHistoryRecorder::deriveAlarms(Tracked& t)
{
    const PduInfo& i = t.pPdu->stInfo;
    // Every status reply comes through here; the texts are made only when a condition changes.
    for (int k = 0; k < CPdu::AlarmCount; ++k) {
        const bool bHolds = CPdu::conditionHolds(i, k);
        if (bHolds == t.aAlarm[k])
            continue;
        t.aAlarm[k] = bHolds;
        QString strValue, strLimit;
        switch (k) {
        case CPdu::AlarmVoltageWarn:
        case CPdu::AlarmVoltageOverload:
            strValue = QString::number(i.voltage);
            strLimit = QString::number(k == CPdu::AlarmVoltageWarn ? i.voltageWarn : i.voltageOverload);
            break;
        case CPdu::AlarmCurrentWarn:
        case CPdu::AlarmCurrentOverload:
            strValue = currentInMail(i.current);
            strLimit = currentInMail(k == CPdu::AlarmCurrentWarn ? i.currentWarn : i.currentOverload);
            break;
        case CPdu::AlarmTemperature:
            strValue = QString::number(i.temperature);
            strLimit = QString::number(i.temperatureLowLimit) + QLatin1String("..") +
                       QString::number(i.temperatureHighLimit);
            break;
        default:
            strValue = QString::number(i.humidity);
            strLimit = QString::number(i.humidityWarn);
        }
        m_pStore->record(t.aAlarm[k] ? HistoryEvent::AlarmBegan : HistoryEvent::AlarmEnded, t.strMac,
                         deviceText(i.name), QString::fromLatin1(kConditionNames[k]), QString(), strValue,
                         strLimit);
    }
}

void CHistoryRecorder::recordDownload(const Tracked& t, const PduInfo& b, const PduInfo& a)
{
    QList<QStringList> listChanges; // field, old, new
    auto check = [&](const QString& strField, const QString& strOld, const QString& strNew) {
        if (strOld != strNew)
            listChanges.append({strField, strOld, strNew});
    };
    check("IP", ipv4ToString(b.ip), ipv4ToString(a.ip));
    check("Subnet Mask", ipv4ToString(b.subNetMask), ipv4ToString(a.subNetMask));
    check("Gateway", ipv4ToString(b.gateway), ipv4ToString(a.gateway));
    check("MAC", macText(b), macText(a));
    check("Port", QString::number(b.udpPort), QString::number(a.udpPort));
    check("Name", deviceText(b.name), deviceText(a.name));
    check("Position", deviceText(b.position), deviceText(a.position));
    check("Current Warn", currentInMail(b.currentWarn), currentInMail(a.currentWarn));
    check("Current Overload", currentInMail(b.currentOverload), currentInMail(a.currentOverload));
    check("Voltage Warn", QString::number(b.voltageWarn), QString::number(a.voltageWarn));
    check("Voltage Overload", QString::number(b.voltageOverload), QString::number(a.voltageOverload));
    check("Temperature Low", QString::number(b.temperatureLowLimit), QString::number(a.temperatureLowLimit));
    check("Temperature High", QString::number(b.temperatureHighLimit),
          QString::number(a.temperatureHighLimit));
    check("Humidity Warn", QString::number(b.humidityWarn), QString::number(a.humidityWarn));
    for (int k = 0; k < 8; ++k) {
        check(QStringLiteral("Outlet %1 Open Delay").arg(k + 1), QString::number(b.outletOpenDelay[k]),
              QString::number(a.outletOpenDelay[k]));
        check(QStringLiteral("Outlet %1 Close Delay").arg(k + 1), QString::number(b.outletCloseDelay[k]),
              QString::number(a.outletCloseDelay[k]));
        check(QStringLiteral("Outlet %1 Name").arg(k + 1), deviceText(b.outletName[k]),
              deviceText(a.outletName[k]));
    }
    for (const QStringList& change : qAsConst(listChanges))
        m_pStore->record(HistoryEvent::Download, t.strMac, deviceText(b.name), change.at(0), change.at(1),
                         change.at(2));
}

void CHistoryRecorder::checkClock()
{
    const qint64 iWall = Clock::now().toMSecsSinceEpoch();
    const qint64 iOffset = iWall - Clock::elapsedMs();
    const qint64 iStep = iOffset - m_iClockOffset;
    const bool bStep = m_bClockOffset && qAbs(iStep) > kClockStepMsecs;
    m_iClockOffset = iOffset;
    m_bClockOffset = true;
    if (!bStep)
        return;
    m_pStore->record(HistoryEvent::ClockChanged, QString(), QString(),
                     iStep < 0 ? QStringLiteral("set back") : QStringLiteral("set forward"),
                     HistoryCsv::time(iWall - iStep), HistoryCsv::time(iWall), QString(),
                     QStringLiteral("%1 s").arg(qAbs(iStep) / 1000));
}

void CHistoryRecorder::slotTick()
{
    checkClock();
    const qint64 iNow = Clock::now().toMSecsSinceEpoch();
    for (Tracked& t : m_hashTracked) {
        if (!t.pPdu || t.strMac.isEmpty())
            continue;
        const PduInfo& info = t.pPdu->stInfo;
        const bool bOnline = t.pPdu->isOnline();
        if (bOnline != t.bOnline) {
            t.bOnline = bOnline;
            m_pStore->record(bOnline ? HistoryEvent::BackOnline : HistoryEvent::Offline, t.strMac,
                             deviceText(info.name), t.pPdu->sendAddress().toString());
        }
        if (!bOnline) {
            HistorySample sample;
            sample.iMsecs = iNow;
            sample.uiOutlets = info.outletStatus;
            m_pStore->addSample(t.strMac, sample);
        }
        // The label texts are made only when what they are made of has changed.
        if (t.bLabelled && t.uiLabelAddress == t.pPdu->sendIPv4() &&
            std::memcmp(t.acLabelName, info.name, sizeof info.name) == 0 &&
            std::memcmp(t.acLabelPosition, info.position, sizeof info.position) == 0 &&
            t.strGroup == t.pPdu->strGroup)
            continue;
        t.uiLabelAddress = t.pPdu->sendIPv4();
        t.strGroup = t.pPdu->strGroup;
        std::memcpy(t.acLabelName, info.name, sizeof info.name);
        std::memcpy(t.acLabelPosition, info.position, sizeof info.position);
        t.bLabelled = true;
        m_pStore->setLabel(t.strMac, deviceText(info.name), deviceText(info.position),
                           t.pPdu->sendAddress().toString(), t.strGroup);
    }
}

void CHistoryRecorder::slotMailResult(QString strSubject, QString strReceiver, bool bDelivered,
                                      QString strWhy)
{
    m_pStore->record(bDelivered ? HistoryEvent::MailSent : HistoryEvent::MailFailed, QString(), QString(),
                     strSubject, QString(), QString(), QString(), bDelivered ? strReceiver : strWhy);
}

namespace {
// How the later entries of an alarm name it: by its start, as the "began" entry is stamped.
QString sinceText(const QDateTime& dtSince)
{
    // With its offset: in the hour the autumn clock change repeats, two starts would read alike.
    return QStringLiteral("since ") + HistoryCsv::time(dtSince.toMSecsSinceEpoch());
}
} // namespace

void CHistoryRecorder::recordAlarm(int iKind, const ActiveAlarm& alarm, const QString& strDetail,
                                   qint64 iMsecs)
{
    if (alarm.isGroupAlarm()) {
        // A group's kinds follow the device's, in the same order.
        const int iGroupKind = HistoryEvent::GroupAlarmBegan + iKind - HistoryEvent::AlarmBegan;
        const QString strSubject = alarm.iCondition == ActiveAlarm::kGroupAtBreaker
                                       ? QStringLiteral("Group Load At Breaker Rating")
                                       : QStringLiteral("Group Load Over Budget");
        const bool bAck = iKind == HistoryEvent::AlarmAcknowledged;
        m_pStore->record({iMsecs, iGroupKind, QString(), alarm.strGroup, strSubject, QString(),
                          bAck ? QString() : alarm.strValue, bAck ? QString() : alarm.strLimit, strDetail});
        return;
    }
    if (alarm.iCondition < 0 || alarm.iCondition >= CPdu::AlarmCount)
        return;
    HistoryEvent event;
    event.iMsecs = iMsecs;
    event.iKind = iKind;
    event.strMac = alarm.strMac;
    event.strSubject = QString::fromLatin1(kConditionNames[alarm.iCondition]);
    event.strDetail = strDetail;
    if (alarm.pPdu) {
        event.strPdu = deviceText(alarm.pPdu->stInfo.name);
        if (iKind != HistoryEvent::AlarmAcknowledged) {
            event.strNew = alarm.pPdu->alarmValue(alarm.iCondition);
            event.strLimit = alarm.pPdu->alarmLimit(alarm.iCondition);
        }
    }
    m_pStore->record(event);
}

void CHistoryRecorder::keepAlarm(const ActiveAlarm& alarm, bool bEnded)
{
    StoredAlarm stored;
    stored.strMac = alarm.strMac;
    stored.strAddress = alarm.strAddress;
    stored.iCondition = alarm.iCondition;
    stored.iSince = alarm.dtSince.toMSecsSinceEpoch();
    stored.iAcknowledged = alarm.bAcknowledged ? alarm.dtAcknowledged.toMSecsSinceEpoch() : 0;
    stored.strAcknowledgedBy = alarm.strAcknowledgedBy;
    stored.bEnded = bEnded;
    m_pStore->keepAlarm(stored);
}

void CHistoryRecorder::slotAlarmBegan(const ActiveAlarm& alarm)
{
    // One that stood across a restart has its "began" entry already.
    if (!alarm.bResumed)
        recordAlarm(HistoryEvent::AlarmBegan, alarm, QString(), alarm.dtSince.toMSecsSinceEpoch());
    keepAlarm(alarm, false);
}

void CHistoryRecorder::slotAlarmEnded(const ActiveAlarm& alarm, const QDateTime& dtEnded)
{
    recordAlarm(HistoryEvent::AlarmEnded, alarm, sinceText(alarm.dtSince), dtEnded.toMSecsSinceEpoch());
    keepAlarm(alarm, true);
}

void CHistoryRecorder::slotAlarmAcknowledged(const ActiveAlarm& alarm)
{
    recordAlarm(HistoryEvent::AlarmAcknowledged, alarm,
                alarm.strAcknowledgedBy + QStringLiteral(", ") + sinceText(alarm.dtSince),
                alarm.dtAcknowledged.toMSecsSinceEpoch());
    keepAlarm(alarm, false);
}

void CHistoryRecorder::slotOutletOperation(const OutletOperation& op)
{
    // A plain switch that went out is logged by the device itself (kind 0); everything else here.
    if (!op.iKind)
        return;
    const QString strNew = op.iKind == HistoryEvent::OutletRefused ? op.strWhat : op.strNew;
    m_pStore->record(op.iKind, op.strMac, op.strPdu, op.iOutlet ? QString::number(op.iOutlet) : op.strWhat,
                     op.strOld, strNew, QString(), op.strResult + QLatin1String(" (") + op.strWho + u')');
}
