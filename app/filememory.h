#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

class QSettings;

// What the player remembers of each media file between runs, so that a
// learner who reopens a lesson goes on with the same passage. Entries are
// keyed by the file's path, size and modification time: a file replaced
// by another of the same name starts afresh.
class FileMemory final
{
public:
    struct State
    {
        int64_t position = 0; // ticks of the reference stream
        int64_t markIn = 0;
        int64_t markOut = 0;
        bool loop = false;    // a passage narrower than the file was marked
        double speed = 1.0;
    };

    // What the learner did to a file's sentences: his joins and splits, as
    // steps to take again on the sentences found the next time ("join S"
    // joins the sentence starting at S ms with the next, "split S A" cuts
    // it at A ms), and the starts (ms) of the sentences whose text he had
    // to reveal.
    struct Sentences
    {
        QStringList edits;
        QList<qint64> revealed;
        bool operator==(const Sentences &) const = default;
    };

    // Entries beyond this many, the least recently stored go.
    static constexpr int maxEntries = 200;

    // settingsFile: the INI file that holds the entries.
    explicit FileMemory(const QString &settingsFile);

    // The key of a file as it is now; empty when it does not exist.
    static QString keyOf(const QString &mediaFile);

    std::optional<State> recall(const QString &mediaFile) const;
    void remember(const QString &mediaFile, const State &state);
    // Empty for a file of which nothing is remembered.
    Sentences recallSentences(const QString &mediaFile) const;
    void rememberSentences(const QString &mediaFile, const Sentences &sentences);

private:
    // Writes the file's entry through write, then notes when.
    void store(const QString &mediaFile, const std::function<void(QSettings &)> &write);
    // Keeps at most maxEntries files, dropping the least recently stored.
    static void prune(QSettings &settings);

    QString m_settingsFile;
};
