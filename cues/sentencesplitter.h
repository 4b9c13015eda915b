#pragma once

#include "cues/subtitles.h"
#include "cues/waveform.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class QThread;

// Finds the sentences of a recording that has no subtitles: decodes its
// sound once on a thread of its own, measures its loudness in windows of
// 10 ms on the decoded samples and cuts it at the pauses. The sentences are
// cues without text.
class SentenceSplitter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SentenceSplitter)

public:
    // A stretch of quiet, in ms of media time from the file's first moment.
    using Pause = QuietSpan;

    // What a run is asked for: the sentences, the waveform, or both.
    enum Want { Sentences = 1, Peaks = 2 };

    static constexpr int defaultMinPauseMs = 300;
    // Pieces shorter than this are joined to a neighbour: a word or a breath
    // alone is not worth practising.
    static constexpr int minPieceMs = 1000;
    // The lines between pause and speech come from the recording itself
    // (LevelMeter::pauses): its noise floor, the level its 10 ms windows
    // stay above nine times in ten, and its speech, the level a twentieth
    // of them reach. A pause starts below noise + margin, the margin being
    // speechShare of the distance up to the speech, held within
    // minMarginDb..maxMarginDb; it ends only at a stretch above that line
    // that is at least minSpeechMs long and reaches hysteresisDb higher
    // somewhere, so that a click, a breath or a swell of the noise does
    // not end it. All in dB of full scale, and ms.
    static constexpr int noisePercentile = 10;
    static constexpr int speechPercentile = 95;
    static constexpr double speechShare = 0.3;
    static constexpr double minMarginDb = 6.0;
    static constexpr double maxMarginDb = 12.0;
    static constexpr double hysteresisDb = 4.0;
    static constexpr int minSpeechMs = 60;
    // Speech that stands out less than this from the noise is not told
    // apart from it: the recording is then one piece.
    static constexpr double minContrastDb = 10.0;
    // Under this lie only digital quiet and the faintest hiss: a floor
    // lower still counts as this one.
    static constexpr double floorDb = -70.0;

    explicit SentenceSplitter(QObject *parent = nullptr);
    ~SentenceSplitter() override; // cancels and waits for the work

    // Starts finding the file's sentences in the background, cancelling any
    // earlier run: the cues of a text subtitle stream inside the file when
    // it has one, else the speech between pauses. finished() or failed()
    // follows, unless cancel() comes first. want holds Peaks when the
    // file's waveform is wanted as well, or alone: it comes from the same
    // decoding, through waveformReady() before finished(). A known
    // waveform (from the cache) gives the pauses without decoding.
    void start(const QString &mediaPath, int minPauseMs = defaultMinPauseMs, int want = Sentences,
               const Waveform &known = {});
    void cancel();
    bool isRunning() const;

    // The work itself, on the calling thread, helped on a long recording
    // by a thread for each further core. Returns false with a message
    // in error when the file has no sound that can be decoded, or when
    // cancel became true. durationMs receives the length of the sound, and
    // waveform, when given, the sound's peaks with its pauses of at least
    // Waveform::minPauseMs.
    static bool findPauses(const QString &mediaPath, int minPauseMs, QList<Pause> *pauses,
                           int64_t *durationMs, const std::atomic<bool> *cancel = nullptr,
                           QString *error = nullptr, Waveform *waveform = nullptr);
    // The speech between the pauses, with pieces shorter than minPiece
    // joined to the neighbour across the shorter pause.
    static QList<Cue> sentences(const QList<Pause> &pauses, int64_t durationMs,
                                int minPiece = minPieceMs);
    // Joins cue index with the one after it; false when there is none.
    static bool join(QList<Cue> &cues, qsizetype index);
    // Cuts cue index in two at atMs; false unless atMs lies inside it, at
    // least a tenth of a second from both ends. Its text is cut too, at
    // the place that share of its time falls on (splitText).
    static bool split(QList<Cue> &cues, qsizetype index, int64_t atMs);
    // A cue's text cut where share (0 to 1) of its time falls: at a line
    // break that joins two sentences when one lies near, else between the
    // words whose letters make up that share.
    static QPair<QString, QString> splitText(const QString &text, double share);

Q_SIGNALS:
    void finished(const QString &mediaPath, const QList<Cue> &cues);
    void waveformReady(const QString &mediaPath, const Waveform &waveform);
    void failed(const QString &mediaPath, const QString &message);

private:
    void stopWorker();

    std::unique_ptr<QThread> m_worker;
    // --- Written by the GUI thread, polled by the worker (atomic); each run
    // gets its own flag, so a late run never sees the next one's.
    std::shared_ptr<std::atomic<bool>> m_cancel;
};
