#include "media/videopicture.h"

#include <QtDebug>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
}

#include <cstring>

VideoPicture::~VideoPicture()
{
    release();
}

bool VideoPicture::allocate(int width, int height, int pixelFormat)
{
    release();
    this->width = width;
    this->height = height;
    this->pixelFormat = pixelFormat;
    const int size = av_image_get_buffer_size(AVPixelFormat(pixelFormat), width, height, 1);
    if (size < 0)
        return false;
    m_buffer = static_cast<uint8_t *>(av_malloc(std::size_t(size) + 16));
    if (!m_buffer) {
        qWarning("VideoPicture: out of memory");
        return false;
    }
    std::memset(m_buffer, 0, std::size_t(size) + 16);
    frame = av_frame_alloc();
    if (!frame) {
        release();
        return false;
    }
    if (av_image_fill_arrays(frame->data, frame->linesize, m_buffer, AVPixelFormat(pixelFormat),
                             width, height, 1)
        < 0) {
        release();
        return false;
    }
    frame->width = width;
    frame->height = height;
    frame->format = pixelFormat;
    allocated = true;
    return true;
}

bool VideoPicture::reallocate(int width, int height, int pixelFormat)
{
    if (allocated && this->width == width && this->height == height
        && this->pixelFormat == pixelFormat)
        return true;
    return allocate(width, height, pixelFormat);
}

void VideoPicture::release()
{
    av_frame_free(&frame);
    av_freep(&m_buffer);
    allocated = false;
}

const uint8_t *VideoPicture::bits() const
{
    return frame ? frame->data[0] : nullptr;
}

int VideoPicture::bytesPerLine() const
{
    return frame ? frame->linesize[0] : 0;
}

int VideoPicture::roundToPowerOfTwo(int value)
{
    if (value <= 0)
        return 1;
    int high = 1;
    while (high <= value / 2)
        high *= 2;
    return (value & (high >> 1)) ? high * 2 : high;
}
