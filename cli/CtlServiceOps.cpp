// The operations of rackmind-ctl through a service: sent to its API, then followed in what the service
// shows until the PDUs show the new state, as the local commands wait for the PDUs themselves.
#include "cli/CtlCommands.h"
#include "cli/CtlHistory.h"
#include "cli/CtlReport.h"
#include "cli/CtlService.h"
#include "cli/CtlSets.h"
#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "common/UnixSignals.h"
#include "device/OutletCycle.h"
#include "device/OutletSets.h"
#include "power/MonthlyReport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QMap>
#include <QSet>
#include <QTimer>

namespace {

constexpr int kLookMsecs = 500;
constexpr int kMarginMsecs = 10000;

// Waits between looks at the service. SIGINT, SIGTERM and SIGHUP end the wait, and the command: what
// was sent is the service's to carry out, and it carries it on.
class CFollow
{
public:
    // strAfter: the command that shows how it goes, the service named.
    CFollow(const CtlService& service, QTextStream& err, const QString& strAfter)
        : m_err(err), m_strAfter(strAfter + QStringLiteral(" --service ") + service.url.toString())
    {
        QObject::connect(&m_signals, &CUnixSignals::signalReceived, [this](int) { m_bInterrupted = true; });
        m_clock.start();
    }
    // False, told, once interrupted.
    bool pause()
    {
        QEventLoop loop;
        QTimer::singleShot(kLookMsecs, &loop, &QEventLoop::quit);
        QObject::connect(&m_signals, &CUnixSignals::signalReceived, &loop, &QEventLoop::quit);
        if (!m_bInterrupted)
            loop.exec();
        if (m_bInterrupted)
            m_err << "rackmind-ctl: "
                  << RackmindCtl::tr(
                         "interrupted: the service carries the operation on; %1 tells how it goes")
                         .arg(m_strAfter)
                  << '\n';
        return !m_bInterrupted;
    }
    qint64 elapsed() const { return m_clock.elapsed(); }

private:
    CUnixSignals m_signals;
    QTextStream& m_err;
    QString m_strAfter;
    QElapsedTimer m_clock;
    bool m_bInterrupted = false;
};

int post(const CtlService& service, const QString& strPath, const QJsonObject& body, QTextStream& err)
{
    ServiceReply reply;
    const int iExit = serviceCall(service, strPath, QUrlQuery(), &body, &reply, err);
    if (iExit != kExitOk)
        return iExit;
    return reply.iStatus == 202 || reply.iStatus == 200 ? int(kExitOk) : serviceRefusal(service, reply, err);
}

// The state of the outlets of the PDUs by MAC digits, as the service shows them now.
int outletStates(const CtlService& service, QMap<QString, QJsonObject>* pMap, QTextStream& err)
{
    QList<CtlPdu> listOnline;
    QList<QJsonObject> listAll;
    const int iExit = fetchServicePdus(service, &listOnline, err, &listAll);
    pMap->clear();
    for (const QJsonObject& obj : qAsConst(listAll))
        if (obj.value(QStringLiteral("online")).toBool())
            pMap->insert(bareMac(obj.value(QStringLiteral("mac")).toString()), obj);
    return iExit;
}

bool isOn(const QMap<QString, QJsonObject>& map, const OutletRef& ref)
{
    return map.value(ref.strMac).value(QStringLiteral("outlets")).toArray().at(ref.iOutlet - 1).toBool();
}

int delayOf(const QJsonObject& obj, const char* pszKey, int iOutlet)
{
    return obj.value(QLatin1String(pszKey)).toArray().at(iOutlet - 1).toInt();
}

// How long a switch or cycle of these outlets may take, as the local commands bound it, and the age of
// what the service shows.
qint64 boundOf(const QMap<QString, QJsonObject>& map, const QList<OutletRef>& listRefs, bool bCycle,
               int iDelaySecs)
{
    qint64 iBound = 0;
    for (const OutletRef& ref : listRefs) {
        const QJsonObject obj = map.value(ref.strMac);
        const qint64 iClose = delayOf(obj, "closeDelays", ref.iOutlet) * 1000LL;
        const qint64 iOpen = delayOf(obj, "openDelays", ref.iOutlet) * 1000LL;
        iBound = qMax(iBound, bCycle ? (iClose + COutletCycle::kMarginMs) * COutletCycle::kOffTries +
                                           iDelaySecs * 1000LL + qMax(iOpen, iClose + COutletCycle::kMarginMs)
                                     : qMax(iOpen, iClose));
    }
    return iBound + kMarginMsecs;
}

// Follows the outlets until each shows bOn (a cycle: showed off, then on) and fnRunning (the service
// still at it) is over, it was seen at it and is over, or the bound passes. kExitOk, kExitNoConfirm with what
// did not show it, or the exit status of an interrupt or of the service.
int followOutlets(const CtlService& service, const QList<OutletRef>& listRefs, bool bOn, bool bCycle,
                  qint64 iBound, const std::function<int(bool*)>& fnRunning, CFollow& follow,
                  QStringList* pNotOff, QStringList* pNotShown, QTextStream& err)
{
    QList<bool> listOffSeen;
    for (int i = 0; i < listRefs.size(); ++i)
        listOffSeen << false;
    bool bSeenRunning = false;
    for (;;) {
        bool bRunning = false;
        int iExit = fnRunning ? fnRunning(&bRunning) : int(kExitOk);
        bSeenRunning = bSeenRunning || bRunning;
        QMap<QString, QJsonObject> map;
        if (iExit == kExitOk)
            iExit = outletStates(service, &map, err);
        if (iExit != kExitOk)
            return iExit;
        bool bShown = true;
        for (int i = 0; i < listRefs.size(); ++i) {
            listOffSeen[i] =
                listOffSeen[i] || (map.contains(listRefs.at(i).strMac) && !isOn(map, listRefs.at(i)));
            bShown = bShown && isOn(map, listRefs.at(i)) == bOn && (!bCycle || listOffSeen[i]);
        }
        // Once the service was seen at it and is done, what the PDUs show then is the outcome.
        const bool bOver = (!bRunning && (bShown || bSeenRunning)) || follow.elapsed() >= iBound;
        if (bOver && bShown)
            return kExitOk;
        if (bOver) {
            for (int i = 0; i < listRefs.size(); ++i) {
                const QString strOutlet = QStringLiteral("%1 (%2)").arg(
                    refText(listRefs.at(i)),
                    map.value(listRefs.at(i).strMac).value(QStringLiteral("address")).toString());
                if (bCycle && !listOffSeen[i])
                    pNotOff->append(strOutlet);
                else if (isOn(map, listRefs.at(i)) != bOn)
                    pNotShown->append(strOutlet);
            }
            return kExitNoConfirm;
        }
        if (!follow.pause())
            return kExitFailure;
    }
}

} // namespace

