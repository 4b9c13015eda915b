#include "tests/cues/noisyspeech.h"

#include "tests/support/mediamaker.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtDebug>

#include <algorithm>
#include <cmath>

namespace {

// The sound of an input as mono float samples at NoisySpeech::rate.
QVector<float> samples(const QStringList &input)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error")} + input
                     + QStringList{QStringLiteral("-f"), QStringLiteral("f32le"), QStringLiteral("-ac"),
                                   QStringLiteral("1"), QStringLiteral("-ar"),
                                   QString::number(NoisySpeech::rate), QStringLiteral("-")});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        qWarning() << "ffmpeg cannot decode" << input << ffmpeg.readAllStandardError();
        return {};
    }
    const QByteArray bytes = ffmpeg.readAllStandardOutput();
    QVector<float> out(bytes.size() / qsizetype(sizeof(float)));
    memcpy(out.data(), bytes.constData(), size_t(out.size()) * sizeof(float));
    return out;
}

QString pinkNoise(double seconds)
{
    // A fixed seed: every run measures against the same noise.
    return QStringLiteral("anoisesrc=color=pink:seed=7:amplitude=0.5:sample_rate=%1:duration=%2")
        .arg(NoisySpeech::rate)
        .arg(seconds, 0, 'f', 3);
}

double meanSquare(const float *p, qsizetype n)
{
    double sum = 0;
    for (qsizetype i = 0; i < n; ++i)
        sum += double(p[i]) * p[i];
    return n > 0 ? sum / double(n) : 0;
}

// Speaks text into wav with voice: an espeak-ng voice ("en-us"), or
// "flite:<voice>" and "festival:<voice>" for speech espeak-ng did not make,
// either with "@<stretch>" for a slower (above 1) or faster speaker.
bool speak(const QString &voice, const QString &text, const QString &wav)
{
    const QString name = voice.section(QLatin1Char('@'), 0, 0);
    const QString stretch = voice.contains(QLatin1Char('@')) ? voice.section(QLatin1Char('@'), 1) : QStringLiteral("1");
    QProcess speaker;
    if (name.startsWith(QLatin1String("flite:"))) {
        speaker.start(QStringLiteral("flite"),
                      {QStringLiteral("-voice"), name.mid(6), QStringLiteral("--setf"),
                       QStringLiteral("duration_stretch=") + stretch, QStringLiteral("-t"), text, QStringLiteral("-o"), wav});
    } else if (name.startsWith(QLatin1String("festival:"))) {
        speaker.start(QStringLiteral("text2wave"),
                      {QStringLiteral("-eval"), QStringLiteral("(voice_%1)").arg(name.mid(9)), QStringLiteral("-eval"),
                       QStringLiteral("(Parameter.set 'Duration_Stretch %1)").arg(stretch), QStringLiteral("-o"), wav});
        speaker.waitForStarted();
        speaker.write(text.toUtf8());
        speaker.closeWriteChannel();
    } else {
        const int wordsPerMinute = int(std::lround(140 / stretch.toDouble()));
        speaker.start(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), name, QStringLiteral("-s"),
                                                    QString::number(wordsPerMinute), QStringLiteral("-w"), wav, text});
    }
    if (!speaker.waitForFinished(60000) || speaker.exitCode() != 0) {
        qWarning() << voice << "failed:" << speaker.readAllStandardError();
        return false;
    }
    return true;
}

} // namespace

QStringList NoisySpeech::lessonSentences()
{
    return {QStringLiteral("The weather was cold and grey when we left the house this morning."),
            QStringLiteral("My brother works in a small shop near the station."),
            QStringLiteral("Please remember to bring your books to the next lesson."),
            QStringLiteral("She has been learning to play the piano for three years."),
            QStringLiteral("We stopped at a cafe and ordered two cups of hot tea."),
            QStringLiteral("The children were playing happily in the garden after school."),
            QStringLiteral("I think the train will be late again because of the snow."),
            QStringLiteral("Thank you very much for listening to this short story.")};
}

