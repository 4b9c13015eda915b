#include "app/userfolders.h"
#include "tests/support/audiotestmain.h"
#include "app/vk.h"

#include "controls/controlbutton.h"
#include "controls/qscreenwidget.h"
#include "controls/qseekslider.h"
#include "display/glrenderwidget.h"
#include "editor/editorsettings.h"
#include "editor/ctextcheckeredit.h"
#include "editor/textedit.h"
#include "media/iaudio.h"
#include "media/media.h"
#include "tests/support/mediamaker.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <memory>

// The engine keeps this door open for tests; here it only reads the volume
// that an engine was given.
class MediaProbe
{
public:
    static const IAudio *audio(const Media *media) { return media->m_parts.audio.get(); }
};

class TestVk : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    // window
    void startsIdleWithItsActions();
    void contextMenuEntries();
    void openDialogRemembersPlaceAndFilter();
    void openingStartsPlayback();
    void dictationStaysWithItsMediaFile();
    void secondFileReplacesEngineAndKeepsVolume();
    void stopTwice();
    void trayClickHoldsAndHides();
    void closeHoldsPlayback();
    void closingWithoutTrayEndsTheProgram();
    void closingWithoutTrayAsksAboutUnsavedDictation();
    void brokenFileIsReportedAndLeavesWindowIdle();
    void refreshMovesSliderAndLabel();
    void editorToggles();
    void quitAsksAboutUnsavedDictation();
    void fullScreenAndBack();
    void trayBringsFullScreenBackAsNormalWindow_data();
    void trayBringsFullScreenBackAsNormalWindow();
    void shrinkingKeepsTheControlsWhole();
    // commands
    void clickAtMiddleSeeksToHalf();
    void clicksAroundLoopWidenOrSeek();
    void sharpTuneAtStartKeepsMarkButMovesFlag();
    void sharpTuneSteps_data();
    void sharpTuneSteps();
    void sharpTuneIsATenthOfASecond_data();
    void sharpTuneIsATenthOfASecond();
    void resetsDoNothingAtTheEnds();
    void loopResetsMoveTheLoop();
    void playPauseTogglesIsPlay();
    void whileHeldSeeksMoveThePlace_data();
    void whileHeldSeeksMoveThePlace();
    void editorKeysReachTheFunctionKeysOnly();
    void speedFromKeysAndMenu_data();
    void speedFromKeysAndMenu();
    void noEngineNoCommand();
    void lateStartMapsFractionsFromTheStart();
    void aspectRatioReachesTheDisplay();
    void zeroLengthKeepsSliderFinite();

private:
    void openFile(const QString &name);
    void waitPlaying();
    static double flagFraction(double pixels, const QSeekSlider *slider);

    QTemporaryDir m_dir;
    QString m_clip;
    QString m_second;
    QString m_broken;
    QString m_lateStart;
    QString m_still;
    std::unique_ptr<Vk> m_vk;
};

void TestVk::initTestCase()
{
    // What the player and the editor remember between runs goes to scratch
    // folders of this test's own (tests run side by side); the welcome
    // document counts as shown.
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    QSettings(editorsettings::settingsFile(), QSettings::IniFormat).setValue(QStringLiteral("editor/welcomeShown"), true);
    m_clip = m_dir.filePath(QStringLiteral("talk.mp4"));
    m_second = m_dir.filePath(QStringLiteral("second.mkv"));
    m_broken = m_dir.filePath(QStringLiteral("broken.mp4"));
    QVERIFY(mediamaker::makeVideo(m_clip, 12, 320, 240, 25));
    QVERIFY(mediamaker::makeVideo(m_second, 4, 160, 120, 25));
    QVERIFY(mediamaker::makeAudio(m_dir.filePath(QStringLiteral("tone.wav")), 3));
    QVERIFY(mediamaker::makeAudio(m_dir.filePath(QStringLiteral("tone.mp3")), 3));
    // MPEG-TS streams start at 1.4 s: positions run from s, not from 0.
    m_lateStart = m_dir.filePath(QStringLiteral("late.ts"));
    QVERIFY(mediamaker::makeVideo(m_lateStart, 8, 320, 240, 25, {QStringLiteral("-c:v"), QStringLiteral("mpeg2video"),
                                                                  QStringLiteral("-c:a"), QStringLiteral("mp2")}));
    // A single picture: a stream without any length.
    m_still = m_dir.filePath(QStringLiteral("still.nut"));
    QVERIFY(mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("color=c=red:s=64x64"), QStringLiteral("-frames:v"),
                                QStringLiteral("1"), QStringLiteral("-c:v"), QStringLiteral("mjpeg"),
                                m_still}));
    QFile broken(m_broken);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    QByteArray noise(64 * 1024, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + (i >> 3) * 104729) & 0xff);
    broken.write(noise);
}

void TestVk::init()
{
    // Each case starts as a first run: no file remembered, no window place,
    // no dictation an earlier case left beside the clip (which would bring
    // the editor up with the lesson).
    QDir(userfolders::configFolder()).removeRecursively();
    QFile::remove(m_clip + QStringLiteral(".html"));
    m_vk = std::make_unique<Vk>();
    QVERIFY(QTest::qWaitForWindowExposed(m_vk.get()));
}

void TestVk::cleanup()
{
    m_vk.reset();
}

void TestVk::openFile(const QString &name)
{
    m_vk->setFileChooser([name](QWidget *, const QString &, const QString &, const QString &) { return name; });
    m_vk->on_actionOpen_activated();
}

