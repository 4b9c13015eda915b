#include "app/sentencepractice.h"

#include "app/timeline.h"
#include "app/vk.h"
#include "controls/qseekslider.h"
#include "display/glrenderwidget.h"
#include "media/media.h"
#include "media/sentencesplitter.h"

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
        setCues({}, false);
    });
    connect(m_player, &Vk::isPlay, this, &SentencePractice::onPlaying);
}

SentencePractice::~SentencePractice() = default;

void SentencePractice::mediaOpened(Media *engine, const QString &mediaPath)
{
    mediaClosed();
    m_engine = engine;
    m_mediaPath = mediaPath;
    connect(engine, &Media::passageRepeated, this, &SentencePractice::onPassageRepeated);
    connect(engine, &Media::passageFinished, this, &SentencePractice::onPassageFinished);
    updateActions();

    // Sound alone: the strip takes the place of the picture. A cover is
    // the lesson's picture and stays, with the strip under it.
    const bool soundOnly = engine->displayAspectRatio() <= 0.0f && engine->cover().isNull();
    if (soundOnly && m_player->display())
        m_player->display()->hide();
    m_soundOnly = soundOnly;

    for (const QString &file : Subtitles::filesBeside(mediaPath)) {
        Subtitles subtitles;
        if (subtitles.load(file)) {
            setCues(subtitles.cues(), true);
            return;
        }
        qCInfo(lcPlayer).noquote() << subtitles.errorString();
    }
    // A stream inside the file, or else the pauses in its sound: both read
    // the whole file, so both are left to the splitter's thread.
    m_strip->setMessage(tr("Finding the sentences..."));
    setStripVisible(true);
    m_awaitingSplit = true;
    m_splitter->start(mediaPath, m_minPauseMs);
}

void SentencePractice::mediaClosed()
{
    m_awaitingSplit = false;
    m_splitter->cancel();
    if (m_engine)
        disconnect(m_engine, nullptr, this, nullptr);
    m_engine = nullptr;
    m_mediaPath.clear();
    m_cues.clear();
    m_textCues = false;
    m_current = -1;
    m_armed = m_once = m_advanceOnPlay = false;
    m_played = 0;
    m_jumpTarget = -1;
    m_revealed.clear();
    m_soundOnly = false;
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
    if (subtitles.brokenCues() > 0)
        qCInfo(lcPlayer) << subtitles.brokenCues() << "cues without a time left out of" << path;
    m_awaitingSplit = false;
    m_splitter->cancel();
    setCues(subtitles.cues(), true);
    return true;
}

void SentencePractice::setCues(const QList<Cue> &cues, bool withText)
{
    m_cues = cues;
    m_textCues = withText;
    m_current = -1;
    m_revealed.clear();
    m_strip->setMessage(QString());
    if (m_cues.isEmpty()) {
        setStripVisible(false);
        disarm();
    } else {
        setStripVisible(true);
        const int at = m_engine ? std::max(0, cueAt(toMs(m_engine->position()))) : 0;
        if (practising())
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

void SentencePractice::setMarks(int64_t in, int64_t out)
{
    // The engine keeps the start at or before the end: whichever end moves
    // outward goes first.
    if (in > m_engine->markOut()) {
        m_engine->setMarkOut(out);
        m_engine->setMarkIn(in);
    } else {
        m_engine->setMarkIn(in);
        m_engine->setMarkOut(out);
    }
    const Timeline line(m_engine->startTime(), m_engine->duration());
    m_player->seekSlider()->setMarkInFlag(line.fraction(m_engine->markIn()));
    m_player->seekSlider()->setMarkOutFlag(line.fraction(m_engine->markOut()));
}

void SentencePractice::arm(int index, bool seek)
{
    if (!m_engine || index < 0 || index >= m_cues.size())
        return;
    m_current = index;
    const Cue &cue = m_cues[index];
    m_engine->setLoop(true);
    setMarks(toTicks(std::max<int64_t>(0, cue.start - m_paddingMs)), toTicks(cue.end + m_paddingMs));
    // After the marks: setting them re-arms the count as well.
    m_engine->setRepeatCount(m_looping ? 0 : m_repeatCount);
    m_armed = true;
    m_played = 0;
    if (seek) {
        m_engine->seekTo(m_engine->markIn());
        m_jumpTarget = index;
        m_jumpStarted = QDateTime::currentMSecsSinceEpoch();
    }
    showStrip();
    updateActions();
}

// The marks go back to the whole stream and the engine loops it as before.
void SentencePractice::disarm()
{
    m_armed = m_once = m_advanceOnPlay = false;
    m_played = 0;
    if (!m_engine)
        return;
    m_engine->setRepeatCount(0);
    m_engine->setMarkOut(m_engine->startTime() + m_engine->duration());
    m_engine->setMarkIn(m_engine->startTime());
    m_player->seekSlider()->resetMark();
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
        setMarks(toTicks(std::max<int64_t>(0, cue.start - m_paddingMs)), toTicks(cue.end + m_paddingMs));
        m_engine->setRepeatCount(1);
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
}

void SentencePractice::onPlaying(bool playing)
{
    if (playing && m_advanceOnPlay) {
        m_advanceOnPlay = false;
        if (m_current + 1 < m_cues.size())
            arm(m_current + 1, false);
    }
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
    if (m_current < 0 || !SentenceSplitter::join(m_cues, m_current))
        return;
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
    if (!SentenceSplitter::split(m_cues, m_current, toMs(m_engine->position())))
        return;
    if (m_armed)
        arm(m_current, false);
    showStrip();
    updateActions();
    Q_EMIT cuesChanged();
}
