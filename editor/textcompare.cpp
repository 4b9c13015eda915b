// The editor's side of comparing the dictation with a reference: choosing
// and remembering the reference of each media file, opening the comparison
// and keeping its result at the end of the dictation.
#include "editor/textedit.h"

#include "editor/editorsettings.h"
#include "editor/userwordlist.h"

#include "diff/diffdialog.h"
#include "editor/comparisonsection.h"
#include "editor/cspellengine.h"
#include "editor/ctextcheckeredit.h"
#include "editor/referencefile.h"
#include "progress/progressstore.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QUrl>

#include <memory>

namespace {

// The reference chosen for each media file, kept across runs.
QString referenceKey(const QString &mediaFile)
{
    return QStringLiteral("references/")
        + QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(mediaFile).absoluteFilePath()));
}

// With what else is remembered of each media file.
QSettings settings()
{
    return QSettings(editorsettings::memoryFile(), QSettings::IniFormat);
}

QString rememberedReference(const QString &mediaFile)
{
    if (mediaFile.isEmpty())
        return {};
    return settings().value(referenceKey(mediaFile)).toString();
}

void rememberReference(const QString &mediaFile, const QString &reference)
{
    if (!mediaFile.isEmpty())
        settings().setValue(referenceKey(mediaFile), QFileInfo(reference).absoluteFilePath());
}

} // namespace

QString TextEdit::referenceFolder() const
{
    if (!mediaFile.isEmpty())
        return QFileInfo(mediaFile).absolutePath();
    if (!fileName.isEmpty() && !fileName.startsWith(QLatin1String(":/")))
        return QFileInfo(fileName).absolutePath();
    return QDir::homePath();
}

DiffDialog *TextEdit::newDiffDialog()
{
    auto *dialog = new DiffDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setImportFolder(referenceFolder(), &referencefile::read, referencefile::fileFilter());
    // An engine of its own, built with the dictionary and the user's word
    // list as they are now; it lives as long as the dialog.
    auto engine = std::make_shared<CSpellEngine>(QStringLiteral("./spell/dict/en_US"), userwordlist::path());
    dialog->setSpellTest([engine](const QString &word) { return engine->isKnown(word); });
    connect(dialog, &DiffDialog::saveRequested, this, [this, dialog](const QString &html) {
        dialog->showSaveResult(saveComparison(html) ? fileName : QString());
    });
    const QString media = mediaFile;
    connect(dialog, &DiffDialog::referenceImported, this,
            [media](const QString &reference) { rememberReference(media, reference); });
    return dialog;
}

void TextEdit::keepScores(DiffDialog *dialog)
{
    // A dictation of no lesson (an untitled text, a document opened by
    // hand) has no record to go into.
    const QString media = mediaFile;
    if (media.isEmpty())
        return;
    connect(dialog, &DiffDialog::compared, this, [this, media](const WordScore &score) {
        ProgressStore store(ProgressStore::defaultFile());
        if (store.record(media, score))
            Q_EMIT progressRecorded(media);
    });
}

void TextEdit::compareWithReference()
{
    QString reference = rememberedReference(mediaFile);
    // The lesson's own subtitles are its reference, unless the learner
    // chose another one for it.
    if ((reference.isEmpty() || !QFileInfo::exists(reference)) && !subtitleCues.isEmpty()) {
        compareWithReferenceLines(subtitleCues);
        return;
    }
    if (reference.isEmpty() || !QFileInfo::exists(reference)) {
        reference = QFileDialog::getOpenFileName(this, tr("Choose the Reference"), referenceFolder(),
                                                 referencefile::fileFilter());
    }
    QString text;
    if (!reference.isEmpty()) {
        QString error;
        if (referencefile::read(reference, &text, &error)) {
            rememberReference(mediaFile, reference);
        } else {
            QMessageBox::warning(this, tr("Compare with reference"), error);
            text.clear();
        }
    }
    DiffDialog *dialog = newDiffDialog();
    keepScores(dialog);
    dialog->setTexts(comparisonsection::dictationText(*textEdit->document()), text);
    dialog->show();
    // Without a reference the learner pastes or imports one first.
    if (!text.isEmpty())
        dialog->compare();
}

void TextEdit::setSubtitleCues(const QString &mediaPath, const QStringList &cues)
{
    subtitleCues.clear();
    if (QFileInfo(mediaPath) != QFileInfo(mediaFile))
        return;
    for (const QString &cue : cues)
        subtitleCues.append(QString(cue).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}

void TextEdit::compareWithReferenceLines(const QStringList &lines)
{
    DiffDialog *dialog = newDiffDialog();
    keepScores(dialog);
    dialog->setReferenceLines(comparisonsection::dictationText(*textEdit->document()), lines);
    dialog->show();
    dialog->compare();
}

bool TextEdit::saveComparison(const QString &html)
{
    comparisonsection::replace(*textEdit->document(), html);
    return saveAsked();
}
