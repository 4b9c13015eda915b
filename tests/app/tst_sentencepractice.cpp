#include "tests/support/audiotestmain.h"
#include "app/sentencelist.h"
#include "app/sentencepractice.h"
#include "app/userfolders.h"
#include "app/vk.h"
#include "diff/diffdialog.h"
#include "editor/textedit.h"

#include "controls/cuestrip.h"
#include "controls/qseekslider.h"
#include "display/glrenderwidget.h"
#include "editor/ctextcheckeredit.h"
#include "editor/textedit.h"
#include "media/media.h"
#include "tests/support/mediamaker.h"
#include "tests/cues/noisyspeech.h"
#include "cues/subtitles.h"

#include <QAbstractButton>
#include <QLabel>
#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <memory>

// Practising sentence by sentence through the real player: a generated
// clip with subtitles beside it, played into the test's sound server.
class TestSentencePractice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void findsTheSubtitlesBeside();
    void loopsTheCurrentCue();
    void playsEachCueNTimesThenMovesOn();
    void holdsAtTheEndOfEachCue();
    void revealsByClickAndKey();
    void editorForwardsTheSentenceKeys();
    void subtitlesFromTheMenu();
    void badSubtitlesAreReported();
    void badSubtitlesBesideAreReported();
    void findsSentencesInSoundAlone();
    void coverStaysAboveTheStrip();
    void subtitlesAreTheReference();
    void listLoopsTheClickedSentence();
    // Held, the keys that move the place playback goes on from move the
    // time, the slider and the picture with it.
    void heldPlayerShowsWhereItGoesOn_data();
    void heldPlayerShowsWhereItGoesOn();
    // A recording with a transcript beside it: the learner accepts the
    // offer and practises its sentences with their text, compares with
    // them, and saves them as subtitles that the next opening finds.
    void transcriptBesideBecomesTheSentences();

private:
    void open(const QString &path);
    // The comparison dialog the editor's "Compare with reference" opened.
    static DiffDialog *openComparison();
    SentencePractice *practice() const { return m_vk->practice(); }
    // The marks the practice should set for cue i, in engine ticks.
    QPair<qint64, qint64> expectedMarks(int i) const;

    QTemporaryDir m_dir;
    QString m_clip;
    QString m_speech;
    std::unique_ptr<Vk> m_vk;
};

void TestSentencePractice::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    m_clip = m_dir.filePath(QStringLiteral("lesson.mp4"));
    QVERIFY(mediamaker::makeVideo(m_clip, 10, 320, 240, 25));
    QFile srt(m_dir.filePath(QStringLiteral("lesson.en.srt")));
    QVERIFY(srt.open(QIODevice::WriteOnly));
    srt.write("1\n00:00:01,000 --> 00:00:02,000\nFirst sentence.\n\n"
              "2\n00:00:03,000 --> 00:00:04,000\n<i>Second</i> one here.\n\n"
              "3\n00:00:05,500 --> 00:00:06,500\nThird and last.\n");
    srt.close();
    // Sound with three stretches of tone between pauses, no subtitles.
    m_speech = m_dir.filePath(QStringLiteral("speech.mp3"));
    QVERIFY(mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("aevalsrc=exprs='0.5*sin(2*PI*300*t)*(between(t,0.5,2)+between(t,3,4.5)"
                                               "+between(t,5.5,7))':s=44100:d=8"),
                                QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), m_speech}));
}

void TestSentencePractice::init()
{
    // Each case starts the lesson afresh, not where the last one left it.
    QFile::remove(userfolders::memoryFile());
    m_vk = std::make_unique<Vk>();
    practice()->setRepeatCount(1);
    practice()->setAutoPause(false);
    practice()->setMasking(true);
    practice()->setPaddingMs(SentencePractice::defaultPaddingMs);
    QVERIFY(QTest::qWaitForWindowExposed(m_vk.get()));
}

void TestSentencePractice::cleanup()
{
    m_vk.reset();
}

