#include "media/passage.h"

#include "media/seekrequest.h"

#include <QMutexLocker>

#include <algorithm>

Passage::Passage(SeekRequest &seek, Reporter reporter)
    : m_seek(seek), m_report(std::move(reporter))
{
}

void Passage::setBounds(int64_t start, int64_t end)
{
    QMutexLocker locker(&m_mutex);
    m_start = start;
    m_end = std::max(start, end);
    m_in = m_start;
    m_out = m_end;
    restartRounds();
}

bool Passage::set(int64_t in, int64_t out, int count)
{
    QMutexLocker locker(&m_mutex);
    m_in = std::clamp(in, m_start, m_end);
    m_out = std::clamp(out, m_in, m_end);
    m_count = std::max(0, count);
    return restartRounds();
}

bool Passage::setIn(int64_t in)
{
    QMutexLocker locker(&m_mutex);
    m_in = std::clamp(in, m_start, m_out);
    return restartRounds();
}

bool Passage::setOut(int64_t out)
{
    QMutexLocker locker(&m_mutex);
    m_out = std::clamp(out, m_in, m_end);
    return restartRounds();
}

bool Passage::setRepeatCount(int count)
{
    QMutexLocker locker(&m_mutex);
    m_count = std::max(0, count);
    return restartRounds();
}

void Passage::setLoop(bool loop)
{
    QMutexLocker locker(&m_mutex);
    m_loop = loop;
}

// Guarded by the caller.
bool Passage::restartRounds()
{
    m_played = 0;
    m_done = false;
    ++m_generation;
    m_decidedSerial = -1;
    m_decidedGeneration = -1;
    const bool held = m_holdSerial >= 0;
    m_holdSerial = -1;
    return held;
}

int64_t Passage::in() const
{
    QMutexLocker locker(&m_mutex);
    return m_in;
}

int64_t Passage::out() const
{
    QMutexLocker locker(&m_mutex);
    return m_out;
}

bool Passage::loops() const
{
    QMutexLocker locker(&m_mutex);
    return m_loop;
}

int Passage::repeatCount() const
{
    QMutexLocker locker(&m_mutex);
    return m_count;
}

Passage::Marks Passage::marks() const
{
    QMutexLocker locker(&m_mutex);
    return {m_in, m_out, m_generation, m_done};
}

Passage::Round Passage::endReached(int serial, const Marks &marks)
{
    int played = 0;
    bool finished = false;
    Round round = Round::Stale;
    {
        QMutexLocker locker(&m_mutex);
        // Data read before the latest seek belongs to a place left; marks
        // changed since they were read end nothing: the reporter looks
        // again against the new ones.
        if (serial != m_seek.serial() || marks.generation != m_generation)
            return Round::Stale;
        if (m_decidedSerial == serial && m_decidedGeneration == m_generation)
            return m_decision;
        if (m_count > 0 && m_played + 1 >= m_count) {
            m_done = true;
            round = Round::PlayOn;
            finished = true;
        } else if (!m_loop) {
            m_holdSerial = serial;
            round = Round::Hold;
        } else if (m_seek.place(m_in, SeekRequest::Kind::LoopRestart)) {
            round = Round::Restart;
        } else {
            // Nothing is counted: the pending seek decides where playback
            // goes, and its serial brings a report of its own.
            return Round::Wait;
        }
        played = ++m_played;
        m_decidedSerial = serial;
        m_decidedGeneration = m_generation;
        m_decision = round;
    }
    if (m_report)
        m_report(played, finished);
    return round;
}

int Passage::holdSerial() const
{
    QMutexLocker locker(&m_mutex);
    return m_holdSerial;
}

bool Passage::takeHold()
{
    QMutexLocker locker(&m_mutex);
    const bool held = m_holdSerial >= 0;
    m_holdSerial = -1;
    return held;
}
