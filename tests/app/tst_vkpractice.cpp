#include "tests/support/audiotestmain.h"
// The player as a learner uses it day to day: files reopened where they
// were left, the recent list, drops, the keys that reach it from the
// editor, the volume wheel, full screen left with Escape, the marks shown
// to a tenth of a second.

#include "app/filememory.h"
#include "app/practicestate.h"
#include "app/recentfiles.h"
#include "app/userfolders.h"
#include "app/vk.h"

#include "controls/controlbutton.h"
#include "editor/ctextcheckeredit.h"
#include "editor/textedit.h"
#include "media/media.h"
#include "tests/support/mediamaker.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <memory>

class TestVkPractice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void reopeningBringsBackMarksAndPlace();
    void playAfterStopPlaysTheLastFileAgain();
    void lessonWithADictationBringsTheEditor();
    void recentMenuListsFilesWithDictationHint();
    void goneRecentFileIsRemovedWithAMessage();
    void droppedFileOpens_data();
    void droppedFileOpens();
    void editorForwardsTheFunctionKeys_data();
    void editorForwardsTheFunctionKeys();
    void marksShowToATenth();
    void shortReplayStaysInThePassage_data();
    void shortReplayStaysInThePassage();
    void loopCountShowsAndPlaysOn();
    void resumeRewinds_data();
    void resumeRewinds();
    void wheelChangesTheVolume();
    void escapeLeavesFullScreen();
    void windowPlaceOutlivesTheWindow();
    void editorOpensBesideThePlayer_data();
    void editorOpensBesideThePlayer();

private:
    void openFile(const QString &name);
    void waitPlaying();
    // Answers the next message box with OK and returns its text.
    static void answerNextMessageBox(QString *text);
    void dropOn(QWidget *target, const QString &file);

    QTemporaryDir m_dir;
    QString m_clip;
    QString m_notes;
    std::unique_ptr<Vk> m_vk;
};

void TestVkPractice::initTestCase()
{
    // Settings and remembered files go to scratch folders of this test's
    // own (tests run side by side).
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    m_clip = m_dir.filePath(QStringLiteral("lesson.mp4"));
    QVERIFY(mediamaker::makeVideo(m_clip, 12, 320, 240, 25));
    m_notes = m_dir.filePath(QStringLiteral("notes.mp4"));
    QFile notes(m_notes);
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("<html><body><p>A plain dictation whose name says video.</p></body></html>\n");
}

void TestVkPractice::init()
{
    QDir(userfolders::configFolder()).removeRecursively();
    m_vk = std::make_unique<Vk>();
    QVERIFY(QTest::qWaitForWindowExposed(m_vk.get()));
}

void TestVkPractice::cleanup()
{
    m_vk.reset();
}

void TestVkPractice::openFile(const QString &name)
{
    m_vk->setFileChooser([name](QWidget *, const QString &, const QString &, const QString &) { return name; });
    m_vk->on_actionOpen_activated();
}

void TestVkPractice::waitPlaying()
{
    QVERIFY(m_vk->engine());
    QTRY_VERIFY_WITH_TIMEOUT(m_vk->engine()->position() > m_vk->engine()->startTime(), 15000);
}

void TestVkPractice::answerNextMessageBox(QString *text)
{
    QTimer::singleShot(0, [text] {
        QTRY_VERIFY(qobject_cast<QMessageBox *>(QApplication::activeModalWidget()));
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        *text = box->text();
        box->accept();
    });
}

void TestVkPractice::dropOn(QWidget *target, const QString &file)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    const QPoint middle = target->rect().center();
    QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
}

void TestVkPractice::reopeningBringsBackMarksAndPlace()
{
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    const qint64 d = e->duration();
    m_vk->practiceState()->setLearnerPassage(d / 2, d * 3 / 4);
    e->seekTo(d * 5 / 8);
    QTRY_VERIFY_WITH_TIMEOUT(e->position() >= d / 2, 15000);
    const qint64 left = e->position();
    m_vk.reset(); // quitting remembers the file

    m_vk = std::make_unique<Vk>();
    openFile(m_clip);
    e = m_vk->engine();
    QVERIFY(e);
    QCOMPARE(e->markIn(), d / 2);
    QCOMPARE(e->markOut(), d * 3 / 4);
    // It goes on within the passage it was left in, not from the start.
    QTRY_VERIFY_WITH_TIMEOUT(e->position() >= d / 2, 15000);
    QVERIFY(e->position() <= d * 3 / 4);
    QVERIFY(qAbs(e->position() - left) < d / 4);
    QVERIFY(m_vk->marksLabel()->isVisible());
}

