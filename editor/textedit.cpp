#include "editor/textedit.h"

#include "editor/ctextcheckeredit.h"
#include "editor/documentfile.h"
#include "editor/documentdrop.h"
#include "editor/filekind.h"
#include "diff/diffdialog.h"
#include "phonetic/phoneticdialog.h"
#include "skin/localizedfile.h"
#include "skin/qskinobject.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontComboBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextEdit>
#include <QTimer>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace {
// Fallback pictures for icons the desktop theme does not have.
const QString rsrcPath = QStringLiteral("./skin/default/images/win");
} // namespace

TextEdit::TextEdit(QWidget *parent)
    : QMainWindow(parent)
{
    setToolButtonStyle(Qt::ToolButtonFollowStyle);
    // Small enough for the whole first toolbar row to fit the window's
    // usual width of 610 pixels.
    setIconSize(QSize(20, 20));
    setupFileActions();
    setupEditActions();
    setupTextActions();
    setupVantiroActions();

    textEdit = new CTextCheckerEdit(this);
    setupDictationSaving();
    connect(textEdit, &QTextEdit::currentCharFormatChanged, this, &TextEdit::currentCharFormatChanged);
    connect(textEdit, &QTextEdit::cursorPositionChanged, this, &TextEdit::cursorPositionChanged);
    setCentralWidget(textEdit);
    textEdit->setFocus();
    setCurrentFileName(QString());

    fontChanged(textEdit->font());
    colorChanged(textEdit->textColor());
    alignmentChanged(textEdit->alignment());

    connectDocument();
    connect(actionUndo, &QAction::triggered, textEdit, &QTextEdit::undo);
    connect(actionRedo, &QAction::triggered, textEdit, &QTextEdit::redo);
    connect(actionCut, &QAction::triggered, textEdit, &QTextEdit::cut);
    connect(actionCopy, &QAction::triggered, textEdit, &QTextEdit::copy);
    connect(actionPaste, &QAction::triggered, textEdit, &QTextEdit::paste);
    actionCut->setEnabled(false);
    actionCopy->setEnabled(false);
    connect(textEdit, &QTextEdit::copyAvailable, actionCut, &QAction::setEnabled);
    connect(textEdit, &QTextEdit::copyAvailable, actionCopy, &QAction::setEnabled);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TextEdit::clipboardDataChanged);
    clipboardDataChanged();

    loadInitialDocument();

    auto *drop = new DocumentDrop(this);
    connect(drop, &DocumentDrop::documentDropped, this, &TextEdit::openDocument);
    connect(drop, &DocumentDrop::mediaDropped, this, &TextEdit::mediaDropped);
    setAcceptDrops(true);
    installEventFilter(drop);
    textEdit->viewport()->installEventFilter(drop);

    skin = std::make_unique<QSkinObject>(this);
    skin->startSkinning();
}

TextEdit::~TextEdit() = default;

// The document object stays the same for the window's life: loading and
// clearing replace its content, not the document.
void TextEdit::connectDocument()
{
    QTextDocument *document = textEdit->document();
    connect(document, &QTextDocument::modificationChanged, actionSave, &QAction::setEnabled);
    connect(document, &QTextDocument::modificationChanged, this, &QWidget::setWindowModified);
    connect(document, &QTextDocument::undoAvailable, actionUndo, &QAction::setEnabled);
    connect(document, &QTextDocument::redoAvailable, actionRedo, &QAction::setEnabled);
    setWindowModified(document->isModified());
    actionSave->setEnabled(document->isModified());
    actionUndo->setEnabled(document->isUndoAvailable());
    actionRedo->setEnabled(document->isRedoAvailable());
}

QIcon TextEdit::toolIcon(const QString &theme, const QString &file)
{
    const QIcon fallback(rsrcPath + file);
    return theme.isEmpty() ? fallback : QIcon::fromTheme(theme, fallback);
}

QAction *TextEdit::addAction(QToolBar *bar, const QString &theme, const QString &file,
                             const QString &text)
{
    QAction *action = new QAction(toolIcon(theme, file), text, this);
    bar->addAction(action);
    return action;
}

void TextEdit::setupFileActions()
{
    QToolBar *tb = addToolBar(tr("File Actions"));

    QAction *a = addAction(tb, QStringLiteral("document-new"), QStringLiteral("/filenew.png"), tr("&New"));
    a->setShortcut(QKeySequence::New);
    connect(a, &QAction::triggered, this, &TextEdit::fileNew);

    a = addAction(tb, QStringLiteral("document-open"), QStringLiteral("/fileopen.png"), tr("&Open..."));
    a->setShortcut(QKeySequence::Open);
    connect(a, &QAction::triggered, this, &TextEdit::fileOpen);

    actionSave = addAction(tb, QStringLiteral("document-save"), QStringLiteral("/filesave.png"), tr("&Save"));
    actionSave->setShortcut(QKeySequence::Save);
    actionSave->setEnabled(false);
    connect(actionSave, &QAction::triggered, this, &TextEdit::saveAsked);

    a = addAction(tb, QStringLiteral("document-print"), QStringLiteral("/fileprint.png"), tr("&Print..."));
    a->setShortcut(QKeySequence::Print);
    connect(a, &QAction::triggered, this, &TextEdit::filePrint);

    a = addAction(tb, QStringLiteral("exportpdf"), QStringLiteral("/exportpdf.png"), tr("&Export PDF..."));
    a->setShortcut(Qt::CTRL | Qt::Key_D);
    connect(a, &QAction::triggered, this, &TextEdit::filePrintPdf);
}

