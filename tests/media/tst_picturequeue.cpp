#include "media/picturequeue.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

class tst_PictureQueue : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void flushDropsOnlyOlderSerials_data();
    void flushDropsOnlyOlderSerials();
    void fullQueueHoldsTheWriterUntilShownOrStopped();

private:
    PictureQueue m_queue;
};

void tst_PictureQueue::initTestCase()
{
    QVERIFY(m_queue.allocate(16, 8, 2)); // RGB24
}

// After the user's jump the pictures of the place he left are not shown,
// while those of the seek in force are: they are the new place.
void tst_PictureQueue::flushDropsOnlyOlderSerials_data()
{
    QTest::addColumn<QList<int>>("serials");
    QTest::addColumn<int>("flushBefore");
    QTest::addColumn<QList<double>>("left");
    QTest::newRow("all of the place left") << QList<int>{1, 1, 1} << 2 << QList<double>{};
    QTest::newRow("old then new") << QList<int>{1, 2, 2} << 2 << QList<double>{1.0, 2.0};
    QTest::newRow("nothing older") << QList<int>{3, 3} << 2 << QList<double>{0.0, 1.0};
}

void tst_PictureQueue::flushDropsOnlyOlderSerials()
{
    QFETCH(QList<int>, serials);
    QFETCH(int, flushBefore);
    QFETCH(QList<double>, left);
    m_queue.reset();
    for (int i = 0; i < serials.size(); ++i) {
        VideoPicture *picture = m_queue.writable();
        QVERIFY(picture);
        picture->mediaSeconds = i;
        picture->serial = serials.at(i);
        m_queue.push();
    }
    m_queue.flush(flushBefore);
    QList<double> shown;
    while (const VideoPicture *picture = m_queue.peek()) {
        shown.append(picture->mediaSeconds);
        m_queue.next();
    }
    QCOMPARE(shown, left);
}

// Three pictures wait at most; the video thread then waits for one to be
// shown, and stopping the engine must free it, or stopping hangs.
void tst_PictureQueue::fullQueueHoldsTheWriterUntilShownOrStopped()
{
    m_queue.reset();
    for (int i = 0; i < PictureQueue::filledAtMost; ++i) {
        QVERIFY(m_queue.writable());
        m_queue.push();
    }
    std::atomic<int> got{-1};
    const auto write = [&] { got = m_queue.writable() ? 1 : 0; };
    std::unique_ptr<QThread> writer(QThread::create(write));
    writer->start();
    QVERIFY(!writer->wait(50));
    m_queue.next(); // one is shown
    QVERIFY(writer->wait(5000));
    QCOMPARE(got.load(), 1);
    m_queue.push();

    writer.reset(QThread::create(write));
    writer->start();
    QVERIFY(!writer->wait(50));
    m_queue.abort();
    QVERIFY(writer->wait(5000));
    QCOMPARE(got.load(), 0);
}

QTEST_GUILESS_MAIN(tst_PictureQueue)
#include "tst_picturequeue.moc"
