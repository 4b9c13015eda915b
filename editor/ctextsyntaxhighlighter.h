#pragma once

#include <QSyntaxHighlighter>

class QTextDocument;

// Underlines, with the red spell-check line, every word of a paragraph that
// the text areas' shared spell engine does not know. Words are the segments
// between Unicode word boundaries; those in a script the dictionary does not
// cover (CSpellEngine::isCheckable()) stay unmarked.
class CTextSyntaxHighlighter final : public QSyntaxHighlighter
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTextSyntaxHighlighter)

public:
    explicit CTextSyntaxHighlighter(QTextDocument *document);

protected:
    void highlightBlock(const QString &text) override;
};
