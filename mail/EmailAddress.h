#pragma once

#include <QObject>
#include <QString>

// One mailbox: a display name (the console always leaves it empty) and the address proper.
class EmailAddress : public QObject
{
    Q_OBJECT
public:
    explicit EmailAddress(const QString& address = QString(), const QString& name = QString());

    QString getAddress() const { return address; }

private:
    QString name;
    QString address;
};
