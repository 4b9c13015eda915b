// Drawing the waveform strip in the skin's colours: the control strip's
// blues for the sound, the slider's flag colours for the passage, the cue
// strip's greys and amber for the sentences.

#include "controls/waveformstrip.h"

#include <QPainter>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace {

const QColor background(4, 14, 22);
const QColor bandBackground(8, 30, 46);
const QColor separator(19, 126, 182);
const QColor soundColor(118, 169, 196);
const QColor markedSoundColor(209, 201, 134);
const QColor flagColor(168, 169, 101);
const QColor passageShade(209, 201, 134, 38);
const QColor cueShade(255, 255, 255, 16);
const QColor currentCueShade(118, 169, 196, 46);
const QColor dimColor(120, 120, 120);
const QColor revealColor(230, 170, 60);
const QColor playColor(255, 255, 255);
constexpr char fontFamily[] = "Mensch";

// Seconds as "m:ss", or "h:mm:ss" from an hour on.
QString clock(int64_t ms)
{
    const int64_t s = std::max<int64_t>(0, ms) / 1000;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

void WaveformStrip::resizeEvent(QResizeEvent *)
{
    renderOverview();
}

// Drawn once per waveform and width, so that a frame only copies it.
void WaveformStrip::renderOverview()
{
    const QRect area = overviewRect();
    if (area.isEmpty()) {
        m_overview = QPixmap();
        return;
    }
    m_overview = QPixmap(area.size());
    m_overview.fill(bandBackground);
    if (m_waveform.isNull() || m_durationMs <= 0)
        return;
    QPainter painter(&m_overview);
    QColor sound = soundColor;
    sound.setAlpha(170);
    painter.setPen(sound);
    const double middle = area.height() / 2.0;
    const double scale = (middle - 1.0) / m_waveform.loudest();
    const double bucketsPerPx = double(m_durationMs) / Waveform::bucketMs / area.width();
    QVarLengthArray<QLineF, 2048> lines;
    for (int x = 0; x < area.width(); ++x) {
        const auto [low, high] = m_waveform.range(qsizetype(x * bucketsPerPx), qsizetype((x + 1) * bucketsPerPx));
        lines.append(QLineF(x + 0.5, middle - high * scale, x + 0.5, middle - low * scale + 0.5));
    }
    painter.drawLines(lines.constData(), int(lines.size()));
}

void WaveformStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintOverview(painter, overviewRect());
    painter.fillRect(QRect(0, overviewHeight, width(), 1), separator);
    paintDetail(painter, detailRect());
}

void WaveformStrip::paintOverview(QPainter &painter, const QRect &area)
{
    painter.drawPixmap(area.topLeft(), m_overview);
    if (m_durationMs <= 0)
        return;
    const auto x = [&](int64_t ms) { return int(double(ms) * area.width() / double(m_durationMs)); };
    if (m_hasPassage) {
        const int l = x(m_in);
        painter.fillRect(QRect(l, area.top(), std::max(2, x(m_out) - l), area.height()), passageShade);
        painter.fillRect(QRect(l, area.top(), 1, area.height()), markedSoundColor);
        painter.fillRect(QRect(std::max(l + 1, x(m_out)), area.top(), 1, area.height()), markedSoundColor);
    }
    // The stretch the zoomed view shows, framed.
    const int l = x(viewStart());
    const int w = std::max(3, x(viewStart() + m_spanMs) - l);
    painter.setPen(QColor(255, 255, 255, 110));
    painter.setBrush(QColor(255, 255, 255, 28));
    painter.drawRect(QRect(l, area.top(), w - 1, area.height() - 1));
    painter.fillRect(QRect(x(m_position), area.top(), 1, area.height()), playColor);
}

void WaveformStrip::paintDetail(QPainter &painter, const QRect &area)
{
    painter.fillRect(area, background);
    if (area.height() <= 0)
        return;
    if (m_durationMs <= 0)
        return;
    paintCues(painter, area);
    const bool dragging = m_drag == Drag::Passage || m_drag == Drag::InHandle || m_drag == Drag::OutHandle;
    const int64_t in = dragging ? std::min(m_dragIn, m_dragOut) : m_in;
    const int64_t out = dragging ? std::max(m_dragIn, m_dragOut) : m_out;
    const bool marked = dragging || m_hasPassage;
    if (marked)
        painter.fillRect(QRect(QPoint(xOf(in), area.top()), QPoint(xOf(out), area.bottom())), passageShade);
    const double msPerPx = double(m_spanMs) / std::max(1, area.width());
    paintPeaks(painter, area, viewStart(), msPerPx, marked);
    paintRuler(painter, area);
    paintHandles(painter, area);
    const int play = xOf(m_position);
    painter.fillRect(QRect(play, area.top(), 1, area.height()), playColor);
    if (m_waveform.isNull()) {
        QFont font(QString::fromLatin1(fontFamily));
        font.setPixelSize(13);
        painter.setFont(font);
        painter.setPen(dimColor);
        painter.drawText(area, Qt::AlignCenter, tr("Reading the sound..."));
    }
}

