#pragma once

#include <QHostAddress>
#include <QMetaType>

Q_DECLARE_METATYPE(QHostAddress)

// Registers the argument types of the signals that cross into and out of "UdpThread"
// (QNetworkDatagram, QList<unsigned int>, bool&, QHostAddress and the reply queue). Safe to call more than
// once.
void registerDeviceMetaTypes();
