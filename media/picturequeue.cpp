#include "media/picturequeue.h"

#include <QMutexLocker>

bool PictureQueue::allocate(int width, int height, int pixelFormat)
{
    for (VideoPicture &picture : m_pictures)
        if (!picture.allocate(width, height, pixelFormat))
            return false;
    return true;
}

void PictureQueue::release()
{
    for (VideoPicture &picture : m_pictures)
        picture.release();
}

VideoPicture *PictureQueue::writable()
{
    QMutexLocker locker(&m_mutex);
    while (m_count >= filledAtMost && !m_aborted)
        m_freed.wait(&m_mutex);
    if (m_aborted)
        return nullptr;
    return &m_pictures[std::size_t(m_writeIndex)];
}

void PictureQueue::push()
{
    QMutexLocker locker(&m_mutex);
    if (m_aborted)
        return;
    m_writeIndex = (m_writeIndex + 1) % slotCount;
    ++m_count;
}

const VideoPicture *PictureQueue::peek()
{
    QMutexLocker locker(&m_mutex);
    return m_count > 0 ? &m_pictures[std::size_t(m_readIndex)] : nullptr;
}

void PictureQueue::next()
{
    QMutexLocker locker(&m_mutex);
    if (m_count == 0)
        return;
    m_readIndex = (m_readIndex + 1) % slotCount;
    --m_count;
    m_freed.wakeAll();
}

void PictureQueue::flush(int serial)
{
    QMutexLocker locker(&m_mutex);
    while (m_count > 0 && m_pictures[std::size_t(m_readIndex)].serial < serial) {
        m_readIndex = (m_readIndex + 1) % slotCount;
        --m_count;
    }
    m_freed.wakeAll();
}

int PictureQueue::count() const
{
    QMutexLocker locker(&m_mutex);
    return m_count;
}

void PictureQueue::abort()
{
    QMutexLocker locker(&m_mutex);
    m_aborted = true;
    m_freed.wakeAll();
}

void PictureQueue::reset()
{
    QMutexLocker locker(&m_mutex);
    m_aborted = false;
    m_count = 0;
    m_readIndex = 0;
    m_writeIndex = 0;
}

VideoPicture *PictureQueue::slot(int i)
{
    if (i < 0 || i >= slotCount)
        return nullptr;
    return &m_pictures[std::size_t(i)];
}
