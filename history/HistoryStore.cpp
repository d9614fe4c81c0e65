#include "history/HistoryStore.h"

#include "common/Clock.h"
#include "common/SafeOpen.h"
#include "history/HistoryWriter.h"

#include <QDir>
#include <QStandardPaths>

CHistoryStore::CHistoryStore(const QString& strPath, QObject* parent) : QObject(parent), m_strPath(strPath)
{
    m_thread.setObjectName(QStringLiteral("HistoryThread"));
    m_pWriter = new CHistoryWriter(this, strPath);
    m_pWriter->moveToThread(&m_thread);
    m_thread.start(QThread::LowPriority);
    // Blocking, so that whoever asks right after construction learns whether the file could be used.
    QMetaObject::invokeMethod(m_pWriter, &CHistoryWriter::slotStart, Qt::BlockingQueuedConnection);
}

CHistoryStore::~CHistoryStore()
{
    QMetaObject::invokeMethod(m_pWriter, &CHistoryWriter::slotStop, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_pWriter;
}

bool CHistoryStore::checkFiles(const QString& strPath, QString* pstrWhy)
{
    QString strWhy;
    // The store's owner may be the folder's: the service's store, read by root.
    const bool bOk = SafeOpen::check(
        strPath, {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")},
        {true, false}, &strWhy);
    if (!bOk)
        *pstrWhy = tr("the history file %1 cannot be opened").arg(strPath) + QStringLiteral(": ") + strWhy;
    return bOk;
}

QString CHistoryStore::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("history.sqlite"));
}

void CHistoryStore::setRetention(const HistoryRetention& retention)
{
    m_pWriter->setRetention(retention);
}

void CHistoryStore::addSample(const QString& strMac, const HistorySample& sample)
{
    m_pWriter->enqueueSample(strMac, sample);
}

void CHistoryStore::setLabel(const QString& strMac, const QString& strName, const QString& strPosition,
                             const QString& strAddress, const QString& strGroup)
{
    m_pWriter->enqueueLabel(strMac, {strName, strPosition, strAddress, strGroup});
}

void CHistoryStore::setBudget(const QString& strGroup, double dBreakerAmps, double dDerating)
{
    m_pWriter->enqueueBudget(strGroup, dBreakerAmps, dDerating);
}

QHash<QString, qint64> CHistoryStore::energyTotals() const
{
    return m_pWriter->energyTotals();
}

void CHistoryStore::record(HistoryEvent event)
{
    if (event.iMsecs == 0)
        event.iMsecs = Clock::now().toMSecsSinceEpoch();
    m_pWriter->enqueueEvent(event);
}

void CHistoryStore::record(int iKind, const QString& strMac, const QString& strPdu, const QString& strSubject,
                           const QString& strOld, const QString& strNew, const QString& strLimit,
                           const QString& strDetail)
{
    HistoryEvent event;
    event.iKind = iKind;
    event.strMac = strMac;
    event.strPdu = strPdu;
    event.strSubject = strSubject;
    event.strOld = strOld;
    event.strNew = strNew;
    event.strLimit = strLimit;
    event.strDetail = strDetail;
    record(event);
}

void CHistoryStore::keepAlarm(const StoredAlarm& alarm)
{
    m_pWriter->enqueueAlarm(alarm);
}

void CHistoryStore::flush()
{
    QMetaObject::invokeMethod(m_pWriter, &CHistoryWriter::slotFlush, Qt::BlockingQueuedConnection);
}

qint64 CHistoryStore::droppedSamples() const
{
    return m_pWriter->droppedSamples();
}

qint64 CHistoryStore::pendingSamples() const
{
    return m_pWriter->pendingSamples();
}

bool CHistoryStore::isAvailable() const
{
    QMutexLocker lock(&m_mutexState);
    return m_bAvailable;
}

QString CHistoryStore::unavailableReason() const
{
    QMutexLocker lock(&m_mutexState);
    return m_strReason;
}

void CHistoryStore::setAvailability(bool bAvailable, const QString& strReason)
{
    {
        QMutexLocker lock(&m_mutexState);
        if (m_bAvailable == bAvailable && m_strReason == strReason)
            return;
        m_bAvailable = bAvailable;
        m_strReason = strReason;
    }
    emit signalAvailabilityChanged(bAvailable, strReason);
}
