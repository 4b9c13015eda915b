#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

// What a listener hears, for tests and benchmarks of the sound: a track
// whose sound tells its own time, a recorder of what the default output
// plays, and the marks found in a recording.
namespace soundprobe {

// A track that says where it is: second n (counted from 0, repeating after
// 40) holds a tone of 300 + 25 n Hz at 0.4 of full scale, and each whole
// second starts with a click, 2 ms at 0.95. 48 kHz stereo; extra goes before
// the output name (codec choices). With video, a test picture runs beside.
bool makeTimedTrack(const QString &path, double seconds, const QStringList &extra = {},
                    bool withVideo = false);

// An audio server of the process's own, with one null sink, so that what is
// recorded is this process's sound alone, whatever else plays meanwhile.
// Start it before anything touches the sound, as the toolkit connects to
// the server named in the environment once.
class PrivateSoundServer
{
public:
    PrivateSoundServer() = default;
    ~PrivateSoundServer();
    bool start();

private:
    QProcess m_server;
    QTemporaryDir m_folder;
};

// Records the monitor of the default output, mono 16-bit at rate.
class Recorder
{
public:
    static constexpr int rate = 48000;
    Recorder();
    ~Recorder();
    // Returns once samples arrive; false when the recorder cannot run.
    bool start();
    QVector<qint16> stop();

private:
    QProcess m_process;
    QByteArray m_data;
};

struct Click {
    double at;  // seconds into the recording where the click starts
    int second; // the media second it starts, from the tone after it; -1 unknown
};
// Every click of the track in a recording. A tone of less than toneSeconds
// after a click leaves its second unknown.
QList<Click> clicks(const QVector<qint16> &samples, double toneSeconds = 0.15);

struct Span {
    double from;
    double to;
};
// Runs of silence of at least minSeconds, in recording seconds.
QList<Span> silences(const QVector<qint16> &samples, double minSeconds);

// Frequency (Hz) of the tone in [from, to) recording seconds, from its
// zero crossings.
double toneFrequency(const QVector<qint16> &samples, double from, double to);

} // namespace soundprobe
