#pragma once

#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "tools/pdusim/SimThread.h"

#include <cstring>

// The console's device for simulated unit iUnit (1-based): the one reporting the unit's MAC, since two
// units may report one address. Null until the unit's network reply has told its MAC.
inline CPdu* pduOfUnit(const CRackmind& registry, CSimThread& sim, int iUnit)
{
    const QByteArray baMac = sim.call([iUnit](CSimFleet& fleet) { return fleet.device(iUnit)->st.mac; });
    for (CPdu* pPdu : registry.listPdu)
        if (baMac.size() == 6 && std::memcmp(pPdu->stInfo.mac, baMac.constData(), 6) == 0)
            return pPdu;
    return nullptr;
}
