#include "app/sentencepractice.h"

#include "app/filememory.h"
#include "app/practicestate.h"
#include "app/timeline.h"
#include "app/userfolders.h"
#include "app/vk.h"
#include "controls/qseekslider.h"
#include "cues/sentencesplitter.h"
#include "display/glrenderwidget.h"
#include "media/media.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <cmath>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

namespace {

// How long following the position waits for the picture to catch up with a
// jump before it trusts the position again.
constexpr qint64 jumpPatienceMs = 2000;

} // namespace

SentencePractice::SentencePractice(Vk *player, CueStrip *strip)
    : QObject(player)
    , m_player(player)
    , m_state(player->practiceState())
    , m_strip(strip)
    , m_splitter(new SentenceSplitter(this))
{
    loadSettings();
    createActions();
    setStripVisible(false);
    connect(m_strip, &CueStrip::clicked, this, &SentencePractice::toggleReveal);
    connect(m_splitter, &SentenceSplitter::finished, this,
            [this](const QString &path, const QList<Cue> &cues) {
                // A result already on its way when the learner chose other
                // subtitles, or another file, is not wanted any more.
                if (!m_awaitingSplit || path != m_mediaPath || !m_engine)
                    return;
                m_awaitingSplit = false;
                const bool withText = std::any_of(cues.begin(), cues.end(),
                                                  [](const Cue &c) { return !c.text.isEmpty(); });
                setCues(cues, withText);
            });
    connect(m_splitter, &SentenceSplitter::failed, this, [this](const QString &path, const QString &message) {
        if (!m_awaitingSplit || path != m_mediaPath)
            return;
        m_awaitingSplit = false;
        qCInfo(lcPlayer).noquote() << message;
        // Nothing found changes nothing: the learner's passage stays.
        m_strip->setMessage(QString());
        setStripVisible(false);
    });
    connect(m_splitter, &SentenceSplitter::waveformReady, this, &SentencePractice::onWaveformReady);
    connect(m_state, &PracticeState::borrowingEnded, this, &SentencePractice::onBorrowingEnded);
}

SentencePractice::~SentencePractice() = default;

void SentencePractice::mediaOpened(Media *engine, const QString &mediaPath)
{
    mediaClosed();
    // Looping a sentence is practice on this lesson; another file starts
    // without it.
    if (QFileInfo(mediaPath).absoluteFilePath() != m_lastPath && m_looping)
        setLooping(false);
    m_lastPath = QFileInfo(mediaPath).absoluteFilePath();
    m_engine = engine;
    m_mediaPath = mediaPath;
    const FileMemory::Sentences remembered = FileMemory(userfolders::memoryFile()).recallSentences(mediaPath);
    m_edits = remembered.edits;
    m_lookedAt[m_mediaPath] = QSet<int64_t>(remembered.revealed.begin(), remembered.revealed.end());
    connect(engine, &Media::passageRepeated, this, &SentencePractice::onPassageRepeated);
    connect(engine, &Media::passageFinished, this, &SentencePractice::onPassageFinished);
    updateActions();

    // Sound alone: the strip takes the place of the picture. A cover is
    // the lesson's picture and stays, with the strip under it.
    const bool soundOnly = engine->displayAspectRatio() <= 0.0f && engine->cover().isNull();
    if (soundOnly && m_player->display())
        m_player->display()->hide();
    m_soundOnly = soundOnly;

    // A file seen before draws at once.
    m_waveform = Waveform::load(Waveform::cacheFile(userfolders::cacheFolder(), mediaPath));
    if (!m_waveform.isNull())
        Q_EMIT waveformChanged(m_waveform);

    for (const QString &file : Subtitles::filesBeside(mediaPath)) {
        Subtitles subtitles;
        if (subtitles.load(file)) {
            setCues(subtitles.cues(), true);
            reportSkipped(file, subtitles.brokenCues());
            startSplitter(false);
            return;
        }
        qCInfo(lcPlayer).noquote() << subtitles.errorString();
        reportUnreadable(file, subtitles.errorString());
    }
    // A transcript beside it is offered; meanwhile, and if the learner
    // declines, a stream inside the file, or else the pauses in its sound:
    // both read the whole file, so both are left to the splitter's thread.
    offerTranscriptBeside();
    m_strip->setMessage(tr("Finding the sentences..."));
    setStripVisible(true);
    m_awaitingSplit = true;
    startSplitter(true);
}

void SentencePractice::startSplitter(bool sentences)
{
    const int want = (sentences ? SentenceSplitter::Sentences : 0)
        | (m_waveform.isNull() ? SentenceSplitter::Peaks : 0);
    if (want)
        m_splitter->start(m_mediaPath, m_minPauseMs, want, m_waveform);
}

