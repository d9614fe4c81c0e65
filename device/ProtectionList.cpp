#include "device/ProtectionList.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString why(const QString& strPath)
{
    return QStringLiteral("%1: %2").arg(strPath, QString::fromLocal8Bit(std::strerror(errno)));
}

// The MAC as rackmind-ctl and the console print it (02:50:44:00:00:01, or with dashes) names the same
// outlet as the twelve bare digits; a line that is no entry at all is kept as it stands.
QString normalised(const QString& strLine)
{
    const int iSlash = strLine.indexOf(QLatin1Char('/'));
    QString strMac = strLine.left(iSlash).trimmed();
    strMac.remove(QLatin1Char(':')).remove(QLatin1Char('-'));
    const bool bMac = std::all_of(strMac.begin(), strMac.end(), [](QChar c) {
        return c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
    });
    bool bOutlet = false;
    const int iOutlet = strLine.mid(iSlash + 1).trimmed().toInt(&bOutlet);
    return iSlash > 0 && bMac && strMac.size() == 12 && bOutlet ? CProtectionList::entry(strMac, iOutlet)
                                                                : strLine;
}

QSet<QString> parse(const QByteArray& baText)
{
    QSet<QString> set;
    for (const QByteArray& baLine : baText.split('\n')) {
        const int iComment = baLine.indexOf('#');
        const QString strLine =
            QString::fromLatin1(iComment < 0 ? baLine : baLine.left(iComment)).trimmed().toUpper();
        if (!strLine.isEmpty())
            set.insert(normalised(strLine));
    }
    return set;
}

bool readAll(int fd, QByteArray* pText)
{
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        pText->append(buf, int(n));
    return n == 0;
}

} // namespace

QString CProtectionList::defaultPath()
{
    const QByteArray baPath = qgetenv("RACKMIND_PROTECTION_LIST");
    return baPath.isEmpty() ? QStringLiteral("/var/lib/rackmind/protected-outlets")
                            : QString::fromLocal8Bit(baPath);
}

QString CProtectionList::entry(const QString& strMac, int iOutlet)
{
    return strMac.toUpper() + QLatin1Char('/') + QString::number(iOutlet);
}

CProtectionList::CProtectionList(const QString& strPath) : m_strPath(strPath) {}

bool CProtectionList::load(QString* pError)
{
    const int fd = ::open(QFile::encodeName(m_strPath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            m_set.clear();
            return true;
        }
        if (pError)
            *pError = why(m_strPath);
        return false;
    }
    QByteArray baText;
    const bool bOk = ::flock(fd, LOCK_SH) == 0 && readAll(fd, &baText);
    if (!bOk && pError)
        *pError = why(m_strPath);
    ::close(fd);
    if (bOk)
        m_set = parse(baText);
    return bOk;
}

bool CProtectionList::change(const std::function<void(QSet<QString>&)>& fnChange, QString* pError)
{
    // Readable by everyone, writable by the owner and its group (the operators allowed to protect).
    const int fd = ::open(QFile::encodeName(m_strPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0664);
    if (fd < 0) {
        if (pError)
            *pError = why(m_strPath);
        return false;
    }
    QByteArray baText;
    bool bOk = ::flock(fd, LOCK_EX) == 0 && readAll(fd, &baText);
    if (bOk) {
        QSet<QString> set = parse(baText);
        fnChange(set);
        QStringList list = set.values();
        list.sort();
        QByteArray baOut("# Protected outlets (MAC/outlet), one a line; written by Rackmind.\n");
        for (const QString& str : qAsConst(list))
            baOut += str.toLatin1() + '\n';
        // Written over the old text before the rest is cut: a program ending between the two leaves old
        // lines after the new ones (more protected, never less), where cutting first left an empty list.
        bOk = ::pwrite(fd, baOut.constData(), size_t(baOut.size()), 0) == baOut.size() &&
              ::ftruncate(fd, baOut.size()) == 0 && ::fsync(fd) == 0;
        if (bOk)
            m_set = set;
    }
    if (!bOk && pError)
        *pError = why(m_strPath);
    ::close(fd);
    return bOk;
}
