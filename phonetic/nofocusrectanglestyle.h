#pragma once

#include <QCommonStyle>

// A style that draws no focus frame around list widgets and push buttons,
// for panels whose keys and lists should look flat while they work. Used by
// the pronunciation lookup and the comparison dialog.
class NoFocusRectangleStyle final : public QCommonStyle
{
    Q_OBJECT

public:
    NoFocusRectangleStyle() = default;
    Q_DISABLE_COPY_MOVE(NoFocusRectangleStyle)

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
};