void TestVk::waitPlaying()
{
    QVERIFY(m_vk->engine());
    QTRY_VERIFY_WITH_TIMEOUT(m_vk->engine()->position() > m_vk->engine()->startTime(), 15000);
}

double TestVk::flagFraction(double pixels, const QSeekSlider *slider)
{
    return pixels / slider->width();
}

void TestVk::startsIdleWithItsActions()
{
    QCOMPARE(m_vk->windowTitle(), QStringLiteral("Vantiro复读机软件"));
    QCOMPARE(m_vk->size(), QSize(640, 480));
    QVERIFY(!m_vk->engine());
    QVERIFY(m_vk->idleScreen()->isVisible());
    QVERIFY(!m_vk->display()->isVisible());
    QVERIFY(!m_vk->seekSlider()->isEnabled());
    QCOMPARE(m_vk->palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(m_vk->palette().color(QPalette::WindowText), QColor(Qt::white));
    QVERIFY(m_vk->aspectRatioAction()->isCheckable());
    QVERIFY(m_vk->aspectRatioAction()->isChecked());
    QVERIFY(m_vk->fullScreenAction()->isCheckable());
    QVERIFY(!m_vk->fullScreenAction()->isChecked());
    QVERIFY(m_vk->trayIcon()->isVisible() || !QSystemTrayIcon::isSystemTrayAvailable());
    QCOMPARE(m_vk->trayIcon()->toolTip(), m_vk->windowTitle());
    const QList<QAction *> tray = m_vk->trayIcon()->contextMenu()->actions();
    QCOMPARE(tray.size(), 4);
    QCOMPARE(tray.at(0)->text(), QStringLiteral("Mi&nimize"));
    QCOMPARE(tray.at(1)->text(), QStringLiteral("&Restore"));
    QVERIFY(tray.at(2)->isSeparator());
    QCOMPARE(tray.at(3)->text(), QStringLiteral("&Quit"));
    QVERIFY(m_vk->editor());
    QVERIFY(m_vk->editor()->isHidden());
    QCOMPARE(m_vk->editor()->size(), QSize(610, 400));
}

void TestVk::contextMenuEntries()
{
    std::unique_ptr<QMenu> menu(m_vk->createContextMenu());
    const QList<QAction *> entries = menu->actions();
    QCOMPARE(entries.size(), 18);
    const QStringList texts{"Open", "Recent Files", "Speed", "Open Subtitles...", "Open Transcript...", "Sentences",
                            "Show Waveform", "Progress on This Lesson...", "", "Full Screen", "",
                            "Keep Aspect Ratio", "", "Preferences...", "Keys at a Glance", "Help", "", "Quit"};
    for (int i = 0; i < entries.size(); ++i) {
        QCOMPARE(entries.at(i)->isSeparator(), texts.at(i).isEmpty());
        if (!texts.at(i).isEmpty())
            QCOMPARE(entries.at(i)->text(), texts.at(i));
    }
}

void TestVk::openDialogRemembersPlaceAndFilter()
{
    QStringList places;
    QString caption, filter;
    QString answer;
    m_vk->setFileChooser([&](QWidget *parent, const QString &c, const QString &dir, const QString &f) {
        Q_ASSERT(parent == m_vk.get());
        caption = c;
        places << dir;
        filter = f;
        return answer;
    });
    answer = m_clip;
    m_vk->on_actionOpen_activated();
    QCOMPARE(caption, QStringLiteral("Open File"));
    // Every format the engine plays, each once, and a way to pick any file.
    const QStringList entries = filter.split(QStringLiteral(";;"));
    QCOMPARE(entries.size(), 2);
    QVERIFY(entries.at(0).startsWith(QStringLiteral("Media (*.mov *.avi *.wmv *.mpeg *.mp4 *.mpg *.vob *.swf *.flv *.rmvb *.rm *.mp3 *.mkv *.wma ")));
    for (const char *type : {"wav", "flac", "m4a", "ogg", "opus", "webm", "ts", "wmv"})
        QCOMPARE(entries.at(0).count(QStringLiteral("*.%1 ").arg(QLatin1String(type)))
                     + entries.at(0).count(QStringLiteral("*.%1)").arg(QLatin1String(type))), 1);
    QCOMPARE(entries.at(1), QStringLiteral("All files (*)"));
    QVERIFY(m_vk->engine());
    // The next dialog starts at the file chosen last, also after a Cancel
    // and in the next run.
    answer.clear();
    m_vk->on_actionOpen_activated();
    QCOMPARE(places.first(), QDir::homePath());
    QCOMPARE(places.last(), QFileInfo(m_clip).absoluteFilePath());
    QVERIFY(m_vk->engine()); // a Cancel leaves the playing file alone
    m_vk->on_actionOpen_activated();
    QCOMPARE(places.last(), QFileInfo(m_clip).absoluteFilePath());
    Vk next;
    next.setFileChooser([&](QWidget *, const QString &, const QString &dir, const QString &) {
        places << dir;
        return QString();
    });
    next.on_actionOpen_activated();
    QCOMPARE(places.last(), QFileInfo(m_clip).absoluteFilePath());
    // A folder is no media file: nothing changes.
    QPointer<Media> engine = m_vk->engine();
    answer = m_dir.path();
    m_vk->on_actionOpen_activated();
    QCOMPARE(m_vk->engine(), engine.data());
}

void TestVk::openingStartsPlayback()
{
    QFile::remove(m_clip + QStringLiteral(".html"));
    QSignalSpy played(m_vk.get(), &Vk::isPlay);
    QSignalSpy dirPath(m_vk.get(), &Vk::setDirPath);
    openFile(m_clip);
    QVERIFY(m_vk->engine());
    QCOMPARE(played.size(), 1);
    QCOMPARE(played.at(0).at(0).toBool(), true);
    QCOMPARE(dirPath.size(), 1);
    QCOMPARE(dirPath.at(0).at(0).toString(), m_clip);
    QVERIFY(!m_vk->idleScreen()->isVisible());
    QVERIFY(m_vk->display()->isVisible());
    QVERIFY(m_vk->seekSlider()->isEnabled());
    QCOMPARE(m_vk->durationLabel()->text(), QStringLiteral("00:00:12"));
    QVERIFY(m_vk->durationLabel()->isVisible());
    QVERIFY(m_vk->positionLabel()->isVisible());
    QVERIFY(!m_vk->engine()->isStopped());
    QCOMPARE(m_vk->engine()->markIn(), m_vk->engine()->startTime());
    QTRY_VERIFY(m_vk->refreshTimerActive());
    // The dictation belongs beside the clip, but nothing was typed yet.
    QCOMPARE(m_vk->editor()->currentFileName(), m_clip + QStringLiteral(".html"));
    QCoreApplication::processEvents();
    QVERIFY(!QFileInfo::exists(m_clip + QStringLiteral(".html")));
}

void TestVk::dictationStaysWithItsMediaFile()
{
    const QString first = m_clip + QStringLiteral(".html");
    const QString second = m_second + QStringLiteral(".html");
    QFile::remove(first);
    QFile::remove(second);
    openFile(m_clip);
    TextEdit *editor = m_vk->editor();
    QTest::keyClicks(editor->textArea(), QStringLiteral("what I heard"));
    QTRY_VERIFY(QFileInfo::exists(first));
    QTest::keyClicks(editor->textArea(), QStringLiteral(" and more"));

    int asked = 0;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            ++asked;
            box->button(QMessageBox::Cancel)->click();
        }
    });
    answerer.start(20);
    // The second file has no dictation yet; the unsaved words are still
    // asked about, and Cancel keeps them with the first file while the
    // second one plays.
    openFile(m_second);
    answerer.stop();
    QCOMPARE(asked, 1);
    QVERIFY(m_vk->engine());
    QCOMPARE(m_vk->durationLabel()->text(), QStringLiteral("00:00:04"));
    QCOMPARE(editor->currentFileName(), first);
    QCOMPARE(editor->windowTitle(), QStringLiteral("talk.mp4.html[*] - Rich Text"));
    QVERIFY(editor->textArea()->document()->isModified());
    QCoreApplication::processEvents();
    QVERIFY(!QFileInfo::exists(second));

    editor->textArea()->document()->setModified(false);
    QFile::remove(first);
}

