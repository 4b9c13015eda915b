#include "app/timeline.h"

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(Timeline::Click::Kind)

class TestTimeline : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fraction_data();
    void fraction();
    void position_data();
    void position();
    void zeroStartMatchesPlainFormulas_data();
    void zeroStartMatchesPlainFormulas();
    void click_data();
    void click();
    void loopBeforeMarkIn_data();
    void loopBeforeMarkIn();
    void loopAfterMarkOut_data();
    void loopAfterMarkOut();
};

void TestTimeline::fraction_data()
{
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("x");
    QTest::addColumn<double>("expected");
    QTest::newRow("middle, start 0") << qint64(0) << qint64(1000) << qint64(500) << 0.5;
    QTest::newRow("end, start 0") << qint64(0) << qint64(1000) << qint64(1000) << 1.0;
    QTest::newRow("middle, late start") << qint64(126000) << qint64(90000) << qint64(171000) << 0.5;
    QTest::newRow("start itself, late start") << qint64(126000) << qint64(90000) << qint64(126000) << 0.0;
    QTest::newRow("end, late start") << qint64(126000) << qint64(90000) << qint64(216000) << 1.0;
    QTest::newRow("before the start") << qint64(0) << qint64(1000) << qint64(-100) << -0.1;
    QTest::newRow("zero length") << qint64(0) << qint64(0) << qint64(0) << 0.0;
    QTest::newRow("zero length, late start") << qint64(500) << qint64(0) << qint64(700) << 0.0;
    QTest::newRow("negative length") << qint64(0) << qint64(-5) << qint64(3) << 0.0;
}

void TestTimeline::fraction()
{
    QFETCH(qint64, start);
    QFETCH(qint64, length);
    QFETCH(qint64, x);
    QFETCH(double, expected);
    const double f = Timeline(start, length).fraction(x);
    QVERIFY(std::isfinite(f));
    QCOMPARE(f, expected);
}

void TestTimeline::position_data()
{
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<double>("f");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("half of an odd length truncates") << qint64(0) << qint64(1001) << 0.5 << qint64(500);
    QTest::newRow("late start") << qint64(126000) << qint64(90000) << 0.5 << qint64(171000);
    QTest::newRow("right edge is the end") << qint64(126000) << qint64(90000) << 1.0 << qint64(216000);
    QTest::newRow("left edge is the start") << qint64(126000) << qint64(90000) << 0.0 << qint64(126000);
    QTest::newRow("negative fraction truncates toward zero") << qint64(0) << qint64(1000) << -0.1005 << qint64(-100);
    QTest::newRow("zero length") << qint64(40) << qint64(0) << 0.7 << qint64(40);
}

void TestTimeline::position()
{
    QFETCH(qint64, start);
    QFETCH(qint64, length);
    QFETCH(double, f);
    QFETCH(qint64, expected);
    QCOMPARE(Timeline(start, length).position(f), expected);
}

// With a start time of 0 the window's arithmetic is the plain one:
// t = trunc(d * f) and flag = (p - s) / (d - s).
void TestTimeline::zeroStartMatchesPlainFormulas_data()
{
    QTest::addColumn<qint64>("d");
    QTest::addColumn<double>("f");
    QTest::addColumn<qint64>("p");
    const qint64 lengths[] = {1, 999, 30000, 3600 * 90000LL};
    const double fractions[] = {0.0, 0.1, 0.3, 1.0 / 3.0, 0.5, 0.999, 1.0};
    for (qint64 d : lengths)
        for (double f : fractions)
            QTest::addRow("d %lld f %g", d, f) << d << f << qint64(d * 0.37);
}

void TestTimeline::zeroStartMatchesPlainFormulas()
{
    QFETCH(qint64, d);
    QFETCH(double, f);
    QFETCH(qint64, p);
    const Timeline line(0, d);
    QCOMPARE(line.position(f), static_cast<qint64>(d * f));
    QCOMPARE(line.fraction(p), double(p - 0) / double(d - 0));
    // The loop before the start mark ends at trunc(d * o), o the old start's fraction.
    const auto before = line.loopBeforeMarkIn(p);
    if (p == 0) {
        QVERIFY(!before);
    } else {
        QVERIFY(before);
        const double o = double(p) / double(d);
        QCOMPARE(before->markOut, static_cast<qint64>(d * o));
    }
}

