#include "display/yuvmatrix.h"

#include "media/avpointers.h"

#include <QtTest>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstring>

// The display's own YUV to RGB arithmetic against swscale's, which the RGB
// path uses: a picture must not change colour with the path it takes.
class TestYuvMatrix : public QObject
{
    Q_OBJECT

private:
    // swscale's RGB for a block of one YUV triple, converted as the engine
    // converts: the stream's matrix and range in, full range out.
    static QColor swscaleRgb(int colorSpace, bool fullRange, int y, int u, int v)
    {
        constexpr int side = 16;
        FramePtr in(av_frame_alloc());
        FramePtr out(av_frame_alloc());
        in->format = AV_PIX_FMT_YUV420P;
        out->format = AV_PIX_FMT_RGB24;
        in->width = out->width = side;
        in->height = out->height = side;
        if (av_frame_get_buffer(in.get(), 0) < 0 || av_frame_get_buffer(out.get(), 0) < 0)
            return {};
        for (int row = 0; row < side; ++row) {
            std::memset(in->data[0] + row * in->linesize[0], y, side);
            std::memset(in->data[1] + row / 2 * in->linesize[1], u, side / 2);
            std::memset(in->data[2] + row / 2 * in->linesize[2], v, side / 2);
        }
        ScalerPtr scaler(sws_getContext(side, side, AV_PIX_FMT_YUV420P, side, side,
                                        AV_PIX_FMT_RGB24, SWS_POINT | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_BITEXACT,
                                        nullptr, nullptr, nullptr));
        if (!scaler)
            return {};
        const int *coefficients = sws_getCoefficients(colorSpace);
        sws_setColorspaceDetails(scaler.get(), coefficients, fullRange ? 1 : 0, coefficients, 1,
                                 0, 1 << 16, 1 << 16);
        sws_scale(scaler.get(), in->data, in->linesize, 0, side, out->data, out->linesize);
        const uint8_t *p = out->data[0] + side / 2 * out->linesize[0] + 3 * side / 2;
        return QColor(p[0], p[1], p[2]);
    }

private slots:
    void matchesSwscale_data()
    {
        QTest::addColumn<int>("colorSpace");
        QTest::addColumn<bool>("fullRange");
        const struct {
            const char *name;
            int colorSpace;
            bool fullRange;
        } matrices[] = {{"BT.601 limited", AVCOL_SPC_SMPTE170M, false},
                        {"BT.601 full", AVCOL_SPC_BT470BG, true},
                        {"BT.709 limited", AVCOL_SPC_BT709, false},
                        {"BT.709 full", AVCOL_SPC_BT709, true}};
        for (const auto &m : matrices)
            QTest::newRow(m.name) << m.colorSpace << m.fullRange;
    }

    // A red, a skin tone, grey, a saturated blue and the dark and light
    // ends: the colours a wrong matrix or range shifts the most.
    void matchesSwscale()
    {
        QFETCH(int, colorSpace);
        QFETCH(bool, fullRange);
        const YuvMatrix matrix = YuvMatrix::forStream(colorSpace, fullRange);
        const int triples[][3] = {{91, 105, 190}, {150, 110, 160}, {128, 128, 128},
                                  {60, 220, 110}, {20, 128, 128}, {230, 128, 128}};
        for (const auto &t : triples) {
            const QColor reference = swscaleRgb(colorSpace, fullRange, t[0], t[1], t[2]);
            const auto rgb = matrix.toRgb(t[0], t[1], t[2]);
            const int ours[3] = {qBound(0, qRound(rgb[0]), 255), qBound(0, qRound(rgb[1]), 255),
                                 qBound(0, qRound(rgb[2]), 255)};
            const int theirs[3] = {reference.red(), reference.green(), reference.blue()};
            for (int c = 0; c < 3; ++c)
                QVERIFY2(qAbs(ours[c] - theirs[c]) <= 2,
                         qPrintable(QStringLiteral("YUV %1 %2 %3: ours %4 %5 %6, swscale %7 %8 %9")
                                        .arg(t[0]).arg(t[1]).arg(t[2])
                                        .arg(ours[0]).arg(ours[1]).arg(ours[2])
                                        .arg(theirs[0]).arg(theirs[1]).arg(theirs[2])));
        }
    }
};

QTEST_APPLESS_MAIN(TestYuvMatrix)
#include "tst_yuvmatrix.moc"
