#include "history/HistoryCsv.h"

namespace HistoryCsv {

QString field(const QString& strValue)
{
    // A leading sign would make a spreadsheet run the field as a formula.
    const bool bFormula =
        !strValue.isEmpty() && QStringLiteral("=+-@").contains(strValue.at(0)) &&
        !(strValue.at(0) == QLatin1Char('-') && strValue.size() > 1 && strValue.at(1).isDigit());
    const QString strText = bFormula ? QLatin1Char('\'') + strValue : strValue;
    if (!strText.contains(QLatin1Char(',')) && !strText.contains(QLatin1Char('"')) &&
        !strText.contains(QLatin1Char('\n')) && !strText.contains(QLatin1Char('\r')))
        return strText;
    QString strQuoted = strText;
    strQuoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + strQuoted + QLatin1Char('"');
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
