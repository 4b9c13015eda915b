#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <optional>

class Media;

// What the learner practises in the open file, with one owner: his own
// passage (what the mark keys, the slider's flags and the file memory set)
// with its repeat count, the sentence passage that sentence practice
// borrows, which of the two the engine plays, and where playback goes on
// after a hold. Every feature moves the marks through this object only;
// the engine just plays what it is given.
//
// Precedence, in this order:
// - The learner's own commands come first: what he sets is his passage and
//   is in force at once, ending any borrowing.
// - A sentence command borrows the marks and the repeat count; giving them
//   back puts the learner's passage in force again exactly as it was.
// - What was remembered of a file (the file memory) is taken only while the
//   learner has set nothing for that file in this sitting: Play after Stop,
//   or opening the open file again, keeps what he set.
// - A failure to find sentences changes nothing here.
//
// Positions are ticks of the reference stream, as the engine's. GUI thread.
class PracticeState final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PracticeState)

public:
    struct Passage
    {
        int64_t in = 0;
        int64_t out = 0;
        int repeatCount = 0; // 0 repeats without end
        bool operator==(const Passage &) const = default;
    };
    enum class Source { Learner, Sentence };

    explicit PracticeState(QObject *parent = nullptr);

    // The engine that now plays path. Another path than the last one's
    // starts afresh: the whole file, nothing set in this sitting, nothing
    // borrowed. The same path keeps the learner's passage and puts it in
    // the new engine.
    void attach(Media *engine, const QString &path);
    // The engine is going (Stop, another file, quitting); a borrowing ends
    // with it, the learner's passage stays for the same path.
    void detach();
    QString path() const { return m_path; }

    // The learner's commands: his passage, in force at once.
    void setLearnerPassage(int64_t in, int64_t out);
    // The whole file again.
    void resetLearnerPassage();
    // The count of his passage (the preference); applied at once while his
    // passage is in force.
    void setLearnerRepeatCount(int count);
    // What was remembered of the file; false, changing nothing, once the
    // learner has set his own passage for it in this sitting.
    bool restoreLearnerPassage(int64_t in, int64_t out);

    // Sentence practice: borrows the marks for one sentence, or gives the
    // learner's back.
    void borrow(int64_t in, int64_t out, int repeatCount);
    void giveBack();

    Source source() const { return m_sentence ? Source::Sentence : Source::Learner; }
    // The learner's passage as it stands, in force or lent out; the whole
    // file when he has none.
    Passage learnerPassage() const;
    Passage inForce() const;
    // The passage in force is narrower than the file.
    bool narrowed() const;
    // The learner has a passage of his own narrower than the file.
    bool learnerNarrowed() const;
    bool learnerPassageSet() const { return m_learnerSet; }

    // Where playback goes on when the learner resumes at here after a hold,
    // going back rewind ticks: within a marked passage never before its
    // start, and a sentence passage the place has left is started from its
    // start.
    int64_t resumePlace(int64_t here, int64_t rewind) const;

Q_SIGNALS:
    // The marks in force changed.
    void passageChanged();
    // The learner set his own passage while a sentence's was in force.
    void borrowingEnded();

private:
    Passage wholeFile() const;
    void apply(const Passage &passage);

    QPointer<Media> m_engine;
    QString m_path;
    std::optional<Passage> m_learner; // none: the whole file
    int m_learnerCount = 0;
    bool m_learnerSet = false; // by the learner, in this sitting
    std::optional<Passage> m_sentence;
};
