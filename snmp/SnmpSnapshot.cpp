#include "snmp/SnmpSnapshot.h"

#include <algorithm>

namespace {

enum TableId
{
    PhysicalTable,
    LastChangeTime,
    SensorTable,
    StateTable
};

// TruthValue, and the states this room cannot tell (EntityAdminState, EntityUsageState,
// EntityStandbyStatus all have unknown(1)).
constexpr int kTrue = 1;
constexpr int kFalse = 2;
constexpr int kUnknownState = 1;
// EntitySensorDataScale units(9); the PDUs read every second.
constexpr int kScaleUnits = 9;
constexpr quint32 kUpdateRateMs = 1000;

} // namespace

struct CSnmpSnapshot::Table
{
    TableId eId;
    Oid prefix;               // the entry (a table) or the object (a scalar, instance .0)
    QVector<quint32> columns; // ascending; none for a scalar
};

const QVector<CSnmpSnapshot::Table>& CSnmpSnapshot::tables()
{
    // ENTITY-MIB (RFC 6933) entPhysicalEntry and entLastChangeTime, ENTITY-SENSOR-MIB (RFC 3433)
    // entPhySensorEntry, ENTITY-STATE-MIB (RFC 4268) entStateEntry: in OID order.
    static const QVector<Table> vecTables = {
        {PhysicalTable,
         {1, 3, 6, 1, 2, 1, 47, 1, 1, 1, 1},
         {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
        {LastChangeTime, {1, 3, 6, 1, 2, 1, 47, 1, 4, 1}, {}},
        {SensorTable, {1, 3, 6, 1, 2, 1, 99, 1, 1, 1}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {StateTable, {1, 3, 6, 1, 2, 1, 131, 1, 1, 1}, {1, 2, 3, 4, 5, 6}},
    };
    return vecTables;
}

QVector<Oid> CSnmpSnapshot::subtrees()
{
    return {{1, 3, 6, 1, 2, 1, 47, 1, 1, 1},
            {1, 3, 6, 1, 2, 1, 47, 1, 4, 1},
            {1, 3, 6, 1, 2, 1, 99, 1, 1},
            {1, 3, 6, 1, 2, 1, 131, 1, 1}};
}

void CSnmpSnapshot::finish()
{
    std::sort(vecEntities.begin(), vecEntities.end(),
              [](const SnmpEntity& a, const SnmpEntity& b) { return a.uiIndex < b.uiIndex; });
    m_vecAll.clear();
    m_vecSensors.clear();
    m_vecStates.clear();
    for (int i = 0; i < vecEntities.size(); ++i) {
        m_vecAll << i;
        if (vecEntities.at(i).bSensor)
            m_vecSensors << i;
        if (vecEntities.at(i).bState)
            m_vecStates << i;
    }
}

const SnmpEntity* CSnmpSnapshot::entity(quint32 uiIndex) const
{
    const auto it = std::lower_bound(vecEntities.cbegin(), vecEntities.cend(), uiIndex,
                                     [](const SnmpEntity& e, quint32 ui) { return e.uiIndex < ui; });
    return it != vecEntities.cend() && it->uiIndex == uiIndex ? &*it : nullptr;
}

const QVector<int>& CSnmpSnapshot::rowsOf(const Table& table) const
{
    return table.eId == SensorTable ? m_vecSensors : table.eId == StateTable ? m_vecStates : m_vecAll;
}

bool CSnmpSnapshot::valueOf(const Table& table, quint32 uiColumn, const SnmpEntity& e,
                            SnmpValue* pValue) const
{
    SnmpValue& v = *pValue;
    if (table.eId == PhysicalTable) {
        switch (uiColumn) {
        case 2:
            v = SnmpValue::text(e.strDescr);
            break;
        case 3:
            v = SnmpValue::objectId({0, 0});
            break; // no registered vendor type
        case 4:
            v = SnmpValue::integer(e.uiContainedIn);
            break;
        case 5:
            v = SnmpValue::integer(e.iClass);
            break;
        case 6:
            v = SnmpValue::integer(e.iParentRelPos);
            break;
        case 7:
            v = SnmpValue::text(e.strName);
            break;
        case 9:
            v = SnmpValue::text(e.strFirmware);
            break;
        case 11:
            v = SnmpValue::text(e.strSerial);
            break;
        case 13:
            v = SnmpValue::text(e.strModel);
            break;
        case 14:
            v = SnmpValue::text(e.strAlias);
            break;
        case 16:
            v = SnmpValue::integer(e.bFru ? kTrue : kFalse);
            break;
        case 17:
            v = SnmpValue::octets(QByteArray(8, '\0'));
            break; // manufacturing date unknown
        default:
            v = SnmpValue::text(QString());
            break; // revisions, maker, asset, URIs, UUID: unknown
        }
        return true;
    }
    if (table.eId == SensorTable) {
        switch (uiColumn) {
        case 1:
            v = SnmpValue::integer(e.iSensorType);
            break;
        case 2:
            v = SnmpValue::integer(kScaleUnits);
            break;
        case 3:
            v = SnmpValue::integer(e.iPrecision);
            break;
        case 4:
            v = SnmpValue::integer(e.iValue);
            break;
        case 5:
            v = SnmpValue::integer(e.iSensorStatus);
            break;
        case 6:
            v = SnmpValue::text(e.strUnits);
            break;
        case 7:
            v = SnmpValue::timeTicks(e.uiValueTicks);
            break;
        default:
            v = SnmpValue::unsignedValue(kUpdateRateMs);
            break;
        }
        return true;
    }
    switch (uiColumn) {
    case 1:
        v = SnmpValue::octets(e.baLastChanged);
        break;
    case 3:
        v = SnmpValue::integer(e.iOper);
        break;
    case 5:
        v = SnmpValue::octets(QByteArray(1, char(e.uiAlarm)));
        break;
    default:
        v = SnmpValue::integer(kUnknownState);
        break;
    }
    return true;
}

bool CSnmpSnapshot::get(const Oid& oid, SnmpValue* pValue) const
{
    for (const Table& table : tables()) {
        if (!oidStartsWith(oid, table.prefix))
            continue;
        if (table.eId == LastChangeTime) {
            if (oid.size() != table.prefix.size() + 1 || oid.last() != 0)
                return false;
            *pValue = SnmpValue::timeTicks(uiLastChangeTicks);
            return true;
        }
        if (oid.size() != table.prefix.size() + 2 || !table.columns.contains(oid.at(table.prefix.size())))
            return false;
        const QVector<int>& vecRows = rowsOf(table);
        const quint32 uiIndex = oid.last();
        const auto it =
            std::lower_bound(vecRows.cbegin(), vecRows.cend(), uiIndex,
                             [this](int i, quint32 ui) { return vecEntities.at(i).uiIndex < ui; });
        if (it == vecRows.cend() || vecEntities.at(*it).uiIndex != uiIndex)
            return false;
        return valueOf(table, oid.at(table.prefix.size()), vecEntities.at(*it), pValue);
    }
    return false;
}

bool CSnmpSnapshot::firstAfter(const Table& table, const Oid& oid, Oid* pNext, SnmpValue* pValue) const
{
    const Oid& prefix = table.prefix;
    if (table.eId == LastChangeTime) {
        const Oid instance = prefix + std::initializer_list<quint32>{0};
        if (!(oid < instance))
            return false;
        *pNext = instance;
        *pValue = SnmpValue::timeTicks(uiLastChangeTicks);
        return true;
    }
    // Below the entry every instance follows; past its subtree none does.
    Oid rest;
    if (oidStartsWith(oid, prefix))
        rest = oid.mid(prefix.size());
    else if (prefix < oid)
        return false;
    const QVector<int>& vecRows = rowsOf(table);
    for (quint32 uiColumn : table.columns) {
        if (!rest.isEmpty() && uiColumn < rest.first())
            continue;
        auto it = vecRows.cbegin();
        // Within the column asked for, the rows after the index asked for: an instance equal to it, or
        // that it extends, lies before it.
        if (!rest.isEmpty() && uiColumn == rest.first() && rest.size() > 1)
            it = std::upper_bound(vecRows.cbegin(), vecRows.cend(), rest.at(1),
                                  [this](quint32 ui, int i) { return ui < vecEntities.at(i).uiIndex; });
        for (; it != vecRows.cend(); ++it) {
            const SnmpEntity& entity = vecEntities.at(*it);
            if (valueOf(table, uiColumn, entity, pValue)) {
                *pNext = prefix + std::initializer_list<quint32>{uiColumn, entity.uiIndex};
                return true;
            }
        }
    }
    return false;
}

bool CSnmpSnapshot::getNext(const Oid& oid, Oid* pNext, SnmpValue* pValue) const
{
    for (const Table& table : tables())
        if (firstAfter(table, oid, pNext, pValue))
            return true;
    return false;
}

quint32 CSnmpSnapshot::stampFor(quint32 uiTicks, quint32 uiAgentNow) const
{
    if (uiTicks == 0)
        return 0;
    const auto msSince =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - tpBuilt);
    const qint64 iNow = qint64(uiBuiltTicks) + msSince.count() / 10;
    return quint32(qBound<qint64>(0, qint64(uiTicks) - iNow + qint64(uiAgentNow), uiAgentNow));
}