void TestVkPractice::playAfterStopPlaysTheLastFileAgain()
{
    openFile(m_clip);
    waitPlaying();
    m_vk->on_actionStop();
    QVERIFY(!m_vk->engine());
    QSignalSpy played(m_vk.get(), &Vk::isPlay);
    QTest::keyClick(m_vk.get(), Qt::Key_Space);
    QVERIFY(m_vk->engine());
    QCOMPARE(m_vk->currentFile(), QFileInfo(m_clip).absoluteFilePath());
    QCOMPARE(played.size(), 1);
    QVERIFY(played.at(0).at(0).toBool());
}

// A lesson he has been writing opens with its dictation in view, and the
// next open dialog starts in the lesson's folder.
void TestVkPractice::lessonWithADictationBringsTheEditor()
{
    QTemporaryDir course;
    const QString lesson = course.filePath(QStringLiteral("unit1.mp4"));
    QVERIFY(QFile::copy(m_clip, lesson));
    QFile dictation(lesson + QStringLiteral(".html"));
    QVERIFY(dictation.open(QIODevice::WriteOnly));
    dictation.write("<html><body><p>Written yesterday.</p></body></html>");
    dictation.close();
    QVERIFY(m_vk->editor()->isHidden());
    openFile(lesson);
    QVERIFY(m_vk->editor()->isVisible());
    QCOMPARE(m_vk->editor()->textArea()->toPlainText(), QStringLiteral("Written yesterday."));

    QString asked;
    m_vk->setFileChooser([&asked](QWidget *, const QString &, const QString &directory, const QString &) {
        asked = directory;
        return QString();
    });
    m_vk->on_actionOpen_activated();
    QCOMPARE(QFileInfo(asked).absolutePath(), QFileInfo(lesson).absolutePath());
}

void TestVkPractice::recentMenuListsFilesWithDictationHint()
{
    QFile dictation(m_clip + QStringLiteral(".html"));
    QVERIFY(dictation.open(QIODevice::WriteOnly));
    dictation.write("<html><body><p>The quick brown fox jumps over the lazy dog</p></body></html>");
    dictation.close();
    openFile(m_clip);
    std::unique_ptr<QMenu> menu(m_vk->createContextMenu());
    QMenu *recent = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->menu() && !recent)
            recent = action->menu(); // the first submenu
    }
    QVERIFY(recent);
    QCOMPARE(recent->title(), QStringLiteral("Recent Files"));
    QCOMPARE(recent->actions().size(), 1);
    QCOMPARE(recent->actions().first()->text(),
             QStringLiteral("lesson.mp4 \u2014 The quick brown fox jumps over..."));
    QFile::remove(dictation.fileName());
    // A lesson of the same name from another course is told apart by its folder.
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("unit2")));
    const QString other = m_dir.filePath(QStringLiteral("unit2/lesson.mp4"));
    QVERIFY(QFile::copy(m_clip, other));
    openFile(other);
    menu.reset(m_vk->createContextMenu());
    recent = menu->actions().at(1)->menu();
    QVERIFY(recent);
    QCOMPARE(recent->actions().size(), 2);
    QVERIFY(recent->actions().at(0)->text().startsWith(QStringLiteral("lesson.mp4 (unit2)")));
    QVERIFY(recent->actions().at(1)->text().startsWith(
        QStringLiteral("lesson.mp4 (%1)").arg(QDir(m_dir.path()).dirName())));
}

void TestVkPractice::goneRecentFileIsRemovedWithAMessage()
{
    const QString gone = m_dir.filePath(QStringLiteral("gone.mp4"));
    QVERIFY(QFile::copy(m_clip, gone));
    openFile(gone);
    QVERIFY(m_vk->engine());
    m_vk->on_actionStop();
    QVERIFY(QFile::remove(gone));
    QString told;
    answerNextMessageBox(&told);
    m_vk->openRecentFile(gone);
    QVERIFY(told.contains(gone));
    QVERIFY(!m_vk->engine());
    QVERIFY(!RecentFiles(userfolders::settingsFile()).files().contains(QFileInfo(gone).absoluteFilePath()));
}

