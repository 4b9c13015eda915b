#include "display/videowindow.h"

#include <QEvent>

VideoWindow::VideoWindow(const QSurfaceFormat &format)
{
    setSurfaceType(QSurface::OpenGLSurface);
    setFormat(format);
    setFlag(Qt::WindowTransparentForInput);
    m_context = std::make_unique<QOpenGLContext>();
    m_context->setFormat(format);
    if (!m_context->create()) {
        qWarning("GLRenderWidget: no OpenGL context could be created");
        m_context.reset();
        return;
    }
    m_hidden = std::make_unique<QOffscreenSurface>();
    m_hidden->setFormat(m_context->format());
    m_hidden->create();
}

VideoWindow::~VideoWindow()
{
    // The context goes before the window's surface.
    m_context.reset();
}

bool VideoWindow::isValid() const
{
    return m_context != nullptr;
}

bool VideoWindow::makeCurrent()
{
    if (!m_context)
        return false;
    if (handle() && isExposed())
        return m_context->makeCurrent(this);
    return m_context->makeCurrent(m_hidden.get());
}

void VideoWindow::doneCurrent()
{
    if (m_context)
        m_context->doneCurrent();
}

void VideoWindow::swapBuffers()
{
    if (m_context && m_context->surface() == this)
        m_context->swapBuffers(this);
}

void VideoWindow::exposeEvent(QExposeEvent *)
{
    if (isExposed())
        emit drawNeeded();
}

bool VideoWindow::event(QEvent *event)
{
    if (event->type() == QEvent::UpdateRequest) {
        if (isExposed())
            emit drawNeeded();
        return true;
    }
    return QWindow::event(event);
}
