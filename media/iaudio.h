#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMutex>

class QAudioSink;
class QIODevice;

// The sound output of a Media: a push-mode QAudioSink on one device, with a
// left and a right volume applied to the samples as they are written.
class IAudio
{
public:
    IAudio();
    virtual ~IAudio(); // closes the output
    Q_DISABLE_COPY_MOVE(IAudio)

    // Makes an output for that format (sampleSize 8 or 16 bits); keeps the
    // current one when its format already matches. False when the device
    // cannot play the format; an older output then stays.
    bool setup(const QAudioDevice &device, int sampleRate, int sampleSize, int channels);
    // Pushes at most bytesFree() bytes, scaling them by the volumes in
    // place; returns the bytes taken (0 without an active output).
    int write(char *data, int length);
    void close();
    // Each value above 0.999 becomes 1, below 0.001 becomes 0.
    void setVolume(double left, double right);

    float leftVolume() const;
    float rightVolume() const;
    bool hasOutput() const;
    // An output exists and is playing or waiting for data.
    bool acceptsData() const;
    QAudioFormat format() const;
    int bytesFree() const; // 0 without an output
    const QAudioSink *output() const;

    // Scales samples in place: 8-bit unsigned or 16-bit signed, the first
    // channel of a stereo frame by left, the second by right; every sample
    // of any other layout by left. Products are cut toward zero.
    static void applyVolume(char *data, int length, int sampleSize, int channels,
                            float left, float right);

private:
    // --- Guarded by m_mutex (the GUI thread sets up and closes, the audio
    // thread writes)
    mutable QMutex m_mutex;
    QAudioFormat m_format;
    QAudioSink *m_output = nullptr;
    QIODevice *m_device = nullptr;
    float m_leftVolume = 0.5f;
    float m_rightVolume = 0.5f;
};