int checkServiceOutlets(const CtlService& service, const QList<OutletRef>& listAll,
                        const QList<OutletRef>& listOff, bool bForce, QTextStream& err,
                        QMap<QString, QJsonObject>* pMap)
{
    int iExit = outletStates(service, pMap, err);
    if (iExit != kExitOk)
        return iExit;
    QStringList listMissing;
    for (const OutletRef& ref : listAll)
        if (!pMap->contains(ref.strMac) && !listMissing.contains(ref.strMac))
            listMissing << ref.strMac;
    for (const QString& strMac : qAsConst(listMissing))
        err << "rackmind-ctl: "
            << RackmindCtl::tr("no PDU \"%1\" answered")
                   .arg(refText(OutletRef{strMac, 0}).section(QLatin1Char('/'), 0, 0))
            << '\n';
    if (!listMissing.isEmpty()) {
        err << "rackmind-ctl: " << RackmindCtl::tr("nothing was switched") << '\n';
        return kExitNotFound;
    }
    // Told before anything is sent, as locally; the service itself refuses them without the override.
    QMap<QString, QStringList> mapProtected;
    for (const OutletRef& ref : listOff)
        if (pMap->value(ref.strMac)
                .value(QStringLiteral("protected"))
                .toArray()
                .at(ref.iOutlet - 1)
                .toBool() &&
            !mapProtected.value(ref.strMac).contains(QString::number(ref.iOutlet)))
            mapProtected[ref.strMac] << QString::number(ref.iOutlet);
    for (auto it = mapProtected.cbegin(); it != mapProtected.cend(); ++it) {
        const QString strAddress = pMap->value(it.key()).value(QStringLiteral("address")).toString();
        if (!bForce) {
            err << "rackmind-ctl: "
                << RackmindCtl::tr(
                       "outlet(s) %1 of %2 are protected; nothing was switched (--force overrides)")
                       .arg(it.value().join(QLatin1Char(',')), strAddress)
                << '\n';
            return kExitProtected;
        }
        err << "rackmind-ctl: "
            << RackmindCtl::tr("protected outlet(s) %1 of %2 switched by --force; on record in %3")
                   .arg(it.value().join(QLatin1Char(',')), strAddress,
                        RackmindCtl::tr("the service's event log"))
            << '\n';
    }
    return kExitOk;
}

