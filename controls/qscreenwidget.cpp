#include "controls/qscreenwidget.h"

#include "skin/localizedfile.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

QScreenWidget::QScreenWidget(QWidget *parent)
    : QWidget(parent)
{
}

void QScreenWidget::paintEvent(QPaintEvent *)
{
    // The pictures are read on every repaint, so a changed skin shows at
    // once; a missing file leaves its place empty.
    const int W = width();
    const int H = height();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(0, 0, W, H), Qt::black);
    painter.drawPixmap(W / 2 - 131, H / 2 - 50,
                       QPixmap(localizedfile::pick(QStringLiteral("./skin/default/images/kestscreen.png"))));
    painter.drawPixmap(W / 2 - 45, H / 2 + 35,
                       QPixmap(localizedfile::pick(QStringLiteral("./skin/default/images/open_button.png"))));
}

void QScreenWidget::mousePressEvent(QMouseEvent *event)
{
    // The open button's 90 x 25 rectangle; any button opens.
    const double W = width(), H = height();
    const double x = event->position().x();
    const double y = event->position().y();
    if (x >= W / 2 - 45 && x <= W / 2 + 45 && y >= H / 2 + 35 && y <= H / 2 + 60) {
        update();
        emit click();
    }
}

void QScreenWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        update();
        emit doubleClick();
    }
}