void TestVk::secondFileReplacesEngineAndKeepsVolume()
{
    openFile(m_clip);
    QPointer<Media> first = m_vk->engine();
    QVERIFY(first);
    m_vk->on_actionVolume(0.25, 0.25);
    openFile(m_second);
    QVERIFY(!first); // deleted
    QVERIFY(m_vk->engine());
    QCOMPARE(m_vk->volumeLeft(), 0.25);
    QCOMPARE(m_vk->volumeRight(), 0.25);
    QCOMPARE(MediaProbe::audio(m_vk->engine())->leftVolume(), 0.25f);
    QCOMPARE(MediaProbe::audio(m_vk->engine())->rightVolume(), 0.25f);
    QCOMPARE(m_vk->durationLabel()->text(), QStringLiteral("00:00:04"));
}

void TestVk::stopTwice()
{
    openFile(m_clip);
    QPointer<Media> engine = m_vk->engine();
    QSignalSpy played(m_vk.get(), &Vk::isPlay);
    m_vk->on_actionStop();
    QVERIFY(!engine);
    QVERIFY(!m_vk->engine());
    QVERIFY(m_vk->idleScreen()->isVisible());
    QVERIFY(!m_vk->positionLabel()->isVisible());
    QVERIFY(!m_vk->durationLabel()->isVisible());
    QCOMPARE(m_vk->positionLabel()->text(), QStringLiteral("00:00:00"));
    QCOMPARE(m_vk->durationLabel()->text(), QStringLiteral("00:00:00"));
    QVERIFY(m_vk->seekSlider()->isEnabled());
    QVERIFY(!m_vk->refreshTimerActive());
    m_vk->on_actionStop();
    QCOMPARE(played.size(), 2);
    QCOMPARE(played.at(0).at(0).toBool(), false);
    QCOMPARE(played.at(1).at(0).toBool(), false);
    QVERIFY(m_vk->idleScreen()->isVisible());
}

void TestVk::trayClickHoldsAndHides()
{
    openFile(m_clip);
    waitPlaying();
    QSignalSpy played(m_vk.get(), &Vk::isPlay);
    // Only a plain click acts.
    m_vk->iconActivated(QSystemTrayIcon::DoubleClick);
    QVERIFY(m_vk->isVisible());
    m_vk->iconActivated(QSystemTrayIcon::Trigger);
    QVERIFY(m_vk->isHidden());
    QVERIFY(m_vk->engine()->isStopped());
    QCOMPARE(played.size(), 1);
    QCOMPARE(played.at(0).at(0).toBool(), false);
    m_vk->iconActivated(QSystemTrayIcon::Trigger);
    QVERIFY(m_vk->isVisible());
    QVERIFY(m_vk->engine()->isStopped());
    QCOMPARE(played.size(), 1);
}

