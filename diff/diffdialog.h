#pragma once

#include "diff/wordreport.h"
#include "diff/wordscore.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QLabel;
class QPrinter;
class QPushButton;
class QTableWidget;
class QTextBrowser;
class QTextEdit;

namespace Ui {
class DiffDialog;
}

// Compares two plain texts, A (usually the dictation) and B (the reference),
// typed, pasted or imported into two panes. Compare shows what only A has in
// blue in pane A, what only B has in red in pane B, and below the edit that
// turns A into B (the learner's text into the reference, the way the word
// view reads). Non-modal; the caller shows it and its parent owns it.
//
// Beside that character view, Compare also counts words, with B as the
// reference and A as the dictation: a word view in which spacing and line
// breaks do not count, its legend, and a score for the whole text and for
// each line of B (one sentence or subtitle cue a line). A dictation that
// stops before the last line is scored up to the line it reaches; the
// button "wholeLesson" shows the score of the whole text instead.
class DiffDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DiffDialog)

public:
    // Reads an imported file as plain text; returns false, with a message
    // for the user in *error, when it cannot.
    using FileReader = std::function<bool(const QString &fileName, QString *text, QString *error)>;

    explicit DiffDialog(QWidget *parent = nullptr);
    ~DiffDialog() override;

    // Puts the dictation into pane A and the reference into pane B, as
    // plain text, without comparing.
    void setTexts(const QString &dictation, const QString &reference);
    // The same with the reference given as lines, one per sentence or
    // subtitle cue; each line gets its own row in the score.
    void setReferenceLines(const QString &dictation, const QStringList &referenceLines);

    // Decides which wrong words are only spelling slips; without one every
    // wrong word counts as wrong.
    void setSpellTest(WordScore::SpellTest isKnown);
    // From now on both imports start in folder (the media file's), accept
    // every type reader understands and read through it.
    void setImportFolder(const QString &folder, FileReader reader, const QString &filter);

    // The last comparison's word score; null before the first.
    const WordScore *wordScore() const { return score.get(); }
    // The last comparison as a rich-text section (see WordReport), over
    // what the dialog shows (up to the line reached, or the whole text);
    // empty before the first.
    QString comparisonHtml() const;
    void printComparison(QPrinter *printer) const;
    // Tells the user how saving the comparison went; fileName is where it
    // went, empty when it was not saved.
    void showSaveResult(const QString &fileName);

public Q_SLOTS:
    // What the compare button does.
    void compare();

Q_SIGNALS:
    // The user asked to keep the comparison with the dictation.
    void saveRequested(const QString &comparisonHtml);
    // A file was read into pane B.
    void referenceImported(const QString &fileName);
    // Compare scored the texts; score lives until the next comparison.
    void compared(const WordScore &score);

private slots:
    void on_importSource_clicked();
    void on_diffResult_clicked();
    void on_outputTarget_clicked();
    void on_sourceFile_textChanged();
    void on_targetFile_textChanged();

private:
    void importText(QString &rememberedPath, QTextEdit *pane, QString &text);
    void importThroughReader(QString &folder, QTextEdit *pane, QString &text);
    void setupWordView();
    void showWordScore(const QString &reference, const QString &dictation);
    void showScope();
    WordReport::Scope scope() const;
    void fillScoreTable();
    void saveAsked();
    void printAsked();

    std::unique_ptr<Ui::DiffDialog> form;
    QString textA; // plain text of pane A as last changed or imported
    QString textB; // the same for pane B

    QTextBrowser *wordView = nullptr;
    QLabel *wordLegend = nullptr;
    QLabel *scoreSummary = nullptr;
    QTableWidget *scoreTable = nullptr;
    QPushButton *saveComparison = nullptr;
    QPushButton *printComparisonButton = nullptr;
    QLabel *saveStatus = nullptr;
    // Checked: the score covers the whole reference, not only the part
    // dictated. Shown only when the dictation stops early.
    QPushButton *m_wholeLesson = nullptr;

    std::unique_ptr<WordScore> score;
    WordScore::SpellTest spellTest;
    // Set by setImportFolder(): where this dialog's imports start next,
    // how they read and what they offer.
    QString importFolderA;
    QString importFolderB;
    FileReader reader;
    QString importFilter;
};
