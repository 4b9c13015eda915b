#pragma once

#include "media/packetqueue.h"
#include "media/videopicture.h"

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>

#include <array>
#include <atomic>
#include <cstdint>

struct AVCodecContext;
struct AVFormatContext;
struct AVStream;
struct SwsContext;
class QTimer;
class IAudio;
class ParsingThread;
class VideoDecodeThread;
class AudioDecodeThread;
class MediaProbe;

// The playback engine for one media file: opens it with FFmpeg, reads and
// decodes it on three worker threads, paces its pictures with a refresh
// timer and plays its sound on the default output device.
//
// Positions, marks and seek targets are ticks of the reference stream's time
// base (the video stream, or the audio stream of an audio-only file). Seconds
// are playing seconds: ticks * time base / speed. A stream's positions run
// from startTime() to startTime() + duration().
//
// The object lives in the GUI thread; its slots run there. The decoding
// threads call seekTo() and pause(true) at the end mark, so paused(bool) may
// be emitted from a worker thread (receivers get it queued).
class Media final : public QObject
{
    Q_OBJECT
public:
    // powerOfTwo: round the picture size to powers of two; scaleFlags:
    // swscale flags; targetPixelFormat: FFmpeg pixel format of the pictures
    // (2, RGB24); targetWidth/targetHeight: picture size, 0 for the video's.
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
    double clock() const; // playing seconds
    // Ticks of the reference stream in that many seconds of media time; at
    // least 1. Streams count in very different units (1/25 s, 1/1000 s,
    // 1/90000 s), so a length meant in time is asked for here.
    int64_t ticks(double seconds) const;
    // Position as "hh:mm:ss" in playing time; hours take as many digits as
    // they need.
    QString timeString(int64_t position) const;
    // The same in media time, whatever the speed: what the player shows,
    // so that the time, the slider and the marks count alike.
    QString mediaTimeString(int64_t position) const;

    // Seek requests, carried out by the parsing thread. Ignored when no file
    // is open and while an earlier request is pending. While stopped after
    // playing (playback held), they move the place where start() goes on.
    void seekTo(int64_t target);
    void seekBy(int64_t delta);
    void seekRelative(double seconds); // playing seconds from clock()

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
    // Slot i (0 to 3) of the picture ring, nullptr for any other i.
    VideoPicture *picture(int i);

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
    void resetMarkIn();
    void resetMarkOut();
    void setMarkIn();
    void setMarkOut();
    void setLoop(bool loop);
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
    friend class VideoDecodeThread;
    friend class AudioDecodeThread;
    friend class MediaProbe; // white-box access for the engine's tests

    bool isOpen() const { return m_formatContext != nullptr; }
    bool hasVideo() const { return m_videoCodecContext != nullptr; }
    // Last tick of the reference stream: startTime() + duration().
    int64_t endTime() const;
    double referenceTimeBase() const; // seconds per tick
    void resetClocks();
    void appendLog(const QString &line);
    QString openError(int code) const;
    bool openStreams();
    bool openStream(int index);
    bool preparePictures();
    bool allocatePictures();
    void endOfMark(); // called by the decoding threads
    // Places a seek request; false when one is pending already. loop marks
    // the restart of the passage, whose sound follows on without a break.
    // retry reads again from further back, for a seek that landed after
    // its target.
    bool requestSeek(int64_t target, bool loop, bool retry = false);
    bool seekPending() const { return m_seekState.load() != SeekIdle; }
    // Media seconds of the sound last heard; false when the output cannot
    // tell (no sound device, nothing played yet).
    bool heardSeconds(double &seconds) const;
    int64_t playingPosition() const; // position() as if not held
    // With sound, a picture shows when its moment is heard: false when it
    // is paced by the clock instead, else wait is the seconds until then.
    bool pictureFollowsSound(const VideoPicture &picture, double &wait);
    // Which thread drives the end of the passage: the audio thread when the
    // file has sound, as its samples can be cut exactly; else the video.
    bool audioDrivesMarks() const { return m_audioCodecContext != nullptr; }
    void waitForThreads();
    void releaseDecoders();

    // --- Set by open(), read-only while the threads run
    QString m_file;
    AVFormatContext *m_formatContext = nullptr;
    AVStream *m_audioStream = nullptr;
    int m_audioStreamIndex = -1;
    AVCodecContext *m_audioCodecContext = nullptr;
    AVStream *m_referenceStream = nullptr;
    int m_referenceStreamIndex = -1;
    AVCodecContext *m_referenceCodecContext = nullptr;
    // Codec record of the first video stream; set means the file has video.
    AVCodecContext *m_videoCodecContext = nullptr;
    // Codec figures as opened, read by the GUI thread while the decoders
    // may be changing their records.
    int m_videoWidth = 0;
    int m_videoHeight = 0;
    int m_codecAspectNum = 0;
    int m_codecAspectDen = 1;
    int m_audioSampleRate = 0;
    int m_audioChannels = 0;
    int m_audioBitRate = 0;
    QImage m_cover;
    // Used by the video thread only once open() made it.
    SwsContext *m_scaler = nullptr;
    int m_scaleFlags = 0;
    int m_targetWidth = 0;
    int m_targetHeight = 0;
    int m_targetPixelFormat = 2;
    bool m_powerOfTwo = false;

