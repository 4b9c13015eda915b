// The player's commands: what the button bar, the keys and the editor's
// forwarded keys do to the engine, and how the slider's flags follow.

#include "app/vk.h"

#include "app/practicestate.h"
#include "app/sentencepractice.h"
#include "app/timeline.h"
#include "app/waveformpractice.h"
#include "controls/controlbutton.h"
#include "controls/qseekslider.h"
#include "media/media.h"

#include <QKeyEvent>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

Timeline Vk::timeline() const
{
    return Timeline(m_engine->startTime(), m_engine->duration());
}

void Vk::on_actionPlayPause()
{
    // After Stop, Play plays the last file again from where it was left.
    if (!m_engine) {
        if (!m_currentFile.isEmpty())
            openFile(m_currentFile);
        return;
    }
    // Holding stops the engine and keeps its place; the engine's own pause
    // is left to its end-of-loop handling.
    const bool resume = m_engine->isStopped();
    if (resume) {
        // A sentence held at its end hands over to the next one first, so
        // that the rewind counts from the passage the learner goes on with.
        if (!m_practice->aboutToResume())
            rewindForResume();
    }
    m_engine->play(resume);
    Q_EMIT isPlay(resume);
}

// Jumps count media seconds, as the marks and the time shown do, whatever
// the speed: half speed does not halve the jump.
void Vk::on_actionForward()
{
    if (m_engine)
        m_engine->seekTo(m_engine->position() + m_engine->ticks(m_prefs.jumpSeconds));
    showHeldPlace();
}

void Vk::on_actionBackward()
{
    if (m_engine)
        m_engine->seekTo(m_engine->position() - m_engine->ticks(m_prefs.jumpSeconds));
    showHeldPlace();
}

// While held no refresh runs, yet a seek moves the place where playback
// goes on: the knob and the time show it at once.
void Vk::showHeldPlace()
{
    if (!m_engine || !m_engine->isStopped())
        return;
    m_skipNextRefresh = false;
    refreshTiming();
}

void Vk::on_actionSeek(double f)
{
    if (!m_engine)
        return;
    m_skipNextRefresh = true;
    const Timeline::Click click = timeline().click(f, m_engine->markIn(), m_engine->markOut());
    switch (click.kind) {
    case Timeline::Click::Seek:
        m_engine->seekTo(click.target);
        showHeldPlace();
        break;
    case Timeline::Click::WidenStart:
        m_state->setLearnerPassage(click.target, m_engine->markOut());
        m_slider->setMarkInFlag(f);
        break;
    case Timeline::Click::WidenEnd:
        m_state->setLearnerPassage(m_engine->markIn(), click.target);
        m_slider->setMarkOutFlag(f);
        break;
    case Timeline::Click::Nothing:
        break;
    }
}

void Vk::on_actionMarkInSeek()
{
    if (!m_engine)
        return;
    const int64_t here = m_engine->position();
    m_state->setLearnerPassage(here, m_engine->markOut());
    m_slider->setMarkInFlag(timeline().fraction(here));
}

void Vk::on_actionMarkOutSeek()
{
    if (!m_engine)
        return;
    const int64_t here = m_engine->position();
    m_state->setLearnerPassage(m_engine->markIn(), here);
    m_slider->setMarkOutFlag(timeline().fraction(here));
}

void Vk::on_actionMarkReset()
{
    if (!m_engine)
        return;
    m_state->resetLearnerPassage();
}

void Vk::on_actionMarkInReset()
{
    if (!m_engine)
        return;
    const auto loop = timeline().loopBeforeMarkIn(m_engine->markIn());
    if (!loop)
        return;
    m_state->setLearnerPassage(loop->markIn, loop->markOut);
    m_slider->setMarkInFlag(loop->inFlag);
    m_slider->setMarkOutFlag(loop->outFlag);
}

void Vk::on_actionMarkOutReset()
{
    if (!m_engine)
        return;
    const auto loop = timeline().loopAfterMarkOut(m_engine->markOut());
    if (!loop)
        return;
    m_engine->seekTo(*loop->seek);
    m_state->setLearnerPassage(loop->markIn, loop->markOut);
    m_slider->setMarkOutFlag(loop->outFlag);
    m_slider->setMarkInFlag(loop->inFlag);
}

// The flag follows the requested mark, not the one the engine keeps after
// holding it inside the stream, so a nudge past an end still shows.
void Vk::sharpTuneMarkIn(int64_t step)
{
    if (!m_engine)
        return;
    const int64_t mi = m_engine->markIn();
    m_state->setLearnerPassage(mi + step, m_engine->markOut());
    m_slider->setMarkInFlag(timeline().fraction(mi + step));
}

void Vk::sharpTuneMarkOut(int64_t step)
{
    if (!m_engine)
        return;
    const int64_t mo = m_engine->markOut();
    m_state->setLearnerPassage(m_engine->markIn(), mo + step);
    m_slider->setMarkOutFlag(timeline().fraction(mo + step));
}