void TestVkPractice::droppedFileOpens_data()
{
    QTest::addColumn<bool>("onEditor");
    QTest::addColumn<bool>("media");
    QTest::newRow("media on the player") << false << true;
    QTest::newRow("media on the editor goes to the player") << true << true;
    QTest::newRow("document on the editor") << true << false;
    QTest::newRow("document on the player goes to the editor") << false << false;
}

void TestVkPractice::droppedFileOpens()
{
    QFETCH(bool, onEditor);
    QFETCH(bool, media);
    TextEdit *editor = m_vk->editor();
    if (onEditor) {
        m_vk->on_actionEidtor();
        QVERIFY(QTest::qWaitForWindowExposed(editor));
    }
    QWidget *target = onEditor ? static_cast<QWidget *>(editor->textArea()->viewport()) : m_vk.get();
    // A document is told by what it holds: this one is named like a video.
    dropOn(target, media ? m_clip : m_notes);
    if (media) {
        QVERIFY(m_vk->engine());
        QCOMPARE(m_vk->currentFile(), QFileInfo(m_clip).absoluteFilePath());
    } else {
        QVERIFY(!m_vk->engine());
        QCOMPARE(editor->currentFileName(), m_notes);
        QVERIFY(editor->isVisible());
    }
}

void TestVkPractice::editorForwardsTheFunctionKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("effect");
    QTest::newRow("F6 loops from the start") << int(Qt::Key_F6) << "markIn at start";
    QTest::newRow("F7 sets the start mark") << int(Qt::Key_F7) << "markIn moved";
    QTest::newRow("F8 sets the end mark") << int(Qt::Key_F8) << "markOut moved";
    QTest::newRow("F9 loops to the end") << int(Qt::Key_F9) << "markOut at end";
}

void TestVkPractice::editorForwardsTheFunctionKeys()
{
    QFETCH(int, key);
    QFETCH(QString, effect);
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    const qint64 d = e->duration();
    m_vk->practiceState()->setLearnerPassage(d / 4, d * 3 / 4);
    m_vk->on_actionEidtor();
    QVERIFY(QTest::qWaitForWindowExposed(m_vk->editor()));
    QSignalSpy marking(e, &Media::markingChanged);
    QTest::keyClick(m_vk->editor()->textArea(), Qt::Key(key));
    QVERIFY(marking.size() > 0);
    if (effect == QLatin1String("markIn at start"))
        QCOMPARE(e->markIn(), e->startTime());
    else if (effect == QLatin1String("markIn moved"))
        QVERIFY(e->markIn() != d / 4);
    else if (effect == QLatin1String("markOut moved"))
        QVERIFY(e->markOut() != d * 3 / 4);
    else
        QCOMPARE(e->markOut(), e->startTime() + d);
    // The typing itself is untouched.
    QVERIFY(m_vk->editor()->textArea()->toPlainText().isEmpty()
            || !m_vk->editor()->textArea()->document()->isModified());
}

void TestVkPractice::marksShowToATenth()
{
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    QVERIFY(!m_vk->marksLabel()->isVisible());
    m_vk->practiceState()->setLearnerPassage(e->startTime() + e->ticks(2.0), e->startTime() + e->ticks(7.24));
    QCOMPARE(m_vk->marksLabel()->text(), QStringLiteral("0:02.0 \u2013 0:07.2"));
    // One nudge of the end mark shows.
    m_vk->on_actionMarkOutSharpR();
    QCOMPARE(m_vk->marksLabel()->text(), QStringLiteral("0:02.0 \u2013 0:07.3"));
    m_vk->on_actionMarkReset();
    QVERIFY(!m_vk->marksLabel()->isVisible());
}

void TestVkPractice::shortReplayStaysInThePassage_data()
{
    QTest::addColumn<double>("markIn"); // s, negative for none
    QTest::newRow("no passage: back 3 s") << -1.0;
    QTest::newRow("passage from 4 s: back 3 s") << 4.0;
    QTest::newRow("passage from 6.5 s: to its start") << 6.5;
}

