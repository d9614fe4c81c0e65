#include "history/HistoryCsv.h"

#include "common/DeviceText.h"

#include <QDateTime>

namespace HistoryCsv {

QString field(const QString& strValue)
{
    return csvField(strValue);
}

QString time(qint64 iMsecsSinceEpoch, bool bMsecs)
{
    const QDateTime dtLocal = QDateTime::fromMSecsSinceEpoch(iMsecsSinceEpoch);
    return dtLocal.toOffsetFromUtc(dtLocal.offsetFromUtc())
        .toString(bMsecs ? Qt::ISODateWithMs : Qt::ISODate);
}

QString line(const QStringList& listFields)
{
    QStringList listOut;
    for (const QString& strField : listFields)
        listOut << field(strField);
    return listOut.join(QLatin1Char(',')) + QLatin1String("\r\n");
}

QList<QStringList> parse(const QString& strText)
{
    QList<QStringList> listRows;
    QStringList listRow;
    QString strField;
    bool bQuoted = false;
    for (int i = 0; i < strText.size(); ++i) {
        const QChar c = strText.at(i);
        if (bQuoted) {
            if (c == QLatin1Char('"') && i + 1 < strText.size() && strText.at(i + 1) == QLatin1Char('"')) {
                strField += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                bQuoted = false;
            } else {
                strField += c;
            }
        } else if (c == QLatin1Char('"')) {
            bQuoted = true;
        } else if (c == QLatin1Char(',')) {
            listRow << strField;
            strField.clear();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < strText.size() && strText.at(i + 1) == QLatin1Char('\n'))
                ++i;
            listRows << (listRow << strField);
            listRow.clear();
            strField.clear();
        } else {
            strField += c;
        }
    }
    if (!strField.isEmpty() || !listRow.isEmpty())
        listRows << (listRow << strField);
    return listRows;
}

} // namespace HistoryCsv
