#include "cli/CtlTarget.h"

#include "cli/CtlLink.h"
#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/Protocol.h"

#include <QHostAddress>
#include <QRegularExpression>

bool parseOutletList(const QString& strText, QList<int>* pList)
{
    pList->clear();
    if (strText == QLatin1String("all")) {
        for (int i = 1; i <= 8; ++i)
            pList->append(i);
        return true;
    }
    quint8 mask = 0;
    static const QRegularExpression reItem(QStringLiteral("^([1-8])(?:-([1-8]))?$"));
    for (const QString& strItem : strText.split(QLatin1Char(','))) {
        const QRegularExpressionMatch m = reItem.match(strItem);
        if (!m.hasMatch())
            return false;
        const int iFirst = m.captured(1).toInt();
        const int iLast = m.captured(2).isEmpty() ? iFirst : m.captured(2).toInt();
        if (iLast < iFirst)
            return false;
        for (int i = iFirst; i <= iLast; ++i)
            mask |= quint8(1u << (i - 1));
    }
    for (int i = 1; i <= 8; ++i)
        if (mask & (1u << (i - 1)))
            pList->append(i);
    return true;
}

QString bareMac(const QString& strText)
{
    QString strMac = strText.toUpper();
    return strMac.remove(QRegularExpression(QStringLiteral("[:-]")));
}

QString macText(const CtlPdu& pdu)
{
    return macDisplay(pdu.info.mac);
}

QString addressText(const CtlPdu& pdu)
{
    return ipv4ToString(pdu.uiSender);
}

QString nameText(const CtlPdu& pdu)
{
    return deviceText(pdu.info.name);
}

namespace {
// One PDU, or none with the matches listed: a name, MAC or reported address two PDUs share is no answer.
const CtlPdu* single(const QList<const CtlPdu*>& listFound, QStringList* pMatches)
{
    if (listFound.size() == 1)
        return listFound.first();
    for (const CtlPdu* pPdu : listFound)
        pMatches->append(addressText(*pPdu) + QLatin1Char(' ') + macText(*pPdu) + QLatin1Char(' ') +
                         terminalText(nameText(*pPdu)));
    return nullptr;
}
} // namespace

const CtlPdu* resolvePdu(const QList<const CtlPdu*>& listPdus, const QString& strText, QStringList* pMatches)
{
    pMatches->clear();
    QList<const CtlPdu*> listFound;
    // Twelve hex digits first: all-digit MACs would otherwise read as a 32-bit address.
    const QString strMac = bareMac(strText);
    const bool bMac = QRegularExpression(QStringLiteral("^[0-9A-F]{12}$")).match(strMac).hasMatch() &&
                      QRegularExpression(QStringLiteral("^[0-9A-Fa-f]{2}([:-]?[0-9A-Fa-f]{2}){5}$"))
                          .match(strText)
                          .hasMatch();
    if (bMac) {
        for (const CtlPdu* pPdu : listPdus)
            if (bareMac(macText(*pPdu)) == strMac)
                listFound.append(pPdu);
        if (!listFound.isEmpty())
            return single(listFound, pMatches);
        // Twelve hex digits may still be somebody's name.
    }
    QHostAddress addr;
    if (!bMac && addr.setAddress(strText) && addr.protocol() == QAbstractSocket::IPv4Protocol) {
        // The address a PDU answers from is its own; a reported one may be stale or copied.
        for (const CtlPdu* pPdu : listPdus)
            if (pPdu->uiSender == addr.toIPv4Address())
                return pPdu;
        for (const CtlPdu* pPdu : listPdus)
            if (ipv4ToUint(pPdu->info.ip) == addr.toIPv4Address())
                listFound.append(pPdu);
        return single(listFound, pMatches);
    }
    for (const CtlPdu* pPdu : listPdus)
        if (nameText(*pPdu) == strText)
            listFound.append(pPdu);
    return single(listFound, pMatches);
}
