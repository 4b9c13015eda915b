#include "editor/editorsettings.h"
#include "editor/textedit.h"

#include "diff/diffdialog.h"
#include "editor/ctextcheckeredit.h"
#include "editor/documentfile.h"
#include "phonetic/phoneticdialog.h"

#include "modaldriver.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextDocument>
#include <QTextList>
#include <QtTest>

#include <memory>

// The editor window on real files in a temporary folder, with its file
// dialogs and message boxes answered through their widgets.
class TestTextEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void saveAsFollowsSuffixRule_data();
    void saveAsFollowsSuffixRule();
    void welcomeShowsAtFirstStartOnly();
    void lessonDictationIsWrittenOnceTyped();
    void saveDefaultContinuesEarlierDictation_data();
    void saveDefaultContinuesEarlierDictation();
    void sameMediaAgainLeavesTheEditorAlone_data();
    void sameMediaAgainLeavesTheEditorAlone();
    void dictationOnDiskFollowsTheEditor_data();
    void dictationOnDiskFollowsTheEditor();
    void saveInAReadOnlyFolderAsksWhereInstead();
    void failedSaveLeavesDocumentModified_data();
    void failedSaveLeavesDocumentModified();
    void failedSaveByTheUserAsksForAnotherName();
    void unreadableDictationGivesAnUntitledOne_data();
    void unreadableDictationGivesAnUntitledOne();
    void pdfExport_data();
    void pdfExport();
    void pdfShowsNoSpellingMarks();
    void loadDecidesBetweenHtmlAndPlainText_data();
    void loadDecidesBetweenHtmlAndPlainText();
    void loadRefusesFilesThatAreNotText_data();
    void loadRefusesFilesThatAreNotText();
    void unmodifiedKeysReachThePlayer_data();
    void unmodifiedKeysReachThePlayer();
    void toolDialogsOpenAnewEachTime();

    void boldWithoutSelectionBoldsTheWord();
    void sizeBoxAppliesOnlyPositiveNumbers_data();
    void sizeBoxAppliesOnlyPositiveNumbers();
    void controlsFollowCursor();
    void listStyles();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    static QByteArray readFile(const QString &name);
    // Bytes this process has read from files and sockets so far.
    static qint64 bytesRead();
    static void writeFile(const QString &name, const QByteArray &bytes);
    QAction *action(const QString &text) const;
    void placeCursor(int position) const;
    // Answers the next file dialog with name.
    static std::unique_ptr<ModalDriver> answerFileDialog(const QString &name);
    // Answers every unsaved-changes prompt with button.
    static std::unique_ptr<ModalDriver> answerPrompt(QMessageBox::StandardButton button);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TextEdit> m_editor;
};

// The editor remembers in the user's settings that the welcome document was
// shown; the tests keep theirs apart and start as on any later day.
void TestTextEdit::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings(editorsettings::settingsFile(), QSettings::IniFormat).setValue(QStringLiteral("editor/welcomeShown"), true);
}

void TestTextEdit::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_editor = std::make_unique<TextEdit>();
    QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
}

void TestTextEdit::cleanup()
{
    m_editor->textArea()->document()->setModified(false); // nothing may ask on the way out
    m_editor.reset();
    m_dir.reset();
}

QByteArray TestTextEdit::readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 TestTextEdit::bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    while (!io.atEnd()) {
        const QByteArray line = io.readLine();
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

void TestTextEdit::writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QAction *TestTextEdit::action(const QString &text) const
{
    for (QAction *a : m_editor->findChildren<QAction *>()) {
        // The text area's context menu has actions of the same names.
        if (a->text() == text && a->parent() != m_editor->textArea())
            return a;
    }
    return nullptr;
}

void TestTextEdit::placeCursor(int position) const
{
    QTextCursor cursor(m_editor->textArea()->document());
    cursor.setPosition(position);
    m_editor->textArea()->setTextCursor(cursor);
}

std::unique_ptr<ModalDriver> TestTextEdit::answerFileDialog(const QString &name)
{
    return std::make_unique<ModalDriver>([name](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return false;
        ModalDriver::openFile(dialog, name);
        return true;
    });
}

std::unique_ptr<ModalDriver> TestTextEdit::answerPrompt(QMessageBox::StandardButton button)
{
    return std::make_unique<ModalDriver>([button](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box || box->windowTitle() != QLatin1String("Application"))
            return false;
        box->button(button)->click();
        return true;
    });
}

