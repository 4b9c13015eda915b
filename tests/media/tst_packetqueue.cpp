#include "media/packetqueue.h"

#include <QTest>
#include <QThread>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <atomic>
#include <cstring>
#include <memory>

namespace {

struct PacketFree {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
using Packet = std::unique_ptr<AVPacket, PacketFree>;

Packet makePacket(int size, int64_t dts)
{
    Packet packet(av_packet_alloc());
    av_new_packet(packet.get(), size);
    std::memset(packet->data, 0x5a, std::size_t(size));
    packet->dts = dts;
    return packet;
}

} // namespace

class tst_PacketQueue : public QObject
{
    Q_OBJECT
private slots:
    void putAndGetKeepOrderAndCounts();
    void borrowedPayloadIsCopied();
    void flushLeavesOneFlushPacket();
    void flushPacketIsSharedByAllQueues();
    void endPacketKeepsItsMarkThroughTheQueue();
    void blockingGetWakesOnPut();
    void nonBlockingGetOnEmptyQueue();
};

void tst_PacketQueue::putAndGetKeepOrderAndCounts()
{
    PacketQueue queue;
    for (int i = 0; i < 5; ++i) {
        Packet packet = makePacket(100 * (i + 1), i);
        QVERIFY(queue.put(packet.get()));
        QCOMPARE(packet->size, 0); // the queue took the reference
    }
    QCOMPARE(queue.count(), 5);
    QCOMPARE(queue.size(), 1500);
    Packet out(av_packet_alloc());
    for (int i = 0; i < 5; ++i) {
        QVERIFY(queue.get(out.get(), false));
        QCOMPARE(out->dts, int64_t(i));
        QCOMPARE(out->size, 100 * (i + 1));
        av_packet_unref(out.get());
    }
    QCOMPARE(queue.count(), 0);
    QCOMPARE(queue.size(), 0);
}

void tst_PacketQueue::borrowedPayloadIsCopied()
{
    PacketQueue queue;
    uint8_t bytes[64 + AV_INPUT_BUFFER_PADDING_SIZE] = {};
    bytes[0] = 42;
    Packet packet(av_packet_alloc());
    packet->data = bytes;
    packet->size = 64;
    QVERIFY(queue.put(packet.get()));
    bytes[0] = 0;
    Packet out(av_packet_alloc());
    QVERIFY(queue.get(out.get(), false));
    QVERIFY(out->data != bytes);
    QCOMPARE(out->data[0], uint8_t(42));
}

void tst_PacketQueue::flushLeavesOneFlushPacket()
{
    PacketQueue queue;
    for (int i = 0; i < 3; ++i) {
        Packet packet = makePacket(1000, i);
        QVERIFY(queue.put(packet.get()));
    }
    queue.flush();
    QCOMPARE(queue.count(), 1);
    QCOMPARE(queue.size(), 0);
    Packet out(av_packet_alloc());
    QVERIFY(queue.get(out.get(), false));
    QVERIFY(PacketQueue::isFlushPacket(out.get()));
    av_packet_unref(out.get()); // must not free the shared flush payload
    QVERIFY(!queue.get(out.get(), false));
    QCOMPARE(PacketQueue::flushPacket()->data[0], uint8_t('F'));
}

void tst_PacketQueue::flushPacketIsSharedByAllQueues()
{
    PacketQueue first;
    PacketQueue second;
    first.flush();
    second.flush();
    Packet a(av_packet_alloc());
    Packet b(av_packet_alloc());
    QVERIFY(first.get(a.get(), false));
    QVERIFY(second.get(b.get(), false));
    QCOMPARE(a->data, b->data);
    Packet ordinary = makePacket(0, 0);
    QVERIFY(!PacketQueue::isFlushPacket(ordinary.get()));
}

void tst_PacketQueue::endPacketKeepsItsMarkThroughTheQueue()
{
    PacketQueue queue;
    Packet empty(av_packet_alloc()); // as some demuxers read them
    Packet end(av_packet_alloc());
    PacketQueue::markEndPacket(end.get());
    end->dts = 1234;
    QVERIFY(queue.put(empty.get()));
    QVERIFY(queue.put(end.get()));
    Packet out(av_packet_alloc());
    QVERIFY(queue.get(out.get(), false));
    QVERIFY(!PacketQueue::isEndPacket(out.get()));
    QVERIFY(queue.get(out.get(), false));
    QVERIFY(PacketQueue::isEndPacket(out.get()));
    QCOMPARE(out->dts, int64_t(1234));
    QCOMPARE(out->size, 0);
}

void tst_PacketQueue::blockingGetWakesOnPut()
{
    PacketQueue queue;
    std::atomic<int64_t> taken{-1};
    std::unique_ptr<QThread> taker(QThread::create([&] {
        Packet out(av_packet_alloc());
        if (queue.get(out.get(), true))
            taken = out->dts;
    }));
    taker->start();
    QTRY_VERIFY(taker->isRunning());
    QVERIFY(!taker->wait(50)); // nothing to take yet
    Packet packet = makePacket(10, 77);
    QVERIFY(queue.put(packet.get()));
    QVERIFY(taker->wait(5000));
    QCOMPARE(taken.load(), int64_t(77));
}

void tst_PacketQueue::nonBlockingGetOnEmptyQueue()
{
    PacketQueue queue;
    Packet out(av_packet_alloc());
    QVERIFY(!queue.get(out.get(), false));
}

QTEST_GUILESS_MAIN(tst_PacketQueue)
#include "tst_packetqueue.moc"
