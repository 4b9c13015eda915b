// The learner's record from the player: the right-click menu's entry and
// the editor's both open the one Progress view, and its Practise buttons
// loop the sentence in the player.

#include "app/vk.h"

#include "app/sentencepractice.h"
#include "app/userfolders.h"
#include "editor/textedit.h"
#include "progress/progressstore.h"
#include "progress/progressview.h"
#include "progress/sentencecue.h"

#include <QAction>
#include <QFileInfo>
#include <QScreen>

#include <algorithm>

void Vk::setupProgress()
{
    ProgressStore::setDefaultFile(userfolders::dataFolder() + QStringLiteral("/progress.sqlite"));
    m_actionProgress = new QAction(tr("Progress on This Lesson..."), this);
    connect(m_actionProgress, &QAction::triggered, this, [this] { showProgress(m_currentFile); });
    connect(m_editor, &TextEdit::progressRequested, this, &Vk::showProgress);
    // A comparison made while the view is open shows in it at once.
    connect(m_editor, &TextEdit::progressRecorded, this, [this](const QString &mediaFile) {
        if (m_progressView && m_progressView->isVisible()
            && QFileInfo(m_progressView->lesson()) == QFileInfo(mediaFile))
            m_progressView->reload();
    });
}

void Vk::showProgress(const QString &mediaFile)
{
    if (mediaFile.isEmpty())
        return;
    if (!m_progressView) {
        m_progressView = new ProgressView(this);
        connect(m_progressView, &ProgressView::practiseRequested, this, &Vk::practiseSentence);
        placeProgressView();
    }
    m_progressView->setLesson(mediaFile);
    m_progressView->show();
    m_progressView->raise();
    m_progressView->activateWindow();
}

// Beside the player where the screen has room, right before left: its
// Practise buttons loop a sentence the learner wants to see and hear.
void Vk::placeProgressView()
{
    const QRect player = frameGeometry();
    const QRect room = screen()->availableGeometry();
    constexpr int gap = 8;
    const int width = std::min(m_progressView->width(), room.width());
    const int height = std::min(m_progressView->height(), room.height());
    int x = player.right() + 1 + gap;
    if (x + width > room.right() + 1)
        x = player.left() - gap - width;
    if (x < room.left())
        x = room.right() + 1 - width; // no room either side: at the screen's edge, over the least of it
    const int y = std::clamp(player.top(), room.top(), room.bottom() + 1 - height);
    m_progressView->resize(width, height);
    m_progressView->move(x, y);
}

void Vk::practiseSentence(const QString &mediaFile, int line, const QString &text)
{
    // True once the lesson's sentences are known, whether one fitted or not.
    auto loop = [this, line, text] {
        const QList<Cue> &cues = m_practice->cues();
        if (cues.isEmpty())
            return false;
        QStringList texts;
        for (const Cue &cue : cues)
            texts.append(cue.text);
        const int index = sentencecue::find(texts, line, text);
        if (index >= 0)
            m_practice->loopSentence(index);
        return true;
    };
    disconnect(m_pendingPractice);
    const bool playing = m_engine && QFileInfo(m_currentFile) == QFileInfo(mediaFile);
    if (playing && loop())
        return;
    if (!playing && !openFile(mediaFile))
        return;
    // Sentences found in the sound come a moment after the lesson opens.
    if (!loop()) {
        m_pendingPractice = connect(m_practice, &SentencePractice::cuesChanged, this, [this, loop] {
            if (loop())
                disconnect(m_pendingPractice);
        });
    }
}