void TestSentencePractice::open(const QString &path)
{
    m_vk->setFileChooser([path](QWidget *, const QString &, const QString &, const QString &) { return path; });
    m_vk->on_actionOpen_activated();
    QVERIFY(m_vk->engine());
}

DiffDialog *TestSentencePractice::openComparison()
{
    DiffDialog *dialog = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<DiffDialog *>(widget))
            dialog = found;
    return dialog;
}

QPair<qint64, qint64> TestSentencePractice::expectedMarks(int i) const
{
    const Media *e = m_vk->engine();
    const Cue &cue = practice()->cues().at(i);
    const double perMs = double(e->ticks(1000.0)) / 1000000.0;
    const int pad = practice()->paddingMs();
    return {e->startTime() + qRound64(double(cue.start - pad) * perMs),
            e->startTime() + qRound64(double(cue.end + pad) * perMs)};
}

void TestSentencePractice::findsTheSubtitlesBeside()
{
    open(m_clip);
    QCOMPARE(practice()->cues().size(), 3);
    QVERIFY(practice()->hasTextCues());
    QCOMPARE(practice()->cues().at(1).text, QStringLiteral("Second one here."));
    CueStrip *strip = m_vk->cueStrip();
    QVERIFY(strip->isVisible());
    QTRY_VERIFY(!strip->current().text.isEmpty());
    QVERIFY(strip->current().masked);
    QVERIFY(m_vk->display()->isVisible());
    // Playing on, the strip follows the position.
    QTRY_COMPARE_WITH_TIMEOUT(practice()->currentIndex(), 1, 15000);
    QCOMPARE(strip->current().text, QStringLiteral("Second one here."));
    QCOMPARE(strip->previous().text, QStringLiteral("First sentence."));
    QCOMPARE(strip->counter(), QStringLiteral("2/3"));
    QVERIFY(strip->repeat().isEmpty());
}

