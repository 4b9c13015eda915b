#include "controls/controlbutton.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTranslator>
#include <QtTest>

namespace {

void sendMouse(QWidget *w, QEvent::Type type, QPointF pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

bool near(const QColor &a, const QColor &b, int tolerance = 3)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

// Records every signal of a bar by name, in emission order; the volume
// signal with its two values.
class Recorder
{
public:
    explicit Recorder(ControlButton *bar)
    {
        const auto record = [this](const char *name) {
            return [this, name] { names << QString::fromLatin1(name); };
        };
        QObject::connect(bar, &ControlButton::playPause, record("playPause"));
        QObject::connect(bar, &ControlButton::stop, record("stop"));
        QObject::connect(bar, &ControlButton::setMarkInSignal, record("setMarkInSignal"));
        QObject::connect(bar, &ControlButton::setMarkOut, record("setMarkOut"));
        QObject::connect(bar, &ControlButton::forward, record("forward"));
        QObject::connect(bar, &ControlButton::backward, record("backward"));
        QObject::connect(bar, &ControlButton::resetMark, record("resetMark"));
        QObject::connect(bar, &ControlButton::resetMarkIn, record("resetMarkIn"));
        QObject::connect(bar, &ControlButton::resetMarkOut, record("resetMarkOut"));
        QObject::connect(bar, &ControlButton::startSharpL, record("startSharpL"));
        QObject::connect(bar, &ControlButton::startSharpR, record("startSharpR"));
        QObject::connect(bar, &ControlButton::endSharpL, record("endSharpL"));
        QObject::connect(bar, &ControlButton::endSharpR, record("endSharpR"));
        QObject::connect(bar, &ControlButton::controlEditor, record("controlEditor"));
        QObject::connect(bar, &ControlButton::volumeChanged, [this](double l, double r) {
            names << QStringLiteral("volumeChanged(%1,%2)").arg(l).arg(r);
        });
    }
    QStringList names;
};

} // namespace

class TestControlButton : public QObject
{
    Q_OBJECT

private:
    // 600 pixels wide: L = 100, M = 300, R = 500
    std::unique_ptr<ControlButton> shownBar(int width = 600)
    {
        auto bar = std::make_unique<ControlButton>();
        bar->resize(width, 24);
        bar->show();
        if (!QTest::qWaitForWindowExposed(bar.get()))
            return nullptr;
        return bar;
    }

private slots:
    void initTestCase()
    {
        // The bar reads its pictures relative to the working directory.
        QVERIFY2(QFile::exists(QStringLiteral("./skin/default/images/play.png")),
                 "run from the runtime folder with the artwork staged");
    }

