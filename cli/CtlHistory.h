#pragma once

#include <QString>
#include <QTextStream>

struct CtlPdu;

// `history`: the stored readings of one PDU between two times. This is where the history store plugs
// in; a build without it says so and returns kExitUnavailable.
int printHistory(const QString& strPdu, const QString& strFrom, const QString& strTo, bool bCsv,
                 QTextStream& out, QTextStream& err);
