#pragma once

#include "media/timestretch.h"

#include <QtGlobal>

#include <deque>
#include <functional>
#include <vector>

#include <cstdint>

extern "C" {
#include <libavutil/channel_layout.h>
}

// Plays decoded sound at the engine's speed, its pitch kept, and joins
// what it plays without a click: at speed 1 the samples go out as they
// are, at any other speed through a time-stretch made for that speed. It
// owns the stretch, the record of where each run of samples fed to it
// comes from, the samples last played (for a stretch made while playing to
// settle on) and the last few milliseconds held back, over which a change
// of speed is crossfaded.
//
// Used by the audio thread alone. Its output goes to the function it was
// made with, as interleaved signed 16-bit samples with the media time of
// the first and the pace of media time in them (media seconds per second
// played).
class SpeedSplice final
{
public:
    using Output = std::function<void(char *data, int length, double seconds, double tempo)>;

    explicit SpeedSplice(Output output);
    ~SpeedSplice();
    Q_DISABLE_COPY_MOVE(SpeedSplice)

    // The format of what is played from now on.
    void setFormat(int rate, const AVChannelLayout &layout);
    // Where to start feeding for a cut at cutOff (media seconds): a
    // stretch about to be made settles on a little of what comes before,
    // which it then drops by time as it comes out.
    double feedFrom(double cutOff, double speed);
    // Plays frames (samples per channel) whose first lies at media time
    // seconds, at speed, in pieces of 10 ms so that a change of speed
    // applies from the next piece.
    void play(uint8_t *data, int frames, double seconds, double speed,
              const std::function<bool()> &stopped);
    // The passage reached its end mark: a stretch keeps what it holds of
    // it for the start mark's samples to follow.
    void passageEnded();
    // The input jumped. followsOn: the passage starts again, its start
    // following what was played without a break (and the stretch goes on
    // with it); otherwise what is held is dropped with the output's
    // content.
    void restart(bool followsOn);
    // The input has ended: whatever the stretch and the hold have goes out.
    void finish();
    // What is held back goes out.
    void releaseHeld();

private:
    void playPiece(uint8_t *data, int frames, double seconds, double speed);
    void remember(const uint8_t *data, int frames, double seconds);
    void pullStretched();
    void finishStretch();
    void push(char *data, int length, double seconds, double tempo);
    int frameBytes() const { return m_layout.nb_channels * 2; }

    Output m_output;
    int m_rate = 0;
    AVChannelLayout m_layout{};
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
    // The samples last played (interleaved, at most padSeconds) and the
    // media time where they end.
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
    static constexpr double padSeconds = 0.1;
};
