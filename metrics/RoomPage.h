#pragma once

#include <QByteArray>
#include <QList>

class CPdu;

// The endpoint's landing page: a small read-only HTML view of the room that reloads itself, laid out
// for a phone as well as a desk. Every text that comes from a device is escaped.
QByteArray renderRoomPage(const QList<CPdu*>& listPdu);

// Text as HTML character data or attribute value: markup characters and quotes as references,
// control characters dropped.
QByteArray htmlEscaped(const QString& strText);
