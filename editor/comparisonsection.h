#pragma once

#include <QString>

class QTextDocument;

// The comparison with the reference that a dictation keeps at its end: it
// starts at the heading that carries WordReport::sectionAnchor() and runs
// to the end of the document.
namespace comparisonsection {

// Where the saved comparison starts in the document; -1 when it has none.
int start(const QTextDocument &document);

// The document's plain text without the saved comparison: the dictation.
QString dictationText(const QTextDocument &document);

// Puts html at the end of the document in place of an earlier comparison,
// as one undoable edit.
void replace(QTextDocument &document, const QString &html);

} // namespace comparisonsection
