#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct CtlPdu;

// Exit status of rackmind-ctl; scripts branch on these.
enum CtlExit
{
    kExitOk = 0,
    kExitFailure = 1,     // the network could not be opened, or another failure
    kExitUsage = 2,       // bad arguments, an ambiguous PDU name
    kExitNotFound = 3,    // no PDU matches
    kExitNoConfirm = 4,   // the PDU did not show the new state in time
    kExitProtected = 5,   // refused: a protected outlet, no --force
    kExitUnavailable = 6, // the history store is not there
    kExitService = 7,     // --service: it did not answer, or its certificate was not accepted
    kExitDenied = 8,      // --service: it refused the credentials, or the user lacks the role
};

// "1,3-5" or "all" into outlet numbers 1..8, ascending and each once; false on anything else.
bool parseOutletList(const QString& strText, QList<int>* pList);

// The PDU an operator means: an address (the one it answers from wins over the one it reports), a MAC
// address (any of : - or no separator, any case) or a name. Several PDUs with the same name, MAC or
// reported address are no answer: pMatches then lists them and nullptr returns.
const CtlPdu* resolvePdu(const QList<const CtlPdu*>& listPdus, const QString& strText, QStringList* pMatches);

// The MAC as shown: AA:BB:CC:DD:EE:FF.
QString macText(const CtlPdu& pdu);
// A MAC address as twelve upper-case hex digits, whatever separators it was written with.
QString bareMac(const QString& strText);
QString addressText(const CtlPdu& pdu);
QString nameText(const CtlPdu& pdu);
