#include "app/LoginDialog.h"

#include "common/MacText.h"
#include "device/GroupAlarms.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/PortHolder.h"
#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "room/RoomAlarms.h"
#include "settings/Credentials.h"
#include "settings/Settings.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/device/OutletActions.h"
#include "ui/device/OutletStatusWidget.h"
#include "ui/frame/SharedFonts.h"
#include "ui/frame/TitleBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMovie>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// One login state for the whole process.
int s_iLoginState = CLoginDialog::Idle;

constexpr int kFrameMargin = 6;
constexpr int kHeaderHeight = 182;
constexpr int kScanningMs = 4000;
constexpr uint kUdpLocalPort = 51230;

void setTextColor(QWidget* pWidget, const QColor& color)
{
    QPalette palette = pWidget->palette();
    palette.setColor(QPalette::WindowText, color);
    pWidget->setPalette(palette);
}

void setFixedBoxSize(QWidget* pWidget, int iWidth, int iHeight)
{
    pWidget->setMinimumSize(iWidth, iHeight);
    pWidget->setMaximumSize(iWidth, iHeight);
}

} // namespace

CLoginDialog::CLoginDialog(QWidget* parent, Qt::WindowFlags f)
    : CBaseDialog(parent, f), m_pLabelMessage(new QLabel), m_pMovie(new QMovie(this)),
      m_pLabelLoading(new QLabel), m_pComboAccount(new QComboBox), m_pEditPassword(new QLineEdit),
      m_pCheckKeepPassword(new QCheckBox), m_pCheckAutoLogin(new QCheckBox), m_pLayoutCheck(new QHBoxLayout),
      m_pBtnLogin(new QPushButton), m_pLayoutAccount(new QVBoxLayout), m_pLabelHeadPortrait(new QLabel),
      m_pLayoutCenter(new QHBoxLayout), m_fontWordmark(QStringLiteral("Microsoft YaHei"), 18, 50),
      m_fontWordmarkBold(QStringLiteral("Microsoft YaHei"), 24, 75)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowStaysOnTopHint);
    m_pTitleBar->setMenuButtonVisible(false);
    m_pTitleBar->setMinButtonVisible(false);
    m_pTitleBar->setMaxButtonVisible(false);

    m_pLabelMessage->setObjectName(QStringLiteral("LabelMessage"));
    m_pLabelMessage->setMinimumHeight(30);
    m_pLabelMessage->setMaximumHeight(30);
    m_pLabelMessage->setAlignment(Qt::AlignCenter);
    if (g_fontNormal9)
        m_pLabelMessage->setFont(*g_fontNormal9);

    m_pMovie->setFileName(QStringLiteral(":/Movie/Movie/Loading.gif"));
    m_pMovie->start();
    m_pLabelLoading->setObjectName(QStringLiteral("LabelLoading"));
    m_pLabelLoading->setScaledContents(true);
    m_pLabelLoading->setMovie(m_pMovie);
    m_pLabelLoading->setMaximumHeight(2);
    m_pLabelLoading->hide();

    m_pComboAccount->setObjectName(QStringLiteral("ComboAccount"));
    m_pComboAccount->setEditable(true);
    setFixedBoxSize(m_pComboAccount, 200, 30);
    if (g_fontNormal10) {
        m_pComboAccount->setFont(*g_fontNormal10);
        m_pComboAccount->lineEdit()->setFont(*g_fontNormal10);
        m_pComboAccount->view()->setFont(*g_fontNormal10);
    }

    m_pEditPassword->setObjectName(QStringLiteral("EditPassword"));
    m_pEditPassword->setEchoMode(QLineEdit::Password);
    setFixedBoxSize(m_pEditPassword, 200, 30);
    if (g_fontNormal10)
        m_pEditPassword->setFont(*g_fontNormal10);

    m_pCheckKeepPassword->setObjectName(QStringLiteral("CheckKeepPassword"));
    m_pCheckKeepPassword->setMaximumHeight(17);
    setTextColor(m_pCheckKeepPassword, QColor(90, 90, 90));
    m_pCheckAutoLogin->setObjectName(QStringLiteral("CheckAutoLogin"));
    m_pCheckAutoLogin->setMaximumHeight(17);
    m_pCheckAutoLogin->setPalette(m_pCheckKeepPassword->palette());

    m_pLayoutCheck->setObjectName(QStringLiteral("LayoutCheck"));
    m_pLayoutCheck->setSpacing(0);
    m_pLayoutCheck->setContentsMargins(0, 4, 0, 0);
    m_pLayoutCheck->addWidget(m_pCheckKeepPassword, 0, Qt::AlignLeft | Qt::AlignTop);
    m_pLayoutCheck->addWidget(m_pCheckAutoLogin, 0, Qt::AlignRight | Qt::AlignTop);

    m_pBtnLogin->setObjectName(QStringLiteral("BtnLogin"));
    setFixedBoxSize(m_pBtnLogin, 200, 30);
    if (g_fontNormal11)
        m_pBtnLogin->setFont(*g_fontNormal11);
    QPalette paletteLogin = m_pBtnLogin->palette();
    paletteLogin.setColor(QPalette::ButtonText, Qt::white);
    m_pBtnLogin->setPalette(paletteLogin);

    m_pLayoutAccount->setObjectName(QStringLiteral("LayoutAccount"));
    m_pLayoutAccount->setSpacing(0);
    m_pLayoutAccount->addWidget(m_pComboAccount, 0, Qt::AlignBottom);
    m_pLayoutAccount->addWidget(m_pEditPassword, 0, Qt::AlignTop);
    m_pLayoutAccount->addLayout(m_pLayoutCheck);
    m_pLayoutAccount->addSpacing(12);
    m_pLayoutAccount->addWidget(m_pBtnLogin);

    m_pLabelHeadPortrait->setObjectName(QStringLiteral("LabelHeadPortrait"));
    m_pLabelHeadPortrait->setScaledContents(true);
    m_pLabelHeadPortrait->setPixmap(QPixmap(QStringLiteral(":/Dialog/Dialog/Login.png")));
    m_pLabelHeadPortrait->setFixedSize(78, 78);

    m_pLayoutCenter->setObjectName(QStringLiteral("LayoutCenter"));
    m_pLayoutCenter->setSpacing(10);
    m_pLayoutCenter->setContentsMargins(0, 0, 0, 0);
    m_pLayoutCenter->addStretch();
    m_pLayoutCenter->addWidget(m_pLabelHeadPortrait, 0, Qt::AlignRight | Qt::AlignTop);
    m_pLayoutCenter->addLayout(m_pLayoutAccount);
    m_pLayoutCenter->addStretch();

    // The message line sits just under the painted header band.
    m_pBaseLayout->addSpacing(152 - m_pTitleBar->titleHeight());
    m_pBaseLayout->addWidget(m_pLabelMessage);
    m_pBaseLayout->addWidget(m_pLabelLoading);
    m_pBaseLayout->addSpacing(12);
    m_pBaseLayout->addLayout(m_pLayoutCenter);
    m_pBaseLayout->addStretch();

    QMetaObject::connectSlotsByName(this);

    if (g_settings.rememberPassword) {
        m_pComboAccount->lineEdit()->setText(g_settings.loginAccount);
        m_pEditPassword->setText(g_settings.loginPassword);
        m_pCheckKeepPassword->setChecked(true);
    }
    if (g_settings.autoLogin)
        m_pCheckAutoLogin->setChecked(true);

    retranslate();
}