void WaveformStrip::paintCues(QPainter &painter, const QRect &area)
{
    const int64_t from = viewStart();
    const int64_t to = from + m_spanMs;
    QFont font(QString::fromLatin1(fontFamily));
    font.setPixelSize(11);
    painter.setFont(font);
    for (qsizetype i = 0; i < m_cues.size(); ++i) {
        const Cue &cue = m_cues[i];
        if (cue.end <= from || cue.start >= to)
            continue;
        const int l = std::max(area.left(), xOf(cue.start));
        const int r = std::min(area.right(), xOf(cue.end));
        const QRect span(l, area.top(), std::max(1, r - l), area.height());
        painter.fillRect(span, i == m_current ? currentCueShade : cueShade);
        painter.fillRect(QRect(xOf(cue.start), area.top(), 1, area.height()), QColor(255, 255, 255, 40));
        // The number stays in sight while its sentence is.
        painter.setPen(i == m_current ? revealColor : dimColor);
        painter.drawText(span.adjusted(4, 2, -2, 0), Qt::AlignLeft | Qt::AlignTop, QString::number(i + 1));
    }
}

// One vertical line per column, from the lowest to the highest sample of
// the buckets under it: a minute on a wide screen is a few thousand
// buckets, which keeps a frame far under its time while playing.
void WaveformStrip::paintPeaks(QPainter &painter, const QRect &area, int64_t from, double msPerPx, bool marked)
{
    if (m_waveform.isNull())
        return;
    const int top = area.top() + 16; // under the cue numbers
    const double middle = top + (area.bottom() - 14 - top) / 2.0;
    const double scale = (middle - top) / m_waveform.loudest();
    QVarLengthArray<QLineF, 2048> plain;
    QVarLengthArray<QLineF, 2048> inPassage;
    const bool dragging = m_drag == Drag::Passage || m_drag == Drag::InHandle || m_drag == Drag::OutHandle;
    const int64_t in = dragging ? std::min(m_dragIn, m_dragOut) : m_in;
    const int64_t out = dragging ? std::max(m_dragIn, m_dragOut) : m_out;
    for (int x = area.left(); x <= area.right(); ++x) {
        const double a = from + x * msPerPx;
        if (a >= m_durationMs)
            break;
        const qsizetype first = qsizetype(a / Waveform::bucketMs);
        const qsizetype last = std::max(first, qsizetype((a + msPerPx) / Waveform::bucketMs) - 1);
        const auto [low, high] = m_waveform.range(first, last);
        const QLineF line(x + 0.5, middle - high * scale, x + 0.5, middle - low * scale + 0.5);
        (marked && a >= in && a < out ? inPassage : plain).append(line);
    }
    painter.setPen(soundColor);
    painter.drawLines(plain.constData(), int(plain.size()));
    painter.setPen(markedSoundColor);
    painter.drawLines(inPassage.constData(), int(inPassage.size()));
}

void WaveformStrip::paintHandles(QPainter &painter, const QRect &area)
{
    const bool dragging = m_drag == Drag::Passage || m_drag == Drag::InHandle || m_drag == Drag::OutHandle;
    if (!dragging && !m_hasPassage)
        return;
    const int64_t in = dragging ? std::min(m_dragIn, m_dragOut) : m_in;
    const int64_t out = dragging ? std::max(m_dragIn, m_dragOut) : m_out;
    painter.setRenderHint(QPainter::Antialiasing);
    // A flag on each mark, pointing into the passage, as on the slider.
    const auto handle = [&](int x, int direction) {
        painter.fillRect(QRect(x - 1, area.top(), 2, area.height()), markedSoundColor);
        const QPointF flag[3] = {QPointF(x, area.top()), QPointF(x + direction * 9, area.top() + 6),
                                 QPointF(x, area.top() + 12)};
        painter.setPen(Qt::NoPen);
        painter.setBrush(flagColor);
        painter.drawPolygon(flag, 3);
        const QPointF foot[3] = {QPointF(x, area.bottom() + 1), QPointF(x + direction * 9, area.bottom() - 5),
                                 QPointF(x, area.bottom() - 11)};
        painter.drawPolygon(foot, 3);
    };
    handle(xOf(in), 1);
    handle(xOf(out), -1);
    painter.setRenderHint(QPainter::Antialiasing, false);
}

// Ticks along the foot at a round step for the span: 1, 2, 5, 10 or 15 s.
void WaveformStrip::paintRuler(QPainter &painter, const QRect &area)
{
    const int64_t from = viewStart();
    int64_t step = 1000;
    for (const int64_t s : {1000, 2000, 5000, 10000, 15000}) {
        step = s;
        if (m_spanMs / s <= 8)
            break;
    }
    QFont font(QString::fromLatin1(fontFamily));
    font.setPixelSize(10);
    painter.setFont(font);
    QColor tick = dimColor;
    for (int64_t t = (from + step - 1) / step * step; t <= from + m_spanMs; t += step) {
        const int x = xOf(t);
        painter.fillRect(QRect(x, area.bottom() - 3, 1, 4), tick);
        painter.setPen(tick);
        painter.drawText(QRect(x + 3, area.bottom() - 13, 60, 13), Qt::AlignLeft | Qt::AlignBottom, clock(t));
    }
}
