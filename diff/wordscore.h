#pragma once

#include "diff/wordalignment.h"

#include <QList>
#include <QString>

#include <functional>

// Word counts of a dictation against its reference.
struct WordCounts
{
    int referenceWords = 0; // N
    int correct = 0;        // C
    int substituted = 0;    // S, spelling slips included
    int spellingSlips = 0;  // the part of S that is only a slip of spelling
    int deleted = 0;        // D: missing words
    int inserted = 0;       // I: extra words

    int errors() const { return substituted + deleted + inserted; }
    int wrongWords() const { return substituted - spellingSlips; }
    // Without reference words there is nothing to divide by.
    bool hasRates() const { return referenceWords > 0; }
    // (S + D + I) / N, as a fraction; above 1 when extra words pile up.
    double wordErrorRate() const;
    // 1 - word error rate, so it goes below 0 in the same case.
    double accuracy() const;

    WordCounts &operator+=(const WordCounts &other);
    bool operator==(const WordCounts &) const = default;
};

// A step of the alignment with what the score made of it.
struct ScoredStep : WordStep
{
    bool spellingSlip = false; // a substitution that is only a slip of spelling
    int line = 0;              // the reference line the step counts for
};

// One reference line (one sentence or cue) with the steps counted for it.
struct LineScore
{
    int line = 0;           // index of the line in the reference
    QString reference;      // the line's text, trimmed
    QString dictation;      // the dictation's words aligned with it, in order
    WordCounts counts;
};

// The word score of a dictation against a reference text. Each line of the
// reference is a sentence (or a subtitle cue) with its own row; an extra
// word counts for the line of the reference word before it, or the first
// line when there is none. A learner may stop before the end of the lesson:
// the score then also covers the part dictated, up to the last line the
// dictation reaches, and the words of its last sentence are kept with the
// reference line they pair with in order rather than drifting to stray
// words of the lines not dictated yet.
class WordScore final
{
public:
    // Tells whether the spell checker knows a word as written.
    using SpellTest = std::function<bool(const QString &word)>;

    // Without a spell test no substitution counts as a spelling slip.
    WordScore(const QString &reference, const QString &dictation, const SpellTest &isKnown = {});

    const QString &referenceText() const { return m_reference; }
    const QString &dictationText() const { return m_dictation; }
    const QList<TextWord> &referenceWords() const { return m_referenceWords; }
    const QList<TextWord> &dictationWords() const { return m_dictationWords; }
    // The word as the text has it (case and apostrophes kept).
    QString referenceWord(int index) const;
    QString dictationWord(int index) const;

    const QList<ScoredStep> &steps() const { return m_steps; }
    const WordCounts &total() const { return m_total; }
    // Rows for the reference lines that hold words, in text order; one row
    // for line 0 when the reference has no words but the dictation has.
    const QList<LineScore> &lines() const { return m_lines; }

    // How far the dictation got: the reference line its last word counts
    // for; -1 without dictation words.
    int reachedLine() const { return m_reachedLine; }
    // The score of what was dictated: the lines up to reachedLine(). The
    // same as total() when the dictation reaches the last line or has no
    // words.
    const WordCounts &reachedTotal() const { return m_reachedTotal; }
    // The rows with reference words, and how many of them the dictation
    // has reached (1 for the first).
    int sentenceCount() const { return m_sentenceCount; }
    int reachedSentence() const { return m_reachedSentence; }
    // Whether the learner stopped before the last sentence, so that the
    // score up to reachedLine() tells more than the whole one.
    bool stopsEarly() const { return m_reachedSentence > 0 && m_reachedSentence < m_sentenceCount; }

private:
    void countLines();
    void countReached();

    QString m_reference;
    QString m_dictation;
    QList<TextWord> m_referenceWords;
    QList<TextWord> m_dictationWords;
    QList<ScoredStep> m_steps;
    WordCounts m_total;
    QList<LineScore> m_lines;
    int m_reachedLine = -1;
    WordCounts m_reachedTotal;
    int m_sentenceCount = 0;
    int m_reachedSentence = 0;
};
