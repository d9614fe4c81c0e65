#pragma once

#include "ui/frame/BaseDialog.h"

#include <QFont>
#include <QPointer>

class CDeviceOverviewWidget;
class CRoomAlarms;
class CUdpDriver;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMovie;
class QPushButton;
class QThread;
class QVBoxLayout;

// The worker thread and the transport a successful login creates; null before and after a failed
// attempt. The exit sequence stops and deletes them.
extern QThread* g_pUdpThread;
extern CUdpDriver* g_pUdpDriver;

// Stops and deletes what a successful login created, in the exit order: the registry (so nothing is
// queued into a dead thread), the worker thread, then the transport, pulled back to this thread and
// stopped first. Does nothing for objects that do not exist.
void releaseDeviceMachinery();

// The first window: checks the local account, then brings up the device machinery (transport on
// "UdpThread", registry on this thread, both wired to the overview page), shows the scanning strip
// for a few seconds and closes with Accepted.
class CLoginDialog : public CBaseDialog
{
    Q_OBJECT

public:
    enum LoginState
    {
        Idle = 0,
        EmptyInput = 1,
        WrongCredentials = 2,
        Scanning = 3,
        PortFailed = 4
    };

    explicit CLoginDialog(QWidget* parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());

    void retranslate() override;

    // A negative state re-applies the current one.
    void setLoginState(int state);
    static int loginState();

    // The page that gets the registry's new devices. When none is set, the login looks for the
    // "DeviceOverviewWidget" of the top-level "MainDialog" at the moment it wires the registry.
    void setOverviewPage(CDeviceOverviewWidget* pPage);
    // The alarm tracker and mail the registry's devices report to (none: alarms are not tracked).
    void setRoomAlarms(CRoomAlarms* pAlarms) { m_pAlarms = pAlarms; }

signals:
    void signalStartBroadcast(bool& bResult, uint uiUdpLocalPort = 51230, uint uiUpdateRate = 1000);
    void signalStopBroadcast();

public slots:
    void on_BtnLogin_clicked();
    void on_ComboAccount_editTextChanged(QString arg1);
    void on_EditPassword_textChanged(QString arg1);
    void on_CheckKeepPassword_clicked(bool checked);
    void on_CheckAutoLogin_clicked(bool checked);
    void slotLogin();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    CDeviceOverviewWidget* overviewPage() const;
    bool startDeviceMachinery(uint uiLocalPort);
    // Polling failed at the device port: says who holds it and offers a free port instead.
    bool startBesideHolder();

    QLabel* m_pLabelMessage;
    QMovie* m_pMovie;
    QLabel* m_pLabelLoading;
    QComboBox* m_pComboAccount;
    QLineEdit* m_pEditPassword;
    QCheckBox* m_pCheckKeepPassword;
    QCheckBox* m_pCheckAutoLogin;
    QHBoxLayout* m_pLayoutCheck;
    QPushButton* m_pBtnLogin;
    QVBoxLayout* m_pLayoutAccount;
    QLabel* m_pLabelHeadPortrait;
    QHBoxLayout* m_pLayoutCenter;
    QFont m_fontWordmark;
    QFont m_fontWordmarkBold;
    QPointer<CDeviceOverviewWidget> m_pOverviewPage;
    CRoomAlarms* m_pAlarms = nullptr;
};
