#include "skin/qskinobject.h"
#include "skin/qskinwidgetresizehandler.h"
#include "testskin.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QScreen>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString defaultSettings = QStringLiteral("[Skin]\nHintergrundfarbe=#336699\nAlpha=0.8\n");

// A real top-level window at (100, 100), 640 x 480, with its skin on.
struct SkinnedWindow
{
    explicit SkinnedWindow(const QString &programDirectory)
    {
        window.setWindowTitle(QStringLiteral("Skin test"));
        window.resize(640, 480);
        window.move(100, 100);
        skin = std::make_unique<QSkinObject>(&window);
        skin->setProgramDirectory(programDirectory);
        skin->startSkinning();
    }
    QColor framePixel(int x, int y) const { return skin->framePicture().toImage().pixelColor(x, y); }

    QWidget window;
    std::unique_ptr<QSkinObject> skin;
};

// The toolkit keeps a window's opacity in 256 steps.
bool sameOpacity(double a, double b)
{
    return qAbs(a - b) < 1.0 / 255;
}

// Keeps the real pointer off the test windows, so that no button looks hovered.
void parkPointer()
{
    QCursor::setPos(10, 10);
    QCoreApplication::processEvents();
}

} // namespace

class TestQSkinObject : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void settingsDefaults();
    void settingsRead_data();
    void settingsRead();
    void alphaFollowsSkinning();
    void geometryFromTemplate();
    void frameDrawnFromTemplate();
    void frameFollowsWindowSize();
    void missingTemplateLeavesPlainWindow();
    void stopSkinningKeepsWindowFrameless();
    void buttonStatesFollowPointer();
    void doubleClickOnTitleMaximizes();
    void maximizeButtonWhileMaximizedRestores();
    void releaseOnTitleButtons_data();
    void releaseOnTitleButtons();
    void shippedSkinIsComplete();

private:
    QTemporaryDir m_dir;
};

void TestQSkinObject::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(testskin::write(m_dir.path(), defaultSettings));
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestQSkinObject::init()
{
    parkPointer();
}

void TestQSkinObject::settingsDefaults()
{
    QTemporaryDir dir;
    QVERIFY(testskin::write(dir.path()));
    QWidget window;
    QSkinObject skin(&window);
    QCOMPARE(skin.programDirectory(), QCoreApplication::applicationDirPath());
    skin.setProgramDirectory(dir.path());
    skin.startSkinning();
    QCOMPARE(skin.backgroundColor(), QColor(Qt::white));
    QCOMPARE(skin.titleColor(), QColor(255, 100, 0));
    QCOMPARE(skin.alphaValue(), 1.0);
    QCOMPARE(window.windowOpacity(), 1.0);
    QCOMPARE(skin.titleFont().family(), QStringLiteral("Arial"));
    QCOMPARE(skin.titleFont().italic(), false);
    QCOMPARE(skin.templatePath(), dir.path() + QStringLiteral("/skin/template.svg"));
    // The template at the default place was found and read.
    QCOMPARE(skin.borderWidth(), 10);
}

void TestQSkinObject::settingsRead_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("title");
    QTest::addColumn<double>("alpha");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pointSize");

    QTest::newRow("all keys, quoted font")
        << QStringLiteral("[Skin]\nHintergrundfarbe=#102030\nTitelfarbe=#a0b0c0\nAlpha=0.5\n"
                          "Titelschrift=\"DejaVu Sans,13,-1,5,75,0,0,0,0,0\"\nSkinpfad=frames/test.svg\n")
        << QColor(0x10, 0x20, 0x30) << QColor(0xa0, 0xb0, 0xc0) << 0.5 << QStringLiteral("DejaVu Sans") << 13;
    QTest::newRow("colour names, unquoted font")
        << QStringLiteral("[Skin]\nHintergrundfarbe=navy\nTitelfarbe=gold\n"
                          "Titelschrift=DejaVu Serif,9,-1,5,50,1,0,0,0,0\nSkinpfad=frames/test.svg\n")
        << QColor(Qt::darkBlue) << QColor(0xff, 0xd7, 0x00) << 1.0 << QStringLiteral("DejaVu Serif") << 9;
    QTest::newRow("unreadable values fall back")
        << QStringLiteral("[Skin]\nHintergrundfarbe=#zzzzzz\nTitelfarbe=\nAlpha=half\nSkinpfad=frames/test.svg\n")
        << QColor(Qt::white) << QColor(255, 100, 0) << 1.0 << QStringLiteral("Arial") << -2;
}

