#pragma once

#include <QString>

// An override of protected outlets, as it goes on record.
struct CtlOverride
{
    QString strMac;
    QString strPdu;     // the PDU's name
    QString strAddress; // where it answered from
    QString strOutlets; // "3,4"
    QString strAction;  // off or cycle
};

// Puts the override on record before anything is switched: in the event log of the history store that
// `history` reads when the invoking user can write it (root writes it as the store's owner, never as
// root), and in the system journal. False, with the reasons on pstrWhy, when neither took it; pstrWhere
// tells where it went.
bool recordOverride(const CtlOverride& ov, QString* pstrWhere, QString* pstrWhy);