void TextEdit::setupEditActions()
{
    QToolBar *tb = addToolBar(tr("Edit Actions"));
    actionUndo = addAction(tb, QStringLiteral("edit-undo"), QStringLiteral("/editundo.png"), tr("&Undo"));
    actionUndo->setShortcut(QKeySequence::Undo);
    actionRedo = addAction(tb, QStringLiteral("edit-redo"), QStringLiteral("/editredo.png"), tr("&Redo"));
    actionRedo->setShortcut(QKeySequence::Redo);
    actionCut = addAction(tb, QStringLiteral("edit-cut"), QStringLiteral("/editcut.png"), tr("Cu&t"));
    actionCut->setShortcut(QKeySequence::Cut);
    actionCopy = addAction(tb, QStringLiteral("edit-copy"), QStringLiteral("/editcopy.png"), tr("&Copy"));
    actionCopy->setShortcut(QKeySequence::Copy);
    actionPaste = addAction(tb, QStringLiteral("edit-paste"), QStringLiteral("/editpaste.png"), tr("&Paste"));
    actionPaste->setShortcut(QKeySequence::Paste);
}

void TextEdit::setupVantiroActions()
{
    QToolBar *tb = addToolBar(tr("Vantiro Actions"));
    actionSpellCheck = addAction(tb, QString(), QStringLiteral("/checkSpell.png"), tr("&SpellCheck"));
    connect(actionSpellCheck, &QAction::triggered, this, &TextEdit::checkSpelling);
    actionPhoneticLookup = addAction(tb, QString(), QStringLiteral("/dict.png"), tr("&PhoneticLookup"));
    connect(actionPhoneticLookup, &QAction::triggered, this, &TextEdit::lookupPhonetic);
    actionDiffText = addAction(tb, QString(), QStringLiteral("/diff.png"), tr("&DiffText"));
    connect(actionDiffText, &QAction::triggered, this, &TextEdit::diffText);
    actionCompareReference = addAction(tb, QString(), QStringLiteral("/compare.png"), tr("Compare with reference"));
    connect(actionCompareReference, &QAction::triggered, this, &TextEdit::compareWithReference);
    // A click compares; held down or right-clicked, the button offers what
    // follows from comparing. A menu arrow beside it would push the button
    // out of the toolbar at the window's usual width.
    auto *referenceMenu = new QMenu(this);
    actionProgress = referenceMenu->addAction(tr("Progress on This Lesson..."), this,
                                              [this] { Q_EMIT progressRequested(mediaFile); });
    // A recording with a transcript but no subtitles: the transcript,
    // aligned with the sound, becomes the lesson's sentences and so the
    // reference sentence by sentence.
    actionOpenTranscript = referenceMenu->addAction(tr("Open Transcript..."), this,
                                                    [this] { Q_EMIT transcriptRequested(mediaFile); });
    connect(referenceMenu, &QMenu::aboutToShow, this, [this] {
        actionProgress->setEnabled(!mediaFile.isEmpty());
        actionOpenTranscript->setEnabled(!mediaFile.isEmpty());
    });
    actionCompareReference->setMenu(referenceMenu);
    actionCompareReference->setToolTip(tr("Compare with reference (hold or right-click for your progress or a transcript)"));
    if (auto *button = qobject_cast<QToolButton *>(tb->widgetForAction(actionCompareReference))) {
        button->setPopupMode(QToolButton::DelayedPopup);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, referenceMenu,
                [button, referenceMenu](const QPoint &at) { referenceMenu->popup(button->mapToGlobal(at)); });
    }
}

