#include "tests/support/audiotestmain.h"
// The waveform strip in the real player: the peaks read once and kept in
// the cache folder, a passage dragged on it played by the engine, the mark
// keys moving its handles, and the choice to hide it kept.

#include "app/practicestate.h"
#include "app/userfolders.h"
#include "app/vk.h"
#include "app/waveformpractice.h"
#include "controls/waveformstrip.h"
#include "cues/waveform.h"
#include "media/media.h"
#include "tests/support/mediamaker.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

class TestWaveformPractice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void secondOpenDrawsAtOnce_data();
    void secondOpenDrawsAtOnce();
    void draggedPassageIsPlayedAndNudged();
    void hidingIsRemembered();

private:
    bool makeSpeech(const QString &path, int seconds);
    void open(const QString &path);
    qint64 ms(qint64 ticks) const;

    QTemporaryDir m_dir;
    std::unique_ptr<Vk> m_vk;
};

void TestWaveformPractice::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("cache"))));
}

void TestWaveformPractice::init()
{
    QDir(userfolders::configFolder()).removeRecursively();
    QDir(userfolders::cacheFolder()).removeRecursively();
    m_vk = std::make_unique<Vk>();
    m_vk->resize(800, 600);
    m_vk->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_vk.get()));
}

void TestWaveformPractice::cleanup()
{
    m_vk.reset();
}

// Tone and quiet by turns, two seconds of each: sentences, as far as the
// pauses go.
bool TestWaveformPractice::makeSpeech(const QString &path, int seconds)
{
    return mediamaker::ffmpeg(
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("aevalsrc=0.5*sin(2*PI*330*t)*gte(mod(t\\,4)\\,2):d=%1:s=44100").arg(seconds),
         QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), path});
}

void TestWaveformPractice::open(const QString &path)
{
    m_vk->setFileChooser([path](QWidget *, const QString &, const QString &, const QString &) { return path; });
    m_vk->on_actionOpen_activated();
    QVERIFY(m_vk->engine());
}

qint64 TestWaveformPractice::ms(qint64 ticks) const
{
    const Media *engine = m_vk->engine();
    return std::llround(double(ticks - engine->startTime()) * 1000.0 / double(engine->ticks(1.0)));
}

void TestWaveformPractice::secondOpenDrawsAtOnce_data()
{
    QTest::addColumn<bool>("replaced");
    QTest::newRow("the same file again draws without decoding") << false;
    QTest::newRow("a file recorded anew under the same name is read anew") << true;
}

void TestWaveformPractice::secondOpenDrawsAtOnce()
{
    QFETCH(bool, replaced);
    const QString lesson = m_dir.filePath(QStringLiteral("lesson.mp3"));
    QVERIFY(makeSpeech(lesson, 12));
    open(lesson);
    WaveformStrip *strip = m_vk->waveformStrip();
    QVERIFY(strip->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!strip->waveform().isNull(), 20000);
    QVERIFY(std::abs(strip->waveform().durationMs() - 12000) < 100);
    QVERIFY(QFileInfo::exists(Waveform::cacheFile(userfolders::cacheFolder(), lesson)));
    m_vk->on_actionStop();
    QVERIFY(strip->waveform().isNull());

    if (replaced) {
        // Longer, so that its size tells it from the first; its time of
        // change may be the same second.
        QVERIFY(makeSpeech(lesson, 16));
    }
    open(lesson);
    // Before any event is handled: only the cache can have given it.
    QCOMPARE(strip->waveform().isNull(), replaced);
    QTRY_VERIFY_WITH_TIMEOUT(!strip->waveform().isNull(), 20000);
    QVERIFY(std::abs(strip->waveform().durationMs() - (replaced ? 16000 : 12000)) < 100);
}

void TestWaveformPractice::draggedPassageIsPlayedAndNudged()
{
    const QString lesson = m_dir.filePath(QStringLiteral("passage.mp3"));
    QVERIFY(makeSpeech(lesson, 12));
    open(lesson);
    WaveformStrip *strip = m_vk->waveformStrip();
    QTRY_VERIFY_WITH_TIMEOUT(!strip->waveform().isNull(), 20000);
    m_vk->on_actionPlayPause(); // hold, so the view stays put
    QTRY_VERIFY(m_vk->engine()->isStopped());
    strip->setSpanMs(WaveformStrip::maxSpanMs); // the whole file in view
    const int y = strip->detailRect().center().y();
    // Shift: exactly where the mouse goes, 2.5 s to 3.5 s into the tone.
    const QPoint from(strip->xOf(2500), y);
    const QPoint to(strip->xOf(3500), y);
    QTest::mousePress(strip, Qt::LeftButton, Qt::ShiftModifier, from);
    QTest::mouseMove(strip, to);
    QTest::mouseRelease(strip, Qt::LeftButton, Qt::ShiftModifier, to);

    const Media *engine = m_vk->engine();
    const qint64 tolerance = 80; // a pixel of the view, and rounding
    QVERIFY2(std::abs(ms(engine->markIn()) - 2500) <= tolerance, qPrintable(QString::number(ms(engine->markIn()))));
    QVERIFY2(std::abs(ms(engine->markOut()) - 3500) <= tolerance, qPrintable(QString::number(ms(engine->markOut()))));
    QCOMPARE(m_vk->practiceState()->source(), PracticeState::Source::Learner);
    // The place played moved into the new passage.
    QTRY_VERIFY(std::abs(ms(engine->position()) - ms(engine->markIn())) <= tolerance);
    QVERIFY(strip->hasPassage());
    QCOMPARE(strip->passageIn(), ms(engine->markIn()));

    // F2 moves the start a tenth of a second later, and its handle with it.
    const qint64 before = strip->passageIn();
    QTest::keyClick(m_vk.get(), Qt::Key_F2);
    QVERIFY2(std::abs(strip->passageIn() - (before + 100)) <= 1, qPrintable(QString::number(strip->passageIn())));
    QCOMPARE(strip->passageIn(), ms(engine->markIn()));
}

void TestWaveformPractice::hidingIsRemembered()
{
    const QString lesson = m_dir.filePath(QStringLiteral("hidden.mp3"));
    QVERIFY(makeSpeech(lesson, 6));
    open(lesson);
    QVERIFY(m_vk->waveformStrip()->isVisible());
    QAction *show = m_vk->waveform()->showAction();
    QVERIFY(show->isChecked());
    show->trigger();
    QVERIFY(!m_vk->waveformStrip()->isVisible());

    // The next start keeps it hidden, with a file open too.
    m_vk.reset();
    m_vk = std::make_unique<Vk>();
    m_vk->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_vk.get()));
    open(lesson);
    QVERIFY(!m_vk->waveform()->isShown());
    QVERIFY(!m_vk->waveformStrip()->isVisible());
    m_vk->waveform()->showAction()->trigger();
    QVERIFY(m_vk->waveformStrip()->isVisible());
}

VK_AUDIO_TEST_MAIN(TestWaveformPractice)
#include "tst_waveformpractice.moc"
