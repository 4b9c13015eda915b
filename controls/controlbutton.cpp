#include "controls/controlbutton.h"

#include <algorithm>

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

namespace {

const QString imageDir = QStringLiteral("./skin/default/images/");

QPixmap picture(const char *name)
{
    // A missing file gives an empty picture and an empty spot on the bar.
    return QPixmap(imageDir + QLatin1String(name));
}

// Anchors and the bar's height in floating point, for hit-testing.
struct Anchors
{
    double W, H, L, M, R;
};

// A hit rectangle; both ends are included unless rightOpen says otherwise.
struct Area
{
    double x0, x1, y0, y1;
    bool rightOpen = false;

    bool contains(double x, double y) const
    {
        const bool inX = x >= x0 && (rightOpen ? x < x1 : x <= x1);
        return inX && y >= y0 && y <= y1;
    }
};

// The small buttons take only the middle of the bar's height; the loop
// buttons, the volume and the editor take all of it.
Area small(double x0, double x1, const Anchors &a) { return {x0, x1, 7, a.H - 7}; }
Area tall(double x0, double x1, const Anchors &a) { return {x0, x1, 0, a.H}; }
Area volumeTrack(const Anchors &a) { return {a.R - 3, a.R + 53, a.H / 2 - 3, a.H / 2 + 3}; }

} // namespace

ControlButton::ControlButton(QWidget *parent)
    : QWidget(parent)
    , m_playPause(picture("play.png"))
    , m_stop(picture("stop.png"))
    , m_forward(picture("forward.png"))
    , m_backward(picture("backward.png"))
    , m_sharpLeft(picture("weitiao01.png"))
    , m_sharpRight(picture("weitiao02.png"))
    , m_loopStart(picture("start.png"))
    , m_loopEnd(picture("end.png"))
    , m_cancelLoop(picture("repeat.png"))
    , m_loopToEnd(picture("xyd.png"))
    , m_loopFromStart(picture("syd.png"))
    , m_volume(picture("voice.png"))
    , m_editor(picture("editor.png"))
{
    setFixedHeight(24);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
}

QSize ControlButton::minimumSizeHint() const
{
    return QSize(narrowestWidth, 24);
}

void ControlButton::playIcon(bool playing)
{
    m_playPause = picture(playing ? "pause.png" : "play.png");
    update();
}

void ControlButton::paintEvent(QPaintEvent *)
{
    // Laid out over the whole widget, like the hit rectangles; the painter
    // clips to the region being repainted.
    const int W = width();
    const int H = height();
    const int L = W / 6;
    const int M = W / 2;
    const int R = 5 * W / 6;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient background(0, 0, 0, H);
    background.setColorAt(0, QColor(8, 56, 81));
    background.setColorAt(1, QColor(17, 117, 169));
    painter.fillRect(QRect(0, 0, W, H), background);

    painter.drawPixmap(L - 30, 7, m_playPause);
    painter.drawPixmap(L, 7, m_stop);
    painter.drawPixmap(L + 30, 7, m_forward);
    painter.drawPixmap(L - 60, 7, m_backward);
    // Each loop mark has its two nudge arrows on either side.
    painter.drawPixmap(M + 44, 7, m_sharpLeft);
    painter.drawPixmap(M + 60, 0, m_loopEnd);
    painter.drawPixmap(M + 90, 7, m_sharpRight);
    painter.drawPixmap(M - 76, 7, m_sharpLeft);
    painter.drawPixmap(M - 60, 0, m_loopStart);
    painter.drawPixmap(M - 30, 7, m_sharpRight);
    painter.drawPixmap(M, 0, m_cancelLoop);
    painter.drawPixmap(M + 120, 0, m_loopToEnd);
    painter.drawPixmap(M - 120, 0, m_loopFromStart);
    painter.drawPixmap(R - 30, 0, m_volume);
    if (m_muted) {
        // A red stroke across the speaker: the sound is off, whatever the
        // knob says.
        painter.setPen(QPen(QBrush(Qt::red), 2.5, Qt::SolidLine, Qt::RoundCap));
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.drawLine(QPointF(R - 28, H - 3), QPointF(R - 8, 3));
        painter.setRenderHint(QPainter::Antialiasing, false);
    }

    const auto pen = [](Qt::GlobalColor color) {
        return QPen(QBrush(color), 6, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    };
    painter.setPen(pen(Qt::gray));
    painter.drawLine(R, H / 2, R + 50, H / 2);
    // A zero-length line with square caps: a 6 x 6 square knob.
    const int knob = int(m_volumeKnobX);
    painter.setPen(pen(Qt::yellow));
    painter.drawLine(knob, H / 2, knob, H / 2);

    painter.drawPixmap(W - 30, 0, m_editor);
}

void ControlButton::resizeEvent(QResizeEvent *event)
{
    // Keep the knob at its place on the track, which moves with R. The first
    // resize reports a previous width of -1, for which 5 * -1 / 6 is 0, so
    // the initial 25 lands in the middle of the 50-pixel track.
    const int newWidth = event->size().width();
    const int oldWidth = event->oldSize().width();
    m_volumeKnobX += (5 * newWidth) / 6 - (5 * oldWidth) / 6;
    update();
}

double ControlButton::volumeLevel() const
{
    return std::clamp((m_volumeKnobX - 5.0 * width() / 6) / 56, 0.0, 1.0);
}

void ControlButton::setVolumeLevel(double volume)
{
    moveVolumeKnob(5.0 * width() / 6 + std::clamp(volume, 0.0, 1.0) * 56);
}

void ControlButton::moveVolumeKnob(double x)
{
    m_muted = false;
    m_volumeKnobX = x;
    update();
    const double volume = (x - 5.0 * width() / 6) / 56;
    emit volumeChanged(volume, volume);
}

void ControlButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const double W = width(), H = height();
    const Anchors a{W, H, W / 6, W / 2, 5 * W / 6};
    const double x = event->position().x();
    const double y = event->position().y();
    const double L = a.L, M = a.M, R = a.R;

    // Every rectangle is tested on its own, in this order; where two
    // overlap (stop and forward), a press there emits both.
    const struct {
        Area area;
        void (ControlButton::*signal)();
    } buttons[] = {
        {small(L - 30, L - 6, a), &ControlButton::playPause},
        {small(L, L + 24, a), &ControlButton::stop},
        {small(L + 20, L + 54, a), &ControlButton::forward},
        {small(L - 60, L - 36, a), &ControlButton::backward},
        {{M - 76, M - 66, 7, H - 7, true}, &ControlButton::startSharpL},
        {tall(M - 60, M - 36, a), &ControlButton::setMarkInSignal},
        {small(M - 30, M - 6, a), &ControlButton::startSharpR},
        {small(M + 44, M + 54, a), &ControlButton::endSharpL},
        {tall(M + 60, M + 84, a), &ControlButton::setMarkOut},
        {small(M + 90, M + 114, a), &ControlButton::endSharpR},
        {tall(M, M + 24, a), &ControlButton::resetMark},
        {tall(M - 120, M - 96, a), &ControlButton::resetMarkIn},
        {tall(M + 120, M + 144, a), &ControlButton::resetMarkOut},
    };
    for (const auto &button : buttons) {
        if (button.area.contains(x, y)) {
            update();
            emit(this->*button.signal)();
        }
    }

    // Muting leaves the knob where it is, so a second press or the next
    // touch of the track brings the knob's volume back.
    if (tall(R - 30, R - 6, a).contains(x, y)) {
        update();
        m_muted = !m_muted;
        if (m_muted) {
            emit volumeChanged(0, 0);
        } else {
            const double volume = (m_volumeKnobX - R) / 56;
            emit volumeChanged(volume, volume);
        }
    }
    if (volumeTrack(a).contains(x, y))
        moveVolumeKnob(x);
    if (tall(W - 30, W - 6, a).contains(x, y)) {
        update();
        emit controlEditor();
    }
}

