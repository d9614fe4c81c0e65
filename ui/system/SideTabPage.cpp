#include "ui/system/SideTabPage.h"

#include "ui/frame/SubTab.h"

#include <QPainter>

void paintSideTabBackground(QWidget* pWidget, CSubTab* pSubTab)
{
    QPainter painter(pWidget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const int iStrip = pSubTab->tabWidth();
    painter.setBrush(QColor(240, 240, 240));
    painter.drawRect(0, 0, iStrip, pWidget->height());
    painter.setBrush(Qt::white);
    painter.drawRect(iStrip, 0, pWidget->width() - iStrip, pWidget->height());
}
