#include "ui/device/OutletStatusWidget.h"

#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "ui/device/LockMark.h"
#include "ui/frame/SharedFonts.h"

#include <QPainter>

COutletStatusWidget::COutletStatusWidget(CPdu* pdu) : QWidget(nullptr), m_pPdu(pdu) {}

COutletStatusWidget* COutletStatusWidget::attach(CPdu* pPdu)
{
    if (!pPdu || pPdu->pOutletStatusWidget)
        return pPdu ? pPdu->pOutletStatusWidget.data() : nullptr;
    auto* pPainter = new COutletStatusWidget(pPdu);
    pPainter->setObjectName(QStringLiteral("OutletStatusWidget"));
    pPdu->pOutletStatusWidget = pPainter;
    // Once the overview tree has adopted the painter, the tree owns it; otherwise it goes with the device.
    QObject::connect(pPdu, &QObject::destroyed, pPainter, [pPainter] {
        if (!pPainter->parent())
            delete pPainter;
    });
    return pPainter;
}

void COutletStatusWidget::setOutletControl(COutletControl* pControl)
{
    m_pOutletControl = pControl;
    update();
}

void COutletStatusWidget::paintEvent(QPaintEvent* event)
{
    if (m_pPdu) {
        const int w = width();
        const int h = height();
        const int s = w / 8 < h ? w / 8 : h;

        QPainter painter(this);
        if (g_fontNormal9) {
            painter.setFont(*g_fontNormal9);
        } else {
            QFont font = painter.font();
            font.setPointSize(9);
            painter.setFont(font);
        }
        painter.setRenderHint(QPainter::Antialiasing);

        // An offline device's outlets are its last reported states, greyed: they may have changed since.
        const bool bStale = !m_pPdu->isOnline();
        const QPen textPen(bStale ? QColor(130, 130, 130) : QColor(Qt::black), 1.0, Qt::SolidLine,
                           Qt::FlatCap, Qt::BevelJoin);
        const QBrush onBrush(bStale ? QColor(190, 215, 190) : QColor(80, 255, 80), Qt::SolidPattern);
        const QBrush offBrush(bStale ? QColor(220, 195, 195) : QColor(255, 80, 80), Qt::SolidPattern);

        const double m = s * 0.15 * 0.5;
        const int d = int(s - s * 0.15);
        const int y = h / 2 - s / 2;
        const quint8 status = m_pPdu->stInfo.outletStatus;
        for (int i = 0; i < 8; ++i) {
            const QRect square(int(i * s + m), int(y + m), d, d);
            painter.setPen(Qt::NoPen);
            painter.setBrush((status >> i) & 1 ? onBrush : offBrush);
            painter.drawEllipse(square);
            painter.setPen(textPen);
            painter.drawText(square, Qt::AlignCenter, QString::number(i + 1));
            if (m_pOutletControl && m_pOutletControl->isProtected(m_pPdu, i + 1))
                // Top right, clear of the centred number.
                paintLockMark(painter,
                              QRectF(square.right() - d * 0.25, square.top() - d * 0.1, d * 0.42, d * 0.5));
        }
    }
    QWidget::paintEvent(event);
}