void TestQSkinObject::settingsRead()
{
    QFETCH(QString, settings);
    QFETCH(QColor, background);
    QFETCH(QColor, title);
    QFETCH(double, alpha);
    QFETCH(QString, family);
    QFETCH(int, pointSize);

    QTemporaryDir dir;
    QVERIFY(testskin::write(dir.path(), settings, 8, QStringLiteral("frames/test.svg")));
    QWidget window;
    QSkinObject skin(&window);
    skin.setProgramDirectory(dir.path());
    skin.startSkinning();
    QCOMPARE(skin.backgroundColor(), background);
    QCOMPARE(skin.titleColor(), title);
    QCOMPARE(skin.alphaValue(), alpha);
    QCOMPARE(skin.titleFont().family(), family);
    if (pointSize > 0)
        QCOMPARE(skin.titleFont().pointSize(), pointSize);
    QCOMPARE(skin.templatePath(), dir.path() + QStringLiteral("/frames/test.svg"));
    QCOMPARE(skin.borderWidth(), 8);
    QCOMPARE(window.contentsMargins(), QMargins(8, 30, 10, 30));
}

void TestQSkinObject::alphaFollowsSkinning()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(sameOpacity(w.window.windowOpacity(), 0.8));
    w.skin->stopSkinning();
    QCOMPARE(w.skin->alphaValue(), 1.0);
    QCOMPARE(w.window.windowOpacity(), 1.0);
    w.skin->startSkinning();
    QVERIFY(sameOpacity(w.window.windowOpacity(), 0.8));
    w.skin->setAlphaValue(0.5);
    QVERIFY(sameOpacity(w.window.windowOpacity(), 0.5));
}

void TestQSkinObject::geometryFromTemplate()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QVERIFY(w.window.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w.window.contentsMargins(), QMargins(10, 30, 10, 30));
    QTRY_COMPARE(w.window.minimumSize(), QSize(148, 60));
    QCOMPARE(w.skin->contentRect(), QRect(10, 30, 620, 420));
    QCOMPARE(w.skin->closeRegion(), QRegion(610, 5, 20, 20));
    QCOMPARE(w.skin->maximizeRegion(), QRegion(570, 5, 20, 20));
    QCOMPARE(w.skin->minimizeRegion(), QRegion(530, 5, 20, 20));
    QCOMPARE(w.window.pos(), QPoint(100, 100));
}

void TestQSkinObject::frameDrawnFromTemplate()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QTRY_COMPARE(w.skin->framePicture().size(), QSize(640, 480));

    const struct
    {
        QPoint at;
        QColor colour;
    } expected[] = {
        {{2, 15}, testskin::topLeft},
        {{320, 2}, testskin::top},
        {{637, 15}, testskin::topRight},
        {{2, 240}, testskin::left},
        {{637, 240}, testskin::right},
        {{2, 460}, testskin::bottomLeft},
        {{320, 470}, testskin::bottom},
        {{637, 470}, testskin::bottomRight},
        {{320, 240}, QColor(0x33, 0x66, 0x99)}, // background from the settings
        {{10, 240}, Qt::black},                 // outline of the content rectangle
        {{540, 15}, testskin::button(0, 0)},
        {{580, 15}, testskin::button(1, 0)},
        {{620, 15}, testskin::button(2, 0)},
    };
    for (const auto &e : expected)
        QVERIFY2(w.framePixel(e.at.x(), e.at.y()) == e.colour,
                 qPrintable(QStringLiteral("at %1,%2: %3").arg(e.at.x()).arg(e.at.y()).arg(w.framePixel(e.at.x(), e.at.y()).name())));

    // The window is shaped to the frame: the transparent foot of the
    // bottom-left corner is cut away.
    const QRegion mask = w.window.mask();
    QVERIFY(mask.contains(QPoint(2, 470)));
    QVERIFY(!mask.contains(QPoint(2, 477)));
    QVERIFY(mask.contains(QPoint(320, 240)));

    // What the window shows is the frame.
    const QImage shown = w.window.grab().toImage();
    QCOMPARE(shown.pixelColor(320, 2), testskin::top);
    QCOMPARE(shown.pixelColor(620, 15), testskin::button(2, 0));
}

void TestQSkinObject::frameFollowsWindowSize()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QTRY_COMPARE(w.skin->framePicture().size(), QSize(640, 480));
    w.window.resize(500, 300);
    QTRY_COMPARE(w.skin->framePicture().size(), QSize(500, 300));
    QCOMPARE(w.skin->contentRect(), QRect(10, 30, 480, 240));
    QCOMPARE(w.skin->closeRegion(), QRegion(470, 5, 20, 20));
    QCOMPARE(w.framePixel(497, 15), testskin::topRight);
    QCOMPARE(w.framePixel(480, 15), testskin::button(2, 0));

    // The minimum size holds against a smaller request.
    w.window.resize(50, 20);
    QTRY_COMPARE(w.window.size(), QSize(148, 60));
}

