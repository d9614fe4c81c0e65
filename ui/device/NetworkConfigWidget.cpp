#include "ui/device/NetworkConfigWidget.h"

#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "ui/device/ConfigFields.h"
#include "ui/device/PduLookup.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegExpValidator>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {
constexpr int kEditorWidth = 150;
}

CNetworkConfigWidget::CNetworkConfigWidget(QWidget* parent) : CConfigSubPage(parent, kCmdNetwork)
{
    // Stricter than the pattern the change slots and OK accept: no leading zeros can be typed.
    m_pAddressValidator = new QRegExpValidator(
        QRegExp(QStringLiteral(
                    "((25[0-5]|2[0-4]\\d|1\\d{2}|[1-9]?\\d)\\.){3}(25[0-5]|2[0-4]\\d|1\\d{2}|[1-9]?\\d)"),
                Qt::CaseSensitive, QRegExp::RegExp),
        this);
    m_pMacValidator = new QRegExpValidator(configMacPattern(), this);

    m_pLineEditIP = makeLineEdit("LineEditIP", 15, m_pAddressValidator);
    m_pLineEditSubNetMask = makeLineEdit("LineEditSubNetMask", 15, m_pAddressValidator);
    m_pLineEditGateway = makeLineEdit("LineEditGateway", 15, m_pAddressValidator);
    m_pLineEditMac = makeLineEdit("LineEditMac", 17, m_pMacValidator);
    m_pSpinUdpPort = new QSpinBox(this);
    m_pSpinUdpPort->setObjectName(QStringLiteral("SpinUdpPort"));
    m_pSpinUdpPort->setRange(0, 65535);
    m_pSpinUdpPort->setFixedWidth(kEditorWidth);
    m_pLineEditName = makeLineEdit("LineEditName", 16, nullptr);
    m_pLineEditPosition = makeLineEdit("LineEditPosition", 16, nullptr);

    QGridLayout* pLayout = createFormLayout(8, 7);
    const char* const apszLabels[7] = {"LabelIP",      "LabelSubNetMask", "LabelGateway", "LabelMac",
                                       "LabelUdpPort", "LabelName",       "LabelPosition"};
    QWidget* const apEditors[7] = {m_pLineEditIP,  m_pLineEditSubNetMask, m_pLineEditGateway, m_pLineEditMac,
                                   m_pSpinUdpPort, m_pLineEditName,       m_pLineEditPosition};
    for (int i = 0; i < 7; ++i)
        m_pLabels[i] = addFormRow(pLayout, i + 1, QLatin1String(apszLabels[i]), apEditors[i]);
    // Any text the unit's field holds whole; a name fills all of its bytes.
    setTextField(m_pLineEditName, int(sizeof(PduInfo::name)));
    setTextField(m_pLineEditPosition, int(sizeof(PduInfo::position)));

    retranslate();
    QMetaObject::connectSlotsByName(this);
}

QLineEdit* CNetworkConfigWidget::makeLineEdit(const char* pszName, int iMaxLength, QValidator* pValidator)
{
    auto* pEdit = new QLineEdit(this);
    pEdit->setObjectName(QLatin1String(pszName));
    pEdit->setMaxLength(iMaxLength);
    pEdit->setValidator(pValidator);
    pEdit->setFixedWidth(kEditorWidth);
    return pEdit;
}

void CNetworkConfigWidget::showValues(const PduInfo& info)
{
    const QSignalBlocker blockIP(m_pLineEditIP);
    const QSignalBlocker blockMask(m_pLineEditSubNetMask);
    const QSignalBlocker blockGateway(m_pLineEditGateway);
    const QSignalBlocker blockMac(m_pLineEditMac);
    const QSignalBlocker blockPort(m_pSpinUdpPort);
    const QSignalBlocker blockName(m_pLineEditName);
    const QSignalBlocker blockPosition(m_pLineEditPosition);
    m_pLineEditIP->setText(ipv4ToString(info.ip));
    m_pLineEditSubNetMask->setText(ipv4ToString(info.subNetMask));
    m_pLineEditGateway->setText(ipv4ToString(info.gateway));
    m_pLineEditMac->setText(macDisplay(info.mac));
    m_pSpinUdpPort->setValue(int(info.udpPort));
    m_pLineEditName->setText(deviceText(info.name));
    m_pLineEditPosition->setText(deviceText(info.position));
}

void CNetworkConfigWidget::storeShownValues(PduInfo& set)
{
    storeAddressText(m_pLineEditIP->text(), set.ip);
    storeAddressText(m_pLineEditSubNetMask->text(), set.subNetMask);
    storeAddressText(m_pLineEditGateway->text(), set.gateway);
    storeMacText(m_pLineEditMac->text(), set.mac);
    set.udpPort = quint32(m_pSpinUdpPort->value());
    const PduInfo* pCurrent = m_pPdu ? &m_pPdu->stInfo : nullptr;
    storeEditedText(m_pLineEditName->text(), set.name, pCurrent ? pCurrent->name : nullptr,
                    int(sizeof set.name));
    storeEditedText(m_pLineEditPosition->text(), set.position, pCurrent ? pCurrent->position : nullptr,
                    int(sizeof set.position));
}

void CNetworkConfigWidget::retranslate()
{
    m_pLabels[0]->setText(tr("IP"));
    m_pLabels[1]->setText(tr("SubNetMask"));
    m_pLabels[2]->setText(tr("Gateway"));
    m_pLabels[3]->setText(tr("MAC"));
    m_pLabels[4]->setText(tr("UDP Port"));
    m_pLabels[5]->setText(tr("Name"));
    m_pLabels[6]->setText(tr("Location"));
}

void CNetworkConfigWidget::on_LineEditIP_textChanged(const QString& text)
{
    if (m_pPdu && storeAddressText(text, m_pPdu->stSetInfo.ip))
        emit signalCheckNeedDownload();
}

void CNetworkConfigWidget::on_LineEditSubNetMask_textChanged(const QString& text)
{
    if (m_pPdu && storeAddressText(text, m_pPdu->stSetInfo.subNetMask))
        emit signalCheckNeedDownload();
}

void CNetworkConfigWidget::on_LineEditGateway_textChanged(const QString& text)
{
    if (m_pPdu && storeAddressText(text, m_pPdu->stSetInfo.gateway))
        emit signalCheckNeedDownload();
}

void CNetworkConfigWidget::on_LineEditMac_textChanged(const QString& text)
{
    if (m_pPdu && storeMacText(text, m_pPdu->stSetInfo.mac))
        emit signalCheckNeedDownload();
}

void CNetworkConfigWidget::on_SpinUdpPort_valueChanged(int i)
{
    if (!m_pPdu)
        return;
    m_pPdu->stSetInfo.udpPort = quint32(i);
    emit signalCheckNeedDownload();
}

void CNetworkConfigWidget::on_LineEditName_textChanged(const QString& text)
{
    if (!m_pPdu)
        return;
    storeEditedText(text, m_pPdu->stSetInfo.name, m_pPdu->stInfo.name, int(sizeof m_pPdu->stInfo.name));
    emit signalCheckNeedDownload();
}

void CNetworkConfigWidget::on_LineEditPosition_textChanged(const QString& text)
{
    if (!m_pPdu)
        return;
    storeEditedText(text, m_pPdu->stSetInfo.position, m_pPdu->stInfo.position,
                    int(sizeof m_pPdu->stInfo.position));
    emit signalCheckNeedDownload();
}