void TestVk::closeHoldsPlayback()
{
    openFile(m_clip);
    waitPlaying();
    QSignalSpy played(m_vk.get(), &Vk::isPlay);
    QVERIFY(m_vk->close());
    QVERIFY(m_vk->isHidden());
    QVERIFY(m_vk->engine()->isStopped());
    QCOMPARE(played.size(), 1);
    QCOMPARE(played.at(0).at(0).toBool(), false);
    QVERIFY(m_vk->trayIcon()->isVisible() || !QSystemTrayIcon::isSystemTrayAvailable());
}

void TestVk::closingWithoutTrayEndsTheProgram()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        QSKIP("with a notification area the closed window waits in the tray");
    // As in the program: closing the last window does not end it by itself.
    QApplication::setQuitOnLastWindowClosed(false);
    openFile(m_clip);
    waitPlaying();
    QTimer::singleShot(0, m_vk.get(), &QWidget::close);
    // Should the close only hide the window, nothing would end the loop.
    QTimer fallback;
    fallback.setSingleShot(true);
    connect(&fallback, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    fallback.start(10000);
    const int status = QCoreApplication::exec();
    fallback.stop();
    QCOMPARE(status, 0);
    QVERIFY(m_vk->isHidden());
    QVERIFY(m_vk->engine()->isStopped());
}

void TestVk::closingWithoutTrayAsksAboutUnsavedDictation()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        QSKIP("with a notification area the closed window waits in the tray");
    QTest::keyClicks(m_vk->editor()->textArea(), QStringLiteral("what I heard"));
    int asked = 0;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            ++asked;
            box->button(QMessageBox::Cancel)->click();
        }
    });
    answerer.start(20);
    // Cancel keeps the window open and the dictation unsaved.
    QVERIFY(!m_vk->close());
    QCOMPARE(asked, 1);
    QVERIFY(m_vk->isVisible());
    QVERIFY(m_vk->editor()->textArea()->document()->isModified());
}

void TestVk::brokenFileIsReportedAndLeavesWindowIdle()
{
    openFile(m_clip);
    QString shown;
    QObject *parentOfBox = nullptr;
    // The message box runs its own loop; read and close it from there.
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        shown = box->text();
        parentOfBox = box->parent();
        box->accept();
    });
    closer.start(20);
    QSignalSpy played(m_vk.get(), &Vk::isPlay);
    QSignalSpy dirPath(m_vk.get(), &Vk::setDirPath);
    openFile(m_broken);
    closer.stop();
    QVERIFY2(shown.startsWith(QStringLiteral("Error opening %1:\n").arg(m_broken)), qPrintable(shown));
    QCOMPARE(parentOfBox, m_vk.get());
    QVERIFY(!m_vk->engine());
    QVERIFY(m_vk->idleScreen()->isVisible());
    QVERIFY(!m_vk->display()->isVisible());
    QVERIFY(!m_vk->durationLabel()->isVisible());
    QVERIFY(!m_vk->refreshTimerActive());
    QCOMPARE(played.size(), 1);
    QCOMPARE(played.at(0).at(0).toBool(), false);
    QCOMPARE(dirPath.size(), 0); // no dictation file beside a broken file
    // And the next good file plays.
    openFile(m_clip);
    QVERIFY(m_vk->engine());
    waitPlaying();
}

void TestVk::refreshMovesSliderAndLabel()
{
    openFile(m_clip);
    QTRY_VERIFY_WITH_TIMEOUT(m_vk->positionLabel()->text() >= QStringLiteral("00:00:01"), 15000);
    QVERIFY(m_vk->seekSlider()->value() > 0);
    QVERIFY(std::isfinite(m_vk->seekSlider()->value()));
    // A seek from the slider makes the next refresh leave the knob alone.
    m_vk->seekSlider()->setValue(0.9);
    const double knob = m_vk->seekSlider()->value();
    m_vk->on_actionSeek(0.9);
    m_vk->refreshTiming();
    QCOMPARE(m_vk->seekSlider()->value(), knob);
    // Held: the timer stops.
    m_vk->on_actionPlayPause();
    QTRY_VERIFY(!m_vk->refreshTimerActive());
}

void TestVk::editorToggles()
{
    m_vk->on_actionEidtor();
    QVERIFY(m_vk->editor()->isVisible());
    m_vk->on_actionEidtor();
    QVERIFY(m_vk->editor()->isHidden());
}

void TestVk::quitAsksAboutUnsavedDictation()
{
    QTest::keyClicks(m_vk->editor()->textArea(), QStringLiteral("what I heard"));
    QVERIFY(m_vk->editor()->textArea()->document()->isModified());
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    int asked = 0;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            ++asked;
            box->button(answer)->click();
        }
    });
    answerer.start(20);

    // Whether the program was asked to end: the quit request reaches the
    // application object as a Quit event.
    struct QuitWatcher : QObject
    {
        int quits = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            quits += event->type() == QEvent::Quit;
            return false;
        }
    } watcher;
    qApp->installEventFilter(&watcher);
    auto quitOnce = [&] {
        QTimer::singleShot(0, this, [&] {
            m_vk->quitAction()->trigger();
            QCoreApplication::exit(7);
        });
        QCoreApplication::exec();
    };

    // Cancel keeps the program running.
    quitOnce();
    QCOMPARE(asked, 1);
    QCOMPARE(watcher.quits, 0);
    QVERIFY(m_vk->editor()->textArea()->document()->isModified());

    // Discard lets it end, asking once.
    answer = QMessageBox::Discard;
    quitOnce();
    QCOMPARE(asked, 2);
    QCOMPARE(watcher.quits, 1);
    qApp->removeEventFilter(&watcher);
}

