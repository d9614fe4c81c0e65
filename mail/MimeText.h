#pragma once

#include "mail/MimePart.h"

// A "text/plain" part in UTF-8.
class MimeText : public MimePart
{
    Q_OBJECT
public:
    explicit MimeText(const QString& text = QString());

    void setText(const QString& strText) { text = strText; }
    QString getText() const { return text; }

    void prepare() override;

protected:
    QString text;
};
