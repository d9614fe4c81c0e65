#include "common/DeviceText.h"

#include <QByteArray>
#include <QRegularExpression>

#include <cstring>

namespace {
// How many bytes the UTF-8 sequence started by this lead byte has; 0 for a byte
// that starts none.
int sequenceLength(uchar c)
{
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        return 2;
    if (c >= 0xE0 && c <= 0xEF)
        return 3;
    if (c >= 0xF0 && c <= 0xF4)
        return 4;
    return 0;
}

// The length of the field's text without a sequence the field's end cut short.
int withoutCutTail(const char* pField, int iLength)
{
    for (int i = iLength - 1; i >= 0 && i >= iLength - 3; --i) {
        const uchar c = uchar(pField[i]);
        if ((c & 0xC0) == 0x80)
            continue;
        const int iNeeded = sequenceLength(c);
        return iNeeded > iLength - i ? i : iLength;
    }
    return iLength;
}
} // namespace

QString deviceText(const char* pField, int iWidth)
{
    const void* pNul = std::memchr(pField, 0, size_t(iWidth));
    const int iLength = pNul ? int(static_cast<const char*>(pNul) - pField) : withoutCutTail(pField, iWidth);
    return QString::fromUtf8(pField, iLength);
}

void storeDeviceText(const QString& strText, char* pField, int iWidth)
{
    const QByteArray baText = strText.toUtf8();
    int iLength = 0;
    while (iLength < baText.size() && baText.at(iLength) != '\0') {
        const int iNext = iLength + qMax(1, sequenceLength(uchar(baText.at(iLength))));
        if (iNext > iWidth)
            break;
        iLength = iNext;
    }
    std::memset(pField, 0, size_t(iWidth));
    std::memcpy(pField, baText.constData(), size_t(iLength));
}

namespace {
// What may end a line, drive a terminal or reorder what follows: C0, DEL, C1
// (NEL among them), the line and paragraph separators, and the direction marks,
// embeddings, overrides and isolates.
bool isHidden(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 || c == 0x200e || c == 0x200f ||
           c == 0x061c || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

QString escaped(const QString& strText, bool)
{
    QString str = strText;
    for (QChar& ch : str)
        if (isHidden(ch.unicode()))
            ch = QChar::ReplacementCharacter;
    return str;
}
} // namespace

QString logText(const QString& strText)
{
    return escaped(strText, true);
}

QString terminalText(const QString& strText)
{
    return escaped(strText, false);
}

QString mailHeaderText(const QString& strText)
{
    return escaped(strText, false);
}

QString mailLineText(const QString& strText)
{
    return escaped(strText, false);
}

QString csvField(const QString& strValue)
{
    static const QRegularExpression s_reNumber(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const bool bFormula = !strValue.isEmpty() && QStringLiteral("=+-@\t\r\n").contains(strValue.at(0)) &&
                          !s_reNumber.match(strValue).hasMatch();
    const QString strText = bFormula ? QLatin1Char('\'') + strValue : strValue;
    if (!strText.contains(QLatin1Char(',')) && !strText.contains(QLatin1Char('"')) &&
        !strText.contains(QLatin1Char('\n')) && !strText.contains(QLatin1Char('\r')))
        return strText;
    QString strQuoted = strText;
    strQuoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + strQuoted + QLatin1Char('"');
}

QString pdfText(const QString& strText)
{
    return strText;
}

QString labelText(QString strText)
{
    for (QChar& ch : strText)
        if (isHidden(ch.unicode()))
            ch = QChar::ReplacementCharacter;
    return strText;
}
