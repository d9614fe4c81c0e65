#include "common/DeviceText.h"

#include <QByteArray>
#include <QRegularExpression>

#include <cstring>

namespace {
// How many bytes the UTF-8 sequence started by this lead byte has; 0 for a byte that starts none.
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
// What may end a line, drive a terminal or reorder what follows: C0, DEL, C1 (NEL among them), the line
// and paragraph separators, and the direction marks, embeddings, overrides and isolates.
bool isHidden(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 || c == 0x200e || c == 0x200f ||
           c == 0x061c || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

QString escaped(const QString& strText, bool bQuote)
{
    QString str;
    str.reserve(strText.size());
    for (const QChar ch : strText) {
        const char16_t c = ch.unicode();
        if (c == u'\\' || (bQuote && c == u'"'))
            str += QLatin1Char('\\') + ch;
        else if (!isHidden(c))
            str += ch;
        else if (c == u'\n')
            str += QLatin1String("\\n");
        else if (c == u'\r')
            str += QLatin1String("\\r");
        else if (c == u'\t')
            str += QLatin1String("\\t");
        else if (c < 0x100)
            str += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
        else
            str += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    }
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

QString csvField(const QString& strText)
{
    static const QRegularExpression s_reNumber(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    QString str = escaped(strText, false);
    if (!str.isEmpty() && QStringLiteral("=+-@").contains(str.at(0)) && !s_reNumber.match(str).hasMatch())
        str.prepend(QLatin1Char('\''));
    if (!str.contains(QLatin1Char(',')) && !str.contains(QLatin1Char('"')))
        return str;
    str.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + str + QLatin1Char('"');
}

QString pdfText(const QString& strText)
{
    return escaped(strText, false);
}

QString labelText(QString strText)
{
    for (QChar& ch : strText)
        if (isHidden(ch.unicode()))
            ch = QChar::ReplacementCharacter;
    return strText;
}
