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
    }
    m_progressView->setLesson(mediaFile);
    m_progressView->show();
    m_progressView->raise();
    m_progressView->activateWindow();
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
