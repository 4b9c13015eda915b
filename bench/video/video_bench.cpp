// What a learner sees and hears when a passage of a video repeats, and what
// showing the pictures costs. Plays a clip through the engine into a window
// of a given size under the running X server and into a sound server of its
// own whose null sink it records. Prints "name: value" lines:
// restart_picture_gap_ms and restart_sound_gap_ms (the worst of 8 restarts)
// at speeds 1, 0.75 and 0.5, with the pictures missing from a round and the
// CPU time while the passage repeats; cpu_per_media_s of plain playback; and
// the most memory the process held.
#include "display/glrenderwidget.h"
#include "media/media.h"
#include "tests/support/benchclock.h"
#include "tests/support/soundprobe.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <functional>
#include <memory>

using namespace soundprobe;

namespace {

using benchclock::processCpuSeconds;
using benchclock::waitUntil;

// The engine as the player makes it for this display.
std::unique_ptr<Media> makeMedia()
{
    int format = AV_PIX_FMT_RGB24;
    if (GLRenderWidget::prefersYuvPictures())
        format = AV_PIX_FMT_YUV420P;
    else if (GLRenderWidget::drawsWithPainter())
        format = AV_PIX_FMT_BGRA;
    return std::make_unique<Media>(nullptr, false, SWS_FAST_BILINEAR, format, 0, 0);
}

void print(const QString &name, double value)
{
    std::printf("%s: %.3f\n", qPrintable(name), value);
    std::fflush(stdout);
}



// A window that shows the engine's pictures, as the player does.
struct Screen {
    QWidget window;
    GLRenderWidget *widget = nullptr;
    explicit Screen(QSize size)
    {
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        widget = new GLRenderWidget;
        layout->addWidget(widget);
        window.resize(size);
        window.show();
    }
};

struct Restarts {
    double pictureGapMs = 0.0;
    double soundGapMs = 0.0;
    int count = 0;
    int picturesMissing = 0; // the most in one whole round
    double cpuPerMediaSecond = 0.0; // while the passage repeats
};

// Plays the passage [in, out) (media seconds) until it has restarted 8
// times. The picture gap is the longest a picture stood on screen from the
// last picture before a restart until 3 s after it; the sound gap the
// longest silence in the recording between the first and the last sound.
Restarts measureRestarts(const QString &file, double in, double out, double speed, QSize size)
{
    Restarts result;
    auto media = makeMedia();
    if (!media->open(file))
        return result;
    const double tick = double(media->ticks(1000.0)) / 1000.0; // ticks per second
    media->setMarkIn(int64_t(std::ceil(in * tick)));
    media->setMarkOut(int64_t(out * tick));
    media->setSpeed(speed);
    media->seekTo(media->markIn());
    Screen screen(size);
    screen.widget->setVideo(media.get());

    QElapsedTimer clock;
    clock.start();
    struct Shown {
        double wall;
        double media;
    };
    QList<Shown> shown;
    QObject::connect(media.get(), &Media::frameReady, media.get(), [&](int id) {
        shown.append({double(clock.nsecsElapsed()) / 1e9, media->picture(id)->mediaSeconds});
    });
    Recorder recorder;
    if (!recorder.start())
        return result;
    const double cpuBefore = processCpuSeconds();
    media->start();
    const int roundMs = int((out - in) / speed * 1000.0);
    int restarts = 0;
    QObject::connect(media.get(), &Media::passageRepeated, media.get(), [&] { ++restarts; },
                     Qt::QueuedConnection);
    waitUntil([&] { return restarts >= 9; }, roundMs * 12 + 20000);
    // The ninth end is heard a moment after it is decoded.
    waitUntil([] { return false; }, 300);
    media->stop();
    const double played = restarts * (out - in);
    result.cpuPerMediaSecond = played > 0.0 ? (processCpuSeconds() - cpuBefore) / played : 0.0;
    const QVector<qint16> samples = recorder.stop();

    for (int i = 1; i < shown.size(); ++i) {
        if (shown.at(i).media >= shown.at(i - 1).media - 0.5)
            continue;
        ++result.count;
        double worst = shown.at(i).wall - shown.at(i - 1).wall;
        double worstAt = 0.0;
        for (int j = i + 1; j < shown.size() && shown.at(j).wall < shown.at(i).wall + 3.0; ++j) {
            const double gap = shown.at(j).wall - shown.at(j - 1).wall;
            if (gap > worst) {
                worst = gap;
                worstAt = shown.at(j).wall - shown.at(i).wall;
            }
        }
        // Where the worst gap lies, for whoever looks into a bad figure.
        std::fprintf(stderr, "restart %d: %.1f ms at the restart, worst %.1f ms, %.2f s after it\n",
                     result.count, (shown.at(i).wall - shown.at(i - 1).wall) * 1000.0,
                     worst * 1000.0, worstAt);
        result.pictureGapMs = std::max(result.pictureGapMs, worst * 1000.0);
    }
    // Every picture of the passage is shown in every whole round.
    QList<int> roundStarts;
    for (int i = 1; i < shown.size(); ++i)
        if (shown.at(i).media < shown.at(i - 1).media - 0.5)
            roundStarts.append(i);
    QList<double> steps;
    for (int i = 1; i < shown.size(); ++i)
        if (shown.at(i).media > shown.at(i - 1).media)
            steps.append(shown.at(i).media - shown.at(i - 1).media);
    std::sort(steps.begin(), steps.end());
    const double frame = steps.isEmpty() ? 0.0 : steps.at(steps.size() / 2);
    for (int k = 1; k < roundStarts.size() && frame > 0.0; ++k) {
        const int count = roundStarts.at(k) - roundStarts.at(k - 1);
        const int expected = int(std::lround((out - in) / frame));
        result.picturesMissing = std::max(result.picturesMissing, expected - count);
    }
    const QList<Span> quiet = silences(samples, 0.002);
    double first = 0.0;
    double last = double(samples.size()) / Recorder::rate;
    if (!quiet.isEmpty() && quiet.first().from < 0.01)
        first = quiet.first().to;
    if (!quiet.isEmpty() && quiet.last().to > last - 0.01)
        last = quiet.last().from;
    for (const Span &span : quiet)
        if (span.from > first && span.to < last)
            result.soundGapMs = std::max(result.soundGapMs, (span.to - span.from) * 1000.0);
    return result;
}

// CPU seconds of this process per media second of plain playback in the
// window, after the first second.
double cpuPerMediaSecond(const QString &file, QSize size)
{
    auto media = makeMedia();
    if (!media->open(file))
        return 0.0;
    Screen screen(size);
    screen.widget->setVideo(media.get());
    media->start();
    waitUntil([&] { return media->position() > media->ticks(1.0); }, 10000);
    const double cpu = processCpuSeconds();
    const int64_t from = media->position();
    waitUntil([] { return false; }, 15000);
    const double played = double(media->position() - from) / (double(media->ticks(1000.0)) / 1000.0);
    const double used = processCpuSeconds() - cpu;
    media->stop();
    return played > 0.0 ? used / played : 0.0;
}

} // namespace

