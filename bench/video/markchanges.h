#pragma once

#include <QList>
#include <QSize>
#include <QString>

// A learner changing the marks of a video's passage while it plays, as
// video_bench watches it: for each change, what the first restart after it
// looks and sounds like; over the whole session, every stall of the
// pictures and every break in the sound.
namespace markchanges {

struct Change {
    QString gesture;            // the keys, "F7/F8" or "F1" to "F4"
    double pictureGapMs = -1.0; // -1: no restart followed
    double soundGapMs = 0.0;
};

struct Session {
    QList<Change> changes;
    double seconds = 0.0; // wall seconds from the first picture to the last
    int soundGaps = 0;    // silences of 15 ms or more inside the sound
    double longestSoundGapMs = 0.0;
    int pictureStalls = 0; // a picture standing for more than 2 frame times
    double longestPictureStallMs = 0.0;
};

// The whole file plays from 2 s before at (media seconds). Once the picture
// at at is on screen, the start mark is set at the picture shown (F7), 1.5
// media seconds later the end mark likewise (F8), and the passage repeats
// 3 rounds.
Session setWhilePlaying(const QString &file, double at, double speed, QSize size);

// The passage [in, out) (media seconds) repeats. In the middle of a round
// the start mark moves 100 ms earlier (F1); in later rounds it moves back
// (F2), then the end mark moves 100 ms earlier (F3) and back (F4). A whole
// round follows the restart after each change.
Session nudged(const QString &file, double in, double out, double speed, QSize size);

} // namespace markchanges
