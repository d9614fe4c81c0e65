#include "device/ProtectionList.h"

#include "device/LockedFile.h"
#include "device/OutletSets.h"

#include <QByteArray>
#include <QStringList>

namespace {

// The MAC as rackmind-ctl and the console print it (02:50:44:00:00:01, or with dashes) names the same
// outlet as the twelve bare digits; a line that is no entry at all is kept as it stands.
QString normalised(const QString& strLine)
{
    OutletRef ref;
    return OutletRef::parse(strLine, &ref) ? ref.text() : strLine;
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
    QByteArray baText;
    if (!LockedFile::read(m_strPath, &baText, pError))
        return false;
    m_set = parse(baText);
    return true;
}

bool CProtectionList::change(const std::function<void(QSet<QString>&)>& fnChange, QString* pError)
{
    QSet<QString> set;
    const bool bOk = LockedFile::change(
        m_strPath,
        [&](QByteArray& baText, QString*) {
            set = parse(baText);
            fnChange(set);
            QStringList list = set.values();
            list.sort();
            // Cut short between writing and cutting, old lines stay after the new ones: more protected,
            // never less.
            baText = "# Protected outlets (MAC/outlet), one a line; written by Rackmind.\n";
            for (const QString& str : qAsConst(list))
                baText += str.toLatin1() + '\n';
            return true;
        },
        pError);
    if (bOk)
        m_set = set;
    return bOk;
}
