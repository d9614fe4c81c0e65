#include "ui/system/OutletSettingsWidget.h"

#include "settings/Settings.h"

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
    pLayout->addStretch();
    pLayout->addWidget(m_pCheckAskBeforeOff, 0, Qt::AlignCenter);
    pLayout->addStretch();
    QMetaObject::connectSlotsByName(this);
    retranslate();
}

void COutletSettingsWidget::retranslate()
{
    m_pCheckAskBeforeOff->setText(tr("Ask before switching an outlet off"));
}

// Applies at once, like the protection of an outlet: there is nothing else on the page to confirm.
void COutletSettingsWidget::on_CheckAskBeforeOff_toggled(bool bChecked)
{
    g_settings.askBeforeOutletOff = bChecked;
    saveSettings();
}
