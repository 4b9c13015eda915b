#pragma once

#include "media/engineparts.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

class QTimer;
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
// The object lives in the GUI thread; its slots run there. The worker
// threads share the engine's parts (EngineParts), never the object itself.
// What follows a round of the passage is decided by the passage on the
// thread that reaches its end mark, so passageRepeated() and
// passageFinished() are emitted from a worker thread (receivers get them
// queued).
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

    // The passage: both marks and how often it plays, at once, so that no
    // caller has to order the marks against a clamp. in is kept inside the
    // stream, out inside it and not before in; count as setRepeatCount().
    // While playing, the pictures of the new start are read at once, so
    // that its first restart shows no standing picture.
    void setPassage(int64_t in, int64_t out, int count);
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
    // While playback is held, a seek moved the place where it goes on; the
    // picture there follows with frameReady() when it has been read.
    void heldPlaceMoved(int64_t position);

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
    // The picture of the place a held player goes on from has been read.
    void showStill();

private:
    friend class MediaProbe; // the engine's tests reach the parts through it

    bool isOpen() const { return m_file != nullptr; }
    bool hasVideo() const;
    int64_t endTime() const; // startTime() + duration()
    double referenceTimeBase() const; // seconds per tick
    void resetForStart();
    QString log() const;
    bool preparePictures();
    // The passage changed: a hold waiting at its old end starts it again
    // instead, as the hold would have, and a picture waiting at the old end
    // looks again.
    void passageChanged(bool holdCalledOff);
    // With the loop off, playback holds once the end of the passage has
    // been heard (or, without sound, shown), and then waits at the start.
    void holdWhenEndHeard();
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

    // --- What the threads share; each part guards itself
    EngineParts m_parts;

    // --- GUI thread only
    // Where the last stop() left off, or where a seek while held moved it,
    // for the next start().
    int64_t m_resumePosition = 0;
    bool m_hasResumePosition = false; // a stop() happened since open()
    bool m_soundUnavailableTold = false; // soundUnavailable() was emitted since open()
    int64_t m_headAskedFor = -1; // ticks: the start whose pictures were asked to be read
    PictureConverter m_stillConverter; // for pictures shown while held
    int m_targetWidth = 0; // the slots' size as open() allocated them
    int m_targetHeight = 0;

    // --- Refresh timer; GUI thread only
    QTimer *m_refreshTimer = nullptr;
    double m_frameTimer = 0.0;      // wall seconds when the next picture is due
    double m_frameLastSeconds = 0.0; // media seconds of the picture shown last
    int m_frameLastSerial = -1;      // and the seek it followed
    double m_frameLastDelay = 0.04; // playing seconds between the last two pictures
    int64_t m_pausedAt = 0;          // µs, av_gettime, of the last pause
    // The seek whose sound the pictures are waiting for, since when (µs),
    // and the latest seek whose sound never came (its pictures go by the
    // clock).
    int m_soundAwaitedSerial = -1;
    int64_t m_soundAwaitedSince = 0;
    int m_soundlessSerial = -1;

    // --- Threads
    ParsingThread *m_parsingThread = nullptr;
    VideoDecodeThread *m_videoThread = nullptr;
    AudioDecodeThread *m_audioThread = nullptr;
};
