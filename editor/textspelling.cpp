// The editor's whole-document spell check: a walk over the dictation that
// asks about each unknown word in the spell check dialog.
#include "editor/textedit.h"

#include "editor/comparisonsection.h"
#include "editor/cspellengine.h"
#include "editor/ctextcheckeredit.h"
#include "editor/userwordlist.h"

#include <QAction>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTextCursor>

void TextEdit::checkSpelling()
{
    // A fresh engine per run: words ignored for this run are forgotten with it.
    CSpellEngine engine(QStringLiteral("./spell/dict/en_US"), userwordlist::path());
    SpellCheckDialog dialog(&engine, this);
    connect(&dialog, SIGNAL(newDictSig()), textEdit, SLOT(addToDictionaryS()));

    QTextCharFormat highlight;
    highlight.setBackground(QColor(QStringLiteral("#ff6060")));
    highlight.setForeground(QColor(QStringLiteral("#000000")));

    // The run processes events between questions; a second run started
    // from there would walk the same text with a cursor of its own.
    actionSpellCheck->setEnabled(false);
    const QTextCursor kept = textEdit->textCursor();
    QTextCursor walker(textEdit->document());
    walker.movePosition(QTextCursor::Start);
    // A saved comparison quotes the learner's misspellings on purpose, so
    // the check passes over it to the text after it. Cursors mark it, so
    // that replacements made on the way move the marks along.
    const comparisonsection::Extent section = comparisonsection::extent(*textEdit->document());
    QTextCursor sectionStart(textEdit->document());
    QTextCursor sectionEnd(textEdit->document());
    if (section.start >= 0) {
        sectionStart.setPosition(section.start);
        sectionEnd.setPosition(section.end);
    }
    while (!walker.atEnd()) {
        QCoreApplication::processEvents();
        if (section.start >= 0 && walker.position() >= sectionStart.position()
            && walker.position() < sectionEnd.position()) {
            walker.setPosition(sectionEnd.position());
            continue;
        }
        const int stepStart = walker.position();
        walker.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
        if (!walker.hasSelection()) {
            // Between words: on to the start of the next one, and never
            // stand still whatever the boundaries make of the text.
            walker.movePosition(QTextCursor::NextWord);
            if (walker.position() <= stepStart)
                walker.movePosition(QTextCursor::NextCharacter);
            continue;
        }
        QString word = walker.selectedText();
        // Leading digits and punctuation are not part of the word: "4teh"
        // is checked as "teh", "1984" not at all.
        while (!word.isEmpty() && !word.at(0).isLetter() && walker.anchor() < walker.position()) {
            const int end = walker.position();
            walker.setPosition(walker.anchor() + 1);
            walker.setPosition(end, QTextCursor::KeepAnchor);
            word = walker.selectedText();
        }
        // Words of a script the dictionary does not cover (a Chinese line
        // of a bilingual text) are not asked about.
        if (CSpellEngine::isCheckable(word) && !engine.isKnown(word)) {
            if (askAboutWord(dialog, walker, highlight) == SpellCheckDialog::CancelCheck)
                break;
        }
        // The next step starts where this word ends: a word can begin right
        // there, as "teh" does after the bracket in "(teh)", and moving to
        // the next word start from here would pass over it.
        walker.clearSelection();
    }

    textEdit->setTextCursor(kept);
    actionSpellCheck->setEnabled(true);
    QMessageBox::information(this, tr("Finished"), tr("The spell check has finished."), QMessageBox::Ok);
}

// Shows the unknown word selected by the walker and acts on the answer.
SpellCheckDialog::SpellCheckAction TextEdit::askAboutWord(SpellCheckDialog &dialog, QTextCursor &walker,
                                                          const QTextCharFormat &highlight)
{
    QTextCursor at(textEdit->document());
    at.setPosition(walker.selectionStart());
    textEdit->setTextCursor(at);
    textEdit->ensureCursorVisible();

    QTextEdit::ExtraSelection selection;
    selection.cursor = walker;
    selection.format = highlight;
    textEdit->setExtraSelections({selection});
    QCoreApplication::processEvents();

    const SpellCheckDialog::SpellCheckAction action = dialog.checkWord(walker.selectedText());

    textEdit->setExtraSelections({});
    QCoreApplication::processEvents();
    if (action == SpellCheckDialog::ReplaceOnce || action == SpellCheckDialog::ReplaceAll) {
        walker.beginEditBlock();
        walker.insertText(dialog.replacementText());
        walker.endEditBlock();
    }
    QCoreApplication::processEvents();
    return action;
}
