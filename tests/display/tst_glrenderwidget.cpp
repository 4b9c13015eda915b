#include "tests/support/audiotestmain.h"
#include "display/glrenderwidget.h"

#include "media/media.h"
#include "media/videopicture.h"
#include "tests/support/mediamaker.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace {

constexpr int rgb24 = 2; // AV_PIX_FMT_RGB24
constexpr int yuv420p = 0;
constexpr int bgra = 28; // AV_PIX_FMT_BGRA
constexpr int fastBilinear = 1; // SWS_FAST_BILINEAR

int depthWarnings = 0;
QtMessageHandler previousHandler = nullptr;

void countDepthWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message == QLatin1String("Could not get depth buffer; results will be suboptimal"))
        ++depthWarnings;
    previousHandler(type, context, message);
}

bool near(const QColor &a, const QColor &b, int tolerance = 6)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

QString describe(const QColor &c)
{
    return QStringLiteral("(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// Fills an RGB24 slot: columns left of split in one colour, the rest in
// another.
void fill(VideoPicture *picture, const QColor &left, const QColor &right, int split = -1)
{
    if (split < 0)
        split = picture->width;
    AVFrame *frame = picture->frame;
    for (int y = 0; y < picture->height; ++y) {
        uint8_t *row = frame->data[0] + y * frame->linesize[0];
        for (int x = 0; x < picture->width; ++x) {
            const QColor &c = x < split ? left : right;
            row[3 * x] = uint8_t(c.red());
            row[3 * x + 1] = uint8_t(c.green());
            row[3 * x + 2] = uint8_t(c.blue());
        }
    }
}

void doubleClick(QWidget *w, QPoint pos)
{
    QMouseEvent event(QEvent::MouseButtonDblClick, pos, w->mapToGlobal(pos), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

} // namespace

class TestGLRenderWidget : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    std::unique_ptr<GLRenderWidget> shownWidget(QSize size)
    {
        auto widget = std::make_unique<GLRenderWidget>();
        widget->resize(size);
        widget->show();
        if (!QTest::qWaitForWindowExposed(widget.get()) || !widget->isValid())
            return nullptr;
        return widget;
    }

    // A solid-colour clip without sound, made by ffmpeg.
    QString colourClip(const QString &name, QSize size, const QString &colour)
    {
        const QString path = m_dir.filePath(name);
        const bool made = mediamaker::ffmpeg(
            {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("color=c=%1:size=%2x%3:rate=25:duration=3")
                 .arg(colour).arg(size.width()).arg(size.height()),
             QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), path});
        return made ? path : QString();
    }

    // A clip of one colour (RGB), made into YUV with that matrix and range
    // and tagged so; extraFilter is added to the filter chain (",setdar=16/9").
    QString taggedClip(const QString &name, QSize size, const QString &colour,
                       const QString &matrix, const QString &range, double seconds = 2,
                       const QString &extraFilter = QString())
    {
        const QString path = m_dir.filePath(name);
        const QString tag = matrix == QLatin1String("bt601") ? QStringLiteral("smpte170m") : matrix;
        QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                         QStringLiteral("color=c=%1:size=%2x%3:rate=25:duration=%4")
                             .arg(colour).arg(size.width()).arg(size.height()).arg(seconds),
                         QStringLiteral("-vf"),
                         QStringLiteral("format=rgb24,scale=out_color_matrix=%1:out_range=%2,"
                                        "format=yuv420p%3")
                             .arg(matrix, range, extraFilter),
                         QStringLiteral("-c:v"), QStringLiteral("ffv1")};
        if (!matrix.isEmpty())
            args << QStringLiteral("-colorspace") << tag << QStringLiteral("-color_range") << range;
        args << path;
        return mediamaker::ffmpeg(args) ? path : QString();
    }

    // A window holding only the widget, of that size, shown.
    static std::unique_ptr<QWidget> windowWith(GLRenderWidget *widget, QSize size)
    {
        auto window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(widget);
        window->resize(size);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return nullptr;
        return window;
    }

private slots:
    // Must run first: no widget exists yet.
    void hasExtensionReadsTheListOnce()
    {
        previousHandler = qInstallMessageHandler(countDepthWarnings);
        const bool upper = GLRenderWidget::hasExtension(QStringLiteral("GL_ARB_texture_non_power_of_two"));
        const bool lower = GLRenderWidget::hasExtension(QStringLiteral("gl_arb_texture_non_power_of_two"));
        const bool bogus = GLRenderWidget::hasExtension(QStringLiteral("GL_VK_no_such_extension"));
        qInstallMessageHandler(previousHandler);
        // Mesa's llvmpipe, which runs the tests, has non-power-of-two textures.
        QVERIFY(upper);
        QCOMPARE(lower, upper);
        QVERIFY(!bogus);
        // one hidden widget made and deleted for the first call only
        QCOMPARE(depthWarnings, 1);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void warnsAboutTheMissingDepthBuffer()
    {
        QTest::ignoreMessage(QtWarningMsg, "Could not get depth buffer; results will be suboptimal");
        GLRenderWidget widget;
        QVERIFY(widget.keepAspectRatio());
        QCOMPARE(widget.format().depthBufferSize(), 0);
        QCOMPARE(widget.format().alphaBufferSize(), 8);
    }

    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
    }

    void blackWithoutMedia()
    {
        auto widget = shownWidget({320, 240});
        QVERIFY(widget);
        const QImage image = widget->grabFramebuffer();
        QCOMPARE(image.pixelColor(160, 120), QColor(Qt::black));
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));
    }

    void keepsTheAspectRatio_data()
    {
        QTest::addColumn<QSize>("video");
        QTest::addColumn<QSize>("widgetSize");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QRect>("picture"); // where the picture lands

        QTest::newRow("4:3 in 16:9: horizontal scale 0.75")
            << QSize(320, 240) << QSize(640, 360) << true << QRect(80, 0, 480, 360);
        QTest::newRow("4:3 in 16:9, ratio not kept: fills")
            << QSize(320, 240) << QSize(640, 360) << false << QRect(0, 0, 640, 360);
        QTest::newRow("8:3 in 4:3: vertical scale 0.5")
            << QSize(640, 240) << QSize(400, 300) << true << QRect(0, 75, 400, 150);
    }

    // A picture filled through the engine's own slot of an opened clip.
    void keepsTheAspectRatio()
    {
        QFETCH(QSize, video);
        QFETCH(QSize, widgetSize);
        QFETCH(bool, keep);
        QFETCH(QRect, picture);

        const QString clip = colourClip(QStringLiteral("aspect.mkv"), video, QStringLiteral("black"));
        QVERIFY(!clip.isEmpty());
        Media media(nullptr, false, 0x10, rgb24, 0, 0);
        QVERIFY(media.open(clip, 0, 0));
        QVERIFY(qAbs(media.displayAspectRatio() - float(video.width()) / video.height()) < 1e-4);
        VideoPicture *slot = media.picture(0);
        QVERIFY(slot && slot->allocated);
        QCOMPARE(QSize(slot->width, slot->height), video);
        const QColor red(220, 30, 40);
        fill(slot, red, red);

        auto widget = shownWidget(widgetSize);
        QVERIFY(widget);
        widget->setVideoAspectRatio(keep);
        widget->setVideo(&media);
        widget->updateFrame(0);
        const QImage image = widget->grabFramebuffer();
        QCOMPARE(image.size(), widgetSize);
        const int inset = 2; // keep clear of the edges' filtering
        const QRect inner = picture.adjusted(inset, inset, -inset - 1, -inset - 1);
        for (const QPoint p : {inner.topLeft(), inner.topRight(), inner.bottomLeft(),
                               inner.bottomRight(), inner.center()})
            QVERIFY2(near(image.pixelColor(p), red), qPrintable(describe(image.pixelColor(p))));
        const QRect outer = picture.adjusted(-inset, -inset, inset, inset);
        for (const QPoint p : {QPoint(outer.left() - 1, picture.center().y()),
                               QPoint(outer.right(), picture.center().y()),
                               QPoint(picture.center().x(), outer.top() - 1),
                               QPoint(picture.center().x(), outer.bottom())}) {
            if (image.rect().contains(p))
                QCOMPARE(image.pixelColor(p), QColor(Qt::black));
        }
    }

    // A sound file's cover shows as a still, in its own shape: a 2:1 cover
    // in a square widget leaves bars above and below.
    void coverOfSoundFileShows()
    {
        const QString cover = m_dir.filePath(QStringLiteral("cover.png"));
        const QString song = m_dir.filePath(QStringLiteral("song.mp3"));
        QVERIFY(mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                    QStringLiteral("color=c=0x1E50C8:size=128x64"),
                                    QStringLiteral("-frames:v"), QStringLiteral("1"), cover}));
        QVERIFY(mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                    QStringLiteral("sine=duration=2"), QStringLiteral("-i"), cover,
                                    QStringLiteral("-map"), QStringLiteral("0"), QStringLiteral("-map"),
                                    QStringLiteral("1"), QStringLiteral("-c:v"), QStringLiteral("png"),
                                    QStringLiteral("-disposition:v"), QStringLiteral("attached_pic"), song}));
        Media media(nullptr, false, 0x10, rgb24, 0, 0);
        QVERIFY(media.open(song));
        auto widget = shownWidget({200, 200});
        widget->setVideo(&media);
        QTRY_VERIFY(near(widget->grabFramebuffer().pixelColor(100, 100), QColor(0x1E, 0x50, 0xC8)));
        const QImage image = widget->grabFramebuffer();
        QCOMPARE(image.pixelColor(100, 20), QColor(Qt::black));
        QVERIFY(near(image.pixelColor(100, 60), QColor(0x1E, 0x50, 0xC8)));
        widget->setVideo(nullptr);
        QTRY_COMPARE(widget->grabFramebuffer().pixelColor(100, 100), QColor(Qt::black));
    }

    // 854 pixels of RGB make rows of 2562 bytes, not a multiple of 4: the
    // picture must not shear.
    void rowsNotMultipleOfFourAreNotSheared()
    {
        Media media(nullptr, false, 0x10, rgb24, 0, 0);
        VideoPicture *slot = media.picture(2);
        QVERIFY(slot);
        QVERIFY(slot->allocate(854, 480, rgb24));
        const QColor left(200, 40, 40), right(40, 60, 210);
        fill(slot, left, right, 427);

        auto widget = shownWidget({854, 480});
        QVERIFY(widget);
        widget->setVideo(&media);
        widget->updateFrame(2);
        const QImage image = widget->grabFramebuffer();
        for (int y : {1, 120, 240, 360, 478}) {
            QVERIFY2(near(image.pixelColor(2, y), left), qPrintable(QString::number(y)));
            QVERIFY2(near(image.pixelColor(424, y), left), qPrintable(QString::number(y)));
            QVERIFY2(near(image.pixelColor(430, y), right), qPrintable(QString::number(y)));
            QVERIFY2(near(image.pixelColor(851, y), right), qPrintable(QString::number(y)));
        }
    }

    // Slots in RGBA (four bytes a pixel, odd width) upload as RGBA.
    void uploadsRgbaPictures()
    {
        Media media(nullptr, false, 0x10, AV_PIX_FMT_RGBA, 0, 0);
        VideoPicture *slot = media.picture(3);
        QVERIFY(slot->allocate(63, 47, AV_PIX_FMT_RGBA));
        AVFrame *frame = slot->frame;
        for (int y = 0; y < 47; ++y) {
            for (int x = 0; x < 63; ++x) {
                uint8_t *p = frame->data[0] + y * frame->linesize[0] + 4 * x;
                p[0] = x < 31 ? 250 : 10;
                p[1] = 120;
                p[2] = x < 31 ? 10 : 250;
                p[3] = 255;
            }
        }
        auto widget = shownWidget({63, 47});
        QVERIFY(widget);
        widget->setVideo(&media);
        widget->updateFrame(3);
        const QImage image = widget->grabFramebuffer();
        QVERIFY(near(image.pixelColor(5, 40), QColor(250, 120, 10)));
        QVERIFY(near(image.pixelColor(58, 5), QColor(10, 120, 250)));
    }

    void emptyOrUnknownSlotsUploadNothing()
    {
        Media media(nullptr, false, 0x10, rgb24, 0, 0);
        QVERIFY(media.picture(0)->allocate(64, 48, rgb24));
        const QColor green(30, 200, 60);
        fill(media.picture(0), green, green);

        auto widget = shownWidget({64, 48});
        QVERIFY(widget);
        widget->setVideo(&media);
        // nothing uploaded yet: black
        widget->updateFrame(7);
        widget->updateFrame(-1);
        widget->updateFrame(1); // exists, not allocated
        QCOMPARE(widget->grabFramebuffer().pixelColor(32, 24), QColor(Qt::black));

        widget->updateFrame(0);
        QVERIFY(near(widget->grabFramebuffer().pixelColor(32, 24), green));
        // a later bad slot keeps the old texture
        fill(media.picture(0), Qt::white, Qt::white);
        widget->updateFrame(7);
        QVERIFY(near(widget->grabFramebuffer().pixelColor(32, 24), green));
    }

    void clearingTheVideoLeavesBlack()
    {
        auto media = std::make_unique<Media>(nullptr, false, 0x10, rgb24, 0, 0);
        QVERIFY(media->picture(0)->allocate(64, 48, rgb24));
        fill(media->picture(0), Qt::white, Qt::white);
        auto widget = shownWidget({64, 48});
        QVERIFY(widget);
        widget->setVideo(media.get());
        widget->updateFrame(0);
        QVERIFY(near(widget->grabFramebuffer().pixelColor(10, 10), Qt::white));
        widget->setVideo(nullptr);
        QCOMPARE(widget->grabFramebuffer().pixelColor(10, 10), QColor(Qt::black));

        // an engine deleted while still set leaves the widget black, not dangling
        widget->setVideo(media.get());
        widget->updateFrame(0);
        media.reset();
        QCOMPARE(widget->grabFramebuffer().pixelColor(10, 10), QColor(Qt::black));
        widget->updateFrame(0);
    }

    // The engine's own frameReady(int) drives the widget; what it shows on
    // screen is read back from the window system.
    void showsAPlayingClip()
    {
        const QString clip = colourClip(QStringLiteral("play.mkv"), {320, 240}, QStringLiteral("0x3080c0"));
        QVERIFY(!clip.isEmpty());
        Media media(nullptr, false, 0x10, rgb24, 0, 0);
        QVERIFY(media.open(clip, 0, 0));

        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *widget = new GLRenderWidget;
        layout->addWidget(widget);
        window.resize(320, 240);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        widget->setVideo(&media);
        QSignalSpy frames(&media, &Media::frameReady);
        media.start();
        QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 3, 10000);

        const QColor expected(0x30, 0x80, 0xc0);
        QTRY_VERIFY(near(widget->grabFramebuffer().pixelColor(160, 120), expected, 8));
        QScreen *screen = window.screen();
        QImage onScreen;
        QTRY_VERIFY_WITH_TIMEOUT(
            (onScreen = screen->grabWindow(window.winId()).toImage(),
             near(onScreen.pixelColor(160, 120), expected, 8)),
            5000);
        QVERIFY(near(onScreen.pixelColor(5, 5), expected, 8));
        QVERIFY(near(onScreen.pixelColor(314, 234), expected, 8));
        media.stop();
    }

    // While playback is held no new picture comes to repaint the widget, so
    // switching the ratio must repaint by itself to show on screen.
    void switchingTheRatioRepaintsAStillPicture()
    {
        const QString clip = colourClip(QStringLiteral("still.mkv"), {320, 240}, QStringLiteral("black"));
        QVERIFY(!clip.isEmpty());
        Media media(nullptr, false, 0x10, rgb24, 0, 0);
        QVERIFY(media.open(clip, 0, 0));
        const QColor red(220, 30, 40);
        fill(media.picture(0), red, red);

        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *widget = new GLRenderWidget;
        layout->addWidget(widget);
        window.resize(640, 360);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        widget->setVideo(&media);
        widget->updateFrame(0);
        QScreen *screen = window.screen();
        const auto onScreen = [&](int x) {
            return screen->grabWindow(window.winId()).toImage().pixelColor(x, 180);
        };
        const auto leftEdge = [&] { return onScreen(20); };
        QTRY_VERIFY(near(onScreen(320), red) && leftEdge() == QColor(Qt::black));
        widget->setVideoAspectRatio(false);
        QTRY_VERIFY_WITH_TIMEOUT(near(leftEdge(), red), 3000);
        widget->setVideoAspectRatio(true);
        QTRY_VERIFY_WITH_TIMEOUT(leftEdge() == QColor(Qt::black), 3000);
    }

    // A user on a software renderer must get RGB pictures drawn by the
    // painter (OpenGL and the YUV path cost more there), one on a graphics
    // card the YUV path, and the variable must overrule both.
    void choosesThePicturePath_data()
    {
        QTest::addColumn<QString>("renderer");
        QTest::addColumn<bool>("shaders");
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<bool>("yuv");
        const QString llvmpipe = QStringLiteral("llvmpipe (LLVM 15.0.6, 256 bits)");
        const QString card = QStringLiteral("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6)");
        QTest::addColumn<bool>("painter");
        QTest::newRow("llvmpipe") << llvmpipe << true << QByteArray() << false << true;
        QTest::newRow("softpipe") << QStringLiteral("softpipe") << true << QByteArray() << false << true;
        QTest::newRow("swrast") << QStringLiteral("Mesa swrast") << true << QByteArray() << false << true;
        QTest::newRow("Windows software")
            << QStringLiteral("GDI Generic Software Rasterizer") << true << QByteArray() << false << true;
        QTest::newRow("graphics card") << card << true << QByteArray() << true << false;
        QTest::newRow("card without shaders") << card << false << QByteArray() << false << false;
        QTest::newRow("card forced to rgb") << card << true << QByteArray("rgb") << false << false;
        QTest::newRow("llvmpipe forced to rgb") << llvmpipe << true << QByteArray("rgb") << false << false;
        QTest::newRow("llvmpipe forced to yuv") << llvmpipe << true << QByteArray(" YUV\n") << true << false;
        QTest::newRow("unknown setting") << card << true << QByteArray("fast") << true << false;
    }

    void choosesThePicturePath()
    {
        QFETCH(QString, renderer);
        QFETCH(bool, shaders);
        QFETCH(QByteArray, setting);
        QFETCH(bool, yuv);
        QFETCH(bool, painter);
        QCOMPARE(GLRenderWidget::prefersYuvPictures(renderer, shaders, setting), yuv);
        QCOMPARE(GLRenderWidget::drawsWithPainter(renderer, setting), painter);
    }

    // A wrong matrix or range shifts colours on screen (skin too red, blacks
    // grey); the YUV path must show what the RGB path shows.
    void showsTheClipsColours_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("matrix");
        QTest::addColumn<QString>("range");
        QTest::addColumn<int>("format");
        for (const int format : {rgb24, yuv420p, bgra}) {
            const char *path = format == rgb24 ? "RGB path" : format == bgra ? "BGRA at the size shown" : "YUV path";
            QTest::addRow("BT.709 limited, %s", path)
                << QSize(640, 360) << QStringLiteral("bt709") << QStringLiteral("tv") << format;
            QTest::addRow("BT.601 full, %s", path)
                << QSize(320, 240) << QStringLiteral("bt601") << QStringLiteral("pc") << format;
            QTest::addRow("untagged HD taken as BT.709, %s", path)
                << QSize(1280, 720) << QString() << QStringLiteral("tv") << format;
        }
    }

    void showsTheClipsColours()
    {
        QFETCH(QSize, size);
        QFETCH(QString, matrix);
        QFETCH(QString, range);
        QFETCH(int, format);
        const QColor expected(0xC8, 0x3C, 0x28);
        const QString clip = matrix.isEmpty()
            ? taggedClip(QStringLiteral("untagged.mkv"), size, expected.name(), QStringLiteral("bt709"), range)
            : taggedClip(QStringLiteral("tagged-%1-%2.mkv").arg(matrix, range), size,
                         expected.name(), matrix, range);
        if (matrix.isEmpty()) // the tags the scale filter leaves must go too
            QVERIFY(mediamaker::ffmpeg({QStringLiteral("-i"), clip, QStringLiteral("-c"),
                                        QStringLiteral("copy"), QStringLiteral("-colorspace"),
                                        QStringLiteral("unknown"), m_dir.filePath(QStringLiteral("bare.mkv"))}));
        Media media(nullptr, false, fastBilinear, format, 0, 0);
        QVERIFY(media.open(matrix.isEmpty() ? m_dir.filePath(QStringLiteral("bare.mkv")) : clip));
        auto *widget = new GLRenderWidget;
        auto window = windowWith(widget, {400, 300});
        QVERIFY(window);
        widget->setVideo(&media);
        QSignalSpy frames(&media, &Media::frameReady);
        media.start();
        QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 3, 10000);
        QColor seen;
        QTRY_VERIFY2((seen = widget->grabFramebuffer().pixelColor(200, 150), near(seen, expected, 4)),
                     qPrintable(describe(seen)));
        media.stop();
    }

    // Shrinking the window must shrink the pictures made (no CPU spent on
    // pixels nobody sees); growing it again must bring back the video's own
    // size (no blurred, enlarged small picture), and pictures keep coming.
    void picturesFollowTheSizeShown()
    {
        const QColor expected(0x30, 0x80, 0xc0);
        const QString clip = taggedClip(QStringLiteral("resize.mkv"), {640, 360}, expected.name(),
                                        QStringLiteral("bt601"), QStringLiteral("tv"), 12);
        QVERIFY(!clip.isEmpty());
        Media media(nullptr, false, fastBilinear, rgb24, 0, 0);
        QVERIFY(media.open(clip));
        auto *widget = new GLRenderWidget;
        auto window = windowWith(widget, {640, 360});
        QVERIFY(window);
        widget->setVideo(&media);
        QSize made;
        int shown = 0;
        connect(&media, &Media::frameReady, widget, [&](int i) {
            made = QSize(media.picture(i)->width, media.picture(i)->height);
            ++shown;
        });
        media.start();
        const qreal dpr = widget->devicePixelRatioF();
        for (const QSize size : {QSize(320, 180), QSize(800, 450), QSize(480, 270)}) {
            window->resize(size);
            const QSize expectedSize = (size * dpr).boundedTo(QSize(640, 360));
            QTRY_COMPARE_WITH_TIMEOUT(made, expectedSize, 5000);
            const int before = shown;
            QTRY_VERIFY_WITH_TIMEOUT(shown >= before + 5, 5000);
            QColor seen;
            QTRY_VERIFY2((seen = widget->grabFramebuffer().pixelColor(size.width() / 2, size.height() / 2),
                          near(seen, expected, 4)),
                         qPrintable(describe(seen)));
        }
        media.stop();
    }

    // DVD and DV pictures have non-square pixels: a 16:9 DVD must fill a
    // 16:9 window, a 4:3 one must have bars at the sides, and the picture
    // made at the size shown must keep that shape.
    void nonSquarePixelsKeepTheirShape_data()
    {
        QTest::addColumn<QSize>("coded");
        QTest::addColumn<QString>("dar");
        QTest::addColumn<float>("ratio");
        QTest::addColumn<QSize>("made"); // in a 640 x 360 widget
        QTest::newRow("NTSC DVD 16:9") << QSize(720, 480) << QStringLiteral("16/9") << 16.f / 9 << QSize(640, 360);
        QTest::newRow("PAL DVD 4:3") << QSize(720, 576) << QStringLiteral("4/3") << 4.f / 3 << QSize(480, 360);
        QTest::newRow("PAL DVD 16:9") << QSize(720, 576) << QStringLiteral("16/9") << 16.f / 9 << QSize(640, 360);
    }

    void nonSquarePixelsKeepTheirShape()
    {
        QFETCH(QSize, coded);
        QFETCH(QString, dar);
        QFETCH(float, ratio);
        QFETCH(QSize, made);
        const QColor expected(0x30, 0x80, 0xc0);
        const QString clip = taggedClip(QStringLiteral("dvd-%1x%2.mkv").arg(coded.width()).arg(coded.height()),
                                        coded, expected.name(), QStringLiteral("bt601"),
                                        QStringLiteral("tv"), 2, QStringLiteral(",setdar=%1").arg(dar));
        QVERIFY(!clip.isEmpty());
        Media media(nullptr, false, fastBilinear, rgb24, 0, 0);
        QVERIFY(media.open(clip));
        QVERIFY2(qAbs(media.displayAspectRatio() - ratio) < 0.01f,
                 qPrintable(QString::number(media.displayAspectRatio())));
        auto *widget = new GLRenderWidget;
        auto window = windowWith(widget, {640, 360});
        QVERIFY(window);
        widget->setVideo(&media);
        QSize size;
        connect(&media, &Media::frameReady, widget,
                [&](int i) { size = QSize(media.picture(i)->width, media.picture(i)->height); });
        media.start();
        QTRY_COMPARE_WITH_TIMEOUT(size, made * widget->devicePixelRatioF(), 10000);
        const int bar = (640 - made.width()) / 2;
        QTRY_VERIFY(near(widget->grabFramebuffer().pixelColor(320, 180), expected, 4));
        const QImage image = widget->grabFramebuffer();
        QVERIFY(near(image.pixelColor(bar + 2, 180), expected, 4));
        QVERIFY(near(image.pixelColor(640 - bar - 3, 180), expected, 4));
        if (bar > 0) {
            QCOMPARE(image.pixelColor(bar - 2, 180), QColor(Qt::black));
            QCOMPARE(image.pixelColor(640 - bar + 1, 180), QColor(Qt::black));
        }
        media.stop();
    }

    void doubleClickAsksForFullScreen()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *widget = new GLRenderWidget;
        layout->addWidget(widget);
        window.resize(200, 150);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy spy(widget, &GLRenderWidget::windowClosed);
        doubleClick(widget, {50, 50});
        QCOMPARE(spy.count(), 1);
        // the main window being full screen is no reason to stay quiet: the
        // double click is how the user leaves it
        window.showFullScreen();
        doubleClick(widget, {50, 50});
        QCOMPARE(spy.count(), 2);
    }

    void doubleClickOnAFullScreenWidgetDoesNothing()
    {
        GLRenderWidget widget;
        widget.showFullScreen();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        QSignalSpy spy(&widget, &GLRenderWidget::windowClosed);
        doubleClick(&widget, {50, 50});
        QCOMPARE(spy.count(), 0);
    }
};

VK_AUDIO_TEST_MAIN(TestGLRenderWidget)
#include "tst_glrenderwidget.moc"
