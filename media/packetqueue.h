#pragma once

#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <cstdint>
#include <deque>

struct AVPacket;

// A queue of demultiplexed packets between the parsing thread (put) and one
// decoding thread (get). Queued packets own their payload, and each carries
// the serial of the seek it was read after: flush() drops what was read for
// the place left and makes the new serial the one packets carry from then
// on, so that the taker, seeing a serial change, starts its decoder afresh.
class PacketQueue final
{
public:
    PacketQueue() = default;
    ~PacketQueue(); // frees whatever is still queued
    Q_DISABLE_COPY_MOVE(PacketQueue)

    // Appends the packet, taking over its reference on success. False when
    // the payload cannot be made owned, memory runs out or the queue is
    // aborted; the caller then still owns (and frees) the packet.
    bool put(AVPacket *packet);
    // Moves the oldest packet into packet (which must be empty or unref'd)
    // and its serial into serial. With block, waits until one arrives;
    // without, returns false at once when the queue is empty. False, too,
    // once the queue is aborted.
    bool get(AVPacket *packet, int &serial, bool block);
    // Drops every queued packet; those put from now on carry serial.
    void flush(int serial);
    // Drops the queued packets decoded at or after stamp (their dts, else
    // their pts, in the stream's time base) and keeps the earlier ones with
    // their serial; those put from now on carry serial. No picture before
    // stamp depends on a packet decoded after it.
    void flushFrom(int serial, int64_t stamp);
    // Drops every queued packet; the serial stays.
    void clear();
    // Wakes the taker for good (the engine stops); start() empties the
    // queue and opens it again, packets carrying serial.
    void abort();
    void start(int serial);
    // Sleeps until the queue holds at most bytes, or timeoutMs has passed.
    void waitForRoom(int bytes, int timeoutMs);

    // Payload bytes queued; read without the lock.
    int size() const { return m_size.load(); }
    int count() const { return m_count.load(); }

    // End packets tell a decoder that the input has ended. They are empty,
    // like some packets that demuxers read, and are told apart by a mark.
    static void markEndPacket(AVPacket *packet);
    static bool isEndPacket(const AVPacket *packet);

private:
    struct Node {
        AVPacket *packet;
        int serial;
    };
    void clearLocked();
    // --- Guarded by m_mutex; the counters are also read without it (atomic)
    std::deque<Node> m_packets;
    std::atomic<int> m_count{0};
    std::atomic<int> m_size{0};
    int m_serial = 0;
    bool m_aborted = false;
    mutable QMutex m_mutex;
    QWaitCondition m_arrived;
    QWaitCondition m_taken;
};
