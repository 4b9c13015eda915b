#pragma once

#include <array>

// How the display makes RGB of a YUV picture: rgb = matrix * (yuv - offset),
// all in OpenGL's 0-1 units (a sample of 255 reads as 1). The shader takes
// both as uniforms; kept apart from OpenGL so that the arithmetic can be
// checked without it.
class YuvMatrix final
{
public:
    // colorSpace: an AVColorSpace (BT.709, BT.601 as BT470BG or SMPTE170M,
    // FCC, SMPTE240M, BT.2020); any other is taken as BT.601. fullRange:
    // samples span 0-255 rather than 16-235 (luma) and 16-240 (chroma).
    static YuvMatrix forStream(int colorSpace, bool fullRange);

    // RGB of one sample triple in 0-255 units, unclamped.
    std::array<double, 3> toRgb(double y, double u, double v) const;

    // Row-major: matrix[3 * row + column], rows R, G, B; columns Y, U, V.
    std::array<float, 9> matrix{};
    std::array<float, 3> offset{};
};