void SentencePractice::onWaveformReady(const QString &path, const Waveform &waveform)
{
    if (path != m_mediaPath || !m_engine)
        return;
    m_waveform = waveform;
    // Only time is lost when it cannot be kept.
    if (!waveform.save(Waveform::cacheFile(userfolders::cacheFolder(), path)))
        qCInfo(lcPlayer) << "cannot keep the waveform of" << path << "in" << userfolders::cacheFolder();
    Q_EMIT waveformChanged(m_waveform);
}

void SentencePractice::mediaClosed()
{
    m_awaitingSplit = false;
    m_splitter->cancel();
    m_aligner->cancel();
    closeProgress();
    if (m_engine)
        disconnect(m_engine, nullptr, this, nullptr);
    m_engine = nullptr;
    m_mediaPath.clear();
    m_cues.clear();
    m_waveform = Waveform();
    m_edits.clear();
    m_textCues = false;
    m_current = -1;
    m_armed = m_once = m_advanceOnPlay = false;
    m_played = 0;
    m_jumpTarget = -1;
    m_revealed.clear();
    m_soundOnly = false;
    m_chosenStart = -1;
    m_strip->setStatus(QString());
    setStripVisible(false);
    updateActions();
}

bool SentencePractice::openSubtitles(const QString &path)
{
    Subtitles subtitles;
    if (!subtitles.load(path)) {
        QMessageBox::warning(m_player, m_player->windowTitle(), subtitles.errorString());
        return false;
    }
    m_awaitingSplit = false;
    m_splitter->cancel();
    // Edits made on other cues do not fit these.
    m_edits.clear();
    rememberSentences();
    setCues(subtitles.cues(), true);
    // The cancelled run may have been reading the waveform too.
    startSplitter(false);
    reportSkipped(path, subtitles.brokenCues());
    return true;
}

void SentencePractice::reportSkipped(const QString &file, int broken)
{
    if (broken <= 0)
        return;
    qCInfo(lcPlayer) << broken << "cues with broken times left out of" << file;
    // Once a sitting: Play after Stop reads the file again.
    if (m_told.contains(file))
        return;
    m_told.insert(file);
    const QString path = m_mediaPath;
    const QString name = QFileInfo(file).fileName();
    const QString message = broken == 1
        ? tr("1 cue with a broken time in %1 was skipped.").arg(name)
        : tr("%1 cues with broken times in %2 were skipped.").arg(broken).arg(name);
    // Told once, when the file is read, and after the opening for the same
    // reason as reportUnreadable().
    QTimer::singleShot(0, this, [this, message, path] {
        if (path != m_mediaPath)
            return;
        QMessageBox::information(m_player, m_player->windowTitle(), message);
    });
}

void SentencePractice::reportUnreadable(const QString &file, const QString &reason)
{
    if (m_told.contains(file))
        return;
    m_told.insert(file);
    const QString path = m_mediaPath;
    // After the file has opened: a box inside the opening would hold the
    // player half set up.
    QTimer::singleShot(0, this, [this, file, reason, path] {
        if (path != m_mediaPath)
            return;
        QMessageBox::warning(m_player, m_player->windowTitle(),
                             tr("The subtitles %1 beside the lesson cannot be read:\n%2\n"
                                "The sentences are found in the sound instead.")
                                 .arg(QFileInfo(file).fileName(), reason));
    });
}

void SentencePractice::setCues(const QList<Cue> &cues, bool withText)
{
    m_cues = cues;
    m_textCues = withText;
    m_current = -1;
    m_revealed.clear();
    m_strip->setMessage(QString());
    applyRememberedEdits();
    if (m_cues.isEmpty()) {
        setStripVisible(false);
        disarm();
    } else {
        setStripVisible(true);
        const int at = m_engine ? std::max(0, cueAt(toMs(m_engine->position()))) : 0;
        // A passage of the learner's own (remembered, or set while the
        // sentences were being found) is not taken from him by the saved
        // practice settings; a sentence key arms practice when he wants it.
        if (practising() && !m_state->learnerNarrowed())
            arm(at, false);
        else
            m_current = at;
    }
    showStrip();
    updateActions();
    Q_EMIT cuesChanged();
}

int SentencePractice::cueAt(int64_t ms) const
{
    // The last cue that has begun; cues are sorted by start.
    const auto it = std::upper_bound(m_cues.begin(), m_cues.end(), ms,
                                     [](int64_t t, const Cue &c) { return t < c.start; });
    return int(it - m_cues.begin()) - 1;
}

