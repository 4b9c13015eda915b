#include "media/media.h"

#include "media/audiodecodethread.h"
#include "media/iaudio.h"
#include "media/parsingthread.h"
#include "media/videodecodethread.h"

#include <QFile>
#include <QMediaDevices>
#include <QTimer>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/time.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace {

// "%" and two hexadecimal digits become the byte they encode; anything else
// stays as it is.
QByteArray decodePercentEscapes(const QByteArray &name)
{
    QByteArray decoded;
    decoded.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name.at(i) == '%' && i + 2 < name.size() && std::isxdigit(uchar(name.at(i + 1)))
            && std::isxdigit(uchar(name.at(i + 2)))) {
            decoded.append(char(QByteArray(name.constData() + i + 1, 2).toInt(nullptr, 16)));
            i += 2;
        } else {
            decoded.append(name.at(i));
        }
    }
    return decoded;
}

// FFmpeg also reads text (as terminal animations) and single pictures or
// numbered picture files; none of them is sound or video.
bool isMediaFormat(const AVInputFormat *format)
{
    if (!format || !format->name)
        return false;
    const QByteArray name(format->name);
    static const QList<QByteArray> notMedia = {"tty", "bin", "xbin", "adf", "idf", "image2",
                                               "image2pipe", "ansi"};
    return !notMedia.contains(name) && !name.endsWith("_pipe");
}

// The start of the file reads as text: no NUL bytes, valid UTF-8 or plain
// bytes of a legacy encoding, mostly printable.
bool looksLikeText(const QString &name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4096);
    if (head.isEmpty() || head.contains('\0'))
        return false;
    qsizetype control = 0;
    for (const char c : head)
        control += uchar(c) < 0x20 && c != '\n' && c != '\r' && c != '\t';
    return control * 100 < head.size();
}

void freeCodecContext(AVCodecContext *&context)
{
    avcodec_free_context(&context);
}

} // namespace

Media::Media(QObject *parent, bool powerOfTwo, int scaleFlags, int targetPixelFormat,
             int targetWidth, int targetHeight)
    : QObject(parent),
      m_scaleFlags(scaleFlags),
      m_targetWidth(targetWidth),
      m_targetHeight(targetHeight),
      m_targetPixelFormat(targetPixelFormat),
      m_powerOfTwo(powerOfTwo)
{
    static const bool quietened = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    Q_UNUSED(quietened);

    m_parsingThread = new ParsingThread(this);
    m_videoThread = new VideoDecodeThread(this);
    m_audioThread = new AudioDecodeThread(this);
    for (QThread *thread : {static_cast<QThread *>(m_parsingThread),
                            static_cast<QThread *>(m_videoThread),
                            static_cast<QThread *>(m_audioThread)})
        connect(thread, &QThread::finished, this, &Media::thread_terminated);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setTimerType(Qt::PreciseTimer); // pictures meet the sound to the millisecond
    connect(m_refreshTimer, &QTimer::timeout, this, &Media::video_refresh_timer);

    m_audio = new IAudio;
    resetClocks();
}

Media::~Media()
{
    m_stopped = true;
    waitForThreads();
    // Closing the output runs the event loop a moment: no picture may be
    // shown from a half-destroyed engine meanwhile.
    m_refreshTimer->stop();
    m_refreshTimer->blockSignals(true);
    delete m_audio; // closes the output
    sws_freeContext(m_scaler);
    releaseDecoders();
    avformat_close_input(&m_formatContext);
    delete m_parsingThread;
    delete m_videoThread;
    delete m_audioThread;
    disconnect();
    for (VideoPicture &picture : m_pictures)
        picture.release();
    m_videoQueue.clear();
    m_audioQueue.clear();
}

// The reference codec record is always one of the other two.
void Media::releaseDecoders()
{
    m_referenceCodecContext = nullptr;
    freeCodecContext(m_videoCodecContext);
    freeCodecContext(m_audioCodecContext);
}

