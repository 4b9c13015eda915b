#include "media/iaudio.h"

#include "media/realtime.h"

#include <QAudioSink>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>

Q_LOGGING_CATEGORY(lcSound, "vantiro.sound", QtInfoMsg)

namespace {

qint64 steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Whole frames of a duration, counted past what 32 bits hold (the
// toolkit's own count overflows after a few hours of a stream).
qint64 bytesFor(const QAudioFormat &format, qint64 microseconds)
{
    return microseconds * format.sampleRate() / 1000000 * format.bytesPerFrame();
}

bool running(const QAudioSink *output)
{
    const QAudio::State state = output->state();
    return state == QAudio::ActiveState || state == QAudio::IdleState;
}

} // namespace

IAudio::IAudio()
{
    m_format.setSampleRate(48000);
    m_format.setChannelCount(2);
    m_format.setSampleFormat(QAudioFormat::Int16);
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    // Deleted in its own thread as that ends, with the feeder it owns.
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("sound output"));
    // Where the system grants priorities at all, the sound goes first; where
    // the desktop grants real-time scheduling, busy programs beside the
    // player do not break the sound either.
    m_thread.start(QThread::HighestPriority);
    QMetaObject::invokeMethod(m_context, [] { realtime::requestForThisThread(); });
}

IAudio::~IAudio()
{
    close();
    m_thread.quit();
    m_thread.wait();
}

// Every call into the sink is made by its own thread; the caller waits for
// it, so that setup(), discard() and close() have taken effect on return.
void IAudio::runInOutputThread(const std::function<void()> &work)
{
    if (QThread::currentThread() == &m_thread)
        work();
    else
        QMetaObject::invokeMethod(m_context, work, Qt::BlockingQueuedConnection);
}

bool IAudio::setup(const QAudioDevice &device, int sampleRate, int sampleSize, int channels)
{
    const QAudioFormat::SampleFormat sampleFormat =
        sampleSize == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16;
    {
        QMutexLocker locker(&m_mutex);
        if (m_hasOutput && m_format.sampleRate() == sampleRate
            && m_format.channelCount() == channels && m_format.sampleFormat() == sampleFormat)
            return true;
    }
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
    runInOutputThread([&] { makeOutput(device, format); });
    return true;
}

void IAudio::makeOutput(const QAudioDevice &device, const QAudioFormat &format)
{
    dropOutput();
    m_output = new QAudioSink(device, format);
    const int frameBytes = qMax(1, format.bytesPerFrame());
    const qsizetype ringBytes = qMax(frameBytes, format.bytesForDuration(ringMicroseconds));
    {
        QMutexLocker locker(&m_mutex);
        m_format = format;
        m_hasOutput = true;
        m_ring.assign(std::size_t(ringBytes - ringBytes % frameBytes), 0);
    }
    m_scratch.resize(m_ring.size());
    if (!m_feeder) {
        m_feeder = new QTimer(m_context);
        m_feeder->setTimerType(Qt::PreciseTimer);
        m_feeder->setInterval(feedMilliseconds);
        QObject::connect(m_feeder, &QTimer::timeout, m_context, [this] { feed(); });
    }
    restartStream();
    m_feeder->start();
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
    if (!m_device || m_output->error() != QAudio::NoError)
        qCWarning(lcSound) << "the sound output did not start:" << m_output->error();
    else
        qCDebug(lcSound) << "sound output buffer" << m_output->bufferSize() << "bytes";
    const bool runs = m_device && running(m_output);
    const qsizetype free = runs ? m_output->bytesFree() : 0;
    QMutexLocker locker(&m_mutex);
    forgetStream();
    m_accepting = runs;
    m_sinkRoom = free;
    m_bufferSize = m_output->bufferSize();
    ++m_streamStarts;
    m_room.wakeAll();
}

void IAudio::forgetStream()
{
    m_ringStart = 0;
    m_ringFill = 0;
    m_written = 0;
    m_handed = 0;
    m_sampledBytes = 0;
    m_sampledAt = steadyNanoseconds();
    m_lastPlayed = 0;
    m_sinkRoom = 0;
    m_segments.clear();
}

void IAudio::discard()
{
    {
        QMutexLocker locker(&m_mutex);
        m_gated = true;
        m_room.wakeAll(); // a writer waiting for room drops its samples instead
    }
    runInOutputThread([this] {
        if (!m_output)
            return;
        // Stopping the stream drops what it holds; a new one starts empty.
        m_output->stop();
        restartStream();
    });
}

void IAudio::close()
{
    runInOutputThread([this] { dropOutput(); });
}

void IAudio::dropOutput()
{
    if (m_feeder)
        m_feeder->stop();
    QAudioSink *output = m_output;
    if (!output)
        return;
    m_output = nullptr;
    m_device = nullptr;
    {
        QMutexLocker locker(&m_mutex);
        m_hasOutput = false;
        m_accepting = false;
        m_bufferSize = 0;
        forgetStream();
        m_room.wakeAll();
    }
    // The toolkit's sound server engine runs this thread's events as the
    // output is deleted: a feed still posted then finds no output.
    output->stop();
    delete output;
}

