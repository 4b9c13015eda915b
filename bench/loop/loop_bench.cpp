#include "media/media.h"
#include "media/processend.h"
#include "media/timestretch.h"
#include "tests/support/mediamaker.h"
#include "tests/support/soundprobe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>
#include <vector>

using namespace soundprobe;

namespace {

// A 440 Hz tone at 0.4 with a 2 ms click at every whole second.
bool makeTrack(const QString &path, const QStringList &codec)
{
    return mediamaker::ffmpeg(
        QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                    QStringLiteral("aevalsrc=exprs='if(lt(mod(t,1),0.002),0.95,0.4*sin(2*PI*440*t))':s=48000:d=30"),
                    QStringLiteral("-ac"), QStringLiteral("2")}
        + codec + QStringList{path});
}

double median(std::vector<double> values)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Plays the passage 12.25-15.5 s (clicks at 13, 14 and 15) at the speed and
// prints what the recording shows.
void measureLoop(QTextStream &out, const QString &name, const QString &file, double speed)
{
    std::unique_ptr<Media> media(new Media(nullptr, false, 0x10, 2, 0, 0));
    if (!media->open(file))
        return;
    media->setVolume(1.0, 1.0);
    media->setSpeed(speed);
    media->setMarkOut(media->ticks(15.5));
    media->setMarkIn(media->ticks(12.25));
    QSignalSpy repeated(media.get(), &Media::passageRepeated);
    Recorder recorder;
    if (!recorder.start())
        return;
    media->start();
    QElapsedTimer waited;
    waited.start();
    while (repeated.count() < 8 && waited.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    media->stop();
    const QVector<qint16> samples = recorder.stop();
    const QList<Click> found = clicks(samples, 0.0);
    const QList<Span> gaps = silences(samples, 0.001);
    std::vector<double> within;
    std::vector<double> across;
    std::vector<double> pitch;
    for (qsizetype i = 1; i < found.size(); ++i) {
        const double heard = (found.at(i).at - found.at(i - 1).at) * speed; // media seconds
        if (std::abs(heard - 1.0) < 0.1) {
            within.push_back(found.at(i).at - found.at(i - 1).at);
            pitch.push_back(toneFrequency(samples, found.at(i - 1).at + 0.05 / speed,
                                          found.at(i).at - 0.05 / speed));
        } else if (std::abs(heard - 1.25) < 0.2) {
            across.push_back((heard - 1.25) * 1000.0);
        }
    }
    double longestGap = 0.0;
    for (const Span &gap : gaps)
        if (found.size() > 1 && gap.from > found.first().at && gap.to < found.last().at)
            longestGap = std::max(longestGap, gap.to - gap.from);
    const QString key = QStringLiteral("%1_%2").arg(name).arg(speed);
    out << "loop_" << key << "_restart_error_ms: " << median(across) << " (" << across.size()
        << " jumps; overshoot, gap and lateness together)\n";
    out << "loop_" << key << "_gap_ms: " << longestGap * 1000.0 << "\n";
    out << "loop_" << key << "_pitch_hz: " << median(pitch) << "\n";
    out << "loop_" << key << "_click_period_s: " << median(within) << " (expected " << 1.0 / speed << ")\n";
    out.flush();
}

// Processor seconds the time-stretch takes per media second.
void measureStretch(QTextStream &out, double speed)
{
    TimeStretch stretch;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    const int rate = 48000;
    if (!stretch.setup(rate, stereo, speed))
        return;
    std::vector<int16_t> samples(std::size_t(rate) * 2);
    for (int i = 0; i < rate; ++i)
        samples[std::size_t(i) * 2] = samples[std::size_t(i) * 2 + 1] =
            int16_t(12000 * std::sin(2 * M_PI * 440.0 * i / rate));
    AVFrame *piece = av_frame_alloc();
    const std::clock_t begin = std::clock();
    const int seconds = 60;
    for (int s = 0; s < seconds; ++s) {
        stretch.feed(reinterpret_cast<const uint8_t *>(samples.data()), rate);
        while (stretch.take(piece))
            av_frame_unref(piece);
    }
    const double used = double(std::clock() - begin) / CLOCKS_PER_SEC;
    av_frame_free(&piece);
    out << "stretch_cpu_" << speed << ": " << used / seconds << " (processor seconds per media second)\n";
}

} // namespace

int main(int argc, char *argv[])
{
    int status = 1;
    {
        PrivateSoundServer server;
        if (server.start()) {
            QCoreApplication app(argc, argv);
            QTemporaryDir dir;
            QTextStream out(stdout);
            const QList<QPair<QString, QStringList>> formats = {
                {QStringLiteral("wav"), {}},
                {QStringLiteral("mp3"), {QStringLiteral("-c:a"), QStringLiteral("libmp3lame")}},
                {QStringLiteral("m4a"), {QStringLiteral("-c:a"), QStringLiteral("aac")}},
                {QStringLiteral("flac"), {}},
                {QStringLiteral("ogg"), {QStringLiteral("-c:a"), QStringLiteral("libvorbis")}},
                {QStringLiteral("opus"), {QStringLiteral("-c:a"), QStringLiteral("libopus")}},
            };
            const QStringList only = app.arguments().mid(1); // formats to measure, all by default
            for (const auto &format : formats) {
                if (!only.isEmpty() && !only.contains(format.first))
                    continue;
                const QString file = dir.filePath(QStringLiteral("track.") + format.first);
                if (!makeTrack(file, format.second))
                    continue;
                for (double speed : {1.0, 0.75, 0.5})
                    measureLoop(out, format.first, file, speed);
            }
            for (double speed : {0.75, 0.5})
                measureStretch(out, speed);
            status = 0;
        }
    }
    processend::endWithoutStaticTeardown(status);
}
