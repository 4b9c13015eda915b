#include "controls/waveformstrip.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// A passage shorter than this is a slip of the hand, not a choice.
constexpr int64_t minPassageMs = 100;
// Each zoom step shows this much more or less.
constexpr double zoomFactor = 1.5;

} // namespace

WaveformStrip::WaveformStrip(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves count only while a button is held.
    setMouseTracking(false);
    setFocusPolicy(Qt::NoFocus);
}

void WaveformStrip::setWaveform(const Waveform &waveform)
{
    m_waveform = waveform;
    if (!waveform.isNull())
        m_durationMs = std::max(m_durationMs, waveform.durationMs());
    renderOverview();
    update();
}

void WaveformStrip::setDurationMs(int64_t ms)
{
    if (ms == m_durationMs)
        return;
    m_durationMs = std::max<int64_t>(0, ms);
    renderOverview();
    update();
}

void WaveformStrip::setCues(const QList<Cue> &cues)
{
    m_cues = cues;
    if (m_current >= m_cues.size())
        m_current = -1;
    update();
}

void WaveformStrip::setCurrentCue(int index)
{
    if (index == m_current)
        return;
    m_current = index;
    update();
}

void WaveformStrip::setPosition(int64_t ms)
{
    if (ms == m_position)
        return;
    m_position = ms;
    update();
}

void WaveformStrip::setPassage(int64_t inMs, int64_t outMs)
{
    const bool whole = inMs <= 0 && (m_durationMs <= 0 || outMs >= m_durationMs);
    if (whole || outMs <= inMs) {
        clearPassage();
        return;
    }
    if (m_hasPassage && inMs == m_in && outMs == m_out)
        return;
    m_hasPassage = true;
    m_in = inMs;
    m_out = outMs;
    update();
}

void WaveformStrip::clearPassage()
{
    if (!m_hasPassage)
        return;
    m_hasPassage = false;
    m_in = m_out = 0;
    update();
}

void WaveformStrip::clear()
{
    m_waveform = Waveform();
    m_durationMs = 0;
    m_cues.clear();
    m_current = -1;
    m_position = 0;
    m_hasPassage = false;
    m_in = m_out = 0;
    m_drag = Drag::None;
    m_frozenStart = -1;
    renderOverview();
    update();
}

void WaveformStrip::setSpanMs(int ms)
{
    ms = std::clamp(ms, minSpanMs, maxSpanMs);
    if (ms == m_spanMs)
        return;
    m_spanMs = ms;
    update();
    Q_EMIT spanChanged(ms);
}

void WaveformStrip::zoomIn()
{
    setSpanMs(int(std::lround(m_spanMs / zoomFactor)));
}

void WaveformStrip::zoomOut()
{
    setSpanMs(int(std::lround(m_spanMs * zoomFactor)));
}

QRect WaveformStrip::overviewRect() const
{
    return {0, 0, width(), overviewHeight};
}

QRect WaveformStrip::detailRect() const
{
    return {0, overviewHeight + 1, width(), std::max(0, height() - overviewHeight - 1)};
}

// The played place stays in the middle of the view, but the view never
// goes past either end of the file; under a drag it holds still.
int64_t WaveformStrip::viewStart() const
{
    if (m_frozenStart >= 0)
        return m_frozenStart;
    const int64_t latest = std::max<int64_t>(0, m_durationMs - m_spanMs);
    return std::clamp<int64_t>(m_position - m_spanMs / 2, 0, latest);
}

int WaveformStrip::xOf(int64_t ms) const
{
    const double perPx = double(m_spanMs) / std::max(1, width());
    return int(std::floor(double(ms - viewStart()) / perPx));
}

int64_t WaveformStrip::msAt(int x) const
{
    const double perPx = double(m_spanMs) / std::max(1, width());
    const int64_t ms = viewStart() + std::llround((x + 0.5) * perPx);
    return std::clamp<int64_t>(ms, 0, m_durationMs);
}

int64_t WaveformStrip::overviewMsAt(int x) const
{
    const int w = std::max(1, width());
    return std::clamp<int64_t>(std::llround(double(x) * double(m_durationMs) / w), 0, m_durationMs);
}

