#pragma once

#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimPort.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVector>

class QTimer;

// How a fleet is made up. Unset values come from the test bed's environment.
struct CSimConfig
{
    int iDevices = -1;        // -1: RACKMIND_BED_DEVICE_COUNT
    QString strAddrsFile;     // empty: RACKMIND_BED_DEVICE_ADDRS_FILE (devices first, then spares)
    QList<quint32> listAddrs; // used instead of the file when not empty
    quint16 uiPort = 51230;
    double dDelayUnit = 1.0; // seconds per unit of outlet delay
    bool bNoise = true;
    quint32 uiSeed = 1;
    int iRecordLimit = 512; // frames kept per device
};

// N simulated PDUs behind one event loop. Each device answers from its own address and port; a
// broadcast query is answered by every device on that port whose address lies on the interface the
// query came in by, as on a real network segment.
class CSimFleet : public QObject
{
    Q_OBJECT
public:
    explicit CSimFleet(QObject* parent = nullptr);

    bool setup(const CSimConfig& config, QString* pError);

    int deviceCount() const { return m_vecDevices.size(); }
    // 1-based, as an operator counts them; nullptr when out of range.
    CSimDevice* device(int iIndex) const;
    CSimDevice* deviceByAddress(quint32 uiIp) const;
    const QVector<CSimDevice*>& devices() const { return m_vecDevices; }
    // Addresses in the namespace that no device uses yet.
    QList<quint32> spareAddresses() const;

    double delayUnit() const { return m_dDelayUnit; }
    void setDelayUnit(double dSeconds) { m_dDelayUnit = qMax(0.0, dSeconds); }
    bool noise() const { return m_bNoise; }
    void setNoise(bool bNoise);
    void setRecordLimit(int iLimit);

    // Moves a device to another address and/or port, as a network settings frame would.
    void readdress(CSimDevice* pDevice, quint32 uiIp, quint16 uiPort);
    // Ports with an open socket, in ascending order.
    QList<quint16> ports() const;

    struct Stats
    {
        quint64 datagrams = 0; // received
        quint64 ignored = 0;   // malformed or not for any device
        quint64 queries = 0;
        quint64 setsApplied = 0;
        quint64 replies = 0; // handed to the kernel
        quint64 sendFailures = 0;
    };
    Stats stats() const;

    // Emit signalFrameReceived for every recorded frame (costly with large fleets; off by default).
    void setRecordSignal(bool bOn) { m_bRecordSignal = bOn; }
    QString lastError() const { return m_strError; }

signals:
    void signalFrameReceived(int iIndex, const SimFrameRecord& rec);
    void signalOutletChanged(int iIndex, int iOutlet, bool bOn);

private:
    void onDatagram(CSimPort* pPort, const CSimPort::Datagram& dg);
    void answer(CSimPort* pPort, CSimDevice* pDevice, quint8 cmd, quint32 uiDstIp, quint16 uiDstPort,
                QVector<CSimPort::Outgoing>& vecBatch);
    void sendLate(CSimDevice* pDevice, const QByteArray& baFrame, quint32 uiDstIp, quint16 uiDstPort);
    void slotNetworkChanged(CSimDevice* pDevice, quint32 uiOldIp, quint16 uiOldPort);
    void reindex();
    CSimPort* ensurePort(quint16 uiPort);
    void refreshInterfaces();
    int interfaceOf(quint32 uiIp);
    double random();

    QVector<CSimDevice*> m_vecDevices;
    QList<quint32> m_listAddrs; // every address offered to the fleet: devices, then spares
    QHash<quint16, CSimPort*> m_hashPorts;
    QHash<quint16, QVector<CSimDevice*>> m_hashPortDevices;
    QHash<quint64, CSimDevice*> m_hashUnicast; // (address << 16 | port) -> device
    QHash<quint32, int> m_hashLocalIf;         // local address -> interface index
    QTimer* m_pTickTimer = nullptr;
    double m_dDelayUnit = 1.0;
    bool m_bNoise = true;
    bool m_bRecordSignal = false;
    int m_iRecordLimit = 512;
    quint64 m_uiRng = 0x853C49E6748FEA9Bull;
    Stats m_stats;
    QString m_strError;
};
