#pragma once

#include <QWidget>

// The strip along the bottom of the player window. It paints its background
// and fixes its height; the window lays the time labels, the seek slider
// and the button bar out on it.
class ControlWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ControlWidget)

public:
    explicit ControlWidget(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
