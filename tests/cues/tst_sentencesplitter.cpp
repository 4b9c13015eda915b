#include "cues/sentencesplitter.h"
#include "tests/cues/noisyspeech.h"
#include "tests/support/mediamaker.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

#ifdef Q_OS_LINUX
#include <sched.h>
#endif

using Pause = SentenceSplitter::Pause;
Q_DECLARE_METATYPE(QList<Cue>)
Q_DECLARE_METATYPE(QList<SentenceSplitter::Pause>)

// For the lists QCOMPARE shows when they differ.
char *toString(const Pause &pause)
{
    return QTest::toString(QStringLiteral("%1..%2").arg(pause.start).arg(pause.end));
}

namespace {

// A tone that stops where the spans say: "speech" from each span's start
// to its end, quiet (or the noise expression) in between, written with the
// given encoder arguments. channels "tone|0" puts it on the left only.
bool makeSpeech(const QString &path, const QList<QPair<double, double>> &spans, double seconds,
                const QStringList &encoder = {QStringLiteral("-c:a"), QStringLiteral("libmp3lame")},
                double amplitude = 0.5, const QString &noise = QStringLiteral("0"),
                const QString &channels = QStringLiteral("tone"))
{
    QStringList parts;
    for (const auto &[from, to] : spans)
        parts.append(QStringLiteral("between(t,%1,%2)").arg(from).arg(to));
    const QString tone = QStringLiteral("%1*sin(2*PI*300*t)*gt(%2,0)+%3")
                             .arg(amplitude).arg(parts.join(QLatin1Char('+')), noise);
    QString exprs = channels;
    exprs.replace(QStringLiteral("tone"), tone);
    return mediamaker::ffmpeg(QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                          QStringLiteral("aevalsrc=exprs='%1':s=44100:d=%2").arg(exprs).arg(seconds)}
                              + encoder + QStringList{path});
}

} // namespace

class TestSentenceSplitter : public QObject
{
    Q_OBJECT

    // The spoken sentences, made once for every noise of the table.
    QTemporaryDir m_speechDir;
    std::unique_ptr<NoisySpeech> m_speech;

private Q_SLOTS:
    void sentences_data()
    {
        QTest::addColumn<QList<Pause>>("pauses");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<QList<Cue>>("cues");

        QTest::newRow("no pause: one piece") << QList<Pause>{} << qint64(5000) << QList<Cue>{{0, 5000, {}}};
        QTest::newRow("nothing at all") << QList<Pause>{} << qint64(0) << QList<Cue>{};
        QTest::newRow("quiet start and end left out")
            << QList<Pause>{{0, 800}, {3000, 3500}, {6000, 7000}} << qint64(7000)
            << QList<Cue>{{800, 3000, {}}, {3500, 6000, {}}};
        QTest::newRow("short piece joins across the shorter pause")
            << QList<Pause>{{2000, 2400}, {2900, 3900}} << qint64(6000)
            << QList<Cue>{{0, 2900, {}}, {3900, 6000, {}}};
        QTest::newRow("short piece at the end joins the one before")
            << QList<Pause>{{2000, 2400}} << qint64(2900) << QList<Cue>{{0, 2900, {}}};
        QTest::newRow("short pieces join each other first")
            << QList<Pause>{{1500, 1800}, {2100, 2400}, {2700, 3700}} << qint64(6000)
            << QList<Cue>{{0, 2700, {}}, {3700, 6000, {}}};
        QTest::newRow("all short: one piece") << QList<Pause>{{300, 600}, {900, 1200}} << qint64(1500)
                                              << QList<Cue>{{0, 1500, {}}};
    }

    void sentences()
    {
        QFETCH(QList<Pause>, pauses);
        QFETCH(qint64, duration);
        QFETCH(QList<Cue>, cues);
        QCOMPARE(SentenceSplitter::sentences(pauses, duration), cues);
    }

