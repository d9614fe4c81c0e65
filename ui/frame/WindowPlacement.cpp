#include "ui/frame/WindowPlacement.h"

#include "ui/frame/AppWindows.h"
#include "ui/frame/MainDialog.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace WindowPlacement {

namespace {
// A first window takes this share of the screen's height: rows to see, room for other windows.
constexpr double kFirstHeightShare = 0.85;

qint64 area(const QRect& rect)
{
    return rect.isEmpty() ? 0 : qint64(rect.width()) * rect.height();
}
} // namespace

Placement firstPlacement(const QRect& rectAvailable, const QSize& sizeNeeded)
{
    if (sizeNeeded.width() > rectAvailable.width() || sizeNeeded.height() > rectAvailable.height())
        return {rectAvailable, true};
    const int iHeight = std::max(sizeNeeded.height(), int(rectAvailable.height() * kFirstHeightShare));
    return {placeWithin(rectAvailable, QSize(sizeNeeded.width(), iHeight)), false};
}

QRect restoredRect(const QRect& rectSaved, const QVector<QRect>& vecAvailable)
{
    const QRect* pBest = nullptr;
    qint64 iBest = 0;
    for (const QRect& rect : vecAvailable) {
        const qint64 iShared = area(rect.intersected(rectSaved));
        if (iShared > iBest) {
            iBest = iShared;
            pBest = &rect;
        }
    }
    // Half of it at least on one screen: the window is where its owner left it, perhaps partly off.
    if (!pBest || 2 * iBest < area(rectSaved))
        return QRect();
    const QSize size = rectSaved.size().boundedTo(pBest->size());
    QRect rect(rectSaved.topLeft(), size);
    rect.moveLeft(std::clamp(rect.left(), pBest->left(), pBest->right() + 1 - size.width()));
    rect.moveTop(std::clamp(rect.top(), pBest->top(), pBest->bottom() + 1 - size.height()));
    return rect;
}

QVector<QRect> availableAreas()
{
    QVector<QRect> vec;
    for (const QScreen* pScreen : QGuiApplication::screens())
        vec << pScreen->availableGeometry();
    return vec;
}

QRect availableAreaOf(const QWidget* pWidget)
{
    const QScreen* pScreen = pWidget ? pWidget->screen() : QGuiApplication::primaryScreen();
    return pScreen ? pScreen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QRect placeWithin(const QRect& rectAvailable, const QSize& sizeWanted)
{
    QRect rect(QPoint(), sizeWanted.boundedTo(rectAvailable.size()));
    rect.moveCenter(rectAvailable.center());
    return rect;
}

void placeSecondary(QWidget* pWindow, const QSize& sizeWanted)
{
    const QWidget* pMain = g_pMainDialog && g_pMainDialog->isVisible() ? g_pMainDialog : nullptr;
    pWindow->setGeometry(placeWithin(availableAreaOf(pMain), sizeWanted));
}

} // namespace WindowPlacement
