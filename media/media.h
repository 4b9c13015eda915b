#pragma once

#include "media/avpointers.h"
#include "media/packetqueue.h"
#include "media/pictureconverter.h"
#include "media/picturequeue.h"
#include "media/playbackclock.h"
#include "media/seekrequest.h"

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>

class QTimer;
class IAudio;
class MediaFile;
class ParsingThread;
class VideoDecodeThread;
class AudioDecodeThread;
class MediaProbe;

// The playback engine for one media file: opens it with FFmpeg, reads and
// decodes it on three worker threads, paces its pictures with a refresh
// timer and plays its sound on the default output device.
//
// Its parts: the opened file (MediaFile), a packet queue per stream, the
// seek request, one decoding thread per stream (DecoderThread's loop), the
// picture queue, the playback clock and the sound output (IAudio), fed
// through the speed splice (SpeedSplice) by the audio thread.
//
// Positions, marks and seek targets are ticks of the reference stream's time
// base (the video stream, or the audio stream of an audio-only file), at
// every speed; inside, times are media seconds. A stream's positions run
// from startTime() to startTime() + duration().
//
// The object lives in the GUI thread; its slots run there. The decoding
// threads place seeks and count passes at the end mark, so
// passageRepeated() and passageFinished() are emitted from a worker thread
// (receivers get them queued).
class Media final : public QObject
{
    Q_OBJECT
public:
    // powerOfTwo: round the picture size to powers of two; scaleFlags:
    // swscale flags; targetPixelFormat: FFmpeg pixel format of the pictures
    // (2, RGB24, or 0, YUV420P for a display that converts itself);
    // targetWidth/targetHeight: a fixed picture size, 0 for the size the
    // picture is shown at (setDisplaySize()) up to the video's own.
    Media(QObject *parent, bool powerOfTwo, int scaleFlags, int targetPixelFormat,
          int targetWidth, int targetHeight);
    ~Media() override;
    Q_DISABLE_COPY_MOVE(Media)

    // Ticks of the picture on screen; without video, of the sound last
    // heard. While playback is held, the place where it will go on.
    int64_t position() const;
    int64_t startTime() const; // ticks; 0 when the stream has none
    int64_t duration() const;  // length in ticks
    int64_t markIn() const;
    int64_t markOut() const;
    bool isStopped() const;
    bool isPaused() const;
    // Ticks of the reference stream in that many seconds of media time; at
    // least 1. Streams count in very different units (1/25 s, 1/1000 s,
    // 1/90000 s), so a length meant in time is asked for here.
    int64_t ticks(double seconds) const;
    // Position as "hh:mm:ss" in media time, whatever the speed: what the
    // player shows, so that the time, the slider and the marks count alike.
    QString mediaTimeString(int64_t position) const;

    // Seek requests, carried out by the parsing thread. Ignored when no file
    // is open and while an earlier request is pending. While stopped after
    // playing (playback held), they move the place where start() goes on.
    void seekTo(int64_t target);
    void seekBy(int64_t delta);

    void setMarkIn(int64_t position);
    void setMarkOut(int64_t position);
    void setVolume(double left, double right);

    // Playing speed, media seconds per second of playing time; the sound
    // keeps its pitch. Clamped to 0.25 - 3.
    void setSpeed(double speed);
    double speed() const;
    // How often the marked passage plays: 0 repeats it without end; n plays
    // it n times and then plays on past the end mark. Setting it, or either
    // mark, starts the count afresh.
    void setRepeatCount(int count);
    int repeatCount() const;

    // Width / height as the video should be shown; 0 without video.
    float displayAspectRatio() const;
    // The file's cover picture (a still stored beside the sound), or a null
    // image. It is never played as video.
    QImage cover() const;
    // Slot i (0 to 3) of the picture queue, nullptr for any other i.
    VideoPicture *picture(int i);
    // Device pixels the picture covers on screen; an empty size when not
    // known. RGB pictures are converted at that size when it is smaller
    // than the video's, so that neither the conversion nor OpenGL work on
    // pixels nobody sees. Any thread; the next picture converted uses it.
    void setDisplaySize(QSize size);
    QSize displaySize() const;

    // --- Operations of the engine's documented interface that the player
    // does not call; kept, with their documented units.
    double clock() const; // playing seconds (media seconds / speed)
    QString timeString(int64_t position) const; // "hh:mm:ss" in playing time
    void seekRelative(double seconds); // playing seconds from clock()

signals:
    void frameReady(int id);
    void running(bool run);
    void paused(bool p);
    void markingChanged();
    void error(const QString &msg);
    // Playback reached the end mark; played counts the passes since the
    // marks or the repeat count were last set. Emitted by a worker thread.
    void passageRepeated(int played);
    // The repeat count is reached: playback goes on past the end mark.
    void passageFinished();
    // A file with sound started, but no sound output could be made for it:
    // there is no output device, the device refuses the sound's format, or
    // the sound server would not open a stream. Playback goes on silently,
    // its clock running in real time. Emitted by start() in the GUI thread,
    // at most once per opened file, however often playback is held and
    // resumed.
    void soundUnavailable();

public slots:
    bool open(const QString &file, int64_t markIn, int64_t markOut);
    bool open(const QString &file, int64_t markIn);
    bool open(const QString &file);
    void start();
    void stop();
    void play(bool startorstop);
    void pause(bool pause);
    void setLoop(bool loop);

