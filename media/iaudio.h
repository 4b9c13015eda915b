#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMutex>

#include <deque>

class QAudioSink;
class QIODevice;

// The sound output of a Media: a push-mode QAudioSink on one device, with a
// left and a right volume applied to the samples as they are written.
class IAudio
{
public:
    IAudio();
    virtual ~IAudio(); // closes the output
    Q_DISABLE_COPY_MOVE(IAudio)

    // What the output holds at most (the server may grant less), asked for
    // anew each time its stream starts, so that it never shrinks.
    static constexpr int bufferMicroseconds = 200000;

    // Makes an output for that format (sampleSize 8 or 16 bits); keeps the
    // current one when its format already matches. False when the device
    // cannot play the format; an older output then stays.
    bool setup(const QAudioDevice &device, int sampleRate, int sampleSize, int channels);
    // Pushes at most bytesFree() bytes, scaling them by the volumes in
    // place; returns the bytes taken (0 without an active output).
    int write(char *data, int length);
    // The same for samples of known media time: the first sample lies at
    // mediaSeconds, and each byte moves on by secondsPerByte (the playing
    // speed shows in it). serial names the seek the samples follow. Lets
    // heardSeconds() tell what has been played.
    int write(char *data, int length, double mediaSeconds, double secondsPerByte, int serial = 0);
    // Media seconds of the sample the listener hears now: of what was
    // written, the part the output reports played. False when nothing of
    // known time has been played since the output started or was emptied.
    bool heardSeconds(double &seconds) const;
    // When the listener hears media time mediaSeconds as written after seek
    // serial: Known sets wait, the seconds until then (negative once heard).
    // NotWritten: nothing of that serial is in the output yet. Unknown: the
    // time lies past what has been written while the output runs dry (the
    // sound has ended before the pictures), or there is no output.
    enum class Due { Known, NotWritten, Unknown };
    Due secondsUntilHeard(double mediaSeconds, int serial, double &wait) const;
    // Drops what the output still holds and forgets the times written so
    // far. Timed writes are then dropped, as belonging to the place left,
    // until openGate() says that the samples of the new place follow.
    // GUI thread, as the output is its object.
    void discard();
    void openGate();
    // Between discard() and openGate(): the samples of the new place are
    // still to come.
    bool gated() const;
    void close();
    // Each value above 0.999 becomes 1, below 0.001 becomes 0.
    void setVolume(double left, double right);

    float leftVolume() const;
    float rightVolume() const;
    bool hasOutput() const;
    // An output exists and is playing or waiting for data.
    bool acceptsData() const;
    QAudioFormat format() const;
    int bytesFree() const; // 0 without an output
    const QAudioSink *output() const;

    // Scales samples in place: 8-bit unsigned or 16-bit signed, the first
    // channel of a stereo frame by left, the second by right; every sample
    // of any other layout by left. Products are cut toward zero.
    static void applyVolume(char *data, int length, int sampleSize, int channels,
                            float left, float right);

private:
    // A run of samples written back to back: byte offset in the output's
    // stream where it starts, the media time there and its pace.
    struct Segment {
        qint64 startByte;
        double startSeconds;
        double secondsPerByte;
        int serial;
    };
    int writeLocked(char *data, int length);
    qint64 playedBytes() const; // under m_mutex
    void restartStream();       // under m_mutex

    // --- Guarded by m_mutex (the GUI thread sets up and closes, the audio
    // thread writes)
    mutable QMutex m_mutex;
    QAudioFormat m_format;
    QAudioSink *m_output = nullptr;
    QIODevice *m_device = nullptr;
    float m_leftVolume = 0.5f;
    float m_rightVolume = 0.5f;
    qint64 m_written = 0; // bytes written since the output (re)started
    bool m_gated = false;
    std::deque<Segment> m_segments;
};
