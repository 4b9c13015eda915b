#include "skin/qskinobject.h"
#include "skin/qskinwidgetresizehandler.h"
#include "testskin.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

namespace {

using testskin::SkinnedWindow;

// The toolkit keeps a window's opacity in 256 steps.
bool sameOpacity(double a, double b)
{
    return qAbs(a - b) < 1.0 / 255;
}

} // namespace

class TestQSkinObject : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    // The pointer waits in the screen's corner beside the test windows.
    void init() { QCursor::setPos(QGuiApplication::primaryScreen()->availableGeometry().bottomRight()); }
    void settings_data();
    void settings();
    void alphaAndStopStart();
    void frameFromTemplate();
    void minimumCoversTheContents();
    void titleIconAndText();
    void missingTemplateLeavesPlainWindow();
    void buttonStatesFollowPointer();
    void skinMaximize();
    void releaseOnTitleButtons_data();
    void releaseOnTitleButtons();
    void shippedSkinIsComplete();
    void modifiedMarkInTitle_data();
    void modifiedMarkInTitle();

private:
    QTemporaryDir m_dir; // skin with background #336699 and alpha 0.8
};

void TestQSkinObject::initTestCase()
{
    QVERIFY(testskin::write(m_dir.path(), QStringLiteral("[Skin]\nHintergrundfarbe=#336699\nAlpha=0.8\n")));
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestQSkinObject::settings_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("templateName");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("title");
    QTest::addColumn<double>("alpha");
    QTest::addColumn<QString>("font");

    const QString defaultPath = QStringLiteral("skin/template.svg");
    QTest::newRow("no settings file") << QString() << defaultPath << QColor(Qt::white) << QColor(255, 100, 0)
                                      << 1.0 << QStringLiteral("Arial");
    QTest::newRow("all keys") << QStringLiteral("[Skin]\nHintergrundfarbe=#102030\nTitelfarbe=gold\nAlpha=0.5\n"
                                                "Titelschrift=\"DejaVu Sans,13,-1,5,75,0,0,0,0,0\"\n"
                                                "Skinpfad=frames/test.svg\n")
                              << QStringLiteral("frames/test.svg") << QColor(0x10, 0x20, 0x30)
                              << QColor(0xff, 0xd7, 0x00) << 0.5 << QStringLiteral("DejaVu Sans");
    // Unquoted, the font description reaches the settings as a list.
    QTest::newRow("unquoted font, unreadable values")
        << QStringLiteral("[Skin]\nHintergrundfarbe=#zzzzzz\nTitelfarbe=\nAlpha=half\n"
                          "Titelschrift=DejaVu Serif,9,-1,5,50,1,0,0,0,0\n")
        << defaultPath << QColor(Qt::white) << QColor(255, 100, 0) << 1.0 << QStringLiteral("DejaVu Serif");
}

void TestQSkinObject::settings()
{
    QFETCH(QString, settings);
    QFETCH(QString, templateName);
    QFETCH(QColor, background);
    QFETCH(QColor, title);
    QFETCH(double, alpha);
    QFETCH(QString, font);

    QTemporaryDir dir;
    QVERIFY(testskin::write(dir.path(), settings, 8, templateName));
    QWidget window;
    QSkinObject skin(&window);
    QCOMPARE(skin.programDirectory(), QCoreApplication::applicationDirPath());
    skin.setProgramDirectory(dir.path());
    skin.startSkinning();
    QCOMPARE(skin.backgroundColor(), background);
    QCOMPARE(skin.titleColor(), title);
    QCOMPARE(skin.alphaValue(), alpha);
    QCOMPARE(skin.titleFont().family(), font);
    QCOMPARE(skin.templatePath(), dir.path() + QLatin1Char('/') + templateName);
    // The template was read: its left border is 8 wide.
    QCOMPARE(window.contentsMargins(), QMargins(8, 30, 10, 30));
}

