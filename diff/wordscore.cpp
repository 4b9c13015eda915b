#include "diff/wordscore.h"

#include <QMap>
#include <QRegularExpression>


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
    const QList<WordStep> steps = alignWords(m_referenceWords, m_dictationWords);
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
