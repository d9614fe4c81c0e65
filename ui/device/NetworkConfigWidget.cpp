#include "ui/device/NetworkConfigWidget.h"

#include "device/Pdu.h"
#include "device/Protocol.h"
#include "ui/device/ConfigFields.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegExpValidator>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QSpinBox>

namespace {

constexpr int kEditorWidth = 150;

QLineEdit* makeLineEdit(QWidget* parent, const char* pszName, int iMaxLength, QValidator* pValidator)
{
    auto* pEdit = new QLineEdit(parent);
    pEdit->setObjectName(QLatin1String(pszName));
    pEdit->setMaxLength(iMaxLength);
    pEdit->setValidator(pValidator);
    return pEdit;
}

} // namespace

CNetworkConfigWidget::CNetworkConfigWidget(QWidget* parent)
    : QWidget(parent)
{
    m_pAddressValidator = new QRegExpValidator(
        QRegExp(QStringLiteral("((25[0-5]|2[0-4]\\d|1\\d{2}|[1-9]?\\d)\\.){3}(25[0-5]|2[0-4]\\d|1\\d{2}|[1-9]?\\d)"),
                Qt::CaseSensitive, QRegExp::RegExp),
        this);
    m_pMacValidator = new QRegExpValidator(configMacPattern(), this);
    m_pNameValidator = new QRegExpValidator(
        QRegExp(QStringLiteral("[a-zA-Z0-9]+$"), Qt::CaseSensitive, QRegExp::RegExp), this);

    m_pLineEditIP = makeLineEdit(this, "LineEditIP", 15, m_pAddressValidator);
    m_pLineEditSubNetMask = makeLineEdit(this, "LineEditSubNetMask", 15, m_pAddressValidator);
    m_pLineEditGateway = makeLineEdit(this, "LineEditGateway", 15, m_pAddressValidator);
    m_pLineEditMac = makeLineEdit(this, "LineEditMac", 17, m_pMacValidator);
    m_pSpinUdpPort = new QSpinBox(this);
    m_pSpinUdpPort->setObjectName(QStringLiteral("SpinUdpPort"));
    m_pSpinUdpPort->setRange(0, 65535);
    m_pLineEditName = makeLineEdit(this, "LineEditName", 16, m_pNameValidator);
    m_pLineEditPosition = makeLineEdit(this, "LineEditPosition", 16, nullptr);

    m_pLayoutBase = new QGridLayout(this);
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));
    m_pLayoutBase->setContentsMargins(8, 8, 8, 8);
    m_pLayoutBase->setSpacing(4);
    m_pLayoutBase->addItem(new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Expanding), 0, 0, 1, 2);
    m_pLabelIP = addRow(1, "LabelIP", m_pLineEditIP);
    m_pLabelSubNetMask = addRow(2, "LabelSubNetMask", m_pLineEditSubNetMask);
    m_pLabelGateway = addRow(3, "LabelGateway", m_pLineEditGateway);
    m_pLabelMac = addRow(4, "LabelMac", m_pLineEditMac);
    m_pLabelUdpPort = addRow(5, "LabelUdpPort", m_pSpinUdpPort);
    m_pLabelName = addRow(6, "LabelName", m_pLineEditName);
    m_pLabelPosition = addRow(7, "LabelPosition", m_pLineEditPosition);
    m_pLayoutBase->addItem(new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Expanding), 8, 0, 1, 2);

    retranslate();
    QMetaObject::connectSlotsByName(this);
}

QLabel* CNetworkConfigWidget::addRow(int iRow, const char* pszLabelName, QWidget* pEditor)
{
    auto* pLabel = new QLabel(this);
    pLabel->setObjectName(QLatin1String(pszLabelName));
    pLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pEditor->setFixedWidth(kEditorWidth);
    m_pLayoutBase->addWidget(pLabel, iRow, 0);
    m_pLayoutBase->addWidget(pEditor, iRow, 1, Qt::AlignLeft | Qt::AlignVCenter);
    return pLabel;
}

void CNetworkConfigWidget::setPdu(CPdu* pdu)
{
    m_pPdu = pdu;
    loadFromPdu();
}

CPdu* CNetworkConfigWidget::pdu() const
{
    return m_pPdu;
}

void CNetworkConfigWidget::loadFromPdu()
{
    if (!m_pPdu)
        return;
    const PduInfo& info = m_pPdu->stInfo;
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
        m_pLineEditMac->setText(macText(info.mac));
        m_pSpinUdpPort->setValue(int(info.udpPort));
        m_pLineEditName->setText(fieldString(info.name, int(sizeof info.name)));
        m_pLineEditPosition->setText(fieldString(info.position, int(sizeof info.position)));
    }
    // Every field, changed on screen or not, must hold what is shown: a value left over from an
    // earlier edit or from the record's defaults would otherwise be sent unseen.
    storeShownValues();
    emit signalCheckNeedDownload();
}

void CNetworkConfigWidget::storeShownValues()
{
    PduInfo& set = m_pPdu->stSetInfo;
    storeAddressText(m_pLineEditIP->text(), set.ip);
    storeAddressText(m_pLineEditSubNetMask->text(), set.subNetMask);
    storeAddressText(m_pLineEditGateway->text(), set.gateway);
    storeMacText(m_pLineEditMac->text(), set.mac);
    set.udpPort = quint32(m_pSpinUdpPort->value());
    storeLatin1Text(m_pLineEditName->text(), set.name, int(sizeof set.name));
    storeLatin1Text(m_pLineEditPosition->text(), set.position, int(sizeof set.position));
}

void CNetworkConfigWidget::retranslate()
{
    m_pLabelIP->setText(tr("IP"));
    m_pLabelSubNetMask->setText(tr("SubNetMask"));
    m_pLabelGateway->setText(tr("Gateway"));
    m_pLabelMac->setText(tr("MAC"));
    m_pLabelUdpPort->setText(tr("UDP Port"));
    m_pLabelName->setText(tr("Name"));
    m_pLabelPosition->setText(tr("Location"));
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
    storeLatin1Text(text, m_pPdu->stSetInfo.name, int(sizeof m_pPdu->stSetInfo.name));
    emit signalCheckNeedDownload();
}

void CNetworkConfigWidget::on_LineEditPosition_textChanged(const QString& text)
{
    if (!m_pPdu)
        return;
    storeLatin1Text(text, m_pPdu->stSetInfo.position, int(sizeof m_pPdu->stSetInfo.position));
    emit signalCheckNeedDownload();
}