void TestTimeline::click_data()
{
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("markIn");
    QTest::addColumn<qint64>("markOut");
    QTest::addColumn<double>("f");
    QTest::addColumn<Timeline::Click::Kind>("kind");
    QTest::addColumn<qint64>("target");
    using K = Timeline::Click;
    QTest::newRow("no loop, middle seeks") << qint64(0) << qint64(1000) << qint64(0) << qint64(1000) << 0.5 << K::Seek << qint64(500);
    QTest::newRow("no loop, left edge is the mark in") << qint64(0) << qint64(1000) << qint64(0) << qint64(1000) << 0.0 << K::Nothing << qint64(0);
    QTest::newRow("no loop, right edge is the mark out") << qint64(0) << qint64(1000) << qint64(0) << qint64(1000) << 1.0 << K::Nothing << qint64(1000);
    QTest::newRow("before the loop widens its start") << qint64(0) << qint64(1000) << qint64(200) << qint64(400) << 0.1 << K::WidenStart << qint64(100);
    QTest::newRow("after the loop widens its end") << qint64(0) << qint64(1000) << qint64(200) << qint64(400) << 0.7 << K::WidenEnd << qint64(700);
    QTest::newRow("inside the loop seeks") << qint64(0) << qint64(1000) << qint64(200) << qint64(400) << 0.3 << K::Seek << qint64(300);
    QTest::newRow("on the mark in does nothing") << qint64(0) << qint64(1000) << qint64(200) << qint64(400) << 0.2 << K::Nothing << qint64(200);
    QTest::newRow("marks outside the stream: seek") << qint64(0) << qint64(1000) << qint64(-1) << qint64(400) << 0.7 << K::Seek << qint64(700);
    QTest::newRow("late start, inside") << qint64(126000) << qint64(90000) << qint64(135000) << qint64(216000) << 0.5 << K::Seek << qint64(171000);
    QTest::newRow("late start, before the loop") << qint64(126000) << qint64(90000) << qint64(171000) << qint64(180000) << 0.1 << K::WidenStart << qint64(135000);
    QTest::newRow("late start, end mark at the true end") << qint64(126000) << qint64(90000) << qint64(126000) << qint64(216000) << 0.99 << K::Seek << qint64(215100);
}

void TestTimeline::click()
{
    QFETCH(qint64, start);
    QFETCH(qint64, length);
    QFETCH(qint64, markIn);
    QFETCH(qint64, markOut);
    QFETCH(double, f);
    QFETCH(Timeline::Click::Kind, kind);
    QFETCH(qint64, target);
    const Timeline::Click c = Timeline(start, length).click(f, markIn, markOut);
    QCOMPARE(c.kind, kind);
    QCOMPARE(c.target, target);
}

void TestTimeline::loopBeforeMarkIn_data()
{
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("markIn");
    QTest::addColumn<bool>("changes");
    QTest::addColumn<qint64>("newOut");
    QTest::addColumn<double>("outFlag");
    QTest::newRow("mark in at 0") << qint64(0) << qint64(1024) << qint64(0) << false << qint64(0) << 0.0;
    QTest::newRow("mark in at a late start") << qint64(126000) << qint64(90000) << qint64(126000) << false << qint64(0) << 0.0;
    QTest::newRow("quarter") << qint64(0) << qint64(1024) << qint64(256) << true << qint64(256) << 0.25;
    QTest::newRow("late start, half") << qint64(126000) << qint64(90000) << qint64(171000) << true << qint64(171000) << 0.5;
    QTest::newRow("zero length") << qint64(0) << qint64(0) << qint64(0) << false << qint64(0) << 0.0;
}

void TestTimeline::loopBeforeMarkIn()
{
    QFETCH(qint64, start);
    QFETCH(qint64, length);
    QFETCH(qint64, markIn);
    QFETCH(bool, changes);
    QFETCH(qint64, newOut);
    QFETCH(double, outFlag);
    const auto loop = Timeline(start, length).loopBeforeMarkIn(markIn);
    QCOMPARE(bool(loop), changes);
    if (!loop)
        return;
    QCOMPARE(loop->markIn, start);
    QCOMPARE(loop->markOut, newOut);
    QCOMPARE(loop->inFlag, 0.0);
    QCOMPARE(loop->outFlag, outFlag);
    QVERIFY(!loop->seek);
}

void TestTimeline::loopAfterMarkOut_data()
{
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("markOut");
    QTest::addColumn<bool>("changes");
    QTest::addColumn<qint64>("newIn");
    QTest::addColumn<double>("inFlag");
    QTest::newRow("mark out at the length") << qint64(0) << qint64(1024) << qint64(1024) << false << qint64(0) << 0.0;
    QTest::newRow("mark out at a late end") << qint64(126000) << qint64(90000) << qint64(216000) << false << qint64(0) << 0.0;
    QTest::newRow("three quarters") << qint64(0) << qint64(1024) << qint64(768) << true << qint64(768) << 0.75;
    QTest::newRow("late start, half") << qint64(126000) << qint64(90000) << qint64(171000) << true << qint64(171000) << 0.5;
}

void TestTimeline::loopAfterMarkOut()
{
    QFETCH(qint64, start);
    QFETCH(qint64, length);
    QFETCH(qint64, markOut);
    QFETCH(bool, changes);
    QFETCH(qint64, newIn);
    QFETCH(double, inFlag);
    const auto loop = Timeline(start, length).loopAfterMarkOut(markOut);
    QCOMPARE(bool(loop), changes);
    if (!loop)
        return;
    QVERIFY(loop->seek);
    QCOMPARE(*loop->seek, newIn);
    QCOMPARE(loop->markIn, newIn);
    QCOMPARE(loop->markOut, start + length);
    QCOMPARE(loop->inFlag, inFlag);
    QCOMPARE(loop->outFlag, 1.0);
}

QTEST_APPLESS_MAIN(TestTimeline)
#include "tst_timeline.moc"
