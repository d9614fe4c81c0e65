#pragma once

#include <QSet>
#include <QString>

struct CtlPdu;

// Protected outlets as the console keeps them in its settings store: the key "Outlets/Protected",
// entries "MAC/outlet" (MAC as 12 upper-case hex digits) separated by spaces. The one place the
// command line reads them, so that the format is aligned with the console's in one spot.
class CCtlProtection
{
public:
    // Reads the current user's settings store.
    CCtlProtection();
    bool isProtected(const CtlPdu& pdu, int iOutlet) const;

private:
    QSet<QString> m_setEntries;
};
