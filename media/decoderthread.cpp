#include "media/decoderthread.h"

#include "media/media.h"
#include "media/packetqueue.h"

DecoderThread::DecoderThread(Media *media, PacketQueue &queue)
    : QThread(media), m_media(media), m_queue(queue)
{
}

DecoderThread::~DecoderThread()
{
    wait();
}

void DecoderThread::run()
{
    Media *media = m_media;
    media->appendLog(logLine(LogLine::Started));
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
        if (media->m_clock.paused() && !media->m_stopped) {
            media->m_clock.waitWhilePaused(100);
            continue;
        }
        betweenPackets();
        int serial = 0;
        if (!m_queue.get(packet.get(), serial, true)) {
            media->appendLog(logLine(LogLine::NoMorePackets));
            break;
        }
        if (serial != m_serial) {
            if (m_serial >= 0 && drainsAtJump(serial))
                drain(frame.get());
            media->appendLog(logLine(LogLine::Flushing));
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
        if (end) {
            avcodec_send_packet(m_codec, nullptr);
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
            if (!media->m_stopped && takesPackets())
                handleFrame(frame.get());
            av_frame_unref(frame.get());
        }
        if (end)
            endDrained();
        av_packet_unref(packet.get());
    }
    media->appendLog(logLine(LogLine::Ended));
}

// The frames the decoder still holds come out and are handled as the old
// serial's; the decoder is flushed after.
void DecoderThread::drain(AVFrame *frame)
{
    avcodec_send_packet(m_codec, nullptr);
    while (avcodec_receive_frame(m_codec, frame) == 0) {
        if (!m_media->m_stopped && takesPackets())
            handleFrame(frame);
        av_frame_unref(frame);
    }
}