    void joinAndSplit()
    {
        QList<Cue> cues{{0, 2000, {}}, {2500, 4000, {}}, {5000, 6000, QStringLiteral("x")}};
        QVERIFY(!SentenceSplitter::join(cues, 2));
        QVERIFY(!SentenceSplitter::split(cues, 0, 50));   // too near the start
        QVERIFY(!SentenceSplitter::split(cues, 0, 2200)); // outside
        QVERIFY(SentenceSplitter::split(cues, 0, 1200));
        QCOMPARE(cues, (QList<Cue>{{0, 1200, {}}, {1200, 2000, {}}, {2500, 4000, {}}, {5000, 6000, QStringLiteral("x")}}));
        QVERIFY(SentenceSplitter::join(cues, 2));
        QCOMPARE(cues, (QList<Cue>{{0, 1200, {}}, {1200, 2000, {}}, {2500, 6000, QStringLiteral("x")}}));
    }

    // A split sentence whose words all stay in its first half shows, when
    // revealed, text the learner did not hear there.
    void splitMovesTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("share");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("between the words, by letters")
            << "One two three four five six." << 0.5 << "One two three" << "four five six.";
        QTest::newRow("early cut keeps one word") << "Hello there my friend." << 0.01 << "Hello" << "there my friend.";
        QTest::newRow("late cut leaves one word") << "Hello there my friend." << 0.99 << "Hello there my" << "friend.";
        QTest::newRow("at a joint of two sentences")
            << "It was cold.\nWe stayed at home all day long." << 0.4 << "It was cold." << "We stayed at home all day long.";
        QTest::newRow("joint too far: between words")
            << "A.\nThe rest of it is a much longer sentence here." << 0.6 << "A. The rest of it is a much longer"
            << "sentence here.";
        QTest::newRow("one word stays whole") << "Hello." << 0.5 << "Hello." << "";
    }

    void splitMovesTheText()
    {
        QFETCH(QString, text);
        QFETCH(double, share);
        const auto [first, second] = SentenceSplitter::splitText(text, share);
        QTEST(first, "first");
        QTEST(second, "second");
    }

    void findsPausesInSound_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("encoder");
        QTest::addColumn<double>("amplitude");
        QTest::addColumn<QString>("noise");
        QTest::addColumn<QString>("channels");

        const QString tone = QStringLiteral("tone");
        const auto codec = [](const char *name, const char *format = nullptr) {
            QStringList args{QStringLiteral("-c:a"), QLatin1String(name)};
            if (format)
                args << QStringLiteral("-sample_fmt") << QLatin1String(format);
            return args;
        };
        // The decoders hand over planar float, interleaved integers of
        // each width, and interleaved float and double.
        QTest::newRow("mp3, planar float") << "speech.mp3" << codec("libmp3lame") << 0.5 << "0" << tone;
        QTest::newRow("wav, 16 bits") << "speech.wav" << codec("pcm_s16le") << 0.5 << "0" << tone;
        QTest::newRow("wav, 8 bits") << "speech.wav" << codec("pcm_u8") << 0.5 << "0" << tone;
        QTest::newRow("wav, float") << "speech.wav" << codec("pcm_f32le") << 0.5 << "0" << tone;
        QTest::newRow("wav, double") << "speech.wav" << codec("pcm_f64le") << 0.5 << "0" << tone;
        QTest::newRow("flac, 24 bits") << "speech.flac" << codec("flac", "s32") << 0.5 << "0" << tone;
        QTest::newRow("interleaved stereo, one side quiet")
            << "speech.wav" << codec("pcm_s16le") << 0.5 << "0" << QStringLiteral("tone|0");
        QTest::newRow("planar stereo, one side quiet")
            << "speech.mp3" << codec("libmp3lame") << 0.5 << "0" << QStringLiteral("0|tone");
        QTest::newRow("room noise in the pauses")
            << "speech.mp3" << codec("libmp3lame") << 0.5 << "0.01*(2*random(0)-1)" << tone;
        // Quieter than the usual line throughout: the line follows it down.
        QTest::newRow("quiet recording") << "speech.mp3" << codec("libmp3lame") << 0.01 << "0" << tone;
    }

    void findsPausesInSound()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, encoder);
        QFETCH(double, amplitude);
        QFETCH(QString, noise);
        QFETCH(QString, channels);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        // Pauses of 1 s and 0.5 s split; the 0.2 s one does not.
        QVERIFY(makeSpeech(path, {{0.0, 1.5}, {2.5, 4.0}, {4.2, 5.5}, {6.0, 7.5}}, 8.0, encoder, amplitude, noise,
                           channels));
        QList<Pause> pauses;
        int64_t duration = 0;
        QString error;
        QVERIFY2(SentenceSplitter::findPauses(path, 300, &pauses, &duration, nullptr, &error), qPrintable(error));
        QVERIFY2(qAbs(duration - 8000) < 100, qPrintable(QString::number(duration)));
        const QList<Cue> cues = SentenceSplitter::sentences(pauses, duration);
        QCOMPARE(cues.size(), 3);
        const QList<QPair<int, int>> expected{{0, 1500}, {2500, 5500}, {6000, 7500}};
        for (int i = 0; i < 3; ++i) {
            // The measuring window and the MP3 coder each add some ms.
            QVERIFY2(qAbs(cues[i].start - expected[i].first) < 120 && qAbs(cues[i].end - expected[i].second) < 120,
                     qPrintable(QStringLiteral("cue %1: %2..%3").arg(i).arg(cues[i].start).arg(cues[i].end)));
        }
    }

    // Lessons come with a music bed, room or street noise 15 to 20 dB
    // under the voice: a line fixed in dB of full scale finds no pause in
    // them, and a click in a pause cuts it in two.
    void findsSentencesUnderNoise_data()
    {
        QTest::addColumn<double>("snrDb");
        QTest::addColumn<bool>("mp3");
        QTest::addColumn<bool>("clicks");
        QTest::addColumn<int>("atLeast");

        QTest::newRow("clean") << std::nan("") << false << false << 8;
        QTest::newRow("pink noise 15 dB under") << 15.0 << false << false << 7;
        QTest::newRow("pink noise 15 dB under, 64 kbit/s MP3") << 15.0 << true << false << 7;
        QTest::newRow("pink noise 12 dB under") << 12.0 << false << false << 6;
        QTest::newRow("clicks in the pauses, 20 dB") << 20.0 << false << true << 8;
    }

    void findsSentencesUnderNoise()
    {
        QFETCH(double, snrDb);
        QFETCH(bool, mp3);
        QFETCH(bool, clicks);
        QFETCH(int, atLeast);
        if (!m_speech) {
            QVERIFY(m_speechDir.isValid());
            auto speech = std::make_unique<NoisySpeech>();
            QVERIFY(speech->make(m_speechDir.path(), NoisySpeech::lessonSentences(),
                                 {800, 1400, 700, 1200, 1000, 1500, 900}));
            m_speech = std::move(speech);
        }
        const QString path = m_speechDir.filePath(mp3 ? QStringLiteral("noisy.mp3") : QStringLiteral("noisy.wav"));
        const QStringList encoder = mp3 ? QStringList{QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
                                                      QStringLiteral("-b:a"), QStringLiteral("64k")}
                                        : QStringList{};
        QVERIFY(m_speech->mix(path, snrDb, encoder, clicks));
        QList<Pause> pauses;
        int64_t duration = 0;
        QString error;
        QVERIFY2(SentenceSplitter::findPauses(path, SentenceSplitter::defaultMinPauseMs, &pauses, &duration, nullptr,
                                              &error),
                 qPrintable(error));
        const QList<Cue> cues = SentenceSplitter::sentences(pauses, duration);
        QStringList shown;
        for (const Cue &c : cues)
            shown << QStringLiteral("%1..%2").arg(c.start).arg(c.end);
        const int found = m_speech->found(cues);
        QVERIFY2(found >= atLeast, qPrintable(QStringLiteral("%1 of %2 found: %3")
                                                  .arg(found).arg(m_speech->spans().size()).arg(shown.join(' '))));
    }

    void longRecordingInStretches()
    {
        // Long enough to be decoded in stretches side by side on a machine
        // with the cores for it; where two stretches meet, at half time,
        // lies a pause, which must be found whole like every other.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lesson.mp3"));
        QList<QPair<double, double>> spans;
        for (int k = 0; k < 22; ++k)
            spans.append({1.0 + 3.1 * k, 3.5 + 3.1 * k});
        QVERIFY(makeSpeech(path, spans, 70.0));
        QList<Pause> pauses;
        int64_t duration = 0;
        QString error;
        Waveform waveform;
        QVERIFY2(SentenceSplitter::findPauses(path, 300, &pauses, &duration, nullptr, &error, &waveform),
                 qPrintable(error));
        QVERIFY2(qAbs(duration - 70000) < 100, qPrintable(QString::number(duration)));
#ifdef Q_OS_LINUX
        // One core to run on leaves one pass, whose pauses the stretches
        // must give to the ms.
        cpu_set_t all;
        QCOMPARE(sched_getaffinity(0, sizeof all, &all), 0);
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &all)) {
                CPU_SET(cpu, &one);
                break;
            }
        }
        QCOMPARE(sched_setaffinity(0, sizeof one, &one), 0);
        QList<Pause> onePass;
        int64_t onePassDuration = 0;
        Waveform onePassWaveform;
        const bool found = SentenceSplitter::findPauses(path, 300, &onePass, &onePassDuration, nullptr, &error,
                                                        &onePassWaveform);
        QCOMPARE(sched_setaffinity(0, sizeof all, &all), 0);
        QVERIFY2(found, qPrintable(error));
        QCOMPARE(pauses, onePass);
        QCOMPARE(duration, onePassDuration);
        // Nor may the waveform drawn from the stretches be shifted or torn
        // where they meet.
        QCOMPARE(waveform.bucketCount(), onePassWaveform.bucketCount());
        QCOMPARE(waveform.pauses(), onePassWaveform.pauses());
        for (qsizetype i = 0; i < waveform.bucketCount(); ++i) {
            const auto [low, high] = waveform.range(i, i);
            const auto [oneLow, oneHigh] = onePassWaveform.range(i, i);
            QVERIFY2(qAbs(low - oneLow) <= 1 && qAbs(high - oneHigh) <= 1,
                     qPrintable(QStringLiteral("bucket %1: %2..%3 against %4..%5")
                                    .arg(i).arg(low).arg(high).arg(oneLow).arg(oneHigh)));
        }
