// Figures of the media engine on one media file, one "name: value" line each:
// decoding speed against the ffmpeg command line, CPU time of real-time
// playback, seek latency, and how exactly a marked passage repeats.
#include "media/media.h"
#include "tests/support/benchclock.h"
#include "tests/media/mediaprobe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

namespace {

using benchclock::processCpuSeconds;
using benchclock::waitUntil;

void print(const char *name, double value)
{
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}



std::unique_ptr<Media> openMedia(const QString &file, int64_t markIn = 0, int64_t markOut = 0)
{
    auto media = std::make_unique<Media>(nullptr, false, 0x10, 2, 0, 0);
    if (!media->open(file, markIn, markOut))
        return nullptr;
    return media;
}

// Decoding and conversion into the ring, a consumer taking every picture at
// once; the sound track is read and thrown away.
double engineDecodeFps(const QString &file, int *frames)
{
    auto media = openMedia(file);
    if (!media)
        return 0.0;
    MediaProbe probe(media.get());
    probe.holdPictures();
    QElapsedTimer elapsed;
    elapsed.start();
    probe.startVideoPathOnly();
    int taken = 0;
    double last = -1.0;
    double seconds = 0.0;
    AVPacket *packet = av_packet_alloc();
    // At the end of the input the engine loops back to the start mark: the
    // first picture that goes back in time ends the run. Without the sound,
    // which restarts a passage, the last picture waits for a restart that
    // never comes: a second without a picture ends the run as well (the
    // figures count up to the last picture taken).
    while (elapsed.elapsed() < 300000) {
        int serial = 0;
        while (probe.audioQueue().get(packet, serial, false))
            av_packet_unref(packet);
        const double pts = probe.takePicture();
        if (pts < 0.0) {
            if (taken > 0 && double(elapsed.nsecsElapsed()) / 1e9 - seconds > 1.0)
                break;
            QThread::usleep(200);
            continue;
        }
        if (pts < last)
            break;
        last = pts;
        ++taken;
        seconds = double(elapsed.nsecsElapsed()) / 1e9;
    }
    av_packet_free(&packet);
    probe.stopVideoPathOnly();
    *frames = taken;
    return seconds > 0.0 ? taken / seconds : 0.0;
}

// The same file through the ffmpeg command line, decoded and converted to
// RGB24 and thrown away; the frame count is ffmpeg's own.
double ffmpegRgbFps(const QString &file)
{
    QProcess ffmpeg;
    QElapsedTimer elapsed;
    elapsed.start();
    ffmpeg.start("ffmpeg", {"-nostdin", "-loglevel", "error", "-stats", "-i", file, "-an",
                            "-pix_fmt", "rgb24", "-f", "null", "-"});
    if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0)
        return 0.0;
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
    const QString stats = QString::fromLocal8Bit(ffmpeg.readAllStandardError());
    const QRegularExpression frame(QStringLiteral("frame=\\s*(\\d+)"));
    int frames = 0;
    for (auto match = frame.globalMatch(stats); match.hasNext();)
        frames = match.next().captured(1).toInt();
    return frames / seconds;
}

double cpuPerMediaSecond(const QString &file)
{
    auto media = openMedia(file);
    if (!media)
        return 0.0;
    MediaProbe probe(media.get());
    media->start();
    waitUntil([&] { return media->position() > 0; }, 5000);
    const double cpu = processCpuSeconds();
    const int64_t from = media->position();
    waitUntil([] { return false; }, 10000);
    const double played = double(media->position() - from) * probe.timeBase();
    const double used = processCpuSeconds() - cpu;
    media->stop();
    print("playback_media_s", played);
    print("playback_cpu_s", used);
    return played > 0.0 ? used / played : 0.0;
}

