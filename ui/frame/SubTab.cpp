#include "ui/frame/SubTab.h"

#include "ui/frame/TabBarUtil.h"

CSubTab::CSubTab(QWidget* parent) : QVBoxLayout(parent)
{
    TabBarUtil::createButtons(this, buttons, QStringLiteral("SubTabBtn"));
    buttons[0]->setProperty("tabActived", true);
    TabBarUtil::connectButtons(this, buttons, m_iBtnWidth, m_iBtnHeight, m_sizeIcon);
}

void CSubTab::setTabCount(int n)
{
    if (n <= kButtonCount)
        m_iTabCount = n;
    TabBarUtil::showFirst(this, buttons, m_iTabCount);
}

void CSubTab::slotTabBtnSelected()
{
    const int iIndex = TabBarUtil::indexOf(buttons, sender());
    if (iIndex >= 0)
        emit signalTabSelChanged(iIndex);
}
