#pragma once

#include "snmp/SnmpAgent.h"

#include <QString>

struct SnmpEntity;

// The notifications the room sends, each from standard definitions, so that a management system routes
// them without a MIB of ours: entConfigChange (ENTITY-MIB) when PDUs come or go, entStateOperEnabled and
// entStateOperDisabled (ENTITY-STATE-MIB) when a PDU comes online or goes offline, and for each alarm's
// begin and end mteTriggerRising and mteTriggerFalling (DISMAN-EVENT-MIB) naming the sensor's value (or,
// for a group's budget, the group).
namespace SnmpNotifications {

SnmpNotification configChange();
// The chassis with its state as published; strName its entPhysicalName.
SnmpNotification operChanged(const SnmpEntity& chassis);
// An alarm on a sensor began (bRising) or ended: what the alarm is ("current overload"), the sensor,
// and the PDU's name.
SnmpNotification alarm(bool bRising, const QString& strTrigger, const SnmpEntity& sensor,
                       const QString& strPduName);
// A group's alarm began or ended: what it is ("over budget"), the group (as the target's name) and its
// load in tenths of an ampere; a group is no entity, so no object is named.
SnmpNotification groupAlarm(bool bRising, const QString& strTrigger, const QString& strGroup,
                            qint32 iLoadTenths);

} // namespace SnmpNotifications
