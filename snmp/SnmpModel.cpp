#include "snmp/SnmpModel.h"

#include "common/Clock.h"
#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/AlarmTracker.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "settings/AlarmSettings.h"
#include "snmp/SnmpNotifications.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QSet>
#include <QThreadPool>

#include <array>
#include <cmath>
#include <functional>

namespace {

// Which sensor each of CPdu's alarm conditions is judged on.
constexpr int kConditionSensor[CPdu::AlarmCount] = {CSnmpModel::PartVoltage,     CSnmpModel::PartVoltage,
                                                    CSnmpModel::PartCurrent,     CSnmpModel::PartCurrent,
                                                    CSnmpModel::PartTemperature, CSnmpModel::PartHumidity};

// What each condition is, as a receiver routes it.
const char* const kConditionTrigger[CPdu::AlarmCount] = {
    "voltage warning", "voltage overload", "current warning", "current overload", "temperature", "humidity"};

// A sensor's reading as entPhySensorValue holds it: amperes with the tenths the PDU measures.
qint32 sensorValue(const PduInfo& info, int iPart)
{
    switch (iPart) {
    case CSnmpModel::PartVoltage:
        return qint32(info.voltage);
    case CSnmpModel::PartCurrent:
        return qint32(std::lround(info.current * 10));
    case CSnmpModel::PartTemperature:
        return info.temperature;
    default:
        return info.humidity;
    }
}

// DateAndTime (RFC 2579) in UTC: year, month, day, hour, minutes, seconds, deci-seconds, '+', 0, 0.
QByteArray dateAndTime(const QDateTime& dt)
{
    const QDateTime utc = dt.toUTC();
    const QDate d = utc.date();
    const QTime t = utc.time();
    QByteArray ba;
    ba += char(d.year() >> 8);
    ba += char(d.year() & 0xFF);
    for (int i : {d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec() / 100})
        ba += char(i);
    ba += '+';
    ba += QByteArray(2, '\0');
    return ba;
}

} // namespace

CSnmpModel::CSnmpModel(const QString& strIndexFile, QObject* parent)
    : QObject(parent), m_indexes(strIndexFile), m_iStartMsecs(Clock::elapsedMs()),
      m_pSnapshot(std::make_shared<CSnmpSnapshot>())
{
    m_timerRefresh.setInterval(kRefreshMsec);
    connect(&m_timerRefresh, &QTimer::timeout, this, &CSnmpModel::refreshFromSources);
}

bool CSnmpModel::loadIndexes()
{
    return m_indexes.load();
}

void CSnmpModel::setSources(CRackmind* pRegistry, CAlarmTracker* pTracker)
{
    m_pRegistry = pRegistry;
    m_pTracker = pTracker;
    if (pRegistry && pTracker)
        m_timerRefresh.start();
    else
        m_timerRefresh.stop();
}

void CSnmpModel::refreshFromSources()
{
    if (m_pRegistry && m_pTracker)
        refresh(m_pRegistry->listPdu, m_pTracker->activeAlarms());
}

std::shared_ptr<const CSnmpSnapshot> CSnmpModel::snapshot() const
{
    QMutexLocker locker(&m_mutex);
    return m_pSnapshot;
}

quint32 CSnmpModel::ticksAt(qint64 iMsecs) const
{
    return quint32(qMax<qint64>(0, iMsecs - m_iStartMsecs) / 10);
}

