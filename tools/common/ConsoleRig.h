#pragma once

#include "app/LoginDialog.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "room/Room.h"
#include "tools/common/SimUnit.h"
#include "ui/device/DeviceOverviewWidget.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTreeWidget>

// The console's room as the login builds it (outlet control, group alarms, the history recorder when
// given a store), with its journal and protection list in a folder of its own, and the overview page
// fed by the registry. Lives in the bed's console namespace.
class ConsoleRig : public QObject
{
public:
    explicit ConsoleRig(QObject* parent = nullptr, CHistoryStore* pHistoryStore = nullptr)
        : QObject(parent), m_room(options(m_dir, pHistoryStore))
    {
        m_room.build();
        CLoginDialog::feedOverview(&m_room, &overview);
    }

    // Starts polling as the login does (or faster), waiting for the transport's answer.
    bool start(uint uiRate = 1000)
    {
        RoomOptions opts = m_room.options();
        opts.uiUpdateRate = uiRate;
        m_room.setOptions(opts);
        return m_room.start();
    }

    CRoom& room() { return m_room; }
    CRackmind* registry() const { return m_room.registry(); }
    // Lives in "UdpThread": touch it only through calls queued to that thread (or direct connections).
    CUdpDriver* driver() const { return m_room.driver(); }

    CDeviceOverviewWidget overview;

    // The overview row of simulated unit iUnit's device, or null.
    QTreeWidgetItem* rowOf(CSimThread& sim, int iUnit) const
    {
        return overview.rowOf(pduOfUnit(*registry(), sim, iUnit));
    }

private:
    static RoomOptions options(const QTemporaryDir& dir, CHistoryStore* pHistoryStore)
    {
        RoomOptions opts;
        opts.pHistoryStore = pHistoryStore;
        opts.bMail = false;
        opts.strCycleJournal = QDir(dir.path()).filePath(QStringLiteral("cycles.json"));
        opts.strProtectionList = QDir(dir.path()).filePath(QStringLiteral("protected-outlets"));
        return opts;
    }

    QTemporaryDir m_dir;
    CRoom m_room; // after the folder it keeps its files in, so that it stops first
};