void TestQSkinObject::alphaAndStopStart()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QVERIFY(sameOpacity(w.window.windowOpacity(), 0.8));
    QTRY_VERIFY(!w.window.mask().isEmpty());
    QPointer<QSkinWidgetResizeHandler> first = w.skin->resizeHandler();

    w.skin->stopSkinning();
    QCOMPARE(w.window.windowOpacity(), 1.0);
    QVERIFY(w.window.isVisible());
    QVERIFY(w.window.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w.window.contentsMargins(), QMargins());
    QVERIFY(w.window.mask().isEmpty());
    QVERIFY(!w.skin->resizeHandler());
    QTRY_VERIFY(!first);

    w.skin->startSkinning();
    QVERIFY(sameOpacity(w.window.windowOpacity(), 0.8));
    QVERIFY(w.skin->resizeHandler());
    QCOMPARE(w.window.contentsMargins(), QMargins(10, 30, 10, 30));
    QCOMPARE(w.window.pos(), testskin::origin());
}

void TestQSkinObject::frameFromTemplate()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QTRY_COMPARE(w.window.minimumSize(), QSize(148, 60));
    QCOMPARE(w.skin->contentRect(), QRect(10, 30, 620, 420));
    QCOMPARE(w.skin->closeRegion(), QRegion(610, 5, 20, 20));
    QCOMPARE(w.skin->maximizeRegion(), QRegion(570, 5, 20, 20));
    QCOMPARE(w.skin->minimizeRegion(), QRegion(530, 5, 20, 20));

    const struct
    {
        int x, y;
        QColor colour;
    } expected[] = {
        {2, 15, testskin::topLeft},     {320, 2, testskin::top},          {637, 15, testskin::topRight},
        {2, 240, testskin::left},       {637, 240, testskin::right},      {2, 460, testskin::bottomLeft},
        {320, 470, testskin::bottom},   {637, 470, testskin::bottomRight}, {320, 240, QColor(0x33, 0x66, 0x99)},
        {10, 240, Qt::black}, // outline of the content rectangle
        {540, 15, testskin::button(0, 0)}, {580, 15, testskin::button(1, 0)}, {620, 15, testskin::button(2, 0)},
    };
    for (const auto &e : expected)
        QVERIFY2(w.pixel(e.x, e.y) == e.colour, qPrintable(QStringLiteral("%1,%2").arg(e.x).arg(e.y)));
    // Shaped to the frame: the transparent foot of the bottom-left corner is cut away.
    QVERIFY(w.window.mask().contains(QPoint(2, 470)));
    QVERIFY(!w.window.mask().contains(QPoint(2, 477)));
    QCOMPARE(w.window.grab().toImage().pixelColor(620, 15), testskin::button(2, 0));

    w.window.resize(500, 300);
    QTRY_COMPARE(w.skin->framePicture().size(), QSize(500, 300));
    QCOMPARE(w.skin->closeRegion(), QRegion(470, 5, 20, 20));
    QCOMPARE(w.pixel(480, 15), testskin::button(2, 0));
    w.window.resize(50, 20);
    QTRY_COMPARE(w.window.size(), QSize(148, 60));
}