std::shared_ptr<const CSnmpSnapshot> CSnmpModel::refresh(const QList<CPdu*>& listPdu,
                                                         const QList<ActiveAlarm>& listAlarms)
{
    // Alarm bits per device and sensor, from the same tracker the alarm mail follows.
    QHash<const CPdu*, std::array<quint8, 5>> hashAlarms;
    for (const ActiveAlarm& alarm : listAlarms) {
        if (alarm.isGroupAlarm() || !alarm.pPdu || alarm.iCondition < 0 ||
            alarm.iCondition >= CPdu::AlarmCount)
            continue;
        const quint8 uiBit = alarm.severity() > 1 ? SnmpEntity::AlarmCritical : SnmpEntity::AlarmWarning;
        hashAlarms[alarm.pPdu.data()][kConditionSensor[alarm.iCondition]] |= uiBit;
    }

    // A unit still telling the factory MAC (or none yet) has nothing that stays its own; of two units
    // telling one MAC the first heard is published.
    QVector<std::pair<const CPdu*, QString>> vecPublished;
    QSet<QString> setMacs;
    QStringList listNew;
    for (const CPdu* pPdu : listPdu) {
        if (!pPdu->hasKnownMac())
            continue;
        const QString strMac = macDigits(pPdu->stInfo.mac);
        if (setMacs.contains(strMac))
            continue;
        setMacs.insert(strMac);
        vecPublished.append({pPdu, strMac});
        if (m_indexes.numberOf(strMac) == 0)
            listNew << strMac;
    }
    // Tried again each time while it fails: the PDUs left out come as soon as the file can be written.
    const bool bKept = listNew.isEmpty() || m_indexes.assign(listNew);
    const QString strTrouble = bKept ? QString() : m_indexes.errorString();
    if (strTrouble != m_strIndexTrouble) {
        m_strIndexTrouble = strTrouble;
        emit signalIndexTrouble();
    }
    m_hashPublished.clear();
    for (const auto& [pPdu, strMac] : vecPublished)
        m_hashPublished.insert(strMac, pPdu);

    auto pSnap = std::make_shared<CSnmpSnapshot>();
    pSnap->vecEntities.reserve(vecPublished.size() * (1 + 4 + 2 * 8));
    ++m_uiRefresh;
    for (const auto& [pPdu, strMac] : vecPublished) {
        const quint32 uiNumber = m_indexes.numberOf(strMac);
        if (uiNumber == 0)
            continue;
        quint8 auiAlarms[5] = {};
        const auto it = hashAlarms.constFind(pPdu);
        if (it != hashAlarms.cend())
            std::copy(it->cbegin(), it->cend(), auiAlarms);
        addPdu(*pSnap, *pPdu, uiNumber * CEntityIndexes::kBlock, auiAlarms);
    }
    pSnap->finish();
    for (auto it = m_hashSeen.begin(); it != m_hashSeen.end();)
        it = it->uiRefresh == m_uiRefresh ? std::next(it) : m_hashSeen.erase(it);

    // entLastChangeTime: when an entity came, went, or changed what the physical table says of it.
    size_t uiDigest = 0;
    for (const SnmpEntity& e : pSnap->vecEntities) {
        uiDigest = qHash(e.uiIndex, uint(uiDigest));
        for (const QString* pstr :
             {&e.strName, &e.strDescr, &e.strFirmware, &e.strAlias, &e.strModel, &e.strSerial})
            uiDigest = qHash(*pstr, uint(uiDigest));
    }
    if (!m_bBuilt || uiDigest != m_uiPhysicalDigest)
        m_uiLastChangeTicks = ticksAt(Clock::elapsedMs());
    m_uiPhysicalDigest = uiDigest;
    m_bBuilt = true;
    pSnap->uiLastChangeTicks = m_uiLastChangeTicks;
    pSnap->uiBuiltTicks = ticksAt(Clock::elapsedMs());
    pSnap->tpBuilt = std::chrono::steady_clock::now();

    std::shared_ptr<const CSnmpSnapshot> pPublished = pSnap;
    std::shared_ptr<const CSnmpSnapshot> pBefore;
    {
        QMutexLocker locker(&m_mutex);
        pBefore = m_pSnapshot;
        m_pSnapshot = pPublished;
    }
    tellChanges(*pBefore, *pPublished);
    // Freeing a thousand PDUs' snapshot takes milliseconds: not on the room's thread.
    QThreadPool::globalInstance()->start([pOld = std::move(pBefore)]() mutable { pOld.reset(); });
    return pPublished;
}

void CSnmpModel::tellChanges(const CSnmpSnapshot& before, const CSnmpSnapshot& after)
{
    bool bConfigChanged = false;
    for (const CSnmpSnapshot* pSnap : {&before, &after}) {
        const CSnmpSnapshot* pOther = pSnap == &before ? &after : &before;
        for (const SnmpEntity& e : pSnap->vecEntities) {
            if (e.iClass != SnmpEntity::ClassChassis)
                continue;
            const SnmpEntity* pThen = pOther->entity(e.uiIndex);
            if (!pThen) {
                bConfigChanged = true;
                continue;
            }
            // A PDU seen in both whose state turned between enabled and disabled.
            if (pSnap == &after && pThen->iOper != e.iOper)
                emit signalNotification(SnmpNotifications::operChanged(e));
        }
    }
    m_bConfigPending = m_bConfigPending || bConfigChanged;
    const qint64 iNow = Clock::elapsedMs();
    if (m_bConfigPending && (!m_bConfigToldEver || iNow - m_iConfigToldMs >= kConfigChangeGapMs)) {
        m_bConfigPending = false;
        m_bConfigToldEver = true;
        m_iConfigToldMs = iNow;
        emit signalNotification(SnmpNotifications::configChange());
    }
}

