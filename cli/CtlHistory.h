#pragma once

#include "device/PollTargets.h"
#include "history/HistoryCodec.h"

#include <QList>
#include <QString>
#include <QTextStream>
#include <QVector>

enum class HistoryFormat
{
    Text, // tab-separated, a header line first
    Csv,
    Json // an array of objects, numbers as numbers
};

// Where this machine's service keeps its state (history, port list): its unit's state folder, which
// systemd keeps in /var/lib; $RACKMIND_SERVICE_STATE when set.
QString serviceStateDir();

// The ports this machine's service polls (port.prt in its state folder); none when it cannot be read.
QList<uint> servicePorts();
// The addresses and subnets it polls by unicast (target.prt there), with its sweep's pace.
PollTargetList serviceTargets();

// The history store `history` reads: RACKMIND_HISTORY when set, else the invoking user's console store,
// else this machine's service's; empty when none exists.
QString historyStorePath();

// The history store read: strGiven when not empty, else RACKMIND_HISTORY, else the invoking user's console
// store, else this machine's service's. kExitOk, or the exit code with the reason told on err.
int findStore(const QString& strGiven, QString* pstrPath, QTextStream& err);

// `history`: the stored readings of one PDU between two times; an empty strTo is now, an empty strFrom
// 24 hours before strTo.
int printHistory(const QString& strPdu, const QString& strFrom, const QString& strTo, HistoryFormat format,
                 QTextStream& out, QTextStream& err);

// --from and --to as milliseconds since 1970 (the defaults above); false, told on err, when they are no
// times or out of order.
bool historySpan(const QString& strFrom, const QString& strTo, qint64* piFrom, qint64* piTo,
                 QTextStream& err);
// The rows of `history` (the averages of each span), wherever they were read.
void printSeries(const QVector<HistoryAggregate>& series, HistoryFormat format, QTextStream& out);