// A step of fixed time: a fixed count of ticks would be a tenth of a second
// in a stream counting milliseconds, but 4 s in one counting 1/25 s and a
// few microseconds in an MP3's.
int64_t Vk::sharpTuneStep() const
{
    return m_engine ? m_engine->ticks(m_prefs.nudgeSeconds) : 0;
}

void Vk::on_actionMarkInSharpL() { sharpTuneMarkIn(-sharpTuneStep()); }
void Vk::on_actionMarkInSharpR() { sharpTuneMarkIn(sharpTuneStep()); }
void Vk::on_actionMarkOutSharpL() { sharpTuneMarkOut(-sharpTuneStep()); }
void Vk::on_actionMarkOutSharpR() { sharpTuneMarkOut(sharpTuneStep()); }

void Vk::on_actionVolume(double left, double right)
{
    m_volumeLeft = left;
    m_volumeRight = right;
    if (m_engine)
        m_engine->setVolume(left, right);
}

void Vk::keyPressEvent(QKeyEvent *event)
{
    // Keys are the player's own; nothing goes on to the base class.
    event->accept();
    if (m_practice->handleKey(event->keyCombination().toCombined())
        || m_waveform->handleKey(event->keyCombination().toCombined())
        || handleSpeedKey(event->keyCombination().toCombined()))
        return;
    if (event->modifiers() != Qt::NoModifier)
        return;
    switch (event->key()) {
    case Qt::Key_Escape:
        if (m_actionFullscreen->isChecked())
            m_actionFullscreen->setChecked(false);
        break;
    case Qt::Key_F12:
    case Qt::Key_Backspace: on_actionReplay(); break;
    case Qt::Key_Space:
    case Qt::Key_F5: on_actionPlayPause(); break;
    case Qt::Key_Left: on_actionBackward(); break;
    case Qt::Key_Right: on_actionForward(); break;
    case Qt::Key_F1: on_actionMarkInSharpL(); break;
    case Qt::Key_F2: on_actionMarkInSharpR(); break;
    case Qt::Key_F3: on_actionMarkOutSharpL(); break;
    case Qt::Key_F4: on_actionMarkOutSharpR(); break;
    case Qt::Key_F6: on_actionMarkInReset(); break;
    case Qt::Key_F7: on_actionMarkInSeek(); break;
    case Qt::Key_F8: on_actionMarkOutSeek(); break;
    case Qt::Key_F9: on_actionMarkOutReset(); break;
    default: break;
    }
}

void Vk::keyDelegateTrigger(int key)
{
    // While the editor has the focus the function keys and the sentence
    // keys reach the player; the rest of the keyboard is for typing.
    if (m_practice->handleKey(key) || handleSpeedKey(key))
        return;
    switch (key) {
    case Qt::Key_F6: on_actionMarkInReset(); break;
    case Qt::Key_F7: on_actionMarkInSeek(); break;
    case Qt::Key_F8: on_actionMarkOutSeek(); break;
    case Qt::Key_F9: on_actionMarkOutReset(); break;
    case Qt::Key_F12: on_actionReplay(); break;
    case Qt::Key_F1: on_actionMarkInSharpL(); break;
    case Qt::Key_F2: on_actionMarkInSharpR(); break;
    case Qt::Key_F3: on_actionMarkOutSharpL(); break;
    case Qt::Key_F4: on_actionMarkOutSharpR(); break;
    case Qt::Key_F5: on_actionPlayPause(); break;
    default: break;
    }
}

void Vk::connectButtonBar()
{
    connect(m_buttons, &ControlButton::playPause, this, &Vk::on_actionPlayPause);
    connect(m_buttons, &ControlButton::stop, this, &Vk::on_actionStop);
    connect(m_buttons, &ControlButton::setMarkInSignal, this, &Vk::on_actionMarkInSeek);
    connect(m_buttons, &ControlButton::setMarkOut, this, &Vk::on_actionMarkOutSeek);
    connect(m_buttons, &ControlButton::forward, this, &Vk::on_actionForward);
    connect(m_buttons, &ControlButton::backward, this, &Vk::on_actionBackward);
    connect(m_buttons, &ControlButton::resetMark, this, &Vk::on_actionMarkReset);
    connect(m_buttons, &ControlButton::volumeChanged, this, &Vk::on_actionVolume);
    connect(m_buttons, &ControlButton::resetMarkIn, this, &Vk::on_actionMarkInReset);
    connect(m_buttons, &ControlButton::resetMarkOut, this, &Vk::on_actionMarkOutReset);
    connect(m_buttons, &ControlButton::startSharpL, this, &Vk::on_actionMarkInSharpL);
    connect(m_buttons, &ControlButton::startSharpR, this, &Vk::on_actionMarkInSharpR);
    connect(m_buttons, &ControlButton::endSharpL, this, &Vk::on_actionMarkOutSharpL);
    connect(m_buttons, &ControlButton::endSharpR, this, &Vk::on_actionMarkOutSharpR);
    connect(m_buttons, &ControlButton::controlEditor, this, &Vk::on_actionEidtor);
    connect(this, &Vk::isPlay, m_buttons, &ControlButton::playIcon);
}
