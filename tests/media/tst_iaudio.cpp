#include "tests/support/audiotestmain.h"
#include "media/iaudio.h"

#include <QAudioSink>
#include <QMediaDevices>
#include <QTest>

#include <cstring>

// The sound output: volume arithmetic on the samples, format set-up and
// writes cut to what the output takes. Plays into the test run's PulseAudio
// null sink.
class tst_IAudio : public QObject
{
    Q_OBJECT
private slots:
    void volume16_data();
    void volume16();
    void volume8_data();
    void volume8();
    void setupKeepsOutputOfSameFormat();
    void writeIsCutToBytesFree();
    void writeWithoutOutputTakesNothing();
};

void tst_IAudio::volume16_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("right");
    QTest::addColumn<QList<int>>("samples");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("stereo half") << 2 << 0.5f << 0.5f << QList<int>{1000, -1000, 3, -3}
                                 << QList<int>{500, -500, 1, -1};
    QTest::newRow("stereo left only") << 2 << 1.0f << 0.0f << QList<int>{32767, -32768}
                                      << QList<int>{32767, 0};
    QTest::newRow("stereo odd byte left over") << 2 << 0.5f << 0.25f << QList<int>{100, 100, 7}
                                               << QList<int>{50, 25, 7};
    QTest::newRow("mono uses the left volume") << 1 << 0.25f << 1.0f << QList<int>{400, -400, 9}
                                               << QList<int>{100, -100, 2};
    QTest::newRow("six channels use the left volume") << 6 << 0.5f << 0.0f
                                                      << QList<int>{10, 10, 10, 10, 10, 10}
                                                      << QList<int>{5, 5, 5, 5, 5, 5};
}

void tst_IAudio::volume16()
{
    QFETCH(int, channels);
    QFETCH(float, left);
    QFETCH(float, right);
    QFETCH(QList<int>, samples);
    QFETCH(QList<int>, expected);
    QByteArray bytes(samples.size() * 2, 0);
    for (qsizetype i = 0; i < samples.size(); ++i) {
        const int16_t sample = int16_t(samples.at(i));
        std::memcpy(bytes.data() + i * 2, &sample, 2);
    }
    IAudio::applyVolume(bytes.data(), int(bytes.size()), 16, channels, left, right);
    for (qsizetype i = 0; i < samples.size(); ++i) {
        int16_t sample;
        std::memcpy(&sample, bytes.constData() + i * 2, 2);
        QCOMPARE(int(sample), expected.at(i));
    }
}

void tst_IAudio::volume8_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<QList<int>>("samples");
    QTest::addColumn<QList<int>>("expected");
    // left 0.5, right 0.25; bytes count as 0 to 255
    QTest::newRow("stereo") << 2 << QList<int>{200, 200, 255, 3} << QList<int>{100, 50, 127, 0};
    QTest::newRow("mono") << 1 << QList<int>{200, 255, 1} << QList<int>{100, 127, 0};
}

void tst_IAudio::volume8()
{
    QFETCH(int, channels);
    QFETCH(QList<int>, samples);
    QFETCH(QList<int>, expected);
    QByteArray bytes;
    for (int sample : samples)
        bytes.append(char(uint8_t(sample)));
    IAudio::applyVolume(bytes.data(), int(bytes.size()), 8, channels, 0.5f, 0.25f);
    for (qsizetype i = 0; i < samples.size(); ++i)
        QCOMPARE(int(uint8_t(bytes.at(i))), expected.at(i));
}

void tst_IAudio::setupKeepsOutputOfSameFormat()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        QSKIP("no audio server");
    IAudio audio;
    QVERIFY(!audio.hasOutput());
    QVERIFY(audio.setup(device, 44100, 16, 2));
    const QAudioSink *first = audio.output();
    QVERIFY(first);
    QVERIFY(audio.setup(device, 44100, 16, 2));
    QCOMPARE(audio.output(), first);
    QVERIFY(audio.setup(device, 22050, 16, 1));
    QCOMPARE(audio.format().sampleRate(), 22050);
    QCOMPARE(audio.format().channelCount(), 1);
    QCOMPARE(audio.format().sampleFormat(), QAudioFormat::Int16);
    audio.close();
    QVERIFY(!audio.hasOutput());
}

void tst_IAudio::writeIsCutToBytesFree()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        QSKIP("no audio server");
    IAudio audio;
    QVERIFY(audio.setup(device, 48000, 16, 2));
    QByteArray samples(4 * 1024 * 1024, char(1)); // far more than any output buffer
    const int free = audio.bytesFree();
    QVERIFY(free > 0);
    const int taken = audio.write(samples.data(), int(samples.size()));
    QVERIFY2(taken >= free && taken < samples.size(),
             qPrintable(QString("%1 taken, %2 free").arg(taken).arg(free)));
    QCOMPARE(taken % 4, 0);
    // What was taken was scaled by the default volume of one half.
    int16_t first;
    std::memcpy(&first, samples.constData(), 2);
    QCOMPARE(int(first), int(int16_t(0x0101) / 2));
}

void tst_IAudio::writeWithoutOutputTakesNothing()
{
    IAudio audio;
    QByteArray samples(1024, 0);
    QCOMPARE(audio.write(samples.data(), int(samples.size())), 0);
    QVERIFY(!audio.acceptsData());
    QVERIFY(!audio.setup(QAudioDevice(), 44100, 16, 2));
}

VK_AUDIO_TEST_GUILESS_MAIN(tst_IAudio)
#include "tst_iaudio.moc"