    void press_data()
    {
        QTest::addColumn<QPointF>("pos");
        QTest::addColumn<QStringList>("emitted");

        QTest::newRow("stop") << QPointF(110, 12) << QStringList{"stop"};
        QTest::newRow("stop and forward overlap")
            << QPointF(122, 12) << QStringList{"stop", "forward"};
        QTest::newRow("small buttons ignore the top rows") << QPointF(111, 3) << QStringList{};
        QTest::newRow("small buttons ignore the bottom rows") << QPointF(111, 18) << QStringList{};
        QTest::newRow("small button's lowest row") << QPointF(111, 17) << QStringList{"stop"};
        QTest::newRow("between nudge and loop start") << QPointF(236, 12) << QStringList{};
        QTest::newRow("play/pause") << QPointF(70, 7) << QStringList{"playPause"};
        QTest::newRow("backward") << QPointF(64, 12) << QStringList{"backward"};
        QTest::newRow("forward alone") << QPointF(154, 12) << QStringList{"forward"};
        QTest::newRow("nudge start left") << QPointF(224, 12) << QStringList{"startSharpL"};
        QTest::newRow("nudge start left ends before M - 66")
            << QPointF(234, 12) << QStringList{};
        QTest::newRow("loop start, whole height")
            << QPointF(240, 0) << QStringList{"setMarkInSignal"};
        QTest::newRow("nudge start right") << QPointF(294, 12) << QStringList{"startSharpR"};
        QTest::newRow("cancel loop") << QPointF(300, 24) << QStringList{"resetMark"};
        QTest::newRow("nudge end left") << QPointF(354, 12) << QStringList{"endSharpL"};
        QTest::newRow("loop end") << QPointF(372, 2) << QStringList{"setMarkOut"};
        QTest::newRow("nudge end right") << QPointF(390, 10) << QStringList{"endSharpR"};
        QTest::newRow("loop from start") << QPointF(180, 20) << QStringList{"resetMarkIn"};
        QTest::newRow("loop to end") << QPointF(444, 20) << QStringList{"resetMarkOut"};
        QTest::newRow("mute") << QPointF(482, 12) << QStringList{"volumeChanged(0,0)"};
        QTest::newRow("knob at R + 28") << QPointF(528, 12) << QStringList{"volumeChanged(0.5,0.5)"};
        QTest::newRow("track's left end")
            << QPointF(497, 9) << QStringList{QStringLiteral("volumeChanged(%1,%1)").arg(-3.0 / 56)};
        QTest::newRow("track's right end")
            << QPointF(553, 15) << QStringList{QStringLiteral("volumeChanged(%1,%1)").arg(53.0 / 56)};
        QTest::newRow("above the track") << QPointF(528, 8) << QStringList{};
        QTest::newRow("editor") << QPointF(594, 12) << QStringList{"controlEditor"};
        QTest::newRow("right of the editor") << QPointF(596, 12) << QStringList{};
    }

