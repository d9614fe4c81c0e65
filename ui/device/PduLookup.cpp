#include "ui/device/PduLookup.h"

#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"

#include <QHostAddress>

uint parseAddress(const QString& strText)
{
    bool bOk = false;
    const uint uiAddress = QHostAddress(strText).toIPv4Address(&bOk);
    return bOk ? uiAddress : 0;
}

CPdu* findPdu(uint uiAddress)
{
    if (!g_pRackmind)
        return nullptr;
    for (CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
        if (ipv4ToUint(pPdu->stInfo.ip) == uiAddress)
            return pPdu;
    return nullptr;
}

CPdu* findPduByText(const QString& strAddressText)
{
    bool bOk = false;
    const uint uiAddress = QHostAddress(strAddressText).toIPv4Address(&bOk);
    return bOk ? findPdu(uiAddress) : nullptr;
}