void TestVk::fullScreenAndBack()
{
    const QRect normal = m_vk->geometry();
    m_vk->fullScreenAction()->trigger();
    QVERIFY(m_vk->isFullScreen());
    QTRY_COMPARE(m_vk->geometry(), m_vk->screen()->geometry());
    QCOMPARE(m_vk->windowOpacity(), 1.0);
    // A double click on the video asks to leave again.
    Q_EMIT m_vk->display()->windowClosed();
    QVERIFY(!m_vk->fullScreenAction()->isChecked());
    QVERIFY(!m_vk->isFullScreen());
    QTRY_COMPARE(m_vk->geometry().size(), normal.size());
}

void TestVk::trayBringsFullScreenBackAsNormalWindow_data()
{
    QTest::addColumn<bool>("byMenu");
    QTest::newRow("tray click") << false;
    QTest::newRow("tray menu's Restore") << true;
}

void TestVk::trayBringsFullScreenBackAsNormalWindow()
{
    QFETCH(bool, byMenu);
    const QRect normal = m_vk->geometry();
    m_vk->fullScreenAction()->trigger();
    QTRY_COMPARE(m_vk->geometry(), m_vk->screen()->geometry());
    m_vk->iconActivated(QSystemTrayIcon::Trigger);
    QVERIFY(m_vk->isHidden());
    if (byMenu)
        m_vk->trayIcon()->contextMenu()->actions().at(1)->trigger();
    else
        m_vk->iconActivated(QSystemTrayIcon::Trigger);
    QVERIFY(m_vk->isVisible());
    // Back as a whole normal window, not a frameless one at the screen's size.
    QVERIFY(!m_vk->fullScreenAction()->isChecked());
    QVERIFY(!m_vk->isFullScreen());
    QTRY_COMPARE(m_vk->geometry().size(), normal.size());
}

void TestVk::shrinkingKeepsTheControlsWhole()
{
    // As small as a drag on the frame could make it.
    m_vk->resize(50, 20);
    QTRY_VERIFY(m_vk->buttonBar()->width() >= m_vk->buttonBar()->minimumSizeHint().width());
    const QRect inside = m_vk->rect().marginsRemoved(m_vk->contentsMargins());
    QVERIFY(m_vk->buttonBar()->isVisible());
    const QRect bar(m_vk->buttonBar()->mapTo(m_vk.get(), QPoint(0, 0)), m_vk->buttonBar()->size());
    QVERIFY2(inside.contains(bar), qPrintable(QStringLiteral("bar at %1,%2 %3x%4")
                                                  .arg(bar.x()).arg(bar.y()).arg(bar.width()).arg(bar.height())));
    const QRect slider(m_vk->seekSlider()->mapTo(m_vk.get(), QPoint(0, 0)), m_vk->seekSlider()->size());
    QVERIFY(inside.contains(slider));
    QVERIFY(slider.width() > 0);
}

void TestVk::clickAtMiddleSeeksToHalf()
{
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    QCOMPARE(e->startTime(), 0);
    const qint64 d = e->duration();
    m_vk->on_actionSeek(0.5);
    QCOMPARE(e->markIn(), 0);
    QCOMPARE(e->markOut(), d);
    // The first picture after the seek is at d / 2 or just after it.
    QTRY_VERIFY_WITH_TIMEOUT(e->position() >= d / 2 && e->position() < d / 2 + d / 10, 15000);
}

void TestVk::clicksAroundLoopWidenOrSeek()
{
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    const qint64 d = e->duration();
    QSeekSlider *slider = m_vk->seekSlider();
    e->setMarkOut(qint64(d * 0.4));
    e->setMarkIn(qint64(d * 0.2));
    slider->setMarkInFlag(0.2);
    slider->setMarkOutFlag(0.4);
    m_vk->on_actionSeek(0.3);
    QTRY_VERIFY_WITH_TIMEOUT(e->position() >= qint64(d * 0.3) && e->position() < qint64(d * 0.4), 15000);

    m_vk->on_actionSeek(0.1);
    QCOMPARE(e->markIn(), qint64(d * 0.1));
    QCOMPARE(flagFraction(slider->markIn(), slider), 0.1);
    m_vk->on_actionSeek(0.7);
    QCOMPARE(e->markOut(), qint64(d * 0.7));
    QCOMPARE(flagFraction(slider->markOut(), slider), 0.7);
    // Neither widening seeked: the pictures that follow stay past 0.3 d
    // until the loop runs out.
    QSignalSpy frames(e, &Media::frameReady);
    QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 10, 10000);
    QVERIFY(e->position() >= qint64(d * 0.3));
}

namespace {

// A tenth of a second of talk.mp4, which lasts 12 s.
qint64 tenth(const Media *e)
{
    return e->duration() / 120;
}

} // namespace

void TestVk::sharpTuneAtStartKeepsMarkButMovesFlag()
{
    openFile(m_clip);
    Media *e = m_vk->engine();
    const qint64 d = e->duration();
    QSeekSlider *slider = m_vk->seekSlider();
    QTest::keyClick(m_vk.get(), Qt::Key_F1);
    QCOMPARE(e->markIn(), e->startTime());
    QCOMPARE(flagFraction(slider->markIn(), slider), -double(tenth(e)) / d);
    QVERIFY(slider->markIn() < 0);
}