void TestVkPractice::shortReplayStaysInThePassage()
{
    QFETCH(double, markIn);
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    const qint64 start = e->startTime();
    if (markIn >= 0) {
        m_vk->practiceState()->setLearnerPassage(start + e->ticks(markIn), start + e->ticks(11.0));
    }
    e->seekTo(start + e->ticks(8.0));
    QTRY_VERIFY_WITH_TIMEOUT(e->position() >= start + e->ticks(8.0), 15000);
    const qint64 here = e->position();
    QTest::keyClick(m_vk.get(), Qt::Key_Backspace);
    qint64 after = here;
    QTRY_VERIFY_WITH_TIMEOUT((after = e->position()) < here, 15000);
    // Playback goes on from the target, never from before it.
    const qint64 floor = markIn >= 0 ? std::max(here - e->ticks(3.0), start + e->ticks(markIn))
                                     : here - e->ticks(3.0);
    QVERIFY2(after >= floor - e->ticks(0.05), qPrintable(QStringLiteral("%1 < %2").arg(after).arg(floor)));
}

void TestVkPractice::loopCountShowsAndPlaysOn()
{
    Preferences prefs = m_vk->preferences();
    prefs.loopCount = 2;
    m_vk->setPreferences(prefs);
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    const qint64 start = e->startTime();
    QSignalSpy finished(e, &Media::passageFinished);
    m_vk->practiceState()->setLearnerPassage(start + e->ticks(1.0), start + e->ticks(2.0));
    e->seekTo(start + e->ticks(1.0));
    QVERIFY(m_vk->loopLabel()->isVisible());
    QCOMPARE(m_vk->loopLabel()->text(), QStringLiteral("1/2"));
    QTRY_COMPARE_WITH_TIMEOUT(m_vk->loopLabel()->text(), QStringLiteral("2/2"), 15000);
    // After the second pass playback goes on past the end mark.
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 15000);
    QTRY_VERIFY(!m_vk->loopLabel()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(e->position() > start + e->ticks(2.5), 15000);
}

void TestVkPractice::resumeRewinds_data()
{
    QTest::addColumn<double>("rewind"); // s
    QTest::addColumn<double>("markIn"); // s, negative for none
    QTest::newRow("back 2 s") << 2.0 << -1.0;
    QTest::newRow("back 2 s, passage from 3 s") << 2.0 << 3.0;
    QTest::newRow("not before a passage starting at 5 s") << 2.0 << 5.0;
    QTest::newRow("back 0 s: on from the place held") << 0.0 << -1.0;
}

void TestVkPractice::resumeRewinds()
{
    QFETCH(double, rewind);
    QFETCH(double, markIn);
    Preferences prefs = m_vk->preferences();
    prefs.rewindSeconds = rewind;
    m_vk->setPreferences(prefs);
    openFile(m_clip);
    waitPlaying();
    Media *e = m_vk->engine();
    const qint64 start = e->startTime();
    if (markIn >= 0) {
        m_vk->practiceState()->setLearnerPassage(start + e->ticks(markIn), start + e->ticks(11.0));
    }
    e->seekTo(start + e->ticks(6.0));
    QTRY_VERIFY_WITH_TIMEOUT(e->position() >= start + e->ticks(6.0), 15000);
    m_vk->on_actionPlayPause();
    QVERIFY(e->isStopped());
    const qint64 held = e->position();
    m_vk->on_actionPlayPause();
    QVERIFY(!e->isStopped());
    const qint64 floor = std::max(held - e->ticks(rewind), markIn >= 0 ? start + e->ticks(markIn) : start);
    if (rewind == 0.0) {
        QTRY_VERIFY_WITH_TIMEOUT(e->position() > held, 15000);
        return;
    }
    qint64 after = held;
    QTRY_VERIFY_WITH_TIMEOUT((after = e->position()) < held, 15000);
    QVERIFY2(after >= floor - e->ticks(0.05), qPrintable(QStringLiteral("%1 < %2").arg(after).arg(floor)));
}

void TestVkPractice::wheelChangesTheVolume()
{
    openFile(m_clip);
    ControlButton *bar = m_vk->buttonBar();
    const double before = bar->volumeLevel();
    QSignalSpy volume(bar, &ControlButton::volumeChanged);
    const QPoint middle = m_vk->rect().center();
    QWheelEvent up(middle, m_vk->mapToGlobal(middle), QPoint(), QPoint(0, 240), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_vk.get(), &up);
    QCOMPARE(volume.size(), 1);
    QVERIFY(qAbs(bar->volumeLevel() - (before + 0.1)) < 0.02);
    QVERIFY(qAbs(m_vk->volumeLeft() - bar->volumeLevel()) < 1e-9);
}

