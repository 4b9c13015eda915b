#pragma once

#include "media/decoderthread.h"
#include "media/passage.h"
#include "media/speedsplice.h"

#include <cstdint>

extern "C" {
#include <libavutil/channel_layout.h>
}

// Decodes the sound stream into interleaved signed 16-bit samples at the
// codec's own rate and channel count, cuts them to the sample at the latest
// seek target and, for a file with sound, at the end mark, where it asks
// for the passage to start again, and hands them through the speed splice
// to the sound output as fast as it takes them.
class AudioDecodeThread final : public DecoderThread
{
    Q_OBJECT
public:
    AudioDecodeThread(EngineParts &parts, QObject *parent);
    ~AudioDecodeThread() override;
    Q_DISABLE_COPY_MOVE(AudioDecodeThread)

    static constexpr int sampleBufferSize = 288000; // bytes

protected:
    QString logLine(LogLine line) const override;
    AVCodecContext *decoder() const override;
    void started() override;
    void flushed(bool afresh) override;
    bool takesPackets() const override { return !m_waitingForRestart; }
    void handleFrame(AVFrame *frame) override;
    void endDrained() override;

private:
    bool prepareConverter(const AVFrame *frame);
    bool convertAndPlay(const AVFrame *frame, int first, int count, double seconds);
    // The passage decided that playback waits at the end mark, for its
    // restart or, holding, for the hold.
    void waitForRestart(bool holding);
    void write(char *data, int length, double seconds, double tempo);
    void dropInRealTime(int length);

    // --- Audio thread only
    uint8_t *m_samples = nullptr; // one frame's converted samples
    // The converter and the input format it was made for.
    ConverterPtr m_converter;
    AVChannelLayout m_layout{};
    int m_inputFormat = -1;
    int m_sampleRate = 0;
    SpeedSplice m_splice;
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
};