void CSnmpModel::alarmChanged(const ActiveAlarm& alarm, bool bBegan)
{
    // As the alarm mail: an alarm that stood before the start is told again only when its mail is.
    if (bBegan && alarm.bResumed && !g_alarmSettings.mailStandingAfterRestart)
        return;
    if (alarm.isGroupAlarm()) {
        // Its load as the mail tells it ("12.3 A").
        const double dLoad = alarm.strValue.section(QLatin1Char(' '), 0, 0).toDouble();
        const QString strTrigger = alarm.iCondition == ActiveAlarm::kGroupAtBreaker
                                       ? QStringLiteral("at the breaker rating")
                                       : QStringLiteral("over budget");
        emit signalNotification(
            SnmpNotifications::groupAlarm(bBegan, strTrigger, alarm.strGroup, qint32(qRound(dLoad * 10))));
        return;
    }
    if (!alarm.pPdu || alarm.iCondition < 0 || alarm.iCondition >= CPdu::AlarmCount)
        return;
    if (!alarm.pPdu->hasKnownMac())
        return;
    // Another unit telling the MAC of the one published has no entity of its own.
    const QString strMac = macDigits(alarm.pPdu->stInfo.mac);
    const CPdu* pPublished = m_hashPublished.value(strMac);
    if (pPublished && pPublished != alarm.pPdu)
        return;
    if (m_indexes.numberOf(strMac) == 0 && !m_indexes.assign({strMac}))
        return;
    const quint32 uiNumber = m_indexes.numberOf(strMac);
    if (uiNumber == 0)
        return;
    // The sensor as the last snapshot shows it, with the reading and the alarm as they are now: building
    // the room anew for each alarm would cost a whole snapshot per alarm, in a room where many begin at once.
    // A PDU that came after it (found hot, its alarm mailed at once) as the next one will show it.
    std::shared_ptr<const CSnmpSnapshot> pSnap = snapshot();
    const quint32 uiChassis = uiNumber * CEntityIndexes::kBlock;
    const int iPart = kConditionSensor[alarm.iCondition];
    if (!pSnap->entity(uiChassis + quint32(iPart)) || !pSnap->entity(uiChassis)) {
        auto pOwn = std::make_shared<CSnmpSnapshot>();
        const quint8 auiAlarms[5] = {};
        addPdu(*pOwn, *alarm.pPdu, uiChassis, auiAlarms);
        pOwn->finish();
        // Its states are stamped by the next snapshot, not by this one.
        for (const SnmpEntity& e : pOwn->vecEntities)
            m_hashSeen.remove(e.uiIndex);
        pSnap = pOwn;
    }
    const SnmpEntity* pSensor = pSnap->entity(uiChassis + quint32(iPart));
    const SnmpEntity* pChassis = pSnap->entity(uiChassis);
    if (!pSensor || !pChassis)
        return;
    SnmpEntity sensor = *pSensor;
    sensor.iValue = sensorValue(alarm.pPdu->stInfo, iPart);
    const quint8 uiBit = alarm.severity() > 1 ? SnmpEntity::AlarmCritical : SnmpEntity::AlarmWarning;
    sensor.uiAlarm = bBegan ? quint8(sensor.uiAlarm | uiBit) : quint8(sensor.uiAlarm & ~uiBit);
    emit signalNotification(SnmpNotifications::alarm(
        bBegan, QLatin1String(kConditionTrigger[alarm.iCondition]), sensor, pChassis->strName));
}

