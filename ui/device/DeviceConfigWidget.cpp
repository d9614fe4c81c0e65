#include "ui/device/DeviceConfigWidget.h"

#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "ui/device/ConfigFields.h"
#include "ui/device/DelayConfigWidget.h"
#include "ui/device/GroupApplyDialog.h"
#include "ui/device/NetworkConfigWidget.h"
#include "ui/device/OutletNameConfigWidget.h"
#include "ui/device/PduLookup.h"
#include "ui/device/ThresholdConfigWidget.h"
#include "ui/frame/SharedFonts.h"
#include "ui/frame/SubTab.h"

#include <QHBoxLayout>
#include <QHostAddress>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

#include <cstring>

namespace {

constexpr int kTabCount = 4;
constexpr int kEnableDelayMs = 2000;

CDeviceConfigWidget::WarningHandler& warningHandler()
{
    static CDeviceConfigWidget::WarningHandler handler;
    return handler;
}

template <typename T> void copyField(T& to, const T& from)
{
    std::memcpy(&to, &from, sizeof(T));
}

// The fields an operator can configure; readings, product type and firmware are the device's own.
void copyConfigurable(PduInfo& to, const PduInfo& from)
{
    copyField(to.ip, from.ip);
    copyField(to.subNetMask, from.subNetMask);
    copyField(to.gateway, from.gateway);
    copyField(to.mac, from.mac);
    copyField(to.udpPort, from.udpPort);
    copyField(to.name, from.name);
    copyField(to.position, from.position);
    copyField(to.currentWarn, from.currentWarn);
    copyField(to.currentOverload, from.currentOverload);
    copyField(to.voltageWarn, from.voltageWarn);
    copyField(to.voltageOverload, from.voltageOverload);
    copyField(to.temperatureLowLimit, from.temperatureLowLimit);
    copyField(to.temperatureHighLimit, from.temperatureHighLimit);
    copyField(to.humidityWarn, from.humidityWarn);
    copyField(to.outletOpenDelay, from.outletOpenDelay);
    copyField(to.outletCloseDelay, from.outletCloseDelay);
    copyField(to.outletName, from.outletName);
}

} // namespace

void CDeviceConfigWidget::setWarningHandler(WarningHandler handler)
{
    warningHandler() = std::move(handler);
}