    void press()
    {
        QFETCH(QPointF, pos);
        QFETCH(QStringList, emitted);
        auto bar = shownBar();
        QVERIFY(bar);
        Recorder recorder(bar.get());
        sendMouse(bar.get(), QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(recorder.names, emitted);
    }

    // The layout never makes the bar narrower than its minimum size hint; at
    // that width a press in the middle of each button reaches that button
    // alone, and the leftmost picture starts inside the bar.
    void eachButtonAloneAtTheNarrowestWidth_data()
    {
        QTest::addColumn<int>("anchor"); // 0: L, 1: M, 2: R, 3: W
        QTest::addColumn<double>("offset");
        QTest::addColumn<QString>("emitted");
        QTest::newRow("backward") << 0 << -48.0 << "backward";
        QTest::newRow("play/pause") << 0 << -18.0 << "playPause";
        QTest::newRow("stop") << 0 << 8.0 << "stop";
        QTest::newRow("forward") << 0 << 42.0 << "forward";
        QTest::newRow("loop from start") << 1 << -108.0 << "resetMarkIn";
        QTest::newRow("nudge start left") << 1 << -71.0 << "startSharpL";
        QTest::newRow("loop start") << 1 << -48.0 << "setMarkInSignal";
        QTest::newRow("nudge start right") << 1 << -18.0 << "startSharpR";
        QTest::newRow("cancel loop") << 1 << 12.0 << "resetMark";
        QTest::newRow("nudge end left") << 1 << 49.0 << "endSharpL";
        QTest::newRow("loop end") << 1 << 72.0 << "setMarkOut";
        QTest::newRow("nudge end right") << 1 << 102.0 << "endSharpR";
        QTest::newRow("loop to end") << 1 << 132.0 << "resetMarkOut";
        QTest::newRow("mute") << 2 << -18.0 << "volumeChanged(0,0)";
        QTest::newRow("editor") << 3 << -18.0 << "controlEditor";
    }

    void eachButtonAloneAtTheNarrowestWidth()
    {
        QFETCH(int, anchor);
        QFETCH(double, offset);
        QFETCH(QString, emitted);
        const int width = ControlButton().minimumSizeHint().width();
        QVERIFY(width / 6 - 60 >= 0);
        auto bar = shownBar(width);
        QVERIFY(bar);
        const double anchors[] = {width / 6.0, width / 2.0, 5.0 * width / 6, double(width)};
        Recorder recorder(bar.get());
        sendMouse(bar.get(), QEvent::MouseButtonPress, QPointF(anchors[anchor] + offset, 12), Qt::LeftButton,
                  Qt::LeftButton);
        QCOMPARE(recorder.names, QStringList{emitted});
    }

    void rightButtonDoesNothing_data()
    {
        QTest::addColumn<QPointF>("pos");
        QTest::newRow("stop") << QPointF(110, 12);
        QTest::newRow("volume track") << QPointF(528, 12);
    }

    void rightButtonDoesNothing()
    {
        QFETCH(QPointF, pos);
        auto bar = shownBar();
        QVERIFY(bar);
        Recorder recorder(bar.get());
        sendMouse(bar.get(), QEvent::MouseButtonPress, pos, Qt::RightButton, Qt::RightButton);
        sendMouse(bar.get(), QEvent::MouseMove, pos + QPointF(2, 0), Qt::NoButton, Qt::RightButton);
        QCOMPARE(recorder.names, QStringList{});
        QCOMPARE(bar->volumeKnobX(), 525.0);
    }

    void muteLeavesTheKnob()
    {
        auto bar = shownBar();
        QVERIFY(bar);
        QSignalSpy spy(bar.get(), &ControlButton::volumeChanged);
        sendMouse(bar.get(), QEvent::MouseButtonPress, {528, 12}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(bar->volumeKnobX(), 528.0);
        sendMouse(bar.get(), QEvent::MouseButtonPress, {482, 12}, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(bar->volumeKnobX(), 528.0);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toDouble(), 0.0);
        QCOMPARE(spy.at(1).at(1).toDouble(), 0.0);
        QVERIFY(bar->isMuted());
    }

    void muteShowsAndSecondPressBringsTheVolumeBack()
    {
        auto bar = shownBar();
        QVERIFY(bar);
        const QRect speaker(470, 0, 24, bar->height());
        const QImage sounding = bar->grab(speaker).toImage();
        QSignalSpy spy(bar.get(), &ControlButton::volumeChanged);
        sendMouse(bar.get(), QEvent::MouseButtonPress, {482, 12}, Qt::LeftButton, Qt::LeftButton);
        QVERIFY(bar->isMuted());
        QVERIFY(bar->grab(speaker).toImage() != sounding);
        sendMouse(bar.get(), QEvent::MouseButtonPress, {482, 12}, Qt::LeftButton, Qt::LeftButton);
        QVERIFY(!bar->isMuted());
        QCOMPARE(bar->grab(speaker).toImage(), sounding);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toDouble(), bar->volumeLevel());
        // The wheel's way in: a level within 0 to 1 that also ends a mute.
        sendMouse(bar.get(), QEvent::MouseButtonPress, {482, 12}, Qt::LeftButton, Qt::LeftButton);
        bar->setVolumeLevel(1.7);
        QVERIFY(!bar->isMuted());
        QCOMPARE(bar->volumeLevel(), 1.0);
        QCOMPARE(spy.last().at(0).toDouble(), 1.0);
    }

    void dragMovesTheKnobOnlyOnTheTrack()
    {
        auto bar = shownBar();
        QVERIFY(bar);
        QSignalSpy spy(bar.get(), &ControlButton::volumeChanged);
        sendMouse(bar.get(), QEvent::MouseButtonPress, {510, 12}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(bar.get(), QEvent::MouseMove, {514, 13}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(bar->volumeKnobX(), 514.0);
        // off the strip: no change
        sendMouse(bar.get(), QEvent::MouseMove, {540, 20}, Qt::NoButton, Qt::LeftButton);
        sendMouse(bar.get(), QEvent::MouseMove, {560, 12}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(bar->volumeKnobX(), 514.0);
        // back on it
        sendMouse(bar.get(), QEvent::MouseMove, {542, 12}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(bar->volumeKnobX(), 542.0);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.last().at(0).toDouble(), 42.0 / 56);
        // moving without a button only sets tips
        sendMouse(bar.get(), QEvent::MouseMove, {520, 12}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(bar->volumeKnobX(), 542.0);
        QCOMPARE(spy.count(), 3);
    }

    void resizeKeepsTheKnobOnTheTrack()
    {
        auto bar = shownBar();
        QVERIFY(bar);
        QCOMPARE(bar->height(), 24);
        // the first resize puts the knob in the middle of the track
        QCOMPARE(bar->volumeKnobX(), 525.0);
        bar->resize(1200, 24);
        QCOMPARE(bar->volumeKnobX(), 1025.0);
        // integer divisions: 5 * 599 / 6 = 499
        bar->resize(599, 24);
        QCOMPARE(bar->volumeKnobX(), 524.0);
    }

    void toolTips_data()
    {
        QTest::addColumn<QList<QPointF>>("path");
        QTest::addColumn<QString>("tip");

        const auto one = [](double x, double y) { return QList<QPointF>{{x, y}}; };
        QTest::newRow("stop") << one(110, 23) << "stop";
        QTest::newRow("overlap: the last one wins") << one(122, 12) << "forward";
        QTest::newRow("nudge start left from M - 90") << one(210, 0) << "sharp tune start left";
        QTest::newRow("nudge start left below M - 66") << one(233.5, 12) << "sharp tune start left";
        QTest::newRow("nudge end left from M + 30") << one(330, 12) << "sharp tune end left";
        QTest::newRow("play/pause") << one(80, 2) << "play/pause";
        QTest::newRow("backward") << one(50, 12) << "backward";
        QTest::newRow("set loop start") << one(250, 12) << "set loop start";
        QTest::newRow("nudge start right") << one(280, 12) << "sharp tune start right";
        QTest::newRow("cancel loop") << one(310, 12) << "cancel loop";
        QTest::newRow("set loop end") << one(370, 12) << "set loop end";
        QTest::newRow("nudge end right") << one(400, 12) << "sharp tune end right";
        QTest::newRow("loop from start") << one(190, 12) << "reset loop from begin to current start";
        QTest::newRow("loop to end") << one(430, 12) << "reset loop from current end to end";
        QTest::newRow("volume silent") << one(480, 12) << "volume silent";
        QTest::newRow("volume control") << one(520, 12) << "volume control";
        QTest::newRow("editor") << one(580, 12) << "editor";
        QTest::newRow("leaving a rectangle keeps the tip")
            << QList<QPointF>{{110, 12}, {234, 12}, {5, 12}} << "stop";
    }

    void toolTips()
    {
        QFETCH(QList<QPointF>, path);
        QFETCH(QString, tip);
        auto bar = shownBar();
        QVERIFY(bar);
        for (const QPointF &pos : path)
            sendMouse(bar.get(), QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton);
        // The button's name, then what it does in words.
        const QStringList lines = bar->toolTip().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.first(), tip);
        QVERIFY(lines.last().size() > tip.size());
    }

    void toolTipsAreTranslated()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral("./translations/app_zh_CN.qm")));
        QCoreApplication::installTranslator(&translator);
        auto bar = shownBar();
        QVERIFY(bar);
        sendMouse(bar.get(), QEvent::MouseMove, {110, 12}, Qt::NoButton, Qt::NoButton);
        const QString stop = bar->toolTip();
        sendMouse(bar.get(), QEvent::MouseMove, {250, 12}, Qt::NoButton, Qt::NoButton);
        const QString loopStart = bar->toolTip();
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(stop, QStringLiteral("停止\n停止并关闭文件；再按播放会从原来的位置打开"));
        QCOMPARE(loopStart, QStringLiteral("设置循环起点\n在此处设置起点标记（F7）"));
    }

    void drawsBarTrackAndKnob()
    {
        auto bar = shownBar();
        QVERIFY(bar);
        const QImage image = bar->grab().toImage();
        // the gradient where no picture lies
        QVERIFY(near(image.pixelColor(5, 0), QColor(8, 56, 81), 4));
        QVERIFY(near(image.pixelColor(5, 23), QColor(17, 117, 169), 4));
        // grey track from R - 3 to R + 53, yellow 6 x 6 knob at R + 25
        QCOMPARE(image.pixelColor(540, 12), QColor(Qt::gray));
        QCOMPARE(image.pixelColor(497, 9), QColor(Qt::gray));
        QCOMPARE(image.pixelColor(552, 14), QColor(Qt::gray));
        for (int x = 522; x < 528; ++x)
            for (int y = 9; y < 15; ++y)
                QCOMPARE(image.pixelColor(x, y), QColor(Qt::yellow));
        QCOMPARE(image.pixelColor(521, 12), QColor(Qt::gray));
        QCOMPARE(image.pixelColor(528, 12), QColor(Qt::gray));
    }

    void picturesAtTheirPlaces_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("stop") << "stop.png" << QPoint(100, 7);
        QTest::newRow("backward") << "backward.png" << QPoint(40, 7);
        QTest::newRow("forward") << "forward.png" << QPoint(130, 7);
        QTest::newRow("loop start") << "start.png" << QPoint(240, 0);
        QTest::newRow("loop end") << "end.png" << QPoint(360, 0);
        QTest::newRow("nudge left of the start") << "weitiao01.png" << QPoint(224, 7);
        QTest::newRow("nudge right of the end") << "weitiao02.png" << QPoint(390, 7);
        QTest::newRow("cancel loop") << "repeat.png" << QPoint(300, 0);
        QTest::newRow("loop from start") << "syd.png" << QPoint(180, 0);
        QTest::newRow("loop to end") << "xyd.png" << QPoint(420, 0);
        QTest::newRow("volume") << "voice.png" << QPoint(470, 0);
        QTest::newRow("editor") << "editor.png" << QPoint(570, 0);
    }

