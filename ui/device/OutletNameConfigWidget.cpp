#include "ui/device/OutletNameConfigWidget.h"

#include "common/DeviceText.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "ui/device/ConfigFields.h"
#include "ui/device/PduLookup.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

COutletNameConfigWidget::COutletNameConfigWidget(QWidget* parent) : CConfigSubPage(parent, kCmdOutletNames)
{
    static_assert(sizeof(PduInfo::outletName) == kOutletCount * kNameWidth, "eight 10-byte names");

    QGridLayout* pLayout = createFormLayout(2, kOutletCount);
    for (int i = 0; i < kOutletCount; ++i) {
        m_pEdits[i] = new QLineEdit(this);
        m_pEdits[i]->setObjectName(QStringLiteral("LineEditOutletName"));
        m_pEdits[i]->setMinimumWidth(100);
        m_pLabels[i] = addFormRow(pLayout, i + 1, QStringLiteral("LabelOutletName"), m_pEdits[i]);
        // Nine bytes always leave the field's closing zero byte.
        setTextField(m_pEdits[i], kNameWidth - 1);
        // All eight editors share one object name, so each is wired to the slot by hand.
        connect(m_pEdits[i], &QLineEdit::textChanged, this,
                &COutletNameConfigWidget::on_LineEditOutletName_textChanged);
        m_pChecksProtected[i] = new QCheckBox(this);
        m_pChecksProtected[i]->setObjectName(QStringLiteral("CheckProtected"));
        pLayout->addWidget(m_pChecksProtected[i], i + 1, 2, Qt::AlignLeft | Qt::AlignVCenter);
        connect(m_pChecksProtected[i], &QCheckBox::toggled, this, [this, i](bool bChecked) {
            // Not written (MAC unknown, list not writable): the box shows what holds.
            if (m_pPdu && m_pOutletControl && !m_pOutletControl->setProtected(m_pPdu, i + 1, bChecked))
                showProtection();
        });
    }
    retranslate();
}

void COutletNameConfigWidget::showValues(const PduInfo& info)
{
    for (int i = 0; i < kOutletCount; ++i) {
        const QSignalBlocker block(m_pEdits[i]);
        m_pEdits[i]->setText(deviceText(info.outletName[i]));
    }
    showProtection();
}

void COutletNameConfigWidget::setOutletControl(COutletControl* pControl)
{
    if (m_pOutletControl)
        disconnect(m_pOutletControl.data(), nullptr, this, nullptr);
    m_pOutletControl = pControl;
    if (m_pOutletControl)
        connect(m_pOutletControl, &COutletControl::signalProtectionChanged, this,
                &COutletNameConfigWidget::showProtection);
    showProtection();
}

void COutletNameConfigWidget::showProtection()
{
    for (int i = 0; i < kOutletCount; ++i) {
        const QSignalBlocker block(m_pChecksProtected[i]);
        m_pChecksProtected[i]->setEnabled(m_pPdu && m_pOutletControl && m_pOutletControl->isMacKnown(m_pPdu));
        m_pChecksProtected[i]->setChecked(m_pOutletControl && m_pOutletControl->isProtected(m_pPdu, i + 1));
    }
}

void COutletNameConfigWidget::storeShownValues(PduInfo& set)
{
    for (int i = 0; i < kOutletCount; ++i)
        storeEditedText(m_pEdits[i]->text(), set.outletName[i],
                        m_pPdu ? m_pPdu->stInfo.outletName[i] : nullptr, kNameWidth);
}

void COutletNameConfigWidget::retranslate()
{
    for (int i = 0; i < kOutletCount; ++i) {
        m_pLabels[i]->setText(tr("Outlet%1").arg(i + 1));
        m_pChecksProtected[i]->setText(tr("Protected"));
    }
}

void COutletNameConfigWidget::on_LineEditOutletName_textChanged(const QString& text)
{
    if (!m_pPdu)
        return;
    for (int i = 0; i < kOutletCount; ++i) {
        if (m_pEdits[i] == sender()) {
            storeEditedText(text, m_pPdu->stSetInfo.outletName[i], m_pPdu->stInfo.outletName[i], kNameWidth);
            emit signalCheckNeedDownload();
            return;
        }
    }
}