void TestVk::sharpTuneSteps_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("inStep");
    QTest::addColumn<int>("outStep");
    QTest::newRow("F1 start left") << int(Qt::Key_F1) << -1 << 0;
    QTest::newRow("F2 start right") << int(Qt::Key_F2) << 1 << 0;
    QTest::newRow("F3 end left") << int(Qt::Key_F3) << 0 << -1;
    QTest::newRow("F4 end right") << int(Qt::Key_F4) << 0 << 1;
}

void TestVk::sharpTuneSteps()
{
    QFETCH(int, key);
    QFETCH(int, inStep);
    QFETCH(int, outStep);
    openFile(m_clip);
    Media *e = m_vk->engine();
    const qint64 d = e->duration();
    e->setMarkOut(d / 2);
    e->setMarkIn(d / 4);
    QTest::keyClick(m_vk.get(), Qt::Key(key));
    QCOMPARE(e->markIn(), d / 4 + inStep * tenth(e));
    QCOMPARE(e->markOut(), d / 2 + outStep * tenth(e));
    QSeekSlider *slider = m_vk->seekSlider();
    if (inStep)
        QCOMPARE(flagFraction(slider->markIn(), slider), double(d / 4 + inStep * tenth(e)) / d);
    else
        QCOMPARE(flagFraction(slider->markOut(), slider), double(d / 2 + outStep * tenth(e)) / d);
    // With a modifier the key does nothing.
    QTest::keyClick(m_vk.get(), Qt::Key(key), Qt::ShiftModifier);
    QCOMPARE(e->markIn(), d / 4 + inStep * tenth(e));
    QCOMPARE(e->markOut(), d / 2 + outStep * tenth(e));
}

// Streams count time in very different units; a press moves a mark by the
// same time in each.
void TestVk::sharpTuneIsATenthOfASecond_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("seconds"); // length of the file
    QTest::newRow("MP4, 1/12800 s") << QStringLiteral("talk.mp4") << 12.0;
    QTest::newRow("Matroska, 1/1000 s") << QStringLiteral("second.mkv") << 4.0;
    QTest::newRow("WAV, 1/44100 s") << QStringLiteral("tone.wav") << 3.0;
    QTest::newRow("MP3") << QStringLiteral("tone.mp3") << 3.0;
}

void TestVk::sharpTuneIsATenthOfASecond()
{
    QFETCH(QString, file);
    QFETCH(double, seconds);
    openFile(m_dir.filePath(file));
    Media *e = m_vk->engine();
    QVERIFY(e);
    const qint64 d = e->duration();
    const qint64 s = e->startTime();
    e->setMarkOut(s + d / 2);
    e->setMarkIn(s + d / 4);
    const qint64 before = e->markIn();
    QTest::keyClick(m_vk.get(), Qt::Key_F2);
    const double moved = double(e->markIn() - before) / d * seconds;
    QVERIFY2(qAbs(moved - 0.1) < 0.002, qPrintable(QString::number(moved)));
    QTest::keyClick(m_vk.get(), Qt::Key_F3);
    const double movedOut = double(s + d / 2 - e->markOut()) / d * seconds;
    QVERIFY2(qAbs(movedOut - 0.1) < 0.002, qPrintable(QString::number(movedOut)));
}

void TestVk::resetsDoNothingAtTheEnds()
{
    openFile(m_clip);
    Media *e = m_vk->engine();
    const qint64 d = e->duration();
    QSignalSpy marking(e, &Media::markingChanged);
    QTest::keyClick(m_vk.get(), Qt::Key_F6);
    QTest::keyClick(m_vk.get(), Qt::Key_F9);
    QCOMPARE(marking.size(), 0);
    QCOMPARE(e->markIn(), 0);
    QCOMPARE(e->markOut(), d);
}

void TestVk::loopResetsMoveTheLoop()
{
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    const qint64 d = e->duration();
    QSeekSlider *slider = m_vk->seekSlider();
    e->setMarkOut(qint64(d * 0.5));
    e->setMarkIn(qint64(d * 0.25));
    // F6: from the start to where the loop began.
    QTest::keyClick(m_vk.get(), Qt::Key_F6);
    QCOMPARE(e->markIn(), 0);
    QCOMPARE(e->markOut(), qint64(d * (double(qint64(d * 0.25)) / d)));
    QCOMPARE(slider->markIn(), 0.0);
    // F9: from where it ended to the end, playing from there.
    e->setMarkOut(qint64(d * 0.75));
    QTest::keyClick(m_vk.get(), Qt::Key_F9);
    QCOMPARE(e->markOut(), d);
    QCOMPARE(e->markIn(), qint64(d * 0.75));
    QCOMPARE(flagFraction(slider->markOut(), slider), 1.0);
    QTRY_VERIFY_WITH_TIMEOUT(e->position() >= qint64(d * 0.75), 15000);
    // The button bar's cancel loop: the whole file again.
    m_vk->on_actionMarkReset();
    QCOMPARE(e->markIn(), 0);
    QCOMPARE(e->markOut(), d);
}

void TestVk::playPauseTogglesIsPlay()
{
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    QSignalSpy played(m_vk.get(), &Vk::isPlay);
    QTest::keyClick(m_vk.get(), Qt::Key_Space);
    QVERIFY(e->isStopped());
    const qint64 held = e->position();
    QTest::keyClick(m_vk.get(), Qt::Key_F5);
    QVERIFY(!e->isStopped());
    // Resumed from where it was held.
    QTRY_VERIFY_WITH_TIMEOUT(e->position() >= held, 15000);
    m_vk->on_actionPlayPause();
    QVERIFY(e->isStopped());
    QCOMPARE(played.size(), 3);
    QCOMPARE(played.at(0).at(0).toBool(), false);
    QCOMPARE(played.at(1).at(0).toBool(), true);
    QCOMPARE(played.at(2).at(0).toBool(), false);
}

