#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

#include <memory>

class CRoom;
class CSnmpPublisher;

// The room published through Debian's snmpd as a management system reads it: snmpd on a loopback port
// of the bed with its AgentX socket in a folder of its own, the room's agent module as its subagent, and
// snmpbulkwalk over every table of the room.
class CSnmpWalkRig
{
public:
    CSnmpWalkRig();
    ~CSnmpWalkRig();
    // Starts snmpd and publishes the room through it; waits until the agent serves.
    bool start(CRoom* pRoom, QString* pError);
    // Walks the ENTITY, ENTITY-SENSOR and ENTITY-STATE tables, one after the other, in the background.
    void startWalk();
    bool walking() const;
    // No more snapshots of the room, nor notifications.
    void stopPublishing();
    // Rows the finished walk printed; -1 when it failed.
    qint64 walkedRows();
    // The CPU the room's thread spends building the room's snapshot, each of iTimes, in ms.
    QVector<double> snapshotMs(int iTimes);

private:
    QTemporaryDir m_dir;
    QProcess m_snmpd;
    QProcess m_walk;
    std::unique_ptr<CSnmpPublisher> m_pPublisher;
};