void ControlButton::mouseMoveEvent(QMouseEvent *event)
{
    const double W = width(), H = height();
    const Anchors a{W, H, W / 6, W / 2, 5 * W / 6};
    const double x = event->position().x();
    const double y = event->position().y();
    const double L = a.L, M = a.M, R = a.R;

    if (event->button() == Qt::NoButton) {
        const struct {
            Area area;
            const char *text;
            const char *words; // what the button does, for the line below
        } tips[] = {
            {tall(L - 30, L - 6, a), QT_TR_NOOP("play/pause"), QT_TR_NOOP("Play, or pause where you are (F5 or Space)")},
            {tall(L, L + 24, a), QT_TR_NOOP("stop"), QT_TR_NOOP("Stop and close the file; Play opens it again where you were")},
            {tall(L + 20, L + 54, a), QT_TR_NOOP("forward"), QT_TR_NOOP("Jump forward (Right arrow)")},
            {tall(L - 60, L - 36, a), QT_TR_NOOP("backward"), QT_TR_NOOP("Jump back (Left arrow)")},
            {{M - 90, M - 66, 0, H, true}, QT_TR_NOOP("sharp tune start left"), QT_TR_NOOP("Move the start mark a little earlier (F1)")},
            {tall(M - 60, M - 36, a), QT_TR_NOOP("set loop start"), QT_TR_NOOP("Set the start mark here (F7)")},
            {tall(M - 30, M - 6, a), QT_TR_NOOP("sharp tune start right"), QT_TR_NOOP("Move the start mark a little later (F2)")},
            {tall(M + 30, M + 54, a), QT_TR_NOOP("sharp tune end left"), QT_TR_NOOP("Move the end mark a little earlier (F3)")},
            {tall(M + 60, M + 84, a), QT_TR_NOOP("set loop end"), QT_TR_NOOP("Set the end mark here (F8)")},
            {tall(M + 90, M + 114, a), QT_TR_NOOP("sharp tune end right"), QT_TR_NOOP("Move the end mark a little later (F4)")},
            {tall(M, M + 24, a), QT_TR_NOOP("cancel loop"), QT_TR_NOOP("Remove the marks, so that the whole file plays")},
            {tall(M - 120, M - 96, a), QT_TR_NOOP("reset loop from begin to current start"), QT_TR_NOOP("Loop from the beginning to the start mark (F6)")},
            {tall(M + 120, M + 144, a), QT_TR_NOOP("reset loop from current end to end"), QT_TR_NOOP("Loop from the end mark to the end (F9)")},
            {tall(R - 30, R - 6, a), QT_TR_NOOP("volume silent"), QT_TR_NOOP("Silence the sound, or bring it back")},
            {volumeTrack(a), QT_TR_NOOP("volume control"), QT_TR_NOOP("Volume: drag, or turn the mouse wheel over the player")},
            {tall(W - 30, W - 6, a), QT_TR_NOOP("editor"), QT_TR_NOOP("Show or hide the dictation editor")},
        };
        // Where several match, the last one wins; leaving a rectangle keeps
        // the last tip.
        for (const auto &tip : tips) {
            if (tip.area.contains(x, y)) {
                update();
                setToolTip(tr(tip.text) + QLatin1Char('\n') + tr(tip.words));
            }
        }
    }

    if (event->buttons() == Qt::LeftButton && volumeTrack(a).contains(x, y))
        moveVolumeKnob(x);
}
