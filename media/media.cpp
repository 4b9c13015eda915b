#include "media/media.h"

#include "media/audiodecodethread.h"
#include "media/iaudio.h"
#include "media/mediafile.h"
#include "media/parsingthread.h"
#include "media/videodecodethread.h"

#include <QMediaDevices>
#include <QTimer>

extern "C" {
#include <libavutil/time.h>
}

#include <algorithm>

Media::Media(QObject *parent, bool powerOfTwo, int scaleFlags, int targetPixelFormat,
             int targetWidth, int targetHeight)
    : QObject(parent),
      m_parts(PictureFormat{scaleFlags, targetPixelFormat, powerOfTwo, QSize(targetWidth, targetHeight)},
              [this](int played, bool finished) {
                  emit passageRepeated(played);
                  if (finished)
                      emit passageFinished();
              }),
      m_targetWidth(targetWidth),
      m_targetHeight(targetHeight)
{
    static const bool quietened = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    Q_UNUSED(quietened);

    m_parsingThread = new ParsingThread(m_parts, this);
    m_videoThread = new VideoDecodeThread(m_parts, this);
    m_audioThread = new AudioDecodeThread(m_parts, this);
    // Named for whoever looks at the process's threads (a debugger, top).
    m_parsingThread->setObjectName(QStringLiteral("parsing"));
    m_videoThread->setObjectName(QStringLiteral("video decoding"));
    m_audioThread->setObjectName(QStringLiteral("audio decoding"));
    for (QThread *thread : {static_cast<QThread *>(m_parsingThread),
                            static_cast<QThread *>(m_videoThread),
                            static_cast<QThread *>(m_audioThread)})
        connect(thread, &QThread::finished, this, &Media::thread_terminated);

    connect(&m_parts.pictureReader, &PictureReader::stillRead, this, &Media::showStill, Qt::QueuedConnection);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setTimerType(Qt::PreciseTimer); // pictures meet the sound to the millisecond
    connect(m_refreshTimer, &QTimer::timeout, this, &Media::video_refresh_timer);

    resetForStart();
}

Media::~Media()
{
    m_parts.stopped = true;
    waitForThreads();
    // Closing the output runs the event loop a moment: no picture may be
    // shown from a half-destroyed engine meanwhile.
    m_refreshTimer->stop();
    m_refreshTimer->blockSignals(true);
    m_parts.audio.reset(); // closes the output
    delete m_parsingThread;
    delete m_videoThread;
    delete m_audioThread;
    disconnect();
    m_parts.pictures.release();
    m_parts.videoQueue.clear();
    m_parts.audioQueue.clear();
    m_parts.converter.reset();
    m_parts.file = nullptr;
    m_file.reset();
}

// Ends the worker threads once stopped is set. The parsing thread ends
// first; aborting the queues and the picture queue then wakes decoders that
// wait for a packet or a free slot, and the clock wakes those held by a
// pause.
void Media::waitForThreads()
{
    m_parsingThread->wait();
    m_parts.videoQueue.abort();
    m_parts.audioQueue.abort();
    m_parts.pictures.abort();
    m_parts.clock.wake();
    m_parts.seek.wakeWaiters();
    m_videoThread->wait();
    m_audioThread->wait();
}

bool Media::open(const QString &file)
{
    return open(file, 0, 0);
}

bool Media::open(const QString &file, int64_t markIn)
{
    return open(file, markIn, 0);
}

bool Media::open(const QString &file, int64_t markIn, int64_t markOut)
{
    if (isOpen())
        return false;
    m_fileName = file;
    QString message;
    m_file = MediaFile::open(file, message);
    if (!m_file) {
        if (!message.isEmpty())
            emit error(message);
        return false;
    }
    m_parts.file = m_file.get();
    m_soundUnavailableTold = false;

    // A stream whose start is not 0 ends at its start plus its length.
    m_parts.passage.setBounds(startTime(), endTime());
    m_parts.passage.set(markIn == 0 ? startTime() : markIn, markOut == 0 ? endTime() : markOut,
                        m_parts.passage.repeatCount());

    if (hasVideo() && !preparePictures())
        return false;
    if (hasVideo())
        m_parts.pictureReader.setFile(file);
    m_parts.clock.setPaused(false);
    emit running(false);
    return true;
}

// Sizes and allocates the picture slots for the first pictures and checks
// that they can be converted; reports a failure with its message. The video
// thread resizes a slot later when the size shown asks for another.
bool Media::preparePictures()
{
    const QSize video(m_file->videoWidth(), m_file->videoHeight());
    const PictureFormat &format = m_parts.pictureFormat;
    const QSize size = PictureConverter::slotSize(video, displaySize(), format.fixedSize,
                                                  format.pixelFormat, format.powerOfTwo);
    m_targetWidth = size.width();
    m_targetHeight = size.height();
    if (!m_parts.pictures.allocate(m_targetWidth, m_targetHeight, format.pixelFormat)) {
        emit error(tr("Error opening %1:\nCannot allocate pictures buffer.").arg(m_fileName));
        return false;
    }
    ScalerPtr probe(sws_getContext(video.width(), video.height(),
                                   AVPixelFormat(m_file->videoPixelFormat()), m_targetWidth,
                                   m_targetHeight, AVPixelFormat(format.pixelFormat), format.scaleFlags,
                                   nullptr, nullptr, nullptr));
    if (!probe) {
        emit error(tr("Error opening %1:\nCannot create a suitable conversion context to RGB.")
                       .arg(m_fileName));
        return false;
    }
    return true;
}

