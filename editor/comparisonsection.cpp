#include "editor/comparisonsection.h"

#include "diff/wordreport.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLength>

#include <algorithm>

namespace comparisonsection {

namespace {

bool isRule(const QTextBlock &block)
{
    return block.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth);
}

QString withoutOuterLineBreaks(QString text)
{
    while (text.startsWith(QLatin1Char('\n')))
        text.remove(0, 1);
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

} // namespace

int start(const QTextDocument &document)
{
    const QString anchor = WordReport::sectionAnchor();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(anchor))
                return block.position();
        }
    }
    return -1;
}

Extent extent(const QTextDocument &document)
{
    const int at = start(document);
    if (at < 0)
        return {};
    // Blocks come in document order, table cells included: the first rule
    // after the heading is the section's own.
    for (QTextBlock block = document.findBlock(at).next(); block.isValid(); block = block.next()) {
        if (isRule(block))
            return {at, block.position() + block.length() - 1};
    }
    return {at, document.characterCount() - 1};
}

QString dictationText(const QTextDocument &document)
{
    const QString text = document.toPlainText();
    const Extent section = extent(document);
    if (section.start < 0)
        return text;
    // Each position of the document is one character of its plain text.
    const QString before = withoutOuterLineBreaks(text.left(section.start));
    const QString after = withoutOuterLineBreaks(text.mid(section.end));
    if (before.isEmpty() || after.isEmpty())
        return before + after;
    return before + QLatin1Char('\n') + after;
}

void replace(QTextDocument &document, const QString &html)
{
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    const Extent old = extent(document);
    if (old.start >= 0) {
        // The paragraph break before the heading goes too, and so do empty
        // paragraphs after the rule that nothing follows: a section saved
        // again takes no more room than the first time.
        const bool blankAfter = document.toPlainText().mid(old.end).trimmed().isEmpty();
        cursor.setPosition(std::max(0, old.start - 1));
        if (blankAfter)
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        else
            cursor.setPosition(old.end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.movePosition(QTextCursor::End);
    if (!document.isEmpty())
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.insertHtml(html);
    // A block of its own: the empty block that follows a table is not
    // written to the HTML file, and a rule set on it would be lost.
    QTextBlockFormat rule;
    rule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                     QTextLength(QTextLength::PercentageLength, 100));
    cursor.insertBlock(rule, QTextCharFormat());
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.endEditBlock();
}

} // namespace comparisonsection
