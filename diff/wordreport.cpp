#include "diff/wordreport.h"

#include <algorithm>
#include <climits>

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\u2028' || c == u'\u2029';
}

// Text between two words of a line, each run of blanks made one blank.
QString gapHtml(const QString &gap)
{
    QString out;
    bool blank = false;
    for (const QChar c : gap) {
        if (c.isSpace()) {
            blank = true;
            continue;
        }
        if (blank)
            out += QLatin1Char(' ');
        blank = false;
        out += c;
    }
    if (blank)
        out += QLatin1Char(' ');
    return escaped(out);
}

QString withoutLeadingBlanks(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    return text.mid(i);
}

// Writes the part of the text between two reference words that goes before
// an extra word, up to and including its last blank (all of it when it has
// none, with a blank after it), and returns how many characters it took.
qsizetype writeGapBeforeExtra(QString &html, const QString &gap, bool lineOpen)
{
    qsizetype cut = gap.size();
    while (cut > 0 && !gap[cut - 1].isSpace())
        --cut;
    if (cut > 0) {
        if (!lineOpen)
            html += gapHtml(gap.left(cut));
        return cut;
    }
    html += escaped(gap);
    if (!lineOpen)
        html += QLatin1Char(' ');
    return gap.size();
}

QString styled(WordReport::Mark mark, const QString &decoration, const QString &text)
{
    return QStringLiteral("<span style=\"color:%1; background-color:%2; %3\">%4</span>")
        .arg(WordReport::colour(mark), WordReport::background(mark), decoration, escaped(text));
}

const QString underline = QStringLiteral("text-decoration: underline;");
const QString strikeOut = QStringLiteral("text-decoration: line-through;");
const QString bold = QStringLiteral("font-weight:600;");

QString markHtml(WordReport::Mark mark, const QString &written, const QString &meant)
{
    switch (mark) {
    case WordReport::MissingMark:
        return styled(mark, underline, meant);
    case WordReport::ExtraMark:
        return styled(mark, strikeOut, written);
    case WordReport::WrongMark:
    case WordReport::SlipMark:
        break;
    }
    // The blank belongs to the right word, so the pair reads as one mark.
    return styled(mark, strikeOut, written) + styled(mark, bold, QLatin1Char(' ') + meant);
}

QString stepHtml(const WordScore &score, const ScoredStep &step)
{
    switch (step.edit) {
    case WordEdit::Correct:
        return escaped(score.referenceWord(step.reference));
    case WordEdit::Deleted:
        return markHtml(WordReport::MissingMark, QString(), score.referenceWord(step.reference));
    case WordEdit::Inserted:
        return markHtml(WordReport::ExtraMark, score.dictationWord(step.dictation), QString());
    case WordEdit::Substituted:
        break;
    }
    return markHtml(step.spellingSlip ? WordReport::SlipMark : WordReport::WrongMark,
                    score.dictationWord(step.dictation), score.referenceWord(step.reference));
}

QString numberHtml(int line)
{
    return QStringLiteral("<span style=\"color:#8a8a8a;\">%1&nbsp;</span>").arg(line + 1);
}

} // namespace

QString WordReport::colour(Mark mark)
{
    switch (mark) {
    case MissingMark:
        return QStringLiteral("#1b7a1b");
    case ExtraMark:
        return QStringLiteral("#7a3db8");
    case WrongMark:
        return QStringLiteral("#c62828");
    case SlipMark:
        break;
    }
    return QStringLiteral("#b35900");
}

QString WordReport::background(Mark mark)
{
    switch (mark) {
    case MissingMark:
        return QStringLiteral("#d9f2d9");
    case ExtraMark:
        return QStringLiteral("#ecdff8");
    case WrongMark:
        return QStringLiteral("#fadcdc");
    case SlipMark:
        break;
    }
    return QStringLiteral("#fde6c6");
}

QString WordReport::lineAnchor(int line)
{
    return QStringLiteral("line-%1").arg(line + 1);
}

QString WordReport::wordViewHtml(const WordScore &score, Scope scope)
{
    const int lastLine = scope == UpToReached && score.stopsEarly() ? score.reachedLine() : INT_MAX;
    const QString &reference = score.referenceText();
    const QList<TextWord> &words = score.referenceWords();
    QList<qsizetype> lineStarts{0};
    for (qsizetype i = 0; i < reference.size(); ++i) {
        if (isLineBreak(reference[i]))
            lineStarts.append(i + 1);
    }
    auto lineEnd = [&](int line) {
        return line + 1 < lineStarts.size() ? lineStarts[line + 1] - 1 : reference.size();
    };

    QString html;
    int line = -1;
    qsizetype at = 0;     // how far the reference has been written
    int nextWord = 0;     // the next reference word to write
    bool lineOpen = true; // nothing written on the line yet
    auto closeLine = [&] {
        if (line >= 0)
            html += gapHtml(reference.mid(at, lineEnd(line) - at)) + QLatin1String("</p>");
    };
    for (const ScoredStep &step : score.steps()) {
        if (step.line > lastLine)
            break;
        if (step.line != line) {
            closeLine();
            line = step.line;
            at = line < lineStarts.size() ? lineStarts[line] : reference.size();
            html += QStringLiteral("<p style=\"margin-top:3px; margin-bottom:3px;\"><a name=\"%1\"></a>")
                        .arg(lineAnchor(line))
                + numberHtml(line);
            lineOpen = true;
        }
        if (step.reference >= 0) {
            const TextWord &word = words[step.reference];
            const QString gap = reference.mid(at, word.position - at);
            // A line's leading blanks go, a dialogue dash and its blank stay.
            html += gapHtml(lineOpen ? withoutLeadingBlanks(gap) : gap);
            at = word.position + word.length;
            nextWord = step.reference + 1;
            html += stepHtml(score, step);
            lineOpen = false;
            continue;
        }
        // An extra word goes after the blank that follows the word before
        // it: "cat, big sat" rather than "cat big, sat".
        const qsizetype until = nextWord < words.size() && words[nextWord].line == line
            ? words[nextWord].position
            : std::max(at, lineEnd(line));
        at += writeGapBeforeExtra(html, reference.mid(at, until - at), lineOpen);
        html += stepHtml(score, step) + QLatin1Char(' ');
        lineOpen = false;
    }
    closeLine();
    return html;
}

