#include "diff/wordscore.h"

#include <QMap>
#include <QRegularExpression>

#include <algorithm>
#include <cstdlib>
#include <vector>

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

bool withinTwoLetters(const QString &written, const QString &meant)
{
    const QString a = written.toLower();
    const QString b = meant.toLower();
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    if (std::abs(int(n - m)) > 2)
        return false;
    // Edit distance with swaps of neighbours counted as one edit; three
    // rows are enough for the swap.
    std::vector<int> before(size_t(m) + 1), previous(size_t(m) + 1), current(size_t(m) + 1);
    for (qsizetype j = 0; j <= m; ++j)
        previous[size_t(j)] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= m; ++j) {
            const bool same = a[i - 1] == b[j - 1];
            int d = std::min({previous[size_t(j)] + 1, current[size_t(j - 1)] + 1,
                              previous[size_t(j - 1)] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d = std::min(d, before[size_t(j - 2)] + 1);
            current[size_t(j)] = d;
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[size_t(m)] <= 2;
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
