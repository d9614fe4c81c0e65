#pragma once

#include "app/MenuIconStyle.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QMouseEvent>
#include <QWidget>
#include <QtGlobal>
#include <cmath>

namespace FrameTestUtil {

// The look the operator meets: the application style and the application-wide style sheet.
inline bool applyApplicationLook()
{
    QApplication::setStyle(new CMenuIconStyle);
    QFile file(QStringLiteral(":/StyleSheet/StyleSheet/StyleSheet.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
    return true;
}

// Delivers a mouse event with an exact global position (QTest derives it from the widget's own).
inline void sendMouse(QWidget* pWidget, QEvent::Type type, const QPoint& ptGlobal,
                      Qt::MouseButton button = Qt::LeftButton, Qt::MouseButtons buttons = Qt::LeftButton)
{
    QMouseEvent event(type, pWidget->mapFromGlobal(ptGlobal), ptGlobal, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &event);
}

// Source-over composition of src onto dst, both unpremultiplied.
inline QColor over(const QColor& src, const QColor& dst)
{
    const double as = src.alphaF();
    const double ad = dst.alphaF() * (1 - as);
    const double a = as + ad;
    auto channel = [&](double s, double d) { return a > 0 ? (s * as + d * ad) / a : 0.0; };
    QColor result;
    result.setRgbF(channel(src.redF(), dst.redF()), channel(src.greenF(), dst.greenF()),
                   channel(src.blueF(), dst.blueF()), a);
    return result;
}

inline bool near(const QColor& a, const QColor& b, int iTolerance = 3)
{
    return std::abs(a.red() - b.red()) <= iTolerance && std::abs(a.green() - b.green()) <= iTolerance &&
           std::abs(a.blue() - b.blue()) <= iTolerance && std::abs(a.alpha() - b.alpha()) <= iTolerance;
}

inline QByteArray describe(const QColor& color)
{
    return QByteArray("rgba(") + QByteArray::number(color.red()) + ',' + QByteArray::number(color.green()) +
           ',' + QByteArray::number(color.blue()) + ',' + QByteArray::number(color.alpha()) + ')';
}

} // namespace FrameTestUtil
