#include "cli/CtlTarget.h"

#include "cli/CtlLink.h"
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
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(pdu.info.mac), 6).toHex(':').toUpper());
}

QString addressText(const CtlPdu& pdu)
{
    return ipv4ToString(pdu.uiSender);
}

QString nameText(const CtlPdu& pdu)
{
    return textToString(pdu.info.name, int(sizeof pdu.info.name));
}

const CtlPdu* resolvePdu(const QList<const CtlPdu*>& listPdus, const QString& strText, QStringList* pMatches)
{
    pMatches->clear();
    QHostAddress addr;
    if (addr.setAddress(strText) && addr.protocol() == QAbstractSocket::IPv4Protocol) {
        // The address it answers from first: several PDUs may still report the same factory address.
        for (const CtlPdu* pPdu : listPdus)
            if (pPdu->uiSender == addr.toIPv4Address())
                return pPdu;
        for (const CtlPdu* pPdu : listPdus)
            if (ipv4ToUint(pPdu->info.ip) == addr.toIPv4Address())
                return pPdu;
        return nullptr;
    }
    const QString strMac = bareMac(strText);
    if (QRegularExpression(QStringLiteral("^[0-9A-F]{12}$")).match(strMac).hasMatch()) {
        for (const CtlPdu* pPdu : listPdus)
            if (bareMac(macText(*pPdu)) == strMac)
                return pPdu;
        // Twelve hex digits may still be somebody's name.
    }
    QList<const CtlPdu*> listNamed;
    for (const CtlPdu* pPdu : listPdus)
        if (nameText(*pPdu) == strText)
            listNamed.append(pPdu);
    if (listNamed.size() == 1)
        return listNamed.first();
    for (const CtlPdu* pPdu : listNamed)
        pMatches->append(addressText(*pPdu) + QLatin1Char(' ') + macText(*pPdu));
    return nullptr;
}
