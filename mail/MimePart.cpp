#include "mail/MimePart.h"

MimePart::MimePart() = default;

QString MimePart::toString()
{
    if (!prepared)
        prepare();
    return mimeString;
}

void MimePart::prepare()
{
    mimeString = QStringLiteral("Content-Type: ") + contentType;
    if (!charset.isEmpty())
        mimeString += QStringLiteral("; charset=") + charset;
    if (!boundary.isEmpty())
        mimeString += QStringLiteral("; boundary=") + boundary;
    mimeString += QStringLiteral("\r\n");
    // Bodies are never re-encoded: every part travels as 8-bit UTF-8 text.
    mimeString +=
        QStringLiteral("Content-Transfer-Encoding: ") + encodingName(Encoding8Bit) + QStringLiteral("\r\n");
    mimeString += QStringLiteral("\r\n");
    mimeString += QString::fromUtf8(content);
    mimeString += QStringLiteral("\r\n");
    prepared = true;
}

QString MimePart::encodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding7Bit:
        return QStringLiteral("7bit");
    case Encoding8Bit:
        return QStringLiteral("8bit");
    case EncodingBase64:
        return QStringLiteral("base64");
    case EncodingQuotedPrintable:
        return QStringLiteral("quoted-printable");
    }
    return QStringLiteral("8bit");
}
