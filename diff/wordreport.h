#pragma once

#include "diff/wordscore.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The word comparison as HTML for the toolkit's rich text: the word view,
// its legend and the score, on screen, in the saved dictation and on paper.
// Every mark has a colour and a shape of its own (underline, strike-out,
// bold), so a print in grey still tells them apart.
class WordReport final
{
    Q_DECLARE_TR_FUNCTIONS(WordReport)

public:
    enum Mark {
        MissingMark, // a reference word the dictation lacks: underlined
        ExtraMark,   // a dictation word the reference lacks: struck out
        WrongMark,   // the dictation's word struck out, then the reference's in bold
        SlipMark,    // the same for a spelling slip
    };

    // "#rrggbb" of a mark's text and of its background.
    static QString colour(Mark mark);
    static QString background(Mark mark);

    // One paragraph per reference line, following the reference's lines
    // and punctuation, so how the dictation spaced or broke its lines does
    // not show; each paragraph starts with the anchor lineAnchor(line).
    static QString wordViewHtml(const WordScore &score);
    static QString lineAnchor(int line);
    // What each mark means: a table of the four marks, two a row.
    static QString legendHtml();
    // The totals in one sentence.
    static QString summaryText(const WordCounts &counts);
    // Titles of the score table's columns, in order: line number,
    // reference sentence, the dictation's words, correct, wrong words,
    // spelling slips, missing, extra, word error rate.
    static QStringList columnTitles();
    // "12.5%", or a dash when there are no reference words.
    static QString rate(const WordCounts &counts);
    static QString scoreTableHtml(const WordScore &score);

    // The whole comparison as a section to put at the end of the dictation:
    // a heading carrying the anchor sectionAnchor(), the summary, the word
    // view, the legend and the table.
    static QString sectionHtml(const WordScore &score);
    static QString sectionAnchor();
};
