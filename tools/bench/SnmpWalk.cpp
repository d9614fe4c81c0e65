#include "tools/bench/SnmpWalk.h"

#include "room/Room.h"
#include "settings/Settings.h"
#include "snmp/SnmpModel.h"
#include "snmp/SnmpPublisher.h"
#include "tools/bench/BenchProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace {

// The bed's own network namespace: nothing else listens there.
const char* const kAgentAddress = "127.0.0.1:16161";

} // namespace

CSnmpWalkRig::CSnmpWalkRig() = default;

CSnmpWalkRig::~CSnmpWalkRig()
{
    m_walk.kill();
    m_walk.waitForFinished();
    m_pPublisher.reset();
    m_snmpd.terminate();
    if (!m_snmpd.waitForFinished(5000))
        m_snmpd.kill();
    m_snmpd.waitForFinished();
}

bool CSnmpWalkRig::start(CRoom* pRoom, QString* pError)
{
    if (!qEnvironmentVariableIsSet("RACKMIND_SNMP_MODULE"))
        qputenv("RACKMIND_SNMP_MODULE", SNMP_MODULE);
    const QString strSocket = m_dir.filePath(QStringLiteral("agentx"));
    QFile conf(m_dir.filePath(QStringLiteral("snmpd.conf")));
    if (!conf.open(QIODevice::WriteOnly) ||
        conf.write("agentaddress udp:" + QByteArray(kAgentAddress) + "\nmaster agentx\nagentXSocket " +
                   strSocket.toUtf8() + "\nrocommunity public 127.0.0.1\n") < 0) {
        *pError = QStringLiteral("snmpd.conf: %1").arg(conf.errorString());
        return false;
    }
    conf.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), m_dir.path());
    m_snmpd.setProcessEnvironment(env);
    m_snmpd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_snmpd.setStandardOutputFile(m_dir.filePath(QStringLiteral("snmpd.log")));
    m_snmpd.start(QStringLiteral("snmpd"), {QStringLiteral("-f"), QStringLiteral("-Lo"), QStringLiteral("-C"),
                                            QStringLiteral("-c"), conf.fileName()});
    if (!m_snmpd.waitForStarted()) {
        *pError = QStringLiteral("snmpd: %1").arg(m_snmpd.errorString());
        return false;
    }
    m_pPublisher = std::make_unique<CSnmpPublisher>(m_dir.filePath(QStringLiteral("snmp-indexes")));
    m_pPublisher->setSources(pRoom->registry(), pRoom->alarmTracker());
    QElapsedTimer clock;
    clock.start();
    // snmpd makes its socket a moment after it starts; the agent keeps looking for it.
    g_settings.snmpEnabled = true;
    g_settings.snmpMode = QStringLiteral("agentx");
    g_settings.snmpAgentXSocket = strSocket;
    m_pPublisher->applySettings();
    while (m_pPublisher->status().eState != SnmpAgentStatus::Serving && clock.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        QThread::msleep(50);
    }
    if (m_pPublisher->status().eState != SnmpAgentStatus::Serving) {
        *pError = QStringLiteral("snmp: %1").arg(m_pPublisher->status().strText);
        return false;
    }
    return true;
}

void CSnmpWalkRig::startWalk()
{
    m_walk.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_walk.start(QStringLiteral("bash"),
                 {QStringLiteral("-c"),
                  QStringLiteral("set -o pipefail; for table in 1.3.6.1.2.1.47.1.1.1 1.3.6.1.2.1.99.1.1.1 "
                                 "1.3.6.1.2.1.131.1.1.1; do "
                                 "snmpbulkwalk -v2c -c public -On -Cr25 %1 $table || exit 1; done | wc -l")
                      .arg(QLatin1String(kAgentAddress))});
    m_walk.waitForStarted();
}

bool CSnmpWalkRig::walking() const
{
    return m_walk.state() != QProcess::NotRunning;
}

void CSnmpWalkRig::stopPublishing()
{
    m_pPublisher->setSources(nullptr, nullptr);
}

qint64 CSnmpWalkRig::walkedRows()
{
    m_walk.waitForFinished(-1);
    bool bOk = false;
    const qint64 iRows = m_walk.readAllStandardOutput().trimmed().toLongLong(&bOk);
    return m_walk.exitCode() == 0 && bOk ? iRows : -1;
}

QVector<double> CSnmpWalkRig::snapshotMs(int iTimes)
{
    QVector<double> vecMs;
    for (int i = 0; i < iTimes; ++i) {
        const double dCpu = bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        m_pPublisher->model()->refreshFromSources();
        vecMs << (bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - dCpu) * 1e3;
    }
    return vecMs;
}
