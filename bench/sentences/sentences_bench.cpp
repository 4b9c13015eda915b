// Prints "cues_load_ms" (median time to read a SubRip file of 2,000 cues
// with tags, goal under 50 ms), "split_ms_per_media_hour" (time to find
// the sentences of a recording, scaled to an hour of it) and, for
// comparison, "decode_ms_per_media_hour" (the time only decoding its sound
// takes, which the split should not exceed) and
// "split_one_core_ms_per_media_hour" (the split held to one core). Then
// "sentences_found_<noise>": of eight synthesised English sentences, how
// many the split finds, start and end within a quarter second, in a
// recording clean and with pink noise 24, 20, 15 and 12 dB under the
// speech, as a WAV file and as a 64 kbit/s MP3 (needs espeak-ng).

#include "media/avpointers.h"
#include "cues/sentencesplitter.h"
#include "cues/subtitles.h"
#include "tests/cues/noisyspeech.h"
#include "tests/support/mediamaker.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sched.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

QString srtTime(int ms)
{
    return QStringLiteral("%1:%2:%3,%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

bool writeCues(const QString &path, int count)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        const int start = i * 2500;
        text += QStringLiteral("%1\r\n%2 --> %3\r\n<i>Sentence number %1</i> of the lesson,\r\n"
                               "with a {\\b1}second{\\b0} line.\r\n\r\n")
                    .arg(i + 1).arg(srtTime(start), srtTime(start + 2000)).toUtf8();
    }
    return f.write(text) == text.size();
}

double medianMs(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Decoding alone, the way the split decodes: the sound stream only.
double decodeSeconds(const QString &path, double *mediaSeconds)
{
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return -1;
    avformat_find_stream_info(format, nullptr);
    const AVCodec *decoder = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    AVCodecContext *codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    if (stream < 0 || !codec || avcodec_parameters_to_context(codec, format->streams[stream]->codecpar) < 0) {
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        return -1;
    }
    codec->pkt_timebase = format->streams[stream]->time_base;
    if (avcodec_open2(codec, decoder, nullptr) < 0) {
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        return -1;
    }
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = int(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    QElapsedTimer timer;
    timer.start();
    int64_t samples = 0;
    while (av_read_frame(format, packet.get()) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(codec, packet.get()) >= 0) {
            while (avcodec_receive_frame(codec, frame.get()) >= 0) {
                samples += frame->nb_samples;
                av_frame_unref(frame.get());
            }
        }
        av_packet_unref(packet.get());
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    *mediaSeconds = double(samples) / codec->sample_rate;
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return seconds;
}

// Finding the sentences, on the cores there are or on one only; -1 when
// it fails.
double splitSeconds(const QString &media, bool oneCore, QList<Cue> *sentences)
{
    cpu_set_t all;
    if (sched_getaffinity(0, sizeof all, &all) != 0)
        return -1;
    if (oneCore) {
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &all)) {
                CPU_SET(cpu, &one);
                break;
            }
        }
        sched_setaffinity(0, sizeof one, &one);
    }
    QElapsedTimer timer;
    timer.start();
    QList<SentenceSplitter::Pause> pauses;
    int64_t duration = 0;
    QString error;
    const bool found = SentenceSplitter::findPauses(media, SentenceSplitter::defaultMinPauseMs, &pauses, &duration,
                                                    nullptr, &error);
    if (found)
        *sentences = SentenceSplitter::sentences(pauses, duration);
    const double seconds = timer.nsecsElapsed() / 1e9;
    sched_setaffinity(0, sizeof all, &all);
    if (!found) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return -1;
    }
    return seconds;
}

