#include "ui/system/GroupConfigWidget.h"

#include "ui/frame/SubTab.h"
#include "ui/system/DivideGroupWidget.h"
#include "ui/system/SideTabPage.h"

#include <QHBoxLayout>
#include <QStackedWidget>

CGroupConfigWidget::CGroupConfigWidget(QWidget* parent)
    : QWidget(parent), m_pSubTab(new CSubTab), m_pLayoutBase(new QHBoxLayout(this)),
      m_pStackMain(new QStackedWidget(this)), m_pDivideGroupWidget(new CDivideGroupWidget(m_pStackMain))
{
    m_pSubTab->setObjectName(QStringLiteral("SubTab"));
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));
    m_pStackMain->setObjectName(QStringLiteral("StackMain"));
    m_pDivideGroupWidget->setObjectName(QStringLiteral("DivideGroupWidget"));

    m_pLayoutBase->setContentsMargins(2, 2, 2, 2);
    m_pLayoutBase->setSpacing(4);
    m_pLayoutBase->addLayout(m_pSubTab);
    m_pLayoutBase->addWidget(m_pStackMain);
    m_pStackMain->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_pStackMain->addWidget(m_pDivideGroupWidget);

    connect(m_pSubTab, &CSubTab::signalTabSelChanged, m_pStackMain, &QStackedWidget::setCurrentIndex);
    retranslate();
}

void CGroupConfigWidget::retranslate()
{
    m_pSubTab->buttons[0]->setText(tr("DevideGroup"));
    m_pDivideGroupWidget->retranslate();
}

void CGroupConfigWidget::showEvent(QShowEvent* event)
{
    m_pSubTab->setTabCount(1);
    QWidget::showEvent(event);
}

void CGroupConfigWidget::paintEvent(QPaintEvent* event)
{
    paintSideTabBackground(this, m_pSubTab);
    QWidget::paintEvent(event);
}