void CSnmpModel::addPdu(CSnmpSnapshot& snap, const CPdu& pdu, quint32 uiBase, const quint8 (&auiAlarms)[5])
{
    const PduInfo& info = pdu.stInfo;
    const bool bOnline = pdu.isOnline();
    // Readings are served only while they are fresh: an offline PDU's sensors are unavailable, with no
    // stale value.
    const bool bReading = bOnline && pdu.hasReported(kCmdStatus);
    const bool bJudged = pdu.limitsKnown();
    const QString strName = deviceText(info.name);
    const QString strLabel = strName.isEmpty() ? macDisplay(info.mac) : strName;
    const quint32 uiTicks = ticksAt(pdu.iLastRcvMsecs);

    SnmpEntity chassis;
    chassis.uiIndex = uiBase + PartChassis;
    chassis.strDescr = deviceText(info.productType);
    chassis.strName = strName;
    chassis.strFirmware = deviceText(info.firmwareVer);
    chassis.strSerial = macDisplay(info.mac);
    chassis.strModel = chassis.strDescr;
    chassis.strAlias = deviceText(info.position);
    chassis.bFru = true;
    chassis.bState = true;
    chassis.iOper = bOnline ? SnmpEntity::OperEnabled : SnmpEntity::OperDisabled;
    for (quint8 ui : auiAlarms)
        chassis.uiAlarm |= ui;
    if (!bJudged)
        chassis.uiAlarm |= SnmpEntity::AlarmUnknown;
    stamp(chassis);
    snap.vecEntities << chassis;

    struct SensorPart
    {
        int iPart;
        const char* pszWhat;
        int iType;
        int iPrecision;
        const char* pszUnits;
    };
    const SensorPart aSensors[] = {
        {PartVoltage, "voltage", SnmpEntity::SensorVoltsAC, 0, "V"},
        {PartCurrent, "current", SnmpEntity::SensorAmperes, 1, "A"},
        {PartTemperature, "temperature", SnmpEntity::SensorCelsius, 0, "C"},
        {PartHumidity, "humidity", SnmpEntity::SensorPercentRH, 0, "%RH"},
    };
    for (const SensorPart& part : aSensors) {
        SnmpEntity sensor;
        sensor.uiIndex = uiBase + part.iPart;
        sensor.iClass = SnmpEntity::ClassSensor;
        sensor.uiContainedIn = chassis.uiIndex;
        sensor.iParentRelPos = part.iPart;
        sensor.strDescr = QLatin1String(part.pszWhat);
        sensor.strName = strLabel + QLatin1Char(' ') + sensor.strDescr;
        sensor.bSensor = true;
        sensor.iSensorType = part.iType;
        sensor.iPrecision = part.iPrecision;
        sensor.iValue = bReading ? sensorValue(info, part.iPart) : 0;
        sensor.iSensorStatus = bReading ? SnmpEntity::SensorOk : SnmpEntity::SensorUnavailable;
        sensor.strUnits = QLatin1String(part.pszUnits);
        sensor.uiValueTicks = bReading ? uiTicks : 0;
        sensor.bState = true;
        sensor.iOper = bReading ? SnmpEntity::OperEnabled : SnmpEntity::OperDisabled;
        sensor.uiAlarm =
            bJudged ? auiAlarms[part.iPart] : quint8(SnmpEntity::AlarmUnknown | auiAlarms[part.iPart]);
        stamp(sensor);
        snap.vecEntities << sensor;
    }

    for (int i = 0; i < 8; ++i) {
        const bool bOn = (info.outletStatus >> i) & 0x01;
        const QString strNumber = QStringLiteral("outlet %1").arg(i + 1);
        const QString strOutletName = deviceText(info.outletName[i]);
        SnmpEntity outlet;
        outlet.uiIndex = uiBase + PartOutlet + quint32(i);
        outlet.iClass = SnmpEntity::ClassEnergyObject;
        outlet.uiContainedIn = chassis.uiIndex;
        outlet.iParentRelPos = i + 1;
        outlet.strDescr = strNumber;
        outlet.strName = strOutletName.isEmpty() ? strLabel + QLatin1Char(' ') + strNumber : strOutletName;
        outlet.bState = true;
        outlet.iOper = !bReading ? SnmpEntity::OperUnknown
                       : bOn     ? SnmpEntity::OperEnabled
                                 : SnmpEntity::OperDisabled;
        stamp(outlet);
        snap.vecEntities << outlet;

        SnmpEntity sw;
        sw.uiIndex = uiBase + PartOutletSwitch + quint32(i);
        sw.iClass = SnmpEntity::ClassSensor;
        sw.uiContainedIn = outlet.uiIndex;
        sw.iParentRelPos = 1;
        sw.strDescr = strNumber + QStringLiteral(" switched on");
        sw.strName = outlet.strName + QStringLiteral(" on");
        sw.bSensor = true;
        sw.iSensorType = SnmpEntity::SensorTruthValue;
        // TruthValue: true(1), false(2).
        sw.iValue = !bReading ? 0 : bOn ? 1 : 2;
        sw.iSensorStatus = bReading ? SnmpEntity::SensorOk : SnmpEntity::SensorUnavailable;
        sw.uiValueTicks = bReading ? uiTicks : 0;
        snap.vecEntities << sw;
    }
}

void CSnmpModel::stamp(SnmpEntity& entity)
{
    // Unknown (zeros) until a change is seen: when a state began before the program started is not known.
    auto it = m_hashSeen.find(entity.uiIndex);
    if (it == m_hashSeen.end()) {
        it = m_hashSeen.insert(entity.uiIndex, {entity.iOper, entity.uiAlarm, QByteArray(8, '\0')});
    } else if (it->iOper != entity.iOper || it->uiAlarm != entity.uiAlarm) {
        it->iOper = entity.iOper;
        it->uiAlarm = entity.uiAlarm;
        it->baLastChanged = dateAndTime(Clock::now());
    }
    it->uiRefresh = m_uiRefresh;
    entity.baLastChanged = it->baLastChanged;
}
