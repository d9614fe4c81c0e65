#include "metrics/OutletSetGauge.h"

#include "device/OutletSets.h"
#include "device/Pdu.h"
#include "metrics/MetricsText.h"

#include <QDateTime>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

quint64 macKey(const quint8* pMac)
{
    quint64 uiKey = 0;
    for (int i = 0; i < 6; ++i)
        uiKey = (uiKey << 8) | pMac[i];
    return uiKey;
}

} // namespace

bool COutletSetGauge::Stamp::operator==(const Stamp& o) const
{
    return bExists == o.bExists && std::equal(std::begin(aiFields), std::end(aiFields), o.aiFields);
}

// Replaced, rewritten in place or touched: one of these moves. The link itself is looked at; reading
// refuses a link.
COutletSetGauge::Stamp COutletSetGauge::stampOf(const QString& strPath)
{
    Stamp stamp;
    struct stat st;
    if (::lstat(QFile::encodeName(strPath).constData(), &st) != 0)
        return stamp;
    stamp.bExists = true;
    const qint64 aiFields[7] = {qint64(st.st_dev),          qint64(st.st_ino),
                                qint64(st.st_size),         qint64(st.st_mtim.tv_sec),
                                qint64(st.st_mtim.tv_nsec), qint64(st.st_ctim.tv_sec),
                                qint64(st.st_ctim.tv_nsec)};
    std::copy(std::begin(aiFields), std::end(aiFields), stamp.aiFields);
    return stamp;
}

COutletSetGauge::COutletSetGauge(const QString& strPath) : m_strPath(strPath) {}

// Opened without following a link and without waiting for a writer of a FIFO put there; reading it
// refuses both.
bool COutletSetGauge::lockHeld(const QString& strPath)
{
    const int fd =
        ::open(QFile::encodeName(strPath).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool bHeld = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return bHeld;
}

QString COutletSetGauge::update(bool bForce)
{
    const Stamp stamp = stampOf(m_strPath);
    if (m_bLooked && !bForce && !m_bPending && stamp == m_stamp && !m_bRecent)
        return QString();
    // Whoever may read the file may also hold its lock as long as they like: the page never waits for
    // them, it looks again with the next one.
    if (stamp.bExists && lockHeld(m_strPath)) {
        m_bPending = true;
        if (++m_iLockedLooks != kLockedLooksTold)
            return QString();
        return QStringLiteral("outlet sets: %1 has been locked by another program for %2 looks; the metrics "
                              "show the sets read before until it is free")
            .arg(m_strPath)
            .arg(kLockedLooksTold);
    }
    m_bPending = false;
    m_iLockedLooks = 0;
    m_bLooked = true;
    m_stamp = stamp;
    // A file's times move in clock ticks, not at each write: a rewrite of the same size within the tick of
    // the last look would leave the same stamp. A file changed within the last seconds is read again.
    m_bRecent = stamp.bExists && std::llabs(QDateTime::currentSecsSinceEpoch() - stamp.aiFields[5]) < 2;
    COutletSets sets(m_strPath);
    QString strError;
    if (!sets.load(&strError)) {
        if (m_bFailing)
            return QString();
        m_bFailing = true;
        return QStringLiteral("outlet sets: %1; the metrics show the sets read before").arg(strError);
    }
    const bool bWasFailing = m_bFailing;
    m_bFailing = false;
    m_data = sets.data();
    QVector<Set> vecSets;
    QHash<quint64, int> hashSlot;
    for (const OutletSet& set : sets.data().mapSets) {
        Set entry;
        entry.baLabels = "set=\"";
        appendLabelValue(entry.baLabels, set.strName);
        entry.baLabels += '"';
        for (const OutletRef& ref : set.listOutlets) {
            bool bOk = false;
            const quint64 uiMac = ref.strMac.toULongLong(&bOk, 16);
            const auto it = hashSlot.constFind(uiMac);
            entry.vecSlot.append(it != hashSlot.cend() ? *it
                                                       : hashSlot.insert(uiMac, hashSlot.size()).value());
            entry.vecOutlet.append(quint8(ref.iOutlet - 1));
        }
        vecSets.append(entry);
    }
    const bool bChanged =
        bWasFailing || vecSets.size() != m_vecSets.size() || hashSlot != m_hashSlot ||
        !std::equal(vecSets.cbegin(), vecSets.cend(), m_vecSets.cbegin(), [](const Set& a, const Set& b) {
            return a.baLabels == b.baLabels && a.vecSlot == b.vecSlot && a.vecOutlet == b.vecOutlet;
        });
    m_vecSets = vecSets;
    m_hashSlot = hashSlot;
    if (!bChanged)
        return QString();
    return QStringLiteral("outlet sets: %1 read from %2").arg(m_vecSets.size()).arg(m_strPath);
}

void COutletSetGauge::appendSamples(QByteArray& baOut, const QList<CPdu*>& listPdu) const
{
    if (m_vecSets.isEmpty())
        return;
    // Per slot, the outlets its PDU shows on; -1 while no online PDU has that MAC, -2 when two have it
    // (then neither is believed).
    std::vector<int> vecStatus(size_t(m_hashSlot.size()), -1);
    for (const CPdu* pPdu : listPdu) {
        if (!pPdu->isOnline())
            continue;
        const auto it = m_hashSlot.constFind(macKey(pPdu->stInfo.mac));
        if (it != m_hashSlot.cend()) {
            int& iStatus = vecStatus[size_t(*it)];
            iStatus = iStatus == -1 ? pPdu->stInfo.outletStatus : -2;
        }
    }
    for (const Set& set : m_vecSets) {
        if (set.vecSlot.isEmpty())
            continue;
        int iOn = 0;
        for (int i = 0; i < set.vecSlot.size(); ++i) {
            const int iStatus = vecStatus[size_t(set.vecSlot[i])];
            iOn += iStatus >= 0 && ((iStatus >> set.vecOutlet[i]) & 1);
        }
        baOut += "rackmind_outlet_set_on{" + set.baLabels + "} " +
                 QByteArray::number(double(iOn) / set.vecSlot.size(), 'g', 10) + '\n';
    }
}
