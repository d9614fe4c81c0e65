#include "ui/frame/MainTab.h"

#include "ui/frame/TabBarUtil.h"

#include <algorithm>

CMainTab::CMainTab(QWidget* parent) : QHBoxLayout(parent)
{
    TabBarUtil::createButtons(this, buttons, QStringLiteral("MainTabBtn"));
    TabBarUtil::connectButtons(this, buttons, m_iBtnWidth, m_iBtnHeight, m_sizeIcon);
}

void CMainTab::setTabCount(int n)
{
    if (n <= kButtonCount)
        m_iTabCount = n;
    TabBarUtil::showFirst(this, buttons, m_iTabCount);
}

void CMainTab::slotTabBtnSelected()
{
    const int iIndex = TabBarUtil::indexOf(buttons, sender());
    if (iIndex >= 0)
        emit signalTabSelChanged(iIndex);
}

void CMainTab::fitButtonsToTexts()
{
    // The style draws a text wider than its button cut in the middle ("Devic…rview").
    constexpr int kTextMargin = 16;
    for (CMainTabBtn* pButton : buttons)
        pButton->setFixedWidth(
            std::max(m_iBtnWidth, pButton->fontMetrics().horizontalAdvance(pButton->text()) + kTextMargin));
}
