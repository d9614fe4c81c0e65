#pragma once

#include "snmp/SnmpAgent.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class CAlarmTracker;
class CRackmind;
class CSnmpModel;

// The room published over SNMP, as a program switches it on and off: the model fed from the registry and
// the alarm tracker, and the agent loaded from its module when first wanted. Tells of every change of the
// agent's standing in one line.
class CSnmpPublisher : public QObject
{
    Q_OBJECT
public:
    explicit CSnmpPublisher(const QString& strIndexFile, QObject* parent = nullptr);
    ~CSnmpPublisher() override;

    void setSources(CRackmind* pRegistry, CAlarmTracker* pTracker);
    // Serves through the master agent at strSocket (empty: the library's default) when bEnabled. The SNMP
    // library starts once a process: a changed socket, or on again after off, waits for a restart (and says
    // so).
    void apply(bool bEnabled, const QString& strSocket);
    SnmpAgentStatus status() const { return m_status; }
    CSnmpModel* model() const { return m_pModel; }

signals:
    void signalStatus(const SnmpAgentStatus& status);

private:
    void slotWatch();
    void setStatus(const SnmpAgentStatus& status);

    CSnmpModel* m_pModel;
    std::unique_ptr<CSnmpAgent> m_pAgent;
    QPointer<CAlarmTracker> m_pTracker;
    QString m_strSocket;
    bool m_bStarted = false;
    bool m_bRunning = false;
    QTimer m_timerWatch;
    SnmpAgentStatus m_status;
};
