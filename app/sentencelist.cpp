#include "app/sentencelist.h"

#include "app/sentencepractice.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

// "m:ss.t" of a cue's start.
QString startText(int64_t ms)
{
    const int64_t tenths = ms / 100;
    return QStringLiteral("%1:%2.%3")
        .arg(tenths / 600)
        .arg(tenths / 10 % 60, 2, 10, QLatin1Char('0'))
        .arg(tenths % 10);
}

} // namespace

SentenceList::SentenceList(SentencePractice *practice, QWidget *parent)
    : QWidget(parent, Qt::Tool)
    , m_practice(practice)
    , m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("sentenceList"));
    setWindowTitle(tr("Sentences"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    m_list->setWordWrap(true);
    m_list->setUniformItemSizes(false);
    resize(360, 420);
    connect(m_practice, &SentencePractice::cuesChanged, this, &SentenceList::rebuild);
    // A reveal or a new sentence both come as a change of the current one.
    connect(m_practice, &SentencePractice::currentChanged, this, &SentenceList::follow);
    connect(m_list, &QListWidget::itemClicked, this, &SentenceList::onClicked);
    m_list->installEventFilter(this);
    rebuild();
}

bool SentenceList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_list || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    // The player's keys work here as in the editor: the function keys and
    // the sentence keys (Alt with the arrows); the rest moves in the list.
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool functionKey = key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F12;
    if (!functionKey && !(key->modifiers() & Qt::AltModifier))
        return false;
    Q_EMIT keyDelegate(key->keyCombination().toCombined());
    return true;
}

void SentenceList::rebuild()
{
    m_list->clear();
    const QList<Cue> &cues = m_practice->cues();
    for (int i = 0; i < cues.size(); ++i)
        m_list->addItem(new QListWidgetItem(m_list));
    follow(m_practice->currentIndex());
}

void SentenceList::follow(int index)
{
    const QList<Cue> &cues = m_practice->cues();
    if (m_list->count() != cues.size()) {
        rebuild();
        return;
    }
    for (int i = 0; i < cues.size(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        const Cue &cue = cues[i];
        const bool shown = !cue.text.isEmpty() && (!m_practice->masking() || m_practice->isRevealed(i));
        QString text = tr("%1.  %2 – %3").arg(i + 1).arg(startText(cue.start), startText(cue.end));
        if (shown)
            text += QStringLiteral("  ") + QString(cue.text).replace(QLatin1Char('\n'), QLatin1Char(' '));
        // The mark of a sentence he needed to read.
        if (m_practice->wasLookedAt(i))
            text += QStringLiteral("  \u2714");
        item->setText(text);
        item->setToolTip(m_practice->wasLookedAt(i) ? tr("You revealed this sentence's text; click to loop it")
                                                    : tr("Click to loop this sentence"));
    }
    if (index >= 0 && index < m_list->count()) {
        m_list->setCurrentRow(index);
        m_list->scrollToItem(m_list->item(index));
    }
}

void SentenceList::onClicked(QListWidgetItem *item)
{
    m_practice->loopSentence(m_list->row(item));
}
