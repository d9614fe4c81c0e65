#include "device/PollTargets.h"

#include "device/Protocol.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {
// Four decimal octets and nothing else: the system's own parsers also take "10.1" or octal.
bool parseAddress(const QString& strText, quint32* pAddress)
{
    const QStringList listPart = strText.split(QLatin1Char('.'));
    if (listPart.size() != 4)
        return false;
    quint32 uiAddress = 0;
    for (const QString& strPart : listPart) {
        bool bOk = strPart.size() >= 1 && strPart.size() <= 3;
        for (const QChar ch : strPart)
            bOk = bOk && ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
        const uint uiOctet = strPart.toUInt();
        if (!bOk || uiOctet > 255)
            return false;
        uiAddress = uiAddress << 8 | uiOctet;
    }
    *pAddress = uiAddress;
    return true;
}

// Addresses no single PDU can have: sending there is a broadcast or goes nowhere.
bool isHostAddress(quint32 uiAddress)
{
    const quint32 uiFirst = uiAddress >> 24;
    return uiFirst != 0 && uiFirst != 127 && uiFirst < 224;
}

QString shown(const QString& strText)
{
    constexpr int kShownChars = 40;
    QString str = strText.left(kShownChars);
    for (QChar& ch : str)
        if (!ch.isPrint())
            ch = QLatin1Char('?');
    return strText.size() > kShownChars ? str + QStringLiteral("...") : str;
}
} // namespace

quint32 PollTarget::sweptCount() const
{
    const quint64 uiSize = quint64(1) << (32 - iPrefix);
    return quint32(iPrefix <= 30 ? uiSize - 2 : uiSize);
}

quint32 PollTarget::sweptAt(quint32 uiIndex) const
{
    return uiBase + uiIndex + (iPrefix <= 30 ? 1 : 0);
}

QString PollTarget::text() const
{
    const QString strAddress = ipv4ToString(uiBase);
    return iPrefix == 32 ? strAddress : QStringLiteral("%1/%2").arg(strAddress).arg(iPrefix);
}

bool PollTargets::parse(const QString& strText, PollTarget* pTarget, QString* pstrWhy)
{
    const QString strEntry = strText.trimmed();
    const int iSlash = strEntry.indexOf(QLatin1Char('/'));
    PollTarget target;
    quint32 uiAddress = 0;
    if (!parseAddress(iSlash < 0 ? strEntry : strEntry.left(iSlash), &uiAddress)) {
        *pstrWhy = QCoreApplication::translate(
                       "PollTargets", "\"%1\" is not an IPv4 address or subnet (as 10.1.2.3 or 10.1.2.0/24)")
                       .arg(shown(strEntry));
        return false;
    }
    if (iSlash >= 0) {
        const QString strPrefix = strEntry.mid(iSlash + 1);
        bool bDigits = strPrefix.size() >= 1 && strPrefix.size() <= 2;
        for (const QChar ch : strPrefix)
            bDigits = bDigits && ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
        target.iPrefix = strPrefix.toInt();
        if (!bDigits || target.iPrefix > 32) {
            *pstrWhy = QCoreApplication::translate("PollTargets", "\"%1\": the prefix length is 0 to 32")
                           .arg(shown(strEntry));
            return false;
        }
    }
    if (target.iPrefix < PollTargets::kMinPrefix) {
        *pstrWhy =
            QCoreApplication::translate("PollTargets", "%1 is too large to sweep: at most /%2 (%3 addresses)")
                .arg(shown(strEntry))
                .arg(PollTargets::kMinPrefix)
                .arg((1 << (32 - PollTargets::kMinPrefix)) - 2);
        return false;
    }
    target.uiBase = uiAddress & target.mask();
    if (!isHostAddress(target.uiBase) || (target.iPrefix == 32 && uiAddress == 0xFFFFFFFFu)) {
        *pstrWhy = QCoreApplication::translate("PollTargets", "%1 is not an address a PDU can have")
                       .arg(shown(strEntry));
        return false;
    }
    *pTarget = target;
    return true;
}