CDeviceConfigWidget::CDeviceConfigWidget(QWidget* parent) : QWidget(parent)
{
    m_pSubTab = new CSubTab();
    m_pSubTab->setObjectName(QStringLiteral("SubTab"));
    const char* const apszIcons[kTabCount] = {
        ":/OverviewWidget/OverviewWidget/Network.png", ":/OverviewWidget/OverviewWidget/Warning.png",
        ":/OverviewWidget/OverviewWidget/Timer.png", ":/OverviewWidget/OverviewWidget/Information.png"};
    for (int i = 0; i < kTabCount; ++i)
        m_pSubTab->buttons[i]->setIcon(QIcon(QLatin1String(apszIcons[i])));

    m_pMainStack = new QStackedWidget(this);
    m_pMainStack->setObjectName(QStringLiteral("MainStack"));
    m_pMainStack->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_pNetworkConfigWidget = new CNetworkConfigWidget(m_pMainStack);
    m_pNetworkConfigWidget->setObjectName(QStringLiteral("NetworkConfigWidget"));
    m_pThresholdConfigWidget = new CThresholdConfigWidget(m_pMainStack);
    m_pThresholdConfigWidget->setObjectName(QStringLiteral("ThresholdConfigWidget"));
    m_pDelayConfigWidget = new CDelayConfigWidget(m_pMainStack);
    m_pDelayConfigWidget->setObjectName(QStringLiteral("DelayConfigWidget"));
    m_pOutletNameConfigWidget = new COutletNameConfigWidget(m_pMainStack);
    m_pOutletNameConfigWidget->setObjectName(QStringLiteral("OutletNameConfigWidget"));
    m_pMainStack->addWidget(m_pNetworkConfigWidget);
    m_pMainStack->addWidget(m_pThresholdConfigWidget);
    m_pMainStack->addWidget(m_pDelayConfigWidget);
    m_pMainStack->addWidget(m_pOutletNameConfigWidget);

    m_pBtnOk = makeButton("BtnOk", QStringLiteral(":/Dialog/Dialog/OK.png"));
    m_pBtnCancel = makeButton("BtnCancel", QStringLiteral(":/Dialog/Dialog/Cancel.png"));
    m_pLayoutBtn = new QHBoxLayout();
    m_pLayoutBtn->setObjectName(QStringLiteral("LayoutBtn"));
    m_pLayoutBtn->setContentsMargins(2, 2, 2, 2);
    m_pLayoutBtn->setSpacing(8);
    m_pLayoutBtn->addStretch();
    m_pLayoutBtn->addWidget(m_pBtnOk, 0, Qt::AlignCenter);
    m_pLayoutBtn->addWidget(m_pBtnCancel, 0, Qt::AlignCenter);
    m_pLayoutBtn->addStretch();
    // Writes what is being edited to a whole group; it does not wait for this device's OK.
    m_pBtnApplyGroup = new QPushButton(this);
    m_pBtnApplyGroup->setObjectName(QStringLiteral("BtnApplyGroup"));
    m_pLayoutBtn->addWidget(m_pBtnApplyGroup, 0, Qt::AlignRight | Qt::AlignVCenter);

    m_pLayoutContent = new QVBoxLayout();
    m_pLayoutContent->setObjectName(QStringLiteral("LayoutContent"));
    m_pLayoutContent->setContentsMargins(0, 0, 0, 0);
    m_pLayoutContent->setSpacing(4);
    m_pLayoutContent->addWidget(m_pMainStack);
    m_pLayoutContent->addLayout(m_pLayoutBtn);

    m_pBaseLayout = new QHBoxLayout(this);
    m_pBaseLayout->setObjectName(QStringLiteral("BaseLayout"));
    m_pBaseLayout->setContentsMargins(0, 0, 0, 0);
    m_pBaseLayout->setSpacing(0);
    m_pBaseLayout->addLayout(m_pSubTab);
    m_pBaseLayout->addLayout(m_pLayoutContent);

    connect(m_pSubTab, &CSubTab::signalTabSelChanged, m_pMainStack, &QStackedWidget::setCurrentIndex);
    connect(m_pNetworkConfigWidget, &CNetworkConfigWidget::signalCheckNeedDownload, this,
            &CDeviceConfigWidget::slotCheckNeedDownload);
    connect(m_pThresholdConfigWidget, &CThresholdConfigWidget::signalCheckNeedDownload, this,
            &CDeviceConfigWidget::slotCheckNeedDownload);
    connect(m_pDelayConfigWidget, &CDelayConfigWidget::signalCheckNeedDownload, this,
            &CDeviceConfigWidget::slotCheckNeedDownload);
    connect(m_pOutletNameConfigWidget, &COutletNameConfigWidget::signalCheckNeedDownload, this,
            &CDeviceConfigWidget::slotCheckNeedDownload);
    QMetaObject::connectSlotsByName(this);

    retranslate();
}

QPushButton* CDeviceConfigWidget::makeButton(const char* pszName, const QString& strIcon)
{
    auto* pBtn = new QPushButton(this);
    pBtn->setObjectName(QLatin1String(pszName));
    pBtn->setIcon(QIcon(strIcon));
    pBtn->setIconSize(QSize(24, 24));
    pBtn->setFixedSize(100, 40);
    if (g_fontNormal12)
        pBtn->setFont(*g_fontNormal12);
    pBtn->hide();
    return pBtn;
}

CPdu* CDeviceConfigWidget::pdu() const
{
    return m_pPdu;
}

void CDeviceConfigWidget::slotCurrentPduChanged(QTreeWidgetItem* current, QTreeWidgetItem* /*previous*/)
{
    m_pPdu = itemPdu(current);
    followRegistry();
    m_pNetworkConfigWidget->setPdu(m_pPdu);
    m_pThresholdConfigWidget->setPdu(m_pPdu);
    m_pDelayConfigWidget->setPdu(m_pPdu);
    m_pOutletNameConfigWidget->setPdu(m_pPdu);
    showButtons(false);
}

void CDeviceConfigWidget::followRegistry()
{
    // The registry exists only after login, long after this page; it is joined on first use.
    if (g_pRackmind)
        connect(g_pRackmind, &CRackmind::signalDeviceAnswered, this, &CDeviceConfigWidget::slotDeviceAnswered,
                Qt::UniqueConnection);
}

void CDeviceConfigWidget::slotDeviceAnswered(CPdu* pPdu)
{
    if (!pPdu || pPdu != m_pPdu)
        return;
    for (CConfigSubPage* pPage : {static_cast<CConfigSubPage*>(m_pNetworkConfigWidget),
                                  static_cast<CConfigSubPage*>(m_pThresholdConfigWidget),
                                  static_cast<CConfigSubPage*>(m_pDelayConfigWidget),
                                  static_cast<CConfigSubPage*>(m_pOutletNameConfigWidget)})
        pPage->followDevice();
    slotCheckNeedDownload();
}

void CDeviceConfigWidget::slotCheckNeedDownload()
{
    if (!m_pPdu)
        return;
    showButtons(!m_pPdu->needDownload().isEmpty());
}

