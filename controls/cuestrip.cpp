#include "controls/cuestrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>

namespace {

const QColor currentColor(240, 240, 240);
const QColor dimColor(120, 120, 120);
const QColor revealColor(230, 170, 60);
constexpr int margin = 10;

} // namespace

CueStrip::CueStrip(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CueStrip::setLines(const Line &previous, const Line &current, const Line &next)
{
    if (previous == m_previous && current == m_current && next == m_next && m_message.isEmpty())
        return;
    m_previous = previous;
    m_current = current;
    m_next = next;
    m_message.clear();
    update();
}

void CueStrip::setCounter(const QString &counter, bool revealedBefore)
{
    if (counter == m_counter && revealedBefore == m_counterRevealed)
        return;
    m_counter = counter;
    m_counterRevealed = revealedBefore;
    update();
}

void CueStrip::setRepeat(const QString &repeat)
{
    if (repeat == m_repeat)
        return;
    m_repeat = repeat;
    update();
}

void CueStrip::setMessage(const QString &message)
{
    if (message == m_message)
        return;
    m_message = message;
    update();
}

// Large enough to read from a chair: a quarter of the strip's height, and
// never below 18 px even in a small window.
int CueStrip::currentPixelSize() const
{
    return std::clamp((height() - 2 * margin) / 4, 18, 36);
}

QSize CueStrip::sizeHint() const
{
    return {480, 110};
}

QSize CueStrip::minimumSizeHint() const
{
    return {160, 90};
}

int CueStrip::drawBlock(QPainter &painter, const QRect &area, const Line &line, const QFont &font,
                        const QColor &color, int maxLines)
{
    if (line.text.isEmpty())
        return 0;
    QTextLayout layout(line.text, font);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    int lines = 0;
    for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
        if (lines == maxLines) {
            // Cut short; never drawn past its share of the strip.
            l.setNumColumns(0);
            break;
        }
        l.setLineWidth(area.width());
        l.setPosition(QPointF(0, y));
        y += l.height();
        ++lines;
    }
    layout.endLayout();

    const QPointF origin(area.left(), area.top());
    QColor shown = color;
    if (line.placeholder)
        shown.setAlpha(150);
    if (!line.masked) {
        painter.setPen(shown);
        for (int i = 0; i < lines; ++i)
            layout.lineAt(i).draw(&painter, origin);
        return int(y);
    }
    // A bar for each line, as long as the line's text and a little lower
    // than the letters, so the shape reads as hidden words.
    QColor bar = shown;
    bar.setAlpha(bar.alpha() * 2 / 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(bar);
    for (int i = 0; i < lines; ++i) {
        const QTextLine l = layout.lineAt(i);
        const qreal w = l.naturalTextWidth();
        const qreal h = l.ascent() * 0.8;
        const QRectF r(area.left() + (area.width() - w) / 2.0, area.top() + l.y() + (l.height() - h) / 2.0, w, h);
        painter.drawRoundedRect(r, h / 3.0, h / 3.0);
    }
    return int(y);
}

void CueStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(rect(), Qt::black);

    const int big = currentPixelSize();
    QFont current(QString::fromLatin1(fontFamily));
    current.setPixelSize(big);
    QFont dim(current);
    dim.setPixelSize(std::max(11, big * 3 / 5));

    // The counter and the repeat count sit in the corners; the text keeps
    // clear of both, the same on either side so it stays centred.
    QFont bold(dim);
    bold.setBold(true);
    const int corner = std::max(QFontMetrics(dim).horizontalAdvance(m_counter),
                                QFontMetrics(bold).horizontalAdvance(m_repeat)) + 2 * margin;
    const QRect text = rect().adjusted(corner, margin, -corner, -margin);
    if (!m_message.isEmpty()) {
        painter.setFont(dim);
        painter.setPen(dimColor);
        painter.drawText(text, Qt::AlignCenter | Qt::TextWordWrap, m_message);
        return;
    }

    // Previous, current and next stacked and centred as one block; the
    // current cue may take two lines.
    const QFontMetrics dm(dim);
    const QFontMetrics cm(current);
    const int currentHeight = std::clamp(
        cm.boundingRect(text, Qt::TextWordWrap | Qt::AlignHCenter, m_current.text).height(),
        cm.lineSpacing(), cm.lineSpacing() * 2);
    const int block = dm.lineSpacing() * 2 + currentHeight + margin;
    int y = std::max(text.top(), text.top() + (text.height() - block) / 2);
    drawBlock(painter, QRect(text.left(), y, text.width(), dm.lineSpacing()), m_previous, dim, dimColor, 1);
    y += dm.lineSpacing() + margin / 2;
    const int used = drawBlock(painter, QRect(text.left(), y, text.width(), cm.lineSpacing() * 2), m_current,
                               current, currentColor, 2);
    y += std::max(used, cm.lineSpacing()) + margin / 2;
    drawBlock(painter, QRect(text.left(), y, text.width(), dm.lineSpacing()), m_next, dim, dimColor, 1);

    painter.setFont(dim);
    if (!m_counter.isEmpty()) {
        painter.setPen(m_counterRevealed ? revealColor : dimColor);
        painter.drawText(rect().adjusted(margin, margin, 0, 0), Qt::AlignLeft | Qt::AlignTop, m_counter);
    }
    if (!m_repeat.isEmpty()) {
        painter.setFont(bold);
        painter.setPen(revealColor);
        painter.drawText(rect().adjusted(0, margin, -margin, 0), Qt::AlignRight | Qt::AlignTop, m_repeat);
    }
    if (!m_status.isEmpty()) {
        painter.setFont(bold);
        painter.setPen(revealColor);
        painter.drawText(rect().adjusted(margin, 0, -margin, -margin / 2), Qt::AlignRight | Qt::AlignBottom, m_status);
    }
}

void CueStrip::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    m_status = status;
    update();
}

void CueStrip::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT clicked();
}
