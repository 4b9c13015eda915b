#pragma once

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QString>
#include <QWidget>

#include "skin/qskinobject.h"

#include <memory>

// Writes a skin for tests into <directory>/skin/: a template whose corners
// are 10 x 30, side edges <border> wide, top and bottom edges 30 high and
// buttons 20 x 20, every piece and button state in a colour of its own,
// and, when settings is not empty, a skin.dat with that text.
namespace testskin {

// Piece colours, so that a pixel tells which piece drew it.
inline const QColor topLeft{0xff, 0x00, 0x00};
inline const QColor top{0x00, 0xff, 0x00};
inline const QColor topRight{0x00, 0x00, 0xff};
inline const QColor left{0xff, 0xff, 0x00};
inline const QColor right{0x00, 0xff, 0xff};
inline const QColor bottomLeft{0xff, 0x00, 0xff};
inline const QColor bottom{0x80, 0x80, 0x00};
inline const QColor bottomRight{0x00, 0x80, 0x80};

// Button colours: red for minimize, green for maximize, blue for close;
// brighter from normal over hover to pressed.
inline QColor button(int which, int state)
{
    const int level = 0x40 * (state + 1);
    return QColor(which == 0 ? level : 0, which == 1 ? level : 0, which == 2 ? level : 0);
}

inline QString templateSvg(int border)
{
    QString svg = QStringLiteral(
        "<svg xmlns='http://www.w3.org/2000/svg' width='400' height='200'>\n"
        "<rect id='border_topleft' x='0' y='0' width='10' height='30' fill='%1'/>\n"
        "<rect id='border_top' x='20' y='0' width='50' height='30' fill='%2'/>\n"
        "<rect id='border_topright' x='80' y='0' width='10' height='30' fill='%3'/>\n"
        "<rect id='border_left' x='0' y='40' width='%9' height='40' fill='%4'/>\n"
        "<rect id='border_right' x='40' y='40' width='10' height='40' fill='%5'/>\n"
        // The bottom five rows of this corner are transparent, for the mask.
        "<g id='border_bottomleft'><rect x='60' y='40' width='10' height='30' fill='none'/>"
        "<rect x='60' y='40' width='10' height='25' fill='%6'/></g>\n"
        "<rect id='border_bottom' x='80' y='40' width='50' height='30' fill='%7'/>\n"
        "<rect id='border_bottomright' x='140' y='40' width='10' height='30' fill='%8'/>\n")
                      .arg(topLeft.name(), top.name(), topRight.name(), left.name(), right.name(),
                           bottomLeft.name(), bottom.name(), bottomRight.name())
                      .arg(border);
    const char *names[] = {"minimize", "maximize", "close"};
    const char *states[] = {"normal", "hover", "pressed"};
    for (int b = 0; b < 3; ++b) {
        for (int s = 0; s < 3; ++s) {
            svg += QStringLiteral("<rect id='%1_button_%2' x='%3' y='%4' width='20' height='20' fill='%5'/>\n")
                       .arg(QLatin1String(names[b]), QLatin1String(states[s]))
                       .arg(30 * s)
                       .arg(100 + 30 * b)
                       .arg(button(b, s).name());
        }
    }
    return svg + QStringLiteral("</svg>\n");
}

inline bool writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) == text.toUtf8().size();
}

inline bool write(const QString &directory, const QString &settings = {}, int border = 10,
                  const QString &templateName = QStringLiteral("skin/template.svg"))
{
    if (!QDir(directory).mkpath(QStringLiteral("skin")))
        return false;
    const QString svgPath = directory + QLatin1Char('/') + templateName;
    if (!QDir().mkpath(QFileInfo(svgPath).path()) || !writeFile(svgPath, templateSvg(border)))
        return false;
    return settings.isEmpty() || writeFile(directory + QStringLiteral("/skin/skin.dat"), settings);
}

// Where the test windows stand: near the bottom-right corner of the screen,
// out of the way of other tests' windows on a shared display, where the
// pointer would reach them.
inline QPoint origin()
{
    return QGuiApplication::primaryScreen()->availableGeometry().bottomRight() - QPoint(679, 519);
}

// A real top-level window at origin(), 640 x 480, with its skin on.
struct SkinnedWindow
{
    explicit SkinnedWindow(const QString &programDirectory)
    {
        window.resize(640, 480);
        window.move(origin());
        skin = std::make_unique<QSkinObject>(&window);
        skin->setProgramDirectory(programDirectory);
        skin->startSkinning();
    }
    QColor pixel(int x, int y) const { return skin->framePicture().toImage().pixelColor(x, y); }

    QWidget window;
    std::unique_ptr<QSkinObject> skin;
};

} // namespace testskin