void TestTextEdit::saveAsFollowsSuffixRule_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("start"); // the first bytes tell the format

    QTest::newRow("txt in capitals is plain text") << "notes.TXT" << "notes.TXT" << QByteArray("Dictation one caf\xc3\xa9");
    QTest::newRow("rtf becomes html") << "notes.rtf" << "notes.rtf.html" << QByteArray("<!DOCTYPE HTML");
    QTest::newRow("no suffix becomes html") << "notes" << "notes.html" << QByteArray("<!DOCTYPE HTML");
    QTest::newRow("odt is a zip package") << "notes.odt" << "notes.odt" << QByteArray("PK");
}

void TestTextEdit::saveAsFollowsSuffixRule()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(QByteArray, start);

    m_editor->textArea()->setHtml(QString::fromUtf8("Dictation <b>one</b> café"));
    const auto driver = answerFileDialog(path(chosen));
    QVERIFY(m_editor->fileSaveAs());
    QCOMPARE(m_editor->currentFileName(), path(written));
    QCOMPARE(m_editor->windowTitle(), written + QLatin1String("[*] - Rich Text"));
    QVERIFY(!m_editor->textArea()->document()->isModified());
    const QByteArray bytes = readFile(path(written));
    QVERIFY2(bytes.startsWith(start), bytes.left(40).constData());
    if (start.startsWith('<'))
        QVERIFY(bytes.contains("charset=\"utf-8\"") && bytes.contains("caf\xc3\xa9"));
    // Written through a temporary file that is gone once the save is done.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{written});
}

void TestTextEdit::welcomeShowsAtFirstStartOnly()
{
    QSettings(editorsettings::settingsFile(), QSettings::IniFormat).remove(QStringLiteral("editor/welcomeShown"));
    m_editor = std::make_unique<TextEdit>();
    QVERIFY(m_editor->textArea()->toPlainText().startsWith(QStringLiteral("Welcome")));
    QVERIFY(m_editor->currentFileName().endsWith(QStringLiteral("/kestrelbox.txt")));

    // A lesson never starts with the instructions.
    QVERIFY(m_editor->fileSaveDefault(path(QStringLiteral("talk.wav"))));
    QVERIFY(m_editor->textArea()->toPlainText().isEmpty());
    QCoreApplication::processEvents();
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("talk.wav.html"))));

    // Every later start begins with an empty untitled document.
    m_editor = std::make_unique<TextEdit>();
    QVERIFY(m_editor->textArea()->toPlainText().isEmpty());
    QVERIFY(m_editor->currentFileName().isEmpty());
    QCOMPARE(m_editor->windowTitle(), QStringLiteral("untitled.html[*] - Rich Text"));
}

void TestTextEdit::lessonDictationIsWrittenOnceTyped()
{
    m_editor->textArea()->setPlainText(QStringLiteral("notes of no lesson"));
    m_editor->textArea()->document()->setModified(false);
    QVERIFY(m_editor->fileSaveDefault(path(QStringLiteral("talk.avi"))));
    QVERIFY(m_editor->textArea()->toPlainText().isEmpty());
    QCOMPARE(m_editor->currentFileName(), path(QStringLiteral("talk.avi.html")));
    QCOMPARE(m_editor->windowTitle(), QStringLiteral("talk.avi.html[*] - Rich Text"));
    // Only listened to: nothing is written beside the media file.
    QCoreApplication::processEvents();
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("talk.avi.html"))));

    QTest::keyClicks(m_editor->textArea(), QStringLiteral("heard"));
    QTRY_VERIFY(readFile(path(QStringLiteral("talk.avi.html"))).startsWith("<!DOCTYPE HTML"));
    QVERIFY(readFile(path(QStringLiteral("talk.avi.html"))).contains("h"));

    // Later saves go to the same file.
    QTest::keyClicks(m_editor->textArea(), QStringLiteral(" more"));
    QVERIFY(action(QStringLiteral("&Save"))->isEnabled());
    action(QStringLiteral("&Save"))->trigger();
    QVERIFY(readFile(path(QStringLiteral("talk.avi.html"))).contains("heard more"));
    QVERIFY(!m_editor->isWindowModified());
}

