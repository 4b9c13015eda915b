// Sentence practice as the learner reaches it: menu entries, keys and the
// settings kept between runs.

#include "app/sentencepractice.h"

#include "app/sentencelist.h"
#include "app/userfolders.h"
#include "app/vk.h"
#include "cues/sentencesplitter.h"
#include "media/media.h"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QMenu>
#include <QScreen>
#include <QSettings>

#include <algorithm>

namespace {

// Alt with the arrows: the editor's text area leaves them alone (Ctrl moves
// by words there, Alt+letters would type), so they work while typing too.
constexpr int keyPrevious = QKeyCombination(Qt::AltModifier, Qt::Key_Left).toCombined();
constexpr int keyNext = QKeyCombination(Qt::AltModifier, Qt::Key_Right).toCombined();
constexpr int keyReplay = QKeyCombination(Qt::AltModifier, Qt::Key_Up).toCombined();
constexpr int keyLoop = QKeyCombination(Qt::AltModifier, Qt::Key_Down).toCombined();
constexpr int keyReveal = QKeyCombination(Qt::AltModifier, Qt::Key_Home).toCombined();

} // namespace

// The same keys as the player's preferences, in the same file: the menu
// and the preferences form set the same values.
void SentencePractice::loadSettings()
{
    QSettings s(userfolders::settingsFile(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("practice"));
    m_paddingMs = std::clamp(s.value(QStringLiteral("paddingMs"), defaultPaddingMs).toInt(), 0, maxPaddingMs);
    m_minPauseMs = std::clamp(s.value(QStringLiteral("minPauseMs"), SentenceSplitter::defaultMinPauseMs).toInt(),
                              100, 2000);
    m_autoPause = s.value(QStringLiteral("autoPause"), false).toBool();
    m_repeatCount = std::clamp(s.value(QStringLiteral("repeatCount"), 1).toInt(), 1, maxRepeats);
    m_masking = s.value(QStringLiteral("masking"), true).toBool();
}

void SentencePractice::saveSettings() const
{
    QSettings s(userfolders::settingsFile(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("practice"));
    s.setValue(QStringLiteral("paddingMs"), m_paddingMs);
    s.setValue(QStringLiteral("minPauseMs"), m_minPauseMs);
    s.setValue(QStringLiteral("autoPause"), m_autoPause);
    s.setValue(QStringLiteral("repeatCount"), m_repeatCount);
    s.setValue(QStringLiteral("masking"), m_masking);
}

QAction *SentencePractice::addAction(const QString &text, int key, void (SentencePractice::*slot)())
{
    auto *action = new QAction(text, this);
    if (key)
        action->setShortcut(QKeySequence(key));
    // The keys are handled by handleKey(), from the player and the editor
    // alike; the shortcut is shown in the menu only.
    action->setShortcutContext(Qt::WidgetShortcut);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void SentencePractice::createActions()
{
    m_actionOpenSubtitles = addAction(tr("Open Subtitles..."), 0, &SentencePractice::chooseSubtitles);
    createTranscriptActions();
    m_actionPrevious = addAction(tr("Previous Sentence"), keyPrevious, &SentencePractice::previous);
    m_actionNext = addAction(tr("Next Sentence"), keyNext, &SentencePractice::next);
    m_actionReplay = addAction(tr("Replay Sentence"), keyReplay, &SentencePractice::replay);
    m_actionReveal = addAction(tr("Show Sentence Text"), keyReveal, &SentencePractice::toggleReveal);
    m_actionJoin = addAction(tr("Join With Next Sentence"), 0, &SentencePractice::joinWithNext);
    m_actionSplit = addAction(tr("Split Sentence Here"), 0, &SentencePractice::splitHere);
    m_actionList = addAction(tr("List of Sentences..."), 0, &SentencePractice::showList);

    m_actionLoop = new QAction(tr("Loop Sentence"), this);
    m_actionLoop->setCheckable(true);
    m_actionLoop->setShortcut(QKeySequence(keyLoop));
    m_actionLoop->setShortcutContext(Qt::WidgetShortcut);
    connect(m_actionLoop, &QAction::toggled, this, &SentencePractice::setLooping);

    m_actionAutoPause = new QAction(tr("Pause After Each Sentence"), this);
    m_actionAutoPause->setCheckable(true);
    m_actionAutoPause->setChecked(m_autoPause);
    connect(m_actionAutoPause, &QAction::toggled, this, &SentencePractice::setAutoPause);

    m_actionMasking = new QAction(tr("Hide Sentence Text"), this);
    m_actionMasking->setCheckable(true);
    m_actionMasking->setChecked(m_masking);
    connect(m_actionMasking, &QAction::toggled, this, &SentencePractice::setMasking);

    m_repeatGroup = new QActionGroup(this);
    for (int n = 1; n <= maxRepeats; ++n) {
        QAction *a = m_repeatGroup->addAction(n == 1 ? tr("Once") : tr("%n Times", nullptr, n));
        a->setCheckable(true);
        a->setChecked(n == m_repeatCount);
        connect(a, &QAction::triggered, this, [this, n] { setRepeatCount(n); });
    }
    m_paddingGroup = new QActionGroup(this);
    for (int ms : {0, 50, 100, 150, 200, 300, 500}) {
        QAction *a = m_paddingGroup->addAction(tr("%1 ms").arg(ms));
        a->setCheckable(true);
        a->setChecked(ms == m_paddingMs);
        connect(a, &QAction::triggered, this, [this, ms] { setPaddingMs(ms); });
    }
    m_pauseGroup = new QActionGroup(this);
    for (int ms : {200, 300, 400, 500, 700, 1000}) {
        QAction *a = m_pauseGroup->addAction(tr("%1 ms").arg(ms));
        a->setCheckable(true);
        a->setChecked(ms == m_minPauseMs);
        connect(a, &QAction::triggered, this, [this, ms] { setMinPauseMs(ms); });
    }
    updateActions();
}

void SentencePractice::updateActions()
{
    if (!m_actionNext)
        return;
    const bool open = !m_engine.isNull();
    const bool cues = open && !m_cues.isEmpty();
    m_actionOpenSubtitles->setEnabled(open);
    m_actionOpenTranscript->setEnabled(open);
    m_actionSaveSentences->setEnabled(cues && m_textCues);
    for (QAction *a : {m_actionPrevious, m_actionNext, m_actionReplay, m_actionLoop, m_actionList})
        a->setEnabled(cues);
    m_actionReveal->setEnabled(cues && m_textCues);
    m_actionJoin->setEnabled(cues && m_current >= 0 && m_current + 1 < m_cues.size());
    m_actionSplit->setEnabled(cues && m_current >= 0);
}

void SentencePractice::addMenuEntries(QMenu *menu)
{
    menu->addAction(m_actionOpenSubtitles);
    menu->addAction(m_actionOpenTranscript);
    QMenu *practice = menu->addMenu(tr("Sentences"));
    practice->addAction(m_actionPrevious);
    practice->addAction(m_actionNext);
    practice->addAction(m_actionReplay);
    practice->addAction(m_actionLoop);
    practice->addAction(m_actionReveal);
    practice->addAction(m_actionList);
    practice->addSeparator();
    practice->addAction(m_actionAutoPause);
    practice->addMenu(tr("Play Each Sentence"))->addActions(m_repeatGroup->actions());
    practice->addAction(m_actionMasking);
    practice->addMenu(tr("Loop Padding"))->addActions(m_paddingGroup->actions());
    practice->addSeparator();
    practice->addAction(m_actionJoin);
    practice->addAction(m_actionSplit);
    practice->addAction(m_actionSaveSentences);
    practice->addMenu(tr("Shortest Pause Between Sentences"))->addActions(m_pauseGroup->actions());
}

bool SentencePractice::handleKey(int keyWithModifiers)
{
    switch (keyWithModifiers) {
    case keyPrevious: previous(); return true;
    case keyNext: next(); return true;
    case keyReplay: replay(); return true;
    case keyLoop: setLooping(!m_looping); return true;
    case keyReveal: toggleReveal(); return true;
    default: return false;
    }
}

void SentencePractice::chooseSubtitles()
{
    if (!m_engine || !m_chooseFile)
        return;
    const QString name = m_chooseFile(m_player, tr("Open Subtitles"),
                                      QFileInfo(m_mediaPath).absolutePath(), Subtitles::fileFilter());
    if (!name.isEmpty())
        openSubtitles(name);
}

void SentencePractice::setAutoPause(bool on)
{
    if (m_autoPause == on)
        return;
    const bool was = practising();
    m_autoPause = on;
    m_actionAutoPause->setChecked(on);
    saveSettings();
    if (!on)
        m_advanceOnPlay = false;
    if (practising() != was) {
        if (practising())
            arm(std::max(0, m_current), false);
        else
            disarm();
    }
}

void SentencePractice::setRepeatCount(int count)
{
    count = std::clamp(count, 1, maxRepeats);
    if (const QList<QAction *> actions = m_repeatGroup->actions(); actions.size() >= count)
        actions[count - 1]->setChecked(true);
    if (count == m_repeatCount)
        return;
    const bool was = practising();
    m_repeatCount = count;
    saveSettings();
    if (practising() && m_current >= 0)
        arm(m_current, false);
    else if (was && !practising())
        disarm();
}

void SentencePractice::setPaddingMs(int ms)
{
    const bool changed = std::clamp(ms, 0, maxPaddingMs) != m_paddingMs;
    m_paddingMs = std::clamp(ms, 0, maxPaddingMs);
    saveSettings();
    for (QAction *a : m_paddingGroup->actions())
        a->setChecked(a->text() == tr("%1 ms").arg(m_paddingMs));
    if (m_armed && changed)
        arm(m_current, false);
}

void SentencePractice::setMinPauseMs(int ms)
{
    m_minPauseMs = std::clamp(ms, 100, 2000);
    saveSettings();
    // Sentences found in the sound are found again with the new pause.
    if (m_engine && !m_textCues && !m_mediaPath.isEmpty()) {
        m_strip->setMessage(tr("Finding the sentences..."));
        setStripVisible(true);
        m_awaitingSplit = true;
        startSplitter(true);
    }
}

void SentencePractice::setMasking(bool on)
{
    if (m_masking != on) {
        m_masking = on;
        saveSettings();
    }
    m_actionMasking->setChecked(on);
    showStrip();
}

void SentencePractice::loopSentence(int index)
{
    if (!m_engine || index < 0 || index >= m_cues.size())
        return;
    m_looping = true;
    m_actionLoop->setChecked(true);
    m_advanceOnPlay = false;
    arm(index, true);
    if (m_engine->isStopped())
        m_player->on_actionPlayPause();
}

void SentencePractice::showList()
{
    if (!m_list) {
        m_list = new SentenceList(this, m_player);
        connect(m_list, &SentenceList::keyDelegate, m_player, &Vk::keyDelegateTrigger);
        // Beside the player, on its right where the screen has room, else on
        // its left: over the picture it would hide what it lists.
        const QRect player = m_player->frameGeometry();
        const QRect room = m_player->screen()->availableGeometry();
        constexpr int gap = 8;
        const int right = player.right() + 1 + gap;
        const int x = right + m_list->width() <= room.right() + 1 ? right
                                                                 : std::max(room.left(), player.left() - gap - m_list->width());
        m_list->move(x, std::clamp(player.top(), room.top(), std::max(room.top(), room.bottom() + 1 - m_list->height())));
    }
    m_list->show();
    m_list->raise();
    m_list->activateWindow();
}
