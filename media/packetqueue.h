#pragma once

#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <deque>

struct AVPacket;

// A queue of demultiplexed packets between the parsing thread (put) and one
// decoding thread (get). Queued packets own their payload. A flush packet,
// one per process and recognised by its data pointer, tells the taker that
// the input jumped (seek) or that reading ended.
class PacketQueue final
{
public:
    PacketQueue();
    ~PacketQueue(); // frees whatever is still queued
    Q_DISABLE_COPY_MOVE(PacketQueue)

    // Appends the packet, taking over its reference on success. False when
    // the payload cannot be made owned or memory runs out; the caller then
    // still owns (and frees) the packet.
    bool put(AVPacket *packet);
    // Moves the oldest packet into packet (which must be empty or unref'd).
    // With block, waits until one arrives; without, returns false at once
    // when the queue is empty.
    bool get(AVPacket *packet, bool block);
    // Drops every queued packet, then queues the flush packet.
    void flush();
    // Drops every queued packet; queues nothing.
    void clear();

    // Payload bytes queued; read without the lock.
    int size() const { return m_size.load(); }
    int count() const { return m_count.load(); }

    static bool isFlushPacket(const AVPacket *packet);
    static AVPacket *flushPacket();
    // End packets tell a decoder that the input has ended. They are empty,
    // like some packets that demuxers read, and are told apart by a mark.
    static void markEndPacket(AVPacket *packet);
    static bool isEndPacket(const AVPacket *packet);

private:
    // --- Guarded by m_mutex; the counters are also read without it (atomic)
    std::deque<AVPacket *> m_packets;
    std::atomic<int> m_count{0};
    std::atomic<int> m_size{0};
    QMutex m_mutex;
    QWaitCondition m_condition;
};
