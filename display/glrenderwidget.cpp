#include "display/glrenderwidget.h"

#include "display/videowindow.h"
#include "display/yuvtextures.h"
#include "media/media.h"
#include "media/videopicture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QOpenGLFunctions>
#include <QOpenGLFramebufferObject>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace {

QSurfaceFormat requestedFormat()
{
    // An alpha channel and no depth buffer; everything else as Qt chooses.
    // Fixed-function drawing needs the compatibility profile.
    QSurfaceFormat format;
    format.setAlphaBufferSize(8);
    format.setDepthBufferSize(0);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    return format;
}

} // namespace

GLRenderWidget::GLRenderWidget(QWidget *parent)
    : QWidget(parent),
      m_format(requestedFormat())
{
    checkFormatAndExtensions();
    m_window = new VideoWindow(m_format);
    m_container = QWidget::createWindowContainer(m_window, this);
    // The window takes no input; neither does its container, so that
    // clicks reach this widget and what holds it (full screen, the menu).
    m_container->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_container->setFocusPolicy(Qt::NoFocus);
    connect(m_window, &VideoWindow::drawNeeded, this, &GLRenderWidget::draw);
    // The constructor read the renderer above: no second widget is made.
    m_painted = drawsWithPainter();
    if (m_painted) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        m_container->hide();
    }
    if (m_window->makeCurrent()) {
        initializeGL();
        m_window->doneCurrent();
    }
}

GLRenderWidget::~GLRenderWidget()
{
    releaseGL();
}

bool GLRenderWidget::isValid() const
{
    return m_painted || (m_window->isValid() && m_texture != 0);
}

void GLRenderWidget::setOpenGLShown(bool shown)
{
    if (m_container->isVisible() != shown)
        m_container->setVisible(shown);
}

// Copies an RGB slot into m_picture, reusing its storage; false for a slot
// of another kind.
bool GLRenderWidget::copyPicture(const VideoPicture &picture)
{
    QImage::Format format = QImage::Format_Invalid;
    switch (picture.pixelFormat) {
    case AV_PIX_FMT_BGRA:
        format = QImage::Format_RGB32; // B, G, R, A in memory on little-endian
        break;
    case AV_PIX_FMT_RGB24:
        format = QImage::Format_RGB888;
        break;
    case AV_PIX_FMT_RGBA:
        format = QImage::Format_RGBA8888;
        break;
    default:
        return false;
    }
    const QSize size(picture.width, picture.height);
    if (m_picture.size() != size || m_picture.format() != format) {
        m_picture = QImage(size, format);
        // Made at the size shown in device pixels: drawn as it is.
        m_picture.setDevicePixelRatio(devicePixelRatioF());
    }
    const AVFrame *frame = picture.frame;
    const int row = std::min<int>(m_picture.bytesPerLine(), frame->linesize[0]);
    for (int y = 0; y < size.height(); ++y)
        std::memcpy(m_picture.scanLine(y), frame->data[0] + qsizetype(y) * frame->linesize[0],
                    std::size_t(row));
    return true;
}

void GLRenderWidget::paintEvent(QPaintEvent *)
{
    if (!m_painted)
        return;
    QPainter painter(this);
    const qreal dpr = devicePixelRatioF();
    const QSize shown = shownSize(devicePixels(), pictureRatio(), m_keepAspectRatio);
    const QSizeF logical = QSizeF(shown) / dpr;
    const QRectF target(QPointF((width() - logical.width()) / 2, (height() - logical.height()) / 2),
                        logical);
    const QImage &image = m_showsStill || m_picture.isNull() ? m_still : m_picture;
    if (!m_media || !m_hasPicture || image.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // The bars only: the picture covers the rest.
    QRegion bars(rect());
    bars -= target.toAlignedRect();
    for (const QRect &bar : bars)
        painter.fillRect(bar, Qt::black);
    // A picture made at the size shown is copied as it is; setting its
    // ratio here would copy all of it at every picture.
    if (image.size() == shown && image.devicePixelRatio() == dpr) {
        painter.drawImage(target.topLeft(), image);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, image);
    }
}

