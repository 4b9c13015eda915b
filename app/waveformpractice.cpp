#include "app/waveformpractice.h"

#include "app/practicestate.h"
#include "app/sentencepractice.h"
#include "app/userfolders.h"
#include "app/vk.h"
#include "controls/waveformstrip.h"
#include "media/media.h"

#include <QAction>
#include <QGridLayout>
#include <QMenu>
#include <QSettings>
#include <QTimer>

#include <cmath>

namespace {

const QString shownKey = QStringLiteral("player/waveformShown");
const QString spanKey = QStringLiteral("player/waveformSpanMs");
// Under a picture the strip keeps to this height, the picture taking the
// rest; for sound alone it shares the picture's place with the cue strip.
constexpr int heightUnderPicture = 120;

} // namespace

WaveformPractice::WaveformPractice(Vk *player, WaveformStrip *strip)
    : QObject(player)
    , m_player(player)
    , m_strip(strip)
    , m_frames(new QTimer(this))
    , m_actionShow(new QAction(tr("Show Waveform"), this))
{
    const QSettings settings(userfolders::settingsFile(), QSettings::IniFormat);
    m_actionShow->setCheckable(true);
    m_actionShow->setChecked(settings.value(shownKey, true).toBool());
    m_strip->setSpanMs(settings.value(spanKey, WaveformStrip::defaultSpanMs).toInt());
    m_strip->hide();
    connect(m_actionShow, &QAction::toggled, this, [this](bool on) {
        QSettings(userfolders::settingsFile(), QSettings::IniFormat).setValue(shownKey, on);
        placeStrip();
    });
    connect(m_strip, &WaveformStrip::spanChanged, this, [](int ms) {
        QSettings(userfolders::settingsFile(), QSettings::IniFormat).setValue(spanKey, ms);
    });

    m_frames->setInterval(frameMs);
    connect(m_frames, &QTimer::timeout, this, &WaveformPractice::followPosition);

    SentencePractice *practice = player->practice();
    connect(practice, &SentencePractice::waveformChanged, m_strip, &WaveformStrip::setWaveform);
    connect(practice, &SentencePractice::cuesChanged, this,
            [this, practice] { m_strip->setCues(practice->cues()); });
    connect(practice, &SentencePractice::currentChanged, m_strip, &WaveformStrip::setCurrentCue);
    connect(player->practiceState(), &PracticeState::passageChanged, this, &WaveformPractice::onPassageChanged);

    connect(m_strip, &WaveformStrip::seekRequested, this, &WaveformPractice::onSeekRequested);
    connect(m_strip, &WaveformStrip::passageChosen, this, &WaveformPractice::onPassageChosen);
    connect(m_strip, &WaveformStrip::sentenceLoopRequested, practice, &SentencePractice::loopSentence);
}

void WaveformPractice::mediaOpened(Media *engine, const QString &)
{
    mediaClosed();
    m_engine = engine;
    m_soundOnly = engine->displayAspectRatio() <= 0.0f && engine->cover().isNull();
    m_strip->setDurationMs(toMs(engine->startTime() + engine->duration()));
    m_strip->setPosition(toMs(engine->position()));
    onPassageChanged();
    placeStrip();
}

void WaveformPractice::mediaClosed()
{
    m_engine = nullptr;
    m_frames->stop();
    m_strip->clear();
    placeStrip();
}

bool WaveformPractice::isShown() const
{
    return m_actionShow->isChecked();
}

void WaveformPractice::setShown(bool on)
{
    m_actionShow->setChecked(on);
}

void WaveformPractice::addMenuEntries(QMenu *menu)
{
    menu->addAction(m_actionShow);
}

bool WaveformPractice::handleKey(int keyWithModifiers)
{
    // "+" takes Shift on most keyboards, and either may come from the keypad.
    const int modifiers = keyWithModifiers & int(Qt::KeyboardModifierMask)
        & ~int(Qt::ShiftModifier | Qt::KeypadModifier);
    if (modifiers != int(Qt::ControlModifier))
        return false;
    switch (keyWithModifiers & ~int(Qt::KeyboardModifierMask)) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        m_strip->zoomIn();
        return true;
    case Qt::Key_Minus:
        m_strip->zoomOut();
        return true;
    default:
        return false;
    }
}

// Shown while a file is open and the learner wants it, above the cue
// strip: a fixed band under a picture, half the picture's place for sound
// alone.
void WaveformPractice::placeStrip()
{
    const bool visible = m_engine && isShown();
    m_strip->setVisible(visible);
    m_strip->setMaximumHeight(m_soundOnly ? QWIDGETSIZE_MAX : heightUnderPicture);
    if (auto *grid = qobject_cast<QGridLayout *>(m_strip->parentWidget()->layout())) {
        int row = 0, column = 0, rows = 0, columns = 0;
        if (const int at = grid->indexOf(m_strip); at >= 0) {
            grid->getItemPosition(at, &row, &column, &rows, &columns);
            grid->setRowStretch(row, visible && m_soundOnly ? 1 : 0);
        }
    }
    if (visible)
        m_frames->start();
    else
        m_frames->stop();
}

void WaveformPractice::followPosition()
{
    if (m_engine)
        m_strip->setPosition(toMs(m_engine->position()));
}

void WaveformPractice::onPassageChanged()
{
    if (!m_engine)
        return;
    PracticeState *state = m_player->practiceState();
    if (!state->narrowed()) {
        m_strip->clearPassage();
        return;
    }
    const PracticeState::Passage passage = state->inForce();
    m_strip->setPassage(toMs(passage.in), toMs(passage.out));
}

void WaveformPractice::onSeekRequested(int64_t ms)
{
    if (!m_engine)
        return;
    m_engine->seekTo(toTicks(ms));
    m_strip->setPosition(ms);
    // Held, no refresh runs: the slider and the time follow at once.
    if (m_engine->isStopped())
        m_player->refreshTiming();
}

void WaveformPractice::onPassageChosen(int64_t inMs, int64_t outMs)
{
    if (!m_engine)
        return;
    m_player->practiceState()->setLearnerPassage(toTicks(inMs), toTicks(outMs));
    // A passage away from the played place is heard at once.
    const int64_t here = toMs(m_engine->position());
    if (here < inMs || here >= outMs)
        onSeekRequested(inMs);
}

// Ticks per ms are asked of the engine for a long span, so that a stream
// counting in 1/25 s still converts without rounding each step.
int64_t WaveformPractice::toTicks(int64_t ms) const
{
    if (!m_engine)
        return 0;
    const double perMs = double(m_engine->ticks(1000.0)) / 1000000.0;
    return m_engine->startTime() + std::llround(double(ms) * perMs);
}

int64_t WaveformPractice::toMs(int64_t ticks) const
{
    if (!m_engine)
        return 0;
    const double perMs = double(m_engine->ticks(1000.0)) / 1000000.0;
    return std::llround(double(ticks - m_engine->startTime()) / perMs);
}
