#pragma once

#include <QTextEdit>

class CSpellEngine;
class CTextSyntaxHighlighter;
class QAction;
class QContextMenuEvent;
class QMenu;

// The dictation's rich-text area: unknown words are underlined as the user
// types, and the context menu offers the clipboard actions, the spell
// engine's suggestions for the word under the mouse and "Add to dictionary".
// Every text area and highlighter uses one spell engine, built by the first
// text area and kept until the program ends. GUI thread only.
class CTextCheckerEdit final : public QTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTextCheckerEdit)

public:
    explicit CTextCheckerEdit(QWidget *parent = nullptr);
    ~CTextCheckerEdit() override;

    // The shared engine; null until the first text area is built.
    static CSpellEngine *spellEngine();
    // The word the latest context menu or addToDictionaryS() selected.
    static QString rememberedWord();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private Q_SLOTS:
    // Replaces the selection with the suggestion of the sending action.
    void replaceWord();
    // Adds the word the context menu selected to the user dictionary.
    void addToDictionary();
    // Adds the word under the text cursor to the user dictionary; the spell
    // check dialog's newDictSig() reaches this.
    void addToDictionaryS();
    void clipboardDataChanged();

private:
    QAction *ensureAddToDictionaryAction();
    void rememberWordAt(QTextCursor cursor);
    void addRememberedWord();
    void fillSuggestions(QMenu *menu);

    CTextSyntaxHighlighter *m_highlighter = nullptr; // owned by the document
    QAction *m_cutAction = nullptr;
    QAction *m_copyAction = nullptr;
    QAction *m_pasteAction = nullptr;
};
