#include "ui/device/DelayConfigWidget.h"

#include "device/Pdu.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

CDelayConfigWidget::CDelayConfigWidget(QWidget* parent)
    : QWidget(parent)
{
    m_pGroupOpenDelay = makeGroup("GroupOpenDelay", "LayoutOpenDelay", "LabelOutletOpenDelay",
                                  "SpinOutletOpenDelay", m_pLabelOpen, m_pSpinOpen);
    m_pGroupCloseDelay = makeGroup("GroupCloseDelay", "LayoutCloseDelay", "LabelOutletCloseDelay",
                                   "SpinOutletCloseDelay", m_pLabelClose, m_pSpinClose);

    m_pLayoutBase = new QVBoxLayout(this);
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));
    m_pLayoutBase->setContentsMargins(2, 2, 2, 2);
    m_pLayoutBase->setSpacing(4);
    m_pLayoutBase->addStretch();
    m_pLayoutBase->addWidget(m_pGroupOpenDelay, 0, Qt::AlignHCenter);
    m_pLayoutBase->addWidget(m_pGroupCloseDelay, 0, Qt::AlignHCenter);
    m_pLayoutBase->addStretch();

    // The eight boxes of a group share one object name, so each is wired to its slot by hand.
    for (int i = 0; i < kOutletCount; ++i) {
        connect(m_pSpinOpen[i], QOverload<int>::of(&QSpinBox::valueChanged), this,
                &CDelayConfigWidget::on_SpinOutletOpenDelay_valueChanged);
        connect(m_pSpinClose[i], QOverload<int>::of(&QSpinBox::valueChanged), this,
                &CDelayConfigWidget::on_SpinOutletCloseDelay_valueChanged);
    }
    retranslate();
}

QGroupBox* CDelayConfigWidget::makeGroup(const char* pszGroupName, const char* pszLayoutName,
                                         const char* pszLabelName, const char* pszSpinName,
                                         QLabel** ppLabels, QSpinBox** ppSpins)
{
    auto* pGroup = new QGroupBox(this);
    pGroup->setObjectName(QLatin1String(pszGroupName));
    auto* pLayout = new QGridLayout(pGroup);
    pLayout->setObjectName(QLatin1String(pszLayoutName));
    pLayout->setContentsMargins(2, 2, 2, 2);
    pLayout->setSpacing(4);
    for (int i = 0; i < kOutletCount; ++i) {
        ppLabels[i] = new QLabel(pGroup);
        ppLabels[i]->setObjectName(QLatin1String(pszLabelName));
        ppLabels[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        ppSpins[i] = new QSpinBox(pGroup);
        ppSpins[i]->setObjectName(QLatin1String(pszSpinName));
        ppSpins[i]->setRange(0, 255);
        ppSpins[i]->setMinimumWidth(100);
        pLayout->addWidget(ppLabels[i], i, 0, Qt::AlignRight);
        pLayout->addWidget(ppSpins[i], i, 1, Qt::AlignLeft);
    }
    return pGroup;
}

void CDelayConfigWidget::setPdu(CPdu* pdu)
{
    m_pPdu = pdu;
    loadFromPdu();
}

void CDelayConfigWidget::loadFromPdu()
{
    if (!m_pPdu)
        return;
    const PduInfo& info = m_pPdu->stInfo;
    for (int i = 0; i < kOutletCount; ++i) {
        const QSignalBlocker blockOpen(m_pSpinOpen[i]);
        const QSignalBlocker blockClose(m_pSpinClose[i]);
        m_pSpinOpen[i]->setValue(info.outletOpenDelay[i]);
        m_pSpinClose[i]->setValue(info.outletCloseDelay[i]);
    }
    // Every delay must hold what is shown, not a value left from an earlier edit or the defaults.
    storeShownValues();
    emit signalCheckNeedDownload();
}

void CDelayConfigWidget::storeShownValues()
{
    PduInfo& set = m_pPdu->stSetInfo;
    for (int i = 0; i < kOutletCount; ++i) {
        set.outletOpenDelay[i] = quint8(m_pSpinOpen[i]->value());
        set.outletCloseDelay[i] = quint8(m_pSpinClose[i]->value());
    }
}

void CDelayConfigWidget::retranslate()
{
    m_pGroupOpenDelay->setTitle(tr("OpenDelay"));
    m_pGroupCloseDelay->setTitle(tr("CloseDelay"));
    for (int i = 0; i < kOutletCount; ++i) {
        m_pLabelOpen[i]->setText(tr("Outlet%1").arg(i + 1));
        m_pLabelClose[i]->setText(tr("Outlet%1").arg(i + 1));
    }
}

void CDelayConfigWidget::on_SpinOutletOpenDelay_valueChanged(int iValue)
{
    if (!m_pPdu)
        return;
    const auto pFound = std::find(std::cbegin(m_pSpinOpen), std::cend(m_pSpinOpen), sender());
    if (pFound == std::cend(m_pSpinOpen))
        return;
    m_pPdu->stSetInfo.outletOpenDelay[pFound - std::cbegin(m_pSpinOpen)] = quint8(iValue);
    emit signalCheckNeedDownload();
}

void CDelayConfigWidget::on_SpinOutletCloseDelay_valueChanged(int iValue)
{
    if (!m_pPdu)
        return;
    const auto pFound = std::find(std::cbegin(m_pSpinClose), std::cend(m_pSpinClose), sender());
    if (pFound == std::cend(m_pSpinClose))
        return;
    m_pPdu->stSetInfo.outletCloseDelay[pFound - std::cbegin(m_pSpinClose)] = quint8(iValue);
    emit signalCheckNeedDownload();
}