int runServiceOutlet(const CtlService& service, const CtlOutletRequest& req, QTextStream& err)
{
    CtlPdu pdu;
    QJsonObject obj;
    int iExit = findServicePdu(service, req.strPdu, &pdu, &obj, err);
    if (iExit != kExitOk)
        return iExit;
    const bool bCycle = req.strAction == QLatin1String("cycle");
    const bool bOn = req.strAction == QLatin1String("on");
    QList<OutletRef> listRefs;
    for (int i : req.listOutlets)
        listRefs << OutletRef{bareMac(macText(pdu)), i};
    QMap<QString, QJsonObject> map;
    iExit = checkServiceOutlets(service, listRefs, bOn ? QList<OutletRef>() : listRefs, false, err, &map);
    // The API switches a protected outlet off only as part of a set or sequence, by the override role.
    if (iExit == kExitProtected && req.bForce)
        err << "rackmind-ctl: "
            << RackmindCtl::tr(
                   "through a service --force takes effect for sets and sequences only: put the "
                   "outlet in a set and run set NAME %1 --force (the user needs the override role)")
                   .arg(req.strAction)
            << '\n';
    if (iExit != kExitOk)
        return iExit;
    const QString strMac = bareMac(macText(pdu));
    for (int i : req.listOutlets) {
        QJsonObject body{{QStringLiteral("action"), req.strAction}};
        if (bCycle)
            body.insert(QStringLiteral("delay"), req.iDelayMsecs / 1000);
        iExit = post(service, QStringLiteral("/pdus/%1/outlets/%2").arg(strMac).arg(i), body, err);
        if (iExit != kExitOk)
            return iExit;
    }
    CFollow follow(service, err, QStringLiteral("rackmind-ctl show %1").arg(macText(pdu)));
    const qint64 iBound = req.iTimeoutMsecs >= 0 && !bCycle
                              ? req.iTimeoutMsecs
                              : boundOf(map, listRefs, bCycle, req.iDelayMsecs / 1000);
    QStringList listNotOff, listNotShown;
    iExit = followOutlets(service, listRefs, bOn || bCycle, bCycle, iBound, {}, follow, &listNotOff,
                          &listNotShown, err);
    if (!listNotOff.isEmpty())
        err << "rackmind-ctl: "
            << RackmindCtl::tr("%1 did not switch off outlet(s) %2; no \"on\" was sent")
                   .arg(addressText(pdu), listNotOff.join(QLatin1Char(',')))
            << '\n';
    if (!listNotShown.isEmpty())
        err << "rackmind-ctl: "
            << (bOn || bCycle ? RackmindCtl::tr("%1 did not show the outlets on in time")
                              : RackmindCtl::tr("%1 did not show the outlets off in time"))
                   .arg(addressText(pdu))
            << '\n';
    return iExit;
}

int loadServiceSets(const CtlService& service, COutletSets* pSets, QTextStream& err, QJsonObject* pView)
{
    ServiceReply reply;
    const int iExit = serviceGet(service, QStringLiteral("/sets"), QUrlQuery(), &reply, err);
    if (iExit != kExitOk)
        return iExit;
    OutletSetsData data;
    for (const QJsonValue& value : reply.json.value(QStringLiteral("sets")).toArray()) {
        OutletSet set{value[QStringLiteral("name")].toString(), {}};
        for (const QJsonValue& outlet : value[QStringLiteral("outlets")].toArray()) {
            set.listOutlets.append(OutletRef());
            OutletRef::parse(outlet.toString(), &set.listOutlets.last());
        }
        data.mapSets.insert(set.strName, set);
    }
    for (const QJsonValue& value : reply.json.value(QStringLiteral("sequences")).toArray()) {
        OutletSequence seq{value[QStringLiteral("name")].toString(), {}};
        for (const QJsonValue& step : value[QStringLiteral("steps")].toArray()) {
            SequenceStep s;
            s.strSet = step[QStringLiteral("set")].toString();
            OutletRef::parse(step[QStringLiteral("outlet")].toString(), &s.outlet);
            s.bOn = step[QStringLiteral("on")].toBool();
            s.iWaitSecs = step[QStringLiteral("wait")].toInt();
            seq.listSteps << s;
        }
        data.mapSequences.insert(seq.strName, seq);
    }
    pSets->assign(data);
    if (pView)
        *pView = reply.json.value(QStringLiteral("sequence")).toObject();
    return kExitOk;
}