void TestTextEdit::saveDefaultContinuesEarlierDictation_data()
{
    QTest::addColumn<bool>("earlier");
    QTest::addColumn<bool>("unsaved");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("shown");

    QTest::newRow("nothing unsaved: no question") << true << false << int(QMessageBox::Cancel) << true << "earlier work";
    QTest::newRow("discard") << true << true << int(QMessageBox::Discard) << true << "earlier work";
    QTest::newRow("cancel keeps the unsaved work") << true << true << int(QMessageBox::Cancel) << false << "unsaved";
    QTest::newRow("save, then continue") << true << true << int(QMessageBox::Save) << true << "earlier work";
    QTest::newRow("new lesson, nothing unsaved") << false << false << int(QMessageBox::Cancel) << true << "";
    QTest::newRow("new lesson, discard") << false << true << int(QMessageBox::Discard) << true << "";
    QTest::newRow("new lesson, cancel") << false << true << int(QMessageBox::Cancel) << false << "unsaved";
    QTest::newRow("new lesson, save") << false << true << int(QMessageBox::Save) << true << "";
}

// Unsaved edits stay with the dictation they were typed into, whether or
// not the next media file has a dictation yet.
void TestTextEdit::saveDefaultContinuesEarlierDictation()
{
    QFETCH(bool, earlier);
    QFETCH(bool, unsaved);
    QFETCH(int, answer);
    QFETCH(bool, result);
    QFETCH(QString, shown);

    const QByteArray earlierWork = "<html><body><p>earlier <b>work</b></p></body></html>";
    const QString lesson = path(QStringLiteral("lesson.mp4.html"));
    if (earlier)
        writeFile(lesson, earlierWork);
    writeFile(path(QStringLiteral("first.mp4.html")), "first");
    QVERIFY(m_editor->fileSaveDefault(path(QStringLiteral("first.mp4"))));
    m_editor->textArea()->setPlainText(QStringLiteral("unsaved"));
    m_editor->textArea()->document()->setModified(unsaved);

    const auto prompt = answerPrompt(QMessageBox::StandardButton(answer));
    QCOMPARE(m_editor->fileSaveDefault(path(QStringLiteral("lesson.mp4"))), result);
    QCOMPARE(prompt->handled(), unsaved ? 1 : 0);
    QCoreApplication::processEvents();
    if (earlier)
        QCOMPARE(readFile(lesson), earlierWork);
    else
        QVERIFY(!QFileInfo::exists(lesson));
    QCOMPARE(m_editor->textArea()->toPlainText(), shown);
    const QString owner = result ? "lesson.mp4.html" : "first.mp4.html";
    QCOMPARE(m_editor->currentFileName(), path(owner));
    QCOMPARE(m_editor->windowTitle(), owner + QStringLiteral("[*] - Rich Text"));
    const bool savedFirst = readFile(path(QStringLiteral("first.mp4.html"))).contains("unsaved");
    QCOMPARE(savedFirst, answer == QMessageBox::Save);
}

void TestTextEdit::sameMediaAgainLeavesTheEditorAlone_data()
{
    QTest::addColumn<bool>("earlier"); // a dictation of the media file is on disk
    QTest::addColumn<bool>("saved");   // the latest typing is saved too
    QTest::addColumn<QString>("again"); // the media file as handed over again

    QTest::newRow("unsaved typing in a new lesson") << false << false << "lesson.mp4";
    QTest::newRow("unsaved typing in an earlier dictation") << true << false << "lesson.mp4";
    QTest::newRow("everything saved") << true << true << "lesson.mp4";
    QTest::newRow("the same file by another path") << true << false << "./sub/../lesson.mp4";
}

// Stop then Play, or opening the file that is open, hands the media file to
// the editor again: the learner's typing, cursor and undo history stay.
void TestTextEdit::sameMediaAgainLeavesTheEditorAlone()
{
    QFETCH(bool, earlier);
    QFETCH(bool, saved);
    QFETCH(QString, again);

    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
    writeFile(path(QStringLiteral("lesson.mp4")), "the player's, never read by the editor");
    if (earlier)
        writeFile(path(QStringLiteral("lesson.mp4.html")), "<p>Good morning.</p>");
    QVERIFY(m_editor->fileSaveDefault(path(QStringLiteral("lesson.mp4"))));
    m_editor->textArea()->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_editor->textArea(), QStringLiteral(" How are you"));
    if (saved)
        QVERIFY(m_editor->fileSave());
    const QString text = m_editor->textArea()->toPlainText();
    placeCursor(3);

    const auto prompt = answerPrompt(QMessageBox::Discard);
    QVERIFY(m_editor->fileSaveDefault(path(again)));
    QCOMPARE(prompt->handled(), 0);
    QCOMPARE(m_editor->textArea()->toPlainText(), text);
    QCOMPARE(m_editor->textArea()->textCursor().position(), 3);
    QCOMPARE(m_editor->textArea()->document()->isModified(), !saved);
    QCOMPARE(m_editor->currentFileName(), path(QStringLiteral("lesson.mp4.html")));
    QVERIFY(m_editor->textArea()->document()->isUndoAvailable());
    m_editor->textArea()->undo();
    QVERIFY(!m_editor->textArea()->toPlainText().contains(QStringLiteral("How are you")));
}

