#pragma once

#include <QtGlobal>

#include <cstdint>

struct AVFrame;

// One slot of the picture ring of a Media. The video thread converts decoded
// frames into it; the GUI thread hands its number to the display, which
// copies the pixels at once. The pixel buffer holds one picture in
// pixelFormat (for RGB24: rows of width * 3 bytes, no padding, top row
// first; for YUV420P: the Y plane, then U and V at half width and height,
// rounded up) followed by 16 spare bytes. The slot's size and format may
// change from picture to picture: only the video thread reallocates, and
// only the slot it writes.
class VideoPicture final
{
public:
    VideoPicture() = default;
    ~VideoPicture();
    Q_DISABLE_COPY_MOVE(VideoPicture)

    // (Re)creates the buffer and the frame whose planes point into it;
    // false when memory runs out.
    bool allocate(int width, int height, int pixelFormat);
    // Allocates only when the slot is empty or of another size or format.
    bool reallocate(int width, int height, int pixelFormat);
    // Frees buffer and frame; the slot is empty afterwards.
    void release();

    // First row of the picture, or nullptr when the slot is empty.
    const uint8_t *bits() const;
    // Bytes from one row to the next (width * 3 for RGB24).
    int bytesPerLine() const;

    // Rounds a size to the nearer power of two, the threshold lying at one
    // and a half times the highest set bit (640 -> 512, 768 -> 1024); 0 -> 1.
    static int roundToPowerOfTwo(int value);

    AVFrame *frame = nullptr;
    int width = 0;
    int height = 0;
    bool allocated = false;
    double mediaSeconds = 0.0;
    int serial = 0;      // of the seek the picture follows
    int pixelFormat = 2; // AV_PIX_FMT_RGB24
    // How the YUV the picture came from is made into RGB (already done for
    // an RGB slot): an AVColorSpace, BT.601 (SMPTE170M) by default, and
    // whether the samples span 0-255 rather than 16-235/240.
    int colorSpace = 6; // AVCOL_SPC_SMPTE170M
    bool fullRange = false;

private:
    uint8_t *m_buffer = nullptr;
};
