#include "media/packetqueue.h"

#include <QtDebug>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

// What the opaque field of an end packet points to.
char endMark = 'E';

} // namespace

PacketQueue::~PacketQueue()
{
    clear();
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
    if (av_packet_make_refcounted(packet) < 0)
        return false;
    AVPacket *node = av_packet_alloc();
    if (!node) {
        qWarning("PacketQueue: out of memory");
        return false;
    }
    QMutexLocker locker(&m_mutex);
    if (m_aborted) {
        av_packet_free(&node);
        return false;
    }
    av_packet_move_ref(node, packet);
    m_packets.push_back({node, m_serial});
    m_count.fetch_add(1);
    m_size.fetch_add(node->size);
    m_arrived.wakeAll();
    return true;
}

bool PacketQueue::get(AVPacket *packet, int &serial, bool block)
{
    QMutexLocker locker(&m_mutex);
    for (;;) {
        if (m_aborted)
            return false;
        if (!m_packets.empty()) {
            Node node = m_packets.front();
            m_packets.pop_front();
            m_count.fetch_sub(1);
            m_size.fetch_sub(node.packet->size);
            m_taken.wakeAll();
            locker.unlock();
            av_packet_unref(packet);
            av_packet_move_ref(packet, node.packet);
            av_packet_free(&node.packet);
            serial = node.serial;
            return true;
        }
        if (!block)
            return false;
        m_arrived.wait(&m_mutex);
    }
}

void PacketQueue::clearLocked()
{
    for (Node &node : m_packets)
        av_packet_free(&node.packet);
    m_packets.clear();
    m_count = 0;
    m_size = 0;
    m_taken.wakeAll();
}

void PacketQueue::clear()
{
    QMutexLocker locker(&m_mutex);
    clearLocked();
}

void PacketQueue::flush(int serial)
{
    QMutexLocker locker(&m_mutex);
    clearLocked();
    m_serial = serial;
}

void PacketQueue::flushFrom(int serial, int64_t stamp)
{
    QMutexLocker locker(&m_mutex);
    std::deque<Node> kept;
    for (Node &node : m_packets) {
        const int64_t at = node.packet->dts != AV_NOPTS_VALUE ? node.packet->dts : node.packet->pts;
        if (at != AV_NOPTS_VALUE && at < stamp && !isEndPacket(node.packet)) {
            kept.push_back(node);
            continue;
        }
        m_count.fetch_sub(1);
        m_size.fetch_sub(node.packet->size);
        av_packet_free(&node.packet);
    }
    m_packets.swap(kept);
    m_serial = serial;
    m_taken.wakeAll();
}

void PacketQueue::abort()
{
    QMutexLocker locker(&m_mutex);
    m_aborted = true;
    m_arrived.wakeAll();
    m_taken.wakeAll();
}

void PacketQueue::start(int serial)
{
    QMutexLocker locker(&m_mutex);
    clearLocked();
    m_serial = serial;
    m_aborted = false;
}

void PacketQueue::waitForRoom(int bytes, int timeoutMs)
{
    QMutexLocker locker(&m_mutex);
    if (m_size.load() > bytes && !m_aborted)
        m_taken.wait(&m_mutex, QDeadlineTimer(timeoutMs));
}
