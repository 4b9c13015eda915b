#pragma once

#include "media/timestretch.h"

#include <QThread>

#include <deque>
#include <vector>

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
    void playPiece(uint8_t *data, int frames, double seconds);
    void remember(const uint8_t *data, int frames, double seconds);
    void pullStretched();
    void finishStretch();
    void push(char *data, int length, double seconds, double tempo);
    void releaseHeld();
    void write(char *data, int length, double seconds, double tempo);
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
    // The time-stretch for speeds other than 1, and the frames fed to it and
    // handed out by it since it was made.
    TimeStretch m_stretch;
    int64_t m_stretchIn = 0;
    int64_t m_stretchOut = 0;
    // Where the frames fed come from. A passage's restart feeds the start
    // mark's samples right after the end mark's, and the stretch joins them
    // as it joins any two of its windows. Each run: the frames fed before
    // it, the media time of its first, and the media time before which what
    // the stretch makes of it is not played (its settling on what comes
    // before a seek's cut-off).
    struct StretchRun {
        int64_t fedBefore;
        double seconds;
        double dropBefore;
    };
    std::deque<StretchRun> m_stretchRuns;
    // The latest cut-off, and whether the stretch waits for the start mark's
    // samples to follow the end mark's.
    double m_stretchFrom = 0.0;
    bool m_keepStretch = false;
    // The samples last played (interleaved, at most stretchPadSeconds) and
    // the media time where they end.
    std::vector<uint8_t> m_recent;
    double m_recentEnd = -1.0;
    // The speed the last samples were played at (0 after a seek), the
    // samples pushed last and held back, their media time and pace, and
    // whether the next push is crossfaded over them.
    double m_playedSpeed = 0.0;
    std::vector<char> m_held;
    double m_heldSeconds = 0.0;
    double m_heldTempo = 1.0;
    double m_pushedEnd = 0.0; // media time where the samples pushed last end
    bool m_crossfade = false;
    static constexpr int crossfadeMilliseconds = 3;
    static constexpr double stretchPadSeconds = 0.1;
};
