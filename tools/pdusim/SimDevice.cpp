#include "tools/pdusim/SimDevice.h"

#include "tools/pdusim/SimFrame.h"
#include "tools/pdusim/SimRandom.h"

#include <QTimer>

#include <cmath>

namespace {

const char* const kProductTypes[] = {"RPDU-8S-16A", "RPDU-8S-32A", "RPDU-8M-16A", "RPDU-8M-32A"};

QByteArray field(const QByteArray& baText, int n)
{
    QByteArray ba;
    SimFrame::putText(ba, baText, n);
    return ba;
}

quint8 clampByte(double dValue)
{
    return quint8(qBound(0.0, std::round(dValue), 255.0));
}

} // namespace

SimAmps SimAmps::fromValue(double dValue)
{
    const qint64 tenthsTotal = qBound<qint64>(0, std::llround(dValue * 10.0), 65535 * 10 + 9);
    return SimAmps{quint16(tenthsTotal / 10), quint8(tenthsTotal % 10)};
}

CSimDevice::CSimDevice(int iIndex, quint32 uiIp, quint16 uiPort, quint32 uiSeed, QObject* parent)
    : QObject(parent), m_iIndex(iIndex),
      m_uiRng(0x9E3779B97F4A7C15ull * (quint64(uiSeed) * 1000003u + quint64(iIndex) + 1))
{
    st.ip = uiIp;
    st.subNetMask = 0xFFFF0000;
    st.gateway = (uiIp & st.subNetMask) | 0xFE;
    st.mac = QByteArray::fromHex("025044000000");
    st.mac[3] = char(iIndex >> 16);
    st.mac[4] = char(iIndex >> 8);
    st.mac[5] = char(iIndex);
    st.udpPort = uiPort;
    st.name = field(QStringLiteral("PDU-%1").arg(iIndex, 3, 10, QLatin1Char('0')).toLatin1(), 16);
    st.position = field(QStringLiteral("Row %1 Rack %2")
                            .arg(QChar(u'A' + (iIndex - 1) / 20 % 26))
                            .arg((iIndex - 1) % 20 + 1)
                            .toLatin1(),
                        16);
    st.productType = field(kProductTypes[int(random() * 4)], 16);
    st.firmwareVer =
        field(QStringLiteral("V2.%1.%2").arg(int(random() * 4)).arg(int(random() * 10)).toLatin1(), 8);
    for (int i = 0; i < 8; ++i) {
        st.load[i] = std::round((0.1 + random() * 1.3) * 10.0) / 10.0;
        if (random() < 0.75)
            st.outletStatus |= quint8(1u << i);
        st.outletOpenDelay[i] = quint8(i);
        st.outletCloseDelay[i] = 0;
        st.outletName[i] = field("Outlet " + QByteArray::number(i + 1), 10);
    }
    m_dVoltageBase = 224.0 + random() * 12.0;
    m_dTemperatureBase = 21.0 + random() * 8.0;
    m_dHumidityBase = 35.0 + random() * 20.0;
    m_dVoltage = m_dVoltageBase;
    m_dTemperature = m_dTemperatureBase;
    m_dHumidity = m_dHumidityBase;
}

double CSimDevice::random()
{
    return simRandom(m_uiRng);
}

quint16 CSimDevice::voltage() const
{
    const double dVoltage = m_vecVoltageSteps.isEmpty()
                                ? m_optVoltage.value_or(m_dVoltage)
                                : m_vecVoltageSteps.at(m_iVoltageStep % m_vecVoltageSteps.size());
    return quint16(qBound(0.0, std::round(dVoltage), 65535.0));
}

double CSimDevice::current() const
{
    if (m_optCurrent)
        return *m_optCurrent;
    double dSum = 0.0;
    for (int i = 0; i < 8; ++i)
        if (st.outletStatus & (1u << i))
            dSum += st.load[i];
    return dSum * m_dLoadFactor;
}

quint8 CSimDevice::temperature() const
{
    return clampByte(m_optTemperature.value_or(m_dTemperature));
}

quint8 CSimDevice::humidity() const
{
    return clampByte(m_optHumidity.value_or(m_dHumidity));
}

bool CSimDevice::isReading(const QString& strName)
{
    static const QStringList listReadings = {QStringLiteral("voltage"), QStringLiteral("current"),
                                             QStringLiteral("temperature"), QStringLiteral("humidity")};
    return listReadings.contains(strName);
}

bool CSimDevice::setReading(const QString& strReading, std::optional<double> value)
{
    if (strReading == QLatin1String("voltage"))
        setVoltage(value);
    else if (strReading == QLatin1String("current"))
        setCurrent(value);
    else if (strReading == QLatin1String("temperature"))
        setTemperature(value);
    else if (strReading == QLatin1String("humidity"))
        setHumidity(value);
    else
        return false;
    return true;
}

