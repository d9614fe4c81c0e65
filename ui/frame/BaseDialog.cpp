#include "ui/frame/BaseDialog.h"

#include "ui/frame/TitleBar.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyleOption>
#include <QVBoxLayout>

namespace {
constexpr int kFrameMargin = 6;
constexpr qreal kCornerRadius = 4;
} // namespace

CBaseDialog::CBaseDialog(QWidget* parent, Qt::WindowFlags f)
    : QDialog(parent, f), m_pTitleBar(new CTitleBar), m_pBaseLayout(new QVBoxLayout)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("QDialog\n{\nborder-image: url(:/Dialog/Dialog/ShadowBorder.png) 8 8 8 8;\n"
                                 "border-width: 8px;\n}\n"));

    m_pTitleBar->setObjectName(QStringLiteral("TitleBar"));
    m_pBaseLayout->setObjectName(QStringLiteral("BaseLayout"));
    m_pBaseLayout->addLayout(m_pTitleBar);
    m_pBaseLayout->setContentsMargins(kFrameMargin, kFrameMargin, kFrameMargin, kFrameMargin);
    m_pBaseLayout->setSpacing(0);
    setLayout(m_pBaseLayout);

    connect(m_pTitleBar, &CTitleBar::signalBtnMinClicked, this, &QWidget::showMinimized);
    connect(m_pTitleBar, &CTitleBar::signalBtnMaxClicked, this, &CBaseDialog::slotBtnMaxClick);
    connect(m_pTitleBar, &CTitleBar::signalBtnCloseClicked, this, &QWidget::close);
}

void CBaseDialog::retranslate()
{
    m_pTitleBar->retranslate();
}

void CBaseDialog::slotBtnMaxClick()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

bool CBaseDialog::isPlainMaximized() const
{
    return (windowState() & ~Qt::WindowActive) == Qt::WindowMaximized;
}

void CBaseDialog::applyWindowState()
{
    const bool bMaximized = isPlainMaximized();
    m_pTitleBar->setMaximizedState(bMaximized);
    const int iMargin = bMaximized ? 0 : kFrameMargin;
    m_pBaseLayout->setContentsMargins(iMargin, iMargin, iMargin, iMargin);
}

void CBaseDialog::showEvent(QShowEvent* event)
{
    applyWindowState();
    QDialog::showEvent(event);
}

void CBaseDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange)
        applyWindowState();
    QDialog::changeEvent(event);
}

void CBaseDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_ptDragOffset = event->globalPos() - pos();
        m_bDragging = true;
        event->accept();
    }
    QDialog::mousePressEvent(event);
}

void CBaseDialog::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) && m_bDragging) {
        const QPoint ptCursor = event->globalPos();
        if (isMaximized()) {
            // The platform applies the restored size later; the normal geometry is already known.
            const int iWidth = normalGeometry().isValid() ? normalGeometry().width() : width();
            const QPoint ptTopLeft(ptCursor.x() - iWidth / 2, ptCursor.y() - m_pTitleBar->titleHeight() / 2);
            showNormal();
            move(ptTopLeft);
            m_ptDragOffset = ptCursor - ptTopLeft;
        }
        move(ptCursor - m_ptDragOffset);
        event->accept();
    }
    QDialog::mouseMoveEvent(event);
}

void CBaseDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_bDragging = false;
        event->accept();
    }
    QDialog::mouseReleaseEvent(event);
}

void CBaseDialog::mouseDoubleClickEvent(QMouseEvent* event)
{
    const bool bToggle = event->button() == Qt::LeftButton && m_pTitleBar->maxButton()->isVisibleTo(this);
    if (bToggle) {
        m_bDragging = false;
        slotBtnMaxClick();
    }
    QDialog::mouseDoubleClickEvent(event);
    // The default handling treats the double-click as another press and would start a drag, so the
    // slightest move before the release would undo the new state.
    if (bToggle)
        m_bDragging = false;
}

void CBaseDialog::paintFrame(int iHeaderHeight, const QColor& colorBand, const QColor& colorBody)
{
    const bool bMaximized = isPlainMaximized();
    const int m = bMaximized ? 0 : kFrameMargin;
    const int W = width();
    const int H = height();
    const int T = iHeaderHeight;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(m, m, W - 2 * m, H - 2 * m, QColor(120, 120, 120, 80));
    painter.setPen(Qt::NoPen);

    QPainterPath pathBand;
    pathBand.setFillRule(Qt::WindingFill);
    pathBand.addRoundedRect(m, m, W - 2 * m, T, kCornerRadius, kCornerRadius);
    pathBand.addRect(m, m + kCornerRadius, W - 2 * m, T - kCornerRadius);
    painter.setBrush(colorBand);
    painter.drawPath(pathBand);

    QPainterPath pathBody;
    pathBody.setFillRule(Qt::WindingFill);
    pathBody.addRect(m, m + T, W - 2 * m, H - 2 * m - T - kCornerRadius);
    pathBody.addRoundedRect(m, m + T, W - 2 * m, H - 2 * m - T, kCornerRadius, kCornerRadius);
    painter.setBrush(colorBody);
    painter.drawPath(pathBody);

    if (!bMaximized) {
        // The shadow is the dialog's own style-sheet border image.
        QStyleOption option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    }
}

void CBaseDialog::paintEvent(QPaintEvent* event)
{
    paintFrame(m_pTitleBar->titleHeight());
    QDialog::paintEvent(event);
}
