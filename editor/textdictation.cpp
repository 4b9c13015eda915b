// How the dictation follows the player: which document the editor starts
// with, and which file a lesson's dictation is kept in.

#include "editor/textedit.h"

#include "skin/localizedfile.h"

#include "editor/ctextcheckeredit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

namespace {
const QString welcomeDocument = QStringLiteral("./skin/default/kestrelbox.txt");
const QString welcomeShownKey = QStringLiteral("editor/welcomeShown");

QSettings userSettings()
{
    return QSettings(QStringLiteral("Vantiro"), QStringLiteral("Vantiro"));
}
} // namespace

void TextEdit::loadInitialDocument()
{
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 2) {
        if (!load(args.at(1)))
            fileNew();
        return;
    }
    // The instructions are for the learner's first start. Shown on every
    // start they would be the text of every lesson he opened, to be deleted
    // each time.
    QSettings settings = userSettings();
    if (!settings.value(welcomeShownKey).toBool() && load(localizedfile::pick(welcomeDocument))) {
        settings.setValue(welcomeShownKey, true);
        return;
    }
    fileNew();
}

bool TextEdit::fileSaveDefault(const QString &mediaPath)
{
    // Unsaved edits belong to the dictation they were typed into, whatever
    // the new media file has. Cancel keeps them there, under that file's
    // name in the title, while the player goes on to the new media.
    if (!maybeSave())
        return false;
    mediaFile = mediaPath;

    const QString target = mediaPath + QLatin1String(".html");
    if (QFileInfo::exists(target)) {
        if (load(target))
            return true;
        // Neither continued nor overwritten: the learner decides where the
        // new work goes, and the previous lesson's file is out of reach too.
        textEdit->clear();
        setCurrentFileName(QString());
        QMessageBox::warning(this, tr("Dictation"),
                             tr("The dictation %1 cannot be read.\n"
                                "It is left as it is. A new, untitled dictation is started; "
                                "Save asks where to keep it.")
                                 .arg(QDir::toNativeSeparators(target)));
        return false;
    }

    textEdit->clear();
    setCurrentFileName(target);
    dictationPending = true;
    return true;
}

void TextEdit::writePendingDictation()
{
    if (!dictationPending || !textEdit->document()->isModified())
        return;
    dictationPending = false;
    // A file that turned up since the lesson was opened is someone's work.
    if (QFileInfo::exists(fileName))
        return;
    fileSave();
}