void TestQSkinObject::missingTemplateLeavesPlainWindow()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SkinnedWindow w(dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QCOMPARE(w.skin->borderWidth(), 0);
    QCOMPARE(w.window.contentsMargins(), QMargins());
    QTRY_COMPARE(w.skin->framePicture().size(), QSize(640, 480));
    QCOMPARE(w.skin->contentRect(), QRect(0, 0, 640, 480));
    QCOMPARE(w.framePixel(320, 15), QColor(Qt::white));
    QCOMPARE(w.framePixel(320, 240), QColor(Qt::white));
    QCOMPARE(w.window.minimumSize(), QSize(128, 0));
    QVERIFY(w.skin->closeRegion().isEmpty());
    QVERIFY(w.skin->resizeHandler());
    QCOMPARE(w.skin->resizeHandler()->range(), 0);
}

void TestQSkinObject::stopSkinningKeepsWindowFrameless()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QTRY_VERIFY(!w.window.mask().isEmpty());
    QPointer<QSkinWidgetResizeHandler> first = w.skin->resizeHandler();
    QVERIFY(first);

    w.skin->stopSkinning();
    QVERIFY(!w.skin->isSkinning());
    QVERIFY(w.window.isVisible());
    QVERIFY(w.window.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w.window.contentsMargins(), QMargins());
    QVERIFY(w.window.mask().isEmpty());
    QVERIFY(!w.window.hasMouseTracking());
    QVERIFY(!w.skin->resizeHandler());
    QTRY_VERIFY(!first);

    w.skin->startSkinning();
    QVERIFY(w.skin->isSkinning());
    QVERIFY(w.skin->resizeHandler());
    QCOMPARE(w.window.contentsMargins(), QMargins(10, 30, 10, 30));
    QCOMPARE(w.window.pos(), QPoint(100, 100));
}

void TestQSkinObject::buttonStatesFollowPointer()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    const QColor closeNormal = testskin::button(2, 0), closeHover = testskin::button(2, 1),
                 closePressed = testskin::button(2, 2);
    QTRY_COMPARE(w.framePixel(620, 15), closeNormal);

    QCursor::setPos(w.window.mapToGlobal(QPoint(620, 15)));
    QTRY_COMPARE(w.framePixel(620, 15), closeHover);
    QCOMPARE(w.framePixel(580, 15), testskin::button(1, 0));

    QTest::mousePress(&w.window, Qt::LeftButton, {}, QPoint(620, 15));
    QTRY_COMPARE(w.framePixel(620, 15), closePressed);
    // Released off the button: nothing happens and the button is no longer
    // pressed.
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(300, 15));
    QVERIFY(w.window.isVisible());
    QTRY_COMPARE(w.framePixel(620, 15), closeHover);

    // Over the next button, the one left goes back to normal.
    QCursor::setPos(w.window.mapToGlobal(QPoint(580, 15)));
    QTRY_COMPARE(w.framePixel(580, 15), testskin::button(1, 1));
    QTRY_COMPARE(w.framePixel(620, 15), closeNormal);

    // Leaving the window leaves no button lit.
    parkPointer();
    QTRY_COMPARE(w.framePixel(580, 15), testskin::button(1, 0));
}

void TestQSkinObject::doubleClickOnTitleMaximizes()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    const QRect normal(100, 100, 640, 480);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(available != normal);

    QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(200, 15));
    QTest::mouseDClick(&w.window, Qt::LeftButton, {}, QPoint(200, 15));
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(200, 15));
    QVERIFY(w.skin->isSkinMaximized());
    QVERIFY(!w.window.isMaximized());
    QTRY_COMPARE(w.window.geometry(), available);
    QTRY_COMPARE(w.skin->framePicture().size(), available.size());

    QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(200, 15));
    QTest::mouseDClick(&w.window, Qt::LeftButton, {}, QPoint(200, 15));
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(200, 15));
    QVERIFY(!w.skin->isSkinMaximized());
    QTRY_COMPARE(w.window.geometry(), normal);

    // Below the title bar a double click does nothing.
    QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(200, 200));
    QTest::mouseDClick(&w.window, Qt::LeftButton, {}, QPoint(200, 200));
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(200, 200));
    QVERIFY(!w.skin->isSkinMaximized());
}

