#include "progress/accuracyplot.h"

#include "progress/progresscolors.h"

#include <QLinearGradient>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

constexpr int reach = 12;   // pixels around a point that hover it
constexpr qreal dot = 3.5;  // radius of an attempt's point
constexpr qreal latestDot = 5.5;

QString percent(double fraction)
{
    return QStringLiteral("%1%").arg(std::lround(fraction * 100));
}

} // namespace

AccuracyPlot::AccuracyPlot(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("accuracyPlot"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void AccuracyPlot::setAttempts(const QList<Attempt> &attempts)
{
    m_attempts = attempts;
    m_hovered = -1;
    update();
}

QSize AccuracyPlot::sizeHint() const
{
    return {520, 220};
}

QSize AccuracyPlot::minimumSizeHint() const
{
    return {240, 140};
}

QRectF AccuracyPlot::plotArea() const
{
    const QFontMetrics fm = fontMetrics();
    const qreal left = fm.horizontalAdvance(QStringLiteral("100%")) + 14;
    const qreal bottom = fm.height() + 10;
    return QRectF(left, fm.height() / 2.0 + 8, width() - left - 18, height() - bottom - fm.height() / 2.0 - 8);
}

QPointF AccuracyPlot::pointOf(int index) const
{
    const QRectF area = plotArea();
    const qsizetype n = m_attempts.size();
    // A lone attempt stands in the middle; more spread over the width,
    // inset by a point's size so the first and last are drawn whole.
    const qreal inset = latestDot + 4;
    const qreal x = n <= 1 ? area.center().x()
                           : area.left() + inset + (area.width() - 2 * inset) * index / qreal(n - 1);
    const double accuracy = std::clamp(m_attempts.value(index).accuracy, 0.0, 1.0);
    return {x, area.bottom() - area.height() * accuracy};
}

int AccuracyPlot::attemptAt(const QPoint &pos) const
{
    int nearest = -1;
    qreal nearestDistance = reach;
    for (int i = 0; i < m_attempts.size(); ++i) {
        const qreal distance = QLineF(pos, pointOf(i)).length();
        if (distance <= nearestDistance) {
            nearest = i;
            nearestDistance = distance;
        }
    }
    return nearest;
}

QString AccuracyPlot::describe(int index) const
{
    const Attempt &a = m_attempts.at(index);
    const QLocale locale;
    return tr("Attempt %1, %2\nAccuracy %3, word error rate %4\nWords scored: %5")
        .arg(index + 1)
        .arg(locale.toString(a.when.toLocalTime(), QLocale::ShortFormat), percent(a.accuracy),
             percent(a.wordErrorRate))
        .arg(a.referenceWords);
}

void AccuracyPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), progresscolors::panel);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = plotArea();
    // An empty grid behind the message would read as a score of nothing.
    if (m_attempts.isEmpty()) {
        painter.setPen(progresscolors::dim);
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap,
                         tr("No comparison of this lesson yet.\nCompare your dictation with the reference "
                            "and each score appears here."));
        return;
    }
    drawGrid(painter, area);
    drawLine(painter);
    drawAttemptNumbers(painter, area);
}

void AccuracyPlot::drawGrid(QPainter &painter, const QRectF &area) const
{
    const QFontMetrics fm = fontMetrics();
    for (int step = 0; step <= 4; ++step) {
        const qreal y = std::round(area.bottom() - area.height() * step / 4.0) + 0.5;
        painter.setPen(QPen(progresscolors::grid, 1, step == 0 ? Qt::SolidLine : Qt::DotLine));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(progresscolors::dim);
        const QString label = percent(step / 4.0);
        painter.drawText(QPointF(area.left() - 8 - fm.horizontalAdvance(label), y + fm.ascent() / 2.0 - 1), label);
    }
}

void AccuracyPlot::drawLine(QPainter &painter) const
{
    const QRectF area = plotArea();
    QPainterPath line;
    for (int i = 0; i < m_attempts.size(); ++i)
        i == 0 ? line.moveTo(pointOf(i)) : line.lineTo(pointOf(i));
    if (m_attempts.size() > 1) {
        // A soft fill under the line reads as a level at a glance.
        QPainterPath fill = line;
        fill.lineTo(pointOf(int(m_attempts.size()) - 1).x(), area.bottom());
        fill.lineTo(pointOf(0).x(), area.bottom());
        fill.closeSubpath();
        QLinearGradient shade(area.topLeft(), area.bottomLeft());
        QColor top = progresscolors::accent;
        top.setAlpha(90);
        QColor bottom = progresscolors::accent;
        bottom.setAlpha(0);
        shade.setColorAt(0, top);
        shade.setColorAt(1, bottom);
        painter.fillPath(fill, shade);
        painter.strokePath(line, QPen(progresscolors::accent, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    const int last = int(m_attempts.size()) - 1;
    for (int i = 0; i <= last; ++i) {
        const bool below = m_attempts[i].accuracy < 0;
        const bool emphasised = i == last || i == m_hovered;
        painter.setPen(QPen(emphasised ? progresscolors::text : progresscolors::accent, emphasised ? 2 : 1.5));
        painter.setBrush(below ? progresscolors::panel : progresscolors::accent);
        const qreal r = emphasised ? latestDot : dot;
        painter.drawEllipse(pointOf(i), r, r);
    }
    // The latest score in words beside its point, where the eye ends.
    const QPointF latest = pointOf(last);
    const QString label = percent(m_attempts[last].accuracy);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    const QFontMetrics fm(bold);
    const qreal x = std::min(latest.x() - fm.horizontalAdvance(label) / 2.0, area.right() - fm.horizontalAdvance(label));
    const qreal y = latest.y() - latestDot - 6 < area.top() + fm.ascent() ? latest.y() + latestDot + 4 + fm.ascent()
                                                                          : latest.y() - latestDot - 6;
    painter.setPen(progresscolors::text);
    painter.drawText(QPointF(x, y), label);
    painter.setFont(font());
}

void AccuracyPlot::drawAttemptNumbers(QPainter &painter, const QRectF &area) const
{
    const QFontMetrics fm = fontMetrics();
    const int n = int(m_attempts.size());
    // As many numbers as fit without touching; the last always shows.
    const qreal room = fm.horizontalAdvance(QString::number(n)) + 12;
    const qreal spacing = n > 1 ? (pointOf(1).x() - pointOf(0).x()) : room;
    const int every = std::max(1, int(std::ceil(room / spacing)));
    painter.setPen(progresscolors::dim);
    for (int i = 0; i < n; ++i) {
        if (i % every != 0 && i != n - 1)
            continue;
        if (i != n - 1 && i + every > n - 1 && (pointOf(n - 1).x() - pointOf(i).x()) < room)
            continue;
        const QString number = QString::number(i + 1);
        painter.drawText(QPointF(pointOf(i).x() - fm.horizontalAdvance(number) / 2.0, area.bottom() + 6 + fm.ascent()),
                         number);
    }
}

void AccuracyPlot::mouseMoveEvent(QMouseEvent *event)
{
    const int hovered = attemptAt(event->position().toPoint());
    if (hovered != m_hovered) {
        m_hovered = hovered;
        update();
    }
    if (hovered >= 0)
        QToolTip::showText(event->globalPosition().toPoint(), describe(hovered), this);
    else
        QToolTip::hideText();
}

void AccuracyPlot::leaveEvent(QEvent *)
{
    m_hovered = -1;
    update();
}
