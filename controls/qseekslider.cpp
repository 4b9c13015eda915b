#include "controls/qseekslider.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

namespace {

QPen barPen(const QColor &color, int width)
{
    return QPen(QBrush(color), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

} // namespace

QSeekSlider::QSeekSlider(QWidget *parent)
    : QWidget(parent)
{
    setFixedHeight(8);
    // Moves must only arrive while a button is held: a move is a drag.
    setMouseTracking(false);
}

void QSeekSlider::setValue(double f)
{
    m_value = width() * f;
    update();
}

void QSeekSlider::resetMark()
{
    m_markIn = 0;
    m_markOut = 0;
    update();
}

void QSeekSlider::setMarkInFlag(double f)
{
    m_markIn = width() * f;
    update();
}

void QSeekSlider::setMarkOutFlag(double f)
{
    m_markOut = width() * f;
    update();
}

void QSeekSlider::mousePressEvent(QMouseEvent *event)
{
    seekTo(event);
}

void QSeekSlider::mouseMoveEvent(QMouseEvent *event)
{
    seekTo(event);
}

// A press and every move of a left-button drag seek; a drag that leaves the
// bar stops seeking until it comes back.
void QSeekSlider::seekTo(QMouseEvent *event)
{
    if (event->buttons() != Qt::LeftButton)
        return;
    const QPointF pos = event->position();
    const double w = width();
    if (pos.x() < 0 || pos.x() > w || pos.y() < 0 || pos.y() > height())
        return;
    m_value = pos.x();
    update();
    emit valueChanged(w > 0 ? pos.x() / w : 0.0);
}

void QSeekSlider::resizeEvent(QResizeEvent *event)
{
    // Positions keep their fraction of the width. Multiplying before dividing
    // keeps a position at the right edge exactly at the new edge, where a
    // rounded factor could put it a hair off: a mark out that misses the
    // width shows a cancelled loop as a band over the whole bar. The first
    // resize reports no previous width. A collapse to width 0 and back keeps
    // them as they were, since no fraction can be scaled through 0.
    const int oldWidth = event->oldSize().width();
    const int newWidth = event->size().width();
    if (oldWidth > 0 && newWidth > 0) {
        const auto scaled = [=](double x) { return x * newWidth / oldWidth; };
        m_value = scaled(m_value);
        m_markIn = scaled(m_markIn);
        m_markOut = scaled(m_markOut);
    }
    update();
}

void QSeekSlider::paintEvent(QPaintEvent *)
{
    // The whole bar is always laid out over the whole widget; the painter
    // clips it to the region that needs repainting.
    const int W = width();
    const int H = height();

    // A mark out of 0 means "the right edge"; a mark in at the right edge
    // means "no start mark".
    if (m_markOut == 0)
        m_markOut = W;
    if (m_markIn == W)
        m_markIn = 0;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient background(0, 0, 0, H);
    background.setColorAt(0, Qt::gray);
    background.setColorAt(1, Qt::gray);
    painter.fillRect(QRect(0, 0, W, H), background);

    painter.setPen(barPen(Qt::black, H));
    painter.drawLine(W, H / 2, 0, H / 2);

    if (m_value != 0) {
        painter.setPen(barPen(Qt::white, H / 2));
        painter.drawLine(W, H / 4, 0, H / 4);
        painter.setPen(barPen(Qt::gray, H / 2));
        painter.drawLine(W, 3 * H / 4, 0, 3 * H / 4);
    }

    if (m_markIn != 0 || m_markOut != W) {
        const int in = int(m_markIn);
        const int out = int(m_markOut);
        painter.setPen(barPen(QColor(168, 169, 101), H / 4));
        painter.drawLine(out + H / 4, H / 8, in - H / 4, H / 8);
        painter.setPen(barPen(QColor(209, 201, 134), 3 * H / 4));
        painter.drawLine(out, 5 * H / 8, in, 5 * H / 8);
    }

    if (m_value != 0 && m_value != W) {
        const int x = int(m_value);
        painter.setPen(barPen(m_knobUpperColor, H / 2));
        painter.drawLine(x - H / 4, H / 4, x + H / 4, H / 4);
        painter.setPen(barPen(m_knobLowerColor, H / 2));
        painter.drawLine(x - H / 4, 3 * H / 4, x + H / 4, 3 * H / 4);
    }
}
