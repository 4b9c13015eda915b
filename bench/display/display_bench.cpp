// Prints "name: value" lines:
//   display_upload_ms_<w>x<h>      texture upload of one picture (updateFrame)
//   display_frame_ms_<w>x<h>       upload plus drawing it into the widget's
//                                  framebuffer and reading it back
//   controlbutton_paint_ms         one full paint of a 1000-pixel button bar
#include "controls/controlbutton.h"
#include "display/glrenderwidget.h"
#include "media/media.h"
#include "media/videopicture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <cstdio>

extern "C" {
#include <libavutil/frame.h>
}

namespace {

double msPer(const QElapsedTimer &timer, int rounds)
{
    return timer.nsecsElapsed() / 1e6 / rounds;
}

void benchDisplay(int width, int height)
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    VideoPicture *slot = media.picture(0);
    if (!slot->allocate(width, height, 2))
        return;
    AVFrame *frame = slot->frame;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            frame->data[0][y * frame->linesize[0] + x] = uint8_t(x ^ y);

    GLRenderWidget widget;
    widget.resize(960, 540);
    widget.show();
    if (!QTest::qWaitForWindowExposed(&widget) || !widget.isValid())
        return;
    widget.setVideo(&media);
    widget.updateFrame(0); // warm-up: the first upload defines the texture

    const int rounds = 100;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        widget.updateFrame(0);
    std::printf("display_upload_ms_%dx%d: %.3f\n", width, height, msPer(timer, rounds));

    timer.restart();
    for (int i = 0; i < rounds; ++i) {
        widget.updateFrame(0);
        widget.grabFramebuffer();
    }
    std::printf("display_frame_ms_%dx%d: %.3f\n", width, height, msPer(timer, rounds));
}

void benchButtonBar()
{
    ControlButton bar;
    bar.resize(1000, 24);
    bar.show();
    if (!QTest::qWaitForWindowExposed(&bar))
        return;
    QImage target(bar.size(), QImage::Format_ARGB32_Premultiplied);
    const int rounds = 500;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        bar.render(&target);
    std::printf("controlbutton_paint_ms: %.4f\n", msPer(timer, rounds));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    benchDisplay(854, 480);
    benchDisplay(1280, 720);
    benchDisplay(1920, 1080);
    benchButtonBar();
    return 0;
}
