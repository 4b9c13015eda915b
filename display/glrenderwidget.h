#pragma once

#include <QImage>
#include <QOpenGLFunctions_1_1>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QSurfaceFormat>
#include <QWidget>

#include <memory>

class Media;
class VideoPicture;
class VideoWindow;
class YuvTextures;

// Shows the pictures of a Media: one textured square filling the widget,
// scaled to the video's display aspect ratio when asked, on black. Each
// frameReady(int) of the engine uploads that picture slot and repaints: an
// RGB slot into one texture, a YUV 4:2:0 slot into three that a fragment
// program converts. Drawn with fixed-function OpenGL in a compatibility
// profile context, into a native child window of the widget's size
// (VideoWindow) rather than through Qt's composition of the whole window.
// The widget tells the engine how many device pixels the picture covers, so
// that RGB pictures are made no larger than shown.
//
// The widget does not own the Media; the main window sets and clears it
// with setVideo(). GUI thread only.
class GLRenderWidget final : public QWidget, protected QOpenGLFunctions_1_1
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GLRenderWidget)

public:
    explicit GLRenderWidget(QWidget *parent = nullptr);
    ~GLRenderWidget() override;

    // Whether the OpenGL implementation lists the extension, compared
    // without regard to case. The list is read once per process, by a
    // short-lived hidden widget if none was made yet.
    static bool hasExtension(const QString &name);

    bool keepAspectRatio() const { return m_keepAspectRatio; }

    // Whether the OpenGL context could be made; without it the widget
    // shows nothing.
    bool isValid() const;
    // The format asked for (no depth buffer, an alpha channel).
    QSurfaceFormat format() const { return m_format; }
    // What the widget shows now, drawn afresh into an image of its size in
    // device pixels.
    QImage grabFramebuffer();

    // Whether the engine should hand this display YUV pictures: on a
    // graphics card that runs fragment programs, yes; on a software
    // renderer (llvmpipe, softpipe, swrast) converting on the processor
    // at the size shown costs less. VANTIRO_VIDEO_PATH=rgb or yuv decides
    // instead. Read once per process, like the extensions.
    static bool prefersYuvPictures();
    // The rule itself: renderer is GL_RENDERER's text, setting the
    // variable's value (anything but rgb and yuv is no setting).
    static bool prefersYuvPictures(const QString &renderer, bool shaderPrograms,
                                   const QByteArray &setting);
    // Whether RGB pictures are drawn by Qt's own painter rather than by
    // OpenGL: on a software renderer OpenGL is the processor too, and
    // copying a picture made at the size shown into the window costs far
    // less than uploading, drawing and swapping it. Such pictures come as
    // BGRA at exactly the size shown. VANTIRO_VIDEO_PATH=rgb or yuv
    // chooses OpenGL instead. Read once per process.
    static bool drawsWithPainter();
    static bool drawsWithPainter(const QString &renderer, const QByteArray &setting);
    // Device pixels the picture covers for a widget of that many device
    // pixels: the whole widget, or when the ratio (width / height, > 0) is
    // kept the largest part of that shape.
    static QSize shownSize(QSize widget, float ratio, bool keepRatio);

signals:
    // a double click asks the window to enter or leave full screen
    void windowClosed();

public slots:
    void updateFrame(int i);
    void setVideo(Media *f);
    void setVideoAspectRatio(bool usevideoratio);

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // With the context current: the textures, the square and the program;
    // drawing the picture into a target of that many device pixels.
    void initializeGL();
    void paintGL(QSize pixels);
    // Draws into the window and shows it, when the window is on screen.
    void draw();
    // Asks for a draw at the next turn of the event loop.
    void requestDraw();
    QSize devicePixels() const;
    void checkFormatAndExtensions();
    void uploadStill();
    void uploadRgb(const VideoPicture &picture);
    void releaseGL();
    // Width / height of what is shown, 0 when not known.
    float pictureRatio() const;
    // Tells the engine the size the picture covers now.
    void tellShownSize();

    QSurfaceFormat m_format;
    VideoWindow *m_window = nullptr; // owned by m_container
    QWidget *m_container = nullptr;
    QPointer<Media> m_media;
    unsigned m_displayList = 0; // the textured square; 0 until initialised
    unsigned m_texture = 0;     // the one texture; 0 until initialised
    bool m_keepAspectRatio = true;
    // The texture holds a picture of the current Media; until then the
    // widget stays black.
    bool m_hasPicture = false;
    // The cover of a sound file, uploaded at the next paint.
    QImage m_still;
    bool m_stillUploaded = false;
    // The YUV planes and their program; made with the context when it can
    // run them. m_showsYuv: the last upload went there.
    std::unique_ptr<YuvTextures> m_yuv;
    bool m_showsYuv = false;
    bool m_showsStill = false; // the texture holds the cover
    // Drawn by the painter: RGB pictures are copied into m_picture and
    // painted into the widget; the OpenGL window is hidden until a YUV
    // picture comes.
    bool m_painted = false;
    QImage m_picture;
    void setOpenGLShown(bool shown);
    bool copyPicture(const VideoPicture &picture);
    QSize m_textureSize; // of the RGB texture, to reuse its storage
    int m_textureFormat = 0;

    // Extension names of the OpenGL implementation, read once per process.
    static QStringList s_extensions;
    static QString s_renderer;
    static bool s_shaderPrograms;
};