void Media::setDisplaySize(QSize size)
{
    if (!size.isValid())
        size = QSize(0, 0);
    m_parts.displaySize = (uint64_t(uint32_t(size.width())) << 32) | uint32_t(size.height());
}

QSize Media::displaySize() const
{
    return m_parts.shownSize();
}

void Media::start()
{
    if (!m_parts.stopped || !isOpen())
        return;
    // Without an output the audio thread drops the samples at their pace,
    // so the clock runs on; the owner is told so that it can say why the
    // learner hears nothing.
    const bool soundless = m_file->audioCodec()
        && !(m_parts.audio->setup(QMediaDevices::defaultAudioOutput(), m_file->audioSampleRate(), 16,
                            m_file->audioChannels())
             && m_parts.audio->acceptsData());
    m_parts.stopped = false;
    resetForStart();
    // Once the engine has played, the demuxer has read on past the place
    // where it stopped, so a resume seeks even to a place of 0.
    int64_t from = startTime();
    if (m_hasResumePosition) {
        from = m_resumePosition;
        m_parts.seek.forceBackward();
        seekTo(from);
    } else if (m_parts.passage.in() > startTime()) {
        from = m_parts.passage.in();
        m_parts.seek.forceBackward();
        seekTo(from);
    }
    // Until the first picture or sound arrives the position is where
    // playback begins, not 0: a stop in that moment keeps the place, and
    // the slider does not jump to the start and back.
    const double fromSeconds = double(from) * referenceTimeBase();
    m_parts.clock.set(fromSeconds);
    m_parts.soundDecoded = fromSeconds;
    // Playing starts as a resume: the refresh timer runs and the owner is
    // told. Started while paused, it stays paused.
    if (!m_parts.clock.paused()) {
        m_parts.clock.setPaused(true);
        pause(false);
        m_parts.demuxerPaused = false;
    }
    m_parsingThread->start(QThread::InheritPriority);
    if (hasVideo())
        m_videoThread->start(QThread::InheritPriority);
    if (m_file->audioCodec())
        m_audioThread->start(QThread::InheritPriority);
    emit running(true);
    if (soundless && !m_soundUnavailableTold) {
        m_soundUnavailableTold = true;
        emit soundUnavailable();
    }
}

void Media::stop()
{
    if (m_parts.stopped || !isOpen())
        return;
    m_parts.stopped = true;
    waitForThreads();
    // A seek that was asked for but not yet carried out is where the user
    // is going; the picture on screen is the place being left; a passage
    // about to hold at its end goes on from its start. What the output
    // still holds is never heard: the place kept is the one heard last,
    // and the output is emptied at once.
    if (m_parts.passage.takeHold())
        m_resumePosition = m_parts.passage.in();
    else
        m_resumePosition = m_parts.seek.pending() ? m_parts.seek.target() : playingPosition();
    // No thread is left to carry that seek out: held, the place kept is
    // the only place, and the user's seeks move it until playback goes on.
    m_parts.seek.drop();
    m_parts.audio->discard();
    m_hasResumePosition = true;
    emit running(false);
}

void Media::play(bool startorstop)
{
    if (startorstop)
        start();
    else
        stop();
}

void Media::thread_terminated()
{
    // The signal comes queued: a thread that was started again after a
    // stop() has not ended, whatever the old notice says.
    const auto *thread = qobject_cast<const QThread *>(sender());
    if (m_parts.stopped || (thread && !thread->isFinished()))
        return;
    emit error(tr("Error reading %1 !\n\nLogs;\n%2Decoding interupted. ").arg(m_fileName, log()));
    stop();
}

QString Media::log() const
{
    return m_parts.log.text();
}

bool Media::hasVideo() const
{
    return m_parts.hasVideo();
}

int Media::audioSampleRate()
{
    return m_file ? m_file->audioSampleRate() : 0;
}

int Media::audioBitRate()
{
    return m_file ? m_file->audioBitRate() : 0;
}

int Media::audioChannels()
{
    return m_file ? m_file->audioChannels() : 0;
}

void Media::setVolume(double left, double right)
{
    m_parts.audio->setVolume(left, right);
}

bool Media::isStopped() const
{
    return m_parts.stopped;
}

bool Media::isPaused() const
{
    return m_parts.clock.paused();
}

int64_t Media::markIn() const
{
    return m_parts.passage.in();
}

int64_t Media::markOut() const
{
    return m_parts.passage.out();
}

VideoPicture *Media::picture(int i)
{
    return m_parts.pictures.slot(i);
}

QImage Media::cover() const
{
    return m_file ? m_file->cover() : QImage();
}

float Media::displayAspectRatio() const
{
    return m_file ? m_file->displayAspectRatio() : 0.0f;
}
