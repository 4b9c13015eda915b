#include "media/decoderthread.h"

#include "media/engineparts.h"

DecoderThread::DecoderThread(EngineParts &parts, PacketQueue &queue, QObject *parent)
    : QThread(parent), m_parts(parts), m_queue(queue)
{
}

DecoderThread::~DecoderThread()
{
    wait();
}

void DecoderThread::run()
{
    m_parts.log.append(logLine(LogLine::Started));
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!frame || !packet)
        qWarning("%s: out of memory", metaObject()->className());
    m_codec = decoder();
    // Whatever the decoder holds from an earlier run is dropped with the
    // first packet, whichever serial it carries.
    m_serial = -1;
    started();

    while (frame && packet && m_codec) {
        if (m_parts.clock.paused() && !m_parts.stopped) {
            m_parts.clock.waitWhilePaused(100);
            continue;
        }
        betweenPackets();
        int serial = 0;
        if (!m_queue.get(packet.get(), serial, true)) {
            m_parts.log.append(logLine(LogLine::NoMorePackets));
            break;
        }
        if (serial != m_serial) {
            if (m_serial >= 0 && drainsAtJump(serial))
                drain(frame.get());
            m_parts.log.append(logLine(LogLine::Flushing));
            avcodec_flush_buffers(m_codec);
            const bool afresh = m_serial < 0;
            m_serial = serial;
            flushed(afresh);
        }
        if (!takesPackets()) {
            av_packet_unref(packet.get());
            continue;
        }
        // An end packet drains the decoder; other empty packets hold
        // nothing to decode.
        const bool end = PacketQueue::isEndPacket(packet.get());
        // Once stopping, the packets left are only run through: an end
        // met then ends no passage.
        const bool ends = end && !m_parts.stopped;
        if (end) {
            avcodec_send_packet(m_codec, nullptr);
            if (ends)
                endSent(packet.get());
        } else if (packet->size > 0) {
            beforeSend(packet.get());
            if (avcodec_send_packet(m_codec, packet.get()) == AVERROR_EOF) {
                // Drained at an end that no seek followed: start afresh.
                avcodec_flush_buffers(m_codec);
                avcodec_send_packet(m_codec, packet.get());
            }
        }
        while (avcodec_receive_frame(m_codec, frame.get()) == 0) {
            if (!m_parts.stopped && takesPackets())
                handleFrame(frame.get());
            av_frame_unref(frame.get());
        }
        if (ends && !m_parts.stopped)
            endDrained();
        av_packet_unref(packet.get());
    }
    m_parts.log.append(logLine(LogLine::Ended));
}

// The frames the decoder still holds come out and are handled as the old
// serial's; the decoder is flushed after.
void DecoderThread::drain(AVFrame *frame)
{
    avcodec_send_packet(m_codec, nullptr);
    while (avcodec_receive_frame(m_codec, frame) == 0) {
        if (!m_parts.stopped && takesPackets())
            handleFrame(frame);
        av_frame_unref(frame);
    }
}
