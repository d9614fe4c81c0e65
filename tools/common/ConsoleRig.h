#pragma once

#include "device/MetaTypes.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "ui/device/DeviceOverviewWidget.h"

#include <QThread>
#include <QTreeWidget>

// The console side as the login wires it: the transport on "UdpThread", the registry on this thread
// and the overview page fed by the registry. Lives in the bed's console namespace.
class ConsoleRig : public QObject
{
public:
    explicit ConsoleRig(QObject* parent = nullptr) : QObject(parent)
    {
        registerDeviceMetaTypes();
        m_thread.setObjectName(QStringLiteral("UdpThread"));
        m_pDriver = new CUdpDriver;
        m_pDriver->moveToThread(&m_thread);
        m_pRegistry = new CRackmind(nullptr);
        g_pRackmind = m_pRegistry;
        m_pRegistry->connectTransport(m_pDriver);
        connect(m_pRegistry, &CRackmind::signalNewDevice, &overview, &CDeviceOverviewWidget::slotNewDevice);
        connect(m_pRegistry, &CRackmind::signalChangeIP, &overview, &CDeviceOverviewWidget::slotChangeIP);
        m_thread.start();
        emit m_pRegistry->signalUpdateDevicePort(m_pRegistry->listDevicePort);
    }

    // As the program ends: the thread finishes first, then the driver is taken back and stopped here.
    ~ConsoleRig() override
    {
        delete m_pRegistry;
        g_pRackmind = nullptr;
        m_thread.quit();
        m_thread.wait();
        m_pDriver->moveToThread(QThread::currentThread());
        m_pDriver->slotStopBroadcast();
        delete m_pDriver;
    }

    // Starts polling as the login does (or faster), waiting for the transport's answer.
    bool start(uint uiRate = 1000)
    {
        bool bResult = false;
        QMetaObject::invokeMethod(
            m_pDriver, [&] { m_pDriver->slotStartBroadcast(bResult, 51230, uiRate); },
            Qt::BlockingQueuedConnection);
        return bResult;
    }

    CRackmind* registry() const { return m_pRegistry; }
    // Lives in "UdpThread": touch it only through calls queued to that thread (or direct connections).
    CUdpDriver* driver() const { return m_pDriver; }

    CDeviceOverviewWidget overview;

    // The overview row in the default group showing this address, or null.
    QTreeWidgetItem* rowOf(const QString& strAddress) const
    {
        QTreeWidgetItem* pGroup = overview.treeWidget()->topLevelItem(0);
        for (int i = 0; i < pGroup->childCount(); ++i)
            if (pGroup->child(i)->text(CDeviceOverviewWidget::ColumnIPAddress) == strAddress)
                return pGroup->child(i);
        return nullptr;
    }

private:
    QThread m_thread;
    CUdpDriver* m_pDriver = nullptr;
    CRackmind* m_pRegistry = nullptr;
};
