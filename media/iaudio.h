#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <deque>
#include <functional>
#include <vector>

class QAudioSink;
class QIODevice;
class QTimer;

// The sound output of a Media: a push-mode QAudioSink on one device, with a
// left and a right volume applied to the samples as they are written.
//
// The sink lives on a thread of its own, which makes it, drives it and
// deletes it: Qt's outputs belong to the thread that made them (its
// PulseAudio output changes its state from queued callbacks). Writers put
// samples into a short ring; the output thread moves them on into the sink
// every few milliseconds, however busy the GUI thread or the decoders are,
// and takes the sink's own reckoning of what it has played at the same
// time. Every other thread reads only what is kept under the mutex.
class IAudio
{
public:
    IAudio();
    virtual ~IAudio(); // closes the output and ends its thread
    Q_DISABLE_COPY_MOVE(IAudio)

    // What the output holds at most (the server may grant less), asked for
    // anew each time its stream starts, so that it never shrinks.
    static constexpr int bufferMicroseconds = 200000;
    // What the ring before the output holds at most. Writers may fill it
    // only as far as the sink had room at its last round, so that what
    // waits in the ring adds nothing to what the sink holds before it is
    // heard; its size only bounds one handing over.
    static constexpr int ringMicroseconds = 30000;
    // How often the output thread feeds the sink and reads its clock.
    static constexpr int feedMilliseconds = 5;

    // Makes an output for that format (sampleSize 8 or 16 bits); keeps the
    // current one when its format already matches. False when the device
    // cannot play the format; an older output then stays. Not from the
    // output thread.
    bool setup(const QAudioDevice &device, int sampleRate, int sampleSize, int channels);
    // Puts at most bytesFree() bytes into the ring, scaling them by the
    // volumes in place; returns the bytes taken (0 without an output that
    // accepts data). Any thread.
    int write(char *data, int length);
    // The same for samples of known media time: the first sample lies at
    // mediaSeconds, and each byte moves on by secondsPerByte (the playing
    // speed shows in it). serial names the seek the samples follow. Lets
    // heardSeconds() tell what has been played.
    int write(char *data, int length, double mediaSeconds, double secondsPerByte, int serial = 0);
    // Waits up to milliseconds until there is room for a write. Wakes early
    // when the output takes bytes, is emptied or closed. True when there is room
    // for a write; a writer checks acceptsData() and the gate again anyway.
    bool waitForRoom(int milliseconds);
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
    // Drops what the ring and the output still hold, at once, and forgets
    // the times written so far. Timed writes are then dropped, as belonging
    // to the place left, until openGate() says that the samples of the new
    // place follow. Not from the output thread.
    void discard();
    void openGate();
    // Between discard() and openGate(): the samples of the new place are
    // still to come.
    bool gated() const;
    void close(); // not from the output thread
    // Each value above 0.999 becomes 1, below 0.001 becomes 0.
    void setVolume(double left, double right);

    float leftVolume() const;
    float rightVolume() const;
    bool hasOutput() const;
    // An output exists and is playing or waiting for data.
    bool acceptsData() const;
    QAudioFormat format() const;
    // What a write takes now: room in the ring that the sink has room for;
    // 0 without an output.
    int bytesFree() const;
    // Bytes the sink's buffer holds as the server granted it at the latest
    // start of its stream; 0 without an output.
    qsizetype bufferSize() const;
    // Microseconds of the stream played since it last started.
    qint64 playedUSecs() const;
    // How often a stream was started since this object was made: a setup()
    // that keeps the output keeps its stream going.
    int streamStarts() const;

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
    void runInOutputThread(const std::function<void()> &work);
    // --- Output thread
    void makeOutput(const QAudioDevice &device, const QAudioFormat &format);
    void restartStream();
    void dropOutput();
    void feed();
    // --- Under m_mutex
    int writeLocked(char *data, int length);
    qsizetype roomLocked() const;
    qint64 playedBytes() const;
    void forgetStream();

    // --- Made by the constructor, ended by the destructor
    QThread m_thread;
    QObject *m_context = nullptr; // lives in m_thread; work for it is sent there
    // --- Output thread only (made, driven and deleted there)
    QAudioSink *m_output = nullptr;
    QIODevice *m_device = nullptr;
    QTimer *m_feeder = nullptr;
    std::vector<char> m_scratch; // bytes on their way from the ring to the sink

    // --- Guarded by m_mutex. The output thread sets up, feeds and closes;
    // writers fill the ring; any thread asks what has been heard.
    mutable QMutex m_mutex;
    QWaitCondition m_room; // there is room for a write, or the stream was emptied or ended
    QAudioFormat m_format;
    bool m_hasOutput = false;
    bool m_accepting = false; // the sink's stream runs (active or idle)
    qsizetype m_bufferSize = 0;
    int m_streamStarts = 0;
    float m_leftVolume = 0.5f;
    float m_rightVolume = 0.5f;
    // The ring: m_ringFill bytes from m_ringStart on, wrapping around.
    std::vector<char> m_ring;
    qsizetype m_ringStart = 0;
    qsizetype m_ringFill = 0;
    // Byte counts since the stream (re)started: put into the ring, and
    // handed on from the ring to the sink. A byte's place in the ring's
    // stream is its place in the sink's.
    qint64 m_written = 0;
    qint64 m_handed = 0;
    // The sink's own count of bytes played, read by the output thread at
    // steady-clock time m_sampledAt (ns); other threads carry it on by the
    // time since, up to what the sink was handed.
    qint64 m_sampledBytes = 0;
    qint64 m_sampledAt = 0;
    mutable qint64 m_lastPlayed = 0; // what playedBytes() last said: it never goes back
    // Bytes the sink could still take at the output thread's last round
    // beyond what it was handed then; and whether a write has asked the
    // output thread for a round out of turn, to hand them on at once.
    qsizetype m_sinkRoom = 0;
    bool m_feedPosted = false;
    bool m_gated = false;
    std::deque<Segment> m_segments;
};
