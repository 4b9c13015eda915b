#include "tests/support/audiotestmain.h"
// Who owns the passage, the place and the dictation: the learner's steps
// through the real player, a clip with subtitles beside it, and what each
// sequence leaves behind (the marks the engine plays, its repeat count, the
// place where playback goes on, the text in the editor and on disk).

#include "app/practicestate.h"
#include "app/preferences.h"
#include "app/sentencepractice.h"
#include "app/userfolders.h"
#include "app/vk.h"

#include "editor/editorsettings.h"
#include "editor/ctextcheckeredit.h"
#include "editor/textedit.h"
#include "media/media.h"
#include "tests/support/mediamaker.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

// Seconds from the stream's start; whole marks the whole file.
struct Span
{
    double from = -1.0;
    double to = -1.0;
};

} // namespace

Q_DECLARE_METATYPE(Span)

class TestPracticeState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void transitions_data();
    void transitions();
    void rememberedPassageOutlivesAFailedSearch();
    void sentenceEditsAreRemembered();

private:
    void open(const QString &path);
    void step(const QString &what);
    double seconds(int64_t ticks) const;
    int64_t ticksAt(double s) const;
    // The marks sentence practice sets for cue i, in seconds.
    Span cueSpan(int i) const;
    void holdAt(double s);
    void press(int keyWithModifiers);

    QTemporaryDir m_dir;
    QString m_clip;
    QString m_other;
    QString m_silent;
    std::unique_ptr<Vk> m_vk;
};

void TestPracticeState::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    m_clip = m_dir.filePath(QStringLiteral("lesson.mp4"));
    QVERIFY(mediamaker::makeVideo(m_clip, 12, 320, 240, 25));
    QFile srt(m_dir.filePath(QStringLiteral("lesson.srt")));
    QVERIFY(srt.open(QIODevice::WriteOnly));
    srt.write("1\n00:00:01,000 --> 00:00:02,000\nFirst sentence.\n\n"
              "2\n00:00:03,000 --> 00:00:04,000\nSecond one.\n\n"
              "3\n00:00:05,500 --> 00:00:06,500\nThird one.\n\n"
              "4\n00:00:08,000 --> 00:00:09,000\nLast one.\n");
    srt.close();
    m_other = m_dir.filePath(QStringLiteral("other.mp4"));
    QVERIFY(mediamaker::makeVideo(m_other, 6, 320, 240, 25));
    QFile otherSrt(m_dir.filePath(QStringLiteral("other.srt")));
    QVERIFY(otherSrt.open(QIODevice::WriteOnly));
    otherSrt.write("1\n00:00:01,000 --> 00:00:02,000\nAnother lesson.\n");
    otherSrt.close();
    // Pictures without sound: no sentences can be found in it.
    m_silent = m_dir.filePath(QStringLiteral("silent.mp4"));
    QVERIFY(mediamaker::makeVideo(m_silent, 8, 320, 240, 25, {QStringLiteral("-an")}));
}

void TestPracticeState::init()
{
    // Each case starts without settings or remembered files.
    QDir(userfolders::configFolder()).removeRecursively();
    QSettings(editorsettings::settingsFile(), QSettings::IniFormat).setValue(QStringLiteral("editor/welcomeShown"), true);
    QFile::remove(m_clip + QStringLiteral(".html"));
    m_vk = std::make_unique<Vk>();
    Preferences prefs = m_vk->preferences();
    prefs.rewindSeconds = 1.0;
    prefs.jumpSeconds = 3.0;
    m_vk->setPreferences(prefs);
    m_vk->practice()->setPaddingMs(100);
    QVERIFY(QTest::qWaitForWindowExposed(m_vk.get()));
}

void TestPracticeState::cleanup()
{
    m_vk.reset();
}

void TestPracticeState::open(const QString &path)
{
    m_vk->setFileChooser([path](QWidget *, const QString &, const QString &, const QString &) { return path; });
    m_vk->on_actionOpen_activated();
    QVERIFY(m_vk->engine());
}

