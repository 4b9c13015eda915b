#include "media/iaudio.h"

#include <QAudioSink>
#include <QLoggingCategory>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

Q_LOGGING_CATEGORY(lcSound, "vantiro.sound", QtInfoMsg)

IAudio::IAudio()
{
    m_format.setSampleRate(48000);
    m_format.setChannelCount(2);
    m_format.setSampleFormat(QAudioFormat::Int16);
}

IAudio::~IAudio()
{
    close();
}

bool IAudio::setup(const QAudioDevice &device, int sampleRate, int sampleSize, int channels)
{
    // An output replaced is deleted after the lock is let go (see close()).
    std::unique_ptr<QAudioSink> replaced;
    QMutexLocker locker(&m_mutex);
    const QAudioFormat::SampleFormat sampleFormat =
        sampleSize == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16;
    if (m_output && m_format.sampleRate() == sampleRate && m_format.channelCount() == channels
        && m_format.sampleFormat() == sampleFormat)
        return true;
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(channels);
    format.setSampleFormat(sampleFormat);
    // The samples are written as decoded, so the device must take this very
    // format; there is no converting to a nearby one.
    if (device.isNull() || !device.isFormatSupported(format)) {
        qCDebug(lcSound) << "no sound output for" << format << "on"
                         << (device.isNull() ? QStringLiteral("no device") : device.description());
        return false;
    }
    if (m_output) {
        m_output->stop();
        replaced.reset(m_output);
        m_output = nullptr;
        m_device = nullptr;
    }
    m_format = format;
    m_output = new QAudioSink(device, format);
    restartStream();
    return true;
}

void IAudio::restartStream()
{
    // A short buffer: a seek is heard after what the output holds, and the
    // place heard is known to within what it holds. It is asked for on every
    // start, as Qt's PulseAudio output otherwise asks the server for what it
    // was granted the last time, and the server grants a little less than
    // asked: after some hundred holds and replays the buffer would hold
    // half a millisecond, and the sound would break up.
    m_output->setBufferSize(m_format.bytesForDuration(bufferMicroseconds));
    m_device = m_output->start();
    m_written = 0;
    m_segments.clear();
    if (!m_device || m_output->error() != QAudio::NoError)
        qCWarning(lcSound) << "the sound output did not start:" << m_output->error();
    else
        qCDebug(lcSound) << "sound output buffer" << m_output->bufferSize() << "bytes";
}

void IAudio::discard()
{
    QMutexLocker locker(&m_mutex);
    m_gated = true;
    if (!m_output)
        return;
    // Stopping the stream drops what it holds; a new one starts empty.
    m_output->stop();
    restartStream();
}

// What the server has taken from the stream, less what its sink still
// holds, moved on by the time since it last said so: the output's own
// reckoning of what has been played.
qint64 IAudio::playedBytes() const
{
    if (!m_output)
        return 0;
    const QAudio::State state = m_output->state();
    if (state != QAudio::ActiveState && state != QAudio::IdleState)
        return 0;
    const qint64 bytes = m_format.bytesForDuration(m_output->processedUSecs());
    return qBound<qint64>(0, bytes - bytes % qMax(1, m_format.bytesPerFrame()), m_written);
}

void IAudio::openGate()
{
    QMutexLocker locker(&m_mutex);
    m_gated = false;
}

bool IAudio::gated() const
{
    QMutexLocker locker(&m_mutex);
    return m_gated;
}

bool IAudio::heardSeconds(double &seconds) const
{
    QMutexLocker locker(&m_mutex);
    if (m_segments.empty())
        return false;
    const qint64 played = playedBytes();
    // The last run that started at or before the byte being played.
    auto it = m_segments.end();
    while (it != m_segments.begin() && std::prev(it)->startByte > played)
        --it;
    if (it == m_segments.begin()) {
        // Nothing of it is heard yet: its first sample is what comes next.
        seconds = m_segments.front().startSeconds;
        return true;
    }
    const Segment &segment = *std::prev(it);
    seconds = segment.startSeconds + double(played - segment.startByte) * segment.secondsPerByte;
    return true;
}

IAudio::Due IAudio::secondsUntilHeard(double mediaSeconds, int serial, double &wait) const
{
    QMutexLocker locker(&m_mutex);
    const double bytesPerSecond = double(m_format.bytesForDuration(1000000));
    if (!m_output || bytesPerSecond <= 0.0)
        return Due::Unknown;
    const qint64 played = playedBytes();
    qint64 end = m_written;
    bool ofSerial = false;
    for (auto it = m_segments.rbegin(); it != m_segments.rend(); end = it->startByte, ++it) {
        if (it->serial != serial)
            continue;
        ofSerial = true;
        if (mediaSeconds < it->startSeconds || it->secondsPerByte <= 0.0)
            continue;
        const double byte = double(it->startByte) + (mediaSeconds - it->startSeconds) / it->secondsPerByte;
        // Past the newest run the sound is still to come; that can be
        // told only while the output is being fed.
        const double heldBytes = double(m_written - played);
        if (byte > double(end)
            && (it != m_segments.rbegin() || heldBytes < bytesPerSecond / 50.0
                || byte - double(end) > bytesPerSecond / 2.0))
            return Due::Unknown;
        wait = (byte - double(played)) / bytesPerSecond;
        return Due::Known;
    }
    if (!ofSerial)
        return Due::NotWritten;
    // Before every run kept of its serial: played out and forgotten.
    wait = -1.0;
    return Due::Known;
}

