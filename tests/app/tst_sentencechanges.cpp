#include "tests/support/audiotestmain.h"

#include "app/sentencelist.h"
#include "app/sentencepractice.h"
#include "app/userfolders.h"
#include "app/vk.h"
#include "media/media.h"
#include "tests/support/mediamaker.h"

#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Practising sentence after sentence through the real player, as a learner
// does for an hour: each sentence played its number of times, held after
// it or not, slowed or not, on a video and on an MP3, and sentences picked
// from the list while one plays. Playback must never stand still, save for
// the holds that were asked for.
class TestSentenceChanges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void playbackNeverStandsStill_data();
    void playbackNeverStandsStill();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Vk> m_vk;
};

namespace {

constexpr int sentenceCount = 8;
constexpr int sentenceMs = 350;
constexpr int pauseMs = 250;
// Longer than any restart takes, shorter than any stop the learner would
// put up with.
constexpr qint64 standingLimitMs = 600;

int startMs(int i)
{
    return 300 + i * (sentenceMs + pauseMs);
}

QString srtTime(int ms)
{
    return QStringLiteral("00:00:%1,%2").arg(ms / 1000, 2, 10, QLatin1Char('0')).arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

bool writeSubtitles(const QString &path)
{
    QFile srt(path);
    if (!srt.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < sentenceCount; ++i)
        srt.write(QStringLiteral("%1\n%2 --> %3\nSentence number %1.\n\n")
                      .arg(i + 1)
                      .arg(srtTime(startMs(i)), srtTime(startMs(i) + sentenceMs))
                      .toUtf8());
    return true;
}

} // namespace

void TestSentenceChanges::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    const double seconds = double(startMs(sentenceCount)) / 1000.0 + 1.0;
    // Tone where the sentences are, silence between them.
    QString sum;
    for (int i = 0; i < sentenceCount; ++i)
        sum += QStringLiteral("%1between(t,%2,%3)").arg(i ? QStringLiteral("+") : QString())
                   .arg(startMs(i) / 1000.0).arg((startMs(i) + sentenceMs) / 1000.0);
    const QString tone = QStringLiteral("aevalsrc=exprs='0.4*sin(2*PI*330*t)*(%1)':s=44100:d=%2").arg(sum).arg(seconds);
    const QString mp3 = m_dir.filePath(QStringLiteral("talk.mp3"));
    QVERIFY(mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), tone,
                                QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), mp3}));
    QVERIFY(writeSubtitles(m_dir.filePath(QStringLiteral("talk.srt"))));
    // Key frames two seconds apart, as in a compressed lesson.
    const QString video = m_dir.filePath(QStringLiteral("scene.mp4"));
    QVERIFY(mediamaker::makeVideo(video, seconds, 320, 240, 25, {QStringLiteral("-g"), QStringLiteral("50")}));
    QVERIFY(writeSubtitles(m_dir.filePath(QStringLiteral("scene.srt"))));
}

void TestSentenceChanges::cleanup()
{
    m_vk.reset();
}

void TestSentenceChanges::playbackNeverStandsStill_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("repeats");    // 0: sentences picked from the list
    QTest::addColumn<bool>("autoPause");
    QTest::addColumn<double>("speed");
    for (const char *file : {"talk.mp3", "scene.mp4"})
        for (double speed : {1.0, 0.75}) {
            for (int repeats : {1, 2, 3})
                for (bool autoPause : {false, true})
                    QTest::addRow("%s, %d times, %s, speed %.2f", file, repeats,
                                  autoPause ? "held after each" : "on at once", speed)
                        << QString::fromLatin1(file) << repeats << autoPause << speed;
            QTest::addRow("%s, picked from the list, speed %.2f", file, speed)
                << QString::fromLatin1(file) << 0 << false << speed;
        }
}

void TestSentenceChanges::playbackNeverStandsStill()
{
    QFETCH(QString, file);
    QFETCH(int, repeats);
    QFETCH(bool, autoPause);
    QFETCH(double, speed);

    QFile::remove(userfolders::memoryFile());
    m_vk = std::make_unique<Vk>();
    SentencePractice *practice = m_vk->practice();
    practice->setLooping(false);
    practice->setRepeatCount(std::max(1, repeats));
    practice->setAutoPause(autoPause);
    practice->setPaddingMs(50);
    QVERIFY(QTest::qWaitForWindowExposed(m_vk.get()));
    const QString path = m_dir.filePath(file);
    m_vk->setFileChooser([path](QWidget *, const QString &, const QString &, const QString &) { return path; });
    m_vk->on_actionOpen_activated();
    Media *engine = m_vk->engine();
    QVERIFY(engine);
    QTRY_COMPARE(practice->cues().size(), sentenceCount);
    m_vk->setPlayingSpeed(speed);

    const bool picking = repeats == 0;
    QListWidget *list = nullptr;
    if (picking) {
        practice->showList();
        list = practice->sentenceList()->list();
        QTRY_COMPARE(list->count(), sentenceCount);
    }
    // The order a learner might pick in: on, back, far ahead, back again.
    const QList<int> picks{1, 0, 3, 2, 6, 5, 7, 4, 1};
    int picked = 0;
    int changes = 0;
    int lastIndex = practice->currentIndex();
    int64_t lastPosition = -1;
    QElapsedTimer standing;
    standing.start();
    QElapsedTimer sincePick;
    sincePick.start();
    QElapsedTimer row;
    row.start();
    const int64_t pastTheLast = engine->ticks((startMs(sentenceCount - 1) + sentenceMs + 300) / 1000.0);
    const qint64 rowLimitMs = 4000 + qint64(sentenceCount * (sentenceMs + pauseMs) * std::max(1, repeats) / speed * 2);

    while (row.elapsed() < rowLimitMs) {
        // Whatever comes first: the place moves, the sentence changes, a
        // hold, or the time a learner would call a stop.
        QTest::qWaitFor([&] {
            return engine->position() != lastPosition || engine->isStopped()
                || practice->currentIndex() != lastIndex;
        }, int(standingLimitMs));
        if (practice->currentIndex() != lastIndex) {
            lastIndex = practice->currentIndex();
            ++changes;
        }
        if (engine->isStopped()) {
            // Held after a sentence, as asked: the learner plays on.
            QVERIFY2(autoPause, qPrintable(QStringLiteral("held after sentence %1 unasked").arg(lastIndex + 1)));
            m_vk->on_actionPlayPause();
            standing.restart();
            continue;
        }
        const int64_t position = engine->position();
        if (position != lastPosition) {
            lastPosition = position;
            standing.restart();
        }
        QVERIFY2(standing.elapsed() < standingLimitMs,
                 qPrintable(QStringLiteral("playback stood still at %1 s in sentence %2 after %3 changes")
                                .arg(double(position) / double(engine->ticks(1.0)))
                                .arg(lastIndex + 1)
                                .arg(changes)));
        if (picking) {
            if (picked == picks.size())
                break;
            if (sincePick.elapsed() > qint64(700 / speed)) {
                const int index = picks.at(picked++);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(index)).center());
                QCOMPARE(practice->currentIndex(), index);
                sincePick.restart();
            }
        } else if (position > pastTheLast) {
            break;
        }
    }
    if (picking) {
        QCOMPARE(picked, picks.size());
    } else {
        QVERIFY2(lastPosition > pastTheLast, "the last sentence was not reached in time");
        QVERIFY2(changes >= sentenceCount - 1, qPrintable(QStringLiteral("%1 sentence changes").arg(changes)));
    }
}

VK_AUDIO_TEST_MAIN(TestSentenceChanges)
#include "tst_sentencechanges.moc"