    // --- Slots of the engine's documented interface that the player does
    // not call; kept.
    void resetMarkIn();
    void resetMarkOut();
    void setMarkIn();
    void setMarkOut();
    void setPlaySpeed(int playspeed);
    void seekBackward();
    void seekForward();
    void seekBegin();
    void setOptionAllowDirtySeek(bool dirty);
    int audioSampleRate();
    int audioBitRate();
    int audioChannels();

private slots:
    void video_refresh_timer();
    void thread_terminated();

private:
    friend class ParsingThread;
    friend class DecoderThread;
    friend class VideoDecodeThread;
    friend class AudioDecodeThread;
    friend class MediaProbe; // the engine's tests reach the parts through it

    static constexpr int logLinesKept = 64;

    bool isOpen() const { return m_file != nullptr; }
    bool hasVideo() const;
    int64_t endTime() const; // startTime() + duration()
    double referenceTimeBase() const; // seconds per tick
    void resetForStart();
    void appendLog(const QString &line);
    QString log() const;
    bool preparePictures();
    // Which thread drives the end of the passage: the audio thread when the
    // file has sound, as its samples can be cut exactly; else the video.
    bool audioDrivesMarks() const;
    void endOfMark(); // called by the decoding thread that drives the marks
    // With the loop off, playback holds once the end of the passage has
    // been heard (or, without sound, shown), and then waits at the start.
    void holdWhenEndHeard();
    void cancelHold();
    // Places a seek request; false when one is pending already. loop marks
    // the restart of the passage, whose sound follows on without a break.
    // retry reads again from further back, for a seek that landed after
    // its target.
    bool requestSeek(int64_t target, bool loop, bool retry = false);
    int64_t playingPosition() const; // position() as if not held
    // With sound, a picture shows when its moment is heard: false when it
    // is paced by the clock instead, else wait is the seconds until then.
    bool pictureFollowsSound(const VideoPicture &picture, double &wait);
    void waitForThreads();

    // --- The opened file; set by open(), read-only while the threads run
    QString m_fileName;
    std::unique_ptr<MediaFile> m_file;

    // --- Packet queues, one per stream; each guards itself
    PacketQueue m_audioQueue;
    PacketQueue m_videoQueue;

    // --- The seek request; guards itself. The flags below are written by
    // the GUI thread, read by the parsing thread (atomic).
    SeekRequest m_seek;
    std::atomic<bool> m_allowDirtySeek{false};
    // Written by the parsing thread only.
    std::atomic<bool> m_demuxerPaused{false};

    // --- The passage. Written by the GUI thread; the pass count and the
    // hold also by the decoding thread that reaches the end mark (atomic).
    std::atomic<int64_t> m_markIn{0};
    std::atomic<int64_t> m_markOut{0};
    std::atomic<bool> m_loop{true};
    std::atomic<int> m_repeatCount{0};
    std::atomic<int> m_passagePlays{0};
    std::atomic<bool> m_passageDone{false};
    // The end was reached with the loop off: the hold comes when it is
    // heard, for the pass of seek serial m_holdSerial.
    std::atomic<bool> m_holdAtEnd{false};
    std::atomic<int> m_holdSerial{0};

    // --- Running state. Written by the GUI thread, polled by the workers
    // (atomic); the clock guards itself and also holds the paused state.
    std::atomic<bool> m_stopped{true};
    PlaybackClock m_clock;
    // Media seconds of the sample after the last one decoded; audio thread
    // writes.
    std::atomic<double> m_soundDecoded{0.0};
    // Where the last stop() left off, or where a seek while held moved it,
    // for the next start(); GUI thread only.
    int64_t m_resumePosition = 0;
    bool m_hasResumePosition = false; // a stop() happened since open()
    bool m_soundUnavailableTold = false; // soundUnavailable() was emitted since open()

    // --- Pictures. The queue guards itself; the converter is the video
    // thread's; the format and flags are set at construction.
    PictureQueue m_pictures;
    PictureConverter m_converter;
    int m_scaleFlags = 0;
    int m_targetWidth = 0; // the slots' size as open() allocated them
    int m_targetHeight = 0;
    QSize m_fixedSize; // asked for at construction; empty: follow the display
    int m_targetPixelFormat = 2;
    bool m_powerOfTwo = false;
    // Written by the GUI thread, read by the video thread: width in the
    // high and height in the low 32 bits, so that both change at once.
    std::atomic<uint64_t> m_displaySize{0};

    // --- Refresh timer; GUI thread only
    QTimer *m_refreshTimer = nullptr;
    double m_frameTimer = 0.0;      // wall seconds when the next picture is due
    double m_frameLastSeconds = 0.0; // media seconds of the picture shown last
    double m_frameLastDelay = 0.04; // playing seconds between the last two pictures
    int64_t m_pausedAt = 0;          // µs, av_gettime, of the last pause
    // The seek whose sound the pictures are waiting for, since when (µs),
    // and the latest seek whose sound never came (its pictures go by the
    // clock).
    int m_soundAwaitedSerial = -1;
    int64_t m_soundAwaitedSince = 0;
    int m_soundlessSerial = -1;

    // --- Threads and output
    ParsingThread *m_parsingThread = nullptr;
    VideoDecodeThread *m_videoThread = nullptr;
    AudioDecodeThread *m_audioThread = nullptr;
    std::unique_ptr<IAudio> m_audio;

    // --- The log, the latest lines only; guarded by m_logMutex
    QStringList m_log;
    mutable QMutex m_logMutex;
};
