#include "cli/CtlProtection.h"

#include "settings/Settings.h"
#include "cli/CtlLink.h"

#include <QSettings>

CCtlProtection::CCtlProtection()
{
    const QString strText = openSettingsStore()->value(QStringLiteral("Outlets/Protected")).toString();
    for (const QString& strEntry : strText.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        m_setEntries.insert(strEntry.toUpper());
}

bool CCtlProtection::isProtected(const CtlPdu& pdu, int iOutlet) const
{
    const QByteArray baMac(reinterpret_cast<const char*>(pdu.info.mac), 6);
    return m_setEntries.contains(QString::fromLatin1(baMac.toHex().toUpper()) + QLatin1Char('/') +
                                 QString::number(iOutlet));
}