QString serviceRunText(const QJsonObject& view, const QString& strName)
{
    const QString strState = view.value(QStringLiteral("state")).toString();
    if (view.value(QStringLiteral("name")).toString() != strName)
        return QString();
    if (strState == QLatin1String("interrupted"))
        return view.value(QStringLiteral("reason")).toString();
    if (strState == QLatin1String("switching") || strState == QLatin1String("waiting") ||
        strState == QLatin1String("paused"))
        return (strState == QLatin1String("paused") ? RackmindCtl::tr("paused at step %1 on the service")
                                                    : RackmindCtl::tr("running at step %1 on the service"))
            .arg(view.value(QStringLiteral("step")).toInt());
    return QString();
}

int runServiceSet(const CtlService& service, const OutletSet& set, const QString& strAction,
                  const CtlSetOptions& opt, QTextStream& err)
{
    const bool bOn = strAction != QLatin1String("off"), bCycle = strAction == QLatin1String("cycle");
    QMap<QString, QJsonObject> map;
    int iExit =
        checkServiceOutlets(service, set.listOutlets, bOn && !bCycle ? QList<OutletRef>() : set.listOutlets,
                            opt.bForce, err, &map);
    if (iExit != kExitOk)
        return iExit;
    QJsonObject body{{QStringLiteral("action"), strAction}, {QStringLiteral("override"), opt.bForce}};
    if (bCycle)
        body.insert(QStringLiteral("delay"), opt.iDelaySecs);
    iExit = post(service, QStringLiteral("/sets/%1").arg(set.strName), body, err);
    if (iExit != kExitOk)
        return iExit;
    CFollow follow(service, err, QStringLiteral("rackmind-ctl set list"));
    const auto running = [&](bool* pbRunning) {
        ServiceReply reply;
        const int iCall = serviceGet(service, QStringLiteral("/sets"), QUrlQuery(), &reply, err);
        for (const QJsonValue& value : reply.json.value(QStringLiteral("sets")).toArray())
            if (value[QStringLiteral("name")].toString() == set.strName)
                *pbRunning = !value[QStringLiteral("running")].toString().isEmpty();
        return iCall;
    };
    QStringList listNotOff, listNotShown;
    iExit = followOutlets(service, set.listOutlets, bOn, bCycle,
                          boundOf(map, set.listOutlets, bCycle, opt.iDelaySecs), running, follow, &listNotOff,
                          &listNotShown, err);
    if (!listNotOff.isEmpty())
        err << "rackmind-ctl: "
            << RackmindCtl::tr("set %1: %2 did not switch off; no \"on\" was sent to it, and every outlet of "
                               "the set that went off was switched back on")
                   .arg(set.strName, listNotOff.join(QStringLiteral(", ")))
            << '\n';
    if (!listNotShown.isEmpty())
        err << "rackmind-ctl: "
            << (bOn ? RackmindCtl::tr("%1 did not show the outlets on in time")
                    : RackmindCtl::tr("%1 did not show the outlets off in time"))
                   .arg(listNotShown.join(QStringLiteral(", ")))
            << '\n';
    return iExit;
}

