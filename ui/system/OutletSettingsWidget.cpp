#include "ui/system/OutletSettingsWidget.h"

#include "device/OutletControl.h"
#include "settings/Settings.h"
#include "ui/system/OutletSetsWidget.h"

#include <QCheckBox>
#include <QVBoxLayout>

COutletSettingsWidget::COutletSettingsWidget(QWidget* parent) : QWidget(parent)
{
    m_pCheckAskBeforeOff = new QCheckBox(this);
    m_pCheckAskBeforeOff->setObjectName(QStringLiteral("CheckAskBeforeOff"));
    m_pCheckAskBeforeOff->setChecked(g_settings.askBeforeOutletOff);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setObjectName(QStringLiteral("LayoutBase"));
    pLayout->setContentsMargins(8, 8, 8, 8);
    m_pSetsWidget = new COutletSetsWidget(this);
    m_pSetsWidget->setObjectName(QStringLiteral("OutletSetsWidget"));
    pLayout->addWidget(m_pCheckAskBeforeOff);
    pLayout->addWidget(m_pSetsWidget, 1);
    QMetaObject::connectSlotsByName(this);
    retranslate();
}

void COutletSettingsWidget::setOutletControl(COutletControl* pControl)
{
    m_pSetsWidget->setControl(pControl ? pControl->outletSets() : nullptr);
}

void COutletSettingsWidget::retranslate()
{
    m_pCheckAskBeforeOff->setText(tr("Ask before switching an outlet off"));
    m_pSetsWidget->retranslate();
}

// Applies at once, like the protection of an outlet: there is nothing else on the page to confirm.
void COutletSettingsWidget::on_CheckAskBeforeOff_toggled(bool bChecked)
{
    g_settings.askBeforeOutletOff = bChecked;
    saveSettings();
}