// Each request opens a dialog of its own. Closing one deletes it: the
// editor lives for the whole run and would otherwise collect every dialog
// ever opened, each lookup dialog with its database still open.
void TextEdit::lookupPhonetic()
{
    auto *dialog = new PhoneticDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void TextEdit::diffText()
{
    newDiffDialog()->show();
}

bool TextEdit::load(const QString &f)
{
    // Not text at all (an OpenDocument file, a media file): shown as text it
    // is gibberish, and saving it back under its name would destroy it. The
    // first bytes tell, before a video of gigabytes is read whole.
    if (filekind::of(f) != filekind::Kind::Document)
        return false;
    QFile file(f);
    if (!file.open(QIODevice::ReadOnly) || !documentfile::mayBeText(file.peek(filekind::headSize)))
        return false;
    const documentfile::Decoded decoded = documentfile::decode(file.readAll());
    if (decoded.text.contains(QChar::Null))
        return false;
    if (decoded.rich)
        textEdit->setHtml(decoded.text);
    else
        textEdit->setPlainText(decoded.text);
    setCurrentFileName(f);
    return true;
}

bool TextEdit::maybeSave()
{
    // A lesson's first words are written without a question, as they would
    // have been a moment later. Otherwise the timer waits for the answer:
    // the question's own event loop must not save what may be discarded.
    if (dictationPending)
        saveDictationNow();
    m_dictationSaver->stop();
    if (!textEdit->document()->isModified())
        return true;
    if (fileName.startsWith(QLatin1String(":/")))
        return true;
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        this, tr("Application"),
        tr("The document has been modified.\nDo you want to save your changes?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Save)
        return saveAsked();
    if (answer == QMessageBox::Cancel) {
        if (isLessonDictation())
            m_dictationSaver->start();
        return false;
    }
    return true;
}

void TextEdit::setCurrentFileName(const QString &name)
{
    fileName = name;
    dictationPending = false;
    m_dictationSaver->stop();
    textEdit->document()->setModified(false);
    const QString shownName = fileName.isEmpty() ? QStringLiteral("untitled.html")
                                                 : QFileInfo(fileName).fileName();
    setWindowTitle(tr("%1[*] - %2").arg(shownName, tr("Rich Text")));
    // Clearing the text area reports a modification that setModified(false)
    // does not take back, so the flags are set here directly.
    setWindowModified(false);
    actionSave->setEnabled(false);
}

void TextEdit::fileNew()
{
    if (maybeSave()) {
        textEdit->clear();
        setCurrentFileName(QString());
    }
}

void TextEdit::fileOpen()
{
    const QString fn = QFileDialog::getOpenFileName(this, tr("Open File..."), QString(),
                                                    tr("HTML-Files (*.htm *.html);;All Files (*)"));
    if (!fn.isEmpty())
        load(fn);
}

bool TextEdit::openDocument(const QString &f)
{
    if (!maybeSave())
        return false;
    const bool loaded = load(f);
    show();
    raise();
    activateWindow();
    return loaded;
}

bool TextEdit::fileSave()
{
    if (fileName.isEmpty())
        return fileSaveAs();
    QTextDocument *document = textEdit->document();
    if (documentfile::write(*document, fileName)) {
        document->setModified(false);
        dictationPending = false; // on disk now, and ours to write again
        return true;
    }
    // Whatever the state before, the document is not on disk under its
    // name now, so closing must still offer to save it.
    document->setModified(true);
    return false;
}

// Save asked for by the user. The window has no Save As button, so when the
// file cannot be written under its name (the default name beside a media
// file in a folder the user may not write, say), the user chooses another
// name rather than being left with a dictation that cannot be saved.
bool TextEdit::saveAsked()
{
    return fileSave() || (!fileName.isEmpty() && fileSaveAs());
}

bool TextEdit::fileSaveAs()
{
    const QString fn = QFileDialog::getSaveFileName(
        this, tr("Save as..."), QString(),
        tr("Rich text (*.rtf);;Text files (*.txt);;ODF files (*.odt);;HTML-Files (*.htm *.html);;All Files (*)"));
    if (fn.isEmpty())
        return false;
    setCurrentFileName(documentfile::saveAsName(fn));
    return fileSave();
}

void TextEdit::filePrint()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (textEdit->textCursor().hasSelection())
        dialog.setOption(QAbstractPrintDialog::PrintSelection);
    dialog.setWindowTitle(tr("Print Document"));
    if (dialog.exec() == QDialog::Accepted)
        printDocument(&printer);
}

// The spell checker's wavy lines mark the screen, not the dictation, but
// the document's own print copies them onto the page. A copy of the
// document carries none of them.
void TextEdit::printDocument(QPrinter *printer)
{
    if (printer->printRange() == QPrinter::Selection) {
        textEdit->print(printer); // prints a copy of the selection
        return;
    }
    const std::unique_ptr<QTextDocument> copy(textEdit->document()->clone());
    copy->print(printer);
}

void TextEdit::filePrintPdf()
{
    const QString fn = QFileDialog::getSaveFileName(this, tr("Export PDF"), QString(),
                                                    QStringLiteral("*.pdf"));
    if (fn.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(documentfile::pdfName(fn));
    printDocument(&printer);
}

void TextEdit::clipboardDataChanged()
{
    actionPaste->setEnabled(!QApplication::clipboard()->text().isEmpty());
}

void TextEdit::keyPressEvent(QKeyEvent *event)
{
    // Reached only by presses the text area left unhandled. The player must
    // not see Ctrl+F2 as F2.
    if (event->modifiers() == Qt::NoModifier)
        Q_EMIT keyDelegate(event->key());
    // Alt with a key that types nothing (the arrows, Home) is the player's
    // too; it arrives with the modifier, so it never looks like a bare key.
    else if (event->modifiers() == Qt::AltModifier && event->text().isEmpty())
        Q_EMIT keyDelegate(event->keyCombination().toCombined());
}

void TextEdit::closeEvent(QCloseEvent *event)
{
    if (maybeSave())
        event->accept();
    else
        event->ignore();
}
