// Prints "decode_ms_per_media_hour" (the time only decoding the sound
// takes, on one core, as a player's decoder would), and against it
// "waveform_ms_per_media_hour" (the pass that finds the sentences and
// keeps the waveform, until the waveform is ready; goal: no more than the
// decoding) with "waveform_cpu_ms_per_media_hour", the processor time of
// the pass's threads together. Then what it weighs, "waveform_kb_per_media_hour" (goal under 1,024),
// "waveform_cache_load_ms" (a second opening, read from
// the cache file), and "waveform_paint_ms": the worst frame of the strip,
// 1600 px wide, while the hour plays at 30 frames a second, zoomed in to
// 2 s and out to a minute (goal under 16), with the worst of each zoom and
// the median beside it, in processor time, and "waveform_paint_wall_ms"
// (the worst in wall time, which on a busy machine holds its other
// work too), and "waveform_overview_ms" (the whole file drawn once into the
// band, at each resize).

#include "controls/waveformstrip.h"
#include "cues/sentencesplitter.h"
#include "cues/waveform.h"
#include "media/avpointers.h"
#include "tests/support/benchclock.h"
#include "tests/support/mediamaker.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// An hour of "speech", 2.5 s of tone and 0.6 s of quiet by turns: a minute
// and two seconds of it encoded, then repeated without encoding again.
bool makeHour(const QString &folder, QString *path)
{
    const QString piece = folder + QStringLiteral("/piece.mp3");
    *path = folder + QStringLiteral("/hour.mp3");
    return mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                               QStringLiteral("aevalsrc=exprs='0.4*sin(2*PI*220*t)*lt(mod(t,3.1),2.5)':s=44100:d=62"),
                               QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"),
                               QStringLiteral("128k"), piece})
        && mediamaker::ffmpeg({QStringLiteral("-stream_loop"), QStringLiteral("-1"), QStringLiteral("-i"), piece,
                               QStringLiteral("-t"), QStringLiteral("3600"), QStringLiteral("-c"),
                               QStringLiteral("copy"), *path});
}

// Decoding alone, the sound stream only, on this thread; -1 when it fails.
double decodeSeconds(const QString &path, double *mediaSeconds)
{
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return -1;
    FormatContextPtr format(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0)
        return -1;
    const AVCodec *decoder = nullptr;
    const int stream = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || !decoder)
        return -1;
    CodecContextPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), raw->streams[stream]->codecpar) < 0
        || avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return -1;
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    QElapsedTimer timer;
    timer.start();
    int64_t samples = 0;
    while (av_read_frame(raw, packet.get()) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(codec.get(), packet.get()) >= 0) {
            while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
                samples += frame->nb_samples;
                av_frame_unref(frame.get());
            }
        }
        av_packet_unref(packet.get());
    }
    *mediaSeconds = double(samples) / codec->sample_rate;
    return timer.nsecsElapsed() / 1e9;
}

// The pass, with the waveform kept or not; -1 when it fails. cpuSeconds
// receives the processor time of all its threads.
double passSeconds(const QString &path, Waveform *waveform, QList<Cue> *sentences, double *cpuSeconds)
{
    QElapsedTimer timer;
    timer.start();
    const double cpu = benchclock::processCpuSeconds();
    QList<SentenceSplitter::Pause> pauses;
    int64_t duration = 0;
    QString error;
    if (!SentenceSplitter::findPauses(path, SentenceSplitter::defaultMinPauseMs, &pauses, &duration, nullptr,
                                      &error, waveform)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return -1;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    *cpuSeconds = benchclock::processCpuSeconds() - cpu;
    *sentences = SentenceSplitter::sentences(pauses, duration);
    return seconds;
}

// ms of processor time this thread has used: a frame's own cost, which a
// busy machine's scheduler does not stretch.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Frames {
    double worst = 0;     // processor time
    double median = 0;
    double worstWall = 0; // with whatever the machine did meanwhile
};

