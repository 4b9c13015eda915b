#include "skin/qskinobject.h"
#include "skin/qskinwidgetresizehandler.h"
#include "testskin.h"

#include <QApplication>
#include <QScreen>
#include <QShortcut>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using testskin::SkinnedWindow;

// A pointer move with no button held, delivered at once.
void hover(QWidget *window, const QPoint &pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, window->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(window, &move);
}

} // namespace

class TestQSkinWidgetResizeHandler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void rangeFromBorderWidth_data();
    void rangeFromBorderWidth();
    void cursorShowsZone_data();
    void cursorShowsZone();
    void dragFromMiddleMoves();
    void dragFromEdge_data();
    void dragFromEdge();
    void inactiveWhileSkinMaximized();
    void shortcutSwallowedDuringDrag();

private:
    QTemporaryDir m_dir;
};

void TestQSkinWidgetResizeHandler::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(testskin::write(m_dir.path()));
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestQSkinWidgetResizeHandler::rangeFromBorderWidth_data()
{
    QTest::addColumn<int>("border");
    QTest::addColumn<int>("range");
    QTest::newRow("10-pixel border") << 10 << 5;
    QTest::newRow("8-pixel border") << 8 << 8;
    QTest::newRow("20-pixel border") << 20 << 10;
    QTest::newRow("9-pixel border") << 9 << 9;
}

void TestQSkinWidgetResizeHandler::rangeFromBorderWidth()
{
    QFETCH(int, border);
    QFETCH(int, range);
    QTemporaryDir dir;
    QVERIFY(testskin::write(dir.path(), {}, border));
    QWidget window;
    QSkinObject skin(&window);
    skin.setProgramDirectory(dir.path());
    skin.startSkinning();
    QCOMPARE(skin.borderWidth(), border);
    QCOMPARE(skin.resizeHandler()->range(), range);
    QVERIFY(window.hasMouseTracking());
}

void TestQSkinWidgetResizeHandler::cursorShowsZone_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("mode");

    QTest::newRow("top-left corner") << QPoint(3, 3) << int(Qt::SizeFDiagCursor)
                                     << int(QSkinWidgetResizeHandler::TopLeft);
    QTest::newRow("top edge") << QPoint(100, 3) << int(Qt::SizeVerCursor) << int(QSkinWidgetResizeHandler::Top);
    QTest::newRow("inside") << QPoint(100, 100) << int(Qt::ArrowCursor) << int(QSkinWidgetResizeHandler::Center);
    QTest::newRow("top-right corner") << QPoint(636, 2) << int(Qt::SizeBDiagCursor)
                                      << int(QSkinWidgetResizeHandler::TopRight);
    QTest::newRow("bottom-left corner") << QPoint(4, 476) << int(Qt::SizeBDiagCursor)
                                        << int(QSkinWidgetResizeHandler::BottomLeft);
    QTest::newRow("bottom-right corner") << QPoint(639, 479) << int(Qt::SizeFDiagCursor)
                                         << int(QSkinWidgetResizeHandler::BottomRight);
    QTest::newRow("left edge, last pixel of the zone") << QPoint(5, 240) << int(Qt::SizeHorCursor)
                                                       << int(QSkinWidgetResizeHandler::Left);
    QTest::newRow("left edge, first pixel past the zone") << QPoint(6, 240) << int(Qt::ArrowCursor)
                                                          << int(QSkinWidgetResizeHandler::Center);
    QTest::newRow("right edge") << QPoint(635, 240) << int(Qt::SizeHorCursor) << int(QSkinWidgetResizeHandler::Right);
    QTest::newRow("bottom edge") << QPoint(320, 475) << int(Qt::SizeVerCursor)
                                 << int(QSkinWidgetResizeHandler::Bottom);
}

void TestQSkinWidgetResizeHandler::cursorShowsZone()
{
    QFETCH(QPoint, pos);
    QFETCH(int, shape);
    QFETCH(int, mode);

    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    // First somewhere else, so that the cursor has to change.
    hover(&w.window, pos.y() < 240 ? QPoint(320, 300) : QPoint(3, 3));
    hover(&w.window, pos);
    QCOMPARE(int(w.skin->resizeHandler()->mode()), mode);
    QCOMPARE(int(w.window.cursor().shape()), shape);
}

