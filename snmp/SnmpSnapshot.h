#pragma once

#include "snmp/SnmpValue.h"

#include <QByteArray>
#include <QVector>

#include <chrono>

// One row of the physical entity table with what the sensor and state tables say of it.
struct SnmpEntity
{
    // IANAPhysicalClass (RFC 6933).
    enum Class
    {
        ClassChassis = 3,
        ClassSensor = 8,
        ClassEnergyObject = 13
    };
    // EntitySensorDataType, EntitySensorStatus (RFC 3433).
    enum SensorType
    {
        SensorVoltsAC = 3,
        SensorAmperes = 5,
        SensorCelsius = 8,
        SensorPercentRH = 9,
        SensorTruthValue = 12
    };
    enum SensorStatus
    {
        SensorOk = 1,
        SensorUnavailable = 2
    };
    // EntityOperState and the EntityAlarmStatus bits (RFC 4268); bit n is the octet's bit 7 - n.
    enum OperState
    {
        OperUnknown = 1,
        OperDisabled = 2,
        OperEnabled = 3
    };
    enum AlarmBit
    {
        AlarmUnknown = 0x80,
        AlarmCritical = 0x20,
        AlarmWarning = 0x04
    };

    quint32 uiIndex = 0;
    int iClass = ClassChassis;
    quint32 uiContainedIn = 0;
    int iParentRelPos = -1;
    QString strDescr;
    QString strName;
    QString strFirmware;
    QString strSerial;
    QString strModel;
    QString strAlias;
    bool bFru = false;

    bool bSensor = false;
    int iSensorType = 0;
    int iPrecision = 0;
    qint32 iValue = 0;
    int iSensorStatus = SensorUnavailable;
    QString strUnits;
    quint32 uiValueTicks = 0; // when the value was read, on the agent's clock

    bool bState = false;
    int iOper = OperUnknown;
    quint8 uiAlarm = 0;
    QByteArray baLastChanged; // DateAndTime of the last change of oper or alarm; zeros when unknown
};

// What the agent answers from: the room's entities at one moment, sorted by index. Never changed once
// published, so the agent's thread reads it without a lock while the room builds the next.
class CSnmpSnapshot
{
public:
    // The subtrees the tables and scalars lie in, in OID order (what an agent registers).
    static QVector<Oid> subtrees();

    // The value of one instance; false when there is none (noSuchObject or noSuchInstance).
    bool get(const Oid& oid, SnmpValue* pValue) const;
    // The first instance after oid in OID order, within the subtrees above; false at their end.
    bool getNext(const Oid& oid, Oid* pNext, SnmpValue* pValue) const;

    // The entity of that index, or null.
    const SnmpEntity* entity(quint32 uiIndex) const;

    // Sorts the entities by index and lists the rows of each table; called once they are all added.
    void finish();

    // A TimeStamp of this snapshot's clock on the clock of an agent whose sysUpTime is uiAgentNow now (a
    // master agent started apart from the room has its own): 0 (never) stays 0, and a moment before the
    // agent's start is 0, as RFC 2579 wants.
    quint32 stampFor(quint32 uiTicks, quint32 uiAgentNow) const;

    QVector<SnmpEntity> vecEntities; // by index once finished
    quint32 uiLastChangeTicks = 0;   // entLastChangeTime
    // When it was built, on its own clock (TimeStamp ticks) and on the steady clock the whole process
    // shares (the agent's module has a Clock of its own).
    quint32 uiBuiltTicks = 0;
    std::chrono::steady_clock::time_point tpBuilt = std::chrono::steady_clock::now();

private:
    struct Table;
    static const QVector<Table>& tables();
    // Positions in vecEntities of the rows a table has, by index.
    const QVector<int>& rowsOf(const Table& table) const;
    bool valueOf(const Table& table, quint32 uiColumn, const SnmpEntity& entity, SnmpValue* pValue) const;
    bool firstAfter(const Table& table, const Oid& oid, Oid* pNext, SnmpValue* pValue) const;

    QVector<int> m_vecAll;
    QVector<int> m_vecSensors;
    QVector<int> m_vecStates;
};
