#include "cues/transcriptaligner.h"
#include "tests/cues/noisyspeech.h"
#include "tests/support/mediamaker.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

// Sentences that the recordings below leave out: a paragraph the speaker
// skipped.
const QStringList skipped{QStringLiteral("Nobody in the room had ever seen such a large yellow umbrella."),
                          QStringLiteral("It was opened and closed many times before the lesson began."),
                          QStringLiteral("In the end the teacher put it away in the corner.")};

} // namespace

class TstTranscriptAligner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The learner's sentences must start and end where they are spoken,
    // whoever speaks them; a paragraph or a jingle that is in only one of
    // text and sound must not drag its neighbours off, and a sentence that
    // is not in the sound must be reported, not placed somewhere.
    void align_data();
    void align();
    // Cancel must stop the work at once and report nothing; a new start
    // afterwards must run.
    void cancelAndRestart();
    void srt();
};

void TstTranscriptAligner::align_data()
{
    QTest::addColumn<QString>("voice");
    QTest::addColumn<double>("snrDb");
    QTest::addColumn<bool>("paragraphSkipped");
    QTest::addColumn<bool>("jingle");

    QTest::newRow("flite slt, clean") << "flite:slt" << std::nan("") << false << false;
    QTest::newRow("flite awb slower, 20 dB noise") << "flite:awb@1.2" << 20.0 << false << false;
    QTest::newRow("flite rms, a paragraph not spoken") << "flite:rms" << std::nan("") << true << false;
    QTest::newRow("flite slt, a jingle before the speech") << "flite:slt" << std::nan("") << false << true;
}

void TstTranscriptAligner::align()
{
    QFETCH(QString, voice);
    QFETCH(double, snrDb);
    QFETCH(bool, paragraphSkipped);
    QFETCH(bool, jingle);
    QTemporaryDir dir;
    const QStringList spoken = NoisySpeech::lessonSentences();
    NoisySpeech speech;
    QVERIFY(speech.make(dir.path(), spoken, {400, 700, 300, 900, 500, 350, 600}, voice));
    QString media = dir.filePath(QStringLiteral("lesson.mp3"));
    QVERIFY(speech.mix(jingle ? dir.filePath(QStringLiteral("speech.wav")) : media, snrDb,
                       jingle ? QStringList{} : QStringList{QStringLiteral("-b:a"), QStringLiteral("96k")}));
    int64_t shiftMs = 0;
    if (jingle) {
        // Six seconds of a little tune, then the lesson.
        shiftMs = 6000;
        QVERIFY(mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                    QStringLiteral("aevalsrc=0.3*sin(2*PI*(440+220*floor(mod(t*4\\,4)))*t):s=22050:d=6"),
                                    QStringLiteral("-i"), dir.filePath(QStringLiteral("speech.wav")),
                                    QStringLiteral("-filter_complex"), QStringLiteral("[0][1]concat=n=2:v=0:a=1"),
                                    QStringLiteral("-b:a"), QStringLiteral("96k"), media}));
    }
    QList<Transcript::Sentence> text;
    for (qsizetype i = 0; i < spoken.size(); ++i) {
        text.append({spoken[i], int(i / 4) * 2});
        if (paragraphSkipped && i == 3) {
            for (const QString &s : skipped)
                text.append({s, 1});
        }
    }

    TranscriptAligner::Alignment alignment;
    QString error;
    QVERIFY2(TranscriptAligner::align(media, text, &alignment, nullptr, nullptr, &error), qPrintable(error));
    QString table;
    int wrong = 0;
    for (qsizetype i = 0; i < spoken.size() && i < alignment.cues.size(); ++i) {
        const Cue &cue = alignment.cues[i];
        const NoisySpeech::Span &truth = speech.spans()[i];
        const bool off = cue.text != spoken[i] || std::abs(cue.start - (truth.start + shiftMs)) > 250
            || std::abs(cue.end - (truth.end + shiftMs)) > 250;
        wrong += off;
        table += QStringLiteral("\n%1 %2-%3 spoken %4-%5%6")
                     .arg(i).arg(cue.start).arg(cue.end).arg(truth.start + shiftMs).arg(truth.end + shiftMs)
                     .arg(off ? QStringLiteral(" <-") : QString());
    }
    QVERIFY2(wrong == 0, qPrintable(table));
    QCOMPARE(alignment.cues.size(), spoken.size());
    QCOMPARE(alignment.unplaced, paragraphSkipped ? skipped : QStringList{});
}

void TstTranscriptAligner::cancelAndRestart()
{
    QTemporaryDir dir;
    const QString media = dir.filePath(QStringLiteral("long.mp3"));
    QVERIFY(mediamaker::makeAudio(media, 600));
    QList<Transcript::Sentence> text;
    for (int i = 0; i < 200; ++i)
        text.append({QStringLiteral("This sentence number %1 is never spoken in the recording.").arg(i), i / 10});

    TranscriptAligner aligner;
    QSignalSpy finished(&aligner, &TranscriptAligner::finished);
    QSignalSpy failed(&aligner, &TranscriptAligner::failed);
    QSignalSpy progressed(&aligner, &TranscriptAligner::progressed);
    aligner.start(media, text);
    QTRY_VERIFY(!progressed.isEmpty());
    QElapsedTimer timer;
    timer.start();
    aligner.cancel();
    QVERIFY2(timer.elapsed() < 5000, "cancel waited for the work");
    QVERIFY(!aligner.isRunning());
    QTest::qWait(300);
    QCOMPARE(finished.count() + failed.count(), 0);

    const QString shortMedia = dir.filePath(QStringLiteral("short.mp3"));
    NoisySpeech speech;
    QVERIFY(speech.make(dir.path(), NoisySpeech::lessonSentences().mid(0, 2), {500}, QStringLiteral("flite:slt")));
    QVERIFY(speech.mix(shortMedia, std::nan("")));
    aligner.start(shortMedia, {{NoisySpeech::lessonSentences()[0], 0}, {NoisySpeech::lessonSentences()[1], 0}});
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
    QCOMPARE(finished[0][0].toString(), shortMedia);
    QCOMPARE(finished[0][1].value<TranscriptAligner::Alignment>().cues.size(), 2);
    QCOMPARE(progressed.last()[0].toInt(), 100);
}

void TstTranscriptAligner::srt()
{
    QCOMPARE(TranscriptAligner::toSrt({{1500, 3723042, QStringLiteral("One.")}, {3723100, 3724000, QStringLiteral("Two.")}}),
             QStringLiteral("1\n00:00:01,500 --> 01:02:03,042\nOne.\n\n2\n01:02:03,100 --> 01:02:04,000\nTwo.\n\n"));
}

QTEST_GUILESS_MAIN(TstTranscriptAligner)
#include "tst_transcriptaligner.moc"
