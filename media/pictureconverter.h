#pragma once

#include "media/avpointers.h"

#include <QSize>

struct AVFrame;
class VideoPicture;

// Turns decoded frames into picture slots for the display, on the video
// thread: RGB slots are converted by swscale with the stream's own colour
// matrix and range and scaled in the same pass to the size the picture
// takes on screen; YUV 4:2:0 slots get the planes as decoded, at the
// video's size, for the display to convert.
class PictureConverter final
{
public:
    PictureConverter() = default;
    Q_DISABLE_COPY_MOVE(PictureConverter)

    // Pixel size of the slot a frame of frameSize goes into. fixed, when
    // valid, is a size the engine was made with and wins. A YUV slot keeps
    // the frame's size (the display scales it). A BGRA slot, for a display
    // that draws pictures as they are, takes the shown size when known. An
    // RGB slot takes the smaller of the frame's and the shown size in each
    // direction (display empty: not known, the frame's), then rounded to
    // powers of two when asked.
    static QSize slotSize(QSize frameSize, QSize display, QSize fixed, int slotFormat,
                          bool powerOfTwo);

    // The frame's colour matrix as an AVColorSpace, the unspecified one
    // taken as BT.709 for pictures 720 rows high and more, else BT.601.
    static int matrixOf(const AVFrame *frame);
    // Whether the frame's samples use the full 0-255 range; unspecified
    // means limited, save for the full-range (JPEG) pixel formats.
    static bool fullRangeOf(const AVFrame *frame);

    // Fills picture (allocated at its size and format) from frame; records
    // the colour matrix and range the slot holds. flags: swscale's. False
    // when no conversion could be made.
    bool convert(const AVFrame *frame, VideoPicture &picture, int flags);
    void reset();

private:
    bool prepareScaler(const AVFrame *frame, const VideoPicture &picture, int flags, int matrix,
                       bool fullRange);

    // --- Video thread only
    ScalerPtr m_scaler;
    // What m_scaler was made for; a change of any makes it again.
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    int m_sourceFormat = -1;
    int m_destWidth = 0;
    int m_destHeight = 0;
    int m_destFormat = -1;
    int m_flags = 0;
    int m_matrix = -1;
    bool m_fullRange = false;
};