double TestPracticeState::seconds(int64_t ticks) const
{
    const Media *e = m_vk->engine();
    return double(ticks - e->startTime()) / double(e->ticks(1000.0)) * 1000.0;
}

int64_t TestPracticeState::ticksAt(double s) const
{
    const Media *e = m_vk->engine();
    return e->startTime() + std::llround(s * double(e->ticks(1000.0)) / 1000.0);
}

Span TestPracticeState::cueSpan(int i) const
{
    const Cue &cue = m_vk->practice()->cues().at(i);
    return {double(cue.start - 100) / 1000.0, double(cue.end + 100) / 1000.0};
}

void TestPracticeState::holdAt(double s)
{
    Media *e = m_vk->engine();
    if (!e->isStopped())
        m_vk->on_actionPlayPause();
    QVERIFY(e->isStopped());
    e->seekTo(ticksAt(s));
    // As after the learner's own seek: the practice follows the place.
    m_vk->refreshTiming();
}

void TestPracticeState::press(int keyWithModifiers)
{
    m_vk->keyDelegateTrigger(keyWithModifiers);
}

// One learner step; "type words" types into the dictation, "passage a b"
// marks a to b with F7 and F8 while held, "at s" holds there.
void TestPracticeState::step(const QString &what)
{
    const QStringList w = what.split(QLatin1Char(' '));
    const QString verb = w.first();
    const auto alt = [](Qt::Key key) { return QKeyCombination(Qt::AltModifier, key).toCombined(); };
    if (verb == QLatin1String("open")) {
        open(w.value(1) == QLatin1String("other") ? m_other : m_clip);
        QTRY_VERIFY(!m_vk->practice()->cues().isEmpty());
    } else if (verb == QLatin1String("passage")) {
        holdAt(w[1].toDouble());
        press(Qt::Key_F7);
        holdAt(w[2].toDouble());
        press(Qt::Key_F8);
    } else if (verb == QLatin1String("at")) {
        holdAt(w[1].toDouble());
    } else if (verb.startsWith(QLatin1String("F"))) {
        press(Qt::Key_F1 + verb.mid(1).toInt() - 1);
    } else if (verb == QLatin1String("replay")) {
        press(alt(Qt::Key_Up));
    } else if (verb == QLatin1String("next")) {
        press(alt(Qt::Key_Right));
    } else if (verb == QLatin1String("previous")) {
        press(alt(Qt::Key_Left));
    } else if (verb == QLatin1String("loop")) {
        press(alt(Qt::Key_Down));
    } else if (verb == QLatin1String("autopause")) {
        m_vk->practice()->setAutoPause(true);
    } else if (verb == QLatin1String("count")) {
        Preferences prefs = m_vk->preferences();
        prefs.loopCount = w[1].toInt();
        m_vk->setPreferences(prefs);
    } else if (verb == QLatin1String("play")) {
        m_vk->on_actionPlayPause();
        QVERIFY(m_vk->engine());
    } else if (verb == QLatin1String("hold")) {
        QVERIFY(!m_vk->engine()->isStopped());
        m_vk->on_actionPlayPause();
    } else if (verb == QLatin1String("wait")) {
        // Until the sound heard passes s, or playback holds by itself.
        const double until = w[1].toDouble();
        QTRY_VERIFY_WITH_TIMEOUT(m_vk->engine()->isStopped() || seconds(m_vk->engine()->position()) >= until, 20000);
    } else if (verb == QLatin1String("landed")) {
        // Within a second, sooner than playing on would get there.
        const double at = w[1].toDouble();
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(seconds(m_vk->engine()->position()) - at) < 0.3, 1000);
    } else if (verb == QLatin1String("waitheld")) {
        QTRY_VERIFY_WITH_TIMEOUT(m_vk->engine()->isStopped(), 20000);
    } else if (verb == QLatin1String("finished")) {
        QSignalSpy finished(m_vk->engine(), &Media::passageFinished);
        QVERIFY(finished.wait(20000));
        QTest::qWait(50); // the queued notice reaches the practice
    } else if (verb == QLatin1String("right")) {
        m_vk->on_actionForward();
    } else if (verb == QLatin1String("speed")) {
        m_vk->setPlayingSpeed(w[1].toDouble());
    } else if (verb == QLatin1String("stop")) {
        m_vk->on_actionStop();
    } else if (verb == QLatin1String("quit")) {
        m_vk->quitProgram();
        m_vk.reset();
        m_vk = std::make_unique<Vk>();
        m_vk->practice()->setPaddingMs(100);
    } else if (verb == QLatin1String("type")) {
        CTextCheckerEdit *area = m_vk->editor()->textArea();
        area->moveCursor(QTextCursor::End);
        QTest::keyClicks(area, w.mid(1).join(QLatin1Char(' ')));
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown step ") + what));
    }
}

