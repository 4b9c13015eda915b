#include "diff/wordscore.h"

#include <QMap>
#include <QRegularExpression>

namespace {

// How the dictation came into a reference line, in an alignment.
struct LineEntry
{
    int line = -1;
    bool insideSentence = false; // where the dictation stood at the line's first word
    int skipped = 0;             // the line's words deleted before its first pair
    int paired = 0;
};

QList<LineEntry> lineEntries(const QList<WordStep> &steps, const QList<TextWord> &reference,
                             const QList<TextWord> &dictation)
{
    QList<LineEntry> entries;
    int dictated = 0; // dictation words before the step
    for (const WordStep &step : steps) {
        if (step.reference >= 0) {
            const int line = reference[step.reference].line;
            if (entries.isEmpty() || entries.last().line != line) {
                LineEntry entry;
                entry.line = line;
                entry.insideSentence = dictated > 0 && dictated < dictation.size()
                    && dictation[dictated].sentence == dictation[dictated - 1].sentence;
                entries.append(entry);
            }
            LineEntry &entry = entries.last();
            if (step.dictation >= 0)
                ++entry.paired;
            else if (entry.paired == 0)
                ++entry.skipped;
        }
        if (step.dictation >= 0)
            ++dictated;
    }
    return entries;
}

// The alignment of the dictation, in which a dictation that stops early
// keeps its sentences where they pair in order. A learner who stops early
// leaves the rest of the lesson to stray pairs, a lone "the" in a later
// sentence being cheaper than an extra "the" and a missing one in the right
// sentence. The pairs of a line drifted there when the dictation came into
// the line in the middle of one of its own sentences and skipped more of
// the line's first words than it pairs in the line; when the last lines
// reached are such, the dictation is aligned with the reference up to the
// last line it reaches in order, and the lines after are missing.
QList<WordStep> alignDictation(const QList<TextWord> &reference, const QList<TextWord> &dictation)
{
    QList<WordStep> steps = alignWords(reference, dictation);
    const QList<LineEntry> entries = lineEntries(steps, reference, dictation);
    qsizetype last = entries.size() - 1;
    while (last >= 0 && entries[last].paired == 0)
        --last;
    qsizetype reached = last;
    while (reached >= 0
           && (entries[reached].paired == 0
               || (entries[reached].insideSentence && entries[reached].skipped > entries[reached].paired)))
        --reached;
    if (reached < 0 || reached == last)
        return steps;
    const int endLine = entries[reached].line;
    qsizetype end = 0;
    while (end < reference.size() && reference[end].line <= endLine)
        ++end;
    steps = alignWords(reference.mid(0, end), dictation);
    for (qsizetype i = end; i < reference.size(); ++i)
        steps.append({WordEdit::Deleted, int(i), -1});
    return steps;
}

} // namespace

double WordCounts::wordErrorRate() const
{
    return hasRates() ? double(errors()) / referenceWords : 0.0;
}

double WordCounts::accuracy() const
{
    return hasRates() ? 1.0 - wordErrorRate() : 0.0;
}

WordCounts &WordCounts::operator+=(const WordCounts &other)
{
    referenceWords += other.referenceWords;
    correct += other.correct;
    substituted += other.substituted;
    spellingSlips += other.spellingSlips;
    deleted += other.deleted;
    inserted += other.inserted;
    return *this;
}

WordScore::WordScore(const QString &reference, const QString &dictation, const SpellTest &isKnown)
    : m_reference(reference),
      m_dictation(dictation),
      m_referenceWords(splitWords(reference)),
      m_dictationWords(splitWords(dictation))
{
    const QList<WordStep> steps = alignDictation(m_referenceWords, m_dictationWords);
    m_steps.reserve(steps.size());
    // Extra words before the first reference word count for the line of
    // that word.
    int line = m_referenceWords.isEmpty() ? 0 : m_referenceWords.first().line;
    for (const WordStep &step : steps) {
        ScoredStep scored;
        static_cast<WordStep &>(scored) = step;
        if (step.reference >= 0)
            line = m_referenceWords[step.reference].line;
        scored.line = line;
        if (step.edit == WordEdit::Substituted && isKnown) {
            const QString written = dictationWord(step.dictation);
            scored.spellingSlip = withinTwoLetters(written, referenceWord(step.reference))
                && !isKnown(written);
        }
        m_steps.append(scored);
    }
    countLines();
    countReached();
}

QString WordScore::referenceWord(int index) const
{
    const TextWord &word = m_referenceWords[index];
    return m_reference.mid(word.position, word.length);
}

QString WordScore::dictationWord(int index) const
{
    const TextWord &word = m_dictationWords[index];
    return m_dictation.mid(word.position, word.length);
}

void WordScore::countLines()
{
    QMap<int, LineScore> rows;
    for (const ScoredStep &step : std::as_const(m_steps)) {
        LineScore &row = rows[step.line];
        row.line = step.line;
        WordCounts &counts = row.counts;
        if (step.reference >= 0)
            ++counts.referenceWords;
        switch (step.edit) {
        case WordEdit::Correct:
            ++counts.correct;
            break;
        case WordEdit::Substituted:
            ++counts.substituted;
            if (step.spellingSlip)
                ++counts.spellingSlips;
            break;
        case WordEdit::Deleted:
            ++counts.deleted;
            break;
        case WordEdit::Inserted:
            ++counts.inserted;
            break;
        }
        if (step.dictation >= 0) {
            if (!row.dictation.isEmpty())
                row.dictation += QLatin1Char(' ');
            row.dictation += dictationWord(step.dictation);
        }
    }
    // The same line breaks as splitWords() counts.
    static const QRegularExpression lineBreak(QStringLiteral("[\\n\\x{2028}\\x{2029}]"));
    const QStringList referenceLines = m_reference.split(lineBreak);
    for (auto it = rows.begin(); it != rows.end(); ++it) {
        LineScore &row = it.value();
        if (row.line < referenceLines.size())
            row.reference = referenceLines[row.line].trimmed();
        m_total += row.counts;
        m_lines.append(row);
    }
}

void WordScore::countReached()
{
    for (const ScoredStep &step : std::as_const(m_steps)) {
        if (step.dictation >= 0)
            m_reachedLine = step.line;
    }
    for (const LineScore &row : std::as_const(m_lines)) {
        if (row.counts.referenceWords > 0) {
            ++m_sentenceCount;
            if (m_reachedLine >= 0 && row.line <= m_reachedLine)
                ++m_reachedSentence;
        }
    }
    if (!stopsEarly()) {
        m_reachedTotal = m_total;
        return;
    }
    for (const LineScore &row : std::as_const(m_lines)) {
        if (row.line <= m_reachedLine)
            m_reachedTotal += row.counts;
    }
}
