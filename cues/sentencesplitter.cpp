#include "cues/sentencesplitter.h"

#include <QThread>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>

SentenceSplitter::SentenceSplitter(QObject *parent)
    : QObject(parent)
{
}

SentenceSplitter::~SentenceSplitter()
{
    stopWorker();
}

void SentenceSplitter::stopWorker()
{
    if (m_cancel)
        *m_cancel = true;
    if (m_worker) {
        m_worker->wait();
        m_worker.reset();
    }
}

void SentenceSplitter::cancel()
{
    stopWorker();
}

bool SentenceSplitter::isRunning() const
{
    return m_worker && m_worker->isRunning();
}

void SentenceSplitter::start(const QString &mediaPath, int minPauseMs, int want, const Waveform &known)
{
    stopWorker();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_cancel = cancel;
    m_worker.reset(QThread::create([this, mediaPath, minPauseMs, want, known, cancel] {
#ifdef Q_OS_LINUX
        // Linux's ordinary scheduler ignores Qt's thread priorities, but a
        // nice value there belongs to the one thread: the decoding then
        // yields to playback's threads whenever both want a core.
        setpriority(PRIO_PROCESS, id_t(gettid()), 10);
#endif
        QList<Cue> cues;
        bool ok = true;
        QString error;
        Waveform found;
        // A subtitle stream inside the file is better than any guess.
        bool fromStream = false;
        if (want & Sentences) {
            Subtitles inner;
            fromStream = inner.loadStream(mediaPath, cancel.get());
            if (fromStream)
                cues = inner.cues();
        }
        const bool needPauses = (want & Sentences) && !fromStream;
        const bool needPeaks = (want & Peaks) && known.isNull();
        if (*cancel)
            return;
        if (needPauses && !needPeaks && !known.isNull()) {
            cues = sentences(known.pausesOf(minPauseMs), known.durationMs());
        } else if (needPauses || needPeaks) {
            QList<Pause> pauses;
            int64_t duration = 0;
            ok = findPauses(mediaPath, minPauseMs, &pauses, &duration, cancel.get(), &error,
                            needPeaks ? &found : nullptr);
            if (needPauses)
                cues = sentences(pauses, duration);
        }
        if (*cancel)
            return;
        // Queued to the GUI thread; dropped if this object is gone by then.
        if (ok && !found.isNull()) {
            QMetaObject::invokeMethod(
                this, [this, mediaPath, found] { Q_EMIT waveformReady(mediaPath, found); }, Qt::QueuedConnection);
        }
        if (!(want & Sentences))
            return;
        if (ok) {
            QMetaObject::invokeMethod(this, [this, mediaPath, cues] { Q_EMIT finished(mediaPath, cues); },
                                      Qt::QueuedConnection);
        } else {
            QMetaObject::invokeMethod(this, [this, mediaPath, error] { Q_EMIT failed(mediaPath, error); },
                                      Qt::QueuedConnection);
        }
    }));
    // Playback comes first: the split may take the time it needs.
    m_worker->start(QThread::LowPriority);
}

QList<Cue> SentenceSplitter::sentences(const QList<Pause> &pauses, int64_t durationMs, int minPiece)
{
    QList<Cue> pieces;
    int64_t from = 0;
    for (const Pause &p : pauses) {
        if (p.start > from)
            pieces.append({from, p.start, {}});
        from = std::max(from, p.end);
    }
    if (durationMs > from)
        pieces.append({from, durationMs, {}});

    // Join the shortest piece first, each time to the neighbour it is
    // closer to, until every piece is long enough or one is left.
    while (pieces.size() > 1) {
        qsizetype shortest = -1;
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            const int64_t length = pieces[i].end - pieces[i].start;
            if (length < minPiece && (shortest < 0 || length < pieces[shortest].end - pieces[shortest].start))
                shortest = i;
        }
        if (shortest < 0)
            break;
        const qsizetype i = shortest;
        const int64_t gapBefore = i > 0 ? pieces[i].start - pieces[i - 1].end : -1;
        const int64_t gapAfter = i + 1 < pieces.size() ? pieces[i + 1].start - pieces[i].end : -1;
        const bool withPrevious = gapAfter < 0 || (gapBefore >= 0 && gapBefore <= gapAfter);
        join(pieces, withPrevious ? i - 1 : i);
    }
    return pieces;
}

bool SentenceSplitter::join(QList<Cue> &cues, qsizetype index)
{
    if (index < 0 || index + 1 >= cues.size())
        return false;
    Cue &first = cues[index];
    const Cue &second = cues[index + 1];
    first.end = std::max(first.end, second.end);
    if (!second.text.isEmpty())
        first.text = first.text.isEmpty() ? second.text : first.text + QLatin1Char('\n') + second.text;
    cues.removeAt(index + 1);
    return true;
}

bool SentenceSplitter::split(QList<Cue> &cues, qsizetype index, int64_t atMs)
{
    constexpr int64_t margin = 100;
    if (index < 0 || index >= cues.size())
        return false;
    const Cue cue = cues[index];
    if (atMs < cue.start + margin || atMs > cue.end - margin)
        return false;
    cues[index].end = atMs;
    const auto [before, after] = splitText(cue.text, double(atMs - cue.start) / double(cue.end - cue.start));
    cues[index].text = before;
    cues.insert(index + 1, Cue{atMs, cue.end, after});
    return true;
}

QPair<QString, QString> SentenceSplitter::splitText(const QString &text, double share)
{
    // Where two sentences were joined, a line break: the cut goes there
    // when one lies near the share of time.
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1) {
        qsizetype best = -1;
        double bestAway = 0.25;
        qsizetype chars = 0;
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            chars += lines[i].size() + 1;
            const double away = std::abs(double(chars) / double(text.size()) - share);
            if (away < bestAway) {
                bestAway = away;
                best = i;
            }
        }
        if (best >= 0)
            return {lines.mid(0, best + 1).join(QLatin1Char('\n')), lines.mid(best + 1).join(QLatin1Char('\n'))};
    }
    // Else between the words, where the letters before make up the share:
    // speech runs at about the same pace through a sentence.
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 2)
        return {text, QString()};
    qsizetype letters = 0;
    for (const QString &w : words)
        letters += w.size();
    qsizetype cut = 1;
    qsizetype before = words[0].size();
    double bestAway = std::abs(double(before) / double(letters) - share);
    for (qsizetype i = 1; i + 1 < words.size(); ++i) {
        before += words[i].size();
        const double away = std::abs(double(before) / double(letters) - share);
        if (away < bestAway) {
            bestAway = away;
            cut = i + 1;
        }
    }
    return {words.mid(0, cut).join(QLatin1Char(' ')), words.mid(cut).join(QLatin1Char(' '))};
}