void CLoginDialog::retranslate()
{
    m_pComboAccount->lineEdit()->setPlaceholderText(tr("Account"));
    m_pEditPassword->setPlaceholderText(tr("Password"));
    m_pBtnLogin->setText(tr("Login"));
    m_pCheckKeepPassword->setText(tr("KeepPassword"));
    m_pCheckAutoLogin->setText(tr("AutoLogin"));
    setLoginState(Idle);
}

int CLoginDialog::loginState()
{
    return s_iLoginState;
}

void CLoginDialog::setLoginState(int state)
{
    if (state >= 0)
        s_iLoginState = state;

    const bool bInputs = s_iLoginState != Scanning;
    for (QWidget* pInput : std::initializer_list<QWidget*>{
             m_pComboAccount, m_pEditPassword, m_pCheckKeepPassword, m_pCheckAutoLogin, m_pBtnLogin})
        pInput->setVisible(bInputs);
    m_pLabelLoading->setVisible(!bInputs);

    QString strMessage;
    bool bError = false;
    switch (s_iLoginState) {
    case EmptyInput:
        strMessage = tr("Please input account and password");
        bError = true;
        break;
    case WrongCredentials:
        strMessage = tr("Account or password is mistake");
        bError = true;
        break;
    case Scanning:
        strMessage = tr("Scanning pdu in local network...");
        break;
    case PortFailed:
        strMessage = tr("Fail to open udp port");
        bError = true;
        break;
    default:
        break;
    }
    setTextColor(m_pLabelMessage, bError ? QColor(Qt::red) : QColor(Qt::black));
    m_pLabelMessage->setText(strMessage);
}

