#include "ui/frame/SubTabBtn.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QVariant>

CSubTabBtn::CSubTabBtn(QWidget* parent)
    : QPushButton(parent), m_font(QStringLiteral("Microsoft YaHei"), 9, 50)
{
    setFont(m_font);
    setProperty("tabActived", false);
}

void CSubTabBtn::setTabActived(bool bActived)
{
    setProperty("tabActived", bActived);
    // Property selectors in the style sheet are only re-evaluated on polish.
    style()->unpolish(this);
    style()->polish(this);
}

void CSubTabBtn::setEnabled(bool bEnabled)
{
    if (!bEnabled)
        m_bActive = false;
    QPushButton::setEnabled(bEnabled);
}

void CSubTabBtn::slotDisactive()
{
    m_bActive = false;
    setTabActived(false);
    update();
}

void CSubTabBtn::mousePressEvent(QMouseEvent* event)
{
    if (isEnabled()) {
        m_bActive = true;
        setTabActived(true);
        update();
        emit signalActive();
    }
    QPushButton::mousePressEvent(event);
}

void CSubTabBtn::paintEvent(QPaintEvent* event)
{
    QPushButton::paintEvent(event);
    if (isEnabled() && m_bActive) {
        QPainter painter(this);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(30, 137, 231));
        painter.drawRect(width() - 4, 0, 4, height());
    }
}
