#include "editor/ctextsyntaxhighlighter.h"

#include "editor/cspellengine.h"
#include "editor/ctextcheckeredit.h"

#include <QColor>
#include <QTextBoundaryFinder>
#include <QTextCharFormat>

CTextSyntaxHighlighter::CTextSyntaxHighlighter(QTextDocument *document)
    : QSyntaxHighlighter(document)
{
}

void CTextSyntaxHighlighter::highlightBlock(const QString &text)
{
    CSpellEngine *engine = CTextCheckerEdit::spellEngine();
    if (!engine)
        return;

    // Only the underline is set, so the text keeps its own colour and font.
    QTextCharFormat misspelt;
    misspelt.setUnderlineColor(QColor(QStringLiteral("red")));
    misspelt.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);

    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = finder.toNextBoundary();
        if (end <= start || end > text.size())
            end = text.size();
        const QStringView segment = QStringView(text).mid(start, end - start);
        // Hunspell rejects blanks and punctuation marks, and the English
        // dictionary every Chinese word: such segments are left unmarked.
        if (CSpellEngine::isCheckable(segment) && !engine->isKnown(segment.toString()))
            setFormat(int(start), int(end - start), misspelt);
        start = end;
    }
}
