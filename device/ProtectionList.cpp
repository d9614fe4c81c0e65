#include "device/ProtectionList.h"

#include "common/SafeOpen.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The list may sit in the service's state folder: shared by the group that may protect, and only root's
// or the caller's (a list the folder's owner put there would let that account decide what is protected).
const SafeOpen::Rules kRules{false, true};

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
    QString strWhy;
    struct stat stDir;
    const int fd = SafeOpen::open(m_strPath, O_RDONLY, 0, kRules, &strWhy, &stDir);
    if (fd < 0) {
        // Missing is an empty list, but not where another account could have removed it.
        if (errno == ENOENT && (stDir.st_mode == 0 || SafeOpen::isOwnFolder(stDir))) {
            m_set.clear();
            return true;
        }
        if (errno == ENOENT)
            strWhy = QCoreApplication::translate("SafeOpen",
                                                 "%1 is missing from a folder another account can write")
                         .arg(m_strPath);
        if (pError)
            *pError = strWhy;
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
    QString strWhy;
    bool bMade = false;
    const int fd = SafeOpen::open(m_strPath, O_RDWR | O_CREAT, 0664, kRules, &strWhy, nullptr, &bMade);
    if (fd < 0) {
        if (pError)
            *pError = strWhy;
        return false;
    }
    // Made by root: the group that may protect keeps writing it, as the package makes it.
    const group* pGroup = bMade && ::geteuid() == 0 ? ::getgrnam("rackmind") : nullptr;
    if (pGroup && (::fchown(fd, 0, pGroup->gr_gid) != 0 || ::fchmod(fd, 0664) != 0)) {
        if (pError)
            *pError = why(m_strPath);
        ::close(fd);
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