// Ticks per millisecond are asked of the engine for a long span, so that a
// stream counting in 1/25 s still converts without rounding each step.
int64_t SentencePractice::toTicks(int64_t ms) const
{
    if (!m_engine)
        return 0;
    const double perMs = double(m_engine->ticks(1000.0)) / 1000000.0;
    return m_engine->startTime() + std::llround(double(ms) * perMs);
}

int64_t SentencePractice::toMs(int64_t ticks) const
{
    if (!m_engine)
        return 0;
    const double perMs = double(m_engine->ticks(1000.0)) / 1000000.0;
    return std::llround(double(ticks - m_engine->startTime()) / perMs);
}

void SentencePractice::arm(int index, bool seek)
{
    if (!m_engine || index < 0 || index >= m_cues.size())
        return;
    m_current = index;
    const Cue &cue = m_cues[index];
    m_engine->setLoop(true);
    m_once = false;
    m_state->borrow(toTicks(std::max<int64_t>(0, cue.start - m_paddingMs)), toTicks(cue.end + m_paddingMs),
                    m_looping ? 0 : m_repeatCount);
    m_armed = true;
    m_played = 0;
    if (seek) {
        m_engine->seekTo(m_engine->markIn());
        if (m_engine->isStopped())
            m_chosenStart = m_engine->position();
        m_jumpTarget = index;
        m_jumpStarted = QDateTime::currentMSecsSinceEpoch();
    }
    showStrip();
    updateActions();
}

// The learner's own passage comes back as it was.
void SentencePractice::disarm()
{
    m_strip->setStatus(QString());
    m_armed = m_once = m_advanceOnPlay = false;
    m_played = 0;
    m_state->giveBack();
    showStrip();
}

void SentencePractice::onBorrowingEnded()
{
    m_armed = m_once = m_advanceOnPlay = false;
    m_played = 0;
    showStrip();
}

void SentencePractice::goTo(int index)
{
    if (!m_engine || m_cues.isEmpty())
        return;
    index = std::clamp(index, 0, int(m_cues.size()) - 1);
    m_advanceOnPlay = false;
    if (practising()) {
        arm(index, true);
        return;
    }
    m_current = index;
    m_engine->seekTo(toTicks(std::max<int64_t>(0, m_cues[index].start - m_paddingMs)));
    if (m_engine->isStopped())
        m_chosenStart = m_engine->position();
    m_jumpTarget = index;
    m_jumpStarted = QDateTime::currentMSecsSinceEpoch();
    showStrip();
}

void SentencePractice::next()
{
    if (m_current < 0 && m_engine)
        goTo(cueAt(toMs(m_engine->position())) + 1);
    else
        goTo(m_current + 1);
}

void SentencePractice::previous()
{
    goTo(m_current - 1);
}

void SentencePractice::replay()
{
    if (!m_engine || m_current < 0)
        return;
    m_advanceOnPlay = false;
    // Outside practice the marks are the learner's own: they come back
    // once the cue has been heard.
    if (!practising()) {
        m_engine->setLoop(true);
        const Cue &cue = m_cues[m_current];
        m_state->borrow(toTicks(std::max<int64_t>(0, cue.start - m_paddingMs)), toTicks(cue.end + m_paddingMs), 1);
        m_armed = false;
        m_once = true;
        m_played = 0;
        m_engine->seekTo(m_engine->markIn());
        m_jumpTarget = m_current;
        m_jumpStarted = QDateTime::currentMSecsSinceEpoch();
    } else {
        arm(m_current, true);
    }
    if (m_engine->isStopped())
        m_player->on_actionPlayPause();
}

void SentencePractice::setLooping(bool on)
{
    if (m_looping == on)
        return;
    m_looping = on;
    if (m_actionLoop)
        m_actionLoop->setChecked(on);
    if (!m_engine || m_cues.isEmpty())
        return;
    if (practising()) {
        int index = m_current >= 0 ? m_current : std::max(0, cueAt(toMs(m_engine->position())));
        // A loop that does not hold the playing place would only start at
        // the next pass; going there at once is what the learner asked for.
        const int64_t at = toMs(m_engine->position());
        const Cue &cue = m_cues[index];
        arm(index, at < cue.start - m_paddingMs || at > cue.end + m_paddingMs);
    } else {
        disarm();
    }
}

void SentencePractice::onPassageRepeated(int played)
{
    if (!m_armed && !m_once)
        return;
    m_played = played;
    showStrip();
}

