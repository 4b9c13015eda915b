#pragma once

#include <QList>
#include <QString>

// The word level of a comparison, counted the way speech-recognition
// evaluations count (NIST sclite): words compared without regard to case,
// punctuation ignored, and an alignment that costs 0 for a correct word, 3
// for an inserted or a deleted one and 4 for a substitution.

// One word of a text, as a learner writes it. A word is a run of letters,
// digits and combining marks; only blanks, line breaks, dashes, slashes and
// the ellipsis (U+2026, or two dots or more) part words. Other punctuation
// between two such characters stays inside the word and drops out of what
// is compared, so "U.S." reads "us", "7:30" reads "730" and "$3.50" reads
// "350"; apostrophes are the exception and stay, so "don't" differs from
// "dont". Words are compared in NFC, so an accent typed as a combining mark
// matches the precomposed letter.
struct TextWord
{
    QString key;            // what is compared: lower case, NFC, apostrophes as U+0027
    qsizetype position = 0; // index of the word's first character in the text
    qsizetype length = 0;   // in UTF-16 units of the text, inner punctuation included
    int line = 0;           // index of the text's line ("\n"-separated), from 0
    int sentence = 0;       // from 0; a new one after a line break or ". ! ? …"
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

// An alignment of least total cost. Among alignments of equal cost, in this
// order of precedence:
// - the fewest times the reference passes into a new line (its sentence)
//   while the dictation is inside one of its own sentences, so that a
//   sentence's words stay with the reference sentence they pair with in
//   order instead of drifting into a later one;
// - the fewest substitutions of words unlike in spelling (see alike()), so
//   that a slip stays beside the word it slips from;
// - the one found first from the texts' ends: a step that pairs two words
//   beats a deletion, which beats an insertion (sclite's own order).
QList<WordStep> alignWords(const QList<TextWord> &reference, const QList<TextWord> &dictation);

// Whether written is at most two single-letter edits (insertion, deletion,
// replacement, or swapping two neighbours) away from meant, without regard
// to case.
bool withinTwoLetters(const QString &written, const QString &meant);
// Whether two compared words (keys) are alike in spelling: within two
// letters of each other, both at least three letters long, since every
// short word is within two letters of every other.
bool alike(const QString &a, const QString &b);
