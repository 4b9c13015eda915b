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
#include <QThread>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>
#include <memory>
#include <numeric>
#include <vector>

using namespace soundprobe;

namespace {

// The passage played again and again, and the tone's frequency: 3.25 s hold
// 1430.5 of its periods, so that the tone turns upside down where the end
// mark meets the start mark and the joint can be found to the sample.
constexpr double markIn = 12.25;
constexpr double markOut = 15.5;
constexpr double tone = 1430.5 / (markOut - markIn); // 440.15 Hz
constexpr int rate = Recorder::rate;

// The tone at 0.4 with a 2 ms click at every whole second.
bool makeTrack(const QString &path, const QStringList &codec)
{
    return mediamaker::ffmpeg(
        QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                    QStringLiteral("aevalsrc=exprs='if(lt(mod(t,1),0.002),0.95,0.4*sin(2*PI*%1*t))':s=48000:d=30")
                        .arg(tone, 0, 'f', 10),
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

// The tone as fitted over recording samples [from, to): a sin + b cos.
struct Fit {
    double a = 0.0;
    double b = 0.0;
    double at(qsizetype n) const
    {
        const double w = 2 * M_PI * tone / rate * double(n);
        return a * std::sin(w) + b * std::cos(w);
    }
    double phase() const { return std::atan2(b, a); } // of sin(w n + phase)
};

Fit fitTone(const QVector<qint16> &samples, qsizetype from, qsizetype to)
{
    double ss = 0, cc = 0, sc = 0, rs = 0, rc = 0;
    for (qsizetype n = std::max<qsizetype>(0, from); n < to && n < samples.size(); ++n) {
        const double w = 2 * M_PI * tone / rate * double(n);
        const double s = std::sin(w), c = std::cos(w);
        ss += s * s;
        cc += c * c;
        sc += s * c;
        rs += samples[n] * s;
        rc += samples[n] * c;
    }
    const double det = ss * cc - sc * sc;
    if (std::abs(det) < 1e-9)
        return {};
    return {(rs * cc - rc * sc) / det, (rc * ss - rs * sc) / det};
}

// The sample in [from, to) where one model gives way to what follows it:
// the split that leaves the least error, anything not like the model (the
// other side, silence, noise) costing at most a small constant.
qsizetype split(qsizetype from, qsizetype to,
                const std::function<double(qsizetype)> &before,
                const std::function<double(qsizetype)> &after)
{
    std::vector<double> cost(std::size_t(to - from + 1), 0.0);
    double sum = 0.0;
    for (qsizetype n = from; n < to; ++n)
        sum += after(n);
    qsizetype best = from;
    double bestCost = sum;
    for (qsizetype n = from; n < to; ++n) {
        sum += before(n) - after(n);
        if (sum < bestCost) {
            bestCost = sum;
            best = n + 1;
        }
    }
    return best;
}

// Milliseconds of silence and of clicks within 40 ms of recording sample
// centre, in 1 ms windows. A click is a jump in the wave's slope that the
// tone cannot make: its second difference is at most amplitude * w^2, some
// 44 at 440 Hz and 0.4 of full scale; a crossfade stays below that too.
void silenceAndNoise(const QVector<qint16> &samples, qsizetype centre, double &silentMs, double &noisyMs)
{
    const double ms = rate / 1000.0;
    silentMs = noisyMs = 0.0;
    for (qsizetype n = centre - qsizetype(40 * ms); n < centre + qsizetype(40 * ms); n += qsizetype(ms)) {
        const qsizetype to = n + qsizetype(ms);
        if (n < 1 || to + 1 >= samples.size())
            continue;
        int peak = 0;
        int bend = 0;
        for (qsizetype k = n; k < to; ++k) {
            peak = std::max(peak, std::abs(int(samples[k])));
            bend = std::max(bend, std::abs(int(samples[k + 1]) - 2 * int(samples[k]) + int(samples[k - 1])));
        }
        if (peak <= 300)
            silentMs += 1.0;
        else if (bend > 200)
            noisyMs += 1.0;
    }
}

struct Joint {
    double overshootMs; // media time heard past the end mark
    double lateMs;      // media time of the start missed (negative: heard before the start mark)
    double gapMs;       // silence between, recording time
    double noiseMs;     // sound that is neither side, recording time
};

// Media time at recording sample n, counted from a click heard at recording
// second click for media second second. At speed 1 the tone's phase pins it
// to the sample; a time-stretch keeps no phase, and the click alone counts.
double mediaTime(double click, int second, qsizetype n, double speed, const Fit &fit)
{
    const double coarse = second + (double(n) / rate - click) * speed;
    if (speed != 1.0)
        return coarse;
    // sin(2 pi tone t) = sin(w n + phase): t = (w n + phase) / (2 pi tone) + k / tone
    const double t0 = (2 * M_PI * tone / rate * double(n) + fit.phase()) / (2 * M_PI * tone);
    return t0 + std::round((coarse - t0) * tone) / tone;
}

bool measureJoint(const QVector<qint16> &samples, double click15, double click13, double speed, Joint &joint)
{
    const double ms = rate / 1000.0;
    const qsizetype expected = qsizetype((click15 + (markOut - 15.0) / speed) * rate);
    // Where the tone turns: 2 ms windows whose phase leaves that of 10 ms before.
    const Fit early = fitTone(samples, expected - qsizetype(60 * ms), expected - qsizetype(40 * ms));
    qsizetype turn = -1;
    for (qsizetype n = expected - qsizetype(40 * ms); n < expected + qsizetype(60 * ms); n += qsizetype(ms / 2)) {
        const Fit here = fitTone(samples, n, n + qsizetype(2 * ms));
        const double amplitude = std::hypot(here.a, here.b);
        const double turned = std::abs(std::remainder(here.phase() - early.phase(), 2 * M_PI));
        if (amplitude < 0.5 * 0.4 * 32767 || turned > M_PI / 2) {
            turn = n;
            break;
        }
    }
    if (turn < 0) {
        // A time-stretch joins the sides at whatever phase its own window
        // has: then only silence and noise around the joint are told.
        joint.overshootMs = joint.lateMs = NAN;
        silenceAndNoise(samples, expected, joint.gapMs, joint.noiseMs);
        return true;
    }
    // The sides, fitted away from the turn; past a silence, where sound is back.
    const Fit before = fitTone(samples, turn - qsizetype(12 * ms), turn - qsizetype(2 * ms));
    qsizetype back = turn + qsizetype(2 * ms);
    while (back < turn + qsizetype(100 * ms)
           && std::hypot(fitTone(samples, back, back + qsizetype(2 * ms)).a,
                         fitTone(samples, back, back + qsizetype(2 * ms)).b) < 0.8 * 0.4 * 32767)
        back += qsizetype(ms / 2);
    const Fit after = fitTone(samples, back + qsizetype(2 * ms), back + qsizetype(12 * ms));
    const double small = std::pow(0.05 * 32767, 2);
    const auto squared = [](double x) { return x * x; };
    const qsizetype from = turn - qsizetype(6 * ms);
    const qsizetype to = back + qsizetype(3 * ms);
    const qsizetype endA = split(from, to,
        [&](qsizetype n) { return squared(samples[n] - before.at(n)); },
        [&](qsizetype n) { return std::min({squared(samples[n] - after.at(n)), squared(samples[n]), small}); });
    const qsizetype startB = split(std::max(from, endA), to,
        [&](qsizetype n) { return std::min({squared(samples[n] - before.at(n)), squared(samples[n]), small}); },
        [&](qsizetype n) { return squared(samples[n] - after.at(n)); });
    joint.overshootMs = (mediaTime(click15, 15, endA, speed, before) - markOut) * 1000.0;
    joint.lateMs = (mediaTime(click13, 13, startB, speed, after) - markIn) * 1000.0;
    if (speed != 1.0) {
        // A stretch crossfades the sides over its window: neither side's
        // tone there, but no click either.
        silenceAndNoise(samples, turn, joint.gapMs, joint.noiseMs);
        return true;
    }
    int silent = 0;
    int noisy = 0;
    for (qsizetype n = endA; n < startB; ++n)
        (std::abs(int(samples[n])) <= 300 ? silent : noisy)++;
    joint.gapMs = silent / ms;
    joint.noiseMs = noisy / ms;
    return true;
}

// Plays the passage (clicks at 13, 14 and 15) again and again at the speed
// and prints what the recording shows.
void measureLoop(QTextStream &out, const QString &name, const QString &file, double speed)
{
    std::unique_ptr<Media> media(new Media(nullptr, false, 0x10, 2, 0, 0));
    if (!media->open(file))
        return;
    media->setVolume(1.0, 1.0);
    media->setSpeed(speed);
    // Media time counts from the stream's start (an MP3's encoder delay).
    media->setMarkOut(media->startTime() + media->ticks(markOut));
    media->setMarkIn(media->startTime() + media->ticks(markIn));
    QSignalSpy repeated(media.get(), &Media::passageRepeated);
    Recorder recorder;
    if (!recorder.start())
        return;
    media->start();
    QElapsedTimer waited;
    waited.start();
    // Stretched, a click's place is only known to a few milliseconds: more
    // rounds narrow the mean round error.
    const int rounds = speed == 1.0 ? 8 : 16;
    while (repeated.count() < rounds && waited.elapsed() < 180000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    media->stop();
    const QVector<qint16> samples = recorder.stop();
    const QList<Click> found = clicks(samples, 0.0);
    std::vector<double> within, pitch, overshoot, late, gap, noise, across;
    double lastAfterJoint = -1.0;
    for (qsizetype i = 1; i < found.size(); ++i) {
        const double heard = (found.at(i).at - found.at(i - 1).at) * speed; // media seconds
        if (std::abs(heard - 1.0) < 0.1) {
            within.push_back(found.at(i).at - found.at(i - 1).at);
            pitch.push_back(toneFrequency(samples, found.at(i - 1).at + 0.05 / speed,
                                          found.at(i).at - 0.05 / speed));
        } else if (std::abs(heard - 1.25) < 0.2) {
            // The stretch moves each click by its own few milliseconds, the
            // same in every round: from one round's first click to the
            // next, that cancels, and what is left is the joint's error.
            const double round = (found.at(i).at - lastAfterJoint) * speed - (markOut - markIn);
            if (lastAfterJoint >= 0.0 && std::abs(round) < 0.2)
                across.push_back(round * 1000.0);
            lastAfterJoint = found.at(i).at;
            Joint joint{};
            if (measureJoint(samples, found.at(i - 1).at, found.at(i).at, speed, joint)) {
                if (!std::isnan(joint.overshootMs)) {
                    overshoot.push_back(joint.overshootMs);
                    late.push_back(joint.lateMs);
                }
                gap.push_back(joint.gapMs);
                noise.push_back(joint.noiseMs);
            }
        }
    }
    const QString key = QStringLiteral("loop_%1_%2_").arg(name).arg(speed);
    // Stretched, the media time at the joint is read from the clicks, which
    // the stretch moves by a few milliseconds; the round's length is not.
    const QString from = speed == 1.0 ? QStringLiteral("from the tone's phase") : QStringLiteral("from the clicks");
    out << key << "overshoot_ms: " << median(overshoot) << " (" << overshoot.size() << " jumps, " << from << ")\n";
    out << key << "restart_error_ms: " << median(late) << " (" << from << ")\n";
    // The mean, as the rounds' lengths add up: the clicks' own shifts
    // cancel but for the first and the last.
    const double roundError =
        across.empty() ? NAN : std::accumulate(across.begin(), across.end(), 0.0) / double(across.size());
    out << key << "round_error_ms: " << roundError << " (mean of " << across.size()
        << " rounds; a round's length less the passage's: overshoot, gap and lateness together)\n";
    out << key << "gap_ms: " << median(gap) << "\n";
    out << key << "noise_ms: " << median(noise) << "\n";
    out << key << "pitch_hz: " << median(pitch) << " (expected " << tone << ")\n";
    out << key << "click_period_s: " << median(within) << " (expected " << 1.0 / speed << ")\n";
    out.flush();
}

// Plays on at speed 1 and, with x.3 s heard, changes the speed: prints how
// long after that the new speed was heard, and what was heard at the change.
void measureSpeedChange(QTextStream &out, const QString &file, double speed)
{
    std::unique_ptr<Media> media(new Media(nullptr, false, 0x10, 2, 0, 0));
    if (!media->open(file))
        return;
    media->setVolume(1.0, 1.0);
    Recorder recorder;
    if (!recorder.start())
        return;
    const double secondsPerTick = 1000.0 / double(media->ticks(1000.0));
    const auto heard = [&] { return double(media->position() - media->startTime()) * secondsPerTick; };
    std::vector<double> latency[2], gap, noise;
    media->start();
    QElapsedTimer waited;
    waited.start();
    // Changes at 3.3 s (to the speed), 6.3 s (back) and so on; each change
    // is found between two clicks whose distance lies between the periods.
    std::vector<double> changedAt;
    while (changedAt.size() < 6 && waited.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double now = heard();
        const double next = 3.3 + 3.0 * double(changedAt.size());
        if (now >= next) {
            changedAt.push_back(now);
            media->setSpeed(changedAt.size() % 2 ? speed : 1.0);
        }
    }
    QThread::msleep(2500);
    media->stop();
    const QVector<qint16> samples = recorder.stop();
    const QList<Click> found = clicks(samples, 0.0);
    // Click i heard at recording found[i].at; the first changes lie between
    // two clicks whose distance is neither 1 nor 1 / speed.
    qsizetype change = 0;
    for (qsizetype i = 1; i < found.size() && change < qsizetype(changedAt.size()); ++i) {
        const double d = found.at(i).at - found.at(i - 1).at;
        const double lo = std::min(1.0, 1.0 / speed), hi = std::max(1.0, 1.0 / speed);
        // The stretch moves a click by up to some 20 ms; the changes come
        // 0.4 s or so after a click.
        if (d < lo + 0.1 || d > hi - 0.1)
            continue;
        // From period p1 to p2 at media time M between clicks k and k + 1:
        // d = (M - k) p1 + (k + 1 - M) p2.
        const double p1 = change % 2 ? 1.0 / speed : 1.0;
        const double p2 = change % 2 ? 1.0 : 1.0 / speed;
        const double k = std::floor(changedAt[std::size_t(change)]);
        const double m = k + (d - p2) / (p1 - p2);
        latency[change % 2].push_back((m - changedAt[std::size_t(change)]) * 1000.0 * p1);
        double silent = 0.0, noisy = 0.0;
        silenceAndNoise(samples, qsizetype((found.at(i - 1).at + (m - k) * p1) * rate), silent, noisy);
        gap.push_back(silent);
        noise.push_back(noisy);
        ++change;
    }
    const QString key = QStringLiteral("speed_change_1_%1_").arg(speed);
    out << key << "heard_after_ms: " << median(latency[0]) << " (" << latency[0].size() << " changes), back to 1: "
        << median(latency[1]) << " (" << latency[1].size() << " changes)\n";
    out << key << "gap_ms: " << median(gap) << "\n";
    out << key << "noise_ms: " << median(noise) << "\n";
    out.flush();
}

// Processor seconds the time-stretch takes per media second.
void measureStretch(QTextStream &out, double speed)
{
    TimeStretch stretch;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
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
            for (double speed : {0.75, 0.5})
                measureStretch(out, speed);
            const QStringList only = app.arguments().mid(1); // formats to measure, all by default
            for (const auto &format : formats) {
                if (!only.isEmpty() && !only.contains(format.first))
                    continue;
                const QString file = dir.filePath(QStringLiteral("track.") + format.first);
                if (!makeTrack(file, format.second))
                    continue;
                for (double speed : {1.0, 0.75, 0.5})
                    measureLoop(out, format.first, file, speed);
                if (format.first == QLatin1String("wav"))
                    for (double speed : {0.75, 0.5})
                        measureSpeedChange(out, file, speed);
            }
            status = 0;
        }
    }
    processend::endWithoutStaticTeardown(status);
}