// While held, what moves the knob moves the place where playback goes on,
// and the knob and the time show it at once.
void TestVk::whileHeldSeeksMoveThePlace_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<double>("seconds"); // where playback goes on, from the held place 2 s
    QTest::newRow("slider click at 75 %") << "click" << 9.0;
    QTest::newRow("Right") << "right" << 12.0;
    QTest::newRow("Forward then Backward") << "forward back" << 0.0;
    QTest::newRow("Left") << "left" << 0.0;
}

void TestVk::whileHeldSeeksMoveThePlace()
{
    QFETCH(QString, command);
    QFETCH(double, seconds);
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    const qint64 d = e->duration();
    e->seekTo(e->ticks(2.0));
    QTRY_VERIFY_WITH_TIMEOUT(e->position() >= e->ticks(2.0), 15000);
    m_vk->on_actionPlayPause();
    QVERIFY(e->isStopped());
    if (command == "click")
        m_vk->on_actionSeek(0.75);
    else if (command == "right")
        QTest::keyClick(m_vk.get(), Qt::Key_Right);
    else if (command == "left")
        QTest::keyClick(m_vk.get(), Qt::Key_Left);
    else {
        m_vk->on_actionForward();
        m_vk->on_actionBackward();
    }
    const qint64 place = e->position();
    QVERIFY2(qAbs(place - e->ticks(seconds)) <= e->ticks(0.1), qPrintable(QString::number(place)));
    QCOMPARE(m_vk->positionLabel()->text(), e->mediaTimeString(place));
    QVERIFY(qAbs(flagFraction(m_vk->seekSlider()->value(), m_vk->seekSlider()) - double(place) / double(d)) < 0.01);
    // Marks still move, from the new place.
    QTest::keyClick(m_vk.get(), Qt::Key_F7);
    QCOMPARE(e->markIn(), qMin(place, e->markOut()));
    m_vk->on_actionMarkReset();
    // Resuming plays on from the new place, gone back by the rewind on
    // resume, and the knob stays there.
    const qint64 resume = std::max<qint64>(0, place - e->ticks(m_vk->preferences().rewindSeconds));
    m_vk->on_actionPlayPause();
    QVERIFY(!e->isStopped());
    m_vk->refreshTiming();
    QVERIFY(flagFraction(m_vk->seekSlider()->value(), m_vk->seekSlider()) >= double(resume) / double(d) - 0.01);
    QTRY_VERIFY_WITH_TIMEOUT(e->position() > resume || place >= d - e->ticks(0.1), 15000);
    QVERIFY(e->position() < place + d / 5);
}

// The speed steps from the player's keys, the editor's and the menu; the
// speed shows beside the time when it is not normal.
void TestVk::speedFromKeysAndMenu_data()
{
    QTest::addColumn<bool>("fromEditor");
    QTest::newRow("player") << false;
    QTest::newRow("editor") << true;
}

void TestVk::speedFromKeysAndMenu()
{
    QFETCH(bool, fromEditor);
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    QWidget *target = m_vk.get();
    if (fromEditor) {
        m_vk->on_actionEidtor();
        QVERIFY(QTest::qWaitForWindowExposed(m_vk->editor()));
        target = m_vk->editor()->textArea();
    }
    const QString typed = fromEditor ? m_vk->editor()->textArea()->property("plainText").toString() : QString();
    QCOMPARE(e->speed(), 1.0);
    QVERIFY(!m_vk->speedLabel()->isVisible());
    QTest::keyClick(target, Qt::Key_PageDown, Qt::AltModifier);
    QTest::keyClick(target, Qt::Key_PageDown, Qt::AltModifier);
    QCOMPARE(e->speed(), 0.75);
    QVERIFY(m_vk->speedLabel()->isVisible());
    QCOMPARE(m_vk->speedLabel()->text(), QStringLiteral("0.75\u00d7"));
    QTest::keyClick(target, Qt::Key_PageUp, Qt::AltModifier);
    QCOMPARE(e->speed(), 0.9);
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(target, Qt::Key_PageUp, Qt::AltModifier);
    QCOMPARE(e->speed(), 1.5);
    QTest::keyClick(target, Qt::Key_End, Qt::AltModifier);
    QCOMPARE(e->speed(), 1.0);
    QVERIFY(!m_vk->speedLabel()->isVisible());
    if (fromEditor) // nothing typed, the cursor where it was
        QCOMPARE(m_vk->editor()->textArea()->property("plainText").toString(), typed);
    // The menu lists the steps with the speed now checked.
    std::unique_ptr<QMenu> menu(m_vk->createSpeedMenu(nullptr));
    QCOMPARE(menu->actions().size(), 7);
    menu->actions().at(0)->trigger();
    QCOMPARE(e->speed(), 0.5);
    menu.reset(m_vk->createSpeedMenu(nullptr));
    QVERIFY(menu->actions().at(0)->isChecked());
    QVERIFY(!menu->actions().at(4)->isChecked());
}