QString WordReport::legendHtml()
{
    const QString sample = tr("word");
    const QString right = tr("right");
    const struct {
        Mark mark;
        QString text;
    } entries[] = {
        {MissingMark, tr("Missing word: in the reference, not in your dictation")},
        {ExtraMark, tr("Extra word: in your dictation, not in the reference")},
        {WrongMark, tr("Wrong word: yours struck out, then the right one")},
        {SlipMark, tr("Spelling slip: a word the spell checker does not know, "
                      "at most two letters away from the right one")},
    };
    // Two marks a row, so the legend takes little room under the words.
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\">");
    for (int i = 0; i < 4; ++i) {
        if (i % 2 == 0)
            html += QLatin1String("<tr>");
        html += QLatin1String("<td>") + markHtml(entries[i].mark, sample, right)
            + QLatin1String("</td><td>") + escaped(entries[i].text) + QLatin1String("</td>");
        if (i % 2 == 1)
            html += QLatin1String("</tr>");
    }
    return html + QLatin1String("</table>");
}

QString WordReport::rate(const WordCounts &counts)
{
    if (!counts.hasRates())
        return QStringLiteral("\u2013");
    return QString::number(counts.wordErrorRate() * 100.0, 'f', 1) + QLatin1Char('%');
}

QString WordReport::summaryText(const WordCounts &counts)
{
    const QString accuracy = counts.hasRates()
        ? QString::number(counts.accuracy() * 100.0, 'f', 1) + QLatin1Char('%')
        : QStringLiteral("\u2013");
    return tr("%1 reference words: %2 correct, %3 wrong, %4 spelling slips, %5 missing, "
              "%6 extra. Word error rate %7, accuracy %8.")
        .arg(counts.referenceWords)
        .arg(counts.correct)
        .arg(counts.wrongWords())
        .arg(counts.spellingSlips)
        .arg(counts.deleted)
        .arg(counts.inserted)
        .arg(rate(counts), accuracy);
}

QString WordReport::scopedSummaryText(const WordScore &score, Scope scope)
{
    if (!score.stopsEarly())
        return summaryText(score.total());
    if (scope == WholeText)
        return tr("Scored over the whole lesson of %1 sentences.").arg(score.sentenceCount())
            + QLatin1Char(' ') + summaryText(score.total());
    return tr("Scored up to sentence %1 of %2, the last one your dictation reaches.")
               .arg(score.reachedSentence())
               .arg(score.sentenceCount())
        + QLatin1Char(' ') + summaryText(score.reachedTotal());
}

QStringList WordReport::columnTitles()
{
    return {tr("#"),       tr("Reference"), tr("Your words"), tr("Correct"), tr("Wrong"),
            tr("Spelling"), tr("Missing"),  tr("Extra"),      tr("Error rate")};
}

QString WordReport::scoreTableHtml(const WordScore &score, Scope scope)
{
    const bool upToReached = scope == UpToReached && score.stopsEarly();
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
    for (const QString &title : columnTitles())
        html += QLatin1String("<th>") + escaped(title) + QLatin1String("</th>");
    html += QLatin1String("</tr>");
    auto row = [&html](const QString &number, const QString &reference, const QString &dictation,
                       const WordCounts &counts) {
        html += QLatin1String("<tr><td>") + number + QLatin1String("</td><td>") + escaped(reference)
            + QLatin1String("</td><td>") + escaped(dictation) + QLatin1String("</td>");
        for (const int n : {counts.correct, counts.wrongWords(), counts.spellingSlips, counts.deleted,
                            counts.inserted})
            html += QLatin1String("<td align=\"right\">") + QString::number(n) + QLatin1String("</td>");
        html += QLatin1String("<td align=\"right\">") + rate(counts) + QLatin1String("</td></tr>");
    };
    for (const LineScore &line : score.lines()) {
        if (!upToReached || line.line <= score.reachedLine())
            row(QString::number(line.line + 1), line.reference, line.dictation, line.counts);
    }
    row(QString(), tr("Total"), QString(), upToReached ? score.reachedTotal() : score.total());
    html += QLatin1String("</table>");
    return html;
}

QString WordReport::sectionAnchor()
{
    return QStringLiteral("comparison-with-reference");
}

QString WordReport::sectionHtml(const WordScore &score, Scope scope)
{
    QString html = QStringLiteral("<h2><a name=\"%1\">%2</a></h2>")
                       .arg(sectionAnchor(), escaped(tr("Comparison with the reference")))
        + QLatin1String("<p>") + escaped(scopedSummaryText(score, scope)) + QLatin1String("</p>");
    if (scope == UpToReached && score.stopsEarly()) {
        html += QLatin1String("<p>") + escaped(scopedSummaryText(score, WholeText))
            + QLatin1String("</p>");
    }
    return html + wordViewHtml(score, scope) + legendHtml() + scoreTableHtml(score, scope);
}
