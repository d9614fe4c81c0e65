#include "ui/device/DelayConfigWidget.h"

#include "device/Pdu.h"
#include "device/Protocol.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

CDelayConfigWidget::CDelayConfigWidget(QWidget* parent) : CConfigSubPage(parent, kCmdOutletDelays)
{
    m_pGroupOpenDelay = makeGroup("GroupOpenDelay", "LayoutOpenDelay", "LabelOutletOpenDelay",
                                  "SpinOutletOpenDelay", m_pLabelOpen, m_pSpinOpen);
    m_pGroupCloseDelay = makeGroup("GroupCloseDelay", "LayoutCloseDelay", "LabelOutletCloseDelay",
                                   "SpinOutletCloseDelay", m_pLabelClose, m_pSpinClose);

    auto* pLayoutBase = new QVBoxLayout(this);
    pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));
    pLayoutBase->setContentsMargins(2, 2, 2, 2);
    pLayoutBase->setSpacing(4);
    pLayoutBase->addStretch();
    pLayoutBase->addWidget(m_pGroupOpenDelay, 0, Qt::AlignHCenter);
    pLayoutBase->addWidget(m_pGroupCloseDelay, 0, Qt::AlignHCenter);
    pLayoutBase->addStretch();

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
                                         const char* pszLabelName, const char* pszSpinName, QLabel** ppLabels,
                                         QSpinBox** ppSpins)
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

void CDelayConfigWidget::showValues(const PduInfo& info)
{
    for (int i = 0; i < kOutletCount; ++i) {
        const QSignalBlocker blockOpen(m_pSpinOpen[i]);
        const QSignalBlocker blockClose(m_pSpinClose[i]);
        m_pSpinOpen[i]->setValue(info.outletOpenDelay[i]);
        m_pSpinClose[i]->setValue(info.outletCloseDelay[i]);
    }
}

void CDelayConfigWidget::storeShownValues(PduInfo& set)
{
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

void CDelayConfigWidget::storeFromSender(QSpinBox* const* ppSpins, quint8* pDelays, int iValue)
{
    if (!m_pPdu)
        return;
    for (int i = 0; i < kOutletCount; ++i) {
        if (ppSpins[i] == sender()) {
            pDelays[i] = quint8(iValue);
            emit signalCheckNeedDownload();
            return;
        }
    }
}

void CDelayConfigWidget::on_SpinOutletOpenDelay_valueChanged(int iValue)
{
    if (m_pPdu)
        storeFromSender(m_pSpinOpen, m_pPdu->stSetInfo.outletOpenDelay, iValue);
}

void CDelayConfigWidget::on_SpinOutletCloseDelay_valueChanged(int iValue)
{
    if (m_pPdu)
        storeFromSender(m_pSpinClose, m_pPdu->stSetInfo.outletCloseDelay, iValue);
}
