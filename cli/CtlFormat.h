#pragma once

#include <QJsonObject>
#include <QString>

struct CtlPdu;

// Outlet states as eight digits, outlet 1 first: "10100000" is outlets 1 and 3 on.
QString outletBits(quint8 status);

// One line of `list`: address, MAC, name, position, online, V, A, °C, %RH, outlets (1 = on, outlet 1
// first).
QString pduLine(const CtlPdu& pdu);
// The readings and identity of `list --json`; bFull adds thresholds, delays and outlet names (`show`).
QJsonObject pduJson(const CtlPdu& pdu, bool bFull);
// `show` for a reader: one "key: value" a line.
QString pduText(const CtlPdu& pdu);
