#pragma once

#include "mail/MimePart.h"

// A "text/plain" part in UTF-8.
class MimeText : public MimePart
{
    Q_OBJECT
public:
    explicit MimeText(const QString& text = QString());

    void setText(const QString& strText) { text = strText; }

    void prepare() override;

protected:
    QString text;
};
