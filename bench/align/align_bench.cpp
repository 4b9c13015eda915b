// align_bench MEDIA TEXT prints the transcript TEXT aligned with MEDIA as
// SubRip on standard output, then "align_ms_per_media_minute" on standard
// error.
//
// align_bench [SENTENCES] makes a test set of its own: SENTENCES sentences
// (300 unless given) in paragraphs, spoken by flite's and festival's voices
// (not espeak-ng, which the aligner speaks with) at three speaking rates,
// with pauses of 250 to 900 ms, clean and with pink noise 20 dB under the
// speech, as MP3. For each condition it prints the share of sentence starts
// and ends aligned within 100 ms and within 250 ms of where they were
// spoken ("within_100ms_clean: 0.97"), then the time to align ten minutes
// of speech, and the time to align all of them in one recording.

#include "cues/transcriptaligner.h"
#include "tests/cues/noisyspeech.h"
#include "tests/support/mediamaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

// Sentences of our own, made from parts at random with a fixed seed: of
// 5 to 20 words, some with a comma (a pause inside a sentence) and some
// with an abbreviation.
QStringList makeSentences(int count)
{
    const QStringList who{QStringLiteral("My neighbour"), QStringLiteral("The young doctor"),
                          QStringLiteral("Our teacher"), QStringLiteral("Mr. Brown"), QStringLiteral("A tall man"),
                          QStringLiteral("The children"), QStringLiteral("Dr. Lee"), QStringLiteral("Her sister"),
                          QStringLiteral("Everyone in the village"), QStringLiteral("The old farmer")};
    const QStringList did{QStringLiteral("carried a heavy box"), QStringLiteral("walked slowly"),
                          QStringLiteral("painted the kitchen wall"), QStringLiteral("wrote a long letter"),
                          QStringLiteral("bought fresh bread and milk"), QStringLiteral("lost the keys again"),
                          QStringLiteral("found a small black cat"), QStringLiteral("sang an old song"),
                          QStringLiteral("cooked dinner for twelve people"), QStringLiteral("read the morning paper")};
    const QStringList where{QStringLiteral("to the station"), QStringLiteral("in the garden"),
                            QStringLiteral("near the river"), QStringLiteral("at the market"),
                            QStringLiteral("behind the library"), QStringLiteral("in the U.S. embassy"),
                            QStringLiteral("on the hill"), QStringLiteral("by the sea")};
    const QStringList when{QStringLiteral("yesterday"), QStringLiteral("last winter"),
                           QStringLiteral("before breakfast"), QStringLiteral("every Sunday"),
                           QStringLiteral("after the storm"), QStringLiteral("at nine o'clock")};
    const QStringList because{QStringLiteral("because it was raining"), QStringLiteral("although nobody asked"),
                              QStringLiteral("while the others were sleeping"),
                              QStringLiteral("since the shops were closed")};
    QRandomGenerator random(2024);
    auto pick = [&random](const QStringList &list) { return list.at(int(random.bounded(quint32(list.size())))); };
    QStringList sentences;
    for (int i = 0; i < count; ++i) {
        QString s = pick(who) + QLatin1Char(' ') + pick(did);
        if (random.bounded(3) > 0)
            s += QLatin1Char(' ') + pick(where);
        if (random.bounded(2))
            s += QLatin1Char(' ') + pick(when);
        if (random.bounded(4) == 0)
            s += QLatin1String(", ") + pick(because);
        const int end = int(random.bounded(8));
        s += end == 0 ? QStringLiteral("?") : end == 1 ? QStringLiteral("!") : QStringLiteral(".");
        if (end == 0)
            s = QStringLiteral("Did you know that ") + s.at(0).toLower() + s.mid(1);
        sentences.append(s);
    }
    return sentences;
}

struct Score {
    int edges = 0;
    int within100 = 0;
    int within250 = 0;
    void add(const QList<NoisySpeech::Span> &truth, const QStringList &texts, const QList<Cue> &cues)
    {
        for (qsizetype i = 0; i < truth.size(); ++i) {
            edges += 2;
            const auto it = std::find_if(cues.begin(), cues.end(), [&](const Cue &c) { return c.text == texts[i]; });
            if (it == cues.end())
                continue;
            for (const int64_t error : {it->start - truth[i].start, it->end - truth[i].end}) {
                within100 += std::abs(error) <= 100;
                within250 += std::abs(error) <= 250;
            }
        }
    }
};

QList<Transcript::Sentence> asTranscript(const QStringList &sentences, int perParagraph)
{
    QList<Transcript::Sentence> list;
    for (qsizetype i = 0; i < sentences.size(); ++i)
        list.append({sentences[i], int(i / perParagraph)});
    return list;
}