    // --- Owned queues; each guards itself
    PacketQueue m_audioQueue;
    PacketQueue m_videoQueue;

    // --- Written by the GUI thread, the seek fields also by the decoding
    // threads (end of mark); polled by the workers (atomic)
    std::atomic<bool> m_stopped{true};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_loop{true};
    std::atomic<bool> m_allowDirtySeek{false};
    std::atomic<bool> m_seekBackwardForced{false};
    // One request at a time: whoever moves the state from idle to placing
    // writes the target and makes it pending; the parsing thread returns it
    // to idle once the seek is carried out, in one step, so a request that
    // comes right after is never lost.
    enum SeekState { SeekIdle, SeekPlacing, SeekPending };
    std::atomic<int> m_seekState{SeekIdle};
    std::atomic<bool> m_seekIsLoop{false}; // the pending request restarts the passage
    std::atomic<bool> m_seekIsRetry{false}; // ... or reads again from further back
    // Seconds before the target where the parsing thread started reading
    // for the last seek, beyond the codec's preroll; parsing thread writes.
    std::atomic<double> m_seekBackoff{0.0};
    std::atomic<int64_t> m_seekTarget{0}; // also the cut-off for decoded data
    // Written by the parsing thread before it flushes the queues for a
    // seek, read by the audio thread at the flush: keep or drop what the
    // output still holds.
    std::atomic<bool> m_lastSeekWasLoop{false};
    std::atomic<bool> m_lastSeekWasRetry{false};
    // Counts the seeks carried out; the parsing thread writes it before it
    // flushes the queues.
    std::atomic<int> m_seekSerial{0};
    std::atomic<int> m_repeatCount{0};
    // Passes through the passage, and whether the count is reached; the
    // decoding thread that reaches the end mark counts.
    std::atomic<int> m_passagePlays{0};
    std::atomic<bool> m_passageDone{false};
    std::atomic<int64_t> m_markIn{0};
    std::atomic<int64_t> m_markOut{0};
    std::atomic<double> m_speed{1.0};
    // Where the last stop() left off, or where a seek while held moved it,
    // for the next start(); GUI thread only.
    int64_t m_resumePosition = 0;
    bool m_hasResumePosition = false; // a stop() happened since open()
    bool m_soundUnavailableTold = false; // soundUnavailable() was emitted since open()

    // --- Written by the parsing thread only
    std::atomic<bool> m_demuxerPaused{false};

    // --- Clocks. currentPts and its wall time are written by the GUI thread
    // (refresh timer, pause), audioClock by the audio thread, videoClock by
    // the video thread; all are read by others (atomic)
    std::atomic<double> m_currentPts{0.0};     // playing seconds
    std::atomic<int64_t> m_currentPtsTime{0};  // µs, av_gettime
    std::atomic<double> m_audioClock{0.0};     // playing seconds
    std::atomic<double> m_videoClock{0.0};     // playing seconds
    // GUI thread only
    double m_frameTimer = 0.0;     // s
    double m_frameLastPts = 0.0;   // s
    double m_frameLastDelay = 0.04; // s
    double m_markInClock = 0.0;
    double m_markOutClock = 0.0;
    QTimer *m_refreshTimer = nullptr;
    // The seek whose sound the pictures are waiting for, since when (µs),
    // and the latest seek whose sound never came (its pictures go by the
    // clock).
    int m_soundAwaitedSerial = -1;
    int64_t m_soundAwaitedSince = 0;
    int m_soundlessSerial = -1;

    // --- Picture ring. Slots are written by the video thread and read by the
    // GUI thread; pictureCount is guarded by m_pictureMutex
    std::array<VideoPicture, 4> m_pictures;
    int m_pictureCount = 0;
    int m_readIndex = 0;  // GUI thread
    int m_writeIndex = 0; // video thread
    QMutex m_pictureMutex;
    QWaitCondition m_pictureCondition;

    // --- Threads and output
    ParsingThread *m_parsingThread = nullptr;
    VideoDecodeThread *m_videoThread = nullptr;
    AudioDecodeThread *m_audioThread = nullptr;
    IAudio *m_audio = nullptr;

    // --- Guarded by m_logMutex
    QString m_log;
    mutable QMutex m_logMutex;
};
