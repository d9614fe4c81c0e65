#pragma once

#include "app/AppShell.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "room/Room.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/OutletActions.h"

#include <QSettings>
#include <QtTest>

// The console's login as the program runs it, for the whole-program tests in the bed.
namespace consolelogin {

// The settings store as an operator who logs in by themselves left it: English, account and password kept.
inline void storeAutoLogin()
{
    QSettings store(QStringLiteral("Orvane"), QStringLiteral("Rackmind"));
    const QList<QPair<QString, QVariant>> listValues = {
        {QStringLiteral("Language"), 1},
        {QStringLiteral("Login/AutoLogin"), true},
        {QStringLiteral("Login/RememberPassword"), true},
        {QStringLiteral("Login/Account"), QStringLiteral("pavok")},
        {QStringLiteral("Login/Password"), QStringLiteral("pavok")}};
    for (const auto& value : listValues)
        store.setValue(value.first, value.second);
}

// runLogin(), every question the console asks answered yes; what it told is appended to *pTold.
inline bool loginAnsweringYes(QStringList* pTold)
{
    COutletActions::setPromptHandler(
        [pTold](QWidget*, bool bQuestion, const QString&, const QString& strText) {
            *pTold << strText;
            return bQuestion;
        });
    const bool bLoggedIn = runLogin();
    COutletActions::setPromptHandler({});
    return bLoggedIn;
}

// Switches an outlet of the PDU from the console's room: the simulated unit takes it, and its new state
// comes back to the console.
inline void switchReachesUnit(CSimThread& sim, CPdu* pPdu, int iOutlet)
{
    const quint32 uiIp = pPdu->sendIPv4();
    const quint8 uiBit = quint8(1u << (iOutlet - 1));
    const auto simOutlets = [&] {
        return sim.call([&](CSimFleet& fleet) { return fleet.deviceByAddress(uiIp)->st.outletStatus; });
    };
    const bool bOn = !(pPdu->stInfo.outletStatus & uiBit);
    QCOMPARE(consoleRoom()->outletControl()->switchOutlet(pPdu, iOutlet, bOn), COutletControl::Accepted);
    QTRY_COMPARE_WITH_TIMEOUT(bool(simOutlets() & uiBit), bOn, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(bool(pPdu->stInfo.outletStatus & uiBit), bOn, 20000);
}

} // namespace consolelogin