QSize GLRenderWidget::devicePixels() const
{
    const qreal dpr = devicePixelRatioF();
    return {int(std::lround(width() * dpr)), int(std::lround(height() * dpr))};
}

void GLRenderWidget::resizeEvent(QResizeEvent *event)
{
    m_container->setGeometry(QRect(QPoint(0, 0), event->size()));
    tellShownSize();
    requestDraw();
}

void GLRenderWidget::requestDraw()
{
    if (m_painted && !m_container->isVisible())
        update();
    else
        m_window->requestUpdate();
}

void GLRenderWidget::draw()
{
    if (!m_window->isExposed() || !m_window->makeCurrent())
        return;
    paintGL(devicePixels());
    m_window->swapBuffers();
    m_window->doneCurrent();
}

QImage GLRenderWidget::grabFramebuffer()
{
    if (m_painted && !m_container->isVisible())
        return grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QSize pixels = devicePixels();
    if (!isValid() || pixels.isEmpty() || !m_window->makeCurrent())
        return {};
    QOpenGLFramebufferObject target(pixels);
    QImage image;
    if (target.bind()) {
        paintGL(pixels);
        image = target.toImage(false);
        target.release();
    }
    m_window->doneCurrent();
    return image.convertToFormat(QImage::Format_RGB32);
}

QSize GLRenderWidget::shownSize(QSize widget, float ratio, bool keepRatio)
{
    if (!keepRatio || ratio <= 0 || !std::isfinite(ratio) || widget.isEmpty())
        return widget;
    // The bars on either side are kept the same width to the pixel, so that
    // the picture starts on a pixel's edge and a picture made at this size
    // maps texel to pixel.
    const auto evenBars = [](int whole, int part) {
        part = std::clamp(part, 1, whole);
        return (whole - part) % 2 == 0 ? part : std::max(1, part - 1);
    };
    const double widgetRatio = double(widget.width()) / widget.height();
    if (ratio > widgetRatio) // bars above and below
        return {widget.width(),
                evenBars(widget.height(), int(std::lround(widget.width() / double(ratio))))};
    return {evenBars(widget.width(), int(std::lround(widget.height() * double(ratio)))),
            widget.height()};
}

float GLRenderWidget::pictureRatio() const
{
    float ratio = m_media ? m_media->displayAspectRatio() : 0.0f;
    if (ratio <= 0 && !m_still.isNull() && m_still.height() > 0)
        ratio = float(m_still.width()) / float(m_still.height());
    return ratio;
}

void GLRenderWidget::tellShownSize()
{
    if (!m_media)
        return;
    m_media->setDisplaySize(shownSize(devicePixels(), pictureRatio(), m_keepAspectRatio));
}

void GLRenderWidget::initializeGL()
{
    initializeOpenGLFunctions();

    glShadeModel(GL_FLAT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glClearColor(0, 0, 0, 1);

    // Without fragment programs every picture comes as RGB.
    m_yuv = std::make_unique<YuvTextures>();
    if (!s_shaderPrograms || !m_yuv->initialize())
        m_yuv.reset();
    m_showsYuv = false;
    m_textureSize = QSize();

    glGenTextures(1, &m_texture);
    glBindTexture(GL_TEXTURE_2D, m_texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);

    // The picture's first row is drawn at the top. The colour does not show
    // through the replace mode.
    const QColor colour = QColor(100, 100, 100).lighter(150);
    m_displayList = glGenLists(1);
    glNewList(m_displayList, GL_COMPILE);
    glColor3ub(GLubyte(colour.red()), GLubyte(colour.green()), GLubyte(colour.blue()));
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0, 1);
    glVertex3f(-1, -1, 0);
    glTexCoord2f(1, 1);
    glVertex3f(1, -1, 0);
    glTexCoord2f(1, 0);
    glVertex3f(1, 1, 0);
    glTexCoord2f(0, 0);
    glVertex3f(-1, 1, 0);
    glEnd();
    glEndList();
}

