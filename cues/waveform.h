#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <utility>

// A stretch of quiet, in ms of media time from the file's first moment.
struct QuietSpan {
    int64_t start = 0;
    int64_t end = 0;
    bool operator==(const QuietSpan &other) const = default;
};

// What the waveform strip draws of a recording: the lowest and the highest
// sample of every 10 ms, as signed bytes (full scale 127), and its pauses
// for marks to snap to. It comes from the pass that finds the sentences,
// and is kept per file in the user's cache folder, so that a file opened
// again draws at once. Two bytes per 10 ms: 720 KB per hour of sound.
// A value type; copies share the data.
class Waveform final
{
public:
    static constexpr int bucketMs = 10;
    // The shortest pause kept: the shortest a learner can ask sentences to
    // be cut at, so that the sentences can be found again from these.
    static constexpr int minPauseMs = 100;

    Waveform() = default;
    // peaks: min and max bytes, bucket after bucket, from the first moment.
    Waveform(QByteArray peaks, int64_t durationMs, QList<QuietSpan> pauses);

    bool isNull() const { return m_peaks.isEmpty(); }
    int64_t durationMs() const { return m_durationMs; }
    qsizetype bucketCount() const { return m_peaks.size() / 2; }
    // Lowest and highest sample, -127..127, over the buckets from first to
    // last (inclusive, clamped to those there are); {0, 0} over none.
    std::pair<int, int> range(qsizetype first, qsizetype last) const;
    // The loudest peak of the whole file, 1..127: what drawing scales to.
    int loudest() const { return m_loudest; }
    const QList<QuietSpan> &pauses() const { return m_pauses; }
    // The pauses at least minMs long.
    QList<QuietSpan> pausesOf(int minMs) const;
    // The pause edge nearest to ms, when one lies within reachMs; else ms.
    int64_t snap(int64_t ms, int64_t reachMs) const;

    // The cache file of mediaPath in folder, named by its path, size and
    // time of change: an edited or replaced file gets a new one.
    static QString cacheFile(const QString &folder, const QString &mediaPath);
    // Written whole or not at all; false when it cannot be.
    bool save(const QString &file) const;
    // A null waveform when the file is missing, not one of ours or damaged.
    static Waveform load(const QString &file);

private:
    QByteArray m_peaks;
    int64_t m_durationMs = 0;
    QList<QuietSpan> m_pauses;
    int m_loudest = 1;
};
