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
    // Serves as the SNMP settings of g_settings say (switch, mode, port, keys, receivers). A changed setting
    // restarts the agent; the same ones leave it serving.
    void applySettings();
    // The agent's configuration the settings give; strStateDir holds the SNMP library's own files.
    static SnmpAgentConfig configFromSettings(const QString& strStateDir, QString* pstrWhy);
    // Ends serving (as the program stops).
    void stop();
    SnmpAgentStatus status() const { return m_status; }
    CSnmpModel* model() const { return m_pModel; }

signals:
    void signalStatus(const SnmpAgentStatus& status);

private:
    void slotWatch();
    void setStatus(SnmpAgentStatus status);
    void stopAgent();

    CSnmpModel* m_pModel;
    std::unique_ptr<CSnmpAgent> m_pAgent;
    QPointer<CAlarmTracker> m_pTracker;
    QString m_strStateDir;
    SnmpAgentConfig m_config;
    bool m_bRunning = false;
    QTimer m_timerWatch;
    SnmpAgentStatus m_status;
};
