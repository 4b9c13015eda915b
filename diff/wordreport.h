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

    // How much of the reference a view covers: the lines up to the one the
    // dictation reached (WordScore::reachedLine()), or the whole text.
    enum Scope {
        UpToReached,
        WholeText,
    };

    // "#rrggbb" of a mark's text and of its background.
    static QString colour(Mark mark);
    static QString background(Mark mark);

    // One paragraph per reference line, following the reference's lines
    // and punctuation, so how the dictation spaced or broke its lines does
    // not show; each paragraph starts with the anchor lineAnchor(line).
    static QString wordViewHtml(const WordScore &score, Scope scope = WholeText);
    static QString lineAnchor(int line);
    // What each mark means: a table of the four marks, two a row.
    static QString legendHtml();
    // The totals in one sentence.
    static QString summaryText(const WordCounts &counts);
    // The totals of the scope with what it covers ("Scored up to sentence
    // 4 of 8.") when the dictation stops early; summaryText() of the total
    // otherwise.
    static QString scopedSummaryText(const WordScore &score, Scope scope);
    // Titles of the score table's columns, in order: line number,
    // reference sentence, the dictation's words, correct, wrong words,
    // spelling slips, missing, extra, word error rate.
    static QStringList columnTitles();
    // "12.5%", or a dash when there are no reference words.
    static QString rate(const WordCounts &counts);
    static QString scoreTableHtml(const WordScore &score, Scope scope = WholeText);

    // The whole comparison as a section to put at the end of the dictation:
    // a heading carrying the anchor sectionAnchor(), the summary, the word
    // view, the legend and the table, over the scope; a dictation scored up
    // to where it stops also gets the whole lesson's summary.
    static QString sectionHtml(const WordScore &score, Scope scope = WholeText);
    static QString sectionAnchor();
};
