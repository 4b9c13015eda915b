#include "app/practicestate.h"

#include "media/media.h"

#include <algorithm>

PracticeState::PracticeState(QObject *parent)
    : QObject(parent)
{
}

void PracticeState::attach(Media *engine, const QString &path)
{
    m_engine = engine;
    m_sentence.reset();
    if (path != m_path) {
        m_path = path;
        m_learner.reset();
        m_learnerSet = false;
    }
    if (m_engine)
        apply(inForce());
}

void PracticeState::detach()
{
    m_engine = nullptr;
    m_sentence.reset();
}

PracticeState::Passage PracticeState::wholeFile() const
{
    if (!m_engine)
        return {0, 0, m_learnerCount};
    return {m_engine->startTime(), m_engine->startTime() + m_engine->duration(), m_learnerCount};
}

PracticeState::Passage PracticeState::learnerPassage() const
{
    if (!m_learner)
        return wholeFile();
    Passage passage = *m_learner;
    passage.repeatCount = m_learnerCount;
    return passage;
}

PracticeState::Passage PracticeState::inForce() const
{
    return m_sentence ? *m_sentence : learnerPassage();
}

bool PracticeState::narrowed() const
{
    const Passage whole = wholeFile();
    const Passage now = inForce();
    return now.in > whole.in || now.out < whole.out;
}

bool PracticeState::learnerNarrowed() const
{
    const Passage whole = wholeFile();
    const Passage own = learnerPassage();
    return own.in > whole.in || own.out < whole.out;
}

void PracticeState::setLearnerPassage(int64_t in, int64_t out)
{
    m_learnerSet = true;
    m_learner = Passage{in, out, m_learnerCount};
    const bool ended = m_sentence.has_value();
    m_sentence.reset();
    apply(learnerPassage());
    if (ended)
        Q_EMIT borrowingEnded();
}

void PracticeState::resetLearnerPassage()
{
    const Passage whole = wholeFile();
    setLearnerPassage(whole.in, whole.out);
    m_learner.reset();
}

void PracticeState::setLearnerRepeatCount(int count)
{
    m_learnerCount = std::max(0, count);
    if (!m_sentence && m_engine)
        m_engine->setRepeatCount(m_learnerCount);
}

bool PracticeState::restoreLearnerPassage(int64_t in, int64_t out)
{
    if (m_learnerSet)
        return false;
    m_learner = Passage{in, out, m_learnerCount};
    if (!m_sentence)
        apply(learnerPassage());
    return true;
}

void PracticeState::borrow(int64_t in, int64_t out, int repeatCount)
{
    m_sentence = Passage{in, out, std::max(0, repeatCount)};
    apply(*m_sentence);
}

void PracticeState::giveBack()
{
    if (!m_sentence)
        return;
    m_sentence.reset();
    apply(learnerPassage());
}

void PracticeState::apply(const Passage &passage)
{
    if (!m_engine)
        return;
    // What the engine keeps after holding the marks inside the stream is
    // what is in force.
    m_engine->setPassage(passage.in, passage.out, passage.repeatCount);
    if (m_sentence) {
        m_sentence->in = m_engine->markIn();
        m_sentence->out = m_engine->markOut();
    } else if (m_learner) {
        m_learner->in = m_engine->markIn();
        m_learner->out = m_engine->markOut();
    }
    Q_EMIT passageChanged();
}

int64_t PracticeState::resumePlace(int64_t here, int64_t rewind) const
{
    const Passage now = inForce();
    const int64_t start = m_engine ? m_engine->startTime() : 0;
    if (!narrowed())
        return std::max(start, here - std::max<int64_t>(0, rewind));
    // A sentence is heard from its start when the place lies outside it:
    // held at the end of the last one, or before the one just chosen.
    if (m_sentence && (here < now.in || here >= now.out))
        return now.in;
    int64_t target = here - std::max<int64_t>(0, rewind);
    // Before a marked passage lies what the learner chose not to hear.
    if (here >= now.in)
        target = std::max(target, now.in);
    return std::max(target, start);
}