int64_t WaveformStrip::placeAt(int x, bool free) const
{
    const int64_t ms = msAt(x);
    return free ? ms : m_waveform.snap(ms, snapReachMs);
}

int WaveformStrip::cueAt(int64_t ms) const
{
    for (qsizetype i = 0; i < m_cues.size(); ++i) {
        if (ms >= m_cues[i].start && ms < m_cues[i].end)
            return int(i);
    }
    return -1;
}

QSize WaveformStrip::sizeHint() const
{
    return {480, 110};
}

QSize WaveformStrip::minimumSizeHint() const
{
    return {160, overviewHeight + 50};
}

void WaveformStrip::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_durationMs <= 0) {
        event->ignore();
        return;
    }
    const QPoint at = event->position().toPoint();
    if (overviewRect().contains(at)) {
        m_drag = Drag::Overview;
        Q_EMIT seekRequested(overviewMsAt(at.x()));
        return;
    }
    m_frozenStart = viewStart();
    m_pressX = at.x();
    m_drag = Drag::Pending;
    if (m_hasPassage) {
        // The nearer handle, when both are within reach of a narrow passage.
        const int toIn = std::abs(at.x() - xOf(m_in));
        const int toOut = std::abs(at.x() - xOf(m_out));
        if (std::min(toIn, toOut) <= handleReach)
            m_drag = toIn < toOut ? Drag::InHandle : Drag::OutHandle;
    }
    m_dragIn = m_in;
    m_dragOut = m_out;
}

void WaveformStrip::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    updateDrag(event);
}

void WaveformStrip::updateDrag(QMouseEvent *event)
{
    const int x = std::clamp(event->position().toPoint().x(), 0, std::max(0, width() - 1));
    const bool free = event->modifiers() & Qt::ShiftModifier;
    switch (m_drag) {
    case Drag::Overview:
        Q_EMIT seekRequested(overviewMsAt(x));
        return;
    case Drag::Pending:
        if (std::abs(x - m_pressX) < QApplication::startDragDistance())
            return;
        m_drag = Drag::Passage;
        [[fallthrough]];
    case Drag::Passage: {
        const int64_t a = placeAt(m_pressX, free);
        const int64_t b = placeAt(x, free);
        m_dragIn = std::min(a, b);
        m_dragOut = std::max(a, b);
        break;
    }
    case Drag::InHandle:
        m_dragIn = placeAt(x, free);
        break;
    case Drag::OutHandle:
        m_dragOut = placeAt(x, free);
        break;
    case Drag::None:
        return;
    }
    update();
}

void WaveformStrip::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    finishDrag(event);
}

void WaveformStrip::finishDrag(QMouseEvent *event)
{
    // The place and the keys held at the release are the last word.
    if (m_drag != Drag::Pending)
        updateDrag(event);
    const Drag drag = m_drag;
    m_drag = Drag::None;
    if (drag == Drag::Pending) {
        m_frozenStart = -1;
        Q_EMIT seekRequested(msAt(m_pressX));
        return;
    }
    if (drag == Drag::Passage || drag == Drag::InHandle || drag == Drag::OutHandle) {
        m_frozenStart = -1;
        // A handle dragged past the other one swaps the roles.
        const int64_t in = std::min(m_dragIn, m_dragOut);
        const int64_t out = std::max(m_dragIn, m_dragOut);
        update();
        if (out - in >= minPassageMs)
            Q_EMIT passageChosen(in, out);
        return;
    }
    m_frozenStart = -1;
}

void WaveformStrip::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !detailRect().contains(event->position().toPoint()))
        return;
    m_drag = Drag::None;
    m_frozenStart = -1;
    const int index = cueAt(msAt(event->position().toPoint().x()));
    if (index >= 0)
        Q_EMIT sentenceLoopRequested(index);
}

void WaveformStrip::wheelEvent(QWheelEvent *event)
{
    // The plain wheel is the player's volume; with Ctrl it zooms here.
    if (!(event->modifiers() & Qt::ControlModifier) || event->angleDelta().y() == 0) {
        event->ignore();
        return;
    }
    event->accept();
    if (event->angleDelta().y() > 0)
        zoomIn();
    else
        zoomOut();
}