    // Wherever a picture is opaque, the bar shows exactly the picture.
    void picturesAtTheirPlaces()
    {
        QFETCH(QString, file);
        QFETCH(QPoint, place);
        const QImage picture(QStringLiteral("./skin/default/images/") + file);
        QVERIFY(!picture.isNull());
        auto bar = shownBar();
        QVERIFY(bar);
        const QImage image = bar->grab().toImage();
        int opaque = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                const QColor c = picture.pixelColor(x, y);
                if (c.alpha() != 255)
                    continue;
                ++opaque;
                QVERIFY2(near(image.pixelColor(place + QPoint(x, y)), c),
                         qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
            }
        }
        QVERIFY(opaque > 5);
    }

    void playIconSwapsPictures()
    {
        auto bar = shownBar();
        QVERIFY(bar);
        const QImage play(QStringLiteral("./skin/default/images/play.png"));
        const QImage pause(QStringLiteral("./skin/default/images/pause.png"));
        // a point inside the play triangle that falls between the pause bars
        const QPoint probe(12, 5);
        QCOMPARE(play.pixelColor(probe).alpha(), 255);
        QCOMPARE(pause.pixelColor(probe).alpha(), 0);
        const QPoint onBar = QPoint(70, 7) + probe;

        bar->playIcon(true);
        QImage image = bar->grab().toImage();
        QVERIFY(!near(image.pixelColor(onBar), play.pixelColor(probe), 40));
        bar->playIcon(false);
        image = bar->grab().toImage();
        QVERIFY(near(image.pixelColor(onBar), play.pixelColor(probe)));
    }

    void partialRepaintMatchesFullRepaint()
    {
        auto bar = shownBar();
        QVERIFY(bar);
        const QImage full = bar->grab().toImage();
        QImage part(full.size(), full.format());
        part.fill(Qt::magenta);
        const QRect region(200, 5, 150, 10);
        bar->render(&part, region.topLeft(), QRegion(region));
        QCOMPARE(part.copy(region), full.copy(region));
    }
};

QTEST_MAIN(TestControlButton)
#include "tst_controlbutton.moc"