void SentencePractice::onPassageFinished()
{
    if (m_once) {
        m_once = false;
        disarm();
        return;
    }
    if (!m_armed || m_looping || !m_engine)
        return;
    if (m_autoPause && !m_engine->isStopped()) {
        // Hold here; the next cue is armed when the learner plays on, so
        // that until then the one just heard can still be shown or replayed.
        // The end is reached where the sound is decoded and heard a moment
        // later, after what the output holds: the hold waits for that.
        m_advanceOnPlay = true;
        holdWhenHeard(m_engine->markOut(), 0);
        return;
    }
    if (m_current + 1 < m_cues.size())
        arm(m_current + 1, false);
}

void SentencePractice::holdWhenHeard(int64_t end, int waited)
{
    if (!m_engine || m_engine->isStopped() || !m_advanceOnPlay)
        return;
    if (m_engine->position() < end && waited < 500) {
        QTimer::singleShot(10, this, [this, end, waited] { holdWhenHeard(end, waited + 10); });
        return;
    }
    m_player->on_actionPlayPause();
    m_strip->setStatus(tr("Paused after sentence %1: F5 goes on").arg(m_current + 1));
}

bool SentencePractice::aboutToResume()
{
    m_strip->setStatus(QString());
    if (m_advanceOnPlay) {
        m_advanceOnPlay = false;
        if (m_current + 1 < m_cues.size())
            arm(m_current + 1, true);
    }
    const bool chosen = m_engine && m_chosenStart >= 0 && m_engine->position() == m_chosenStart;
    m_chosenStart = -1;
    return chosen;
}

void SentencePractice::refresh()
{
    if (!m_engine || m_cues.isEmpty())
        return;
    if (m_armed || m_once) {
        showStrip();
        return;
    }
    const int at = cueAt(toMs(m_engine->position()));
    if (m_jumpTarget >= 0) {
        if (at != m_jumpTarget && QDateTime::currentMSecsSinceEpoch() - m_jumpStarted < jumpPatienceMs)
            return;
        m_jumpTarget = -1;
    }
    if (at != m_current) {
        m_current = std::max(0, at);
        showStrip();
    }
}

void SentencePractice::joinWithNext()
{
    if (m_current < 0 || m_current + 1 >= m_cues.size())
        return;
    const int64_t start = m_cues[m_current].start;
    if (!SentenceSplitter::join(m_cues, m_current))
        return;
    m_edits.append(QStringLiteral("join %1").arg(start));
    rememberSentences();
    if (m_armed)
        arm(m_current, false);
    showStrip();
    updateActions();
    Q_EMIT cuesChanged();
}

void SentencePractice::splitHere()
{
    if (!m_engine || m_current < 0)
        return;
    const int64_t start = m_cues[m_current].start;
    const int64_t at = toMs(m_engine->position());
    if (!SentenceSplitter::split(m_cues, m_current, at))
        return;
    m_edits.append(QStringLiteral("split %1 %2").arg(start).arg(at));
    rememberSentences();
    if (m_armed)
        arm(m_current, false);
    showStrip();
    updateActions();
    Q_EMIT cuesChanged();
}

void SentencePractice::applyRememberedEdits()
{
    // Each step names its cue by start, so a step whose cue is not there
    // (the subtitles changed since) is left out rather than applied to
    // another one.
    QStringList kept;
    for (const QString &edit : std::as_const(m_edits)) {
        const QStringList parts = edit.split(QLatin1Char(' '));
        if (parts.size() < 2)
            continue;
        const int64_t start = parts[1].toLongLong();
        const auto it = std::find_if(m_cues.begin(), m_cues.end(), [start](const Cue &c) { return c.start == start; });
        if (it == m_cues.end())
            continue;
        const qsizetype index = it - m_cues.begin();
        const bool done = parts[0] == QLatin1String("join")      ? SentenceSplitter::join(m_cues, index)
            : parts[0] == QLatin1String("split") && parts.size() == 3 ? SentenceSplitter::split(m_cues, index, parts[2].toLongLong())
                                                                     : false;
        if (done)
            kept.append(edit);
    }
    m_edits = kept;
}

void SentencePractice::rememberSentences() const
{
    if (m_mediaPath.isEmpty())
        return;
    FileMemory::Sentences sentences;
    sentences.edits = m_edits;
    const QSet<int64_t> looked = m_lookedAt.value(m_mediaPath);
    sentences.revealed = QList<qint64>(looked.begin(), looked.end());
    std::sort(sentences.revealed.begin(), sentences.revealed.end());
    FileMemory(userfolders::memoryFile()).rememberSentences(m_mediaPath, sentences);
}
