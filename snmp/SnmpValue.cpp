#include "snmp/SnmpValue.h"

#include <QStringList>

Oid oidFromText(const QString& strText)
{
    Oid oid;
    const QStringList listParts = strText.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    for (const QString& strPart : listParts) {
        bool bOk = false;
        const uint ui = strPart.toUInt(&bOk);
        if (!bOk)
            return {};
        oid << ui;
    }
    return oid;
}

QString oidText(const Oid& oid)
{
    QStringList list;
    for (quint32 ui : oid)
        list << QString::number(ui);
    return list.join(QLatin1Char('.'));
}

Oid operator+(const Oid& oid, std::initializer_list<quint32> list)
{
    Oid result = oid;
    for (quint32 ui : list)
        result << ui;
    return result;
}

bool oidStartsWith(const Oid& oid, const Oid& prefix)
{
    return oid.size() >= prefix.size() && std::equal(prefix.cbegin(), prefix.cend(), oid.cbegin());
}

QString SnmpValue::toText() const
{
    switch (eType) {
    case Integer:
        return QStringLiteral("i:") + QString::number(iValue);
    case OctetString:
        return bBinary ? QStringLiteral("x:") + QString::fromLatin1(baValue.toHex())
                       : QStringLiteral("s:") + QString::fromUtf8(baValue);
    case ObjectId:
        return QStringLiteral("o:") + oidText(oidValue);
    case TimeTicks:
        return QStringLiteral("t:") + QString::number(iValue);
    case Unsigned:
        return QStringLiteral("u:") + QString::number(iValue);
    }
    return {};
}

bool SnmpValue::operator==(const SnmpValue& other) const
{
    return eType == other.eType && iValue == other.iValue && baValue == other.baValue &&
           oidValue == other.oidValue && bBinary == other.bBinary;
}
