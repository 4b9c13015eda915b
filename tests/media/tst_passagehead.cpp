#include "media/passagehead.h"

#include <QTest>

#include <cmath>

extern "C" {
#include <libavutil/frame.h>
}

// The first pictures of a passage, kept for its restarts.
class tst_PassageHead : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void keepsWhatFitsInOrder_data();
    void keepsWhatFitsInOrder();
    void servesOnlyItsStartOnceRecorded();
};

namespace {

FramePtr picture(int width, int height)
{
    FramePtr frame(av_frame_alloc());
    frame->width = width;
    frame->height = height;
    frame->format = AV_PIX_FMT_YUV420P;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return nullptr;
    return frame;
}

} // namespace

// A long passage of large pictures must not take the learner's memory: the
// kept pictures stop at the budget, at the longest span or at the end mark,
// and a picture out of order (a decoder's late frame) ends them rather than
// being shown in the wrong place.
void tst_PassageHead::keepsWhatFitsInOrder_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("passageEnd");
    QTest::addColumn<double>("outOfOrderAt"); // seconds of a picture offered twice; 0 none
    QTest::addColumn<int>("kept");

    // 30 pictures a second from 10 s on.
    QTest::newRow("small, up to the longest span") << 320 << 240 << 100.0 << 0.0
                                                   << int(PassageHead::longestSeconds * 30);
    QTest::newRow("small, up to the end mark") << 320 << 240 << 11.0 << 0.0 << 30;
    QTest::newRow("3840x2160, up to the budget") << 3840 << 2160 << 100.0 << 0.0 << -1;
    QTest::newRow("a late picture ends them") << 320 << 240 << 100.0 << 10.5 << 16;
}

void tst_PassageHead::keepsWhatFitsInOrder()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, passageEnd);
    QFETCH(double, outOfOrderAt);
    QFETCH(int, kept);
    const FramePtr frame = picture(width, height);
    QVERIFY(frame);
    PassageHead head;
    head.record(10.0, passageEnd);
    for (int i = 0; i < 300 && head.recording(); ++i) {
        const double at = 10.0 + i / 30.0;
        head.offer(frame.get(), at);
        if (outOfOrderAt > 0.0 && std::abs(at - outOfOrderAt) < 0.01)
            head.offer(frame.get(), at - 0.1);
    }
    QVERIFY(!head.recording());
    QVERIFY(head.bytes() <= PassageHead::byteBudget);
    if (kept >= 0) {
        QCOMPARE(head.count(), kept);
    } else {
        QVERIFY(head.count() > 0);
        qint64 one = 0;
        for (const AVBufferRef *buffer : frame->buf)
            one += buffer ? qint64(buffer->size) : 0;
        QVERIFY(head.bytes() + one > PassageHead::byteBudget); // filled to the budget
    }
    for (int i = 1; i < head.count(); ++i)
        QVERIFY(head.seconds(i) > head.seconds(i - 1));
    QCOMPARE(head.last(), head.seconds(head.count() - 1));
}

// Kept pictures of one start mark never stand in for another's, nor before
// the round that records them has ended.
void tst_PassageHead::servesOnlyItsStartOnceRecorded()
{
    const FramePtr frame = picture(64, 48);
    QVERIFY(frame);
    PassageHead head;
    QVERIFY(!head.servesStart(10.0));
    head.record(10.0, 12.0);
    head.offer(frame.get(), 10.0);
    head.offer(frame.get(), 10.04);
    QVERIFY(!head.servesStart(10.0)); // still recording
    head.stopRecording();
    QVERIFY(head.servesStart(10.0));
    QVERIFY(!head.servesStart(10.5));
    QCOMPARE(head.count(), 2);
    head.record(10.5, 12.0);
    QCOMPARE(head.count(), 0);
}

QTEST_APPLESS_MAIN(tst_PassageHead)
#include "tst_passagehead.moc"