// One round of the output thread: moves what the sink has room for from
// the ring into it, and reads the sink's clock. The sink is asked about its
// state and room outside the lock, as those calls wait for the server's.
void IAudio::feed()
{
    QMutexLocker locker(&m_mutex);
    m_feedPosted = false;
    if (!m_output || !m_device)
        return;
    locker.unlock();
    const bool runs = running(m_output);
    const qsizetype free = runs ? m_output->bytesFree() : 0;
    locker.relock();
    if (m_accepting != runs) {
        m_accepting = runs;
        m_room.wakeAll(); // a waiting writer drops its samples at their pace
    }
    const qsizetype frameBytes = qMax(1, m_format.bytesPerFrame());
    qsizetype take = qMin(free, m_ringFill);
    take -= take % frameBytes;
    const qsizetype size = qsizetype(m_ring.size());
    const qsizetype first = qMin(take, size - m_ringStart);
    std::memcpy(m_scratch.data(), m_ring.data() + m_ringStart, std::size_t(first));
    std::memcpy(m_scratch.data() + first, m_ring.data(), std::size_t(take - first));
    locker.unlock();
    const qint64 handed = take > 0 ? qMax<qint64>(0, m_device->write(m_scratch.data(), take)) : 0;
    // The sink's count holds for the moment it was taken: a reading that
    // this thread was kept from finishing (a busy machine) is left out.
    const qint64 asked = steadyNanoseconds();
    const qint64 processed = m_output->processedUSecs();
    const qint64 now = steadyNanoseconds();
    const bool timely = now - asked < 500000;
    locker.relock();
    // Only this thread takes from the ring or empties it: what was copied
    // is still at its start.
    if (handed > 0) {
        m_ringStart = (m_ringStart + handed) % size;
        m_ringFill -= handed;
        m_handed += handed;
    }
    m_sinkRoom = runs ? qMax<qsizetype>(0, free - handed) : 0;
    if (roomLocked() > 0)
        m_room.wakeAll();
    if (timely) {
        m_sampledBytes = qMin(bytesFor(m_format, processed), m_handed);
        m_sampledAt = (asked + now) / 2;
    }
}

// The sink's count of what it has played, as read by the output thread,
// moved on by the time since: the server's own reckoning, carried forward
// as the sink itself carries it between the server's reports. Never more
// than the sink was handed (it is running dry) and never less than said
// before.
qint64 IAudio::playedBytes() const
{
    if (!m_accepting)
        return 0;
    const qint64 since = (steadyNanoseconds() - m_sampledAt) / 1000;
    const qint64 bytes = qMin(m_sampledBytes + bytesFor(m_format, qMax<qint64>(0, since)), m_handed);
    m_lastPlayed = qMax(bytes, m_lastPlayed);
    return m_lastPlayed;
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
    // Runs that have been played out entirely are of no more use.
    const qint64 played = playedBytes();
    while (m_segments.size() > 1 && m_segments[1].startByte <= played)
        m_segments.pop_front();
    return taken;
}

bool IAudio::waitForRoom(int milliseconds)
{
    QMutexLocker locker(&m_mutex);
    const QDeadlineTimer deadline(milliseconds, Qt::PreciseTimer);
    const qsizetype frameBytes = qMax(1, m_format.bytesPerFrame());
    while (m_accepting && !m_gated && roomLocked() < frameBytes) {
        if (!m_room.wait(&m_mutex, deadline))
            break;
    }
    return m_accepting && roomLocked() >= frameBytes;
}

bool IAudio::acceptsData() const
{
    QMutexLocker locker(&m_mutex);
    return m_hasOutput && m_accepting;
}

int IAudio::write(char *data, int length)
{
    QMutexLocker locker(&m_mutex);
    return writeLocked(data, length);
}

int IAudio::writeLocked(char *data, int length)
{
    if (!m_hasOutput || !m_accepting || m_ring.empty())
        return 0;
    const qsizetype size = qsizetype(m_ring.size());
    qsizetype count = qMin<qsizetype>(length, roomLocked());
    // Whole sample frames only, so that a cut never splits a sample.
    count -= count % qMax(1, m_format.bytesPerFrame());
    if (count <= 0)
        return 0;
    applyVolume(data, int(count), m_format.bytesPerSample() * 8, m_format.channelCount(),
                m_leftVolume, m_rightVolume);
    const qsizetype at = (m_ringStart + m_ringFill) % size;
    const qsizetype first = qMin(count, size - at);
    std::memcpy(m_ring.data() + at, data, std::size_t(first));
    std::memcpy(m_ring.data(), data + first, std::size_t(count - first));
    m_ringFill += count;
    m_written += count;
    // The sink has room for these: they go now, not at the next round.
    if (!m_feedPosted) {
        m_feedPosted = true;
        QMetaObject::invokeMethod(m_context, [this] { feed(); }, Qt::QueuedConnection);
    }
    return int(count);
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
    return m_hasOutput;
}

int IAudio::bytesFree() const
{
    QMutexLocker locker(&m_mutex);
    return m_hasOutput && m_accepting ? int(roomLocked()) : 0;
}

qsizetype IAudio::roomLocked() const
{
    const qsizetype room = qMin(qsizetype(m_ring.size()), m_sinkRoom) - m_ringFill;
    return qMax<qsizetype>(0, room - room % qMax(1, m_format.bytesPerFrame()));
}

qsizetype IAudio::bufferSize() const
{
    QMutexLocker locker(&m_mutex);
    return m_bufferSize;
}

qint64 IAudio::playedUSecs() const
{
    QMutexLocker locker(&m_mutex);
    const qint64 frames = playedBytes() / qMax(1, m_format.bytesPerFrame());
    return m_format.sampleRate() > 0 ? frames * 1000000 / m_format.sampleRate() : 0;
}

int IAudio::streamStarts() const
{
    QMutexLocker locker(&m_mutex);
    return m_streamStarts;
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
