#pragma once

#include <QMetaType>
#include <QString>

// The learner's settings, kept in the settings file of the user's
// configuration folder. Lengths are seconds of media time.
struct Preferences
{
    // Resuming after a hold goes back this far, so the learner hears again
    // the words he stopped in.
    double rewindSeconds = 2.0;
    static constexpr double maxRewindSeconds = 10.0;
    // Forward and Backward.
    double jumpSeconds = 30.0;
    // The short replay key.
    double replaySeconds = 3.0;
    // One nudge of a mark (F1 to F4).
    double nudgeSeconds = 0.1;
    // How often a marked passage plays before playback goes on; 0 repeats
    // it endlessly.
    int loopCount = 0;
    // The speed a file starts at the first time it is opened.
    double defaultSpeed = 1.0;
    // Sentence practice: the margin kept before and after each sentence
    // (ms), holding after each one, and how often each one plays.
    int paddingMs = 150;
    static constexpr int maxPaddingMs = 500;
    bool autoPause = false;
    int sentenceRepeats = 1;
    static constexpr int maxSentenceRepeats = 9;

    // Reads the settings, holding each value within its range; missing
    // values keep their defaults.
    static Preferences load(const QString &settingsFile);
    void save(const QString &settingsFile) const;

    bool operator==(const Preferences &) const = default;
};
Q_DECLARE_METATYPE(Preferences)