void TestQSkinObject::maximizeButtonWhileMaximizedRestores()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();

    QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(580, 15));
    QVERIFY(w.skin->isSkinMaximized());
    QTRY_COMPARE(w.window.geometry(), available);
    // The button has moved with the right edge; the move/resize handler
    // is off now, and the skin's own filter takes the click.
    QTRY_COMPARE(w.skin->maximizeRegion(), QRegion(available.width() - 70, 5, 20, 20));
    QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(available.width() - 60, 15));
    QVERIFY(!w.skin->isSkinMaximized());
    QTRY_COMPARE(w.window.geometry(), QRect(100, 100, 640, 480));
}

void TestQSkinObject::releaseOnTitleButtons_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("maximized");
    QTest::addColumn<bool>("minimized");

    QTest::newRow("close") << QPoint(620, 15) << QPoint(620, 15) << false << false << false;
    QTest::newRow("close, lowest row") << QPoint(615, 24) << QPoint(615, 24) << false << false << false;
    QTest::newRow("close within the top 6 pixels") << QPoint(615, 5) << QPoint(615, 5) << true << false << false;
    QTest::newRow("close at y = 6") << QPoint(615, 6) << QPoint(615, 6) << true << false << false;
    QTest::newRow("maximize") << QPoint(575, 15) << QPoint(575, 15) << true << true << false;
    QTest::newRow("minimize") << QPoint(535, 15) << QPoint(535, 15) << true << false << true;
    QTest::newRow("gap between buttons") << QPoint(600, 15) << QPoint(600, 15) << true << false << false;
    QTest::newRow("drag ending over close") << QPoint(300, 15) << QPoint(620, 15) << true << false << false;
    QTest::newRow("press on close, release on maximize")
        << QPoint(620, 15) << QPoint(580, 15) << true << false << false;
}

void TestQSkinObject::releaseOnTitleButtons()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, release);
    QFETCH(bool, visible);
    QFETCH(bool, maximized);
    QFETCH(bool, minimized);

    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QTest::mousePress(&w.window, Qt::LeftButton, {}, press);
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, release);
    QTRY_COMPARE(w.window.isVisible(), visible);
    QCOMPARE(w.skin->isSkinMaximized(), maximized);
    QTRY_COMPARE(w.window.isMinimized(), minimized);
    if (!maximized)
        QCOMPARE(w.window.size(), QSize(640, 480));
}

void TestQSkinObject::shippedSkinIsComplete()
{
    const QString runtime = QStringLiteral(VK_RUNTIME_DIR);
    QSvgRenderer renderer(runtime + QStringLiteral("/skin/template.svg"));
    QVERIFY(renderer.isValid());
    const QStringList pieces = {"border_topleft",    "border_top",    "border_topright",   "border_left",
                                "border_right",      "border_bottomleft", "border_bottom", "border_bottomright"};
    for (const QString &id : pieces)
        QVERIFY2(renderer.elementExists(id), qPrintable(id));
    for (const char *button : {"minimize", "maximize", "close"}) {
        const QSizeF size = renderer.boundsOnElement(QStringLiteral("%1_button_normal").arg(QLatin1String(button))).size();
        for (const char *state : {"normal", "hover", "pressed"}) {
            const QString id = QStringLiteral("%1_button_%2").arg(QLatin1String(button), QLatin1String(state));
            QVERIFY2(renderer.elementExists(id), qPrintable(id));
            QCOMPARE(renderer.boundsOnElement(id).size(), size);
        }
    }
    const auto size = [&renderer](const char *id) { return renderer.boundsOnElement(QLatin1String(id)).size(); };
    // The pieces close up: corners as wide as the edges they end, the top
    // edge running under the corners' inner parts.
    QCOMPARE(size("border_topleft").width(), size("border_topright").width());
    QVERIFY(size("border_topleft").width() >= 5);
    QCOMPARE(size("border_bottomleft").width(), size("border_right").width());
    QCOMPARE(size("border_bottomright").width(), size("border_bottomleft").width());
    QCOMPARE(size("border_topleft").height(), size("border_top").height());
    QCOMPARE(size("border_topright").height(), size("border_top").height());
    QCOMPARE(size("border_bottomleft").height(), size("border_bottom").height());
    QCOMPARE(size("border_bottomright").height(), size("border_bottom").height());

    SkinnedWindow w(runtime);
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QCOMPARE(w.skin->templatePath(), runtime + QStringLiteral("/skin/template.svg"));
    QCOMPARE(w.skin->backgroundColor(), QColor(Qt::black));
    QVERIFY(w.skin->alphaValue() > 0.5 && w.skin->alphaValue() <= 1.0);
    QVERIFY(w.skin->resizeHandler()->range() >= 4);
    const QMargins margins = w.window.contentsMargins();
    QVERIFY(margins.top() >= 24 && margins.left() > 0 && margins.right() > 0 && margins.bottom() > 0);
}

QTEST_MAIN(TestQSkinObject)
#include "tst_qskinobject.moc"
