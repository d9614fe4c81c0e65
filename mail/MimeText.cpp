#include "mail/MimeText.h"

MimeText::MimeText(const QString& text) : text(text)
{
    contentType = QStringLiteral("text/plain");
    charset = QStringLiteral("utf-8");
    encoding = Encoding8Bit;
}

void MimeText::prepare()
{
    content = text.toUtf8();
    MimePart::prepare();
}
