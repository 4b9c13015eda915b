#pragma once

#include <QOpenGLFunctions_1_1>
#include <QImage>
#include <QOpenGLWidget>
#include <QPointer>
#include <QStringList>

class Media;

// Shows the pictures of a Media: one textured square filling the widget,
// scaled to the video's display aspect ratio when asked, on black. Each
// frameReady(int) of the engine uploads that picture slot into the one
// texture and repaints. Drawn with fixed-function OpenGL in a compatibility
// profile context.
//
// The widget does not own the Media; the main window sets and clears it
// with setVideo(). GUI thread only.
class GLRenderWidget final : public QOpenGLWidget, protected QOpenGLFunctions_1_1
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

signals:
    // a double click asks the window to enter or leave full screen
    void windowClosed();

public slots:
    void updateFrame(int i);
    void setVideo(Media *f);
    void setVideoAspectRatio(bool usevideoratio);

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    void checkFormatAndExtensions();
    void uploadStill();
    void releaseGL();

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

    // Extension names of the OpenGL implementation, read once per process.
    static QStringList s_extensions;
};
