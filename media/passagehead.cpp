#include "media/passagehead.h"

#include <algorithm>
#include <cmath>

namespace {

// Bytes of picture data a frame holds on to.
qint64 frameBytes(const AVFrame *frame)
{
    qint64 bytes = 0;
    for (const AVBufferRef *buffer : frame->buf)
        if (buffer)
            bytes += qint64(buffer->size);
    return bytes;
}

} // namespace

void PassageHead::record(double start, double end)
{
    clear();
    m_start = start;
    m_passageEnd = end;
    m_recording = true;
}

void PassageHead::offer(const AVFrame *frame, double seconds)
{
    if (!m_recording)
        return;
    const bool follows = m_pictures.empty() ? seconds >= m_start - 1e-6
                                            : seconds > m_pictures.back().seconds;
    const qint64 bytes = frameBytes(frame);
    const bool fits = m_bytes + bytes <= byteBudget && seconds < m_start + longestSeconds
        && seconds < m_passageEnd;
    FramePtr kept(fits && follows ? av_frame_clone(frame) : nullptr);
    if (!kept) {
        stopRecording();
        return;
    }
    m_pictures.push_back({std::move(kept), seconds});
    m_bytes += bytes;
}

void PassageHead::stopRecording()
{
    m_recording = false;
}

void PassageHead::clear()
{
    m_pictures.clear();
    m_bytes = 0;
    m_start = -1.0;
    m_recording = false;
}

bool PassageHead::servesStart(double start) const
{
    return !m_recording && !m_pictures.empty() && m_start <= start + 1e-6
        && start <= m_pictures.back().seconds + 1e-6;
}

int PassageHead::firstFrom(double start) const
{
    const auto it = std::find_if(m_pictures.begin(), m_pictures.end(),
                                 [start](const Picture &p) { return p.seconds >= start - 1e-6; });
    return int(it - m_pictures.begin());
}