int main(int argc, char *argv[])
{
    // The recorder hears this process's sound alone.
    PrivateSoundServer server;
    if (!server.start()) {
        std::fprintf(stderr, "video_bench: no sound server of its own could start\n");
        return 1;
    }
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: video_bench FILE IN OUT [WIDTHxHEIGHT]\n"
                             "  IN, OUT: the passage in media seconds\n");
        return 2;
    }
    const QString file = args.at(1);
    const double in = args.at(2).toDouble();
    const double out = args.at(3).toDouble();
    QSize size(960, 540);
    if (args.size() > 4) {
        const QStringList wh = args.at(4).split(QLatin1Char('x'));
        if (wh.size() == 2)
            size = QSize(wh.at(0).toInt(), wh.at(1).toInt());
    }
    if (!QFileInfo::exists(file) || out <= in || size.isEmpty()) {
        std::fprintf(stderr, "video_bench: no such file or no passage\n");
        return 2;
    }
    for (double speed : {1.0, 0.75, 0.5}) {
        if (qEnvironmentVariableIsSet("VIDEO_BENCH_CPU_ONLY"))
            break;
        const Restarts restarts = measureRestarts(file, in, out, speed, size);
        const QString suffix = speed == 1.0 ? QString() : QStringLiteral("_at_%1x").arg(speed);
        print(QStringLiteral("restarts") + suffix, restarts.count);
        print(QStringLiteral("restart_picture_gap_ms") + suffix, restarts.pictureGapMs);
        print(QStringLiteral("restart_sound_gap_ms") + suffix, restarts.soundGapMs);
        print(QStringLiteral("pictures_missing_per_round") + suffix, restarts.picturesMissing);
        print(QStringLiteral("repeating_cpu_per_media_s") + suffix, restarts.cpuPerMediaSecond);
    }
    print(QStringLiteral("cpu_per_media_s"), cpuPerMediaSecond(file, size));
    // The kept first pictures of the passage are the largest part.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    print(QStringLiteral("max_resident_mb"), double(usage.ru_maxrss) / 1024.0);
    return 0;
}
