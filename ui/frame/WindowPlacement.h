#pragma once

#include <QRect>
#include <QSize>
#include <QVector>

class QWidget;

// Where windows open: within the screens that exist, at sizes that show what they hold.
namespace WindowPlacement {

struct Placement
{
    QRect rect;
    bool bMaximized = false;
};

// The main window's first place on a screen with the available area rectAvailable: sizeNeeded shows
// every column; a screen too small for it gets the window maximised. Extra height goes to rows.
Placement firstPlacement(const QRect& rectAvailable, const QSize& sizeNeeded);

// A remembered geometry put back on the screen that holds most of it, made to fit its available area;
// null when most of it lies off every screen (the screen it was on is gone).
QRect restoredRect(const QRect& rectSaved, const QVector<QRect>& vecAvailable);

// The available areas of the screens there are now.
QVector<QRect> availableAreas();

// The available area of the screen the widget is on; the primary screen's without a widget.
QRect availableAreaOf(const QWidget* pWidget);

// A window opening at sizeWanted: no larger than rectAvailable, centred on it.
QRect placeWithin(const QRect& rectAvailable, const QSize& sizeWanted);

// Sizes and places a secondary window within the screen of the main window (the primary screen
// while there is none).
void placeSecondary(QWidget* pWindow, const QSize& sizeWanted);

} // namespace WindowPlacement
