#include "media/playbackclock.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <memory>

class tst_PlaybackClock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pauseStandsAndResumeGoesOnFromThere();
    void runsAtTheSpeed_data();
    void runsAtTheSpeed();
    void pausedDecoderWakesOnResume();
};

// While held the place stands still; going on must not jump ahead by the
// time the pause lasted.
void tst_PlaybackClock::pauseStandsAndResumeGoesOnFromThere()
{
    PlaybackClock clock;
    clock.set(10.0);
    QVERIFY(clock.setPaused(true));
    QVERIFY(!clock.setPaused(true));
    QCOMPARE(clock.seconds(), 10.0);
    QThread::msleep(500);
    QCOMPARE(clock.seconds(), 10.0);
    QElapsedTimer wall;
    wall.start();
    QVERIFY(clock.setPaused(false));
    const double resumed = clock.seconds();
    const double since = double(wall.nsecsElapsed()) / 1e9;
    QVERIFY2(resumed >= 10.0 && resumed <= 10.0 + since + 1e-6, qPrintable(QString::number(resumed)));
}

// At half speed a second of playing is half a second of the lesson; the
// speed asked for is kept within what the stretch can do.
void tst_PlaybackClock::runsAtTheSpeed_data()
{
    QTest::addColumn<double>("asked");
    QTest::addColumn<double>("speed");
    QTest::newRow("half") << 0.5 << 0.5;
    QTest::newRow("normal") << 1.0 << 1.0;
    QTest::newRow("too slow") << 0.1 << PlaybackClock::slowest;
    QTest::newRow("too fast") << 5.0 << PlaybackClock::fastest;
}

void tst_PlaybackClock::runsAtTheSpeed()
{
    QFETCH(double, asked);
    QFETCH(double, speed);
    PlaybackClock clock;
    clock.setSpeed(asked);
    QCOMPARE(clock.speed(), speed);
    // Read between two readings of the wall clock, so that a busy machine
    // widens the bounds instead of breaking them.
    QElapsedTimer wall;
    wall.start();
    clock.set(0.0);
    const double setAt = double(wall.nsecsElapsed()) / 1e9;
    QThread::msleep(300);
    const double before = double(wall.nsecsElapsed()) / 1e9;
    const double seconds = clock.seconds();
    const double after = double(wall.nsecsElapsed()) / 1e9;
    // The clock counts whole microseconds of the wall: each reading may be
    // off by one, times the speed.
    const double resolution = 2e-6 * speed;
    QVERIFY2(seconds >= (before - setAt) * speed - resolution && seconds <= after * speed + resolution,
             qPrintable(QString("%1 after %2 to %3 s").arg(seconds).arg(before).arg(after)));
}

// A decoding thread held by a pause must go on at once when playback does.
void tst_PlaybackClock::pausedDecoderWakesOnResume()
{
    PlaybackClock clock;
    clock.setPaused(true);
    std::unique_ptr<QThread> decoder(QThread::create([&] { clock.waitWhilePaused(60000); }));
    decoder->start();
    QVERIFY(!decoder->wait(50));
    clock.setPaused(false);
    QVERIFY(decoder->wait(5000));
}

QTEST_GUILESS_MAIN(tst_PlaybackClock)
#include "tst_playbackclock.moc"