void TestVk::editorKeysReachTheFunctionKeysOnly()
{
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    const qint64 d = e->duration();
    e->setMarkOut(qint64(d * 0.5));
    e->setMarkIn(qint64(d * 0.25));
    TextEdit *editor = m_vk->editor();
    m_vk->on_actionEidtor();
    QVERIFY(QTest::qWaitForWindowExposed(editor));
    QWidget *text = editor->textArea();
    QSignalSpy marking(e, &Media::markingChanged);
    QTest::keyClick(text, Qt::Key_F1, Qt::ControlModifier);
    QTest::keyClick(text, Qt::Key_Space, Qt::ShiftModifier);
    QTest::keyClick(text, Qt::Key_Left);
    QCOMPARE(marking.size(), 0);
    QVERIFY(!e->isStopped());
    // F2 and F5 from the editor act.
    QTest::keyClick(text, Qt::Key_F2);
    QCOMPARE(e->markIn(), qint64(d * 0.25) + tenth(e));
    QTest::keyClick(text, Qt::Key_F5);
    QVERIFY(e->isStopped());
    // F6 in the player window makes the loop run from the start.
    QTest::keyClick(m_vk.get(), Qt::Key_F6);
    QCOMPARE(e->markIn(), 0);
    QVERIFY(e->markOut() > qint64(d * 0.25) - 2 && e->markOut() <= qint64(d * 0.25) + tenth(e));
}

void TestVk::noEngineNoCommand()
{
    QSignalSpy played(m_vk.get(), &Vk::isPlay);
    for (int key : {Qt::Key_Space, Qt::Key_F1, Qt::Key_F4, Qt::Key_F6, Qt::Key_F7, Qt::Key_F9, Qt::Key_Left})
        QTest::keyClick(m_vk.get(), Qt::Key(key));
    m_vk->on_actionSeek(0.5);
    m_vk->keyDelegateTrigger(Qt::Key_F5);
    m_vk->refreshTiming();
    QCOMPARE(played.size(), 0);
    m_vk->on_actionVolume(0.1, 0.2);
    QCOMPARE(m_vk->volumeLeft(), 0.1);
    QCOMPARE(m_vk->volumeRight(), 0.2);
}

void TestVk::lateStartMapsFractionsFromTheStart()
{
    openFile(m_lateStart);
    waitPlaying();
    Media *e = m_vk->engine();
    const qint64 s = e->startTime();
    const qint64 d = e->duration();
    QVERIFY2(s > 0, "the clip should start late");
    QCOMPARE(e->markOut(), s + d);
    QSeekSlider *slider = m_vk->seekSlider();

    // The middle of the slider is the middle of the stream.
    m_vk->on_actionSeek(0.5);
    QTRY_VERIFY_WITH_TIMEOUT(e->position() >= s + d / 2 && e->position() < s + d / 2 + d / 5, 15000);
    // Refreshing puts the knob back where the position is.
    m_vk->refreshTiming(); // the tick after a slider seek is skipped
    m_vk->refreshTiming();
    const double knob = flagFraction(slider->value(), slider);
    QVERIFY2(knob >= 0.45 && knob <= 0.75, qPrintable(QString::number(knob)));

    // A mark at the current position is that position, and its flag its fraction.
    m_vk->on_actionPlayPause(); // held, so that the position stands still
    const qint64 p = e->position();
    // The time beside the slider counts from the stream's start too, as the
    // length on the other side does.
    m_vk->refreshTiming();
    QCOMPARE(m_vk->positionLabel()->text(), e->mediaTimeString(p - s));
    QTest::keyClick(m_vk.get(), Qt::Key_F7);
    QCOMPARE(e->markIn(), p);
    QCOMPARE(flagFraction(slider->markIn(), slider), double(p - s) / d);

    // Loop to the end reaches the true end of the stream, s + d.
    QTest::keyClick(m_vk.get(), Qt::Key_F8);
    QCOMPARE(e->markOut(), p);
    QTest::keyClick(m_vk.get(), Qt::Key_F9);
    QCOMPARE(e->markOut(), s + d);
    QCOMPARE(e->markIn(), s + qint64(d * (double(p - s) / d)));
    // And cancelling the loop gives the whole stream back.
    QTest::keyClick(m_vk.get(), Qt::Key_F6);
    QCOMPARE(e->markIn(), s);
    m_vk->on_actionMarkReset();
    QCOMPARE(e->markIn(), s);
    QCOMPARE(e->markOut(), s + d);
}

void TestVk::aspectRatioReachesTheDisplay()
{
    QVERIFY(m_vk->display()->keepAspectRatio());
    m_vk->aspectRatioAction()->trigger();
    QVERIFY(!m_vk->aspectRatioAction()->isChecked());
    QVERIFY(!m_vk->display()->keepAspectRatio());
    m_vk->aspectRatioAction()->trigger();
    QVERIFY(m_vk->display()->keepAspectRatio());
}

void TestVk::zeroLengthKeepsSliderFinite()
{
    openFile(m_still);
    Media *e = m_vk->engine();
    QVERIFY(e);
    QCOMPARE(e->duration(), 0);
    QSeekSlider *slider = m_vk->seekSlider();
    auto finite = [slider] {
        return std::isfinite(slider->value()) && std::isfinite(slider->markIn())
            && std::isfinite(slider->markOut());
    };
    m_vk->refreshTiming();
    QVERIFY(finite());
    for (int key : {Qt::Key_F7, Qt::Key_F8, Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F6, Qt::Key_F9}) {
        QTest::keyClick(m_vk.get(), Qt::Key(key));
        QVERIFY2(finite(), qPrintable(QStringLiteral("after key %1").arg(key, 0, 16)));
    }
    m_vk->on_actionSeek(0.5);
    m_vk->refreshTiming();
    m_vk->refreshTiming();
    QVERIFY(finite());
    QCOMPARE(slider->value(), 0.0);
}

VK_AUDIO_TEST_MAIN(TestVk)
#include "tst_vk.moc"
