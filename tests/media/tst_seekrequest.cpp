#include "media/seekrequest.h"

#include <QTest>
#include <QThread>

#include <memory>

using Kind = SeekRequest::Kind;

class tst_SeekRequest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void oneRequestAtATime();
    void serialsFollowWhatWasCarriedOut_data();
    void serialsFollowWhatWasCarriedOut();
    void retriesReachFurtherBack();
    void waiterWakesWhenTheSeekIsCarriedOut();
};

// A jump asked for while another is on its way is refused rather than
// swallowing the first; once the first is done, the next is taken.
void tst_SeekRequest::oneRequestAtATime()
{
    SeekRequest seek;
    QVERIFY(seek.place(100, Kind::User));
    QVERIFY(!seek.place(200, Kind::LoopRestart));
    int64_t target = 0;
    Kind kind = Kind::Retry;
    QVERIFY(seek.take(target, kind));
    QCOMPARE(target, int64_t(100));
    QCOMPARE(kind, Kind::User);
    QVERIFY(seek.pending()); // taken, not yet done
    seek.finish(true, 100);
    QVERIFY(!seek.pending());
    QVERIFY(!seek.take(target, kind));
    QVERIFY(seek.place(200, Kind::LoopRestart));
    seek.drop(); // the engine stopped with it pending
    QVERIFY(!seek.pending());
    QVERIFY(seek.place(300, Kind::User));
}

// Pictures and sound of a place the user left are told by an older serial:
// a serial that moved on a failed seek would drop the place still playing,
// and one that counted a passage's restart as the user's would drop the
// passage's last pictures.
void tst_SeekRequest::serialsFollowWhatWasCarriedOut_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("carriedOut");
    QTest::addColumn<int>("serial");
    QTest::addColumn<int>("userSerial");
    QTest::newRow("user, carried out") << int(Kind::User) << true << 1 << 1;
    QTest::newRow("user, failed") << int(Kind::User) << false << 0 << 0;
    QTest::newRow("restart of the passage") << int(Kind::LoopRestart) << true << 1 << 0;
    QTest::newRow("retry from further back") << int(Kind::Retry) << true << 1 << 0;
}

void tst_SeekRequest::serialsFollowWhatWasCarriedOut()
{
    QFETCH(int, kind);
    QFETCH(bool, carriedOut);
    QFETCH(int, serial);
    QFETCH(int, userSerial);
    SeekRequest seek;
    QVERIFY(seek.place(500, Kind(kind)));
    QCOMPARE(seek.target(), int64_t(500)); // the cut-off from the moment it is asked for
    QCOMPARE(seek.finish(carriedOut, 450), serial);
    QCOMPARE(seek.serial(), serial);
    QCOMPARE(seek.userSerial(), userSerial);
    QCOMPARE(seek.target(), carriedOut ? int64_t(450) : int64_t(500));
    if (carriedOut)
        QCOMPARE(seek.lastKind(), Kind(kind));
}

// A container that lands after the target is read again from 1, 2, 4 ...
// seconds further back; any other seek starts from no back-off, or a jump
// after a troublesome one would read seconds of file for nothing.
void tst_SeekRequest::retriesReachFurtherBack()
{
    SeekRequest seek;
    QCOMPARE(seek.nextBackoff(Kind::User), 0.0);
    QCOMPARE(seek.nextBackoff(Kind::Retry), 1.0);
    QCOMPARE(seek.nextBackoff(Kind::Retry), 2.0);
    QCOMPARE(seek.nextBackoff(Kind::Retry), 4.0);
    QCOMPARE(seek.backoff(), 4.0);
    QCOMPARE(seek.nextBackoff(Kind::LoopRestart), 0.0);
}

// A picture held at the end mark waits for the restart; it must go on as
// soon as the restart is carried out, not after its timeout.
void tst_SeekRequest::waiterWakesWhenTheSeekIsCarriedOut()
{
    SeekRequest seek;
    std::unique_ptr<QThread> waiter(QThread::create([&] { seek.waitForSerialChange(0, 60000); }));
    waiter->start();
    QVERIFY(!waiter->wait(50));
    QVERIFY(seek.place(10, Kind::LoopRestart));
    seek.finish(true, 10);
    QVERIFY(waiter->wait(5000));
}

QTEST_GUILESS_MAIN(tst_SeekRequest)
#include "tst_seekrequest.moc"
