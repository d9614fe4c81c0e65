#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// One body part: its headers and raw content, rendered into mimeString on demand.
class MimePart : public QObject
{
    Q_OBJECT
public:
    enum Encoding
    {
        Encoding7Bit = 0,
        Encoding8Bit = 1,
        EncodingBase64 = 2,
        EncodingQuotedPrintable = 3
    };
    Q_ENUM(Encoding)

    MimePart();

    virtual QString toString();
    virtual void prepare();

    void setContent(const QByteArray& baContent) { content = baContent; }
    QByteArray getContent() const { return content; }
    QString getBoundary() const { return boundary; }

    // The word the "Content-Transfer-Encoding:" header carries for an encoding.
    static QString encodingName(Encoding encoding);

protected:
    QByteArray content;
    QString contentType;
    QString charset;
    QString boundary;
    Encoding encoding = Encoding8Bit;
    QString mimeString;
    bool prepared = false;
};
