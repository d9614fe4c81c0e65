#include "ui/system/SystemConfigWidget.h"

#include "ui/frame/SubTab.h"
#include "ui/system/AlarmConfigWidget.h"
#include "ui/system/MetricsConfigWidget.h"
#include "ui/system/OutletSettingsWidget.h"
#include "ui/system/SideTabPage.h"
#include "ui/system/SmtpConfigWidget.h"
#include "ui/system/SnmpConfigWidget.h"

#include <QHBoxLayout>
#include <QStackedWidget>

CSystemConfigWidget::CSystemConfigWidget(QWidget* parent)
    : QWidget(parent), m_pSubTab(new CSubTab), m_pLayoutBase(new QHBoxLayout(this)),
      m_pStackMain(new QStackedWidget(this)), m_pSmtpConfigWidget(new CSmtpConfigWidget(m_pStackMain)),
      m_pSnmpConfigWidget(new CSnmpConfigWidget(m_pStackMain)),
      m_pMetricsConfigWidget(new CMetricsConfigWidget(m_pStackMain)),
      m_pAlarmConfigWidget(new CAlarmConfigWidget(m_pStackMain)),
      m_pOutletSettingsWidget(new COutletSettingsWidget(m_pStackMain))
{
    m_pSubTab->setObjectName(QStringLiteral("SubTab"));
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));
    m_pStackMain->setObjectName(QStringLiteral("StackMain"));
    m_pSmtpConfigWidget->setObjectName(QStringLiteral("SmtpConfigWidget"));
    m_pSnmpConfigWidget->setObjectName(QStringLiteral("SnmpConfigWidget"));
    m_pMetricsConfigWidget->setObjectName(QStringLiteral("MetricsConfigWidget"));
    m_pAlarmConfigWidget->setObjectName(QStringLiteral("AlarmConfigWidget"));

    m_pLayoutBase->setContentsMargins(0, 0, 0, 0);
    m_pLayoutBase->setSpacing(0);
    m_pLayoutBase->addLayout(m_pSubTab);
    m_pLayoutBase->addWidget(m_pStackMain);
    m_pStackMain->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_pStackMain->addWidget(m_pSmtpConfigWidget);
    m_pStackMain->addWidget(m_pSnmpConfigWidget);
    m_pStackMain->addWidget(m_pMetricsConfigWidget);
    m_pStackMain->addWidget(m_pAlarmConfigWidget);
    m_pOutletSettingsWidget->setObjectName(QStringLiteral("OutletSettingsWidget"));
    m_pStackMain->addWidget(m_pOutletSettingsWidget);

    connect(m_pSubTab, &CSubTab::signalTabSelChanged, m_pStackMain, &QStackedWidget::setCurrentIndex);
    retranslate();
}

void CSystemConfigWidget::retranslate()
{
    m_pSubTab->buttons[0]->setText(tr("SMTP"));
    m_pSubTab->buttons[1]->setText(tr("SNMP"));
    m_pSubTab->buttons[2]->setText(tr("Metrics"));
    m_pSubTab->buttons[3]->setText(tr("Alarms"));
    m_pSmtpConfigWidget->retranslate();
    m_pSnmpConfigWidget->retranslate();
    m_pMetricsConfigWidget->retranslate();
    m_pAlarmConfigWidget->retranslate();
    m_pSubTab->buttons[4]->setText(tr("Outlets"));
    m_pOutletSettingsWidget->retranslate();
}

void CSystemConfigWidget::setOutletControl(COutletControl* pControl)
{
    m_pOutletSettingsWidget->setOutletControl(pControl);
}

void CSystemConfigWidget::showEvent(QShowEvent* event)
{
    m_pSubTab->setTabCount(5);
    QWidget::showEvent(event);
}

void CSystemConfigWidget::paintEvent(QPaintEvent* event)
{
    paintSideTabBackground(this, m_pSubTab);
    QWidget::paintEvent(event);
}
