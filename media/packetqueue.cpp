#include "media/packetqueue.h"

#include <QtDebug>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

// The flush packet: never freed, recognised by its data pointer alone.
uint8_t flushByte = 'F';
// What the opaque field of an end packet points to.
char endMark = 'E';

AVPacket *makeFlushPacket()
{
    static AVPacket *packet = [] {
        AVPacket *made = av_packet_alloc();
        if (made) {
            made->data = &flushByte;
            made->size = 0;
        }
        return made;
    }();
    return packet;
}

} // namespace

PacketQueue::PacketQueue()
{
    makeFlushPacket();
}

PacketQueue::~PacketQueue()
{
    clear();
}

AVPacket *PacketQueue::flushPacket()
{
    return makeFlushPacket();
}

bool PacketQueue::isFlushPacket(const AVPacket *packet)
{
    return packet && packet->data == &flushByte;
}

void PacketQueue::markEndPacket(AVPacket *packet)
{
    packet->opaque = &endMark;
}

bool PacketQueue::isEndPacket(const AVPacket *packet)
{
    return packet && packet->opaque == &endMark;
}

bool PacketQueue::put(AVPacket *packet)
{
    AVPacket *node = nullptr;
    if (isFlushPacket(packet)) {
        node = flushPacket();
    } else {
        if (av_packet_make_refcounted(packet) < 0)
            return false;
        node = av_packet_alloc();
        if (!node) {
            qWarning("PacketQueue: out of memory");
            return false;
        }
        av_packet_move_ref(node, packet);
    }
    QMutexLocker locker(&m_mutex);
    m_packets.push_back(node);
    m_count.fetch_add(1);
    m_size.fetch_add(node->size);
    m_condition.wakeAll();
    return true;
}

bool PacketQueue::get(AVPacket *packet, bool block)
{
    QMutexLocker locker(&m_mutex);
    for (;;) {
        if (!m_packets.empty()) {
            AVPacket *node = m_packets.front();
            m_packets.pop_front();
            m_count.fetch_sub(1);
            m_size.fetch_sub(node->size);
            locker.unlock();
            av_packet_unref(packet);
            if (node == flushPacket()) {
                packet->data = node->data;
                packet->size = 0;
            } else {
                av_packet_move_ref(packet, node);
                av_packet_free(&node);
            }
            return true;
        }
        if (!block)
            return false;
        m_condition.wait(&m_mutex);
    }
}

void PacketQueue::clear()
{
    QMutexLocker locker(&m_mutex);
    for (AVPacket *node : m_packets)
        if (node != flushPacket())
            av_packet_free(&node);
    m_packets.clear();
    m_count = 0;
    m_size = 0;
}

void PacketQueue::flush()
{
    clear();
    if (!put(flushPacket()))
        qWarning("Couldn't queue flush packet.");
}
