#pragma once

#include "cues/subtitles.h"
#include "cues/waveform.h"

#include <QPixmap>
#include <QWidget>

#include <cstdint>

class QPainter;

// The sound of the playing file, drawn: the whole file in a thin band on
// top, with the part shown below framed, and below it a zoomed view around
// the played place (2 s to a minute) with the played place as a line, the
// learner's passage between two handles and the sentences as shaded,
// numbered spans. With the mouse, on the zoomed view: a drag makes a
// passage, a drag of a handle moves that mark, both landing on the edge of
// a pause within snapReachMs unless Shift is held; a click plays from
// there and a double click loops the sentence. A click or a drag on the
// band plays from there. Ctrl with the wheel zooms.
//
// Times are ms of media time from the file's first moment, as cues count.
class WaveformStrip final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WaveformStrip)

public:
    static constexpr int minSpanMs = 2000;
    static constexpr int maxSpanMs = 60000;
    static constexpr int defaultSpanMs = 10000;
    static constexpr int snapReachMs = 100;
    // px: how near a press must be to a handle to take it.
    static constexpr int handleReach = 5;
    static constexpr int overviewHeight = 22;

    explicit WaveformStrip(QWidget *parent = nullptr);

    // Empty until the sound has been read; a message says so meanwhile.
    void setWaveform(const Waveform &waveform);
    // The length to lay things out on, known from the engine before the
    // waveform comes.
    void setDurationMs(int64_t ms);
    void setCues(const QList<Cue> &cues);
    void setCurrentCue(int index);
    void setPosition(int64_t ms);
    // The marks in force; a passage of the whole file is drawn as none.
    void setPassage(int64_t inMs, int64_t outMs);
    void clearPassage();
    // Forgets the file: no sound, cues, place or passage.
    void clear();

    // ms of media time the zoomed view shows, minSpanMs..maxSpanMs.
    void setSpanMs(int ms);
    int spanMs() const { return m_spanMs; }
    void zoomIn();
    void zoomOut();

    const Waveform &waveform() const { return m_waveform; }
    int64_t durationMs() const { return m_durationMs; }
    int64_t position() const { return m_position; }
    bool hasPassage() const { return m_hasPassage; }
    int64_t passageIn() const { return m_in; }
    int64_t passageOut() const { return m_out; }

    // Where things are, for drawing and for tests: the two parts, the
    // first ms the zoomed view shows, and conversions on it.
    QRect overviewRect() const;
    QRect detailRect() const;
    int64_t viewStart() const;
    int xOf(int64_t ms) const;
    int64_t msAt(int x) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void seekRequested(int64_t ms);
    void passageChosen(int64_t inMs, int64_t outMs);
    void sentenceLoopRequested(int index);
    void spanChanged(int ms);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    enum class Drag { None, Pending, Passage, InHandle, OutHandle, Overview };

    // Drawing, in waveformstrippaint.cpp.
    void paintOverview(QPainter &painter, const QRect &area);
    void paintDetail(QPainter &painter, const QRect &area);
    void paintCues(QPainter &painter, const QRect &area);
    void paintPeaks(QPainter &painter, const QRect &area, int64_t from, double msPerPx, bool marked);
    void paintHandles(QPainter &painter, const QRect &area);
    void paintRuler(QPainter &painter, const QRect &area);
    void renderOverview();

    int64_t overviewMsAt(int x) const;
    // The ms under x on the zoomed view, on a pause edge when one is near
    // and free is false.
    int64_t placeAt(int x, bool free) const;
    int cueAt(int64_t ms) const; // -1 outside every cue
    void updateDrag(QMouseEvent *event);
    void finishDrag(QMouseEvent *event);

    Waveform m_waveform;
    int64_t m_durationMs = 0;
    QList<Cue> m_cues;
    int m_current = -1;
    int64_t m_position = 0;
    bool m_hasPassage = false;
    int64_t m_in = 0;
    int64_t m_out = 0;
    int m_spanMs = defaultSpanMs;

    Drag m_drag = Drag::None;
    int m_pressX = 0;
    int64_t m_frozenStart = -1; // the view stays put under a drag
    int64_t m_dragIn = 0;       // the passage as dragged so far
    int64_t m_dragOut = 0;

    // The whole file at the band's size, drawn once per waveform and size.
    QPixmap m_overview;
};
