#pragma once

#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QTemporaryDir>
#include <cstring>
#include <memory>

// A registry of the test's own, installed as the process-wide one for the test's lifetime.
class RegistryFixture
{
public:
    RegistryFixture() : m_pRegistry(std::make_unique<CRackmind>(nullptr)) { g_pRackmind = m_pRegistry.get(); }
    ~RegistryFixture()
    {
        if (g_pRackmind == m_pRegistry.get())
            g_pRackmind = nullptr;
    }

    CRackmind* registry() const { return m_pRegistry.get(); }
    CPdu* add(const char* pszAddress)
    {
        return m_pRegistry->addPdu(QHostAddress(QLatin1String(pszAddress)).toIPv4Address());
    }

private:
    std::unique_ptr<CRackmind> m_pRegistry;
};

// Any datagram from the device's address keeps it online, whatever it carries.
inline void markOnline(CPdu* pPdu)
{
    pPdu->slotRcvData(QByteArray(1, char(0)));
}

template <int N> void setText(char (&field)[N], const QByteArray& baText)
{
    std::memset(field, 0, N);
    std::memcpy(field, baText.constData(), size_t(qMin(N, baText.size())));
}

// Sends recorded by a device's signalSndData.
struct SentFrames
{
    struct Frame
    {
        QByteArray baData;
        QHostAddress addrDest;
        uint uiPort;
    };
    QList<Frame> listFrames;

    explicit SentFrames(CPdu* pPdu)
    {
        QObject::connect(pPdu, &CPdu::signalSndData,
                         [this](bool&, QByteArray baData, QHostAddress addrDest, uint uiPort) {
                             listFrames.append({baData, addrDest, uiPort});
                         });
    }
};
