#pragma once

#include <QString>

#include <cstdint>
#include <optional>

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

    // Entries beyond this many, the least recently stored go.
    static constexpr int maxEntries = 200;

    // settingsFile: the INI file that holds the entries.
    explicit FileMemory(const QString &settingsFile);

    // The key of a file as it is now; empty when it does not exist.
    static QString keyOf(const QString &mediaFile);

    std::optional<State> recall(const QString &mediaFile) const;
    void remember(const QString &mediaFile, const State &state);

private:
    QString m_settingsFile;
};