void TestTextEdit::dictationOnDiskFollowsTheEditor_data()
{
    QTest::addColumn<QString>("earlier"); // on disk before; empty: no file yet
    QTest::addColumn<bool>("lesson");     // the media file's dictation, else a document opened by hand

    QTest::newRow("new lesson") << "" << true;
    QTest::newRow("earlier dictation") << "<p>Good morning.</p>" << true;
    QTest::newRow("document opened by hand") << "<p>My notes.</p>" << false;
}

// The dictation file keeps up with the typing, so that a crash costs a few
// seconds of work; documents the user opened himself are his to save.
void TestTextEdit::dictationOnDiskFollowsTheEditor()
{
    QFETCH(QString, earlier);
    QFETCH(bool, lesson);

    const QString file = path(lesson ? QStringLiteral("lesson.mp4.html") : QStringLiteral("notes.html"));
    if (!earlier.isEmpty())
        writeFile(file, earlier.toUtf8());
    QVERIFY(m_editor->fileSaveDefault(path(QStringLiteral("lesson.mp4"))));
    if (!lesson)
        QVERIFY(m_editor->load(file));
    const QByteArray before = readFile(file);
    const auto onDisk = [&file] { return documentfile::decode(readFile(file)).text; };

    m_editor->textArea()->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_editor->textArea(), QStringLiteral(" Good evening everyone"));
    if (lesson) {
        QTRY_VERIFY(onDisk().contains(QStringLiteral("Good evening everyone")));
        QVERIFY(!m_editor->textArea()->document()->isModified());
    }

    QTest::keyClicks(m_editor->textArea(), QStringLiteral(" and welcome"));
    m_editor->saveDictationNow();
    if (lesson) {
        QVERIFY(onDisk().contains(QStringLiteral("Good evening everyone and welcome")));
        QVERIFY(!m_editor->isWindowModified());
    } else {
        QCOMPARE(readFile(file), before);
        QVERIFY(m_editor->textArea()->document()->isModified());
    }
}

// The welcome document of an installed program lies in a folder the user
// may not change; Save asks where to keep his text instead. Permission bits
// decide, so the test holds when run by the superuser too.
void TestTextEdit::saveInAReadOnlyFolderAsksWhereInstead()
{
    const QString folder = path(QStringLiteral("installed"));
    const QString welcome = folder + QStringLiteral("/welcome.txt");
    QVERIFY(QDir().mkpath(folder));
    writeFile(welcome, "Welcome");
    const QFileDevice::Permissions kept = QFile::permissions(folder);
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QVERIFY(m_editor->load(welcome));
    m_editor->textArea()->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_editor->textArea(), QStringLiteral(" to my notes"));
    {
        const auto driver = answerFileDialog(path(QStringLiteral("mine.txt")));
        action(QStringLiteral("&Save"))->trigger();
        QCOMPARE(driver->handled(), 1);
    }
    QVERIFY(QFile::setPermissions(folder, kept)); // so that the folder can go
    QCOMPARE(readFile(path(QStringLiteral("mine.txt"))), QByteArray("Welcome to my notes"));
    QCOMPARE(readFile(welcome), QByteArray("Welcome"));
    QVERIFY(!m_editor->textArea()->document()->isModified());
}

void TestTextEdit::failedSaveLeavesDocumentModified_data()
{
    QTest::addColumn<QString>("media");
    // Tests may run as root, whom permissions do not stop; folders that
    // cannot hold a file stop everyone.
    QTest::newRow("missing folder") << "no/such/folder/talk.avi";
    QTest::newRow("folder is a file") << "plain.txt/talk.avi";
}