void TestSentencePractice::loopsTheCurrentCue()
{
    open(m_clip);
    Media *e = m_vk->engine();
    QSignalSpy repeated(e, &Media::passageRepeated);
    QCOMPARE(practice()->currentIndex(), 0);
    QTest::keyClick(m_vk.get(), Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(practice()->currentIndex(), 1);
    QTest::keyClick(m_vk.get(), Qt::Key_Down, Qt::AltModifier);
    QVERIFY(practice()->isLooping());
    const auto marks = expectedMarks(1);
    QVERIFY(qAbs(e->markIn() - marks.first) <= 1);
    QVERIFY(qAbs(e->markOut() - marks.second) <= 1);
    QTRY_VERIFY_WITH_TIMEOUT(repeated.size() >= 2, 20000);
    // Still the same cue, and the strip counts the passes.
    QCOMPARE(practice()->currentIndex(), 1);
    QTRY_COMPARE(m_vk->cueStrip()->repeat(), QStringLiteral("\u21bb %1").arg(repeated.size() + 1));
    const qint64 p = e->position();
    QVERIFY2(p >= e->markIn() - e->ticks(0.3) && p <= e->markOut() + e->ticks(0.3),
             qPrintable(QStringLiteral("%1 outside %2..%3").arg(p).arg(e->markIn()).arg(e->markOut())));

    // Looping off gives the marks back to the whole file.
    QTest::keyClick(m_vk.get(), Qt::Key_Down, Qt::AltModifier);
    QVERIFY(!practice()->isLooping());
    QCOMPARE(e->markIn(), e->startTime());
    QCOMPARE(e->markOut(), e->startTime() + e->duration());

    // F1 on a looping sentence nudges its start, and the passage so made
    // is the learner's own: looping off leaves it to him.
    QTest::keyClick(m_vk.get(), Qt::Key_Down, Qt::AltModifier);
    const qint64 in = e->markIn();
    const qint64 out = e->markOut();
    QTest::keyClick(m_vk.get(), Qt::Key_F1);
    QCOMPARE(e->markIn(), in - e->ticks(0.1));
    QTest::keyClick(m_vk.get(), Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(e->markIn(), in - e->ticks(0.1));
    QCOMPARE(e->markOut(), out);
}

void TestSentencePractice::playsEachCueNTimesThenMovesOn()
{
    open(m_clip);
    Media *e = m_vk->engine();
    QSignalSpy repeated(e, &Media::passageRepeated);
    QSignalSpy finished(e, &Media::passageFinished);
    practice()->setRepeatCount(3);
    QCOMPARE(practice()->currentIndex(), 0);
    QCOMPARE(m_vk->cueStrip()->repeat(), QStringLiteral("1/3"));
    QTRY_COMPARE_WITH_TIMEOUT(repeated.size(), 1, 15000);
    QTRY_COMPARE(m_vk->cueStrip()->repeat(), QStringLiteral("2/3"));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 15000);
    QTRY_COMPARE(practice()->currentIndex(), 1);
    QCOMPARE(m_vk->cueStrip()->repeat(), QStringLiteral("1/3"));
    const auto marks = expectedMarks(1);
    QVERIFY(qAbs(e->markIn() - marks.first) <= 1);
    QVERIFY(qAbs(e->markOut() - marks.second) <= 1);
    QVERIFY(!e->isStopped());
    // The picture goes on into the next cue and that cue repeats in turn.
    QTRY_VERIFY_WITH_TIMEOUT(e->position() > marks.first + e->ticks(0.5), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(repeated.size(), 4, 15000);
    QCOMPARE(practice()->currentIndex(), 1);
}

void TestSentencePractice::holdsAtTheEndOfEachCue()
{
    open(m_clip);
    Media *e = m_vk->engine();
    QSignalSpy playing(m_vk.get(), &Vk::isPlay);
    practice()->setAutoPause(true);
    QCOMPARE(practice()->currentIndex(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(e->isStopped(), 15000);
    QCOMPARE(playing.last().at(0).toBool(), false);
    // Held just past the end of the first cue, which is still the current
    // one, so it can be shown or replayed.
    QCOMPARE(practice()->currentIndex(), 0);
    const qint64 held = e->position();
    QVERIFY2(held >= expectedMarks(0).second - e->ticks(0.2) && held <= expectedMarks(0).second + e->ticks(0.6),
             qPrintable(QString::number(held)));
    // The wait is told, and the cue just heard can be joined with the next.
    QCOMPARE(m_vk->cueStrip()->status(), QStringLiteral("Paused after sentence 1: F5 goes on"));
    const QList<QAction *> all = practice()->findChildren<QAction *>();
    const auto join = std::find_if(all.begin(), all.end(),
                                   [](QAction *a) { return a->text() == QStringLiteral("Join With Next Sentence"); });
    QVERIFY(join != all.end());
    QVERIFY((*join)->isEnabled());
    // Playing on brings the next cue.
    m_vk->on_actionPlayPause();
    QCOMPARE(practice()->currentIndex(), 1);
    QVERIFY(m_vk->cueStrip()->status().isEmpty());
    QVERIFY(!e->isStopped());
    QTRY_VERIFY_WITH_TIMEOUT(e->isStopped() && practice()->currentIndex() == 1, 15000);
}

void TestSentencePractice::revealsByClickAndKey()
{
    open(m_clip);
    CueStrip *strip = m_vk->cueStrip();
    QTRY_VERIFY(strip->current().masked);
    QVERIFY(!practice()->wasLookedAt(0));
    QTest::mouseClick(strip, Qt::LeftButton, {}, strip->rect().center());
    QVERIFY(!strip->current().masked);
    QVERIFY(practice()->isRevealed(0));
    QVERIFY(practice()->wasLookedAt(0));
    QTest::keyClick(m_vk.get(), Qt::Key_Home, Qt::AltModifier);
    QVERIFY(strip->current().masked);
    // Hidden again, but remembered as looked at.
    QVERIFY(practice()->wasLookedAt(0));
    QVERIFY(!practice()->wasLookedAt(1));
    practice()->setMasking(false);
    QVERIFY(!strip->current().masked);
}

void TestSentencePractice::editorForwardsTheSentenceKeys()
{
    open(m_clip);
    TextEdit *editor = m_vk->editor();
    m_vk->on_actionEidtor();
    QVERIFY(QTest::qWaitForWindowExposed(editor));
    QTextEdit *text = editor->textArea();
    QVERIFY(text);
    const QString before = text->toPlainText();
    QTest::keyClick(text, Qt::Key_Right, Qt::AltModifier);
    QTest::keyClick(text, Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(practice()->currentIndex(), 2);
    QTest::keyClick(text, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(practice()->currentIndex(), 1);
    QTest::keyClick(text, Qt::Key_Down, Qt::AltModifier);
    QVERIFY(practice()->isLooping());
    QTest::keyClick(text, Qt::Key_Home, Qt::AltModifier);
    QVERIFY(practice()->isRevealed(1));
    QCOMPARE(text->toPlainText(), before);
}

void TestSentencePractice::subtitlesFromTheMenu()
{
    open(m_speech);
    QFile vtt(m_dir.filePath(QStringLiteral("other.vtt")));
    QVERIFY(vtt.open(QIODevice::WriteOnly));
    vtt.write("WEBVTT\n\n00:00.500 --> 00:02.000\nOne.\n\n00:03.000 --> 00:04.500\nTwo.\n");
    vtt.close();
    QString filter;
    m_vk->setFileChooser([&](QWidget *, const QString &, const QString &, const QString &f) {
        filter = f;
        return vtt.fileName();
    });
    std::unique_ptr<QMenu> menu(m_vk->createContextMenu());
    QAction *entry = nullptr;
    for (QAction *a : menu->actions())
        if (a->text() == QStringLiteral("Open Subtitles..."))
            entry = a;
    QVERIFY(entry && entry->isEnabled());
    entry->trigger();
    QVERIFY(filter.contains(QStringLiteral("*.vtt")));
    QCOMPARE(practice()->cues().size(), 2);
    QVERIFY(practice()->hasTextCues());
    // The sentences found in the sound later do not replace them.
    QTest::qWait(0);
    QCOMPARE(practice()->cues().at(1).text, QStringLiteral("Two."));
}

void TestSentencePractice::badSubtitlesAreReported()
{
    open(m_clip);
    QFile bad(m_dir.filePath(QStringLiteral("bad.srt")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not subtitles at all\n");
    bad.close();
    QString shown;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    closer.start(50);
    QVERIFY(!practice()->openSubtitles(bad.fileName()));
    QVERIFY2(shown.contains(QStringLiteral("is not a subtitle file")), qPrintable(shown));
    // What was loaded stays.
    QCOMPARE(practice()->cues().size(), 3);
}

void TestSentencePractice::findsSentencesInSoundAlone()
{
    open(m_speech);
    CueStrip *strip = m_vk->cueStrip();
    QVERIFY(strip->isVisible());
    QVERIFY(!m_vk->display()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(practice()->cues().size(), 3, 30000);
    QVERIFY(!practice()->hasTextCues());
    QVERIFY(strip->message().isEmpty());
    QVERIFY(strip->current().placeholder);
    // The strip takes the picture's place.
    QVERIFY(strip->height() > m_vk->height() / 3);

    // Join the first two, then split them again where the pause was.
    QTest::keyClick(m_vk.get(), Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(practice()->currentIndex(), 0);
    const QList<Cue> found = practice()->cues();
    practice()->joinWithNext();
    QCOMPARE(practice()->cues().size(), 2);
    QCOMPARE(practice()->cues().at(0).end, found.at(1).end);
}

// The subtitles are the dictation's reference: the comparison opens with
// their cues, one per line.
void TestSentencePractice::subtitlesAreTheReference()
{
    open(m_clip);
    QTRY_VERIFY(practice()->hasTextCues());
    m_vk->editor()->compareWithReference();
    DiffDialog *dialog = openComparison();
    QVERIFY(dialog);
    const QString html = dialog->comparisonHtml();
    for (const char *cue : {"First sentence", "Second one here", "Third and last"})
        QVERIFY2(html.contains(QLatin1String(cue)), cue);
    dialog->close();
}

// A cover is the lesson's picture: it stays, with the strip under it.
void TestSentencePractice::coverStaysAboveTheStrip()
{
    const QString cover = m_dir.filePath(QStringLiteral("cover.png"));
    const QString song = m_dir.filePath(QStringLiteral("song.mp3"));
    QVERIFY(mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("color=c=blue:size=64x64"), QStringLiteral("-frames:v"),
                                QStringLiteral("1"), cover}));
    QVERIFY(mediamaker::ffmpeg({QStringLiteral("-i"), m_speech, QStringLiteral("-i"), cover,
                                QStringLiteral("-map"), QStringLiteral("0"), QStringLiteral("-map"),
                                QStringLiteral("1"), QStringLiteral("-c:a"), QStringLiteral("copy"),
                                QStringLiteral("-c:v"), QStringLiteral("png"), QStringLiteral("-disposition:v"),
                                QStringLiteral("attached_pic"), song}));
    open(song);
    QTRY_COMPARE_WITH_TIMEOUT(practice()->cues().size(), 3, 30000);
    QVERIFY(m_vk->display()->isVisible());
    QVERIFY(m_vk->cueStrip()->isVisible());
    QTRY_VERIFY(m_vk->cueStrip()->height() < m_vk->display()->height());
}

// The list of sentences: one click loops the one clicked, from the start.
// Subtitles beside the lesson that cannot be read are told once, not only
// logged: the learner would otherwise wonder why his subtitles are not used.
void TestSentencePractice::badSubtitlesBesideAreReported()
{
    const QString clip = m_dir.filePath(QStringLiteral("broken.mp4"));
    QVERIFY(QFile::copy(m_clip, clip));
    QFile bad(m_dir.filePath(QStringLiteral("broken.srt")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not subtitles at all\n");
    bad.close();
    QStringList shown;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown.append(box->text());
            box->accept();
        }
    });
    closer.start(50);
    open(clip);
    QTRY_COMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(QStringLiteral("broken.srt")), qPrintable(shown.first()));
    // Once a sitting: Play after Stop reads the file again, silently.
    m_vk->on_actionStop();
    m_vk->on_actionPlayPause();
    QTest::qWait(300);
    QCOMPARE(shown.size(), 1);
}

void TestSentencePractice::listLoopsTheClickedSentence()
{
    open(m_clip);
    practice()->showList();
    QListWidget *list = practice()->sentenceList()->list();
    QTRY_COMPARE(list->count(), 3);
    QVERIFY(QTest::qWaitForWindowExposed(practice()->sentenceList()));
    // Beside the player, not over its picture.
    QVERIFY(!practice()->sentenceList()->frameGeometry().intersects(m_vk->frameGeometry()));
    const QRect row = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QVERIFY(practice()->isLooping());
    QCOMPARE(practice()->currentIndex(), 2);
    const auto marks = expectedMarks(2);
    QCOMPARE(m_vk->engine()->markIn(), marks.first);
    QCOMPARE(m_vk->engine()->markOut(), marks.second);
    QCOMPARE(list->currentRow(), 2);
    // The player's keys reach it from the list too: Alt+Down stops looping.
    QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);
    QVERIFY(!practice()->isLooping());
}

void TestSentencePractice::heldPlayerShowsWhereItGoesOn_data()
{
    QTest::addColumn<QList<QKeyCombination>>("keys");
    const QKeyCombination next(Qt::AltModifier, Qt::Key_Right);
    const QKeyCombination previous(Qt::AltModifier, Qt::Key_Left);
    const QKeyCombination loop(Qt::AltModifier, Qt::Key_Down);
    QTest::newRow("next sentence") << QList<QKeyCombination>{next};
    QTest::newRow("next twice, then previous") << QList<QKeyCombination>{next, next, previous};
    QTest::newRow("loop the sentence, then the next") << QList<QKeyCombination>{loop, next};
    QTest::newRow("jump back") << QList<QKeyCombination>{QKeyCombination(Qt::Key_Left)};
}

void TestSentencePractice::heldPlayerShowsWhereItGoesOn()
{
    QFETCH(QList<QKeyCombination>, keys);
    open(m_clip);
    Media *e = m_vk->engine();
    QTRY_COMPARE(practice()->cues().size(), 3);
    QTRY_VERIFY(e->position() > e->ticks(1.6));
    m_vk->on_actionPlayPause(); // held
    QVERIFY(e->isStopped());
    double shownSeconds = -1.0;
    connect(e, &Media::frameReady, this, [&shownSeconds, e](int id) { shownSeconds = e->picture(id)->mediaSeconds; });
    for (const QKeyCombination key : keys)
        QTest::keyClick(m_vk.get(), key.key(), key.keyboardModifiers());
    QVERIFY(e->isStopped());
    const int64_t place = e->position();
    const double seconds = double(place) / double(e->ticks(1000.0)) * 1000.0;
    QCOMPARE(m_vk->positionLabel()->text(), e->mediaTimeString(place - e->startTime()));
    const double knob = m_vk->seekSlider()->value() / m_vk->seekSlider()->width();
    QVERIFY2(std::abs(knob - double(place - e->startTime()) / double(e->duration())) < 0.01,
             qPrintable(QStringLiteral("knob at %1 for %2 s").arg(knob).arg(seconds)));
    // The picture of that place, one frame at most before it.
    QTRY_VERIFY2(shownSeconds > seconds - 0.045 && shownSeconds <= seconds + 1e-6,
                 qPrintable(QStringLiteral("picture of %1 s shown for %2 s").arg(shownSeconds).arg(seconds)));
    // Playing on starts there.
    m_vk->on_actionPlayPause();
    QTRY_VERIFY(shownSeconds > seconds + 0.1);
    QVERIFY(shownSeconds < seconds + 1.5);
}

VK_AUDIO_TEST_MAIN(TestSentencePractice)
#include "tst_sentencepractice.moc"

void TestSentencePractice::transcriptBesideBecomesTheSentences()
{
    QTemporaryDir dir;
    const QStringList spoken = NoisySpeech::lessonSentences().mid(0, 3);
    NoisySpeech speech;
    QVERIFY(speech.make(dir.path(), spoken, {600}, QStringLiteral("flite:slt")));
    const QString media = dir.filePath(QStringLiteral("radio.mp3"));
    QVERIFY(speech.mix(media, std::nan("")));
    QFile text(dir.filePath(QStringLiteral("radio.txt")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write((spoken[0] + QLatin1Char(' ') + spoken[1] + QStringLiteral("\n\n") + spoken[2]).toUtf8());
    text.close();

    QSignalSpy aligned(practice(), &SentencePractice::transcriptAligned);
    open(media);
    QMessageBox *offer = nullptr;
    QTRY_VERIFY((offer = m_vk->findChild<QMessageBox *>(QStringLiteral("transcriptOffer"))));
    QVERIFY(offer->text().contains(QStringLiteral("radio.txt")));
    offer->button(QMessageBox::Yes)->click();
    QTRY_COMPARE_WITH_TIMEOUT(aligned.size(), 1, 30000);
    QCOMPARE(aligned[0][1].toInt(), 0);
    QVERIFY(practice()->hasTextCues());
    QCOMPARE(practice()->cues().size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(practice()->cues()[i].text, spoken[i]);
        QVERIFY(std::abs(practice()->cues()[i].start - speech.spans()[i].start) <= 250);
    }

    // The sentences are the reference of the comparison, one per line.
    m_vk->editor()->compareWithReference();
    DiffDialog *dialog = openComparison();
    QVERIFY(dialog);
    QVERIFY(dialog->comparisonHtml().contains(QStringLiteral("My brother works in a small shop")));
    dialog->close();

    const QString srt = dir.filePath(QStringLiteral("radio.srt"));
    QString proposed;
    practice()->setSaveFileChooser([&](QWidget *, const QString &, const QString &path, const QString &) {
        proposed = path;
        return path;
    });
    practice()->saveSentences();
    QCOMPARE(proposed, srt);
    Subtitles saved;
    QVERIFY(saved.load(srt));
    QCOMPARE(saved.cues(), practice()->cues());
    QCOMPARE(Subtitles::filesBeside(media), QStringList{srt});
}
