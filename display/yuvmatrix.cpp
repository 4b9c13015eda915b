#include "display/yuvmatrix.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

YuvMatrix YuvMatrix::forStream(int colorSpace, bool fullRange)
{
    // Luma weights of red and blue; green's is what is left.
    double kr = 0.299, kb = 0.114;
    switch (colorSpace) {
    case AVCOL_SPC_BT709:
        kr = 0.2126, kb = 0.0722;
        break;
    case AVCOL_SPC_FCC:
        kr = 0.30, kb = 0.11;
        break;
    case AVCOL_SPC_SMPTE240M:
        kr = 0.212, kb = 0.087;
        break;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        kr = 0.2627, kb = 0.0593;
        break;
    default:
        break;
    }
    const double kg = 1.0 - kr - kb;
    // Limited range: luma 16-235 and chroma 16-240 stretched to full.
    const double ys = fullRange ? 1.0 : 255.0 / 219.0;
    const double cs = fullRange ? 1.0 : 255.0 / 224.0;
    YuvMatrix m;
    m.matrix = {float(ys), 0.0f, float(cs * 2.0 * (1.0 - kr)),
                float(ys), float(-cs * 2.0 * kb * (1.0 - kb) / kg), float(-cs * 2.0 * kr * (1.0 - kr) / kg),
                float(ys), float(cs * 2.0 * (1.0 - kb)), 0.0f};
    m.offset = {fullRange ? 0.0f : 16.0f / 255.0f, 128.0f / 255.0f, 128.0f / 255.0f};
    return m;
}

std::array<double, 3> YuvMatrix::toRgb(double y, double u, double v) const
{
    const double in[3] = {y / 255.0 - offset[0], u / 255.0 - offset[1], v / 255.0 - offset[2]};
    std::array<double, 3> rgb{};
    for (int row = 0; row < 3; ++row)
        rgb[row] = 255.0
            * (matrix[3 * row] * in[0] + matrix[3 * row + 1] * in[1] + matrix[3 * row + 2] * in[2]);
    return rgb;
}
