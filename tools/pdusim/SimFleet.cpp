#include "tools/pdusim/SimFleet.h"

#include "tools/pdusim/SimFrame.h"
#include "tools/pdusim/SimRandom.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QTimer>

namespace {

quint64 unicastKey(quint32 uiIp, quint16 uiPort)
{
    return (quint64(uiIp) << 16) | uiPort;
}

bool readAddresses(const QString& strFile, QList<quint32>& listOut, QString* pError)
{
    QFile file(strFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *pError = QStringLiteral("cannot read the address list %1: %2").arg(strFile, file.errorString());
        return false;
    }
    while (!file.atEnd()) {
        const QString strLine = QString::fromLatin1(file.readLine()).trimmed();
        if (strLine.isEmpty() || strLine.startsWith(QLatin1Char('#')))
            continue;
        QHostAddress addr;
        if (!addr.setAddress(strLine) || addr.protocol() != QAbstractSocket::IPv4Protocol) {
            *pError = QStringLiteral("%1: not an IPv4 address: %2").arg(strFile, strLine);
            return false;
        }
        listOut.append(addr.toIPv4Address());
    }
    return true;
}

} // namespace

CSimFleet::CSimFleet(QObject* parent) : QObject(parent) {}

bool CSimFleet::setup(const CSimConfig& config, QString* pError)
{
    QString strError;
    const auto fail = [&](const QString& str) {
        m_strError = str;
        if (pError)
            *pError = str;
        return false;
    };
    m_listAddrs = config.listAddrs;
    if (m_listAddrs.isEmpty()) {
        QString strFile = config.strAddrsFile;
        if (strFile.isEmpty())
            strFile = qEnvironmentVariable("RACKMIND_BED_DEVICE_ADDRS_FILE");
        if (strFile.isEmpty())
            return fail(
                QStringLiteral("no device addresses: run inside scripts/netbed or give an address file"));
        if (!readAddresses(strFile, m_listAddrs, &strError))
            return fail(strError);
    }
    int iCount = config.iDevices;
    if (iCount < 0) {
        bool bOk = false;
        iCount = qEnvironmentVariableIntValue("RACKMIND_BED_DEVICE_COUNT", &bOk);
        if (!bOk)
            iCount = m_listAddrs.size();
    }
    if (iCount > m_listAddrs.size())
        return fail(QStringLiteral("%1 devices asked for, but only %2 addresses given")
                        .arg(iCount)
                        .arg(m_listAddrs.size()));

    m_dDelayUnit = qMax(0.0, config.dDelayUnit);
    m_bNoise = config.bNoise;
    m_iRecordLimit = config.iRecordLimit;
    for (int i = 0; i < iCount; ++i) {
        auto* pDevice = new CSimDevice(i + 1, m_listAddrs[i], config.uiPort, config.uiSeed, this);
        pDevice->setRecordLimit(m_iRecordLimit);
        pDevice->tick(m_bNoise);
        connect(pDevice, &CSimDevice::signalNetworkChanged, this, &CSimFleet::slotNetworkChanged);
        connect(pDevice, &CSimDevice::signalOutletChanged, this, &CSimFleet::signalOutletChanged);
        m_vecDevices.append(pDevice);
    }
    refreshInterfaces();
    reindex();
    if (!m_strError.isEmpty())
        return fail(m_strError);
    for (CSimDevice* pDevice : qAsConst(m_vecDevices))
        if (interfaceOf(pDevice->st.ip) < 0)
            return fail(QStringLiteral("device %1: %2 is not an address of this network namespace")
                            .arg(pDevice->index())
                            .arg(QHostAddress(pDevice->st.ip).toString()));

    m_pTickTimer = new QTimer(this);
    connect(m_pTickTimer, &QTimer::timeout, this, [this]() {
        for (CSimDevice* pDevice : qAsConst(m_vecDevices))
            pDevice->tick(m_bNoise);
    });
    m_pTickTimer->start(1000);
    return true;
}

CSimDevice* CSimFleet::device(int iIndex) const
{
    return iIndex >= 1 && iIndex <= m_vecDevices.size() ? m_vecDevices[iIndex - 1] : nullptr;
}

