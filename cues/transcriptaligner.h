#pragma once

#include "cues/subtitles.h"
#include "cues/transcript.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>

class QThread;

// Gives the sentences of a transcript their times in a recording of it:
// espeak-ng speaks the transcript, the recording and the synthesis are
// compared frame by frame (MFCC through aubio) and matched by dynamic time
// warping; each sentence's start and end then move to the edge of the
// nearest pause the level meter found in the recording. A sentence that
// matches nothing in the recording (a paragraph the speaker left out) is
// not placed and is listed instead of guessed.
class TranscriptAligner final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TranscriptAligner)

public:
    struct Alignment {
        QList<Cue> cues;        // the sentences placed, with their text
        QStringList unplaced;   // the sentences that could not be placed
        int64_t durationMs = 0; // of the recording
    };

    // A start or end moves to the edge of a pause at most this far away.
    static constexpr int snapMs = 600;
    // Pauses shorter than this are taken for the gaps between words.
    static constexpr int minPauseMs = 150;
    // A sentence is not placed when the warp jumped over it, or squeezed
    // it into less than this share of what its synthesis leads one to
    // expect.
    static constexpr double minLengthShare = 0.3;

    explicit TranscriptAligner(QObject *parent = nullptr);
    ~TranscriptAligner() override; // cancels and waits for the work

    // Aligns in the background, cancelling any earlier run; progressed()
    // comes on the way, then finished() or failed(), unless cancel() comes
    // first.
    void start(const QString &mediaPath, const QList<Transcript::Sentence> &sentences);
    void cancel();
    bool isRunning() const;

    // The work itself, on the calling thread and one more. percent, when
    // given, follows it from 0 to 100. Returns false with a message in
    // error when the file has no sound, espeak-ng cannot speak, or cancel
    // became true.
    static bool align(const QString &mediaPath, const QList<Transcript::Sentence> &sentences,
                      Alignment *result, const std::atomic<bool> *cancel = nullptr,
                      std::atomic<int> *percent = nullptr, QString *error = nullptr);

    // The cues as SubRip text.
    static QString toSrt(const QList<Cue> &cues);

Q_SIGNALS:
    void progressed(int percent);
    void finished(const QString &mediaPath, const TranscriptAligner::Alignment &alignment);
    void failed(const QString &mediaPath, const QString &message);

private:
    void stopWorker();

    std::unique_ptr<QThread> m_worker;
    // --- Written by the GUI thread, polled by the worker (atomic); each run
    // gets its own flag.
    std::shared_ptr<std::atomic<bool>> m_cancel;
    // --- Written by the worker, read by the GUI thread's timer (atomic)
    std::shared_ptr<std::atomic<int>> m_percent;
    int m_told = -1; // the percentage last signalled
    QTimer *m_progressTimer = new QTimer(this);
};

Q_DECLARE_METATYPE(TranscriptAligner::Alignment)