int runServiceSequence(const CtlService& service, const OutletSequence& seq, bool bForce, QTextStream& err)
{
    const auto view = [&](QJsonObject* pView) {
        ServiceReply reply;
        const int iCall = serviceGet(service, QStringLiteral("/sets"), QUrlQuery(), &reply, err);
        *pView = reply.json.value(QStringLiteral("sequence")).toObject();
        return iCall;
    };
    QJsonObject before;
    int iExit = view(&before);
    if (iExit != kExitOk)
        return iExit;
    iExit = post(service, QStringLiteral("/sequences/%1").arg(seq.strName),
                 QJsonObject{{QStringLiteral("action"), QStringLiteral("start")},
                             {QStringLiteral("override"), bForce}},
                 err);
    if (iExit != kExitOk)
        return iExit;
    qint64 iBound = kMarginMsecs;
    for (const SequenceStep& step : seq.listSteps)
        iBound += (step.iWaitSecs + 60) * 1000LL;
    CFollow follow(service, err, QStringLiteral("rackmind-ctl sequence list"));
    // The run is this one once it was seen running or the view changed: the last run's end may still show.
    bool bOurs = false;
    for (;;) {
        QJsonObject now;
        iExit = view(&now);
        if (iExit != kExitOk)
            return iExit;
        const QString strState = now.value(QStringLiteral("state")).toString();
        const bool bRunning =
            QStringList{QStringLiteral("switching"), QStringLiteral("waiting"), QStringLiteral("paused")}
                .contains(strState);
        bOurs = bOurs ||
                (now.value(QStringLiteral("name")).toString() == seq.strName && (bRunning || now != before));
        if (bOurs && !bRunning) {
            if (strState == QLatin1String("completed"))
                return kExitOk;
            err << "rackmind-ctl: "
                << RackmindCtl::tr("sequence %1 stopped at step %2 of %3: %4")
                       .arg(seq.strName)
                       .arg(now.value(QStringLiteral("step")).toInt())
                       .arg(seq.listSteps.size())
                       .arg(now.value(QStringLiteral("reason")).toString())
                << '\n';
            return strState == QLatin1String("failed") ? kExitNoConfirm : kExitFailure;
        }
        if (follow.elapsed() >= iBound) {
            err << "rackmind-ctl: "
                << RackmindCtl::tr("sequence %1 was not seen to finish in time").arg(seq.strName) << '\n';
            return kExitNoConfirm;
        }
        if (!follow.pause())
            return kExitFailure;
    }
}

int runServiceHistory(const CtlService& service, const QString& strPdu, qint64 iFrom, qint64 iTo,
                      HistoryFormat format, QTextStream& out, QTextStream& err)
{
    // The ways to name a PDU the local store takes: its MAC, address or name, offline PDUs too.
    QList<CtlPdu> listOnline;
    QList<QJsonObject> listAll, listMatch;
    int iExit = fetchServicePdus(service, &listOnline, err, &listAll);
    if (iExit != kExitOk)
        return iExit;
    for (const QJsonObject& obj : qAsConst(listAll))
        if (bareMac(obj.value(QStringLiteral("mac")).toString()) == bareMac(strPdu) ||
            obj.value(QStringLiteral("address")).toString() == strPdu ||
            obj.value(QStringLiteral("name")).toString() == strPdu)
            listMatch << obj;
    if (listMatch.isEmpty()) {
        err << "rackmind-ctl: " << RackmindCtl::tr("no PDU in the history matches %1").arg(strPdu) << '\n';
        return kExitNotFound;
    }
    if (listMatch.size() > 1) {
        err << "rackmind-ctl: " << RackmindCtl::tr("%1 names several PDUs:").arg(strPdu) << '\n';
        for (const QJsonObject& obj : qAsConst(listMatch))
            err << "  " << obj.value(QStringLiteral("mac")).toString() << ' '
                << obj.value(QStringLiteral("address")).toString() << '\n';
        return kExitUsage;
    }
    const QString strMac = bareMac(listMatch.first().value(QStringLiteral("mac")).toString());
    QVector<HistoryAggregate> series;
    QUrlQuery query{{QStringLiteral("from"), QString::number(iFrom)},
                    {QStringLiteral("to"), QString::number(iTo)},
                    {QStringLiteral("limit"), QStringLiteral("1000")}};
    QSet<QString> setCursors;
    for (;;) {
        ServiceReply reply;
        iExit = serviceGet(service, QStringLiteral("/pdus/%1/history").arg(strMac), query, &reply, err);
        if (iExit != kExitOk)
            return iExit;
        for (const QJsonValue& value : reply.json.value(QStringLiteral("readings")).toArray()) {
            HistoryAggregate a;
            a.iMsecs = QDateTime::fromString(value[QStringLiteral("time")].toString(), Qt::ISODateWithMs)
                           .toMSecsSinceEpoch();
            for (int i = 0; i < 3; ++i) {
                a.aVoltage[i] = quint16(value[QStringLiteral("voltage")][i].toDouble());
                a.aCentiAmps[i] = quint16(qRound(value[QStringLiteral("current")][i].toDouble() * 100));
                a.aTemperature[i] = quint8(value[QStringLiteral("temperature")][i].toDouble());
                a.aHumidity[i] = quint8(value[QStringLiteral("humidity")][i].toDouble());
            }
            a.uiOutlets = quint8(value[QStringLiteral("outlets")].toInt());
            a.uiOnline = quint16(value[QStringLiteral("online")].toInt());
            a.uiSamples = quint16(value[QStringLiteral("samples")].toInt());
            series << a;
        }
        const QString strNext = reply.json.value(QStringLiteral("next")).toString();
        if (strNext.isEmpty())
            break;
        // The store's pages only go forward and only a full page has a next one: a cursor given twice
        // or an empty page with one would be asked for ever.
        if (setCursors.contains(strNext) ||
            reply.json.value(QStringLiteral("readings")).toArray().isEmpty()) {
            err << "rackmind-ctl: "
                << RackmindCtl::tr("the service %1 gave the same page of history again")
                       .arg(service.url.toString())
                << '\n';
            return kExitService;
        }
        setCursors.insert(strNext);
        query.removeAllQueryItems(QStringLiteral("cursor"));
        query.addQueryItem(QStringLiteral("cursor"), strNext);
    }
    printSeries(series, format, out);
    return kExitOk;
}

