#include "editor/ctextcheckeredit.h"

#include "editor/cspellengine.h"
#include "editor/ctextsyntaxhighlighter.h"
#include "editor/userwordlist.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QTextCursor>
#include <QTextDocumentFragment>

#include <memory>

namespace {

const char dictionaryPath[] = "./spell/dict/en_US";

// What every text area shares; there is one text area per run, but the
// state must not depend on it.
struct Shared
{
    std::unique_ptr<CSpellEngine> engine;
    // Child of the text area that made it; made again if that one is gone.
    QPointer<QAction> addToDictionary;
    // The suggestions of the latest context menu, in menu order.
    QList<QPointer<QAction>> suggestions;
    QString rememberedWord;
};

Shared &shared()
{
    static Shared state;
    return state;
}

bool clipboardHasText()
{
    return !QGuiApplication::clipboard()->text().isEmpty();
}

} // namespace

CTextCheckerEdit::CTextCheckerEdit(QWidget *parent)
    : QTextEdit(parent)
{
    m_copyAction = new QAction(tr("&Copy"), this);
    m_copyAction->setShortcut(QKeySequence::Copy);
    m_copyAction->setEnabled(false);
    connect(m_copyAction, &QAction::triggered, this, &QTextEdit::copy);
    connect(this, &QTextEdit::copyAvailable, m_copyAction, &QAction::setEnabled);

    m_cutAction = new QAction(tr("&Cut"), this);
    m_cutAction->setShortcut(QKeySequence::Cut);
    m_cutAction->setEnabled(false);
    connect(m_cutAction, &QAction::triggered, this, &QTextEdit::cut);
    connect(this, &QTextEdit::copyAvailable, m_cutAction, &QAction::setEnabled);

    m_pasteAction = new QAction(tr("&Paste"), this);
    m_pasteAction->setShortcut(QKeySequence::Paste);
    m_pasteAction->setEnabled(clipboardHasText());
    connect(m_pasteAction, &QAction::triggered, this, &QTextEdit::paste);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CTextCheckerEdit::clipboardDataChanged);

    Shared &state = shared();
    if (!state.engine)
        state.engine = std::make_unique<CSpellEngine>(QString::fromLatin1(dictionaryPath),
                                                      userwordlist::path());
    ensureAddToDictionaryAction();

    m_highlighter = new CTextSyntaxHighlighter(document());
}

CTextCheckerEdit::~CTextCheckerEdit() = default;

CSpellEngine *CTextCheckerEdit::spellEngine()
{
    return shared().engine.get();
}

QString CTextCheckerEdit::rememberedWord()
{
    return shared().rememberedWord;
}

void CTextCheckerEdit::contextMenuEvent(QContextMenuEvent *event)
{
    shared().rememberedWord.clear();
    const bool hadSelection = textCursor().hasSelection();
    // From the keyboard there is no mouse: the word at the caret counts, and
    // the menu opens there.
    const bool fromKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    const QPoint where = fromKeyboard ? cursorRect().center() : event->pos();
    if (!hadSelection)
        rememberWordAt(cursorForPosition(where));

    QMenu menu(this);
    menu.addAction(m_copyAction);
    menu.addAction(m_cutAction);
    menu.addAction(m_pasteAction);
    menu.addSeparator();
    fillSuggestions(&menu);
    QMetaObject::Connection adding;
    if (!hadSelection && textCursor().hasSelection()) {
        menu.addSeparator();
        QAction *add = ensureAddToDictionaryAction();
        menu.addAction(add);
        // The action is shared: only the text area showing the menu adds.
        adding = connect(add, &QAction::triggered, this, &CTextCheckerEdit::addToDictionary);
    }
    menu.exec(fromKeyboard ? viewport()->mapToGlobal(where) : event->globalPos());
    disconnect(adding);
}

// The first text area makes the shared action; should that area be gone,
// the one that needs the action next makes it again.
QAction *CTextCheckerEdit::ensureAddToDictionaryAction()
{
    Shared &state = shared();
    if (!state.addToDictionary)
        state.addToDictionary = new QAction(tr("Add to dictionary"), this);
    return state.addToDictionary.data();
}

// Makes the word under the cursor the selection and remembers it.
void CTextCheckerEdit::rememberWordAt(QTextCursor cursor)
{
    cursor.select(QTextCursor::WordUnderCursor);
    setTextCursor(cursor);
    shared().rememberedWord = cursor.selection().toPlainText();
}

void CTextCheckerEdit::fillSuggestions(QMenu *menu)
{
    Shared &state = shared();
    for (const QPointer<QAction> &old : std::as_const(state.suggestions))
        delete old.data();
    state.suggestions.clear();
    if (state.rememberedWord.isEmpty())
        return;

    QFont bold = menu->font();
    bold.setBold(true);
    for (const QString &suggestion : state.engine->suggestionsFor(state.rememberedWord)) {
        // An ampersand in the menu text would turn into a mnemonic; the
        // suggestion itself travels in the action's data.
        auto *action = new QAction(QString(suggestion).replace(QLatin1Char('&'), QLatin1String("&&")), this);
        action->setData(suggestion);
        action->setFont(bold);
        connect(action, &QAction::triggered, this, &CTextCheckerEdit::replaceWord);
        state.suggestions.append(action);
        menu->addAction(action);
    }
}

void CTextCheckerEdit::replaceWord()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    const QString replacement = action->data().isValid() ? action->data().toString() : action->text();
    QTextCursor cursor = textCursor();
    cursor.insertText(replacement);
    setTextCursor(cursor);
}

void CTextCheckerEdit::addToDictionary()
{
    addRememberedWord();
}

void CTextCheckerEdit::addToDictionaryS()
{
    shared().rememberedWord.clear();
    rememberWordAt(textCursor());
    addRememberedWord();
}

// The word goes to the engine and the user list; writing it back over its
// own selection changes no text but makes the paragraph count as changed,
// so the highlighter checks it again and the underline goes.
void CTextCheckerEdit::addRememberedWord()
{
    const QString word = shared().rememberedWord;
    if (word.isEmpty())
        return;
    shared().engine->addToUserDictionary(word);
    QTextCursor cursor = textCursor();
    cursor.insertText(word);
    setTextCursor(cursor);
}

void CTextCheckerEdit::clipboardDataChanged()
{
    m_pasteAction->setEnabled(clipboardHasText());
}
