#include "app/MenuIconStyle.h"

#include <QStyleFactory>

CMenuIconStyle::CMenuIconStyle(QStyle* pBaseStyle)
    : QProxyStyle(pBaseStyle ? pBaseStyle : QStyleFactory::create(QStringLiteral("fusion")))
{
}

int CMenuIconStyle::pixelMetric(PixelMetric metric, const QStyleOption* pOption, const QWidget* pWidget) const
{
    if (metric == PM_SmallIconSize)
        return 20;
    return QProxyStyle::pixelMetric(metric, pOption, pWidget);
}
