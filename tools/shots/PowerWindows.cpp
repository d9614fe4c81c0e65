#include "common/Clock.h"
#include "common/DeviceText.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "history/HistoryStore.h"
#include "power/CapacityFigures.h"
#include "settings/GroupSettings.h"
#include "tools/bench/CapacityBench.h"
#include "tools/bench/MonthFill.h"
#include "tools/shots/Shot.h"
#include "tools/shots/Windows.h"
#include "ui/power/PowerWindow.h"

#include <QDir>
#include <QHeaderView>
#include <QTreeWidget>

bool shootPower(CShot& shot)
{
    // Nine PDUs with a month and more behind them, in three circuits and the default group: one circuit
    // comfortably within its budget, one over it, one at its breaker. The devices are registered
    // directly: no socket is opened.
    const QString strPath = QDir::current().filePath(QStringLiteral("history.sqlite"));
    const qint64 iNow = Clock::now().toMSecsSinceEpoch();
    const qint64 iFrom = CapacityFigures::spanStart(CapacityFigures::LastMonth, iNow);
    if (!fillMonth(strPath, 9, 3, iFrom, iNow))
        return fail(QStringLiteral("the month could not be filled"));
    CHistoryStore store(strPath);
    if (!store.isAvailable())
        return fail(store.unavailableReason());
    g_pRackmind = new CRackmind;
    const struct
    {
        const char* pszName;
        const char* pszGroup;
        double dAmps;
    } aDevices[] = {
        {"Row A rack 1", "Row A", 6.2}, {"Row A rack 2", "Row A", 4.8},  {"Row A rack 3", "Row A", 3.1},
        {"Row B rack 1", "Row B", 7.4}, {"Row B rack 2", "Row B", 6.9},  {"Lab bench", "Lab", 5.6},
        {"Lab storage", "Lab", 4.9},    {"Core switch", "Default", 2.3}, {"Spare", "Default", -1}};
    setGroupBudget(QStringLiteral("Row A"), {20, 0.8});
    setGroupBudget(QStringLiteral("Row B"), {16, 0.8});
    setGroupBudget(QStringLiteral("Lab"), {10, 0.8});
    const QList<CPdu*> listDevices = addStoredDevices(strPath, 0x0AC80101);
    for (int i = 0; i < 9 && i < listDevices.size(); ++i) {
        CPdu* pPdu = listDevices.at(i);
        storeDeviceText(QString::fromLatin1(aDevices[i].pszName), pPdu->stInfo.name,
                        sizeof(pPdu->stInfo.name));
        pPdu->strGroup = QString::fromLatin1(aDevices[i].pszGroup);
        pPdu->stInfo.voltage = 229 + i % 3;
        pPdu->stInfo.current = qMax(0.0, aDevices[i].dAmps);
        if (aDevices[i].dAmps < 0)
            pPdu->iLastRcvMsecs = CPdu::kNever;
    }
    auto* pWindow = new CPowerWindow(&store);
    pWindow->resize(1560, 520);
    pWindow->show();
    if (!waitFor([pWindow] { return pWindow->figuresShown(); }, 30000))
        return fail(QStringLiteral("the figures were not read"));
    pWindow->tree()->sortByColumn(CPowerWindow::ColumnHeadroom, Qt::AscendingOrder);
    pWindow->tree()->setCurrentItem(nullptr);
    pWindow->tree()->clearSelection();
    const bool bOk = shot.save(*pWindow, QStringLiteral("power-window"));
    delete pWindow;
    delete g_pRackmind;
    g_pRackmind = nullptr;
    return bOk;
}