void TestPracticeState::transitions_data()
{
    QTest::addColumn<QStringList>("steps");
    // Marks after the steps in seconds; {-2, i} stands for cue i's span and
    // {-1, -1} for the whole file.
    QTest::addColumn<Span>("marks");
    QTest::addColumn<int>("repeatCount");
    // Where playback goes on (held) or plays now: a span the place lies in;
    // {-1, -1} is not checked.
    QTest::addColumn<Span>("place");
    QTest::addColumn<QString>("dictation");

    const Span whole{-1, -1};
    const auto cue = [](int i) { return Span{-2, double(i)}; };
    const QStringList opened{QStringLiteral("open")};
    const auto steps = [&opened](const char *list) {
        return opened + QString::fromLatin1(list).split(QLatin1Char(','), Qt::SkipEmptyParts);
    };

    QTest::newRow("F7/F8 mark the learner's passage")
        << steps("passage 4 7") << Span{4, 7} << 0 << Span{6.9, 7.1} << QString();
    QTest::newRow("F1-F4 nudge it by a tenth")
        << steps("passage 4 7,F1,F1,F2,F4,F3,F4") << Span{3.9, 7.1} << 0 << whole << QString();
    QTest::newRow("replay lends the marks and gives his back")
        << steps("passage 4 7,F1,F4,at 1.2,replay,finished") << Span{3.9, 7.1} << 0 << whole << QString();
    QTest::newRow("next while held, resumed from its start")
        << steps("at 1.5,next,play") << whole << 0 << Span{2.85, 2.95} << QString();
    QTest::newRow("previous while held")
        << steps("at 5.8,previous") << whole << 0 << Span{2.85, 2.95} << QString();
    QTest::newRow("next while playing")
        << steps("wait 0.5,next,landed 2.9") << whole << 0 << whole << QString();
    QTest::newRow("loop sentence and back")
        << steps("passage 4 7,at 3.5,loop") << cue(1) << 0 << whole << QString();
    QTest::newRow("loop sentence off gives his passage back")
        << steps("passage 4 7,at 3.5,loop,loop") << Span{4, 7} << 0 << whole << QString();
    QTest::newRow("auto-pause, then resume starts the next sentence")
        << steps("autopause,at 0.5,play,waitheld,play")
        << cue(1) << 1 << Span{2.85, 2.95} << QString();
    QTest::newRow("repeat count reached keeps the passage")
        << steps("count 2,passage 2 3,play,finished") << Span{2, 3} << 2 << whole << QString();
    QTest::newRow("seek while held jumps media seconds at half speed")
        << steps("speed 0.5,at 2,right") << whole << 0 << Span{4.95, 5.05} << QString();
    QTest::newRow("speed change keeps the passage")
        << steps("passage 4 7,speed 0.75,speed 1") << Span{4, 7} << 0 << whole << QString();
    QTest::newRow("stop then play keeps passage and dictation")
        << steps("passage 4 7,type Good morning,stop,play,type everyone")
        << Span{4, 7} << 0 << whole << QStringLiteral("Good morningeveryone");
    QTest::newRow("reopening the same file keeps them")
        << steps("passage 4 7,type Good evening,open,type all")
        << Span{4, 7} << 0 << whole << QStringLiteral("Good eveningall");
    QTest::newRow("another file starts afresh, without the loop")
        << steps("loop,open other") << whole << 0 << whole << QString();
    QTest::newRow("quitting and reopening brings his passage back")
        << steps("passage 4 7,type Noted,quit,open") << Span{4, 7} << 0 << whole << QStringLiteral("Noted");
    QTest::newRow("practice settings do not take a remembered passage")
        << steps("passage 4 7,autopause,quit,autopause,open") << Span{4, 7} << 0 << whole << QString();
}

