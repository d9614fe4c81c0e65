#pragma once

#include <QString>
#include <QTextStream>

struct CtlPdu;

// `history`: the stored readings of one PDU between two times. This is where the history store plugs
// in; a build without it says so and returns kExitUnavailable.
int printHistory(const QString& strPdu, const QString& strFrom, const QString& strTo, bool bCsv,
                 QTextStream& out, QTextStream& err);

// An override of protected outlets, written to the event log of the history store `history` reads: the
// invoking user's console, else this machine's service.
void logForcedSwitch(const QString& strMac, const QString& strPdu, const QString& strOutlets,
                     const QString& strAction);