void TestTextEdit::failedSaveLeavesDocumentModified()
{
    QFETCH(QString, media);
    writeFile(path(QStringLiteral("plain.txt")), "x");
    QVERIFY(m_editor->fileSaveDefault(path(media)));
    QTest::keyClicks(m_editor->textArea(), QStringLiteral("heard"));
    QCoreApplication::processEvents();

    QVERIFY(m_editor->textArea()->document()->isModified());
    QVERIFY(m_editor->isWindowModified());
    QVERIFY(action(QStringLiteral("&Save"))->isEnabled());
    QVERIFY(!m_editor->fileSave());
    QVERIFY(m_editor->textArea()->document()->isModified());
    m_editor->saveDictationNow();
    QVERIFY(m_editor->textArea()->document()->isModified());

    // So closing still asks, and Cancel keeps the window open.
    const auto prompt = answerPrompt(QMessageBox::Cancel);
    QVERIFY(!m_editor->close());
    QCOMPARE(prompt->handled(), 1);
}

// The default name beside a media file may lie in a folder that cannot
// take the dictation; Save, from the toolbar or from the question on
// closing, then asks where to put it instead.
void TestTextEdit::failedSaveByTheUserAsksForAnotherName()
{
    QVERIFY(m_editor->fileSaveDefault(path(QStringLiteral("no/such/folder/talk.avi"))));
    QTest::keyClicks(m_editor->textArea(), QStringLiteral("heard"));
    QCoreApplication::processEvents();

    {
        const auto driver = answerFileDialog(path(QStringLiteral("rescued.html")));
        action(QStringLiteral("&Save"))->trigger();
        QCOMPARE(driver->handled(), 1);
    }
    QCOMPARE(m_editor->currentFileName(), path(QStringLiteral("rescued.html")));
    QVERIFY(readFile(path(QStringLiteral("rescued.html"))).contains("heard"));
    QVERIFY(!m_editor->textArea()->document()->isModified());

    // The same through the question on closing.
    QVERIFY(m_editor->fileSaveDefault(path(QStringLiteral("no/such/folder/other.avi"))));
    QTest::keyClicks(m_editor->textArea(), QStringLiteral("heard"));
    QCoreApplication::processEvents();
    {
        const auto prompt = answerPrompt(QMessageBox::Save);
        const auto driver = answerFileDialog(path(QStringLiteral("second.txt")));
        QVERIFY(m_editor->close());
        QCOMPARE(prompt->handled(), 1);
        QCOMPARE(driver->handled(), 1);
    }
    QCOMPARE(readFile(path(QStringLiteral("second.txt"))), QByteArray("heard"));
}

void TestTextEdit::unreadableDictationGivesAnUntitledOne_data()
{
    QTest::addColumn<bool>("folder");
    QTest::newRow("not text") << false;
    QTest::newRow("a folder") << true;
}

void TestTextEdit::unreadableDictationGivesAnUntitledOne()
{
    QFETCH(bool, folder);
    writeFile(path(QStringLiteral("first.mp4.html")), "first");
    QVERIFY(m_editor->fileSaveDefault(path(QStringLiteral("first.mp4"))));
    const QString bad = path(QStringLiteral("bad.mp4.html"));
    const QByteArray badBytes("PK\x03\x04\0\0binary", 14);
    if (folder)
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("bad.mp4.html")));
    else
        writeFile(bad, badBytes);

    QString message;
    {
        const ModalDriver driver([&message](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (!box)
                return false;
            message = box->text();
            box->accept();
            return true;
        });
        QVERIFY(!m_editor->fileSaveDefault(path(QStringLiteral("bad.mp4"))));
    }
    QVERIFY2(message.contains(QDir::toNativeSeparators(bad)), qPrintable(message));
    QVERIFY(m_editor->currentFileName().isEmpty());
    QVERIFY(m_editor->textArea()->toPlainText().isEmpty());
    QCOMPARE(m_editor->windowTitle(), QStringLiteral("untitled.html[*] - Rich Text"));

    // What is typed now goes where the learner says, never into either file.
    QTest::keyClicks(m_editor->textArea(), QStringLiteral("new work"));
    QCoreApplication::processEvents();
    {
        const auto driver = answerFileDialog(path(QStringLiteral("rescued.html")));
        action(QStringLiteral("&Save"))->trigger();
        QCOMPARE(driver->handled(), 1);
    }
    QVERIFY(readFile(path(QStringLiteral("rescued.html"))).contains("new work"));
    QCOMPARE(readFile(path(QStringLiteral("first.mp4.html"))), QByteArray("first"));
    if (!folder)
        QCOMPARE(readFile(bad), badBytes);
}