void TestPracticeState::transitions()
{
    QFETCH(QStringList, steps);
    QFETCH(Span, marks);
    QFETCH(int, repeatCount);
    QFETCH(Span, place);
    QFETCH(QString, dictation);

    for (const QString &s : steps) {
        step(s);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("at step ") + s));
    }
    Media *e = m_vk->engine();
    QVERIFY(e);
    if (marks.from == -2.0)
        marks = cueSpan(int(marks.to));
    const double end = seconds(e->startTime() + e->duration());
    const Span want = marks.from < 0 ? Span{0.0, end} : marks;
    const QString got = QStringLiteral("marks %1-%2").arg(seconds(e->markIn())).arg(seconds(e->markOut()));
    QVERIFY2(std::abs(seconds(e->markIn()) - want.from) < 0.02, qPrintable(got));
    QVERIFY2(std::abs(seconds(e->markOut()) - want.to) < 0.02, qPrintable(got));
    QCOMPARE(e->repeatCount(), repeatCount);
    if (place.from >= 0.0) {
        const double at = seconds(e->position());
        QVERIFY2(at >= place.from && at <= place.to, qPrintable(QStringLiteral("place %1").arg(at)));
    }
    if (!dictation.isEmpty()) {
        QCOMPARE(m_vk->editor()->textArea()->toPlainText(), dictation);
        // Kept on disk as well, a few seconds behind at most.
        QTRY_VERIFY_WITH_TIMEOUT(m_vk->editor()->currentFileName() == m_clip + QStringLiteral(".html"), 5000);
        m_vk->editor()->saveDictationNow();
        QFile saved(m_clip + QStringLiteral(".html"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(saved.readAll()).contains(dictation));
    }
}

// A file without sound has no sentences to find: his passage stays.
void TestPracticeState::rememberedPassageOutlivesAFailedSearch()
{
    open(m_silent);
    holdAt(2.0);
    press(Qt::Key_F7);
    holdAt(5.0);
    press(Qt::Key_F8);
    step(QStringLiteral("quit"));
    open(m_silent);
    QTest::qWait(3000);
    QCOMPARE(m_vk->practiceState()->source(), PracticeState::Source::Learner);
    QVERIFY(std::abs(seconds(m_vk->engine()->markIn()) - 2.0) < 0.05);
    QVERIFY(std::abs(seconds(m_vk->engine()->markOut()) - 5.0) < 0.05);
}

void TestPracticeState::sentenceEditsAreRemembered()
{
    step(QStringLiteral("open"));
    holdAt(1.5);
    QTRY_COMPARE(m_vk->practice()->currentIndex(), 0);
    m_vk->practice()->joinWithNext();
    QCOMPARE(m_vk->practice()->cues().size(), 3);
    m_vk->practice()->toggleReveal();
    step(QStringLiteral("quit"));
    step(QStringLiteral("open"));
    QCOMPARE(m_vk->practice()->cues().size(), 3);
    QCOMPARE(m_vk->practice()->cues().first().end, 4000);
    QVERIFY(m_vk->practice()->wasLookedAt(0));
}

VK_AUDIO_TEST_MAIN(TestPracticeState)
#include "tst_practicestate.moc"