void CSimDevice::countStatusQuery()
{
    if (alternation) {
        const bool bSecond = (m_uiStatusQueries / quint64(alternation->iPolls)) % 2 == 1;
        setReading(alternation->strReading, bSecond ? alternation->dSecond : alternation->dFirst);
    }
    ++m_uiStatusQueries;
}

void CSimDevice::tick(bool bNoise)
{
    if (!bNoise) {
        m_dVoltage = m_dVoltageBase;
        m_dTemperature = m_dTemperatureBase;
        m_dHumidity = m_dHumidityBase;
        m_dLoadFactor = 1.0;
        return;
    }
    // Mains wobbles around its level; the room drifts slowly back towards its own climate.
    m_dVoltage = qBound(220.0, m_dVoltageBase + (random() - 0.5) * 3.0, 240.0);
    m_dTemperature += (m_dTemperatureBase - m_dTemperature) * 0.02 + (random() - 0.5) * 0.3;
    m_dHumidity += (m_dHumidityBase - m_dHumidity) * 0.02 + (random() - 0.5) * 0.5;
    m_dLoadFactor = 1.0 + (random() - 0.5) * 0.04;
}

QByteArray CSimDevice::replyFrame(quint8 cmd) const
{
    QByteArray ba;
    switch (cmd) {
    case SimFrame::CmdNetwork:
        SimFrame::putIPv4(ba, optReportedIp.value_or(st.ip));
        SimFrame::putIPv4(ba, st.subNetMask);
        SimFrame::putIPv4(ba, st.gateway);
        ba.append(st.mac);
        SimFrame::putU16(ba, st.udpPort);
        ba.append(st.name);
        ba.append(st.position);
        break;
    case SimFrame::CmdInfo:
        ba.append(st.productType);
        ba.append(st.firmwareVer);
        break;
    case SimFrame::CmdStatus: {
        const SimAmps amps = currentAmps();
        SimFrame::putU16(ba, voltage());
        ++m_iVoltageStep;
        SimFrame::putU16(ba, amps.whole);
        ba.append(char(amps.tenths));
        ba.append(char(temperature()));
        ba.append(char(humidity()));
        ba.append(char(st.outletStatus));
        break;
    }
    case SimFrame::CmdThresholds:
        SimFrame::putU16(ba, st.currentWarn.whole);
        ba.append(char(st.currentWarn.tenths));
        SimFrame::putU16(ba, st.currentOverload.whole);
        ba.append(char(st.currentOverload.tenths));
        SimFrame::putU16(ba, st.voltageWarn);
        SimFrame::putU16(ba, st.voltageOverload);
        ba.append(char(st.temperatureLowLimit));
        ba.append(char(st.temperatureHighLimit));
        ba.append(char(st.humidityWarn));
        break;
    case SimFrame::CmdDelays:
        for (quint8 d : st.outletOpenDelay)
            ba.append(char(d));
        for (quint8 d : st.outletCloseDelay)
            ba.append(char(d));
        break;
    case SimFrame::CmdNames:
        for (const QByteArray& baName : st.outletName)
            ba.append(baName);
        break;
    default:
        return QByteArray();
    }
    return SimFrame::build(SimFrame::TypeReply, cmd, ba);
}

QByteArray CSimDevice::outgoingFrame(quint8 cmd) const
{
    QByteArray ba = replyFrame(cmd);
    if (ba.isEmpty() || malform == SimMalform::None || (malformCmd != 0 && malformCmd != cmd))
        return ba;
    const auto reclose = [&ba]() {
        ba.chop(1);
        ba.append(char(SimFrame::byteSum(ba.constData(), ba.size())));
    };
    switch (malform) {
    case SimMalform::None:
        break;
    case SimMalform::Check:
        ba[ba.size() - 1] = char(quint8(ba[ba.size() - 1]) + 1);
        break;
    case SimMalform::Length:
        ba[3] = char(quint8(ba[3]) + 1);
        reclose();
        break;
    case SimMalform::Unknown:
        ba[2] = char(0x03);
        reclose();
        break;
    case SimMalform::Type:
        ba[1] = char(SimFrame::TypeQuery);
        reclose();
        break;
    case SimMalform::Truncated:
        ba.chop(3);
        break;
    case SimMalform::Oversize:
        ba.insert(ba.size() - 1, '\0');
        ba[3] = char(quint8(ba[3]) + 1);
        reclose();
        break;
    }
    return ba;
}

