// Practice comforts of the player: rewind on resume, the loop count and
// the marks beside the time, the short replay, volume from the wheel and
// the preferences and the table of keys.

#include "app/vk.h"

#include "app/keysdialog.h"
#include "app/practicestate.h"
#include "app/preferencesdialog.h"
#include "app/sentencepractice.h"
#include "app/timeline.h"
#include "app/userfolders.h"
#include "controls/controlbutton.h"
#include "controls/controlwidget.h"
#include "controls/qseekslider.h"
#include "media/media.h"

#include <QGridLayout>
#include <QLabel>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// Seconds as "m:ss.t", or "h:mm:ss.t" from an hour on.
QString tenths(double seconds)
{
    const long long t = std::llround(std::max(0.0, seconds) * 10.0);
    const long long s = t / 10;
    const QString rest = QStringLiteral("%1.%2").arg(s % 60, 2, 10, QLatin1Char('0')).arg(t % 10);
    if (s >= 3600)
        return QStringLiteral("%1:%2:").arg(s / 3600).arg((s / 60) % 60, 2, 10, QLatin1Char('0')) + rest;
    return QStringLiteral("%1:").arg(s / 60) + rest;
}

} // namespace

void Vk::setupPracticeLabels()
{
    m_marksLabel = new QLabel(m_controlStrip);
    m_marksLabel->setObjectName(QStringLiteral("lblMarks"));
    m_loopLabel = new QLabel(m_controlStrip);
    m_loopLabel->setObjectName(QStringLiteral("lblLoopCount"));
    const QPalette strip = m_positionLabel->palette();
    m_marksLabel->setPalette(strip);
    m_loopLabel->setPalette(strip);
    m_stripGrid->addWidget(m_marksLabel, 0, 22, 1, 1, Qt::AlignRight | Qt::AlignTop);
    m_stripGrid->addWidget(m_loopLabel, 0, 23, 1, 1, Qt::AlignRight | Qt::AlignTop);
    m_marksLabel->hide();
    m_loopLabel->hide();
}

void Vk::connectPassageSignals(Media *engine)
{
    connect(engine, &Media::passageRepeated, this, [this, engine](int played) {
        if (engine == m_engine)
            showLoopCount(played);
    });
    connect(engine, &Media::passageFinished, this, [this, engine] {
        if (engine == m_engine)
            m_loopLabel->hide();
    });
}

bool Vk::passageMarked() const
{
    return m_engine && m_state->narrowed();
}

void Vk::showPassageFlags()
{
    if (!m_engine)
        return;
    if (!m_state->narrowed()) {
        m_slider->resetMark();
        return;
    }
    m_slider->setMarkInFlag(timeline().fraction(m_engine->markIn()));
    m_slider->setMarkOutFlag(timeline().fraction(m_engine->markOut()));
}

void Vk::showLoopCount(int played)
{
    const int count = m_prefs.loopCount;
    // A sentence's repeats are counted on the sentence strip.
    if (count <= 0 || !passageMarked() || m_state->source() != PracticeState::Source::Learner) {
        m_loopLabel->hide();
        return;
    }
    // The pass now playing, out of how many.
    m_loopLabel->setText(QStringLiteral("%1/%2").arg(std::min(played + 1, count)).arg(count));
    m_loopLabel->show();
}

void Vk::showMarks()
{
    if (!passageMarked()) {
        m_marksLabel->hide();
        m_loopLabel->hide();
        return;
    }
    const double perSecond = m_engine->ticks(1000.0) / 1000.0;
    const auto seconds = [&](int64_t mark) { return double(mark - m_engine->startTime()) / perSecond; };
    m_marksLabel->setText(tenths(seconds(m_engine->markIn())) + QStringLiteral(" \u2013 ")
                          + tenths(seconds(m_engine->markOut())));
    m_marksLabel->show();
    // New marks start the count again.
    showLoopCount(0);
}

void Vk::rewindForResume()
{
    if (!m_engine)
        return;
    const int64_t here = m_engine->position();
    const int64_t target = m_state->resumePlace(
        here, m_prefs.rewindSeconds > 0.0 ? m_engine->ticks(m_prefs.rewindSeconds) : 0);
    if (target != here)
        m_engine->seekTo(target);
}

void Vk::on_actionReplay()
{
    if (!m_engine)
        return;
    const int64_t here = m_engine->position();
    int64_t target = here - m_engine->ticks(m_prefs.replaySeconds);
    if (passageMarked() && here >= m_engine->markIn())
        target = std::max(target, m_engine->markIn());
    m_engine->seekTo(std::max(target, m_engine->startTime()));
}

void Vk::wheelEvent(QWheelEvent *event)
{
    // One notch of a usual wheel (120) is five per cent.
    const double step = event->angleDelta().y() / 120.0 * 0.05;
    if (step == 0.0) {
        event->ignore();
        return;
    }
    event->accept();
    m_buttons->setVolumeLevel(m_buttons->volumeLevel() + step);
}

void Vk::setPreferences(const Preferences &prefs)
{
    const bool countChanged = prefs.loopCount != m_prefs.loopCount;
    m_prefs = prefs;
    m_prefs.save(userfolders::settingsFile());
    m_practice->setPaddingMs(m_prefs.paddingMs);
    m_practice->setAutoPause(m_prefs.autoPause);
    m_practice->setRepeatCount(m_prefs.sentenceRepeats);
    if (countChanged) {
        m_state->setLearnerRepeatCount(m_prefs.loopCount);
        if (m_engine)
            showLoopCount(0);
    }
}

void Vk::showPreferences()
{
    // The sentence menu may have changed these since.
    m_prefs.paddingMs = m_practice->paddingMs();
    m_prefs.autoPause = m_practice->autoPause();
    m_prefs.sentenceRepeats = m_practice->repeatCount();
    PreferencesDialog dialog(m_prefs, this);
    connect(&dialog, &PreferencesDialog::preferencesChanged, this, &Vk::setPreferences);
    dialog.exec();
}

void Vk::showKeys()
{
    KeysDialog dialog(this);
    dialog.exec();
}
