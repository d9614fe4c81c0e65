#include "tools/pdusim/SimControl.h"

#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimFleet.h"
#include "tools/pdusim/SimFrame.h"

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {

const QString kOk = QStringLiteral("ok");

QStringList failure(const QString& strWhy)
{
    return {QStringLiteral("error: ") + strWhy};
}

bool parseIp(const QString& str, quint32* pIp)
{
    QHostAddress addr;
    if (!addr.setAddress(str) || addr.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    *pIp = addr.toIPv4Address();
    return true;
}

QString ipText(quint32 uiIp)
{
    return QHostAddress(uiIp).toString();
}

bool parseDouble(const QString& str, double* pValue)
{
    bool bOk = false;
    *pValue = str.toDouble(&bOk);
    return bOk && std::isfinite(*pValue);
}

// Decimal, or hexadecimal with 0x.
bool parseUInt(const QString& str, uint uiMax, uint* pValue)
{
    bool bOk = false;
    const uint v = str.toUInt(&bOk, 0);
    if (!bOk || v > uiMax)
        return false;
    *pValue = v;
    return true;
}

QByteArray textField(const QString& str, int n)
{
    QByteArray ba;
    SimFrame::putText(ba, str.toUtf8(), n);
    return ba;
}

QString fieldText(const QByteArray& ba)
{
    const int iNul = ba.indexOf('\0');
    return QString::fromUtf8(iNul < 0 ? ba : ba.left(iNul));
}

QString ampsText(const SimAmps& amps)
{
    return QStringLiteral("%1.%2").arg(amps.whole).arg(amps.tenths);
}

bool parseMalform(const QString& str, SimMalform* pKind)
{
    static const QHash<QString, SimMalform> hash = {
        {QStringLiteral("off"), SimMalform::None},
        {QStringLiteral("check"), SimMalform::Check},
        {QStringLiteral("length"), SimMalform::Length},
        {QStringLiteral("unknown"), SimMalform::Unknown},
        {QStringLiteral("type"), SimMalform::Type},
        {QStringLiteral("truncated"), SimMalform::Truncated},
        {QStringLiteral("oversize"), SimMalform::Oversize},
    };
    auto it = hash.constFind(str);
    if (it == hash.constEnd())
        return false;
    *pKind = it.value();
    return true;
}

QString outletBits(quint8 status)
{
    QString str;
    for (int i = 0; i < 8; ++i)
        str += (status & (1u << i)) ? QLatin1Char('1') : QLatin1Char('0');
    return str;
}

} // namespace

CSimControl::CSimControl(CSimFleet* pFleet, QObject* parent) : QObject(parent), m_pFleet(pFleet) {}

QString CSimControl::helpText()
{
    return QStringLiteral(
        "DEV is a device number (1 = first), a range 2-5, a list 1,3,7, an IPv4 address or \"all\".\n"
        "  list                          one line per device\n"
        "  show DEV                      every field of a device\n"
        "  set DEV KEY VALUE...          KEY: ip mask gateway mac port name position product firmware\n"
        "                                voltage current temperature humidity (pins the reading)\n"
        "                                outlets MASK | outlet N on|off | load N AMPS\n"
        "                                currentWarn currentOverload voltageWarn voltageOverload\n"
        "                                tempLow tempHigh humidityWarn | openDelay N V | closeDelay N V\n"
        "                                outletName N TEXT | reportip IP|off (reported, not answered from)\n"
        "  clear DEV voltage|current|temperature|humidity   the reading follows the simulation again\n"
        "  alternate DEV READING A B N   the reading is A for N status queries, then B for N, and so on\n"
        "  hover DEV VOLTS VOLTS...      the voltage steps through the values, one per status reply\n"
        "  silent DEV [SECONDS]          stop answering (for SECONDS, else until resume)\n"
        "  resume DEV                    answer again\n"
        "  late DEV MS                   answer MS milliseconds late (0: at once)\n"
        "  deafoff DEV N|all             ignore the next N switch-off frames (all: every one; 0: none)\n"
        "  slowoff DEV SECONDS           carry out an off SECONDS later than the delay it reports\n"
        "  drop DEV SHARE                leave a share (0..1) of queries unanswered\n"
        "  malform DEV KIND [CMD]        spoil replies (to CMD only): off check length unknown type\n"
        "                                truncated oversize\n"
        "  burst DEV COUNT               answer every query COUNT times\n"
        "  readdress DEV IP [PORT]       move a device, as a network settings frame would\n"
        "  delayunit SECONDS             seconds per unit of outlet delay (0: switch at once)\n"
        "  noise on|off                  readings wander, or hold still\n"
        "  record DEV [clear]            frames received: msecs source -> destination hex\n"
        "  spares                        addresses free for readdress\n"
        "  stats                         datagrams, queries, sets applied, replies sent\n"
        "  at SECONDS COMMAND...         run a command later\n"
        "  quit");
}

QString CSimControl::demoRackText()
{
    Q_INIT_RESOURCE(pdusim);
    QFile file(QStringLiteral(":/pdusim/demo-rack.txt"));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

QStringList CSimControl::execute(const QString& strLine)
{
    const QString strTrimmed = strLine.trimmed();
    if (strTrimmed.isEmpty() || strTrimmed.startsWith(QLatin1Char('#')))
        return {kOk};
    return run(QProcess::splitCommand(strTrimmed));
}

bool CSimControl::runScenario(const QString& strFile, QString* pError)
{
    QFile file(strFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (pError)
            *pError = QStringLiteral("cannot read %1: %2").arg(strFile, file.errorString());
        return false;
    }
    return runScenarioText(QString::fromUtf8(file.readAll()), strFile, pError);
}

bool CSimControl::runScenarioText(const QString& strText, const QString& strName, QString* pError)
{
    const QStringList listLines = strText.split(QLatin1Char('\n'));
    for (int i = 0; i < listLines.size(); ++i) {
        const QStringList listOut = execute(listLines[i]);
        if (listOut.last().startsWith(QLatin1String("error"))) {
            if (pError)
                *pError = QStringLiteral("%1:%2: %3").arg(strName).arg(i + 1).arg(listOut.last());
            return false;
        }
    }
    return true;
}

QVector<CSimDevice*> CSimControl::select(const QString& strWhich, QString* pError) const
{
    QVector<CSimDevice*> vec;
    if (strWhich == QLatin1String("all"))
        return m_pFleet->devices();
    quint32 uiIp = 0;
    if (strWhich.count(QLatin1Char('.')) == 3 && parseIp(strWhich, &uiIp)) {
        if (CSimDevice* pDevice = m_pFleet->deviceByAddress(uiIp))
            return {pDevice};
        *pError = QStringLiteral("no device at %1").arg(strWhich);
        return {};
    }
    for (const QString& strPart : strWhich.split(QLatin1Char(','))) {
        const QStringList listRange = strPart.split(QLatin1Char('-'));
        bool bOk1 = false, bOk2 = true;
        const int iFirst = listRange.value(0).toInt(&bOk1);
        const int iLast = listRange.size() == 2 ? listRange[1].toInt(&bOk2) : iFirst;
        if (!bOk1 || !bOk2 || listRange.size() > 2 || iFirst < 1 || iLast < iFirst ||
            iLast > m_pFleet->deviceCount()) {
            *pError =
                QStringLiteral("no such device: %1 (there are %2)").arg(strPart).arg(m_pFleet->deviceCount());
            return {};
        }
        for (int i = iFirst; i <= iLast; ++i)
            vec.append(m_pFleet->device(i));
    }
    return vec;
}

QStringList CSimControl::run(const QStringList& listArgs)
{
    const QString strCmd = listArgs.value(0);
    const int argc = listArgs.size();
    if (strCmd == QLatin1String("help"))
        return helpText().split(QLatin1Char('\n')) << kOk;
    if (strCmd == QLatin1String("quit")) {
        emit signalQuit();
        return {kOk};
    }
    if (strCmd == QLatin1String("stats")) {
        const CSimFleet::Stats s = m_pFleet->stats();
        return {QStringLiteral("datagrams=%1 ignored=%2 queries=%3 sets=%4 replies=%5 failed=%6")
                    .arg(s.datagrams)
                    .arg(s.ignored)
                    .arg(s.queries)
                    .arg(s.setsApplied)
                    .arg(s.replies)
                    .arg(s.sendFailures),
                kOk};
    }
    if (strCmd == QLatin1String("spares")) {
        QStringList listOut;
        for (quint32 uiIp : m_pFleet->spareAddresses())
            listOut << ipText(uiIp);
        return listOut << kOk;
    }
    if (strCmd == QLatin1String("delayunit")) {
        double d = 0;
        if (argc != 2 || !parseDouble(listArgs[1], &d) || d < 0)
            return failure(QStringLiteral("usage: delayunit SECONDS"));
        m_pFleet->setDelayUnit(d);
        return {kOk};
    }
    if (strCmd == QLatin1String("noise")) {
        if (argc != 2 || (listArgs[1] != QLatin1String("on") && listArgs[1] != QLatin1String("off")))
            return failure(QStringLiteral("usage: noise on|off"));
        m_pFleet->setNoise(listArgs[1] == QLatin1String("on"));
        return {kOk};
    }
    if (strCmd == QLatin1String("list")) {
        QStringList listOut;
        for (CSimDevice* pDevice : m_pFleet->devices())
            listOut << summary(pDevice);
        return listOut << kOk;
    }
    if (strCmd == QLatin1String("at")) {
        double dSeconds = 0;
        if (argc < 3 || !parseDouble(listArgs[1], &dSeconds) || dSeconds < 0)
            return failure(QStringLiteral("usage: at SECONDS COMMAND..."));
        const QStringList listLater = listArgs.mid(2);
        QTimer::singleShot(int(dSeconds * 1000), this, [this, listLater]() {
            const QStringList listOut = run(listLater);
            if (listOut.last() != kOk)
                qWarning("pdusim: at: %s", qPrintable(listOut.last()));
        });
        return {kOk};
    }

    static const QStringList listPerDevice = {
        QStringLiteral("show"),      QStringLiteral("set"),     QStringLiteral("clear"),
        QStringLiteral("silent"),    QStringLiteral("resume"),  QStringLiteral("late"),
        QStringLiteral("hover"),     QStringLiteral("drop"),    QStringLiteral("malform"),
        QStringLiteral("burst"),     QStringLiteral("record"),  QStringLiteral("readdress"),
        QStringLiteral("alternate"), QStringLiteral("deafoff"), QStringLiteral("slowoff")};
    if (!listPerDevice.contains(strCmd))
        return failure(QStringLiteral("unknown command \"%1\" (try help)").arg(strCmd));
    if (argc < 2)
        return failure(QStringLiteral("%1: which device?").arg(strCmd));
    QString strError;
    const QVector<CSimDevice*> vecDevices = select(listArgs[1], &strError);
    if (vecDevices.isEmpty())
        return failure(strError.isEmpty() ? QStringLiteral("no devices") : strError);

    QStringList listOut;
    if (strCmd == QLatin1String("show")) {
        for (CSimDevice* pDevice : vecDevices)
            listOut << describe(pDevice);
    } else if (strCmd == QLatin1String("record")) {
        const bool bClear = listArgs.value(2) == QLatin1String("clear");
        for (CSimDevice* pDevice : vecDevices) {
            if (bClear) {
                pDevice->clearReceived();
                continue;
            }
            for (const SimFrameRecord& rec : pDevice->received())
                listOut << QStringLiteral("%1 %2 %3:%4 -> %5:%6 %7")
                               .arg(pDevice->index())
                               .arg(rec.msecsSinceEpoch)
                               .arg(ipText(rec.srcIp))
                               .arg(rec.srcPort)
                               .arg(ipText(rec.dstIp))
                               .arg(rec.dstPort)
                               .arg(QString::fromLatin1(SimFrame::toHex(rec.baFrame)));
        }
    } else if (strCmd == QLatin1String("set")) {
        if (argc < 4)
            return failure(QStringLiteral("usage: set DEV KEY VALUE... (see help)"));
        for (CSimDevice* pDevice : vecDevices) {
            for (int iPos = 2; iPos < argc;) {
                strError = setField(pDevice, listArgs, iPos);
                if (!strError.isEmpty())
                    return failure(strError);
            }
        }
    } else if (strCmd == QLatin1String("clear")) {
        for (CSimDevice* pDevice : vecDevices) {
            if (!pDevice->setReading(listArgs.value(2), std::nullopt))
                return failure(QStringLiteral("usage: clear DEV voltage|current|temperature|humidity"));
            pDevice->alternation.reset();
        }
    } else if (strCmd == QLatin1String("alternate")) {
        CSimDevice::Alternation alt;
        alt.strReading = listArgs.value(2);
        uint uiPolls = 0;
        if (argc != 6 || !CSimDevice::isReading(alt.strReading) || !parseDouble(listArgs[3], &alt.dFirst) ||
            !parseDouble(listArgs[4], &alt.dSecond) || alt.dFirst < 0 || alt.dSecond < 0 ||
            !parseUInt(listArgs[5], 3600, &uiPolls) || uiPolls == 0)
            return failure(QStringLiteral("usage: alternate DEV voltage|current|temperature|humidity A B N"));
        alt.iPolls = int(uiPolls);
        for (CSimDevice* pDevice : vecDevices)
            pDevice->alternation = alt;
    } else if (strCmd == QLatin1String("hover")) {
        QVector<double> vecSteps;
        for (int iPos = 2; iPos < argc; ++iPos) {
            double d = 0;
            if (!parseDouble(listArgs[iPos], &d) || d < 0)
                return failure(QStringLiteral("usage: hover DEV VOLTS VOLTS..."));
            vecSteps << d;
        }
        if (vecSteps.size() < 2)
            return failure(QStringLiteral("usage: hover DEV VOLTS VOLTS..."));
        for (CSimDevice* pDevice : vecDevices)
            pDevice->setVoltageSteps(vecSteps);
    } else if (strCmd == QLatin1String("silent")) {
        double dSeconds = -1;
        if (argc > 3 || (argc == 3 && (!parseDouble(listArgs[2], &dSeconds) || dSeconds < 0)))
            return failure(QStringLiteral("usage: silent DEV [SECONDS]"));
        const qint64 until = dSeconds < 0 ? std::numeric_limits<qint64>::max()
                                          : QDateTime::currentMSecsSinceEpoch() + qint64(dSeconds * 1000);
        for (CSimDevice* pDevice : vecDevices)
            pDevice->silentUntil = until;
    } else if (strCmd == QLatin1String("resume")) {
        for (CSimDevice* pDevice : vecDevices)
            pDevice->silentUntil = 0;
    } else if (strCmd == QLatin1String("late") || strCmd == QLatin1String("burst")) {
        uint v = 0;
        if (argc != 3 || !parseUInt(listArgs[2], 3600000, &v))
            return failure(QStringLiteral("usage: %1 DEV %2")
                               .arg(strCmd, strCmd == QLatin1String("late") ? QStringLiteral("MS")
                                                                            : QStringLiteral("COUNT")));
        for (CSimDevice* pDevice : vecDevices) {
            if (strCmd == QLatin1String("late"))
                pDevice->lateMs = int(v);
            else
                pDevice->burst = qBound(1, int(v), 1000);
        }
    } else if (strCmd == QLatin1String("deafoff") || strCmd == QLatin1String("slowoff")) {
        const bool bAll =
            strCmd == QLatin1String("deafoff") && argc == 3 && listArgs[2] == QLatin1String("all");
        uint v = 0;
        if (argc != 3 || (!bAll && !parseUInt(listArgs[2], 3600, &v)))
            return failure(QStringLiteral("usage: deafoff DEV N|all, slowoff DEV SECONDS"));
        for (CSimDevice* pDevice : vecDevices)
            (strCmd == QLatin1String("deafoff") ? pDevice->deafOff : pDevice->slowOffSecs) =
                bAll ? -1 : int(v);
    } else if (strCmd == QLatin1String("drop")) {
        double d = 0;
        if (argc != 3 || !parseDouble(listArgs[2], &d) || d < 0 || d > 1)
            return failure(QStringLiteral("usage: drop DEV SHARE (0..1)"));
        for (CSimDevice* pDevice : vecDevices)
            pDevice->dropShare = d;
    } else if (strCmd == QLatin1String("malform")) {
        SimMalform kind = SimMalform::None;
        uint uiCmd = 0;
        if (argc < 3 || argc > 4 || !parseMalform(listArgs[2], &kind) ||
            (argc == 4 && !parseUInt(listArgs[3], 255, &uiCmd)))
            return failure(
                QStringLiteral("usage: malform DEV off|check|length|unknown|type|truncated|oversize [CMD]"));
        for (CSimDevice* pDevice : vecDevices) {
            pDevice->malform = kind;
            pDevice->malformCmd = quint8(uiCmd);
        }
    } else if (strCmd == QLatin1String("readdress")) {
        quint32 uiIp = 0;
        uint uiPort = 0;
        if (argc < 3 || argc > 4 || vecDevices.size() != 1 || !parseIp(listArgs[2], &uiIp) ||
            (argc == 4 && (!parseUInt(listArgs[3], 65535, &uiPort) || uiPort == 0)))
            return failure(QStringLiteral("usage: readdress DEV IP [PORT] (one device)"));
        m_pFleet->readdress(vecDevices.first(), uiIp, quint16(uiPort));
    }
    return listOut << kOk;
}

QString CSimControl::setField(CSimDevice* pDevice, const QStringList& listAll, int& iPos)
{
    // Settings that address one of the eight outlets take two values: KEY N VALUE.
    static const QStringList listPerOutlet = {QStringLiteral("outlet"), QStringLiteral("load"),
                                              QStringLiteral("openDelay"), QStringLiteral("closeDelay"),
                                              QStringLiteral("outletName")};
    const QString strKey = listAll.value(iPos);
    const int iCount = listPerOutlet.contains(strKey) ? 3 : 2;
    const QStringList listArgs = listAll.mid(iPos, iCount);
    iPos += iCount;
    const QString strValue = listArgs.value(1);
    SimPduState& st = pDevice->st;
    double d = 0;
    uint v = 0;
    quint32 uiIp = 0;
    const auto needs = [&](int n) { return listArgs.size() == n; };
    const QString strUsage =
        QStringLiteral("bad value for %1: %2").arg(strKey, listArgs.mid(1).join(QLatin1Char(' ')));

    if (iCount == 3) {
        uint uiOutlet = 0;
        if (!needs(3) || !parseUInt(strValue, 8, &uiOutlet) || uiOutlet < 1)
            return QStringLiteral("usage: set DEV %1 OUTLET(1-8) VALUE").arg(strKey);
        const int i = int(uiOutlet) - 1;
        const QString strArg = listArgs[2];
        if (strKey == QLatin1String("outlet")) {
            if (strArg != QLatin1String("on") && strArg != QLatin1String("off"))
                return strUsage;
            const quint8 bit = quint8(1u << i);
            st.outletStatus = strArg == QLatin1String("on") ? quint8(st.outletStatus | bit)
                                                            : quint8(st.outletStatus & ~bit);
        } else if (strKey == QLatin1String("load")) {
            if (!parseDouble(strArg, &d) || d < 0)
                return strUsage;
            st.load[i] = d;
        } else if (strKey == QLatin1String("outletName")) {
            st.outletName[i] = textField(strArg, 10);
        } else {
            if (!parseUInt(strArg, 255, &v))
                return strUsage;
            (strKey == QLatin1String("openDelay") ? st.outletOpenDelay : st.outletCloseDelay)[i] = quint8(v);
        }
        return QString();
    }

    if (!needs(2))
        return QStringLiteral("usage: set DEV KEY VALUE (see help)");
    if (strKey == QLatin1String("ip") || strKey == QLatin1String("port")) {
        if (strKey == QLatin1String("ip") && parseIp(strValue, &uiIp))
            m_pFleet->readdress(pDevice, uiIp, 0);
        else if (strKey == QLatin1String("port") && parseUInt(strValue, 65535, &v) && v > 0)
            m_pFleet->readdress(pDevice, st.ip, quint16(v));
        else
            return strUsage;
    } else if (strKey == QLatin1String("reportip")) {
        if (strValue == QLatin1String("off"))
            pDevice->optReportedIp.reset();
        else if (parseIp(strValue, &uiIp))
            pDevice->optReportedIp = uiIp;
        else
            return strUsage;
    } else if (strKey == QLatin1String("mask") || strKey == QLatin1String("gateway")) {
        if (!parseIp(strValue, &uiIp))
            return strUsage;
        (strKey == QLatin1String("mask") ? st.subNetMask : st.gateway) = uiIp;
    } else if (strKey == QLatin1String("mac")) {
        const QByteArray baMac = QByteArray::fromHex(strValue.toLatin1());
        if (baMac.size() != 6)
            return strUsage;
        st.mac = baMac;
    } else if (strKey == QLatin1String("name")) {
        st.name = textField(strValue, 16);
    } else if (strKey == QLatin1String("position")) {
        st.position = textField(strValue, 16);
    } else if (strKey == QLatin1String("product")) {
        st.productType = textField(strValue, 16);
    } else if (strKey == QLatin1String("firmware")) {
        st.firmwareVer = textField(strValue, 8);
    } else if (strKey == QLatin1String("outlets")) {
        if (!parseUInt(strValue, 255, &v))
            return strUsage;
        st.outletStatus = quint8(v);
    } else if (strKey == QLatin1String("voltage") || strKey == QLatin1String("current") ||
               strKey == QLatin1String("temperature") || strKey == QLatin1String("humidity")) {
        if (!parseDouble(strValue, &d) || d < 0)
            return strUsage;
        pDevice->setReading(strKey, d);
        pDevice->alternation.reset();
    } else if (strKey == QLatin1String("currentWarn") || strKey == QLatin1String("currentOverload")) {
        if (!parseDouble(strValue, &d) || d < 0 || d > 65535)
            return strUsage;
        (strKey == QLatin1String("currentWarn") ? st.currentWarn : st.currentOverload) =
            SimAmps::fromValue(d);
    } else if (strKey == QLatin1String("voltageWarn") || strKey == QLatin1String("voltageOverload")) {
        if (!parseUInt(strValue, 65535, &v))
            return strUsage;
        (strKey == QLatin1String("voltageWarn") ? st.voltageWarn : st.voltageOverload) = quint16(v);
    } else if (strKey == QLatin1String("tempLow") || strKey == QLatin1String("tempHigh") ||
               strKey == QLatin1String("humidityWarn")) {
        if (!parseUInt(strValue, 255, &v))
            return strUsage;
        if (strKey == QLatin1String("tempLow"))
            st.temperatureLowLimit = quint8(v);
        else if (strKey == QLatin1String("tempHigh"))
            st.temperatureHighLimit = quint8(v);
        else
            st.humidityWarn = quint8(v);
    } else {
        return QStringLiteral("unknown field \"%1\" (see help)").arg(strKey);
    }
    return QString();
}

QString CSimControl::summary(CSimDevice* pDevice) const
{
    const SimPduState& st = pDevice->st;
    QString str = QStringLiteral("%1 %2:%3 \"%4\" \"%5\" %6V %7A %8C %9% outlets=%10")
                      .arg(pDevice->index())
                      .arg(ipText(st.ip))
                      .arg(st.udpPort)
                      .arg(fieldText(st.name), fieldText(st.position))
                      .arg(pDevice->voltage())
                      .arg(ampsText(pDevice->currentAmps()))
                      .arg(pDevice->temperature())
                      .arg(pDevice->humidity())
                      .arg(outletBits(st.outletStatus));
    if (pDevice->isSilent(QDateTime::currentMSecsSinceEpoch()))
        str += QStringLiteral(" silent");
    if (pDevice->lateMs > 0)
        str += QStringLiteral(" late=%1ms").arg(pDevice->lateMs);
    if (pDevice->dropShare > 0)
        str += QStringLiteral(" drop=%1").arg(pDevice->dropShare);
    if (pDevice->burst > 1)
        str += QStringLiteral(" burst=%1").arg(pDevice->burst);
    if (pDevice->malform != SimMalform::None)
        str += QStringLiteral(" malformed");
    return str;
}

QStringList CSimControl::describe(CSimDevice* pDevice) const
{
    const SimPduState& st = pDevice->st;
    QStringList list;
    const QString strPrefix = QString::number(pDevice->index()) + QLatin1Char(' ');
    list << QStringLiteral("ip=") + ipText(st.ip) << QStringLiteral("mask=") + ipText(st.subNetMask)
         << QStringLiteral("gateway=") + ipText(st.gateway)
         << QStringLiteral("mac=") + QString::fromLatin1(st.mac.toHex(':').toUpper())
         << QStringLiteral("port=%1").arg(st.udpPort) << QStringLiteral("name=") + fieldText(st.name)
         << QStringLiteral("position=") + fieldText(st.position)
         << QStringLiteral("product=") + fieldText(st.productType)
         << QStringLiteral("firmware=") + fieldText(st.firmwareVer)
         << QStringLiteral("voltage=%1").arg(pDevice->voltage())
         << QStringLiteral("current=") + ampsText(pDevice->currentAmps())
         << QStringLiteral("temperature=%1").arg(pDevice->temperature())
         << QStringLiteral("humidity=%1").arg(pDevice->humidity())
         << QStringLiteral("outlets=") + outletBits(st.outletStatus)
         << QStringLiteral("currentWarn=") + ampsText(st.currentWarn)
         << QStringLiteral("currentOverload=") + ampsText(st.currentOverload)
         << QStringLiteral("voltageWarn=%1").arg(st.voltageWarn)
         << QStringLiteral("voltageOverload=%1").arg(st.voltageOverload)
         << QStringLiteral("tempLow=%1").arg(st.temperatureLowLimit)
         << QStringLiteral("tempHigh=%1").arg(st.temperatureHighLimit)
         << QStringLiteral("humidityWarn=%1").arg(st.humidityWarn);
    QStringList listLoads, listOpen, listClose, listNames;
    for (int i = 0; i < 8; ++i) {
        listLoads << QString::number(st.load[i]);
        listOpen << QString::number(st.outletOpenDelay[i]);
        listClose << QString::number(st.outletCloseDelay[i]);
        listNames << fieldText(st.outletName[i]);
    }
    list << QStringLiteral("load=") + listLoads.join(QLatin1Char(','))
         << QStringLiteral("openDelay=") + listOpen.join(QLatin1Char(','))
         << QStringLiteral("closeDelay=") + listClose.join(QLatin1Char(','))
         << QStringLiteral("outletName=") + listNames.join(QLatin1Char(','));
    for (QString& str : list)
        str.prepend(strPrefix);
    return list;
}
