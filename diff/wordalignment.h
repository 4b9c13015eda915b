#pragma once

#include <QList>
#include <QString>

// The word level of a comparison, counted the way speech-recognition
// evaluations count (NIST sclite): words compared without regard to case,
// punctuation ignored, and an alignment that costs 0 for a correct word, 3
// for an inserted or a deleted one and 4 for a substitution.

// One word of a text. A word is a run of letters, digits and combining
// marks; an apostrophe between two such characters belongs to the word, so
// "don't" and "it's" stay one word and differ from "dont" and "its".
// Everything else (blanks, line breaks, hyphens, other punctuation) only
// separates words.
struct TextWord
{
    QString key;            // what is compared: lower case, apostrophes as U+0027
    qsizetype position = 0; // index of the word's first character in the text
    qsizetype length = 0;   // in UTF-16 units of the text
    int line = 0;           // index of the text's line ("\n"-separated), from 0
};

QList<TextWord> splitWords(const QString &text);

enum class WordEdit : quint8 {
    Correct,     // the same word on both sides
    Substituted, // the dictation has another word in its place
    Deleted,     // a reference word the dictation lacks (missing)
    Inserted,    // a dictation word the reference lacks (extra)
};

// One step of an alignment, in text order. Indices are into the word lists
// given to alignWords(); the side a step does not touch holds -1.
struct WordStep
{
    WordEdit edit = WordEdit::Correct;
    int reference = -1;
    int dictation = -1;
};

// An alignment of least total cost. Among alignments of equal cost the one
// found first from the texts' ends wins: a step that pairs two words beats a
// deletion, which beats an insertion.
QList<WordStep> alignWords(const QList<TextWord> &reference, const QList<TextWord> &dictation);
