#include "bench/video/watchedplayback.h"

#include "display/glrenderwidget.h"
#include "media/media.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <QVBoxLayout>

#include <algorithm>

using soundprobe::Span;

WatchedPlayback::WatchedPlayback(QSize size)
    : m_size(size)
{
    // The picture format the player picks for this display.
    int format = AV_PIX_FMT_RGB24;
    if (GLRenderWidget::prefersYuvPictures())
        format = AV_PIX_FMT_YUV420P;
    else if (GLRenderWidget::drawsWithPainter())
        format = AV_PIX_FMT_BGRA;
    m_media = std::make_unique<Media>(nullptr, false, SWS_FAST_BILINEAR, format, 0, 0);
    m_clock.start();
}

WatchedPlayback::~WatchedPlayback() = default;

bool WatchedPlayback::open(const QString &file)
{
    if (!m_media->open(file))
        return false;
    auto *layout = new QVBoxLayout(&m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *widget = new GLRenderWidget;
    layout->addWidget(widget);
    m_window.resize(m_size);
    m_window.show();
    widget->setVideo(m_media.get());
    QObject::connect(m_media.get(), &Media::frameReady, m_media.get(), [this](int id) {
        const Shown picture{now(), m_media->picture(id)->mediaSeconds};
        if (!m_shown.isEmpty() && picture.media < m_shown.last().media - restartJump)
            m_restarts.append(int(m_shown.size()));
        m_shown.append(picture);
    });
    return true;
}

double WatchedPlayback::ticksPerSecond() const
{
    return double(m_media->ticks(1000.0)) / 1000.0;
}

bool WatchedPlayback::start()
{
    if (!m_recorder.start())
        return false;
    m_recordingStarted = now();
    m_media->start();
    return true;
}

void WatchedPlayback::stop()
{
    m_media->stop();
    m_samples = m_recorder.stop();
}

double WatchedPlayback::now() const
{
    return double(m_clock.nsecsElapsed()) / 1e9;
}

int WatchedPlayback::restartAfter(double wall) const
{
    for (int i : m_restarts)
        if (m_shown.at(i).wall >= wall)
            return i;
    return -1;
}

int WatchedPlayback::restartsSince(double wall) const
{
    return int(std::count_if(m_restarts.cbegin(), m_restarts.cend(),
                             [&](int i) { return m_shown.at(i).wall >= wall; }));
}

WatchedPlayback::Stand WatchedPlayback::longestStand(int restart, double until) const
{
    Stand stand;
    if (restart < 1 || restart >= m_shown.size())
        return stand;
    const double at = m_shown.at(restart).wall;
    stand.seconds = at - m_shown.at(restart - 1).wall;
    const auto next = std::upper_bound(m_restarts.cbegin(), m_restarts.cend(), restart);
    if (next != m_restarts.cend())
        until = std::min(until, m_shown.at(*next).wall);
    stand.end = until;
    for (int j = restart + 1; j < m_shown.size() && m_shown.at(j).wall < until; ++j) {
        const double gap = m_shown.at(j).wall - m_shown.at(j - 1).wall;
        if (gap > stand.seconds) {
            stand.seconds = gap;
            stand.after = m_shown.at(j).wall - at;
        }
    }
    return stand;
}

QList<double> WatchedPlayback::stalls(double limit) const
{
    QList<double> found;
    for (int i = 1; i < m_shown.size(); ++i) {
        const double gap = m_shown.at(i).wall - m_shown.at(i - 1).wall;
        if (gap > limit)
            found.append(gap);
    }
    return found;
}

double WatchedPlayback::frameSeconds() const
{
    QList<double> steps;
    for (int i = 1; i < m_shown.size(); ++i)
        if (m_shown.at(i).media > m_shown.at(i - 1).media)
            steps.append(m_shown.at(i).media - m_shown.at(i - 1).media);
    if (steps.isEmpty())
        return 0.0;
    std::sort(steps.begin(), steps.end());
    return steps.at(steps.size() / 2);
}

double WatchedPlayback::recordingSeconds(double wall) const
{
    return wall - m_recordingStarted;
}

QList<Span> WatchedPlayback::silencesInSound(double minSeconds) const
{
    const QList<Span> quiet = soundprobe::silences(m_samples, minSeconds);
    double first = 0.0;
    double last = double(m_samples.size()) / soundprobe::Recorder::rate;
    if (!quiet.isEmpty() && quiet.first().from < 0.01)
        first = quiet.first().to;
    if (!quiet.isEmpty() && quiet.last().to > last - 0.01)
        last = quiet.last().from;
    QList<Span> inside;
    for (const Span &span : quiet)
        if (span.from > first && span.to < last)
            inside.append(span);
    return inside;
}