// Frames of a second's playing, every 33 ms, at ten places spread over the
// file, each drawn whole as the window would.
Frames paintFrames(WaveformStrip &strip, int spanMs)
{
    strip.setSpanMs(spanMs);
    QImage image(strip.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> times;
    double worstWall = 0;
    const int64_t length = strip.durationMs();
    for (int place = 0; place < 10; ++place) {
        const int64_t from = length * place / 10;
        for (int64_t at = from; at < from + 1000; at += 33) {
            strip.setPosition(at);
            QElapsedTimer timer;
            timer.start();
            const double cpu = threadCpuMs();
            strip.render(&image);
            times.push_back(threadCpuMs() - cpu);
            worstWall = std::max(worstWall, timer.nsecsElapsed() / 1e6);
        }
    }
    return {*std::max_element(times.begin(), times.end()), median(times), worstWall};
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QString media = app.arguments().value(1);
    if (media.isEmpty() && !makeHour(dir.path(), &media))
        return 1;

    // Taking turns, so that whatever else the machine does weighs on all
    // alike; the medians are printed.
    double mediaSeconds = 0;
    std::vector<double> decodes;
    std::vector<double> passes;
    std::vector<double> passCpu;
    Waveform waveform;
    QList<Cue> sentences;
    for (int run = 0; run < 5; ++run) {
        const double decode = decodeSeconds(media, &mediaSeconds);
        double cpu = 0;
        const double pass = passSeconds(media, &waveform, &sentences, &cpu);
        passCpu.push_back(cpu);
        if (decode < 0 || pass < 0 || mediaSeconds <= 0) {
            std::fprintf(stderr, "cannot decode %s\n", qPrintable(media));
            return 1;
        }
        decodes.push_back(decode);
        passes.push_back(pass);
    }
    const double perHour = 3600.0 / mediaSeconds;
    std::printf("media_seconds: %.1f\n", mediaSeconds);
    std::printf("sentences_found: %d\n", int(sentences.size()));
    std::printf("decode_ms_per_media_hour: %.0f\n", median(decodes) * 1000.0 * perHour);
    std::printf("waveform_ms_per_media_hour: %.0f\n", median(passes) * 1000.0 * perHour);
    std::printf("waveform_cpu_ms_per_media_hour: %.0f\n", median(passCpu) * 1000.0 * perHour);
    std::printf("waveform_kb_per_media_hour: %.0f\n",
                double(waveform.bucketCount()) * 2.0 / 1024.0 * perHour);

    const QString cache = Waveform::cacheFile(dir.path(), media);
    if (!waveform.save(cache))
        return 1;
    std::vector<double> loads;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        const Waveform again = Waveform::load(cache);
        loads.push_back(timer.nsecsElapsed() / 1e6);
        if (again.bucketCount() != waveform.bucketCount())
            return 1;
    }
    std::printf("waveform_cache_load_ms: %.1f\n", median(loads));

    WaveformStrip strip;
    strip.resize(1600, 160);
    strip.setCues(sentences);
    strip.setPassage(waveform.durationMs() / 2, waveform.durationMs() / 2 + 4000);
    QElapsedTimer overview;
    overview.start();
    strip.setWaveform(waveform);
    std::printf("waveform_overview_ms: %.1f\n", overview.nsecsElapsed() / 1e6);
    const Frames in = paintFrames(strip, WaveformStrip::minSpanMs);
    const Frames middle = paintFrames(strip, WaveformStrip::defaultSpanMs);
    const Frames out = paintFrames(strip, WaveformStrip::maxSpanMs);
    std::printf("waveform_paint_ms: %.2f (zoomed in to 2 s: worst %.2f, median %.2f; 10 s: worst %.2f, "
                "median %.2f; out to 60 s: worst %.2f, median %.2f)\n",
                std::max({in.worst, middle.worst, out.worst}), in.worst, in.median, middle.worst, middle.median,
                out.worst, out.median);
    std::printf("waveform_paint_wall_ms: %.2f\n", std::max({in.worstWall, middle.worstWall, out.worstWall}));
    return 0;
}
