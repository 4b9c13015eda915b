#include "media/passage.h"
#include "media/seekrequest.h"

#include <QtTest>

// What the passage decides at the end of a round, as the decoding thread
// that drives the marks reports it, and the player changes the passage
// meanwhile.
class TestPassage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decidesEachRoundOnce_data();
    void decidesEachRoundOnce();
    void holdCalledOffByNewMarks();
    void marksKeptInsideTheStream_data();
    void marksKeptInsideTheStream();
};

namespace {

// One step of a session: the player sets a passage (count >= 0), the
// parsing thread carries out the pending seek ("seek"), or the thread
// reports the end with the marks it read before the last set ("stale") or
// now ("end"); the decision expected, the rounds reported so far and
// whether the count was told reached.
struct Step {
    QString what;
    int count = 0;
    Passage::Round round = Passage::Round::Stale;
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

void TestPassage::decidesEachRoundOnce_data()
{
    using R = Passage::Round;
    QTest::addColumn<bool>("loop");
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("finished");

    QTest::newRow("repeats without end, each round restarts once")
        << true << QList<Step>{{"set", 0}, {"end", 0, R::Restart}, {"end", 0, R::Restart}, {"seek"}, {"end", 0, R::Restart}}
        << 2 << 0;
    QTest::newRow("twice: restart, then play on, told once")
        << true << QList<Step>{{"set", 2}, {"end", 0, R::Restart}, {"seek"}, {"end", 0, R::PlayOn}, {"end", 0, R::PlayOn}}
        << 2 << 1;
    // The fault a learner met: the next sentence is armed right after the
    // count is reached, before the thread has looked at the decision.
    QTest::newRow("next sentence armed as the count is reached")
        << true << QList<Step>{{"set", 2}, {"end", 0, R::Restart}, {"seek"}, {"end", 0, R::PlayOn}, {"set", 2},
                               {"stale", 0, R::Stale}, {"end", 0, R::Restart}}
        << 3 << 1;
    QTest::newRow("marks moved while the end was judged")
        << true << QList<Step>{{"set", 0}, {"set", 0}, {"stale", 0, R::Stale}, {"end", 0, R::Restart}} << 1 << 0;
    QTest::newRow("a seek pending decides, nothing is counted")
        << true << QList<Step>{{"set", 0}, {"user"}, {"end", 0, R::Wait}, {"seek"}, {"end", 0, R::Restart}} << 1 << 0;
    QTest::newRow("data of a place left ends nothing")
        << true << QList<Step>{{"set", 0}, {"old", 0, R::Stale}} << 0 << 0;
    QTest::newRow("loop off holds, once")
        << false << QList<Step>{{"set", 0}, {"end", 0, R::Hold}, {"end", 0, R::Hold}} << 1 << 0;
}

void TestPassage::decidesEachRoundOnce()
{
    QFETCH(bool, loop);
    QFETCH(QList<Step>, steps);
    QFETCH(int, reported);
    QFETCH(int, finished);
    SeekRequest seek;
    int rounds = 0;
    int told = 0;
    int lastPlayed = 0;
    Passage passage(seek, [&](int played, bool done) {
        ++rounds;
        told += done ? 1 : 0;
        lastPlayed = played;
    });
    passage.setBounds(0, 10000);
    passage.setLoop(loop);
    Passage::Marks before = passage.marks();
    Passage::Marks now = passage.marks();
    for (const Step &step : steps) {
        if (step.what == QLatin1String("set")) {
            before = now;
            passage.set(1000, 2000, step.count);
            now = passage.marks();
        } else if (step.what == QLatin1String("seek")) {
            seek.finish(true, passage.in());
        } else if (step.what == QLatin1String("user")) {
            QVERIFY(seek.place(5000, SeekRequest::Kind::User));
        } else {
            const int serial = step.what == QLatin1String("old") ? seek.serial() - 1 : seek.serial();
            const Passage::Marks &marks = step.what == QLatin1String("stale") ? before : now;
            QCOMPARE(passage.endReached(serial, marks), step.round);
        }
    }
    QCOMPARE(rounds, reported);
    QCOMPARE(told, finished);
    if (reported > 0)
        QVERIFY(lastPlayed >= 1);
}

void TestPassage::holdCalledOffByNewMarks()
{
    SeekRequest seek;
    Passage passage(seek, {});
    passage.setBounds(0, 10000);
    passage.setLoop(false);
    QCOMPARE(passage.endReached(seek.serial(), passage.marks()), Passage::Round::Hold);
    QCOMPARE(passage.holdSerial(), seek.serial());
    // The learner moves the end meanwhile: the caller starts the passage
    // again instead of holding.
    QVERIFY(passage.setOut(9000));
    QCOMPARE(passage.holdSerial(), -1);
    QVERIFY(!passage.takeHold());
}

void TestPassage::marksKeptInsideTheStream_data()
{
    QTest::addColumn<qint64>("in");
    QTest::addColumn<qint64>("out");
    QTest::addColumn<qint64>("keptIn");
    QTest::addColumn<qint64>("keptOut");
    // Both marks in one call: no order of two calls clamps one against the
    // other's old value.
    QTest::newRow("a passage after the old one") << qint64(8000) << qint64(9000) << qint64(8000) << qint64(9000);
    QTest::newRow("start before the stream") << qint64(-50) << qint64(300) << qint64(100) << qint64(300);
    QTest::newRow("end past the stream") << qint64(500) << qint64(99999) << qint64(500) << qint64(10100);
    QTest::newRow("end before start") << qint64(700) << qint64(600) << qint64(700) << qint64(700);
}

void TestPassage::marksKeptInsideTheStream()
{
    QFETCH(qint64, in);
    QFETCH(qint64, out);
    QFETCH(qint64, keptIn);
    QFETCH(qint64, keptOut);
    SeekRequest seek;
    Passage passage(seek, {});
    passage.setBounds(100, 10100);
    passage.set(1000, 2000, 0);
    passage.set(in, out, 3);
    QCOMPARE(passage.in(), keptIn);
    QCOMPARE(passage.out(), keptOut);
    QCOMPARE(passage.repeatCount(), 3);
}

QTEST_GUILESS_MAIN(TestPassage)
#include "tst_passage.moc"
