#pragma once

#include <QMainWindow>
#include <QTextCharFormat>

#include <memory>

#include "editor/spellcheckdialog.h"

class DiffDialog;
class QAction;
class QComboBox;
class QPrinter;
class QFontComboBox;
class CTextCheckerEdit;
class QSkinObject;
class QTimer;
class QToolBar;

// The dictation editor: a top-level rich-text window beside the player.
// Keys the text area leaves unhandled and that carry no modifier go to the
// player through keyDelegate(int); the player hands each opened media path
// to fileSaveDefault(QString), which ties the dictation to that media file.
class TextEdit final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TextEdit)

public:
    explicit TextEdit(QWidget *parent = nullptr);
    ~TextEdit() override;

    // The text area at the centre of the window.
    CTextCheckerEdit *textArea() const { return textEdit; }
    // Empty for an untitled document.
    QString currentFileName() const { return fileName; }

    // Reads a document into the text area and makes it the current file.
    // Returns false, changing nothing, when the file cannot be read.
    bool load(const QString &f);

Q_SIGNALS:
    // A toolkit key code (Qt::Key) the window received without modifiers.
    void keyDelegate(int key);
    // A file that is not a document was dropped on the window: the player's.
    void mediaDropped(const QString &path);
    // The learner asked for his record on the lesson mediaFile.
    void progressRequested(const QString &mediaFile);
    // The learner asked to open a transcript of the lesson mediaFile.
    void transcriptRequested(const QString &mediaFile);
    // A comparison of mediaFile's dictation went into the learner's record.
    void progressRecorded(const QString &mediaFile);

public Q_SLOTS:
    void checkSpelling();
    void lookupPhonetic();
    void diffText();
    void fileNew();
    void fileOpen();
    // Opens a document the user dropped or handed over from a second start:
    // asks about unsaved changes first and shows the window. False when the
    // user cancels or the file cannot be read.
    bool openDocument(const QString &f);
    // Saves under the current name; a failed save leaves the document
    // modified and any earlier file as it was.
    bool fileSave();
    bool fileSaveAs();
    // mediaPath is the full path of the media file just opened; its
    // dictation is mediaPath + ".html". When the editor holds that very
    // dictation already (the player hands the file over again after Stop
    // and Play, or when the learner opens it again), nothing changes: no
    // question, no reloading, the cursor and the undo history stay, and the
    // result is true. Otherwise unsaved edits are settled first
    // through the unsaved-changes prompt: Cancel leaves the current
    // dictation in place under its own name. An earlier dictation is then
    // loaded and never overwritten; without one the lesson starts empty and
    // its file is written once the learner has typed something. One that
    // cannot be read is reported and gives way to an untitled document.
    // True when the editor now holds the media file's dictation.
    bool fileSaveDefault(const QString &mediaPath);
    // Writes the lesson's dictation (the file fileSaveDefault() tied to the
    // media file) at once when it has unsaved edits; does nothing for any
    // other document, which only the user saves. The player calls it
    // whenever playback holds, so that the file on disk has every word
    // typed so far. Without this call the dictation is written about two
    // seconds after the latest edit. A save that fails leaves the document
    // modified.
    void saveDictationNow();
    void filePrint();
    void filePrintPdf();
    void clipboardDataChanged();
    // Opens the comparison with the dictation in pane A and the reference
    // remembered for the media file in pane B, asking for a reference file
    // (starting in the media file's folder) when none is remembered yet.
    void compareWithReference();
    // The same with the reference given as lines, one per sentence or
    // subtitle cue, such as the cues of the media file being played.
    void compareWithReferenceLines(const QStringList &lines);
    // The text cues of the media file's subtitles, one per line: the
    // reference of "Compare with reference" while the learner has chosen
    // no other for that file. Cues for another file than the dictation's
    // are not kept.
    void setSubtitleCues(const QString &mediaPath, const QStringList &cues);
    // Puts a comparison (rich text) at the end of the dictation in place
    // of an earlier one, then saves the dictation.
    bool saveComparison(const QString &html);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private Q_SLOTS:
    void textBold();
    void textItalic();
    void textUnderline();
    void textFamily(const QString &family);
    void textSize(const QString &size);
    void textStyle(int styleIndex);
    void textColor();
    void textAlign(QAction *action);
    void currentCharFormatChanged(const QTextCharFormat &format);
    void cursorPositionChanged();

