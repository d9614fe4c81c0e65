#pragma once

#include "room/Room.h"
#include "ui/frame/BaseDialog.h"

#include <QFont>
#include <QPointer>

class CDeviceOverviewWidget;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMovie;
class QPushButton;
class QVBoxLayout;

// The first window: checks the local account, then starts the console's room (transport on
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
    // The room a successful login starts (not owned). Without one the dialog makes its own.
    void setRoom(CRoom* pRoom);
    // What the overview page gets from a built room: its new devices, moves and group changes.
    static void feedOverview(CRoom* pRoom, CDeviceOverviewWidget* pPage);

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
    CRoom* room();
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
    QPointer<CRoom> m_pRoom;
};