bool CSimDevice::applySet(quint8 cmd, const QByteArray& baPayload, double dDelayUnit)
{
    if (SimFrame::setSize(cmd) != baPayload.size())
        return false;
    switch (cmd) {
    case SimFrame::CmdNetwork: {
        const quint32 uiOldIp = st.ip;
        const quint16 uiOldPort = st.udpPort;
        optReportedIp.reset();
        st.ip = SimFrame::getIPv4(baPayload, 0);
        st.subNetMask = SimFrame::getIPv4(baPayload, 4);
        st.gateway = SimFrame::getIPv4(baPayload, 8);
        st.mac = baPayload.mid(12, 6);
        const quint16 uiPort = SimFrame::getU16(baPayload, 18);
        // Nothing can listen on port 0; the device keeps its port then.
        if (uiPort != 0)
            st.udpPort = uiPort;
        st.name = baPayload.mid(20, 16);
        st.position = baPayload.mid(36, 16);
        if (st.ip != uiOldIp || st.udpPort != uiOldPort)
            emit signalNetworkChanged(this, uiOldIp, uiOldPort);
        return true;
    }
    case SimFrame::CmdThresholds:
        st.currentWarn = SimAmps{SimFrame::getU16(baPayload, 0), quint8(baPayload[2])};
        st.currentOverload = SimAmps{SimFrame::getU16(baPayload, 3), quint8(baPayload[5])};
        st.voltageWarn = SimFrame::getU16(baPayload, 6);
        st.voltageOverload = SimFrame::getU16(baPayload, 8);
        st.temperatureLowLimit = quint8(baPayload[10]);
        st.temperatureHighLimit = quint8(baPayload[11]);
        st.humidityWarn = quint8(baPayload[12]);
        return true;
    case SimFrame::CmdDelays:
        for (int i = 0; i < 8; ++i) {
            st.outletOpenDelay[i] = quint8(baPayload[i]);
            st.outletCloseDelay[i] = quint8(baPayload[8 + i]);
        }
        return true;
    case SimFrame::CmdNames:
        for (int i = 0; i < 8; ++i)
            st.outletName[i] = baPayload.mid(i * 10, 10);
        return true;
    case SimFrame::CmdSwitch: {
        const quint8 action = quint8(baPayload[0]);
        if (action != 1 && action != 2)
            return false;
        switchOutlets(action == 1, quint8(baPayload[1]), dDelayUnit);
        return true;
    }
    default:
        return false;
    }
}

void CSimDevice::switchOutlets(bool bOn, quint8 mask, double dDelayUnit)
{
    for (int i = 0; i < 8; ++i) {
        if (!(mask & (1u << i)))
            continue;
        const int iDelayMs =
            int(std::lround((bOn ? st.outletOpenDelay[i] : st.outletCloseDelay[i]) * dDelayUnit * 1000.0));
        // A newer command for the same outlet replaces one still waiting.
        if (m_arrSwitchTimers[i])
            m_arrSwitchTimers[i]->stop();
        if (iDelayMs <= 0) {
            applyOutlet(i, bOn);
            continue;
        }
        if (!m_arrSwitchTimers[i]) {
            m_arrSwitchTimers[i] = new QTimer(this);
            m_arrSwitchTimers[i]->setSingleShot(true);
            m_arrSwitchTimers[i]->setTimerType(Qt::PreciseTimer);
            connect(m_arrSwitchTimers[i], &QTimer::timeout, this,
                    [this, i]() { applyOutlet(i, m_arrSwitchTarget[i]); });
        }
        m_arrSwitchTarget[i] = bOn;
        m_arrSwitchTimers[i]->start(iDelayMs);
    }
}

bool CSimDevice::isSwitchPending(int iOutlet) const
{
    const QTimer* pTimer = m_arrSwitchTimers[iOutlet - 1];
    return pTimer && pTimer->isActive();
}

void CSimDevice::applyOutlet(int iOutlet, bool bOn)
{
    const quint8 bit = quint8(1u << iOutlet);
    const quint8 before = st.outletStatus;
    st.outletStatus = bOn ? quint8(before | bit) : quint8(before & ~bit);
    if (st.outletStatus != before)
        emit signalOutletChanged(m_iIndex, iOutlet + 1, bOn);
}

void CSimDevice::record(const SimFrameRecord& rec)
{
    if (m_iRecordLimit <= 0)
        return;
    if (m_vecRecord.size() < m_iRecordLimit) {
        m_vecRecord.append(rec);
        return;
    }
    m_vecRecord[m_iRecordHead] = rec;
    m_iRecordHead = (m_iRecordHead + 1) % m_vecRecord.size();
}

QVector<SimFrameRecord> CSimDevice::received() const
{
    QVector<SimFrameRecord> vec;
    vec.reserve(m_vecRecord.size());
    for (int i = 0; i < m_vecRecord.size(); ++i)
        vec.append(m_vecRecord[(m_iRecordHead + i) % m_vecRecord.size()]);
    return vec;
}

void CSimDevice::clearReceived()
{
    m_vecRecord.clear();
    m_iRecordHead = 0;
}

void CSimDevice::setRecordLimit(int iLimit)
{
    const QVector<SimFrameRecord> vec = received();
    m_iRecordLimit = qMax(0, iLimit);
    m_vecRecord = vec.mid(qMax(0, vec.size() - m_iRecordLimit));
    m_iRecordHead = 0;
}