// Ends the worker threads once stopped is set. The parsing thread ends first
// and flushes both queues, which wakes decoders blocked on them; the queues
// are flushed once more afterwards because a parsing thread that ended on a
// read error did so before stopped was set, and its flush packets may have
// been taken already.
void Media::waitForThreads()
{
    m_parsingThread->wait();
    m_videoQueue.flush();
    m_audioQueue.flush();
    {
        QMutexLocker locker(&m_pictureMutex);
        m_pictureCondition.wakeAll();
    }
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
    m_file = file;
    const QByteArray name = decodePercentEscapes(file.toLocal8Bit());

    AVFormatContext *context = nullptr;
    const int opened = avformat_open_input(&context, name.constData(), nullptr, nullptr);
    if (opened < 0) {
        // Text that no reader took is no damaged media file but another kind.
        const bool text = opened == AVERROR_INVALIDDATA && looksLikeText(QString::fromLocal8Bit(name));
        emit error(openError(text ? AVERROR(EILSEQ) : opened));
        return false;
    }
    if (!isMediaFormat(context->iformat)) {
        avformat_close_input(&context);
        emit error(openError(AVERROR(EILSEQ)));
        return false;
    }
    if (avformat_find_stream_info(context, nullptr) < 0) {
        avformat_close_input(&context);
        emit error(tr("Error opening %1:\nCouldn't find any stream information in this file.")
                       .arg(m_file));
        return false;
    }
    m_formatContext = context;
    m_soundUnavailableTold = false;

    if (!openStreams()) {
        avformat_close_input(&m_formatContext);
        return false;
    }
    m_audioStream = m_audioStreamIndex >= 0 ? context->streams[m_audioStreamIndex] : nullptr;
    m_referenceStream = context->streams[m_referenceStreamIndex];

    // A stream whose start is not 0 ends at its start plus its length.
    m_markIn = markIn == 0 ? startTime() : std::max(startTime(), std::min(markIn, endTime()));
    m_markOut = markOut == 0 ? endTime() : std::max(m_markIn.load(), std::min(markOut, endTime()));

    if (hasVideo() && !preparePictures())
        return false;
    m_paused = false;
    emit running(false);
    return true;
}

