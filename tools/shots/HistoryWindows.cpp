#include "common/Clock.h"
#include "history/HistoryStore.h"
#include "tools/shots/Shot.h"
#include "tools/shots/Windows.h"
#include "ui/history/HistoryWindow.h"

#include <QComboBox>
#include <QDir>

#include <cmath>

bool shootHistory(CShot& shot)
{
    // A day of one PDU, polled every second as the console does (energy counts only between polls a few
    // seconds apart): the console was not running for two hours (nothing recorded) and the PDU was
    // offline for one (recorded as such).
    CHistoryStore store(QDir::current().filePath(QStringLiteral("history.sqlite")));
    if (!store.isAvailable())
        return fail(store.unavailableReason());
    const QString strMac = QStringLiteral("00:04:A3:0B:0C:0D");
    const qint64 iNow = Clock::now().toMSecsSinceEpoch();
    const qint64 iHour = 3600 * 1000;
    for (qint64 t = iNow - 24 * iHour; t <= iNow; t += 1000) {
        const qint64 iAgo = iNow - t;
        if (iAgo > 14 * iHour && iAgo < 16 * iHour)
            continue;
        HistorySample sample;
        sample.iMsecs = t;
        // Offline samples carry the outlets as last known and no readings.
        sample.bOnline = !(iAgo > 6 * iHour && iAgo < 7 * iHour);
        sample.uiOutlets = iAgo > 10 * iHour ? 0x0F : 0x3B;
        if (!sample.bOnline) {
            store.addSample(strMac, sample);
            continue;
        }
        const double dPhase = double(t % (6 * iHour)) / double(6 * iHour) * 2 * M_PI;
        sample.uiVoltage = quint16(229 + 4 * std::sin(dPhase));
        sample.uiCentiAmps = quint16(420 + 180 * std::sin(dPhase * 2));
        sample.uiTemperature = quint8(26 + 3 * std::sin(dPhase));
        sample.uiHumidity = quint8(45 + 5 * std::cos(dPhase));
        store.addSample(strMac, sample);
    }
    store.flush();
    auto* pWindow = new CHistoryWindow(strMac, nullptr, &store);
    pWindow->findChild<QComboBox*>(QStringLiteral("ComboSpan"))->setCurrentIndex(1);
    pWindow->show();
    const bool bOk = shot.save(*pWindow, QStringLiteral("history-window"));
    delete pWindow;
    return bOk;
}
