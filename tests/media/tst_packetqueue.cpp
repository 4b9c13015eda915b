#include "media/avpointers.h"
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

using Packet = PacketPtr;

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
    void flushDropsWhatWasReadBeforeTheSeek();
    void endPacketKeepsItsMarkThroughTheQueue();
    void blockingGetWakesOnPutAndAbort();
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
    int serial = 0;
    for (int i = 0; i < 5; ++i) {
        QVERIFY(queue.get(out.get(), serial, false));
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
    int serial = 0;
    QVERIFY(queue.get(out.get(), serial, false));
    QVERIFY(out->data != bytes);
    QCOMPARE(out->data[0], uint8_t(42));
}

// A seek drops what was read for the place left, and what is read after
// it carries the new serial: a decoder that saw stale packets after a seek
// would show or play the place the learner left.
void tst_PacketQueue::flushDropsWhatWasReadBeforeTheSeek()
{
    PacketQueue queue;
    for (int i = 0; i < 3; ++i) {
        Packet packet = makePacket(1000, i);
        QVERIFY(queue.put(packet.get()));
    }
    queue.flush(7);
    QCOMPARE(queue.count(), 0);
    QCOMPARE(queue.size(), 0);
    Packet packet = makePacket(10, 99);
    QVERIFY(queue.put(packet.get()));
    Packet out(av_packet_alloc());
    int serial = -1;
    QVERIFY(queue.get(out.get(), serial, false));
    QCOMPARE(out->dts, int64_t(99));
    QCOMPARE(serial, 7);
    QVERIFY(!queue.get(out.get(), serial, false));
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
    int serial = 0;
    QVERIFY(queue.get(out.get(), serial, false));
    QVERIFY(!PacketQueue::isEndPacket(out.get()));
    QVERIFY(queue.get(out.get(), serial, false));
    QVERIFY(PacketQueue::isEndPacket(out.get()));
    QCOMPARE(out->dts, int64_t(1234));
    QCOMPARE(out->size, 0);
}

// A decoder waiting for packets must wake when one comes, and when the
// engine stops: otherwise stopping would hang the player.
void tst_PacketQueue::blockingGetWakesOnPutAndAbort()
{
    PacketQueue queue;
    std::atomic<int64_t> taken{-1};
    const auto takeOne = [&] {
        Packet out(av_packet_alloc());
        int serial = 0;
        taken = queue.get(out.get(), serial, true) ? out->dts : -2;
    };
    std::unique_ptr<QThread> taker(QThread::create(takeOne));
    taker->start();
    QTRY_VERIFY(taker->isRunning());
    QVERIFY(!taker->wait(50)); // nothing to take yet
    Packet packet = makePacket(10, 77);
    QVERIFY(queue.put(packet.get()));
    QVERIFY(taker->wait(5000));
    QCOMPARE(taken.load(), int64_t(77));

    taker.reset(QThread::create(takeOne));
    taker->start();
    QVERIFY(!taker->wait(50));
    queue.abort();
    QVERIFY(taker->wait(5000));
    QCOMPARE(taken.load(), int64_t(-2));
    QVERIFY(!queue.put(packet.get())); // nothing is taken in until started again
    queue.start(0);
    Packet again = makePacket(10, 5);
    QVERIFY(queue.put(again.get()));
}

void tst_PacketQueue::nonBlockingGetOnEmptyQueue()
{
    PacketQueue queue;
    Packet out(av_packet_alloc());
    int serial = 0;
    QVERIFY(!queue.get(out.get(), serial, false));
}

QTEST_GUILESS_MAIN(tst_PacketQueue)
#include "tst_packetqueue.moc"