void TestQSkinWidgetResizeHandler::dragFromMiddleMoves()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QSignalSpy activated(w.skin->resizeHandler(), &QSkinWidgetResizeHandler::activate);

    QTest::mousePress(&w.window, Qt::LeftButton, {}, QPoint(320, 240));
    QCOMPARE(activated.count(), 1);
    QVERIFY(w.skin->resizeHandler()->isButtonDown());
    QTest::mouseMove(&w.window, QPoint(420, 290));
    const QPoint origin = testskin::origin();
    QTRY_COMPARE(w.window.pos(), origin + QPoint(100, 50));
    // The pointer keeps its place in the window as it goes on.
    QTest::mouseMove(&w.window, QPoint(300, 200));
    QTRY_COMPARE(w.window.pos(), origin + QPoint(80, 10));
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(320, 240));
    QVERIFY(!w.skin->resizeHandler()->isButtonDown());
    QCOMPARE(w.window.size(), QSize(640, 480));

    // After the release a move only looks where the pointer is.
    hover(&w.window, QPoint(400, 300));
    QCOMPARE(w.window.pos(), origin + QPoint(80, 10));
}

void TestQSkinWidgetResizeHandler::dragFromEdge_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("geometry");

    // Geometries as if the window started at (100, 100), 640 x 480: its
    // right edge at x = 739 and its bottom at y = 579.
    QTest::newRow("left edge inwards") << QPoint(2, 240) << QPoint(102, 240) << QRect(200, 100, 540, 480);
    QTest::newRow("left edge stops at the minimum width")
        << QPoint(2, 240) << QPoint(602, 240) << QRect(592, 100, 148, 480);
    QTest::newRow("left edge outwards") << QPoint(2, 240) << QPoint(-48, 300) << QRect(50, 100, 690, 480);
    QTest::newRow("right edge outwards") << QPoint(637, 240) << QPoint(737, 100) << QRect(100, 100, 740, 480);
    QTest::newRow("bottom edge inwards") << QPoint(320, 477) << QPoint(320, 277) << QRect(100, 100, 640, 280);
    QTest::newRow("top edge stops at the minimum height")
        << QPoint(320, 2) << QPoint(320, 702) << QRect(100, 520, 640, 60);
    QTest::newRow("top-left corner") << QPoint(2, 2) << QPoint(52, 32) << QRect(150, 130, 590, 450);
    QTest::newRow("top-right corner") << QPoint(637, 2) << QPoint(687, 52) << QRect(100, 150, 690, 430);
    QTest::newRow("bottom-left corner") << QPoint(2, 477) << QPoint(-48, 527) << QRect(50, 100, 690, 530);
    QTest::newRow("bottom-right corner stops at the minimum size")
        << QPoint(637, 477) << QPoint(-300, -300) << QRect(100, 100, 148, 60);
}

void TestQSkinWidgetResizeHandler::dragFromEdge()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, to);
    QFETCH(QRect, geometry);

    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QTRY_COMPARE(w.window.minimumSize(), QSize(148, 60));
    QTest::mousePress(&w.window, Qt::LeftButton, {}, press);
    QTest::mouseMove(&w.window, to);
    const QRect expected = geometry.translated(testskin::origin() - QPoint(100, 100));
    QTRY_COMPARE(w.window.geometry(), expected);
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, to);
    QCOMPARE(w.window.geometry(), expected);
}

void TestQSkinWidgetResizeHandler::inactiveWhileSkinMaximized()
{
    SkinnedWindow w(m_dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(580, 15)); // maximize button
    QVERIFY(w.skin->isSkinMaximized());
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QTRY_COMPARE(w.window.geometry(), available);

    hover(&w.window, QPoint(3, 3));
    hover(&w.window, QPoint(2, 200));
    QCOMPARE(w.window.cursor().shape(), Qt::ArrowCursor);

    QTest::mousePress(&w.window, Qt::LeftButton, {}, QPoint(2, 300));
    QTest::mouseMove(&w.window, QPoint(100, 300));
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(100, 300));
    QCOMPARE(w.window.geometry(), available);
}

void TestQSkinWidgetResizeHandler::shortcutSwallowedDuringDrag()
{
    SkinnedWindow w(m_dir.path());
    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), &w.window);
    QSignalSpy fired(shortcut, &QShortcut::activated);
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));

    QTest::mousePress(&w.window, Qt::LeftButton, {}, QPoint(320, 240));
    QTest::keyClick(&w.window, Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(fired.count(), 0);
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(320, 240));

    // The same key fires once the drag is over.
    QTest::keyClick(&w.window, Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(fired.count(), 1);
}

QTEST_MAIN(TestQSkinWidgetResizeHandler)
#include "tst_qskinwidgetresizehandler.moc"
