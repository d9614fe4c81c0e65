#pragma once

#include <QByteArray>
#include <QObject>
#include <QVector>

#include <array>
#include <optional>

class QTimer;

// Amperes as they travel: whole amperes, then a byte of tenths. Thresholds are kept in this form so
// that what a console wrote is reported back exactly as written.
struct SimAmps
{
    quint16 whole = 0;
    quint8 tenths = 0;
    static SimAmps fromValue(double dValue);
    double value() const { return whole + tenths / 10.0; }
};

// Ways in which a device can be told to spoil its replies.
enum class SimMalform
{
    None,
    Check,
    Length,
    Unknown,
    Type,
    Truncated,
    Oversize
};

// One frame as it reached a device.
struct SimFrameRecord
{
    qint64 msecsSinceEpoch = 0;
    quint32 srcIp = 0;
    quint16 srcPort = 0;
    quint32 dstIp = 0; // the device's address, or the broadcast address the frame was sent to
    quint16 dstPort = 0;
    QByteArray baFrame;
};

// What a device holds and reports. Addresses are 32-bit numbers with the first octet in the top byte;
// text fields are kept at their wire size.
struct SimPduState
{
    quint32 ip = 0;
    quint32 subNetMask = 0xFFFF0000;
    quint32 gateway = 0;
    QByteArray mac = QByteArray(6, '\0');
    quint16 udpPort = 51230;
    QByteArray name = QByteArray(16, '\0');
    QByteArray position = QByteArray(16, '\0');
    QByteArray productType = QByteArray(16, '\0');
    QByteArray firmwareVer = QByteArray(8, '\0');

    quint8 outletStatus = 0;
    std::array<double, 8> load{}; // amperes drawn by each outlet while it is on

    SimAmps currentWarn{13, 0};
    SimAmps currentOverload{16, 0};
    quint16 voltageWarn = 250;
    quint16 voltageOverload = 265;
    quint8 temperatureLowLimit = 5;
    quint8 temperatureHighLimit = 45;
    quint8 humidityWarn = 80;

    std::array<quint8, 8> outletOpenDelay{};
    std::array<quint8, 8> outletCloseDelay{};
    std::array<QByteArray, 8> outletName;
};

// One simulated PDU: its state, its readings, how it answers and what it has received. It knows
// nothing of sockets; the fleet routes frames to it and sends what it answers.
class CSimDevice : public QObject
{
    Q_OBJECT
public:
    CSimDevice(int iIndex, quint32 uiIp, quint16 uiPort, quint32 uiSeed, QObject* parent);

    int index() const { return m_iIndex; }
    SimPduState st;

    // Readings as they are reported now (an override, else the simulated value).
    quint16 voltage() const;
    double current() const;
    quint8 temperature() const;
    quint8 humidity() const;
    SimAmps currentAmps() const { return SimAmps::fromValue(current()); }

    // Pin a reading to a value, or (nullopt) let it follow the simulation again.
    void setVoltage(std::optional<double> value)
    {
        m_optVoltage = value;
        m_vecVoltageSteps.clear();
    }
    // The voltage steps through these values, one per status reply sent (a reading that hovers
    // around a limit); empty: as before.
    void setVoltageSteps(const QVector<double>& vecSteps)
    {
        m_vecVoltageSteps = vecSteps;
        m_iVoltageStep = 0;
    }
    void setCurrent(std::optional<double> value) { m_optCurrent = value; }
    void setTemperature(std::optional<double> value) { m_optTemperature = value; }
    void setHumidity(std::optional<double> value) { m_optHumidity = value; }

    // A reading that alternates between two values, each held for a number of status queries: a value
    // hovering about a limit. Setting or clearing the reading ends it.
    struct Alternation
    {
        QString strReading; // voltage, current, temperature or humidity
        double dFirst = 0.0;
        double dSecond = 0.0;
        int iPolls = 1;
    };
    std::optional<Alternation> alternation;
    static bool isReading(const QString& strName);
    // Pins the named reading; false for a name that is no reading.
    bool setReading(const QString& strReading, std::optional<double> value);
    // Counts a status query and moves an alternating reading on, before the reply is made.
    void countStatusQuery();
    quint64 statusQueries() const { return m_uiStatusQueries; }

    // Advances the simulated readings by one second.
    void tick(bool bNoise);

    // The correct reply to a query for cmd (empty for commands a device does not answer).
    QByteArray replyFrame(quint8 cmd) const;
    // The reply as this device currently sends it, spoiled when told to.
    QByteArray outgoingFrame(quint8 cmd) const;

    // Applies a set frame's payload (already checked). Returns false for commands it does not take.
    // dDelayUnit: seconds per unit of outlet delay.
    bool applySet(quint8 cmd, const QByteArray& baPayload, double dDelayUnit);
    // Switches the outlets in mask on (bOn) or off after each outlet's delay.
    void switchOutlets(bool bOn, quint8 mask, double dDelayUnit);
    bool isSwitchPending(int iOutlet) const;

    // Behaviour.
    // An address reported in network replies instead of the one the device answers from (a stale
    // configured address, or a device behind address translation); a network settings frame ends it.
    std::optional<quint32> optReportedIp;
    qint64 silentUntil = 0; // msecs since epoch; a device is silent while now < silentUntil
    int lateMs = 0;
    double dropShare = 0.0;
    int burst = 1;
    SimMalform malform = SimMalform::None;
    quint8 malformCmd = 0; // 0: every reply
    bool isSilent(qint64 msecsNow) const { return msecsNow < silentUntil; }

    // The frames received, oldest first; at most recordLimit are kept.
    void record(const SimFrameRecord& rec);
    QVector<SimFrameRecord> received() const;
    void clearReceived();
    void setRecordLimit(int iLimit);

signals:
    // The address or the port changed through a network settings frame.
    void signalNetworkChanged(CSimDevice* pDevice, quint32 uiOldIp, quint16 uiOldPort);
    void signalOutletChanged(int iIndex, int iOutlet, bool bOn);

private:
    void applyOutlet(int iOutlet, bool bOn);

    int m_iIndex;
    quint64 m_uiRng;
    double random(); // uniform in [0, 1), from the device's own seed

    double m_dVoltageBase;
    double m_dVoltage;
    double m_dTemperatureBase;
    double m_dTemperature;
    double m_dHumidityBase;
    double m_dHumidity;
    double m_dLoadFactor = 1.0;
    std::optional<double> m_optVoltage;
    QVector<double> m_vecVoltageSteps;
    mutable int m_iVoltageStep = 0;
    std::optional<double> m_optCurrent;
    std::optional<double> m_optTemperature;
    std::optional<double> m_optHumidity;
    std::array<QTimer*, 8> m_arrSwitchTimers{};
    std::array<bool, 8> m_arrSwitchTarget{};

    quint64 m_uiStatusQueries = 0;
    QVector<SimFrameRecord> m_vecRecord;
    int m_iRecordHead = 0; // index of the oldest entry once the ring is full
    int m_iRecordLimit = 512;
};
