#pragma once

#include <QString>
#include <QTextStream>

struct CtlPdu;

enum class HistoryFormat
{
    Text, // tab-separated, a header line first
    Csv,
    Json // an array of objects, numbers as numbers
};

// The history store read: strGiven when not empty, else RACKMIND_HISTORY, else the invoking user's console
// store, else this machine's service's. kExitOk, or the exit code with the reason told on err.
int findStore(const QString& strGiven, QString* pstrPath, QTextStream& err);

// `history`: the stored readings of one PDU between two times; an empty strTo is now, an empty strFrom
// 24 hours before strTo.
int printHistory(const QString& strPdu, const QString& strFrom, const QString& strTo, HistoryFormat format,
                 QTextStream& out, QTextStream& err);

// An override of protected outlets, written to the event log of the history store `history` reads: the
// invoking user's console, else this machine's service.
void logForcedSwitch(const QString& strMac, const QString& strPdu, const QString& strOutlets,
                     const QString& strAction);
