#pragma once

#include <QString>
#include <QStringList>

// Makes real media files with the ffmpeg command line, for tests that need
// the engine to read, decode and play something.
namespace mediamaker {

// Runs ffmpeg with -y -loglevel error and the given arguments. Returns
// false (and prints ffmpeg's complaint) when it fails or times out.
bool ffmpeg(const QStringList &arguments);

// A test-pattern video with a sine tone. extra goes before the output name
// (codec choices and such). seconds may be fractional.
bool makeVideo(const QString &path, double seconds, int width = 320, int height = 240,
               int fps = 25, const QStringList &extra = {});

// A sine tone alone.
bool makeAudio(const QString &path, double seconds, const QStringList &extra = {});

} // namespace mediamaker
