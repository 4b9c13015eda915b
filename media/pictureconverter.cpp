#include "media/pictureconverter.h"

#include "media/videopicture.h"

#include <QLoggingCategory>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>

Q_LOGGING_CATEGORY(lcConverter, "vantiro.media.converter", QtWarningMsg)

namespace {

bool isYuv420(int format)
{
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

bool isRgb(int format)
{
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(AVPixelFormat(format));
    return desc && (desc->flags & AV_PIX_FMT_FLAG_RGB);
}

} // namespace

QSize PictureConverter::slotSize(QSize frameSize, QSize display, QSize fixed, int slotFormat,
                                 bool powerOfTwo)
{
    if (fixed.isValid() && !fixed.isEmpty())
        return fixed;
    if (slotFormat == AV_PIX_FMT_YUV420P)
        return frameSize;
    // BGRA pictures go to a display that draws them as they are, without
    // scaling: they are made at the size shown, larger or smaller.
    if (slotFormat == AV_PIX_FMT_BGRA && display.isValid() && !display.isEmpty())
        return display;
    QSize size = frameSize;
    if (display.isValid() && !display.isEmpty())
        size = size.boundedTo(display);
    if (powerOfTwo)
        size = QSize(VideoPicture::roundToPowerOfTwo(size.width()),
                     VideoPicture::roundToPowerOfTwo(size.height()));
    return size;
}

int PictureConverter::matrixOf(const AVFrame *frame)
{
    switch (frame->colorspace) {
    case AVCOL_SPC_BT709:
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_FCC:
    case AVCOL_SPC_SMPTE240M:
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return frame->colorspace;
    default:
        // What HD and SD sources are made with when they say nothing.
        return frame->height >= 720 ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    }
}

bool PictureConverter::fullRangeOf(const AVFrame *frame)
{
    if (frame->color_range == AVCOL_RANGE_JPEG)
        return true;
    if (frame->color_range == AVCOL_RANGE_MPEG)
        return false;
    switch (frame->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
        return true;
    default:
        return false;
    }
}

bool PictureConverter::convert(const AVFrame *frame, VideoPicture &picture, int flags)
{
    if (!picture.frame)
        return false;
    int matrix = matrixOf(frame);
    bool fullRange = fullRangeOf(frame);
    if (picture.pixelFormat == AV_PIX_FMT_YUV420P && isYuv420(frame->format)
        && frame->width == picture.width && frame->height == picture.height) {
        // The display converts: the planes go over as they are.
        av_image_copy(picture.frame->data, picture.frame->linesize,
                      const_cast<const uint8_t **>(frame->data), frame->linesize,
                      AV_PIX_FMT_YUV420P, frame->width, frame->height);
    } else {
        if (picture.pixelFormat == AV_PIX_FMT_YUV420P && isRgb(frame->format)) {
            // RGB made into YUV by swscale's own choice of matrix.
            matrix = AVCOL_SPC_SMPTE170M;
            fullRange = false;
        }
        if (!prepareScaler(frame, picture, flags, matrix, fullRange))
            return false;
        sws_scale(m_scaler.get(), frame->data, frame->linesize, 0, frame->height,
                  picture.frame->data, picture.frame->linesize);
    }
    picture.colorSpace = matrix;
    picture.fullRange = fullRange;
    return true;
}

// The colour details are set once per scaler: setting them re-makes
// swscale's tables, too dear for every picture.
bool PictureConverter::prepareScaler(const AVFrame *frame, const VideoPicture &picture, int flags,
                                     int matrix, bool fullRange)
{
    if (m_scaler && m_sourceWidth == frame->width && m_sourceHeight == frame->height
        && m_sourceFormat == frame->format && m_destWidth == picture.width
        && m_destHeight == picture.height && m_destFormat == picture.pixelFormat && m_flags == flags
        && m_matrix == matrix && m_fullRange == fullRange)
        return true;
    m_scaler.reset(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                                  picture.width, picture.height, AVPixelFormat(picture.pixelFormat),
                                  flags, nullptr, nullptr, nullptr));
    if (!m_scaler) {
        qCWarning(lcConverter, "no conversion from %dx%d %s to %dx%d %s", frame->width,
                  frame->height, av_get_pix_fmt_name(AVPixelFormat(frame->format)), picture.width,
                  picture.height, av_get_pix_fmt_name(AVPixelFormat(picture.pixelFormat)));
        return false;
    }
    // RGB goes out at full range; YUV out keeps the source's matrix and range,
    // which the picture then carries to the display.
    const bool toYuv = !isRgb(picture.pixelFormat);
    const int *coefficients = sws_getCoefficients(matrix);
    if (sws_setColorspaceDetails(m_scaler.get(), coefficients, fullRange ? 1 : 0, coefficients,
                                 toYuv ? (fullRange ? 1 : 0) : 1, 0, 1 << 16, 1 << 16)
        < 0)
        qCDebug(lcConverter, "colour details not taken for %s",
                av_get_pix_fmt_name(AVPixelFormat(frame->format)));
    m_sourceWidth = frame->width;
    m_sourceHeight = frame->height;
    m_sourceFormat = frame->format;
    m_destWidth = picture.width;
    m_destHeight = picture.height;
    m_destFormat = picture.pixelFormat;
    m_flags = flags;
    m_matrix = matrix;
    m_fullRange = fullRange;
    return true;
}

void PictureConverter::reset()
{
    m_scaler.reset();
    m_sourceFormat = -1;
    m_destFormat = -1;
}