void CLoginDialog::setOverviewPage(CDeviceOverviewWidget* pPage)
{
    m_pOverviewPage = pPage;
}

CDeviceOverviewWidget* CLoginDialog::overviewPage() const
{
    if (m_pOverviewPage)
        return m_pOverviewPage;
    const QWidgetList listTopLevel = QApplication::topLevelWidgets();
    for (QWidget* pWidget : listTopLevel) {
        if (pWidget->objectName() == QLatin1String("MainDialog"))
            return pWidget->findChild<CDeviceOverviewWidget*>(QStringLiteral("DeviceOverviewWidget"));
    }
    return nullptr;
}

void CLoginDialog::on_BtnLogin_clicked()
{
    // The room runs once per process.
    if (room()->isRunning())
        return;

    const QString strAccount = m_pComboAccount->currentText();
    const QString strPassword = m_pEditPassword->text();
    if (strAccount.isEmpty() || strPassword.isEmpty()) {
        setLoginState(EmptyInput);
        return;
    }
    if (!acceptsLoginCredentials(strAccount, strPassword)) {
        setLoginState(WrongCredentials);
        return;
    }
    if (startDeviceMachinery(kUdpLocalPort) || startBesideHolder()) {
        setLoginState(Scanning);
        QTimer::singleShot(kScanningMs, this, &CLoginDialog::slotLogin);
    } else {
        setLoginState(PortFailed);
    }
}

bool CLoginDialog::startBesideHolder()
{
    const PortHolder holder = room()->portHolder();
    if (holder.kind == PortHolder::None)
        return false;
    const QString strText =
        holder.describe() + QStringLiteral("\n\n") +
        tr("This console can poll from a free port beside it: PDUs that answer the port a query came from "
           "are shown and switched as usual; PDUs that answer only port %1 are not seen until it is "
           "closed.\n\n"
           "Poll from a free port?")
            .arg(kUdpLocalPort);
    if (!COutletActions::prompt(this, true, tr("Device port in use"), strText))
        return false;
    return startDeviceMachinery(0);
}

void CLoginDialog::setRoom(CRoom* pRoom)
{
    m_pRoom = pRoom;
}

CRoom* CLoginDialog::room()
{
    if (!m_pRoom)
        m_pRoom = new CRoom(RoomOptions::programDefaults(), this);
    return m_pRoom;
}

void CLoginDialog::feedOverview(CRoom* pRoom, CDeviceOverviewWidget* pPage)
{
    CRackmind* pRegistry = pRoom->registry();
    connect(pRegistry, &CRackmind::signalNewDevice, pPage, &CDeviceOverviewWidget::slotNewDevice);
    connect(pRegistry, &CRackmind::signalChangeIP, pPage, &CDeviceOverviewWidget::slotChangeIP);
    connect(pRoom->groupAlarms(), &CGroupAlarms::signalDeviceGroupChanged, pPage,
            &CDeviceOverviewWidget::slotDeviceGroupChanged);
    COutletControl* pOutletControl = pRoom->outletControl();
    pPage->setOutletControl(pOutletControl);
    // Each device's painter draws the locks of its protected outlets.
    connect(pRegistry, &CRackmind::signalNewDevice, pOutletControl, [pOutletControl](CPdu* pPdu) {
        if (pPdu->pOutletStatusWidget)
            pPdu->pOutletStatusWidget->setOutletControl(pOutletControl);
    });
}