void TestTextEdit::pdfExport_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no suffix") << "out" << "out.pdf";
    QTest::newRow("other suffix kept") << "out.x" << "out.x";
}

void TestTextEdit::pdfExport()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    m_editor->textArea()->setPlainText(QStringLiteral("A page of dictation."));
    const auto driver = answerFileDialog(path(chosen));
    m_editor->filePrintPdf();
    QCOMPARE(driver->handled(), 1);
    const QByteArray pdf = readFile(path(written));
    QVERIFY(pdf.startsWith("%PDF-"));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    QVERIFY(pdf.contains("/Type /Page"));
}

// The red wavy lines under misspelt words belong to the screen only.
void TestTextEdit::pdfShowsNoSpellingMarks()
{
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        QSKIP("pdftoppm (poppler-utils) is needed to look at the page");
    m_editor->textArea()->setPlainText(QStringLiteral("I wnet hoem yesterdy."));
    QTextCursor cursor(m_editor->textArea()->document());
    QVERIFY(!cursor.block().layout()->formats().isEmpty()); // marked on screen

    const auto driver = answerFileDialog(path(QStringLiteral("marks.pdf")));
    m_editor->filePrintPdf();
    QCOMPARE(driver->handled(), 1);
    QCOMPARE(QProcess::execute(pdftoppm, {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-png"),
                                          QStringLiteral("-singlefile"), path(QStringLiteral("marks.pdf")),
                                          path(QStringLiteral("page"))}),
             0);
    const QImage page(path(QStringLiteral("page.png")));
    QVERIFY(!page.isNull());
    int dark = 0;
    int red = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
                ++red;
            else if (c.lightness() < 100)
                ++dark;
        }
    }
    QVERIFY(dark > 100); // the words are there
    QCOMPARE(red, 0);
}

void TestTextEdit::loadDecidesBetweenHtmlAndPlainText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("boldAtOne");

    QTest::newRow("html") << QByteArray("<html><body><b>bold</b> word</body></html>") << "bold word" << true;
    QTest::newRow("html declaring utf-8")
        << QByteArray("<html><head><meta charset=\"utf-8\"></head><body><b>Gr\xc3\xbc\xc3\x9f" "e</b></body></html>")
        << QString::fromUtf8("Grüße") << true;
    QTest::newRow("html declaring nothing is latin-1")
        << QByteArray("<html><body>caf\xe9</body></html>") << QString::fromUtf8("café") << false;
    QTest::newRow("plain text keeps its signs")
        << QByteArray("x < 3, y > 4\nnext") << "x < 3, y > 4\nnext" << false;
    QTest::newRow("plain text is local 8-bit")
        << QByteArray("Gr\xc3\xbc\xc3\x9f" "e\n<b>") << QString::fromUtf8("Grüße\n<b>") << false;
    QTest::newRow("html declaring nothing in valid utf-8 is utf-8")
        << QByteArray("<b>\xe6\x88\x91</b>\xe5\x8e\xbb caf\xc3\xa9") << QString::fromUtf8("我去 café") << true;
    const QString utf16 = QStringLiteral("I like cats.\n");
    QTest::newRow("plain text with a byte-order mark is unicode")
        << QByteArray("\xff\xfe") + QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2)
        << utf16 << false;
}

void TestTextEdit::loadRefusesFilesThatAreNotText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // empty: an OpenDocument file the editor wrote
    QTest::addColumn<qint64>("size"); // the file is made this long, with zeros after its bytes

    QTest::newRow("opendocument") << "earlier.odt" << QByteArray() << qint64(0);
    QTest::newRow("media") << "lesson.mp4" << QByteArray("\x00\x00\x00\x18" "ftypmp42\x00\x00\x00\x00mp42isom", 24)
                           << qint64(0);
    QTest::newRow("video of 3 GiB") << "lesson.mp4" << QByteArray("\x00\x00\x00\x18" "ftypmp42\x00\x00\x00\x00mp42isom", 24)
                                    << qint64(3) * 1024 * 1024 * 1024;
}

