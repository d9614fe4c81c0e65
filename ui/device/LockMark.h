#pragma once

#include <QIcon>
#include <QRectF>

class QPainter;

// The small padlock that marks a protected outlet, on the switches and in the outlet painter.
void paintLockMark(QPainter& painter, const QRectF& rect);
QIcon lockMarkIcon();