CSimDevice* CSimFleet::deviceByAddress(quint32 uiIp) const
{
    for (CSimDevice* pDevice : m_vecDevices)
        if (pDevice->st.ip == uiIp)
            return pDevice;
    return nullptr;
}

QList<quint32> CSimFleet::spareAddresses() const
{
    QSet<quint32> setUsed;
    for (CSimDevice* pDevice : m_vecDevices)
        setUsed.insert(pDevice->st.ip);
    QList<quint32> list;
    for (quint32 uiIp : m_listAddrs)
        if (!setUsed.contains(uiIp))
            list.append(uiIp);
    return list;
}

void CSimFleet::setNoise(bool bNoise)
{
    m_bNoise = bNoise;
    for (CSimDevice* pDevice : qAsConst(m_vecDevices))
        pDevice->tick(m_bNoise);
}

void CSimFleet::setRecordLimit(int iLimit)
{
    m_iRecordLimit = iLimit;
    for (CSimDevice* pDevice : qAsConst(m_vecDevices))
        pDevice->setRecordLimit(iLimit);
}

void CSimFleet::readdress(CSimDevice* pDevice, quint32 uiIp, quint16 uiPort)
{
    const quint32 uiOldIp = pDevice->st.ip;
    const quint16 uiOldPort = pDevice->st.udpPort;
    pDevice->st.ip = uiIp;
    if (uiPort != 0)
        pDevice->st.udpPort = uiPort;
    if (pDevice->st.ip != uiOldIp || pDevice->st.udpPort != uiOldPort)
        slotNetworkChanged(pDevice, uiOldIp, uiOldPort);
}

QList<quint16> CSimFleet::ports() const
{
    QList<quint16> list = m_hashPorts.keys();
    std::sort(list.begin(), list.end());
    return list;
}

CSimFleet::Stats CSimFleet::stats() const
{
    Stats s = m_stats;
    for (const CSimPort* pPort : m_hashPorts) {
        s.replies += pPort->sentCount();
        s.sendFailures += pPort->failedCount();
    }
    return s;
}

void CSimFleet::slotNetworkChanged(CSimDevice* pDevice, quint32, quint16)
{
    reindex();
    if (interfaceOf(pDevice->st.ip) < 0)
        qWarning("pdusim: device %d moved to %s, which is not an address of this namespace: it cannot answer",
                 pDevice->index(), qPrintable(QHostAddress(pDevice->st.ip).toString()));
}

void CSimFleet::reindex()
{
    m_hashPortDevices.clear();
    m_hashUnicast.clear();
    for (CSimDevice* pDevice : qAsConst(m_vecDevices)) {
        m_hashPortDevices[pDevice->st.udpPort].append(pDevice);
        m_hashUnicast.insert(unicastKey(pDevice->st.ip, pDevice->st.udpPort), pDevice);
    }
    for (auto it = m_hashPortDevices.cbegin(); it != m_hashPortDevices.cend(); ++it)
        ensurePort(it.key());
    // A port nobody listens on any more is closed, as the device that moved away no longer hears it.
    for (auto it = m_hashPorts.begin(); it != m_hashPorts.end();) {
        if (m_hashPortDevices.contains(it.key())) {
            ++it;
            continue;
        }
        m_stats.replies += it.value()->sentCount();
        m_stats.sendFailures += it.value()->failedCount();
        it.value()->deleteLater();
        it = m_hashPorts.erase(it);
    }
}

CSimPort* CSimFleet::ensurePort(quint16 uiPort)
{
    if (CSimPort* pPort = m_hashPorts.value(uiPort))
        return pPort;
    auto* pPort = new CSimPort(uiPort, this);
    QString strError;
    if (!pPort->open(&strError)) {
        m_strError = strError;
        qWarning("pdusim: %s", qPrintable(strError));
        delete pPort;
        return nullptr;
    }
    pPort->onDatagram = [this, pPort](const CSimPort::Datagram& dg) { onDatagram(pPort, dg); };
    m_hashPorts.insert(uiPort, pPort);
    return pPort;
}

void CSimFleet::refreshInterfaces()
{
    m_hashLocalIf.clear();
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& entry : iface.addressEntries())
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                m_hashLocalIf.insert(entry.ip().toIPv4Address(), iface.index());
}

