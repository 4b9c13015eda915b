#include "media/picturereader.h"

#include "media/mediafile.h"

#include <QMutexLocker>

#include <cmath>
#include <limits>


namespace {

// Media seconds of a decoded frame; false when it carries no stamp.
bool frameSeconds(const AVFrame *frame, double timeBase, double &seconds)
{
    int64_t stamp = frame->best_effort_timestamp;
    if (stamp == AV_NOPTS_VALUE)
        stamp = frame->pts;
    if (stamp == AV_NOPTS_VALUE)
        return false;
    seconds = double(stamp) * timeBase;
    return true;
}

} // namespace

PictureReader::PictureReader(QObject *parent)
    : QThread(parent)
{
}

PictureReader::~PictureReader()
{
    {
        QMutexLocker locker(&m_mutex);
        m_quit = true;
        m_wake.wakeAll();
    }
    wait();
}

void PictureReader::setFile(const QString &file)
{
    QMutexLocker locker(&m_mutex);
    m_fileName = file;
}

void PictureReader::readHead(double start, double end)
{
    {
        QMutexLocker locker(&m_mutex);
        if (m_head && m_head->servesStart(start) && !m_headAsked)
            return; // read already
        m_headAsked = true;
        m_headStart = start;
        m_headEnd = end;
        m_head.reset();
        ++m_headGeneration;
        m_wake.wakeAll();
    }
    if (!isRunning())
        QThread::start(QThread::LowPriority);
}

std::unique_ptr<PassageHead> PictureReader::takeHead(double start)
{
    QMutexLocker locker(&m_mutex);
    if (!m_head || !m_head->servesStart(start))
        return nullptr;
    return std::move(m_head);
}

void PictureReader::readStill(double seconds)
{
    {
        QMutexLocker locker(&m_mutex);
        m_stillAsked = true;
        m_stillSeconds = seconds;
        ++m_stillGeneration;
        m_wake.wakeAll();
    }
    if (!isRunning())
        QThread::start(QThread::LowPriority);
}

FramePtr PictureReader::takeStill(double &seconds)
{
    QMutexLocker locker(&m_mutex);
    seconds = m_stillDoneSeconds;
    return std::move(m_still);
}

bool PictureReader::cancelled(Job job, int generation) const
{
    QMutexLocker locker(&m_mutex);
    if (m_quit)
        return true;
    if (job == Job::Still)
        return generation != m_stillGeneration;
    return generation != m_headGeneration || m_stillAsked;
}

void PictureReader::run()
{
    // Not niced, unlike the work on the whole file done in the background:
    // the pictures are wanted at the next restart, seconds away, and busy
    // programs beside the player would starve a niced thread. The sound's
    // threads run in real time where they may, so this one never holds
    // them up.
    for (;;) {
        Job job = Job::None;
        double from = 0.0;
        double to = 0.0;
        int generation = 0;
        {
            QMutexLocker locker(&m_mutex);
            while (!m_quit && !m_headAsked && !m_stillAsked)
                m_wake.wait(&m_mutex);
            if (m_quit)
                break;
            // A still is what the learner waits for; a head only matters at
            // the next restart.
            if (m_stillAsked) {
                job = Job::Still;
                from = m_stillSeconds;
                generation = m_stillGeneration;
                m_stillAsked = false;
            } else {
                job = Job::Head;
                from = m_headStart;
                to = m_headEnd;
                generation = m_headGeneration;
                m_headAsked = false;
            }
        }
        if (!ensureOpen())
            continue;
        if (job == Job::Still)
            readStillNow(from, generation);
        else
            readHeadNow(from, to, generation);
    }
    m_file.reset();
}

bool PictureReader::ensureOpen()
{
    if (m_file)
        return true;
    if (m_openFailed)
        return false;
    QString fileName;
    {
        QMutexLocker locker(&m_mutex);
        fileName = m_fileName;
    }
    QString error;
    m_file = MediaFile::open(fileName, error);
    if (!m_file || !m_file->hasVideo()) {
        m_file.reset();
        m_openFailed = true;
        return false;
    }
    return true;
}

void PictureReader::readHeadNow(double start, double end, int generation)
{
    auto head = std::make_unique<PassageHead>();
    const double from = std::max(0.0, start - PassageHead::leadSeconds);
    head->record(from, end);
    const bool done = decodeFrom(from, Job::Head, generation, [&](const AVFrame *frame, double seconds) {
        if (seconds < from - 1e-6)
            return true;
        head->offer(frame, seconds);
        return head->recording();
    });
    QMutexLocker locker(&m_mutex);
    if (generation != m_headGeneration)
        return; // another start was asked for meanwhile
    if (!done) {
        m_headAsked = !m_quit; // gave way to a still: read again after it
        return;
    }
    head->stopRecording();
    m_head = std::move(head);
}

void PictureReader::readStillNow(double seconds, int generation)
{
    FramePtr best;
    double bestSeconds = 0.0;
    const double frame = m_file->frameSeconds();
    const bool done = decodeFrom(seconds, Job::Still, generation, [&](const AVFrame *decoded, double at) {
        if (at > seconds + frame * 0.5 && best)
            return false;
        best.reset(av_frame_clone(decoded));
        bestSeconds = at;
        return at <= seconds + frame * 0.5;
    });
    if (!done || !best)
        return;
    {
        QMutexLocker locker(&m_mutex);
        m_still = std::move(best);
        m_stillDoneSeconds = bestSeconds;
    }
    emit stillRead();
}

template<typename Take>
bool PictureReader::decodeFrom(double from, Job job, int generation, Take take)
{
    AVFormatContext *format = m_file->format();
    AVCodecContext *codec = m_file->videoCodec();
    const int index = m_file->referenceStreamIndex();
    const double timeBase = m_file->timeBase();
    const int64_t target = std::llround(from / timeBase);
    if (avformat_seek_file(format, index, std::numeric_limits<int64_t>::min(), target, target, 0) < 0
        && avformat_seek_file(format, index, std::numeric_limits<int64_t>::min(), target,
                              std::numeric_limits<int64_t>::max(), 0) < 0)
        return false;
    avcodec_flush_buffers(codec);
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return false;
    const double margin = 2.0 * m_file->frameSeconds();
    bool more = true;
    bool draining = false;
    while (more) {
        if (cancelled(job, generation))
            return false;
        if (!draining) {
            const int read = av_read_frame(format, packet.get());
            if (read < 0) {
                draining = true;
                avcodec_send_packet(codec, nullptr);
            } else if (packet->stream_index != index) {
                av_packet_unref(packet.get());
                continue;
            } else {
                // Pictures nothing else is decoded from, well before the
                // place, are never wanted: not decoding them saves time.
                const bool early = packet->pts != AV_NOPTS_VALUE && double(packet->pts) * timeBase < from - margin;
                codec->skip_frame = early ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
                avcodec_send_packet(codec, packet.get());
                av_packet_unref(packet.get());
            }
        }
        int received = 0;
        while ((received = avcodec_receive_frame(codec, frame.get())) == 0) {
            double seconds = 0.0;
            if (frameSeconds(frame.get(), timeBase, seconds) && more)
                more = take(frame.get(), seconds);
            av_frame_unref(frame.get());
        }
        if (draining && received == AVERROR_EOF)
            break;
    }
    codec->skip_frame = AVDISCARD_DEFAULT;
    return true;
}