void GLRenderWidget::releaseGL()
{
    if (!m_displayList && !m_texture)
        return;
    if (!m_window->makeCurrent())
        return;
    if (m_yuv)
        m_yuv->release();
    m_yuv.reset();
    if (m_displayList)
        glDeleteLists(m_displayList, 1);
    if (m_texture)
        glDeleteTextures(1, &m_texture);
    m_displayList = 0;
    m_texture = 0;
    m_hasPicture = false;
    m_window->doneCurrent();
}

void GLRenderWidget::paintGL(QSize pixels)
{
    glViewport(0, 0, GLsizei(pixels.width()), GLsizei(pixels.height()));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glClear(GL_COLOR_BUFFER_BIT);
    if (m_media && !m_still.isNull() && !m_stillUploaded && m_texture)
        uploadStill();
    // Without a Media, or before its first picture, the widget is black.
    if (!m_media || !m_hasPicture || !m_displayList)
        return;

    glPushMatrix();
    const QSize shown = shownSize(pixels, pictureRatio(), m_keepAspectRatio);
    if (!shown.isEmpty() && !pixels.isEmpty())
        glScalef(float(shown.width()) / float(pixels.width()),
                 float(shown.height()) / float(pixels.height()), 1);
    if (m_showsYuv && m_yuv) {
        glDisable(GL_BLEND);
        m_yuv->draw(m_displayList);
    } else {
        // A cover may be see-through; a video picture never is, and
        // blending would cost a read of every pixel drawn.
        if (m_showsStill)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, m_texture);
        // A picture made at the size shown maps texel to pixel: sampling
        // the nearest is exact there and the cheapest on a software
        // renderer.
        const GLint filter = shown == m_textureSize ? GL_NEAREST : GL_LINEAR;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glCallList(m_displayList);
    }
    glPopMatrix();
}

// Runs inside the engine's frameReady(int), before the engine lets the
// video thread reuse the slot, so the pixels are copied at once. The slot's
// own size and format say what it holds: they follow the size shown.
void GLRenderWidget::updateFrame(int i)
{
    if (!m_media || !isValid())
        return;
    const VideoPicture *picture = m_media->picture(i);
    const bool filled = picture && picture->allocated && picture->frame;
    if (m_painted && (!filled || picture->pixelFormat != AV_PIX_FMT_YUV420P)) {
        if (filled && copyPicture(*picture)) {
            m_hasPicture = true;
            m_showsStill = false;
            m_showsYuv = false;
        }
        setOpenGLShown(false);
        // At once, not at the next turn of the event loop: the engine chose
        // this moment to match the sound.
        repaint();
        return;
    }
    if (m_painted)
        setOpenGLShown(true); // YUV pictures need the fragment program
    if (!m_window->makeCurrent())
        return;
    if (picture && picture->allocated && picture->frame) {
        if (picture->pixelFormat == AV_PIX_FMT_YUV420P) {
            if (m_yuv && m_yuv->upload(*picture)) {
                m_showsYuv = true;
                m_hasPicture = true;
            }
        } else {
            uploadRgb(*picture);
        }
    }
    // Drawn at once, not at the next turn of the event loop: the engine
    // chose this moment to match the sound.
    if (m_window->isExposed()) {
        paintGL(devicePixels());
        m_window->swapBuffers();
    }
    m_window->doneCurrent();
}

