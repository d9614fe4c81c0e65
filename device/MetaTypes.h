#pragma once

#include <QHostAddress>
#include <QMetaType>

Q_DECLARE_METATYPE(QHostAddress)

// Registers the argument types of the signals that cross into and out of "UdpThread"
// (QNetworkDatagram, QList<unsigned int>, bool&, QHostAddress, the reply queue and the polled targets). Safe
// to call more than once.
void registerDeviceMetaTypes();
