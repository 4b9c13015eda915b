#include "media/videodecodethread.h"

#include "media/engineparts.h"
#include "media/parsingthread.h"

#include <algorithm>

namespace {

// Ticks of the reference stream; 0 when the frame carries no stamp. A
// threaded or reordering decoder hands frames out several packets late, so
// the frame's own stamp, not that of the packet just sent, says when it is
// shown and whether the end mark is reached.
int64_t frameStamp(const AVFrame *frame)
{
    if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
        return frame->best_effort_timestamp;
    return frame->pts != AV_NOPTS_VALUE ? frame->pts : 0;
}

} // namespace

VideoDecodeThread::VideoDecodeThread(EngineParts &parts, QObject *parent)
    : DecoderThread(parts, parts.videoQueue, parent)
{
}

QString VideoDecodeThread::logLine(LogLine line) const
{
    switch (line) {
    case LogLine::Started:
        return tr("VideoDecodeThread:: run.\n");
    case LogLine::Flushing:
        return tr("VideoDecodeThread:: Flushing the buffers.\n");
    case LogLine::NoMorePackets:
        return tr("VideoDecodeThread:: No more packets.\n");
    case LogLine::Ended:
        break;
    }
    return tr("DecodingThread:: ended.\n");
}

AVCodecContext *VideoDecodeThread::decoder() const
{
    return m_parts.file ? m_parts.file->videoCodec() : nullptr;
}

void VideoDecodeThread::started()
{
    setSkipping(false);
}

void VideoDecodeThread::flushed(bool afresh)
{
    m_firstAfterSeek = true;
    m_waitingForRetry = false;
    m_previousShown = -1e9;
    // A round left part way still kept its first pictures in order.
    m_head->stopRecording();
    m_replayNext = 0;
    setSkipping(false);
    const SeekRequest::Kind kind = m_parts.seek.lastKind();
    const double start = double(m_parts.passage.in()) * m_parts.timeBase();
    // A start mark set since the last round: its pictures, from a little
    // before it, were read when it was set. They are preferred to those a
    // round kept, which begin at the mark and so serve no nudge earlier.
    if (!afresh && kind == SeekRequest::Kind::LoopRestart)
        if (std::unique_ptr<PassageHead> read = m_parts.pictureReader.takeHead(start))
            m_head = std::move(read);
    m_replaying = !afresh && m_parts.seek.serial() == serial() && kind != SeekRequest::Kind::Retry
        && m_parts.seek.target() == m_parts.passage.in() && m_head->servesStart(start);
    if (m_replaying)
        m_replayNext = m_head->firstFrom(start);
}

// At a restart of the passage the sound has reached the end mark ahead of
// the pictures: those still to come before it are shown first.
bool VideoDecodeThread::drainsAtJump(int serial) const
{
    return m_parts.audioDrivesMarks() && m_parts.seek.serial() == serial
        && m_parts.seek.lastKind() == SeekRequest::Kind::LoopRestart;
}

void VideoDecodeThread::betweenPackets()
{
    if (m_replaying)
        replayWhileRoom();
}

// While the kept pictures cover what a packet holds, the decoder skips the
// pictures that no other picture is decoded from: they are never shown,
// and the decoder catches up sooner.
void VideoDecodeThread::beforeSend(const AVPacket *packet)
{
    const double tick = m_parts.timeBase();
    setSkipping(m_replaying && packet->pts != AV_NOPTS_VALUE
                && coveredByHead(double(packet->pts) * tick));
}

void VideoDecodeThread::setSkipping(bool skip)
{
    if (AVCodecContext *codec = decoder())
        codec->skip_frame = skip ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
}

bool VideoDecodeThread::coveredByHead(double seconds) const
{
    const double end = double(m_parts.passage.out()) * m_parts.timeBase();
    return seconds <= m_head->last() + 1e-4 && seconds < end;
}

// Shows kept pictures as long as the picture queue has room, so that the
// decoder goes on between them.
void VideoDecodeThread::replayWhileRoom()
{
    const double end = double(m_parts.passage.out()) * m_parts.timeBase();
    while (m_replayNext < m_head->count() && m_head->seconds(m_replayNext) < end
           && m_parts.pictures.count() < PictureQueue::filledAtMost && !m_parts.stopped) {
        queuePicture(m_head->frame(m_replayNext), m_head->seconds(m_replayNext));
        ++m_replayNext;
    }
}

// The decoder has caught up: what is left of the kept pictures shows before
// its own, in order.
void VideoDecodeThread::finishReplay()
{
    const double end = double(m_parts.passage.out()) * m_parts.timeBase();
    for (; m_replayNext < m_head->count() && !m_parts.stopped; ++m_replayNext) {
        if (m_head->seconds(m_replayNext) >= end)
            break;
        queuePicture(m_head->frame(m_replayNext), m_head->seconds(m_replayNext));
        m_previousShown = m_head->seconds(m_replayNext);
    }
    m_replaying = false;
    setSkipping(false);
}

// A picture that follows the start mark's crossing starts the recording of
// the passage's first pictures, unless they are kept already.
void VideoDecodeThread::keep(const AVFrame *frame, double seconds)
{
    const Passage::Marks marks = m_parts.passage.marks();
    const double tick = m_parts.timeBase();
    const double start = double(marks.in) * tick;
    const bool crosses = m_previousShown < start - 1e-6 && seconds >= start - 1e-6
        && seconds < start + 0.5;
    if (crosses && !m_head->recording() && !m_head->servesStart(start))
        m_head->record(start, double(marks.out) * tick);
    if (m_head->recording())
        m_head->offer(frame, seconds);
    m_previousShown = seconds;
}

