#pragma once

#include "media/timestretch.h"

#include <QThread>

#include <cstdint>

extern "C" {
#include <libavutil/channel_layout.h>
}

struct AVFrame;
struct AVPacket;
struct SwrContext;
class Media;

// Decodes the packets of the audio stream into interleaved signed 16-bit
// samples at the codec's own rate and channel count and pushes them into the
// audio output as fast as it takes them. Cuts the sound to the sample at the
// latest seek target and, for a file with sound, at the end mark, where it
// starts the passage again.
class AudioDecodeThread final : public QThread
{
    Q_OBJECT
public:
    explicit AudioDecodeThread(Media *media);
    ~AudioDecodeThread() override;
    Q_DISABLE_COPY_MOVE(AudioDecodeThread)

    static constexpr int sampleBufferSize = 288000; // bytes

protected:
    void run() override;

private:
    void flush();
    bool decodePacket(AVPacket *packet, AVFrame *frame);
    void handleFrame(const AVFrame *frame);
    bool prepareConverter(const AVFrame *frame);
    bool convertAndPush(const AVFrame *frame, int first, int count, double seconds);
    void play(uint8_t *data, int frames, double seconds);
    void pullStretched();
    void finishStretch();
    void push(char *data, int length, double seconds, double tempo);
    void dropInRealTime(int length);
    bool reachEndMark();
    void waitForRestart();

    Media *m_media;
    uint8_t *m_samples = nullptr; // one frame's converted samples
    // The converter and the input format it was made for.
    SwrContext *m_converter = nullptr;
    AVChannelLayout m_layout{};
    int m_inputFormat = -1;
    int m_sampleRate = 0;
    // Wall clock (µs) up to which samples were dropped for want of an output.
    int64_t m_silentUntil = 0;
    // Media seconds of the sample after the last one decoded, for frames
    // that carry no time stamp; negative when unknown.
    double m_nextSeconds = -1.0;
    // The end mark was reached and the restart asked for: what the decoder
    // still yields lies after it and is not heard.
    bool m_waitingForRestart = false;
    // Media seconds up to which samples went to the output, and, after a
    // seek that only reads the same place again from further back, up to
    // which they are not pushed twice (negative: no such limit).
    double m_pushedUntil = -1.0;
    double m_skipUntil = -1.0;
    // The seek the samples now decoded follow; the pictures of the same
    // seek wait for them.
    int m_serial = 0;
    // The time-stretch for speeds other than 1, the media time of the first
    // sample fed to it and the frames it has handed out since.
    TimeStretch m_stretch;
    double m_stretchStart = 0.0;
    int64_t m_stretchOut = 0;
    // What the stretch makes of the samples before this media time (the
    // latest cut-off) is not played.
    double m_stretchFrom = 0.0;
    static constexpr double stretchPadSeconds = 0.1;
};
