#include "snmp/SnmpNotifications.h"

#include "snmp/SnmpSnapshot.h"

namespace {

const Oid kPhysicalName = {1, 3, 6, 1, 2, 1, 47, 1, 1, 1, 1, 7};
const Oid kSensorValue = {1, 3, 6, 1, 2, 1, 99, 1, 1, 1, 4};
const Oid kStateAdmin = {1, 3, 6, 1, 2, 1, 131, 1, 1, 1, 2};
const Oid kStateAlarm = {1, 3, 6, 1, 2, 1, 131, 1, 1, 1, 5};
// mteHotTrigger, mteHotTargetName, mteHotContextName, mteHotOID, mteHotValue.
const Oid kHot = {1, 3, 6, 1, 2, 1, 88, 2, 1};
constexpr int kAdminUnknown = 1;

} // namespace

namespace SnmpNotifications {

SnmpNotification configChange()
{
    return {{1, 3, 6, 1, 2, 1, 47, 2, 0, 1}, {}};
}

SnmpNotification operChanged(const SnmpEntity& chassis)
{
    const bool bEnabled = chassis.iOper == SnmpEntity::OperEnabled;
    SnmpNotification n;
    n.trapOid = {1, 3, 6, 1, 2, 1, 131, 0, quint32(bEnabled ? 1 : 2)};
    n.vecObjects = {
        {kStateAdmin + std::initializer_list<quint32>{chassis.uiIndex}, SnmpValue::integer(kAdminUnknown)},
        {kStateAlarm + std::initializer_list<quint32>{chassis.uiIndex},
         SnmpValue::octets(QByteArray(1, char(chassis.uiAlarm)))},
        {kPhysicalName + std::initializer_list<quint32>{chassis.uiIndex}, SnmpValue::text(chassis.strName)}};
    return n;
}

SnmpNotification alarm(bool bRising, const QString& strTrigger, const SnmpEntity& sensor,
                       const QString& strPduName)
{
    SnmpNotification n;
    n.trapOid = {1, 3, 6, 1, 2, 1, 88, 2, 0, quint32(bRising ? 2 : 3)};
    const Oid valueOid = kSensorValue + std::initializer_list<quint32>{sensor.uiIndex};
    n.vecObjects = {
        {kHot + std::initializer_list<quint32>{1, 0}, SnmpValue::text(strTrigger)},
        {kHot + std::initializer_list<quint32>{2, 0}, SnmpValue::text(QString())},
        {kHot + std::initializer_list<quint32>{3, 0}, SnmpValue::text(QString())},
        {kHot + std::initializer_list<quint32>{4, 0}, SnmpValue::objectId(valueOid)},
        {kHot + std::initializer_list<quint32>{5, 0}, SnmpValue::integer(sensor.iValue)},
        {kPhysicalName + std::initializer_list<quint32>{sensor.uiContainedIn}, SnmpValue::text(strPduName)},
        {kStateAlarm + std::initializer_list<quint32>{sensor.uiIndex},
         SnmpValue::octets(QByteArray(1, char(sensor.uiAlarm)))}};
    return n;
}

SnmpNotification groupAlarm(bool bRising, const QString& strTrigger, const QString& strGroup,
                            qint32 iLoadTenths)
{
    SnmpNotification n;
    n.trapOid = {1, 3, 6, 1, 2, 1, 88, 2, 0, quint32(bRising ? 2 : 3)};
    n.vecObjects = {{kHot + std::initializer_list<quint32>{1, 0}, SnmpValue::text(strTrigger)},
                    {kHot + std::initializer_list<quint32>{2, 0}, SnmpValue::text(strGroup)},
                    {kHot + std::initializer_list<quint32>{3, 0}, SnmpValue::text(QString())},
                    {kHot + std::initializer_list<quint32>{4, 0}, SnmpValue::objectId({0, 0})},
                    {kHot + std::initializer_list<quint32>{5, 0}, SnmpValue::integer(iLoadTenths)}};
    return n;
}

} // namespace SnmpNotifications