bool CLoginDialog::startDeviceMachinery(uint uiLocalPort)
{
    CRoom* pRoom = room();
    RoomOptions options = pRoom->options();
    options.uiLocalPort = uiLocalPort;
    pRoom->setOptions(options);
    pRoom->build();
    CUdpDriver* pDriver = pRoom->driver();
    COutletControl* pOutletControl = pRoom->outletControl();

    // Blocking: the login has to know whether the port opened before it goes on.
    connect(this, &CLoginDialog::signalStartBroadcast, pDriver, &CUdpDriver::slotStartBroadcast,
            Qt::BlockingQueuedConnection);
    connect(this, &CLoginDialog::signalStopBroadcast, pDriver, &CUdpDriver::slotStopBroadcast,
            Qt::BlockingQueuedConnection);

    if (CDeviceOverviewWidget* pPage = overviewPage())
        feedOverview(pRoom, pPage);
    // Protection kept by an older console in this user's settings joins the machine's list once.
    // Kept there until the machine's list has them.
    if (!g_settings.protectedOutlets.isEmpty() &&
        pOutletControl->adoptProtected(g_settings.protectedOutlets)) {
        g_settings.protectedOutlets.clear();
        saveSettings();
    }
    connect(pOutletControl, &COutletControl::signalProtectionChanged, pOutletControl, [](CPdu* pPdu) {
        // The painter repaints by itself only when the outlets change; its lock marks changed instead.
        if (pPdu && pPdu->pOutletStatusWidget)
            pPdu->pOutletStatusWidget->update();
    });

    return pRoom->start([this](bool& bResult, uint uiPort, uint uiRate) {
        emit signalStartBroadcast(bResult, uiPort, uiRate);
    });
}

void CLoginDialog::on_ComboAccount_editTextChanged(QString arg1)
{
    Q_UNUSED(arg1)
    setLoginState(Idle);
}

void CLoginDialog::on_EditPassword_textChanged(QString arg1)
{
    Q_UNUSED(arg1)
    setLoginState(Idle);
}

void CLoginDialog::on_CheckKeepPassword_clicked(bool checked)
{
    if (!checked)
        m_pCheckAutoLogin->setChecked(false);
}

void CLoginDialog::on_CheckAutoLogin_clicked(bool checked)
{
    // Logging in by itself needs the password kept.
    if (checked)
        m_pCheckKeepPassword->setChecked(true);
}

void CLoginDialog::slotLogin()
{
    g_settings.rememberPassword = m_pCheckKeepPassword->isChecked();
    g_settings.autoLogin = m_pCheckAutoLogin->isChecked();
    if (m_pCheckKeepPassword->isChecked()) {
        g_settings.loginAccount = m_pComboAccount->lineEdit()->text();
        g_settings.loginPassword = m_pEditPassword->text();
    }
    saveSettings();

    m_pComboAccount->lineEdit()->clear();
    m_pEditPassword->clear();
    m_pCheckKeepPassword->setChecked(false);
    m_pCheckAutoLogin->setChecked(false);
    setLoginState(Idle);
    accept();
}

void CLoginDialog::showEvent(QShowEvent* event)
{
    if (m_pCheckAutoLogin->isChecked())
        on_BtnLogin_clicked();
    CBaseDialog::showEvent(event);
}

void CLoginDialog::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    paintFrame(kHeaderHeight, QColor(13, 168, 255, 230), QColor(255, 255, 255, 230));

    const int m = isPlainMaximized() ? 0 : kFrameMargin;
    const int W = width();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPixmap pixLogo(QStringLiteral(":/Dialog/Dialog/LoginLogo.png"));
    const int iCentreY = m + kHeaderHeight / 2;
    const int iHalfLogo = pixLogo.height() / 2;
    painter.drawPixmap(W / 2 - 90, iCentreY - iHalfLogo, pixLogo);

    // The product name on two lines beside the logo.
    const int iTextX = W / 2 - 70 + pixLogo.width();
    painter.setPen(Qt::white);
    painter.setFont(m_fontWordmarkBold);
    painter.drawText(QRect(iTextX, iCentreY - iHalfLogo, W, iHalfLogo + 8), Qt::AlignLeft | Qt::AlignBottom,
                     QStringLiteral("Rack"));
    painter.setFont(m_fontWordmark);
    painter.drawText(QRect(iTextX, iCentreY, W, iHalfLogo), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("mind"));
}
