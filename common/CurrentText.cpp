#include "common/CurrentText.h"

QString currentOnScreen(double dAmps)
{
    return QString::number(dAmps, 'f', 2);
}

QString currentInMail(double dAmps)
{
    return QString::number(dAmps, 'g', 6);
}

QString currentInCsv(double dAmps)
{
    return QString::number(dAmps, 'f', 2);
}

QString currentReading(double dAmps)
{
    return QString::number(dAmps, 'f', 1);
}