// Opens the first audio stream, then the first video stream, as far as
// their decoders allow. False when neither could be opened.
bool Media::openStreams()
{
    int videoCandidate = -1;
    int audioCandidate = -1;
    for (unsigned i = 0; i < m_formatContext->nb_streams; ++i) {
        const AVStream *stream = m_formatContext->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        // A cover picture is one still, not a video: kept to be shown.
        if (type == AVMEDIA_TYPE_VIDEO && (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            if (m_cover.isNull() && stream->attached_pic.size > 0)
                m_cover = QImage::fromData(QByteArrayView(stream->attached_pic.data,
                                                          stream->attached_pic.size));
            continue;
        }
        if (type == AVMEDIA_TYPE_VIDEO && videoCandidate < 0)
            videoCandidate = int(i);
        else if (type == AVMEDIA_TYPE_AUDIO && audioCandidate < 0)
            audioCandidate = int(i);
    }
    if (audioCandidate >= 0)
        openStream(audioCandidate);
    if (videoCandidate >= 0)
        openStream(videoCandidate);
    return m_referenceStreamIndex >= 0 || m_audioStreamIndex >= 0;
}

// Sizes and allocates the picture slots and makes the scaler; reports a
// failure with its message.
bool Media::preparePictures()
{
    if (m_targetWidth == 0 || m_targetHeight == 0) {
        m_targetWidth = m_videoWidth;
        m_targetHeight = m_videoHeight;
    }
    if (m_powerOfTwo) {
        m_targetWidth = VideoPicture::roundToPowerOfTwo(m_targetWidth);
        m_targetHeight = VideoPicture::roundToPowerOfTwo(m_targetHeight);
    }
    if (!allocatePictures()) {
        emit error(tr("Error opening %1:\nCannot allocate pictures buffer.").arg(m_file));
        return false;
    }
    m_scaler = sws_getContext(m_videoWidth, m_videoHeight, m_videoCodecContext->pix_fmt,
                              m_targetWidth, m_targetHeight, AVPixelFormat(m_targetPixelFormat),
                              m_scaleFlags, nullptr, nullptr, nullptr);
    if (!m_scaler) {
        emit error(tr("Error opening %1:\nCannot create a suitable conversion context to RGB.")
                       .arg(m_file));
        return false;
    }
    return true;
}

// Opens the decoder of one stream and makes it the reference stream (and
// the audio stream when it is one). A stream whose decoder cannot be found
// or opened is skipped.
bool Media::openStream(int index)
{
    AVStream *stream = m_formatContext->streams[index];
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return false;
    AVCodecContext *context = avcodec_alloc_context3(codec);
    if (!context)
        return false;
    if (avcodec_parameters_to_context(context, stream->codecpar) < 0) {
        avcodec_free_context(&context);
        return false;
    }
    context->pkt_timebase = stream->time_base;
    if (codec->type == AVMEDIA_TYPE_VIDEO) {
        // The frame time of pictures without a time stamp.
        context->framerate = av_guess_frame_rate(m_formatContext, stream, nullptr);
        context->thread_count = 0; // as many as the machine has
        context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    }
    if (avcodec_open2(context, codec, nullptr) < 0) {
        avcodec_free_context(&context);
        return false;
    }
    if (codec->type == AVMEDIA_TYPE_AUDIO) {
        m_audioStreamIndex = index;
        m_audioCodecContext = context;
        m_audioSampleRate = context->sample_rate;
        m_audioChannels = context->ch_layout.nb_channels;
        m_audioBitRate = int(context->bit_rate);
    } else {
        m_videoWidth = context->width;
        m_videoHeight = context->height;
        m_codecAspectNum = context->sample_aspect_ratio.num;
        m_codecAspectDen = context->sample_aspect_ratio.den;
        // The file has video only when its video stream can be decoded;
        // otherwise it plays as an audio file.
        m_videoCodecContext = context;
    }
    m_referenceStreamIndex = index;
    m_referenceCodecContext = context;
    const int64_t now = av_gettime();
    m_frameTimer = double(now) / 1000000.0;
    m_frameLastDelay = 0.04;
    m_currentPtsTime = now;
    return true;
}

bool Media::allocatePictures()
{
    for (VideoPicture &picture : m_pictures)
        if (!picture.allocate(m_targetWidth, m_targetHeight, m_targetPixelFormat))
            return false;
    return true;
}

QString Media::openError(int code) const
{
    if (code == AVERROR(EINVAL))
        return tr("Error opening %1:\nIncorrect numbered image sequence syntax.").arg(m_file);
    if (code == AVERROR(EILSEQ))
        return tr("Error opening %1:\nUnknown format.").arg(m_file);
    if (code == AVERROR_INVALIDDATA)
        return tr("Error opening %1:\nError while parsing header.").arg(m_file);
    if (code == AVERROR(ENOMEM))
        return tr("Error opening %1:\nMemory allocation error.").arg(m_file);
    if (code == AVERROR(EIO))
        return tr("Error opening %1:\nI/O error. Usually that means that input file is truncated "
                  "and/or corrupted.")
            .arg(m_file);
    if (code == AVERROR(ENOENT))
        return tr("Error opening %1:\nNo such file.").arg(m_file);
    return tr("Error opening %1:\nCouldn't open the file.").arg(m_file);
}

void Media::start()
{
    if (!m_stopped || !isOpen())
        return;
    // Without an output the audio thread drops the samples at their pace,
    // so the clock runs on; the owner is told so that it can say why the
    // learner hears nothing.
    const bool soundless = m_audioCodecContext
        && !(m_audio->setup(QMediaDevices::defaultAudioOutput(), m_audioSampleRate, 16,
                            m_audioChannels)
             && m_audio->acceptsData());
    m_stopped = false;
    resetClocks();
    // Once the engine has played, the demuxer has read on past the place
    // where it stopped, so a resume seeks even to a place of 0.
    int64_t from = startTime();
    if (m_hasResumePosition) {
        from = m_resumePosition;
        m_seekBackwardForced = true;
        seekTo(from);
    } else if (m_markIn > startTime()) {
        from = m_markIn;
        m_seekBackwardForced = true;
        seekTo(from);
    }
    // Until the first picture or sound arrives the position is where
    // playback begins, not 0: a stop in that moment keeps the place, and
    // the slider does not jump to the start and back.
    const double fromSeconds = double(from) * referenceTimeBase() / m_speed;
    m_currentPts = fromSeconds;
    m_currentPtsTime = av_gettime();
    m_audioClock = fromSeconds;
    if (!m_paused) {
        m_paused = true;
        pause(false);
        m_demuxerPaused = false;
    }
    m_parsingThread->start(QThread::InheritPriority);
    if (m_referenceStreamIndex >= 0)
        m_videoThread->start(QThread::InheritPriority);
    if (m_audioStreamIndex >= 0)
        m_audioThread->start(QThread::InheritPriority);
    emit running(true);
    if (soundless && !m_soundUnavailableTold) {
        m_soundUnavailableTold = true;
        emit soundUnavailable();
    }
}

void Media::stop()
{
    if (m_stopped || !isOpen())
        return;
    m_stopped = true;
    waitForThreads();
    // A seek that was asked for but not yet carried out is where the user
    // is going; the picture on screen is the place being left.
    // What the output still holds is never heard: the place kept is the
    // one heard last, and the output is emptied at once.
    m_resumePosition = seekPending() ? m_seekTarget.load() : playingPosition();
    // No thread is left to carry that seek out: held, the place kept is
    // the only place, and the user's seeks move it until playback goes on.
    m_seekState = SeekIdle;
    m_audio->discard();
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
    if (m_stopped || (thread && !thread->isFinished()))
        return;
    QString log;
    {
        QMutexLocker locker(&m_logMutex);
        log = m_log;
    }
    emit error(tr("Error reading %1 !\n\nLogs;\n%2Decoding interupted. ").arg(m_file, log));
    stop();
}

void Media::appendLog(const QString &line)
{
    QMutexLocker locker(&m_logMutex);
    m_log += line;
}

int Media::audioSampleRate()
{
    return m_audioSampleRate;
}

int Media::audioBitRate()
{
    return m_audioBitRate;
}

int Media::audioChannels()
{
    return m_audioChannels;
}

void Media::setVolume(double left, double right)
{
    m_audio->setVolume(left, right);
}

bool Media::isStopped() const
{
    return m_stopped;
}

bool Media::isPaused() const
{
    return m_paused;
}

int64_t Media::markIn() const
{
    return m_markIn;
}

int64_t Media::markOut() const
{
    return m_markOut;
}

VideoPicture *Media::picture(int i)
{
    if (i < 0 || i >= int(m_pictures.size()))
        return nullptr;
    return &m_pictures[std::size_t(i)];
}

QImage Media::cover() const
{
    return m_cover;
}

float Media::displayAspectRatio() const
{
    if (!hasVideo() || m_videoHeight == 0)
        return 0.0f;
    AVRational ratio = m_referenceStream->sample_aspect_ratio;
    if (ratio.num == 0)
        ratio = AVRational{m_codecAspectNum, m_codecAspectDen};
    const double shape = double(m_videoWidth) / m_videoHeight;
    if (ratio.num == 0)
        return float(shape);
    double r = ratio.den != 0 ? double(ratio.num) / ratio.den : 0.0;
    if (r <= 0.0)
        r = 1.0;
    return float(shape * r);
}