QList<Cue> sentencesOf(const QString &media)
{
    QList<SentenceSplitter::Pause> pauses;
    int64_t duration = 0;
    QString error;
    if (!SentenceSplitter::findPauses(media, SentenceSplitter::defaultMinPauseMs, &pauses, &duration, nullptr,
                                      &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return {};
    }
    return SentenceSplitter::sentences(pauses, duration);
}

// The sentences found under noise, one line for each level of it.
bool printNoiseTable(const QString &folder)
{
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty()) {
        std::printf("sentences_found: not measured, espeak-ng is missing\n");
        return true;
    }
    NoisySpeech speech;
    if (!speech.make(folder, NoisySpeech::lessonSentences(), {800, 1400, 700, 1200, 1000, 1500, 900}))
        return false;
    std::printf("noise_media_seconds: %.1f\n", speech.seconds());
    const int total = int(speech.spans().size());
    const QStringList mp3{QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"),
                          QStringLiteral("64k")};
    const std::pair<const char *, double> levels[] = {
        {"clean", std::nan("")}, {"24db", 24}, {"20db", 20}, {"15db", 15}, {"12db", 12}};
    for (const auto &[name, snr] : levels) {
        const QString wav = QDir(folder).filePath(QStringLiteral("noisy-%1.wav").arg(QLatin1String(name)));
        const QString lossy = QDir(folder).filePath(QStringLiteral("noisy-%1.mp3").arg(QLatin1String(name)));
        if (!speech.mix(wav, snr) || !speech.mix(lossy, snr, mp3))
            return false;
        std::printf("sentences_found_%s: %d/%d (64 kbit/s MP3: %d/%d)\n", name, speech.found(sentencesOf(wav)),
                    total, speech.found(sentencesOf(lossy)), total);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString srt = dir.filePath(QStringLiteral("lesson.srt"));
    if (!writeCues(srt, 2000)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(srt));
        return 1;
    }
    std::vector<double> loads;
    int cues = 0;
    for (int run = 0; run < 9; ++run) {
        QElapsedTimer timer;
        timer.start();
        Subtitles subtitles;
        subtitles.load(srt);
        loads.push_back(timer.nsecsElapsed() / 1e6);
        cues = int(subtitles.cues().size());
    }
    std::printf("cues_loaded: %d\n", cues);
    std::printf("cues_load_ms: %.2f\n", medianMs(loads));

    QString media = app.arguments().value(1);
    if (media.isEmpty()) {
        // Ten minutes of "speech": 2.5 s of tone, 0.6 s of quiet, again.
        media = dir.filePath(QStringLiteral("lesson.mp3"));
        if (!mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                 QStringLiteral("aevalsrc=exprs='0.4*sin(2*PI*220*t)*lt(mod(t,3.1),2.5)':s=44100:d=600"),
                                 QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"),
                                 QStringLiteral("128k"), media}))
            return 1;
    }
    // Decoding and splitting take turns, so that whatever else the machine
    // does at the time weighs on all alike; the medians are printed. The
    // split runs twice: with the cores there are, and held to one.
    double mediaSeconds = 0;
    std::vector<double> decodes;
    std::vector<double> splits;
    std::vector<double> oneCoreSplits;
    QList<Cue> sentences;
    for (int run = 0; run < 5; ++run) {
        const double decode = decodeSeconds(media, &mediaSeconds);
        if (decode < 0 || mediaSeconds <= 0) {
            std::fprintf(stderr, "cannot decode %s\n", qPrintable(media));
            return 1;
        }
        decodes.push_back(decode);
        for (const bool oneCore : {false, true}) {
            const double split = splitSeconds(media, oneCore, &sentences);
            if (split < 0)
                return 1;
            (oneCore ? oneCoreSplits : splits).push_back(split);
        }
    }
    const double decode = medianMs(decodes);
    const double split = medianMs(splits);
    const double perHour = 3600.0 / mediaSeconds;
    std::printf("media_seconds: %.1f\n", mediaSeconds);
    std::printf("sentences_found: %d\n", int(sentences.size()));
    std::printf("decode_ms_per_media_hour: %.0f\n", decode * 1000.0 * perHour);
    std::printf("split_ms_per_media_hour: %.0f\n", split * 1000.0 * perHour);
    std::printf("split_one_core_ms_per_media_hour: %.0f\n", medianMs(oneCoreSplits) * 1000.0 * perHour);
    return printNoiseTable(dir.path()) ? 0 : 1;
}
