#include "diff/diffdialog.h"

#include "diff/diff_match_patch.h"
#include "diff/diffhtml.h"
#include "phonetic/nofocusrectanglestyle.h"
#include "ui_diffdialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTextStream>

namespace {

// Where each import button's file dialog opens next, shared by every
// comparison dialog of the process; the home directory until first used.
QString &importSourcePath()
{
    static QString path = QDir::homePath();
    return path;
}

QString &outputTargetPath()
{
    static QString path = QDir::homePath();
    return path;
}

} // namespace

DiffDialog::DiffDialog(QWidget *parent) : QDialog(parent), form(std::make_unique<Ui::DiffDialog>())
{
    form->setupUi(this);
    for (QPushButton *button : {form->importSource, form->outputTarget, form->diffResult}) {
        auto *style = new NoFocusRectangleStyle;
        style->setParent(this); // a widget never owns its style
        button->setStyle(style);
    }
    setupWordView();
}

DiffDialog::~DiffDialog() = default;

void DiffDialog::on_importSource_clicked()
{
    importText(reader ? importFolderA : importSourcePath(), form->sourceFile, textA);
}

void DiffDialog::on_outputTarget_clicked()
{
    importText(reader ? importFolderB : outputTargetPath(), form->targetFile, textB);
}

void DiffDialog::importText(QString &rememberedPath, QTextEdit *pane, QString &text)
{
    if (reader) {
        importThroughReader(rememberedPath, pane, text);
        return;
    }
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Open File"), QDir(rememberedPath).absolutePath(), tr("*.txt"));
    // After a cancel the next dialog opens in the working directory.
    rememberedPath = fileName;
    if (fileName.isEmpty() || !QFile::exists(fileName))
        return;
    // Read-only: importing never writes, and read-only files are common for
    // reference texts.
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QTextStream stream(&file);
    text = stream.readAll();
    // Plain text whatever it holds: read as rich text, a file whose first
    // line has a tag such as <i> would lose its tags and line breaks, and
    // the comparison would report differences that are not there.
    pane->setPlainText(text);
    text = pane->toPlainText();
}

void DiffDialog::on_diffResult_clicked()
{
    // Words are counted on the texts as they stand, before the blanks.
    showWordScore(textB, textA);

    // The blank gives both texts a common end, so that a change at the end
    // is still bounded by an equality.
    textA += QLatin1Char(' ');
    textB += QLatin1Char(' ');
    const diff_match_patch dmp;
    // B first: deletions are what only B has, insertions what only A has.
    QList<Diff> diffs = dmp.diff_main(textB, textA);
    dmp.diff_cleanupSemantic(diffs);

    form->sourceFile->clear();
    form->sourceFile->setHtml(renderSourceHtml(diffs));
    form->targetFile->clear();
    form->targetFile->setHtml(renderTargetHtml(diffs));
    form->modifyFile->clear();
    form->modifyFile->setHtml(renderSuggestionHtml(diffs));
}

void DiffDialog::on_sourceFile_textChanged()
{
    textA = form->sourceFile->toPlainText();
}

void DiffDialog::on_targetFile_textChanged()
{
    textB = form->targetFile->toPlainText();
}