void TestVkPractice::escapeLeavesFullScreen()
{
    m_vk->fullScreenAction()->setChecked(true);
    QTRY_VERIFY(m_vk->isFullScreen());
    QTest::keyClick(m_vk.get(), Qt::Key_Escape);
    QVERIFY(!m_vk->fullScreenAction()->isChecked());
    QTRY_VERIFY(!m_vk->isFullScreen());
}

void TestVkPractice::windowPlaceOutlivesTheWindow()
{
    const QRect place(100, 120, 700, 500);
    m_vk->setGeometry(place);
    QTRY_COMPARE(m_vk->geometry().size(), place.size());
    const QRect kept = m_vk->geometry();
    QVERIFY(QTest::qWaitForWindowExposed(m_vk.get()));
    m_vk->on_actionEidtor();
    QVERIFY(QTest::qWaitForWindowExposed(m_vk->editor()));
    m_vk->editor()->setGeometry(QRect(850, 140, 600, 420));
    QTRY_COMPARE(m_vk->editor()->geometry().size(), QSize(600, 420));
    const QRect editorKept = m_vk->editor()->geometry();
    m_vk.reset();
    m_vk = std::make_unique<Vk>();
    QCOMPARE(m_vk->geometry(), kept);
    m_vk->on_actionEidtor();
    QCOMPARE(m_vk->editor()->geometry(), editorKept);
}

void TestVkPractice::editorOpensBesideThePlayer_data()
{
    // Player places as fractions of the screen's free area: x, y, width,
    // height.
    QTest::addColumn<QRectF>("player");
    QTest::addColumn<QString>("side");
    // A place kept from before that lies over the player's title bar.
    QTest::addColumn<bool>("storedOverTitle");
    QTest::newRow("room on the right") << QRectF(0.05, 0.1, 0.4, 0.5) << "right" << false;
    QTest::newRow("centred: the player moves aside") << QRectF(0.3, 0.25, 0.4, 0.45) << "right" << false;
    QTest::newRow("wide: below") << QRectF(0.1, 0.05, 0.75, 0.4) << "below" << false;
    QTest::newRow("kept over the title: beside instead") << QRectF(0.05, 0.4, 0.4, 0.5) << "right" << true;
}

void TestVkPractice::editorOpensBesideThePlayer()
{
    QFETCH(QRectF, player);
    QFETCH(QString, side);
    QFETCH(bool, storedOverTitle);
    const QRect room = m_vk->screen()->availableGeometry();
    const QRect place(room.left() + int(player.x() * room.width()), room.top() + int(player.y() * room.height()),
                      int(player.width() * room.width()), int(player.height() * room.height()));
    if (storedOverTitle)
        QSettings(userfolders::settingsFile(), QSettings::IniFormat)
            .setValue(QStringLiteral("window/editor"), QRect(place.topLeft(), QSize(610, 400)));
    m_vk->setGeometry(place);
    QVERIFY(QTest::qWaitForWindowExposed(m_vk.get()));
    m_vk->on_actionEidtor();
    TextEdit *editor = m_vk->editor();
    QVERIFY(QTest::qWaitForWindowExposed(editor));
    const QRect p = m_vk->frameGeometry();
    const QRect e = editor->frameGeometry();
    const QString where = QStringLiteral("player %1,%2 %3x%4, editor %5,%6 %7x%8")
                              .arg(p.x()).arg(p.y()).arg(p.width()).arg(p.height())
                              .arg(e.x()).arg(e.y()).arg(e.width()).arg(e.height());
    QVERIFY2(!e.intersects(p), qPrintable(where));
    QVERIFY2(room.contains(e) && room.contains(p), qPrintable(where));
    if (side == QLatin1String("right"))
        QVERIFY2(e.left() > p.right(), qPrintable(where));
    else
        QVERIFY2(e.top() > p.bottom(), qPrintable(where));
}

VK_AUDIO_TEST_MAIN(TestVkPractice)
#include "tst_vkpractice.moc"
