#include "controls/controlwidget.h"

#include <QLinearGradient>
#include <QPainter>

ControlWidget::ControlWidget(QWidget *parent)
    : QWidget(parent)
{
    setFixedHeight(50);
}

void ControlWidget::paintEvent(QPaintEvent *)
{
    // The gradient always spans the whole strip, so that a partial repaint
    // matches what is around it.
    const int W = width();
    const int H = height();
    QPainter painter(this);
    QLinearGradient background(0, 0, 0, H);
    background.setColorAt(0, QColor(0, 0, 0));
    background.setColorAt(1, QColor(19, 126, 182, 255));
    painter.fillRect(QRect(0, 0, W, H), background);
}