#endif
        const QList<Cue> cues = SentenceSplitter::sentences(pauses, duration);
        QCOMPARE(cues.size(), spans.size());
        for (qsizetype i = 0; i < cues.size(); ++i) {
            QVERIFY2(qAbs(cues[i].start - spans[i].first * 1000) < 60 && qAbs(cues[i].end - spans[i].second * 1000) < 60,
                     qPrintable(QStringLiteral("cue %1: %2..%3").arg(i).arg(cues[i].start).arg(cues[i].end)));
        }
        // The waveform shows the tone at its height where it sounds, and
        // quiet between, on both sides of the middle.
        for (const double at : {2.0, 3.8, 36.0, 37.8, 68.0}) {
            const qsizetype bucket = qsizetype(at * 1000 / Waveform::bucketMs);
            const bool sounding = std::any_of(spans.begin(), spans.end(), [at](const auto &s) {
                return at > s.first + 0.1 && at < s.second - 0.1;
            });
            const auto [low, high] = waveform.range(bucket, bucket + 4);
            QVERIFY2(sounding ? high > 50 && low < -50 : high < 5 && low > -5,
                     qPrintable(QStringLiteral("%1 s: %2..%3").arg(at).arg(low).arg(high)));
        }
    }

    void splitsInTheBackground()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("speech.mp3"));
        QVERIFY(makeSpeech(path, {{0.0, 1.5}, {2.5, 4.0}}, 4.5));
        SentenceSplitter splitter;
        QSignalSpy done(&splitter, &SentenceSplitter::finished);
        splitter.start(path);
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 30000);
        QCOMPARE(done.first().at(0).toString(), path);
        QCOMPARE(done.first().at(1).value<QList<Cue>>().size(), 2);

        QSignalSpy failed(&splitter, &SentenceSplitter::failed);
        splitter.start(dir.filePath(QStringLiteral("missing.mp3")));
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 30000);
        QVERIFY(failed.first().at(1).toString().contains(QStringLiteral("missing.mp3")));

        // Cancelled work reports nothing.
        splitter.start(path);
        splitter.cancel();
        QVERIFY(!splitter.isRunning());
        QTest::qWait(0);
        QCOMPARE(done.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSentenceSplitter)
#include "tst_sentencesplitter.moc"
