// What the OpenGL implementation offers, read once per process: the
// extensions, the renderer and with it the kind of pictures to ask for.
#include "display/glrenderwidget.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <QtGui/qopenglcontext_platform.h>

#if QT_CONFIG(xcb_glx_plugin)
#include <GL/glx.h>
#endif

Q_LOGGING_CATEGORY(lcCapabilities, "vantiro.display.capabilities", QtWarningMsg)

QStringList GLRenderWidget::s_extensions;
QString GLRenderWidget::s_renderer;
bool GLRenderWidget::s_shaderPrograms = false;

namespace {

bool isDirectRendering(QOpenGLContext &context)
{
#if QT_CONFIG(xcb_glx_plugin)
    auto *glx = context.nativeInterface<QNativeInterface::QGLXContext>();
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (glx && x11 && x11->display())
        return glXIsDirect(x11->display(), glx->nativeContext());
#else
    Q_UNUSED(context);
#endif
    // EGL and the other platforms render directly.
    return true;
}

} // namespace

// The format the implementation gives and the extension list are read from
// a context of the same format on a window that is created but never
// shown.
void GLRenderWidget::checkFormatAndExtensions()
{
    QWindow surface;
    surface.setSurfaceType(QSurface::OpenGLSurface);
    surface.setFormat(m_format);
    surface.create();
    QOpenGLContext context;
    context.setFormat(m_format);
    if (!context.create() || !context.makeCurrent(&surface)) {
        qWarning("GLRenderWidget: no OpenGL context could be created");
        return;
    }

    const QSurfaceFormat got = context.format();
    if (got.depthBufferSize() <= 0)
        qWarning("Could not get depth buffer; results will be suboptimal");
    if (got.redBufferSize() <= 0 || got.greenBufferSize() <= 0 || got.blueBufferSize() <= 0)
        qWarning("Could not set rgba buffer; results will be suboptimal");
    if (!isDirectRendering(context))
        qWarning("Could not set direct rendering; results will be suboptimal");
    // Qt leaves the platform's default in place, which is double buffering
    // for every platform it draws OpenGL windows on.
    if (got.swapBehavior() == QSurfaceFormat::SingleBuffer)
        qWarning("Could not set double buffering; results will be suboptimal");

    if (s_renderer.isEmpty()) {
        const auto *renderer = reinterpret_cast<const char *>(
            context.functions()->glGetString(GL_RENDERER));
        s_renderer = renderer ? QString::fromLatin1(renderer) : QStringLiteral("unknown");
        s_shaderPrograms = QOpenGLShaderProgram::hasOpenGLShaderPrograms(&context);
    }
    if (s_extensions.isEmpty()) {
        const auto *names = reinterpret_cast<const char *>(
            context.functions()->glGetString(GL_EXTENSIONS));
        if (names) {
            s_extensions = QString::fromLatin1(names).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        } else {
            // Core profiles only answer through the indexed query.
            for (const QByteArray &name : context.extensions())
                s_extensions << QString::fromLatin1(name);
        }
    }
    context.doneCurrent();
}

bool GLRenderWidget::hasExtension(const QString &name)
{
    if (s_extensions.isEmpty())
        delete new GLRenderWidget;
    return s_extensions.contains(name, Qt::CaseInsensitive);
}

bool GLRenderWidget::prefersYuvPictures()
{
    if (s_renderer.isEmpty())
        delete new GLRenderWidget;
    static const bool yuv = [] {
        const bool chosen = prefersYuvPictures(s_renderer, s_shaderPrograms,
                                               qgetenv("VANTIRO_VIDEO_PATH"));
        qCInfo(lcCapabilities, "%s pictures for %s", chosen ? "YUV" : "RGB",
               qPrintable(s_renderer));
        return chosen;
    }();
    return yuv;
}

bool GLRenderWidget::prefersYuvPictures(const QString &renderer, bool shaderPrograms,
                                        const QByteArray &setting)
{
    const QByteArray forced = setting.trimmed().toLower();
    if (forced == "rgb")
        return false;
    if (forced == "yuv")
        return true;
    for (const char *software : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (renderer.contains(QLatin1String(software), Qt::CaseInsensitive))
            return false;
    return shaderPrograms;
}

bool GLRenderWidget::drawsWithPainter()
{
    if (s_renderer.isEmpty())
        delete new GLRenderWidget;
    static const bool painter = [] {
        const bool chosen = drawsWithPainter(s_renderer, qgetenv("VANTIRO_VIDEO_PATH"));
        qCInfo(lcCapabilities, "%s draws RGB pictures for %s", chosen ? "the painter" : "OpenGL",
               qPrintable(s_renderer));
        return chosen;
    }();
    return painter;
}

bool GLRenderWidget::drawsWithPainter(const QString &renderer, const QByteArray &setting)
{
    const QByteArray forced = setting.trimmed().toLower();
    if (forced == "rgb" || forced == "yuv")
        return false;
    for (const char *software : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (renderer.contains(QLatin1String(software), Qt::CaseInsensitive))
            return true;
    return false;
}