void CDeviceConfigWidget::showButtons(bool bShow)
{
    m_pBtnOk->setVisible(bShow);
    m_pBtnCancel->setVisible(bShow);
}

QString CDeviceConfigWidget::networkEntryError() const
{
    const auto text = [this](const char* pszName) {
        const auto* pEdit = m_pNetworkConfigWidget->findChild<QLineEdit*>(QLatin1String(pszName));
        return pEdit ? pEdit->text() : QString();
    };
    if (!configAddressPattern().exactMatch(text("LineEditIP")))
        return tr("Please input a correct ip address.");
    // Two devices answering from one address cannot be told apart: the replies of both would be taken
    // for one device's, mixing their readings and their histories.
    const quint32 uiIp = QHostAddress(text("LineEditIP")).toIPv4Address();
    for (const CPdu* pOther : g_pRackmind ? g_pRackmind->listPdu : QList<CPdu*>())
        if (pOther != m_pPdu && pOther->isOnline() && pOther->sendIPv4() == uiIp)
            return tr("Another PDU answers from this ip address.");
    if (!configAddressPattern().exactMatch(text("LineEditSubNetMask")))
        return tr("Please input a correct sub network mask.");
    if (!configAddressPattern().exactMatch(text("LineEditGateway")))
        return tr("Please input a correct gateway address.");
    if (!configMacPattern().exactMatch(text("LineEditMac")))
        return tr("Please input a correct mac address.");
    if (text("LineEditName").isEmpty())
        return tr("Please input pdu name.");
    if (text("LineEditPosition").isEmpty())
        return tr("Please input pdu location.");
    return QString();
}

void CDeviceConfigWidget::on_BtnOk_clicked()
{
    if (!m_pPdu)
        return;
    if (m_pPdu->needDownload().isEmpty()) {
        showButtons(false);
        return;
    }
    const QString strError = networkEntryError();
    if (!strError.isEmpty()) {
        if (warningHandler())
            warningHandler()(this, tr("warning"), strError);
        else
            QMessageBox::warning(this, tr("warning"), strError, QMessageBox::Ok);
        return;
    }
    m_pPdu->download();
    m_pBtnOk->setEnabled(false);
    m_pBtnCancel->setEnabled(false);
    QTimer::singleShot(kEnableDelayMs, this, &CDeviceConfigWidget::slotEnableBtn);
}

void CDeviceConfigWidget::on_BtnCancel_clicked()
{
    if (m_pPdu) {
        copyConfigurable(m_pPdu->stSetInfo, m_pPdu->stInfo);
        m_pNetworkConfigWidget->loadFromPdu();
        m_pThresholdConfigWidget->loadFromPdu();
        m_pDelayConfigWidget->loadFromPdu();
        m_pOutletNameConfigWidget->loadFromPdu();
    }
    showButtons(false);
}

void CDeviceConfigWidget::setOutletControl(COutletControl* pControl)
{
    m_pOutletControl = pControl;
    m_pOutletNameConfigWidget->setOutletControl(pControl);
}

void CDeviceConfigWidget::on_BtnApplyGroup_clicked()
{
    if (!m_pPdu)
        return;
    CGroupApplyDialog dialog(this, m_pPdu->stSetInfo, m_pOutletControl);
    dialog.exec();
}

void CDeviceConfigWidget::slotEnableBtn()
{
    m_pBtnOk->setEnabled(true);
    m_pBtnCancel->setEnabled(true);
}

void CDeviceConfigWidget::retranslate()
{
    m_pSubTab->buttons[0]->setText(tr("Network"));
    m_pSubTab->buttons[1]->setText(tr("Threshold"));
    m_pSubTab->buttons[2]->setText(tr("Delay"));
    m_pSubTab->buttons[3]->setText(tr("OutletName"));
    m_pBtnOk->setText(tr("OK"));
    m_pBtnCancel->setText(tr("CANCEL"));
    m_pBtnApplyGroup->setText(tr("Apply to group…"));
    m_pNetworkConfigWidget->retranslate();
    m_pThresholdConfigWidget->retranslate();
    m_pDelayConfigWidget->retranslate();
    m_pOutletNameConfigWidget->retranslate();
}

void CDeviceConfigWidget::showEvent(QShowEvent* event)
{
    m_pSubTab->setTabCount(kTabCount);
    QWidget::showEvent(event);
}

void CDeviceConfigWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const int iTabWidth = m_pSubTab->tabWidth();
    painter.fillRect(QRect(0, 0, iTabWidth, height()), QColor(240, 240, 240));
    painter.fillRect(QRect(iTabWidth, 0, width() - iTabWidth, height()), Qt::white);
    painter.end();
    QWidget::paintEvent(event);
}
