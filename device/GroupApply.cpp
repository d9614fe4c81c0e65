#include "device/GroupApply.h"

#include "common/Clock.h"
#include "common/HistoryEvent.h"
#include "device/Pdu.h"
#include "device/Protocol.h"

#include <QStringList>

CGroupApply::CGroupApply(QObject* parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &CGroupApply::slotCheck);
}

void CGroupApply::start(const QList<CPdu*>& listPdu, const PduInfo& values, bool bThresholds, bool bDelays)
{
    m_listEntries.clear();
    m_values = values;
    m_bThresholds = bThresholds;
    m_bDelays = bDelays;
    m_iSentMs = Clock::elapsedMs();
    for (CPdu* pPdu : listPdu) {
        Entry entry;
        entry.pPdu = pPdu;
        entry.strOld = valuesText(pPdu->stInfo);
        if (!pPdu->isOnline() || (!bThresholds && !bDelays)) {
            entry.outcome = bThresholds || bDelays ? Offline : Confirmed;
            m_listEntries.append(entry);
            report(entry);
            continue;
        }
        // The edit record takes the values as they travel (a current limit in whole amperes and tenths),
        // so that the device needs no download of them once it has taken them; other pending edits of
        // the device stay as they were.
        PduInfo& set = pPdu->stSetInfo;
        if (bThresholds)
            decodeThresholdsPayload(thresholdsPayload(values), set);
        if (bDelays)
            decodeOutletDelaysPayload(outletDelaysPayload(values), set);
        for (quint8 cmd : {kCmdThresholds, kCmdOutletDelays}) {
            if ((cmd == kCmdThresholds && !bThresholds) || (cmd == kCmdOutletDelays && !bDelays))
                continue;
            bool bResult = true;
            emit pPdu->signalSndData(bResult, buildSetFrame(cmd, payloadFor(cmd, set)), pPdu->sendAddress(),
                                     pPdu->stInfo.udpPort);
        }
        m_listEntries.append(entry);
    }
    m_timer.start(250);
    slotCheck();
}

QString CGroupApply::valuesText(const PduInfo& info) const
{
    QStringList list;
    if (m_bThresholds)
        list << QStringLiteral("V warn %1 overload %2; A warn %3 overload %4; °C %5..%6; %RH %7")
                    .arg(info.voltageWarn)
                    .arg(info.voltageOverload)
                    .arg(info.currentWarn, 0, 'f', 1)
                    .arg(info.currentOverload, 0, 'f', 1)
                    .arg(info.temperatureLowLimit)
                    .arg(info.temperatureHighLimit)
                    .arg(info.humidityWarn);
    if (m_bDelays) {
        QStringList listOpen, listClose;
        for (int i = 0; i < 8; ++i) {
            listOpen << QString::number(info.outletOpenDelay[i]);
            listClose << QString::number(info.outletCloseDelay[i]);
        }
        list << QStringLiteral("on delays %1; off delays %2")
                    .arg(listOpen.join(QLatin1Char(',')), listClose.join(QLatin1Char(',')));
    }
    return list.join(QStringLiteral("; "));
}

bool CGroupApply::matches(const CPdu* pPdu) const
{
    // Compared as they travel: a current limit comes back in whole amperes and tenths.
    return (!m_bThresholds || thresholdsPayload(pPdu->stInfo) == thresholdsPayload(m_values)) &&
           (!m_bDelays || outletDelaysPayload(pPdu->stInfo) == outletDelaysPayload(m_values));
}

void CGroupApply::report(const Entry& entry)
{
    static const char* const apszOutcome[] = {"waiting", "confirmed", "not confirmed",
                                              "offline, not written"};
    if (!entry.pPdu)
        return;
    const QString strWhat = m_bThresholds && m_bDelays ? QStringLiteral("group write: thresholds, delays")
                            : m_bThresholds            ? QStringLiteral("group write: thresholds")
                                                       : QStringLiteral("group write: delays");
    OutletOperation op = describeOperation(entry.pPdu, 0, strWhat, QLatin1String(apszOutcome[entry.outcome]));
    op.iKind = HistoryEvent::GroupWritten;
    op.strOld = entry.strOld;
    op.strNew = valuesText(m_values);
    emit signalOperation(op);
}

bool CGroupApply::isFinished() const
{
    for (const Entry& entry : m_listEntries)
        if (entry.outcome == Waiting)
            return false;
    return true;
}

void CGroupApply::slotCheck()
{
    const bool bLate = Clock::elapsedMs() - m_iSentMs >= kConfirmMs;
    for (int i = 0; i < m_listEntries.size(); ++i) {
        Entry& entry = m_listEntries[i];
        if (entry.outcome != Waiting)
            continue;
        // Only a reply that came after the write tells what the device made of it.
        if (entry.pPdu && entry.pPdu->iLastRcvMsecs > m_iSentMs && matches(entry.pPdu))
            entry.outcome = Confirmed;
        else if (bLate || !entry.pPdu)
            entry.outcome = entry.pPdu && entry.pPdu->isOnline() ? NotConfirmed : Offline;
        else
            continue;
        emit signalEntryChanged(i);
        report(entry);
    }
    if (isFinished()) {
        m_timer.stop();
        emit signalFinished();
    }
}