void TestQSkinObject::minimumCoversTheContents()
{
    SkinnedWindow w(m_dir.path());
    auto *layout = new QVBoxLayout(&w.window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *content = new QWidget;
    content->setMinimumSize(300, 200);
    layout->addWidget(content);
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    // The layout's minimum inside the frame's margins, not the frame's own 148 x 60.
    QTRY_COMPARE(w.window.minimumSize(), QSize(320, 260));
    w.window.resize(50, 20);
    QTRY_COMPARE(w.window.size(), QSize(320, 260));
    QCOMPARE(content->size(), QSize(300, 200));
}

void TestQSkinObject::titleIconAndText()
{
    // The icon is read relative to the working directory.
    const QString previous = QDir::currentPath();
    QTemporaryDir work;
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("skin/default/images")) && QDir::setCurrent(work.path()));
    QImage icon(40, 40, QImage::Format_ARGB32);
    icon.fill(QColor(0x12, 0x34, 0x56));
    QVERIFY(icon.save(QStringLiteral("skin/default/images/kestrelbox.png")));

    SkinnedWindow w(m_dir.path());
    w.window.setWindowTitle(QString(200, QLatin1Char('M')));
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    // 20 x 20 at (2 * 10 + 15, 30 / 2 - 10).
    QTRY_COMPARE(w.pixel(35, 5), QColor(0x12, 0x34, 0x56));
    QCOMPARE(w.pixel(54, 24), QColor(0x12, 0x34, 0x56));
    QCOMPARE(w.pixel(45, 25), testskin::top);

    // The title starts at x = 2 * 10 + 40; a long one is cut short before
    // the minimize button at x = 530.
    const QImage frame = w.skin->framePicture().toImage();
    int titleInk = 0, inkBeforeButtons = 0;
    for (int y = 2; y < 28; ++y) {
        for (int x = 56; x < 530; ++x) {
            const bool inked = frame.pixelColor(x, y) != testskin::top;
            (x < 60 || x > 522 ? inkBeforeButtons : titleInk) += inked;
        }
    }
    QVERIFY(titleInk > 1000);
    QCOMPARE(inkBeforeButtons, 0);

    // A missing picture just leaves its place empty.
    QVERIFY(QFile::remove(QStringLiteral("skin/default/images/kestrelbox.png")));
    w.window.update();
    QTRY_COMPARE(w.pixel(45, 15), testskin::top);
    QVERIFY(QDir::setCurrent(previous));
}

void TestQSkinObject::missingTemplateLeavesPlainWindow()
{
    QTemporaryDir empty;
    SkinnedWindow w(empty.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QCOMPARE(w.window.contentsMargins(), QMargins());
    QTRY_COMPARE(w.skin->framePicture().size(), QSize(640, 480));
    QCOMPARE(w.skin->contentRect(), QRect(0, 0, 640, 480));
    QCOMPARE(w.pixel(320, 15), QColor(Qt::white));
    QVERIFY(w.skin->closeRegion().isEmpty());
    QCOMPARE(w.skin->resizeHandler()->range(), 0);
}

void TestQSkinObject::buttonStatesFollowPointer()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QTRY_COMPARE(w.pixel(620, 15), testskin::button(2, 0));
    // Other tests on the same display may move the pointer too, so it is
    // put in place again until the button follows.
    const auto pointAt = [&w](int x, int y) {
        w.window.raise();
        QCursor::setPos(w.window.mapToGlobal(QPoint(x, y)));
        return true;
    };
    QTRY_VERIFY(pointAt(620, 15) && w.pixel(620, 15) == testskin::button(2, 1));

    QTest::mousePress(&w.window, Qt::LeftButton, {}, QPoint(620, 15));
    QTRY_COMPARE(w.pixel(620, 15), testskin::button(2, 2));
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(300, 15));
    QTRY_COMPARE(w.pixel(620, 15), testskin::button(2, 1));

    // Moving on, and then off the window, leaves no button lit.
    QTRY_VERIFY(pointAt(580, 15) && w.pixel(580, 15) == testskin::button(1, 1));
    QTRY_COMPARE(w.pixel(620, 15), testskin::button(2, 0));
    QTRY_VERIFY(pointAt(660, 500) && w.pixel(580, 15) == testskin::button(1, 0));
}

