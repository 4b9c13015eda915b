#include "media/seekrequest.h"

#include <QMutexLocker>

bool SeekRequest::place(int64_t target, Kind kind)
{
    int expected = Idle;
    if (!m_state.compare_exchange_strong(expected, Placing))
        return false;
    m_target = target;
    m_kind = int(kind);
    m_state = Pending;
    return true;
}

bool SeekRequest::take(int64_t &target, Kind &kind) const
{
    if (m_state.load() != Pending)
        return false;
    target = m_target;
    kind = Kind(m_kind.load());
    return true;
}

int SeekRequest::finish(bool carriedOut, int64_t target)
{
    if (carriedOut) {
        m_target = target;
        m_lastKind = m_kind.load();
        {
            QMutexLocker locker(&m_waitMutex);
            ++m_serial;
            if (Kind(m_kind.load()) == Kind::User)
                m_userSerial = m_serial.load();
            m_changed.wakeAll();
        }
    }
    m_backwardForced = false;
    m_state = Idle;
    return m_serial;
}

void SeekRequest::drop()
{
    m_state = Idle;
    m_backoff = 0.0;
}

double SeekRequest::nextBackoff(Kind kind)
{
    const double backoff = kind != Kind::Retry ? 0.0 : m_backoff > 0.0 ? m_backoff * 2.0 : 1.0;
    m_backoff = backoff;
    return backoff;
}

void SeekRequest::waitForSerialChange(int serial, int timeoutMs)
{
    QMutexLocker locker(&m_waitMutex);
    if (m_serial.load() == serial)
        m_changed.wait(&m_waitMutex, QDeadlineTimer(timeoutMs));
}

void SeekRequest::wakeWaiters()
{
    QMutexLocker locker(&m_waitMutex);
    m_changed.wakeAll();
}
