#pragma once

#include <QString>

class QTextDocument;

// The comparison with the reference that a dictation keeps: it starts at
// the heading that carries WordReport::sectionAnchor() and ends with the
// horizontal rule that replace() puts under it. What follows the rule is
// the learner's own text again. A rule is a block of its own in the
// document and an <hr /> in the HTML file, so the learner's typing never
// takes it on, and it survives saving and loading. A section saved before
// the rule was written runs to the end of the document.
namespace comparisonsection {

// Document positions: the section covers [start, end), end being the end
// of the rule's block (or of the document). start is -1 when there is no
// section.
struct Extent
{
    int start = -1;
    int end = -1;
};

Extent extent(const QTextDocument &document);

// Where the saved comparison starts in the document; -1 when it has none.
int start(const QTextDocument &document);

// The document's plain text without the saved comparison: the dictation,
// including what the learner typed after the comparison.
QString dictationText(const QTextDocument &document);

// Takes an earlier comparison out, keeping the text after it, and puts
// html with its closing rule at the end of the document, followed by an
// empty paragraph to go on writing in; one undoable edit.
void replace(QTextDocument &document, const QString &html);

} // namespace comparisonsection