void TestTextEdit::loadRefusesFilesThatAreNotText()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, size);

    if (bytes.isEmpty()) {
        QTextDocument earlier;
        earlier.setPlainText(QStringLiteral("An earlier dictation"));
        QVERIFY(documentfile::write(earlier, path(name)));
    } else {
        writeFile(path(name), bytes);
    }
    if (size > 0) // sparse: no disk space taken
        QVERIFY(QFile::resize(path(name), size));
    const QByteArray before = size > 0 ? QByteArray() : readFile(path(name));

    writeFile(path(QStringLiteral("today.html")), "<b>Today</b>");
    QVERIFY(m_editor->load(path(QStringLiteral("today.html"))));
    // Its first bytes tell; a video is not read whole to find out.
    const qint64 readBefore = bytesRead();
    QVERIFY(!m_editor->load(path(name)));
    const qint64 read = bytesRead() - readBefore;
    QVERIFY2(read < 1024 * 1024, qPrintable(QString::number(read)));
    QCOMPARE(m_editor->textArea()->toPlainText(), QStringLiteral("Today"));
    QCOMPARE(m_editor->currentFileName(), path(QStringLiteral("today.html")));

    // So Save still goes to the document's own file, not over the other one.
    m_editor->textArea()->insertPlainText(QStringLiteral("x"));
    QVERIFY(m_editor->fileSave());
    if (size > 0)
        QCOMPARE(QFileInfo(path(name)).size(), size);
    else
        QCOMPARE(readFile(path(name)), before);
}

void TestTextEdit::loadDecidesBetweenHtmlAndPlainText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, boldAtOne);

    writeFile(path(QStringLiteral("doc")), bytes);
    QVERIFY(m_editor->load(path(QStringLiteral("doc"))));
    QCOMPARE(m_editor->textArea()->toPlainText(), text);
    QTextCursor cursor(m_editor->textArea()->document());
    cursor.setPosition(1);
    QCOMPARE(cursor.charFormat().fontWeight() == QFont::Bold, boldAtOne);
    QCOMPARE(m_editor->currentFileName(), path(QStringLiteral("doc")));

    QVERIFY(!m_editor->load(path(QStringLiteral("missing"))));
    QCOMPARE(m_editor->textArea()->toPlainText(), text);
}

void TestTextEdit::unmodifiedKeysReachThePlayer_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QList<int>>("delegated");
    QTest::addColumn<QString>("typed");

    QTest::newRow("F2") << int(Qt::Key_F2) << int(Qt::NoModifier) << QList<int>{0x01000031} << "";
    QTest::newRow("Ctrl+F2") << int(Qt::Key_F2) << int(Qt::ControlModifier) << QList<int>{} << "";
    QTest::newRow("Shift+F2") << int(Qt::Key_F2) << int(Qt::ShiftModifier) << QList<int>{} << "";
    QTest::newRow("printable key") << int(Qt::Key_A) << int(Qt::NoModifier) << QList<int>{} << "a";
}

