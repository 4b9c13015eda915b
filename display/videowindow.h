#pragma once

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QWindow>

#include <memory>

// The native window the video widget draws its pictures into, with the
// OpenGL context that draws them. A QOpenGLWidget would make Qt compose the
// whole top-level window through OpenGL at every picture, which on a
// software renderer costs several times the drawing of the picture itself;
// a child window of its own is drawn alone. It takes no input: clicks and
// keys go to the widgets around it as if it were not there.
//
// The context exists from construction on: before the window is on screen
// it is made current on a hidden surface, so that textures can be filled
// and pictures drawn into framebuffer objects at any time. GUI thread only.
class VideoWindow final : public QWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VideoWindow)

public:
    explicit VideoWindow(const QSurfaceFormat &format);
    ~VideoWindow() override;

    // Whether the context could be made.
    bool isValid() const;
    QOpenGLContext *context() const { return m_context.get(); }
    // Makes the context current, on the window once it is exposed, else on
    // the hidden surface; false when that fails.
    bool makeCurrent();
    void doneCurrent();
    // Shows what was drawn into the window (after makeCurrent() on it).
    void swapBuffers();

signals:
    // The window was uncovered or asked for an update: draw it now.
    void drawNeeded();

protected:
    void exposeEvent(QExposeEvent *event) override;
    bool event(QEvent *event) override;

private:
    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<QOffscreenSurface> m_hidden;
};
