#pragma once

#include <QString>

class CPdu;

// How the device screens tie a row or a selection to a device: by the dotted address text alone.

// The address a text names, first octet in the top byte, or 0 when it names none.
uint parseAddress(const QString& strText);
// The first registered device reporting this address; null without a registry or such a device.
CPdu* findPdu(uint uiAddress);
// The device a row or table cell names by its address text; null when the text names no address (the
// group rows), even though such a text parses to 0 like a device reporting 0.0.0.0.
CPdu* findPduByText(const QString& strAddressText);
