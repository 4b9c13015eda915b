#include "editor/comparisonsection.h"

#include "diff/wordreport.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace comparisonsection {

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

QString dictationText(const QTextDocument &document)
{
    // Each position of the document is one character of its plain text.
    const int at = start(document);
    QString text = at < 0 ? document.toPlainText() : document.toPlainText().left(at);
    if (at >= 0) {
        while (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
    }
    return text;
}

void replace(QTextDocument &document, const QString &html)
{
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    const int at = start(document);
    if (at >= 0) {
        // The paragraph break before the heading goes too, so a section
        // saved again takes no more room than the first time.
        cursor.setPosition(std::max(0, at - 1));
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.movePosition(QTextCursor::End);
    if (!document.isEmpty())
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.insertHtml(html);
    cursor.endEditBlock();
}

} // namespace comparisonsection