void TestQSkinObject::skinMaximize()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    const QRect normal(testskin::origin(), QSize(640, 480));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const auto doubleClick = [&w](QPoint at) {
        QTest::mouseClick(&w.window, Qt::LeftButton, {}, at);
        QTest::mouseDClick(&w.window, Qt::LeftButton, {}, at);
        QTest::mouseRelease(&w.window, Qt::LeftButton, {}, at);
    };

    doubleClick(QPoint(200, 15));
    QVERIFY(w.skin->isSkinMaximized());
    QVERIFY(!w.window.isMaximized()); // the windowing system's own state is not used
    QTRY_COMPARE(w.window.geometry(), available);
    doubleClick(QPoint(200, 15));
    QTRY_COMPARE(w.window.geometry(), normal);
    doubleClick(QPoint(200, 200)); // below the title bar
    QVERIFY(!w.skin->isSkinMaximized());

    // The maximize button while maximized: the move/resize handler is off,
    // and the skin's own filter takes the click.
    QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(580, 15));
    QTRY_COMPARE(w.window.geometry(), available);
    QTRY_COMPARE(w.skin->maximizeRegion(), QRegion(available.width() - 70, 5, 20, 20));
    QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(available.width() - 60, 15));
    QVERIFY(!w.skin->isSkinMaximized());
    QTRY_COMPARE(w.window.geometry(), normal);
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
    QTest::newRow("pressed on close, released on maximize")
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
}

void TestQSkinObject::shippedSkinIsComplete()
{
    const QString runtime = QStringLiteral(VK_RUNTIME_DIR);
    QSvgRenderer svg(runtime + QStringLiteral("/skin/template.svg"));
    const auto size = [&svg](const QString &id) {
        return svg.elementExists(id) ? svg.boundsOnElement(id).size() : QSizeF();
    };
    for (const char *button : {"minimize", "maximize", "close"}) {
        const QString id = QStringLiteral("%1_button_").arg(QLatin1String(button));
        QVERIFY2(!size(id + QStringLiteral("normal")).isEmpty(), qPrintable(id));
        QCOMPARE(size(id + QStringLiteral("hover")), size(id + QStringLiteral("normal")));
        QCOMPARE(size(id + QStringLiteral("pressed")), size(id + QStringLiteral("normal")));
    }
    // The pieces close up around the window.
    const auto piece = [&size](const char *name) { return size(QStringLiteral("border_") + QLatin1String(name)); };
    QVERIFY(!piece("left").isEmpty() && !piece("top").isEmpty() && !piece("bottom").isEmpty());
    QCOMPARE(piece("topleft"), piece("topright"));
    QCOMPARE(piece("topleft").height(), piece("top").height());
    QCOMPARE(piece("bottomleft"), piece("bottomright"));
    QCOMPARE(piece("bottomleft").width(), piece("right").width());
    QCOMPARE(piece("bottomleft").height(), piece("bottom").height());

    SkinnedWindow w(runtime);
    QCOMPARE(w.skin->templatePath(), runtime + QStringLiteral("/skin/template.svg"));
    QCOMPARE(w.skin->backgroundColor(), QColor(Qt::black));
    QVERIFY(w.skin->alphaValue() > 0.5 && w.skin->alphaValue() <= 1.0);
    QVERIFY(w.skin->resizeHandler()->range() >= 4);
}

void TestQSkinObject::modifiedMarkInTitle_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "Player" << false << "Player";
    QTest::newRow("unmodified document") << "notes.html[*] - Rich Text" << false << "notes.html - Rich Text";
    QTest::newRow("modified document") << "notes.html[*] - Rich Text" << true << "notes.html* - Rich Text";
    QTest::newRow("literal marker") << "a[*][*]b" << true << "a[*]b";
    QTest::newRow("marker at the end") << "doc[*]" << true << "doc*";
}

void TestQSkinObject::modifiedMarkInTitle()
{
    QFETCH(QString, title);
    QFETCH(bool, modified);
    QFETCH(QString, shown);
    QWidget window;
    window.setWindowTitle(title);
    window.setWindowModified(modified);
    QCOMPARE(QSkinObject::shownTitle(&window), shown);
}

QTEST_MAIN(TestQSkinObject)
#include "tst_qskinobject.moc"
