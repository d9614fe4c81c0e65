#include "device/MetaTypes.h"

#include "device/PollTargets.h"
#include "device/ReplyQueue.h"

#include <QList>
#include <QNetworkDatagram>

void registerDeviceMetaTypes()
{
    qRegisterMetaType<QNetworkDatagram>("QNetworkDatagram");
    // Registering the list also registers its conversion to QSequentialIterable.
    qRegisterMetaType<QList<uint>>("QList<unsigned int>");
    // A queued bool& travels as a copy; a blocking queued one writes straight back to the caller.
    qRegisterMetaType<bool>("bool&");
    qRegisterMetaType<QHostAddress>("QHostAddress");
    qRegisterMetaType<std::shared_ptr<CReplyQueue>>();
    qRegisterMetaType<PollTargetList>();
}