double seekLatencyMs(const QString &file)
{
    auto media = openMedia(file);
    if (!media)
        return 0.0;
    MediaProbe probe(media.get());
    const double timeBase = probe.timeBase();
    const double start = double(media->startTime()) * timeBase;
    const double length = double(media->duration()) * timeBase;
    double shownPts = -1.0;
    QObject::connect(media.get(), &Media::frameReady, media.get(),
                     [&](int id) { shownPts = media->picture(id)->mediaSeconds; });
    media->start();
    waitUntil([&] { return shownPts >= 0.0; }, 5000);
    QRandomGenerator random(2011);
    QList<double> latencies;
    for (int i = 0; i < 20; ++i) {
        // Far from the picture on screen, so that no picture decoded before
        // the seek can pass for the first one after it.
        double target = 0.0;
        do {
            target = start + random.generateDouble() * std::max(0.0, length - 1.5);
        } while (std::abs(target - shownPts) < 2.0 && length > 5.0);
        QElapsedTimer elapsed;
        elapsed.start();
        waitUntil([&] { return !probe.seekRequested(); }, 5000);
        elapsed.restart();
        media->seekTo(int64_t(target / timeBase));
        if (!waitUntil([&] { return shownPts >= target - 1e-6 && shownPts < target + 1.0; }, 10000))
            continue;
        latencies.append(double(elapsed.nsecsElapsed()) / 1e6);
    }
    media->stop();
    if (latencies.isEmpty())
        return 0.0;
    std::sort(latencies.begin(), latencies.end());
    return latencies.at(latencies.size() / 2);
}

void loopFigures(const QString &file)
{
    std::unique_ptr<Media> probeMedia = openMedia(file);
    if (!probeMedia)
        return;
    const double timeBase = MediaProbe(probeMedia.get()).timeBase();
    const double start = double(probeMedia->startTime()) * timeBase;
    const double length = double(probeMedia->duration()) * timeBase;
    probeMedia.reset();
    const double in = start + std::max(0.0, std::min(length / 3, length - 3.5));
    const double out = std::min(in + 3.0, start + length);
    auto media = openMedia(file, int64_t(std::ceil(in / timeBase)), int64_t(out / timeBase));
    const double markIn = double(media->markIn()) * timeBase;
    const double markOut = double(media->markOut()) * timeBase;
    QList<double> overshoots;
    QList<double> restartErrors;
    double last = -1.0;
    bool started = false;
    QObject::connect(media.get(), &Media::frameReady, media.get(), [&](int id) {
        const double pts = media->picture(id)->mediaSeconds;
        if (started && pts < last - 1.0) {
            overshoots.append((last - markOut) * 1000.0);
            restartErrors.append((pts - markIn) * 1000.0);
        }
        started = true;
        last = pts;
    });
    media->start();
    waitUntil([&] { return overshoots.size() >= 10; }, int((out - in) * 1000 * 10 + 20000));
    media->stop();
    if (overshoots.isEmpty())
        return;
    const auto mean = [](const QList<double> &values) {
        double sum = 0.0;
        for (double value : values)
            sum += value;
        return sum / values.size();
    };
    const auto largest = [](const QList<double> &values) {
        double most = 0.0;
        for (double value : values)
            most = std::abs(value) > std::abs(most) ? value : most;
        return most;
    };
    print("loops", overshoots.size());
    print("loop_overshoot_ms", mean(overshoots));
    print("loop_overshoot_worst_ms", largest(overshoots));
    print("loop_restart_error_ms", mean(restartErrors));
    print("loop_restart_error_worst_ms", largest(restartErrors));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2 || !QFileInfo::exists(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: engine_bench FILE\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    if (!openMedia(file)) {
        std::fprintf(stderr, "engine_bench: cannot open %s\n", argv[1]);
        return 1;
    }
    // Alternate runs, best of three each, so that a busy machine weighs on
    // both sides alike.
    int frames = 0;
    double engine = 0.0;
    double ffmpeg = 0.0;
    for (int round = 0; round < 3; ++round) {
        engine = std::max(engine, engineDecodeFps(file, &frames));
        ffmpeg = std::max(ffmpeg, ffmpegRgbFps(file));
    }
    print("frames", frames);
    print("decode_fps", engine);
    print("ffmpeg_rgb24_fps", ffmpeg);
    print("decode_ratio", ffmpeg > 0.0 ? engine / ffmpeg : 0.0);
    print("cpu_per_media_s", cpuPerMediaSecond(file));
    print("seek_latency_ms", seekLatencyMs(file));
    loopFigures(file);
    return 0;
}
