#pragma once

#include "media/videopicture.h"

#include <QMutex>
#include <QWaitCondition>

#include <array>

// The ring of pictures between the video thread, which converts decoded
// frames into its free slots, and the GUI thread, which shows them in
// order. Three slots fill at most, so that the slot being shown is never
// written. Each picture carries the serial of the seek it follows.
class PictureQueue final
{
public:
    static constexpr int slotCount = 4;
    static constexpr int filledAtMost = 3;

    PictureQueue() = default;
    Q_DISABLE_COPY_MOVE(PictureQueue)

    // (Re)creates every slot at that size and FFmpeg pixel format; false
    // when memory runs out.
    bool allocate(int width, int height, int pixelFormat);
    void release();

    // Video thread: waits until a slot is free and returns it for writing,
    // or nullptr once abort() was called. push() hands it on.
    VideoPicture *writable();
    void push();

    // GUI thread: the oldest picture, or nullptr when none is ready; next()
    // drops it and frees its slot.
    const VideoPicture *peek();
    void next();
    // Drops the pictures of seeks before serial; the slot being written
    // stays the video thread's.
    void flush(int serial);
    int count() const;

    // Wakes a waiting writer for good (the engine stops); reset() empties
    // the ring for the next start.
    void abort();
    void reset();

    // Slot i, nullptr for any other i: the display copies the picture whose
    // number frameReady() gave.
    VideoPicture *slot(int i);
    int readIndex() const { return m_readIndex; }

private:
    std::array<VideoPicture, slotCount> m_pictures;
    // --- Guarded by m_mutex; the slotCount themselves are written by the
    // video thread between writable() and push() and read by the GUI
    // thread between peek() and next()
    mutable QMutex m_mutex;
    QWaitCondition m_freed;
    int m_count = 0;
    int m_readIndex = 0;
    int m_writeIndex = 0;
    bool m_aborted = false;
};
