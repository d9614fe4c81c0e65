#include "ui/frame/MainTabBtn.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

CMainTabBtn::CMainTabBtn(QWidget* parent)
    : QToolButton(parent), m_font(QStringLiteral("Microsoft YaHei"), 10, 50)
{
    setFont(m_font);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
}

void CMainTabBtn::setEnabled(bool bEnabled)
{
    if (!bEnabled) {
        m_bActive = false;
        m_bHover = false;
    }
    QToolButton::setEnabled(bEnabled);
}

void CMainTabBtn::slotDisactive()
{
    m_bActive = false;
    update();
}

void CMainTabBtn::enterEvent(QEvent* event)
{
    m_bHover = true;
    update();
    QToolButton::enterEvent(event);
}

void CMainTabBtn::leaveEvent(QEvent* event)
{
    m_bHover = false;
    update();
    QToolButton::leaveEvent(event);
}

void CMainTabBtn::mousePressEvent(QMouseEvent* event)
{
    if (isEnabled()) {
        m_bActive = true;
        update();
        emit signalActive();
    }
    QToolButton::mousePressEvent(event);
}

void CMainTabBtn::paintEvent(QPaintEvent* event)
{
    if (isEnabled()) {
        QPainter painter(this);
        painter.setPen(Qt::NoPen);
        if (m_bHover || m_bActive) {
            QLinearGradient gradient(0, 0, 0, height());
            gradient.setColorAt(0, QColor(230, 230, 230, 0));
            gradient.setColorAt(0.5, QColor(230, 230, 230, 100));
            gradient.setColorAt(1, QColor(230, 230, 230, 150));
            painter.setBrush(gradient);
            painter.drawRect(rect());
        }
        if (m_bActive) {
            painter.setBrush(QColor(253, 223, 134));
            painter.drawRect(0, height() - 4, width(), 4);
        }
    }
    QToolButton::paintEvent(event);
}