void GLRenderWidget::uploadRgb(const VideoPicture &picture)
{
    const AVFrame *frame = picture.frame;
    // BGRA is what a software renderer keeps its textures in: taken as it
    // is, without a pass that reorders the bytes.
    const bool bgra = picture.pixelFormat == AV_PIX_FMT_BGRA;
    const bool rgba = picture.pixelFormat == AV_PIX_FMT_RGBA;
    const int bytesPerPixel = rgba || bgra ? 4 : 3;
    const GLenum format = bgra ? GLenum(0x80E1) /* GL_BGRA */ : rgba ? GL_RGBA : GL_RGB;
    const GLint internal = bgra || rgba ? GL_RGBA : GL_RGB;
    glBindTexture(GL_TEXTURE_2D, m_texture);
    // Rows are tightly packed: width * 3 bytes for RGB is often no multiple
    // of OpenGL's default row alignment of 4 (854 x 480 for one), which
    // would shear the picture. Tell OpenGL the real row length and the
    // widest alignment that it has.
    const int lineSize = frame->linesize[0];
    glPixelStorei(GL_UNPACK_ALIGNMENT, YuvTextures::rowAlignment(lineSize));
    glPixelStorei(GL_UNPACK_ROW_LENGTH,
                  lineSize > 0 && lineSize % bytesPerPixel == 0 ? lineSize / bytesPerPixel : 0);
    const QSize size(picture.width, picture.height);
    // Same size and format as before: the storage is reused.
    if (size == m_textureSize && int(format) == m_textureFormat) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.width(), size.height(), format,
                        GL_UNSIGNED_BYTE, frame->data[0]);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, internal, size.width(), size.height(), 0, format,
                     GL_UNSIGNED_BYTE, frame->data[0]);
        m_textureSize = size;
        m_textureFormat = int(format);
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    m_showsYuv = false;
    m_showsStill = false;
    m_hasPicture = true;
}

// Runs with the context current. Without non-power-of-two textures the
// still is scaled to the nearest such size, as the engine's pictures are.
void GLRenderWidget::uploadStill()
{
    QImage still = m_still;
    const bool npot = hasExtension(QStringLiteral("GL_EXT_texture_non_power_of_two"))
        || hasExtension(QStringLiteral("GL_ARB_texture_non_power_of_two"));
    if (!npot)
        still = still.scaled(VideoPicture::roundToPowerOfTwo(still.width()),
                             VideoPicture::roundToPowerOfTwo(still.height()),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    glBindTexture(GL_TEXTURE_2D, m_texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, still.width(), still.height(), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, still.constBits());
    m_textureSize = QSize(); // the next picture makes the texture afresh
    m_showsYuv = false;
    m_showsStill = true;
    m_stillUploaded = true;
    m_hasPicture = true;
}

void GLRenderWidget::setVideo(Media *f)
{
    // One engine at a time feeds the texture.
    if (m_media && m_media != f)
        disconnect(m_media, &Media::frameReady, this, &GLRenderWidget::updateFrame);
    m_media = f;
    m_hasPicture = false;
    // A sound file's cover shows as a still; a video's own pictures replace
    // it as they come.
    m_still = QImage();
    if (f && !f->cover().isNull())
        m_still = f->cover().convertToFormat(QImage::Format_RGBA8888);
    m_stillUploaded = false;
    m_picture = QImage();
    if (m_painted) {
        // The painter shows the cover until pictures come.
        m_showsStill = !m_still.isNull();
        m_hasPicture = m_showsStill;
        setOpenGLShown(false);
    }
    if (f) {
        connect(f, &Media::frameReady, this, &GLRenderWidget::updateFrame, Qt::UniqueConnection);
        tellShownSize();
    }
    if (!f || !m_still.isNull())
        requestDraw();
}

void GLRenderWidget::setVideoAspectRatio(bool usevideoratio)
{
    m_keepAspectRatio = usevideoratio;
    tellShownSize();
    // While playback is held no picture comes to repaint the widget.
    requestDraw();
}

void GLRenderWidget::mouseDoubleClickEvent(QMouseEvent *)
{
    if (!(windowState() & Qt::WindowFullScreen))
        emit windowClosed();
}
