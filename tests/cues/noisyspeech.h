#pragma once

#include "cues/subtitles.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

// A recording of spoken English sentences for measuring how the sentence
// finder and the transcript aligner cope with noise: synthesised by the
// espeak-ng, flite or festival command line, laid
// out with pauses of known length, and mixed with pink noise by the ffmpeg
// command line (anoisesrc, amix) at a chosen signal-to-noise ratio. The
// signal is the mean power of the speech itself, pauses left out.
class NoisySpeech final
{
public:
    // Eight sentences without commas (a comma pause would split them), of
    // about four seconds each.
    static QStringList lessonSentences();

    // Speaks the sentences into folder, one after the other with the given
    // pauses between them (ms; the last is repeated as needed) and one
    // second of quiet at either end. voice: an espeak-ng voice, or
    // "flite:<voice>" or "festival:<voice>", each optionally with
    // "@<stretch>" (1.2 speaks 20 % slower). False when the speaker or
    // ffmpeg fails.
    bool make(const QString &folder, const QStringList &sentences, const QList<int> &pausesMs,
              const QString &voice = QStringLiteral("en-us"));
    // Writes the speech to path with pink noise snrDb under it; clicks puts
    // a loud 15 ms click in the middle of every pause. encoder: ffmpeg's
    // output arguments, the format's default when empty. No noise when
    // snrDb is NaN.
    bool mix(const QString &path, double snrDb, const QStringList &encoder = {}, bool clicks = false) const;

    // Where each sentence starts and ends, in ms from the start.
    struct Span {
        int64_t start = 0;
        int64_t end = 0;
    };
    const QList<Span> &spans() const { return m_spans; }
    double seconds() const { return double(m_speech.size()) / rate; }
    // How many sentences one of the cues matches, start and end each within
    // toleranceMs.
    int found(const QList<Cue> &cues, int toleranceMs = 250) const;

    static constexpr int rate = 22050; // Hz, espeak-ng's own

private:
    QString m_folder;
    QVector<float> m_speech;
    double m_speechPower = 0; // mean square of the spoken parts
    double m_noisePower = 0;  // mean square of the noise before its gain
    QList<Span> m_spans;
};