int CSimFleet::interfaceOf(quint32 uiIp)
{
    auto it = m_hashLocalIf.constFind(uiIp);
    if (it != m_hashLocalIf.constEnd())
        return it.value();
    // The address may have been added since we last looked (a spare put in place by a test).
    refreshInterfaces();
    return m_hashLocalIf.value(uiIp, -1);
}

double CSimFleet::random()
{
    return simRandom(m_uiRng);
}

void CSimFleet::onDatagram(CSimPort* pPort, const CSimPort::Datagram& dg)
{
    ++m_stats.datagrams;
    const quint16 uiPort = pPort->port();
    const bool bUnicast = m_hashLocalIf.contains(dg.dstIp);
    QVector<CSimDevice*> vecTargets;
    if (bUnicast) {
        if (CSimDevice* pDevice = m_hashUnicast.value(unicastKey(dg.dstIp, uiPort)))
            vecTargets.append(pDevice);
    } else {
        for (CSimDevice* pDevice : m_hashPortDevices.value(uiPort))
            if (m_hashLocalIf.value(pDevice->st.ip, -1) == dg.iIfIndex)
                vecTargets.append(pDevice);
    }
    if (vecTargets.isEmpty()) {
        ++m_stats.ignored;
        return;
    }

    SimFrameRecord rec;
    rec.msecsSinceEpoch = QDateTime::currentMSecsSinceEpoch();
    rec.srcIp = dg.srcIp;
    rec.srcPort = dg.srcPort;
    rec.dstIp = dg.dstIp;
    rec.dstPort = uiPort;
    rec.baFrame = dg.baData;
    for (CSimDevice* pDevice : qAsConst(vecTargets)) {
        pDevice->record(rec);
        if (m_bRecordSignal)
            emit signalFrameReceived(pDevice->index(), rec);
    }

    const SimFrame::Incoming in = SimFrame::parse(dg.baData);
    if (!in.bValid) {
        ++m_stats.ignored;
        return;
    }
    if (in.type == SimFrame::TypeQuery && in.baPayload.isEmpty()) {
        ++m_stats.queries;
        if (SimFrame::replySize(in.cmd) < 0)
            return;
        QVector<CSimPort::Outgoing> vecBatch;
        vecBatch.reserve(vecTargets.size());
        for (CSimDevice* pDevice : qAsConst(vecTargets))
            answer(pPort, pDevice, in.cmd, dg.srcIp, dg.srcPort, vecBatch);
        pPort->send(vecBatch);
    } else if (in.type == SimFrame::TypeSet && bUnicast) {
        if (vecTargets.first()->applySet(in.cmd, in.baPayload, m_dDelayUnit))
            ++m_stats.setsApplied;
        else
            ++m_stats.ignored;
    } else {
        ++m_stats.ignored;
    }
}

void CSimFleet::answer(CSimPort*, CSimDevice* pDevice, quint8 cmd, quint32 uiDstIp, quint16 uiDstPort,
                       QVector<CSimPort::Outgoing>& vecBatch)
{
    if (pDevice->isSilent(QDateTime::currentMSecsSinceEpoch()))
        return;
    if (pDevice->dropShare > 0.0 && random() < pDevice->dropShare)
        return;
    if (cmd == SimFrame::CmdStatus)
        pDevice->countStatusQuery();
    const QByteArray baFrame = pDevice->outgoingFrame(cmd);
    const int iCopies = qMax(1, pDevice->burst);
    if (pDevice->lateMs > 0) {
        QTimer::singleShot(pDevice->lateMs, pDevice, [=]() {
            for (int i = 0; i < iCopies; ++i)
                sendLate(pDevice, baFrame, uiDstIp, uiDstPort);
        });
        return;
    }
    for (int i = 0; i < iCopies; ++i)
        vecBatch.append(CSimPort::Outgoing{baFrame, pDevice->st.ip, uiDstIp, uiDstPort});
}

void CSimFleet::sendLate(CSimDevice* pDevice, const QByteArray& baFrame, quint32 uiDstIp, quint16 uiDstPort)
{
    if (CSimPort* pPort = m_hashPorts.value(pDevice->st.udpPort))
        pPort->send({CSimPort::Outgoing{baFrame, pDevice->st.ip, uiDstIp, uiDstPort}});
}
