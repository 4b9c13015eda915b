#pragma once

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
// audio output as fast as it takes them; keeps the audio clock and drops
// packets before the latest seek target.
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
    bool decodePacket(AVPacket *packet, AVFrame *frame);
    bool prepareConverter(const AVFrame *frame);
    bool convertAndPush(const AVFrame *frame);
    void push(char *data, int length);
    void dropInRealTime(int length);

    Media *m_media;
    uint8_t *m_samples = nullptr; // one frame's converted samples
    // The converter and the input format it was made for.
    SwrContext *m_converter = nullptr;
    AVChannelLayout m_layout{};
    int m_inputFormat = -1;
    int m_sampleRate = 0;
    // Wall clock (µs) up to which samples were dropped for want of an output.
    int64_t m_silentUntil = 0;
};