bool NoisySpeech::make(const QString &folder, const QStringList &sentences, const QList<int> &pausesMs,
                       const QString &voice)
{
    m_folder = folder;
    m_speech = QVector<float>(rate, 0.0f);
    m_spans.clear();
    double energy = 0;
    qsizetype spoken = 0;
    for (qsizetype i = 0; i < sentences.size(); ++i) {
        const QString wav = QDir(folder).filePath(QStringLiteral("sentence%1.wav").arg(i));
        if (!speak(voice, sentences.at(i), wav))
            return false;
        const QVector<float> sound = samples({QStringLiteral("-i"), wav});
        // The sentence is where the voice is: espeak-ng's own lead-in and
        // tail are digital quiet; flite and festival lead in with a faint
        // hiss, some 60 dB under the voice, that no listener hears as speech.
        float peak = 0;
        for (const float v : sound)
            peak = std::max(peak, std::abs(v));
        const bool espeak = !voice.startsWith(QLatin1String("flite:")) && !voice.startsWith(QLatin1String("festival:"));
        const float quiet = espeak ? 1e-3f : std::max(1e-3f, peak * 0.01f);
        qsizetype first = 0;
        qsizetype last = sound.size() - 1;
        while (first <= last && std::abs(sound[first]) < quiet)
            ++first;
        while (last >= first && std::abs(sound[last]) < quiet)
            --last;
        if (first > last)
            return false;
        const qsizetype at = m_speech.size();
        m_speech.append(sound.mid(first, last - first + 1));
        m_spans.append({at * 1000 / rate, m_speech.size() * 1000 / rate});
        energy += meanSquare(m_speech.constData() + at, m_speech.size() - at) * double(m_speech.size() - at);
        spoken += m_speech.size() - at;
        const int pause = i + 1 < sentences.size() ? pausesMs.value(i, pausesMs.last()) : 1000;
        m_speech.append(QVector<float>(qsizetype(pause) * rate / 1000, 0.0f));
    }
    m_speechPower = energy / double(spoken);
    const QVector<float> noise = samples({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                          pinkNoise(seconds())});
    m_noisePower = meanSquare(noise.constData(), noise.size());
    return m_noisePower > 0;
}

bool NoisySpeech::mix(const QString &path, double snrDb, const QStringList &encoder, bool clicks) const
{
    QVector<float> speech = m_speech;
    if (clicks) {
        for (qsizetype i = 0; i + 1 < m_spans.size(); ++i) {
            const qsizetype middle = (m_spans[i].end + m_spans[i + 1].start) / 2 * rate / 1000;
            for (qsizetype k = 0; k < rate * 15 / 1000; ++k)
                speech[middle + k] = (k % 2 ? 0.6f : -0.6f) * float(1.0 - double(k) / (rate * 15 / 1000));
        }
    }
    const QString raw = QDir(m_folder).filePath(QStringLiteral("speech.f32"));
    {
        QFile file(raw);
        const auto bytes = qsizetype(speech.size() * sizeof(float));
        if (!file.open(QIODevice::WriteOnly)
            || file.write(reinterpret_cast<const char *>(speech.constData()), bytes) != bytes)
            return false;
    }
    QStringList args{QStringLiteral("-f"), QStringLiteral("f32le"), QStringLiteral("-ar"), QString::number(rate),
                     QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-i"), raw};
    if (!std::isnan(snrDb)) {
        const QString noise = pinkNoise(seconds());
        const double gainDb = 10.0 * std::log10(m_speechPower / m_noisePower) - snrDb;
        // Half the level overall, for the sum to stay clear of full scale.
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i") << noise
             << QStringLiteral("-filter_complex")
             << QStringLiteral("[1]volume=%1dB[n];[0][n]amix=inputs=2:normalize=0:duration=first,volume=0.5")
                    .arg(gainDb, 0, 'f', 2);
    }
    return mediamaker::ffmpeg(args + encoder + QStringList{path});
}

int NoisySpeech::found(const QList<Cue> &cues, int toleranceMs) const
{
    int count = 0;
    for (const Span &s : m_spans) {
        for (const Cue &c : cues) {
            if (std::abs(c.start - s.start) <= toleranceMs && std::abs(c.end - s.end) <= toleranceMs) {
                ++count;
                break;
            }
        }
    }
    return count;
}