bool PollTargets::parseList(const QStringList& listText, QList<PollTarget>* pList, QString* pstrWhy)
{
    QStringList listWhy;
    quint32 uiSwept = 0;
    for (const PollTarget& target : qAsConst(*pList))
        uiSwept += target.isSubnet() ? target.sweptCount() : 0;
    for (const QString& strText : listText) {
        PollTarget target;
        QString strWhy;
        if (!parse(strText, &target, &strWhy)) {
            listWhy << strWhy;
            continue;
        }
        if (pList->contains(target))
            continue;
        const quint32 uiMore = target.isSubnet() ? target.sweptCount() : 0;
        if (pList->size() >= kMaxTargets || uiSwept + uiMore > kMaxSweptAddresses) {
            listWhy << QCoreApplication::translate(
                           "PollTargets", "%1 left out: at most %2 entries and %3 swept addresses in all")
                           .arg(target.text())
                           .arg(kMaxTargets)
                           .arg(kMaxSweptAddresses);
            continue;
        }
        uiSwept += uiMore;
        pList->append(target);
    }
    if (!listWhy.isEmpty())
        *pstrWhy = listWhy.join(QStringLiteral("; "));
    return listWhy.isEmpty();
}

QString PollTargets::text(const QList<PollTarget>& listTarget)
{
    QStringList list;
    for (const PollTarget& target : listTarget)
        list << target.text();
    return list.isEmpty() ? QStringLiteral("none") : list.join(QLatin1Char(','));
}

bool PollTargets::readFile(const QString& strFile, PollTargetList* pList, QString* pstrWhy)
{
    bool bPresent = false;
    if (!isReadableListFile(strFile, &bPresent, pstrWhy) || !bPresent)
        return !bPresent;
    QSettings file(strFile, QSettings::IniFormat);
    QStringList listText;
    QString strRate;
    const bool bRead = readSettingsGuarded([&] {
        for (int i = 0; i < kMaxTargets * 4; ++i) {
            const QString strKey = QStringLiteral("%1/target").arg(i);
            if (file.contains(strKey))
                listText << file.value(strKey).toString();
        }
        strRate = file.value(QStringLiteral("sweep/rate")).toString();
    });
    if (!bRead || file.status() != QSettings::NoError) {
        *pstrWhy = QStringLiteral("%1 cannot be read").arg(strFile);
        return false;
    }
    QStringList listWhy;
    QString strWhy;
    if (!parseList(listText, &pList->listTarget, &strWhy))
        listWhy << strWhy;
    bool bOk = true;
    const int iRate = strRate.toInt(&bOk);
    if (!strRate.isEmpty() && (!bOk || iRate < 1 || iRate > kMaxSweepRate))
        listWhy << QCoreApplication::translate("PollTargets",
                                               "sweep rate \"%1\" is not 1 to %2 datagrams a second")
                       .arg(shown(strRate))
                       .arg(kMaxSweepRate);
    else if (!strRate.isEmpty())
        pList->iSweepRate = iRate;
    if (!listWhy.isEmpty())
        *pstrWhy = QStringLiteral("%1: %2").arg(strFile, listWhy.join(QStringLiteral("; ")));
    return listWhy.isEmpty();
}

bool PollTargets::writeFile(const QString& strFile, const PollTargetList& list)
{
    const QFileInfo info(strFile);
    if (info.exists() && !info.isFile())
        return false;
    QSettings::Status status = QSettings::NoError;
    writeSettingsGuarded([&] { return std::make_unique<QSettings>(strFile, QSettings::IniFormat); },
                         [&](QSettings& file) {
                             file.clear();
                             for (int i = 0; i < list.listTarget.size(); ++i)
                                 file.setValue(QStringLiteral("%1/target").arg(i),
                                               list.listTarget.at(i).text());
                             if (list.iSweepRate != kDefaultSweepRate)
                                 file.setValue(QStringLiteral("sweep/rate"), list.iSweepRate);
                             file.sync();
                             status = file.status();
                         });
    return status == QSettings::NoError;
}

quint32 PollTargets::routeSource(quint32 uiAddress)
{
    quint32 uiSource = 0;
#ifdef Q_OS_LINUX
    // Connecting a datagram socket only asks the routing table for the source address.
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(51230);
    sa.sin_addr.s_addr = htonl(uiAddress);
    sockaddr_in local{};
    socklen_t iLen = sizeof local;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &iLen) == 0)
        uiSource = ntohl(local.sin_addr.s_addr);
    if (fd >= 0)
        close(fd);
#else
    Q_UNUSED(uiAddress)
#endif
    return uiSource;
}