int runServiceReport(const CtlService& service, const CtlReportRequest& req, QTextStream& out,
                     QTextStream& err)
{
    if (req.format == CtlReportRequest::Pdf) {
        err << "rackmind-ctl: "
            << RackmindCtl::tr("--pdf reads the history store itself: use --csv through a service, or run it "
                               "on the service's machine")
            << '\n';
        return kExitUsage;
    }
    QUrlQuery query{{QStringLiteral("month"), req.strMonth}};
    if (!req.strGroup.isEmpty())
        query.addQueryItem(QStringLiteral("group"), req.strGroup);
    ServiceReply reply;
    int iExit = serviceCall(service, QStringLiteral("/report"), query, nullptr, &reply, err);
    if (iExit == kExitOk && reply.iStatus != 200) {
        // A group the store does not know is the caller's mistake, as locally.
        iExit = serviceRefusal(service, reply, err);
        return reply.iStatus == 404 ? int(kExitUsage) : iExit;
    }
    if (iExit != kExitOk)
        return iExit;
    QVector<MonthlyReportRow> vecRows;
    for (const QJsonValue& value : reply.json.value(QStringLiteral("rows")).toArray()) {
        MonthlyReportRow row;
        row.bGroup = value[QStringLiteral("kind")].toString() == QLatin1String("group");
        row.strGroup = value[QStringLiteral("group")].toString();
        row.strPdu = value[QStringLiteral("pdu")].toString();
        row.strMac = value[QStringLiteral("mac")].toString();
        row.iEnergy = qint64(value[QStringLiteral("energy")].toDouble());
        row.bComplete = value[QStringLiteral("complete")].toBool();
        row.dPeakAmps = value[QStringLiteral("peakAmps")].toDouble();
        row.dP95Amps = value[QStringLiteral("p95Amps")].toDouble();
        row.iHours = value[QStringLiteral("hours")].toInt();
        row.iHoursOver = value[QStringLiteral("hoursOver")].toInt();
        row.bBudget = value[QStringLiteral("budget")].toBool();
        vecRows << row;
    }
    CMonthlyReport report;
    report.assign(req.strMonth, req.strGroup, vecRows);
    if (req.format == CtlReportRequest::Text) {
        out << report.text();
        return kExitOk;
    }
    if (req.strFile.isEmpty()) {
        out << QString::fromUtf8(report.csv());
        return kExitOk;
    }
    QString strWhy;
    if (report.writeCsv(req.strFile, &strWhy))
        return kExitOk;
    err << "rackmind-ctl: " << RackmindCtl::tr("cannot write %1: %2").arg(req.strFile, strWhy) << '\n';
    return kExitFailure;
}