void TestTextEdit::unmodifiedKeysReachThePlayer()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QList<int>, delegated);
    QFETCH(QString, typed);

    m_editor->fileNew();
    QSignalSpy spy(m_editor.get(), &TextEdit::keyDelegate);
    QTest::keyClick(m_editor->textArea(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QList<int> got;
    for (const QList<QVariant> &args : spy)
        got << args.at(0).toInt();
    QCOMPARE(got, delegated);
    QCOMPARE(m_editor->textArea()->toPlainText(), typed);
}

void TestTextEdit::toolDialogsOpenAnewEachTime()
{
    action(QStringLiteral("&PhoneticLookup"))->trigger();
    action(QStringLiteral("&PhoneticLookup"))->trigger();
    action(QStringLiteral("&DiffText"))->trigger();
    const QList<PhoneticDialog *> lookups = m_editor->findChildren<PhoneticDialog *>();
    QCOMPARE(lookups.size(), 2);
    QCOMPARE(m_editor->findChildren<DiffDialog *>().size(), 1);
    QVERIFY(lookups.at(0)->isVisible() && !lookups.at(0)->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    // A closed dialog is gone; the others stay.
    QPointer<PhoneticDialog> closed = lookups.at(0);
    closed->close();
    QTRY_VERIFY(closed.isNull());
    QCOMPARE(m_editor->findChildren<PhoneticDialog *>().size(), 1);
}

void TestTextEdit::boldWithoutSelectionBoldsTheWord()
{
    m_editor->textArea()->setPlainText(QStringLiteral("hello world again"));
    placeCursor(8); // inside "world"
    action(QStringLiteral("&Bold"))->trigger();
    QTextCursor probe(m_editor->textArea()->document());
    for (int pos = 1; pos <= 17; ++pos) {
        probe.setPosition(pos);
        QCOMPARE(probe.charFormat().fontWeight() == QFont::Bold, pos > 6 && pos <= 11);
    }
    // Moving into the word shows it; Bold again takes it back.
    placeCursor(2);
    QVERIFY(!action(QStringLiteral("&Bold"))->isChecked());
    placeCursor(9);
    QVERIFY(action(QStringLiteral("&Bold"))->isChecked());
    action(QStringLiteral("&Bold"))->trigger();
    probe.setPosition(9);
    QCOMPARE(probe.charFormat().fontWeight(), int(QFont::Normal));
}

void TestTextEdit::sizeBoxAppliesOnlyPositiveNumbers_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("applied");
    QTest::newRow("zero") << "0" << false;
    QTest::newRow("text") << "big" << false;
    QTest::newRow("listed size") << "20" << true;
    QTest::newRow("unlisted size") << "13" << true;
}

void TestTextEdit::sizeBoxAppliesOnlyPositiveNumbers()
{
    QFETCH(QString, typed);
    QFETCH(bool, applied);

    m_editor->textArea()->setPlainText(QStringLiteral("some text"));
    placeCursor(2);
    QTextCursor probe(m_editor->textArea()->document());
    probe.setPosition(3);
    const qreal before = probe.charFormat().font().pointSizeF();

    auto *size = m_editor->findChild<QComboBox *>(QStringLiteral("comboSize"));
    QVERIFY(size && size->isEditable());
    size->lineEdit()->selectAll();
    QTest::keyClicks(size->lineEdit(), typed);
    QTest::keyClick(size->lineEdit(), Qt::Key_Return);
    probe.setPosition(3);
    QCOMPARE(probe.charFormat().font().pointSizeF(), applied ? typed.toDouble() : before);

}

void TestTextEdit::controlsFollowCursor()
{
    m_editor->textArea()->setHtml(QStringLiteral(
        "<p>left</p><p align=\"center\"><span style=\"font-size:18pt\">big</span> "
        "<span style=\"font-size:13pt\">odd</span></p>"));
    QAction *left = action(QStringLiteral("&Left"));
    QAction *center = action(QStringLiteral("C&enter"));
    placeCursor(7);
    QVERIFY(center->isChecked());
    QVERIFY(!left->isChecked() && !action(QStringLiteral("&Right"))->isChecked()
            && !action(QStringLiteral("&Justify"))->isChecked());
    placeCursor(1);
    QVERIFY(left->isChecked() && !center->isChecked());

    // The size box follows too, and shows no entry for a size it lacks.
    auto *size = m_editor->findChild<QComboBox *>(QStringLiteral("comboSize"));
    placeCursor(7);
    QCOMPARE(size->currentText(), QStringLiteral("18"));
    placeCursor(11);
    QCOMPARE(size->currentIndex(), -1);
}

void TestTextEdit::listStyles()
{
    m_editor->textArea()->setPlainText(QStringLiteral("first\nsecond"));
    QTextCursor cursor(m_editor->textArea()->document());
    cursor.setPosition(8); // in "second"
    QTextBlockFormat indented = cursor.blockFormat();
    indented.setIndent(1);
    cursor.setBlockFormat(indented);
    m_editor->textArea()->setTextCursor(cursor);

    QComboBox *styles = nullptr;
    for (QComboBox *box : m_editor->findChildren<QComboBox *>()) {
        if (box->itemText(8) == QLatin1String("Ordered List (Roman upper)"))
            styles = box;
    }
    QVERIFY(styles);
    Q_EMIT styles->activated(8);
    QTextList *list = m_editor->textArea()->textCursor().currentList();
    QVERIFY(list);
    QCOMPARE(list->format().style(), QTextListFormat::ListUpperRoman);
    QCOMPARE(list->format().indent(), 2);
    QCOMPARE(m_editor->textArea()->textCursor().blockFormat().indent(), 0);
    QVERIFY(!m_editor->textArea()->document()->firstBlock().textList());

    // "Standard" takes the paragraph out of its list, as one undoable step.
    Q_EMIT styles->activated(0);
    QVERIFY(!m_editor->textArea()->textCursor().currentList());
    QCOMPARE(m_editor->textArea()->toPlainText(), QStringLiteral("first\nsecond"));
    m_editor->textArea()->undo();
    QVERIFY(m_editor->textArea()->textCursor().block().textList());
}

QTEST_MAIN(TestTextEdit)
#include "tst_textedit.moc"
