#include "service/SystemdNotify.h"

#include <QString>

#include <systemd/sd-daemon.h>

void notifyServiceManager(const QString& strState)
{
    sd_notify(0, strState.toUtf8().constData());
}
