// How long the skin takes to draw a window's frame: a full redraw from the
// template with the window's shape (after a resize), and a paint that finds
// the frame unchanged. Uses the staged skin of the runtime folder.
#include "skin/qskinobject.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <cstdio>

namespace {

double msPerRedraw(QSkinObject &skin, QWidget &window, QSize size, int rounds)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i) {
        // A one-pixel change of width makes every round a full redraw.
        window.resize(size.width() + (i % 2), size.height());
        skin.updateStyle();
    }
    return timer.nsecsElapsed() / 1e6 / rounds;
}

double usPerUnchangedPaint(QSkinObject &skin, int rounds)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        skin.updateStyle();
    return timer.nsecsElapsed() / 1e3 / rounds;
}

} // namespace

int main(int argc, char *argv[])
{
    // Without a display the figures still come, though the window then has
    // no shape; the platform's complaints about that are not figures.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    }
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Vantiro"));
    window.resize(640, 480);
    QSkinObject skin(&window);
    skin.setProgramDirectory(QStringLiteral(VK_RUNTIME_DIR));
    skin.startSkinning();
    skin.updateStyle();

    for (const QSize size : {QSize(640, 480), QSize(1600, 1000)}) {
        const QString name = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        std::printf("skin_frame_redraw_%s_ms: %.3f\n", qPrintable(name), msPerRedraw(skin, window, size, 40));
        window.resize(size);
        skin.updateStyle();
        std::printf("skin_unchanged_paint_%s_us: %.2f\n", qPrintable(name), usPerUnchangedPaint(skin, 2000));
    }
    return 0;
}
