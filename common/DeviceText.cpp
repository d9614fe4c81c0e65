#include "common/DeviceText.h"

#include <QByteArray>

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

QString terminalText(QString strText)
{
    for (QChar& ch : strText)
        if (ch.category() == QChar::Other_Control || ch.category() == QChar::Separator_Line ||
            ch.category() == QChar::Separator_Paragraph || (ch >= QChar(0x202a) && ch <= QChar(0x202e)) ||
            (ch >= QChar(0x2066) && ch <= QChar(0x2069)))
            ch = QChar::ReplacementCharacter;
    return strText;
}
