#include "media/sentencesplitter.h"
#include "tests/support/mediamaker.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Pause = SentenceSplitter::Pause;
Q_DECLARE_METATYPE(QList<Cue>)
Q_DECLARE_METATYPE(QList<SentenceSplitter::Pause>)

namespace {

// A tone that stops where the spans say: "speech" from each span's start
// to its end, quiet in between.
bool makeSpeech(const QString &path, const QList<QPair<double, double>> &spans, double seconds)
{
    QStringList parts;
    for (const auto &[from, to] : spans)
        parts.append(QStringLiteral("between(t,%1,%2)").arg(from).arg(to));
    const QString expr = QStringLiteral("0.5*sin(2*PI*300*t)*gt(%1,0)").arg(parts.join(QLatin1Char('+')));
    return mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                               QStringLiteral("aevalsrc=exprs='%1':s=44100:d=%2").arg(expr).arg(seconds),
                               QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), path});
}

} // namespace

class TestSentenceSplitter : public QObject
{
    Q_OBJECT

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

    void findsPausesInSound()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("speech.mp3"));
        // Pauses of 1 s and 0.5 s split; the 0.2 s one does not.
        QVERIFY(makeSpeech(path, {{0.0, 1.5}, {2.5, 4.0}, {4.2, 5.5}, {6.0, 7.5}}, 8.0));
        QList<Pause> pauses;
        int64_t duration = 0;
        QString error;
        QVERIFY2(SentenceSplitter::findPauses(path, 300, &pauses, &duration, nullptr, &error), qPrintable(error));
        QVERIFY2(qAbs(duration - 8000) < 100, qPrintable(QString::number(duration)));
        const QList<Cue> cues = SentenceSplitter::sentences(pauses, duration);
        QCOMPARE(cues.size(), 3);
        const QList<QPair<int, int>> expected{{0, 1500}, {2500, 5500}, {6000, 7500}};
        for (int i = 0; i < 3; ++i) {
            // The filter and the MP3 coder each add some tens of ms.
            QVERIFY2(qAbs(cues[i].start - expected[i].first) < 120 && qAbs(cues[i].end - expected[i].second) < 120,
                     qPrintable(QStringLiteral("cue %1: %2..%3").arg(i).arg(cues[i].start).arg(cues[i].end)));
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
