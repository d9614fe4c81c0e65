#pragma once

#include <QProxyStyle>

// The application style: "fusion", with menu icons drawn at 20x20 pixels.
class CMenuIconStyle : public QProxyStyle
{
    Q_OBJECT

public:
    explicit CMenuIconStyle(QStyle* pBaseStyle = nullptr);

    int pixelMetric(PixelMetric metric, const QStyleOption* pOption = nullptr,
                    const QWidget* pWidget = nullptr) const override;
};