int IAudio::write(char *data, int length, double mediaSeconds, double secondsPerByte, int serial)
{
    QMutexLocker locker(&m_mutex);
    if (m_gated)
        return length;
    const qint64 before = m_written;
    const int taken = writeLocked(data, length);
    if (taken <= 0)
        return taken;
    // A run that goes on where the last one ends needs no entry of its own.
    const bool continues = !m_segments.empty()
        && std::abs(m_segments.back().startSeconds
                    + double(before - m_segments.back().startByte) * m_segments.back().secondsPerByte
                    - mediaSeconds) < 1e-6
        && m_segments.back().secondsPerByte == secondsPerByte && m_segments.back().serial == serial;
    if (!continues)
        m_segments.push_back({before, mediaSeconds, secondsPerByte, serial});
    // Runs that have been played out entirely are of no more use. Asking
    // the server what it played takes its lock, so that is done only once
    // a few runs have gathered, not on every write of the push loop.
    if (m_segments.size() > 8) {
        const qint64 played = playedBytes();
        while (m_segments.size() > 1 && m_segments[1].startByte <= played)
            m_segments.pop_front();
    }
    return taken;
}

bool IAudio::acceptsData() const
{
    QMutexLocker locker(&m_mutex);
    if (!m_output || !m_device)
        return false;
    const QAudio::State state = m_output->state();
    return state == QAudio::ActiveState || state == QAudio::IdleState;
}

int IAudio::write(char *data, int length)
{
    QMutexLocker locker(&m_mutex);
    return writeLocked(data, length);
}

int IAudio::writeLocked(char *data, int length)
{
    if (!m_output || !m_device)
        return 0;
    const QAudio::State state = m_output->state();
    if (state != QAudio::ActiveState && state != QAudio::IdleState)
        return 0;
    const qsizetype free = m_output->bytesFree();
    if (length >= free)
        length = int(free);
    // Whole sample frames only, so that a cut never splits a sample.
    const int frameBytes = m_format.bytesPerFrame();
    if (frameBytes > 0)
        length -= length % frameBytes;
    if (length <= 0)
        return 0;
    applyVolume(data, length, m_format.bytesPerSample() * 8, m_format.channelCount(),
                m_leftVolume, m_rightVolume);
    const qint64 taken = m_device->write(data, length);
    if (taken > 0)
        m_written += taken;
    return taken > 0 ? int(taken) : 0;
}

void IAudio::close()
{
    QMutexLocker locker(&m_mutex);
    QAudioSink *output = m_output;
    if (!output)
        return;
    m_output = nullptr;
    m_device = nullptr;
    m_written = 0;
    m_segments.clear();
    locker.unlock();
    // The toolkit's sound server engine runs the event loop as it closes,
    // and what that runs may ask this output about itself.
    output->stop();
    delete output;
}

void IAudio::setVolume(double left, double right)
{
    const auto snap = [](double value) {
        return value > 0.999 ? 1.0f : value < 0.001 ? 0.0f : float(value);
    };
    QMutexLocker locker(&m_mutex);
    m_leftVolume = snap(left);
    m_rightVolume = snap(right);
}

float IAudio::leftVolume() const
{
    QMutexLocker locker(&m_mutex);
    return m_leftVolume;
}

float IAudio::rightVolume() const
{
    QMutexLocker locker(&m_mutex);
    return m_rightVolume;
}

bool IAudio::hasOutput() const
{
    QMutexLocker locker(&m_mutex);
    return m_output != nullptr;
}

int IAudio::bytesFree() const
{
    QMutexLocker locker(&m_mutex);
    return m_output ? int(m_output->bytesFree()) : 0;
}

const QAudioSink *IAudio::output() const
{
    QMutexLocker locker(&m_mutex);
    return m_output;
}

QAudioFormat IAudio::format() const
{
    QMutexLocker locker(&m_mutex);
    return m_format;
}

void IAudio::applyVolume(char *data, int length, int sampleSize, int channels, float left,
                         float right)
{
    if (sampleSize == 8) {
        auto *bytes = reinterpret_cast<uint8_t *>(data);
        if (channels == 2) {
            for (int i = 0; i + 1 < length; i += 2) {
                bytes[i] = uint8_t(int(float(bytes[i]) * left));
                bytes[i + 1] = uint8_t(int(float(bytes[i + 1]) * right));
            }
        } else {
            for (int i = 0; i < length; ++i)
                bytes[i] = uint8_t(int(float(bytes[i]) * left));
        }
        return;
    }
    // Samples may sit at any alignment in the caller's buffer.
    const auto scale = [data](int index, float factor) {
        int16_t sample;
        std::memcpy(&sample, data + index * 2, 2);
        sample = int16_t(int(float(sample) * factor));
        std::memcpy(data + index * 2, &sample, 2);
    };
    if (channels == 2) {
        for (int frame = 0; frame < length / 4; ++frame) {
            scale(frame * 2, left);
            scale(frame * 2 + 1, right);
        }
    } else {
        for (int i = 0; i < length / 2; ++i)
            scale(i, left);
    }
}