// Without sound the end packet, whose time stamp is the end mark, ends the
// passage.
void VideoDecodeThread::endSent(const AVPacket *end)
{
    if (m_replaying)
        finishReplay();
    if (!m_parts.audioDrivesMarks() && serial() == m_parts.seek.serial())
        reachEndMark(std::max(end->dts, m_parts.passage.out()));
}

void VideoDecodeThread::handleFrame(AVFrame *frame)
{
    const int64_t stamp = frameStamp(frame);
    if (m_firstAfterSeek) {
        m_firstAfterSeek = false;
        m_waitingForRetry = landedLate(stamp);
    }
    if (m_waitingForRetry)
        return; // too late to show: the seek is read again
    if (m_replaying) {
        const bool stamped = frame->best_effort_timestamp != AV_NOPTS_VALUE || frame->pts != AV_NOPTS_VALUE;
        if (stamped && coveredByHead(double(stamp) * m_parts.timeBase()))
            return; // shown from the kept pictures
        finishReplay();
    }
    if (!reachEndMark(stamp))
        return;
    double t = 0.0;
    if (frameTime(frame, t)) {
        keep(frame, t);
        queuePicture(frame, t);
    }
}

// With sound, the sound ends the passage, to the sample, and a picture
// after the end mark waits for what it decided; without, the first picture
// at the end mark ends it, and is shown.
bool VideoDecodeThread::reachEndMark(int64_t stamp)
{
    Passage::Marks marks = m_parts.passage.marks();
    if (marks.playsOn || stamp < marks.out - 1)
        return true;
    if (m_parts.audioDrivesMarks())
        return waitAtEndMark(stamp);
    for (;;) {
        switch (m_parts.passage.endReached(serial(), marks)) {
        case Passage::Round::PlayOn:
            return true;
        case Passage::Round::Restart:
        case Passage::Round::Wait:
            return true; // shown until the seek is carried out
        case Passage::Round::Hold:
            return waitAtEndMark(stamp);
        case Passage::Round::Stale:
            break;
        }
        if (serial() != m_parts.seek.serial())
            return false;
        marks = m_parts.passage.marks();
        if (marks.playsOn || stamp < marks.out - 1)
            return true;
    }
}

// A picture after the end mark waits: for the restart, which drops it, or
// for the passage to go on (the repeat count reached, the end mark moved).
// Dropping it at once would race on through the file. False when it is
// dropped.
bool VideoDecodeThread::waitAtEndMark(int64_t stamp)
{
    for (;;) {
        const Passage::Marks marks = m_parts.passage.marks();
        if (m_parts.stopped || m_parts.seek.serial() != serial())
            return false;
        if (marks.playsOn || stamp < marks.out - 1)
            return true;
        m_parts.seek.waitForSerialChange(serial(), 20);
    }
}

// Some containers (MPEG-TS, MPEG-PS) seek to a packet, not to a key frame:
// the decoder then waits for the next key frame, which may lie seconds
// after the target. Reading again from further back finds one before it.
bool VideoDecodeThread::landedLate(int64_t stamp)
{
    const MediaFile &file = *m_parts.file;
    const int64_t target = m_parts.seek.target();
    const bool late = stamp > target + m_parts.ticks(1.5 * file.frameSeconds()) && target > file.startTime();
    if (!late || m_parts.seek.backoff() >= ParsingThread::maxBackoffSeconds)
        return false;
    return m_parts.seek.place(target, SeekRequest::Kind::Retry);
}

bool VideoDecodeThread::frameTime(const AVFrame *frame, double &t)
{
    const double timeBase = m_parts.timeBase();
    // The first key frame of a file really lies at 0. Taken as unstamped it
    // would borrow the running clock and pass as the first picture after
    // every restart of a passage that starts before the next key frame.
    const bool stamped = frame->best_effort_timestamp != AV_NOPTS_VALUE || frame->pts != AV_NOPTS_VALUE;
    t = synchronize(frame, double(frameStamp(frame)) * timeBase, stamped);
    return t >= double(m_parts.seek.target()) * timeBase;
}

double VideoDecodeThread::synchronize(const AVFrame *frame, double pts, bool stamped)
{
    if (stamped || pts != 0.0)
        m_predicted = pts;
    else
        pts = m_predicted;
    // One frame time. Today's decoders leave the codec time base unset and
    // give the frame rate instead.
    const AVCodecContext *codec = m_parts.file ? m_parts.file->videoCodec() : nullptr;
    double frameDelay = 0.0;
    if (codec && codec->framerate.num > 0 && codec->framerate.den > 0)
        frameDelay = av_q2d(av_inv_q(codec->framerate));
    else if (codec && codec->time_base.num > 0 && codec->time_base.den > 0)
        frameDelay = av_q2d(codec->time_base) * std::max(1, codec->ticks_per_frame);
    frameDelay += frame->repeat_pict * frameDelay * 0.5;
    m_predicted += frameDelay;
    return pts;
}

void VideoDecodeThread::queuePicture(const AVFrame *frame, double seconds)
{
    VideoPicture *picture = m_parts.pictures.writable();
    if (!picture)
        return;
    // A broken or changing stream may hand out frames of another size or
    // format than its header promised: they are converted as what they
    // are. The slot writable() gave is not the one shown, so it may be
    // made again at the size now shown.
    const PictureFormat &format = m_parts.pictureFormat;
    const QSize size = PictureConverter::slotSize(QSize(frame->width, frame->height), m_parts.shownSize(),
                                                  format.fixedSize, format.pixelFormat, format.powerOfTwo);
    if (!picture->reallocate(size.width(), size.height(), format.pixelFormat))
        return;
    if (!m_parts.converter.convert(frame, *picture, format.scaleFlags))
        return;
    picture->mediaSeconds = seconds;
    picture->serial = serial();
    m_parts.pictures.push();
}
