// Sentence practice on the cue strip: what each line shows, hidden text
// and what the learner has looked at, and the strip's place in the window.

#include "app/sentencepractice.h"

#include "app/vk.h"
#include "display/glrenderwidget.h"

#include <QGridLayout>

// The strip takes a fifth of the height under a picture, so that its text
// grows with the window and can be read from a distance, and all of it in
// place of a picture; hidden, it takes none.
void SentencePractice::setStripVisible(bool visible)
{
    m_strip->setVisible(visible);
    // Without sentences a file of sound alone gets its picture place back.
    if (m_soundOnly && m_player->display())
        m_player->display()->setVisible(!visible);
    auto *grid = qobject_cast<QGridLayout *>(m_strip->parentWidget()->layout());
    const int at = grid ? grid->indexOf(m_strip) : -1;
    if (at < 0)
        return;
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(at, &row, &column, &rows, &columns);
    // The picture's row gives up the strip's share.
    int pictureRow = 0;
    if (const int picture = m_player->display() ? grid->indexOf(m_player->display()) : -1; picture >= 0)
        grid->getItemPosition(picture, &pictureRow, &column, &rows, &columns);
    if (row > pictureRow) {
        grid->setRowStretch(pictureRow, visible && !m_soundOnly ? 4 : 0);
        grid->setRowStretch(row, visible ? 1 : 0);
    }
}

bool SentencePractice::isRevealed(int index) const
{
    return index >= 0 && index < m_cues.size() && m_revealed.contains(m_cues[index].start);
}

bool SentencePractice::wasLookedAt(int index) const
{
    return index >= 0 && index < m_cues.size()
        && m_lookedAt.value(m_mediaPath).contains(m_cues[index].start);
}

void SentencePractice::toggleReveal()
{
    if (m_current < 0 || m_current >= m_cues.size() || !m_textCues)
        return;
    const int64_t key = m_cues[m_current].start;
    if (m_revealed.remove(key)) {
        showStrip();
        return;
    }
    m_revealed.insert(key);
    m_lookedAt[m_mediaPath].insert(key);
    rememberSentences();
    showStrip();
}

CueStrip::Line SentencePractice::lineFor(int index) const
{
    if (index < 0 || index >= m_cues.size())
        return {};
    const Cue &cue = m_cues[index];
    CueStrip::Line line;
    if (cue.text.isEmpty()) {
        line.text = tr("Sentence %1 (%2 s)").arg(index + 1).arg(double(cue.end - cue.start) / 1000.0, 0, 'f', 1);
        line.placeholder = true;
        return line;
    }
    line.text = cue.text;
    line.text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.masked = m_masking && !isRevealed(index);
    return line;
}

void SentencePractice::showStrip()
{
    if (m_cues.isEmpty() || m_current < 0)
        return;
    m_strip->setLines(lineFor(m_current - 1), lineFor(m_current), lineFor(m_current + 1));
    m_strip->setCounter(QStringLiteral("%1/%2").arg(m_current + 1).arg(m_cues.size()), wasLookedAt(m_current));
    QString repeat;
    if ((m_armed || m_once) && m_looping)
        repeat = QStringLiteral("\u21bb %1").arg(m_played + 1); // clockwise arrow: looping
    else if (m_armed && m_repeatCount > 1)
        repeat = QStringLiteral("%1/%2").arg(std::min(m_played + 1, m_repeatCount)).arg(m_repeatCount);
    m_strip->setRepeat(repeat);
    updateActions();
    Q_EMIT currentChanged(m_current);
}
