// How the dictation follows the player: which document the editor starts
// with, and which file a lesson's dictation is kept in.

#include "editor/textedit.h"

#include "skin/localizedfile.h"

#include "editor/ctextcheckeredit.h"
#include "editor/editorsettings.h"
#include "editor/filekind.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

#include <chrono>

Q_LOGGING_CATEGORY(lcDictation, "vantiro.dictation", QtInfoMsg)

namespace {
const QString welcomeDocument = QStringLiteral("./skin/default/kestrelbox.txt");
const QString welcomeShownKey = QStringLiteral("editor/welcomeShown");

// How far the dictation on disk may lag behind the last edit: short enough
// that a crash costs a sentence at most, long enough that typing a word is
// not a save for every letter.
constexpr std::chrono::milliseconds dictationSaveDelay{2000};

QSettings userSettings()
{
    return QSettings(editorsettings::settingsFile(), QSettings::IniFormat);
}

// Two spellings of one file, such as "./a.mp4" and "a.mp4", or a link and
// its target, are the same file; a file that is gone compares by its path.
bool sameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists())
        return first.canonicalFilePath() == second.canonicalFilePath();
    return QDir::cleanPath(first.absoluteFilePath()) == QDir::cleanPath(second.absoluteFilePath());
}
} // namespace

void TextEdit::loadInitialDocument()
{
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 2) {
        // A media file on the command line is the player's, which opens it
        // itself; reading a video of hundreds of megabytes as a document
        // would only find out at the end that it is not one.
        if (filekind::of(args.at(1)) != filekind::Kind::Document || !load(args.at(1)))
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

void TextEdit::setupDictationSaving()
{
    m_dictationSaver = new QTimer(this);
    m_dictationSaver->setSingleShot(true);
    m_dictationSaver->setInterval(dictationSaveDelay);
    connect(m_dictationSaver, &QTimer::timeout, this, &TextEdit::saveDictationNow);
    // Every edit restarts the wait, so the file is written once the
    // learner pauses, and never inside the edit that reports the change.
    connect(textEdit->document(), &QTextDocument::contentsChanged, this, [this] {
        if (isLessonDictation() && textEdit->document()->isModified())
            m_dictationSaver->start();
    });
}

bool TextEdit::isLessonDictation() const
{
    return !m_dictationFile.isEmpty() && fileName == m_dictationFile;
}

bool TextEdit::fileSaveDefault(const QString &mediaPath)
{
    // The player hands the same file over again after Stop and Play, and
    // when the learner opens it again: the dictation is here already, with
    // the learner's cursor, undo history and latest words.
    if (isLessonDictation() && sameFile(mediaPath, mediaFile))
        return true;

    // Unsaved edits belong to the dictation they were typed into, whatever
    // the new media file has. Cancel keeps them there, under that file's
    // name in the title, while the player goes on to the new media.
    if (!maybeSave())
        return false;
    mediaFile = mediaPath;

    const QString target = mediaPath + QLatin1String(".html");
    if (QFileInfo::exists(target)) {
        if (load(target)) {
            m_dictationFile = target;
            return true;
        }
        m_dictationFile.clear();
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
    m_dictationFile = target;
    dictationPending = true;
    return true;
}

void TextEdit::saveDictationNow()
{
    m_dictationSaver->stop();
    if (!isLessonDictation() || !textEdit->document()->isModified())
        return;
    if (dictationPending && QFileInfo::exists(fileName)) {
        // A file that turned up since the lesson was opened is someone's
        // work: only the user's own Save may replace it.
        qCInfo(lcDictation) << "not saving over" << fileName << "which appeared meanwhile";
        dictationPending = false;
        m_dictationFile.clear();
        return;
    }
    if (fileSave())
        dictationPending = false;
    else
        qCWarning(lcDictation) << "the dictation could not be written to" << fileName;
}