// Aligns and times; false, with the reason on standard error, when it
// cannot.
bool timedAlign(const QString &media, const QList<Transcript::Sentence> &text, TranscriptAligner::Alignment *alignment,
                double *ms)
{
    QString error;
    QElapsedTimer timer;
    timer.start();
    if (!TranscriptAligner::align(media, text, alignment, nullptr, nullptr, &error)) {
        fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    *ms = double(timer.elapsed());
    return true;
}

int alignOne(const QString &media, const QString &textPath)
{
    Transcript transcript;
    if (!transcript.load(textPath)) {
        fprintf(stderr, "%s\n", qPrintable(transcript.errorString()));
        return 1;
    }
    TranscriptAligner::Alignment alignment;
    double ms = 0;
    if (!timedAlign(media, transcript.sentences(), &alignment, &ms))
        return 1;
    fputs(TranscriptAligner::toSrt(alignment.cues).toUtf8().constData(), stdout);
    fprintf(stderr, "unplaced_sentences: %lld\n", static_cast<long long>(alignment.unplaced.size()));
    fprintf(stderr, "align_ms_per_media_minute: %.0f\n", ms / (double(alignment.durationMs) / 60000.0));
    return 0;
}

int measure(int count)
{
    QTemporaryDir dir;
    const QStringList sentences = makeSentences(count);
    QStringList voices{QStringLiteral("flite:slt@1"), QStringLiteral("flite:awb@1.25"),
                       QStringLiteral("flite:rms@0.85"), QStringLiteral("flite:kal16@1.1")};
    if (!QStandardPaths::findExecutable(QStringLiteral("text2wave")).isEmpty())
        voices << QStringLiteral("festival:kal_diphone@1") << QStringLiteral("festival:cmu_us_slt_arctic_hts@1.2");
    const qsizetype share = (sentences.size() + voices.size() - 1) / voices.size();
    Score clean;
    Score noisy;
    double alignedMs = 0;
    double mediaMs = 0;
    QRandomGenerator random(11);
    for (qsizetype v = 0; v < voices.size(); ++v) {
        const QStringList part = sentences.mid(v * share, share);
        if (part.isEmpty())
            break;
        QList<int> pauses;
        for (qsizetype i = 0; i < part.size(); ++i)
            pauses.append(250 + int(random.bounded(650)) + ((i + 1) % 5 == 0 ? 500 : 0));
        NoisySpeech speech;
        const QString folder = dir.filePath(QString::number(v));
        QDir().mkpath(folder);
        if (!speech.make(folder, part, pauses, voices[v])) {
            fprintf(stderr, "cannot speak with %s\n", qPrintable(voices[v]));
            return 1;
        }
        for (const bool withNoise : {false, true}) {
            const QString mp3 = QDir(folder).filePath(withNoise ? QStringLiteral("noisy.mp3") : QStringLiteral("clean.mp3"));
            if (!speech.mix(mp3, withNoise ? 20.0 : std::nan(""), {QStringLiteral("-b:a"), QStringLiteral("96k")}))
                return 1;
            TranscriptAligner::Alignment alignment;
            double ms = 0;
            if (!timedAlign(mp3, asTranscript(part, 5), &alignment, &ms))
                return 1;
            alignedMs += ms;
            mediaMs += double(alignment.durationMs);
            Score one;
            one.add(speech.spans(), part, alignment.cues);
            (withNoise ? noisy : clean).add(speech.spans(), part, alignment.cues);
            printf("%s_%s: within_100ms %.3f within_250ms %.3f unplaced %lld\n", qPrintable(voices[v]),
                   withNoise ? "noise20db" : "clean", double(one.within100) / one.edges,
                   double(one.within250) / one.edges, static_cast<long long>(alignment.unplaced.size()));
            fflush(stdout);
        }
    }
    // The whole test set spoken in one recording, every voice after the
    // other: the time a long lesson takes, on this machine's cores.
    QString list;
    for (qsizetype v = 0; v < voices.size(); ++v) {
        const QString mp3 = QDir(dir.filePath(QString::number(v))).filePath(QStringLiteral("clean.mp3"));
        if (QFile::exists(mp3))
            list += QStringLiteral("file '%1'\n").arg(mp3);
    }
    const QString listFile = dir.filePath(QStringLiteral("list.txt"));
    const QString whole = dir.filePath(QStringLiteral("whole.mp3"));
    QFile listOut(listFile);
    if (!listOut.open(QIODevice::WriteOnly) || listOut.write(list.toUtf8()) < 0)
        return 1;
    listOut.close();
    if (!mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("concat"), QStringLiteral("-safe"), QStringLiteral("0"),
                             QStringLiteral("-i"), listFile, QStringLiteral("-c"), QStringLiteral("copy"), whole}))
        return 1;
    {
        TranscriptAligner::Alignment alignment;
        double ms = 0;
        if (!timedAlign(whole, asTranscript(sentences, 5), &alignment, &ms))
            return 1;
        const double seconds = ms / 1000.0;
        printf("whole_recording_minutes: %.1f\nwhole_align_s: %.1f\nwhole_placed: %lld of %lld\n",
               double(alignment.durationMs) / 60000.0, seconds, static_cast<long long>(alignment.cues.size()),
               static_cast<long long>(sentences.size()));
    }
    printf("sentences: %lld\n", static_cast<long long>(sentences.size()));
    printf("within_100ms_clean: %.3f\nwithin_250ms_clean: %.3f\n", double(clean.within100) / clean.edges,
           double(clean.within250) / clean.edges);
    printf("within_100ms_noise20db: %.3f\nwithin_250ms_noise20db: %.3f\n", double(noisy.within100) / noisy.edges,
           double(noisy.within250) / noisy.edges);
    printf("align_ms_per_media_minute: %.0f\n", alignedMs / (mediaMs / 60000.0));
    printf("align_s_per_10_media_minutes: %.1f\n", alignedMs / (mediaMs / 600000.0) / 1000.0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2)
        return alignOne(args[0], args[1]);
    return measure(args.isEmpty() ? 300 : args[0].toInt());
}
