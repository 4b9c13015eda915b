// Rasterises one SVG file to a PNG of the given size; the build uses it
// for the artwork that the program reads as pictures.
// Usage: svg2png INPUT.svg OUTPUT.png WIDTH HEIGHT
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool okW = false, okH = false;
    const int width = args.value(3).toInt(&okW);
    const int height = args.value(4).toInt(&okH);
    if (args.size() != 5 || !okW || !okH || width <= 0 || height <= 0) {
        std::fprintf(stderr, "usage: svg2png INPUT.svg OUTPUT.png WIDTH HEIGHT\n");
        return 2;
    }
    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "svg2png: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, width, height));
    painter.end();
    if (!image.save(args.at(2), "PNG")) {
        std::fprintf(stderr, "svg2png: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