private:
    void setupFileActions();
    void setupEditActions();
    void setupTextActions();
    void setupVantiroActions();
    void connectDocument();
    // The command line's file when it is a document (a media file there is
    // the player's and is never read here), else the welcome document on
    // the very first start, else an empty untitled one.
    void loadInitialDocument();
    // Starts the timer that keeps the lesson's dictation on disk.
    void setupDictationSaving();
    // The current document is the lesson's dictation, saved without asking.
    bool isLessonDictation() const;
    bool maybeSave();
    bool saveAsked();
    void setCurrentFileName(const QString &name);
    void printDocument(QPrinter *printer);
    SpellCheckDialog::SpellCheckAction askAboutWord(SpellCheckDialog &dialog, QTextCursor &walker,
                                                    const QTextCharFormat &highlight);
    void mergeFormatOnWordOrSelection(const QTextCharFormat &format);
    void fontChanged(const QFont &font);
    void colorChanged(const QColor &color);
    void alignmentChanged(Qt::Alignment alignment);
    // The desktop theme's icon, else the picture file under the skin's
    // editor image folder; file starts with "/". No theme: the file only.
    static QIcon toolIcon(const QString &theme, const QString &file);
    QAction *addAction(QToolBar *bar, const QString &theme, const QString &file,
                       const QString &text);
    // A comparison dialog that reads references, starts its imports in
    // the media file's folder and saves into this dictation.
    DiffDialog *newDiffDialog();
    // Every comparison the dialog makes from now on goes into the record of
    // the lesson (the media file) the dictation belongs to now.
    void keepScores(DiffDialog *dialog);
    QString referenceFolder() const;

    QString fileName;
    // The media file the dictation belongs to, as last given to
    // fileSaveDefault(); empty before.
    QString mediaFile;
    QStringList subtitleCues; // of mediaFile

    // The dictation fileSaveDefault() tied to mediaFile; empty when there
    // is none or it gave way to an untitled document.
    QString m_dictationFile;
    // fileName is a lesson's dictation that is not on disk yet: it is
    // written once something is typed, not while it is empty.
    bool dictationPending = false;
    // Single shot, restarted by every edit of the lesson's dictation.
    QTimer *m_dictationSaver = nullptr;
    CTextCheckerEdit *textEdit = nullptr;

    QAction *actionSave = nullptr;
    QAction *actionUndo = nullptr;
    QAction *actionRedo = nullptr;
    QAction *actionCut = nullptr;
    QAction *actionCopy = nullptr;
    QAction *actionPaste = nullptr;
    QAction *actionTextBold = nullptr;
    QAction *actionTextItalic = nullptr;
    QAction *actionTextUnderline = nullptr;
    QAction *actionAlignLeft = nullptr;
    QAction *actionAlignCenter = nullptr;
    QAction *actionAlignRight = nullptr;
    QAction *actionAlignJustify = nullptr;
    QAction *actionTextColor = nullptr;
    QAction *actionSpellCheck = nullptr;
    QAction *actionPhoneticLookup = nullptr;
    QAction *actionDiffText = nullptr;
    QAction *actionCompareReference = nullptr;
    QAction *actionProgress = nullptr;
    QAction *actionOpenTranscript = nullptr;

    QComboBox *comboStyle = nullptr;
    QFontComboBox *comboFont = nullptr;
    QComboBox *comboSize = nullptr;

    // Not a child: the skin filters the window's own events.
    std::unique_ptr<QSkinObject> skin;
};
