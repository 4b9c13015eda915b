#include "editor/textedit.h"

#include "editor/ctextcheckeredit.h"

#include "modaldriver.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextList>
#include <QToolBar>
#include <QtTest>

#include <memory>

// The editor window on real files in a temporary folder, with its file
// dialogs and message boxes answered through the widgets a user would use.
class TestTextEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void toolbarsInOrder();
    void actionsHaveTheirShortcutsAndIcons_data();
    void actionsHaveTheirShortcutsAndIcons();
    void startsWithDefaultDocument();
    void savingDefaultDocumentWritesPlainText();
    void saveAsFollowsSuffixRule_data();
    void saveAsFollowsSuffixRule();
    void cancelledSaveAsSavesNothing();
    void saveDefaultCreatesDictationAtOnce();
    void saveDefaultContinuesEarlierDictation();
    void saveDefaultAsksBeforeLeavingUnsavedWork_data();
    void saveDefaultAsksBeforeLeavingUnsavedWork();
    void failedSaveLeavesDocumentModified_data();
    void failedSaveLeavesDocumentModified();
    void saveReplacesFileWithoutLeftovers();
    void pdfExport_data();
    void pdfExport();
    void loadDecidesBetweenHtmlAndPlainText_data();
    void loadDecidesBetweenHtmlAndPlainText();
    void failedLoadChangesNothingAndOpenLoads();
    void unmodifiedKeysReachThePlayer_data();
    void unmodifiedKeysReachThePlayer();
    void closeAsksAboutUnsavedChanges_data();
    void closeAsksAboutUnsavedChanges();
    void editActionsFollowTheDocument();
    void printDialogOffersSelection();

    void boldWithoutSelectionBoldsTheWord();
    void sizeBoxAppliesOnlyPositiveNumbers_data();
    void sizeBoxAppliesOnlyPositiveNumbers();
    void sizeBoxFollowsCursor();
    void alignmentFollowsCursor();
    void listStyles();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    static QByteArray readFile(const QString &name);
    static void writeFile(const QString &name, const QByteArray &bytes);
    QAction *action(const QString &text) const;
    QComboBox *styleBox() const;
    // Answers the next file dialog with name (empty: cancels it).
    static std::unique_ptr<ModalDriver> answerFileDialog(const QString &name);
    // Answers every unsaved-changes prompt with button and counts them.
    static std::unique_ptr<ModalDriver> answerPrompt(QMessageBox::StandardButton button);
    void typeDocument(const QString &text);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TextEdit> m_editor;
};

void TestTextEdit::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_editor = std::make_unique<TextEdit>();
    m_editor->resize(610, 400);
    m_editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
}

void TestTextEdit::cleanup()
{
    // Nothing may ask on the way out.
    m_editor->textArea()->document()->setModified(false);
    m_editor.reset();
    m_dir.reset();
}

QByteArray TestTextEdit::readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestTextEdit::writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QAction *TestTextEdit::action(const QString &text) const
{
    const QList<QAction *> actions = m_editor->findChildren<QAction *>();
    for (QAction *a : actions) {
        // The text area's context menu has actions of the same names.
        if (a->text() == text && a->parent() != m_editor->textArea())
            return a;
    }
    return nullptr;
}

QComboBox *TestTextEdit::styleBox() const
{
    const QList<QComboBox *> boxes = m_editor->findChildren<QComboBox *>();
    for (QComboBox *box : boxes) {
        if (box->itemText(0) == QLatin1String("Standard"))
            return box;
    }
    return nullptr;
}

std::unique_ptr<ModalDriver> TestTextEdit::answerFileDialog(const QString &name)
{
    return std::make_unique<ModalDriver>([name](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return false;
        if (name.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(name);
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept, which is protected
        }
        return true;
    });
}

std::unique_ptr<ModalDriver> TestTextEdit::answerPrompt(QMessageBox::StandardButton button)
{
    return std::make_unique<ModalDriver>([button](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return false;
        if (box->windowTitle() != QLatin1String("Application")
            || !box->text().startsWith(QLatin1String("The document has been modified."))) {
            box->reject();
            return false;
        }
        box->button(button)->click();
        return true;
    });
}

void TestTextEdit::typeDocument(const QString &text)
{
    m_editor->textArea()->setFocus();
    QTest::keyClicks(m_editor->textArea(), text);
    QVERIFY(m_editor->textArea()->document()->isModified());
}

void TestTextEdit::toolbarsInOrder()
{
    QStringList titles;
    QList<QToolBar *> bars;
    // Toolbars in one area are laid out in the order they were added.
    for (QToolBar *bar : m_editor->findChildren<QToolBar *>()) {
        if (m_editor->toolBarArea(bar) == Qt::TopToolBarArea)
            bars << bar;
    }
    std::sort(bars.begin(), bars.end(), [](QToolBar *a, QToolBar *b) {
        return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
    });
    for (QToolBar *bar : bars)
        titles << bar->windowTitle();
    QCOMPARE(titles, (QStringList{"File Actions", "Edit Actions", "Format Actions", "Format Actions",
                                  "Vantiro Actions"}));
    // The second format toolbar starts the second row.
    QVERIFY(m_editor->toolBarBreak(bars.at(3)));
    QCOMPARE(bars.at(3)->y(), bars.at(4)->y());
    QVERIFY(bars.at(3)->y() > bars.at(0)->y());
    QCOMPARE(bars.at(3)->allowedAreas(), Qt::TopToolBarArea | Qt::BottomToolBarArea);
    QCOMPARE(m_editor->toolButtonStyle(), Qt::ToolButtonFollowStyle);
    QCOMPARE(m_editor->centralWidget(), m_editor->textArea());
}

void TestTextEdit::actionsHaveTheirShortcutsAndIcons_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<QString>("picture");

    QTest::newRow("new") << "&New" << QKeySequence(QKeySequence::New) << "filenew.png";
    QTest::newRow("open") << "&Open..." << QKeySequence(QKeySequence::Open) << "fileopen.png";
    QTest::newRow("save") << "&Save" << QKeySequence(QKeySequence::Save) << "filesave.png";
    QTest::newRow("print") << "&Print..." << QKeySequence(QKeySequence::Print) << "fileprint.png";
    QTest::newRow("pdf") << "&Export PDF..." << QKeySequence(Qt::CTRL | Qt::Key_D) << "exportpdf.png";
    QTest::newRow("undo") << "&Undo" << QKeySequence(QKeySequence::Undo) << "editundo.png";
    QTest::newRow("redo") << "&Redo" << QKeySequence(QKeySequence::Redo) << "editredo.png";
    QTest::newRow("cut") << "Cu&t" << QKeySequence(QKeySequence::Cut) << "editcut.png";
    QTest::newRow("copy") << "&Copy" << QKeySequence(QKeySequence::Copy) << "editcopy.png";
    QTest::newRow("paste") << "&Paste" << QKeySequence(QKeySequence::Paste) << "editpaste.png";
    QTest::newRow("bold") << "&Bold" << QKeySequence(Qt::CTRL | Qt::Key_B) << "textbold.png";
    QTest::newRow("italic") << "&Italic" << QKeySequence(Qt::CTRL | Qt::Key_I) << "textitalic.png";
    QTest::newRow("underline") << "&Underline" << QKeySequence(Qt::CTRL | Qt::Key_U) << "textunder.png";
    QTest::newRow("left") << "&Left" << QKeySequence(Qt::CTRL | Qt::Key_L) << "textleft.png";
    QTest::newRow("center") << "C&enter" << QKeySequence(Qt::CTRL | Qt::Key_E) << "textcenter.png";
    QTest::newRow("right") << "&Right" << QKeySequence(Qt::CTRL | Qt::Key_R) << "textright.png";
    QTest::newRow("justify") << "&Justify" << QKeySequence(Qt::CTRL | Qt::Key_J) << "textjustify.png";
    QTest::newRow("color") << "&Color..." << QKeySequence() << "";
    QTest::newRow("spell check") << "&SpellCheck" << QKeySequence() << "checkSpell.png";
    QTest::newRow("phonetic lookup") << "&PhoneticLookup" << QKeySequence() << "dict.png";
    QTest::newRow("diff") << "&DiffText" << QKeySequence() << "diff.png";
}

void TestTextEdit::actionsHaveTheirShortcutsAndIcons()
{
    QFETCH(QString, text);
    QFETCH(QKeySequence, shortcut);
    QFETCH(QString, picture);

    QAction *a = action(text);
    QVERIFY(a);
    QCOMPARE(a->shortcut(), shortcut);
    QVERIFY(!a->icon().isNull());
    if (!picture.isEmpty()) {
        // The staged picture exists; the icon is the theme's or this one.
        const QImage image(QStringLiteral("./skin/default/images/win/") + picture);
        QVERIFY2(!image.isNull(), qPrintable(picture));
        QVERIFY(image.width() >= 24 && image.height() >= 24);
    }
}

void TestTextEdit::startsWithDefaultDocument()
{
    QCOMPARE(m_editor->currentFileName(), QStringLiteral("./skin/default/kestrelbox.txt"));
    QCOMPARE(m_editor->windowTitle(), QStringLiteral("kestrelbox.txt[*] - Rich Text"));
    QVERIFY(m_editor->textArea()->toPlainText().contains(QLatin1String("dictation")));
    QVERIFY(!m_editor->textArea()->document()->isModified());
    QVERIFY(!action(QStringLiteral("&Save"))->isEnabled());
}

void TestTextEdit::savingDefaultDocumentWritesPlainText()
{
    // In a folder of its own, so that the staged document stays as it is.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("skin/default")));
    writeFile(path(QStringLiteral("skin/default/kestrelbox.txt")), "Hello there\n");
    QVERIFY(QDir::setCurrent(m_dir->path()));
    TextEdit editor;
    QDir::setCurrent(previous);
    QCOMPARE(editor.textArea()->toPlainText(), QStringLiteral("Hello there\n"));

    QVERIFY(QDir::setCurrent(m_dir->path()));
    editor.textArea()->moveCursor(QTextCursor::End);
    editor.textArea()->insertPlainText(QStringLiteral("more"));
    const bool saved = editor.fileSave();
    QDir::setCurrent(previous);
    QVERIFY(saved);
    QCOMPARE(readFile(path(QStringLiteral("skin/default/kestrelbox.txt"))), QByteArray("Hello there\nmore"));
}

void TestTextEdit::saveAsFollowsSuffixRule_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("start"); // the file's first bytes tell its format

    QTest::newRow("txt in capitals is plain text") << "notes.TXT" << "notes.TXT" << QByteArray("Dictation");
    QTest::newRow("rtf becomes html") << "notes.rtf" << "notes.rtf.html" << QByteArray("<!DOCTYPE HTML");
    QTest::newRow("no suffix becomes html") << "notes" << "notes.html" << QByteArray("<!DOCTYPE HTML");
    QTest::newRow("htm stays") << "notes.htm" << "notes.htm" << QByteArray("<!DOCTYPE HTML");
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
    QCOMPARE(driver->handled(), 1);

    QCOMPARE(m_editor->currentFileName(), path(written));
    QCOMPARE(m_editor->windowTitle(), written + QLatin1String("[*] - Rich Text"));
    QVERIFY(!m_editor->textArea()->document()->isModified());
    const QByteArray bytes = readFile(path(written));
    QVERIFY2(bytes.startsWith(start), bytes.left(40).constData());
    if (written.endsWith(QLatin1String("TXT")))
        QCOMPARE(bytes, QByteArray("Dictation one caf\xc3\xa9"));
    else if (start.startsWith('<'))
        QVERIFY(bytes.contains("charset=\"utf-8\"") && bytes.contains("caf\xc3\xa9"));
    if (chosen != written)
        QVERIFY(!QFile::exists(path(chosen)));
}

void TestTextEdit::cancelledSaveAsSavesNothing()
{
    typeDocument(QStringLiteral("x"));
    const QString before = m_editor->currentFileName();
    const auto driver = answerFileDialog(QString());
    QVERIFY(!m_editor->fileSaveAs());
    QCOMPARE(driver->handled(), 1);
    QCOMPARE(m_editor->currentFileName(), before);
    QVERIFY(m_editor->textArea()->document()->isModified());
}

void TestTextEdit::saveDefaultCreatesDictationAtOnce()
{
    QSignalSpy modified(m_editor->textArea()->document(), &QTextDocument::modificationChanged);
    m_editor->fileNew();
    QVERIFY(m_editor->textArea()->toPlainText().isEmpty());

    QVERIFY(m_editor->fileSaveDefault(path(QStringLiteral("talk.avi"))));
    QVERIFY(QFile::exists(path(QStringLiteral("talk.avi.html"))));
    QVERIFY(readFile(path(QStringLiteral("talk.avi.html"))).startsWith("<!DOCTYPE HTML"));
    QCOMPARE(m_editor->currentFileName(), path(QStringLiteral("talk.avi.html")));
    QCOMPARE(m_editor->windowTitle(), QStringLiteral("talk.avi.html[*] - Rich Text"));
    QVERIFY(!m_editor->textArea()->document()->isModified());

    // Later saves go to the same file.
    typeDocument(QStringLiteral("heard"));
    QVERIFY(m_editor->fileSave());
    QVERIFY(readFile(path(QStringLiteral("talk.avi.html"))).contains("heard"));
}

void TestTextEdit::saveDefaultContinuesEarlierDictation()
{
    const QByteArray earlier = "<html><body><p>earlier <b>work</b></p></body></html>";
    writeFile(path(QStringLiteral("lesson.mp4.html")), earlier);
    m_editor->textArea()->setPlainText(QStringLiteral("the default text"));
    m_editor->textArea()->document()->setModified(false);

    const auto prompt = answerPrompt(QMessageBox::Discard);
    QVERIFY(m_editor->fileSaveDefault(path(QStringLiteral("lesson.mp4"))));
    QCOMPARE(prompt->handled(), 0); // nothing unsaved, nothing to ask
    QCOMPARE(readFile(path(QStringLiteral("lesson.mp4.html"))), earlier);
    QCOMPARE(m_editor->textArea()->toPlainText(), QStringLiteral("earlier work"));
    QCOMPARE(m_editor->currentFileName(), path(QStringLiteral("lesson.mp4.html")));
    QCOMPARE(m_editor->windowTitle(), QStringLiteral("lesson.mp4.html[*] - Rich Text"));
}

void TestTextEdit::saveDefaultAsksBeforeLeavingUnsavedWork_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("shown");
    QTest::newRow("discard loads the earlier dictation")
        << int(QMessageBox::Discard) << true << "earlier work";
    QTest::newRow("cancel keeps the unsaved work")
        << int(QMessageBox::Cancel) << false << "unsaved";
    QTest::newRow("save keeps the work and then loads")
        << int(QMessageBox::Save) << true << "earlier work";
}

void TestTextEdit::saveDefaultAsksBeforeLeavingUnsavedWork()
{
    QFETCH(int, answer);
    QFETCH(bool, result);
    QFETCH(QString, shown);

    const QByteArray earlier = "<html><body><p>earlier <b>work</b></p></body></html>";
    writeFile(path(QStringLiteral("lesson.mp4.html")), earlier);
    m_editor->textArea()->clear();
    QVERIFY(m_editor->fileSaveDefault(path(QStringLiteral("first.mp4"))));
    typeDocument(QStringLiteral("unsaved"));

    const auto prompt = answerPrompt(QMessageBox::StandardButton(answer));
    QCOMPARE(m_editor->fileSaveDefault(path(QStringLiteral("lesson.mp4"))), result);
    QCOMPARE(prompt->handled(), 1);
    QCOMPARE(readFile(path(QStringLiteral("lesson.mp4.html"))), earlier);
    QCOMPARE(m_editor->textArea()->toPlainText(), shown);
    const bool saved = readFile(path(QStringLiteral("first.mp4.html"))).contains("unsaved");
    QCOMPARE(saved, answer == QMessageBox::Save);
    QCOMPARE(m_editor->currentFileName(),
             path(result ? QStringLiteral("lesson.mp4.html") : QStringLiteral("first.mp4.html")));
}

void TestTextEdit::failedSaveLeavesDocumentModified_data()
{
    QTest::addColumn<QString>("media");
    // Running as root, permissions stop nothing; folders that cannot hold
    // a file do.
    QTest::newRow("missing folder") << "no/such/folder/talk.avi";
    QTest::newRow("folder is a file") << "plain.txt/talk.avi";
}

void TestTextEdit::failedSaveLeavesDocumentModified()
{
    QFETCH(QString, media);
    writeFile(path(QStringLiteral("plain.txt")), "x");
    m_editor->textArea()->setPlainText(QStringLiteral("heard"));
    m_editor->textArea()->document()->setModified(false);

    QVERIFY(!m_editor->fileSaveDefault(path(media)));
    QCOMPARE(m_editor->currentFileName(), path(media + QLatin1String(".html")));
    QVERIFY(m_editor->textArea()->document()->isModified());
    QVERIFY(m_editor->isWindowModified());
    QVERIFY(action(QStringLiteral("&Save"))->isEnabled());
    QVERIFY(!m_editor->fileSave());
    QVERIFY(m_editor->textArea()->document()->isModified());
}

void TestTextEdit::saveReplacesFileWithoutLeftovers()
{
    writeFile(path(QStringLiteral("old.html")), "<html><body>old text that is long</body></html>");
    QVERIFY(m_editor->load(path(QStringLiteral("old.html"))));
    m_editor->textArea()->setPlainText(QStringLiteral("new"));
    QVERIFY(m_editor->fileSave());
    const QByteArray bytes = readFile(path(QStringLiteral("old.html")));
    QVERIFY(bytes.contains("new"));
    QVERIFY(!bytes.contains("old text"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("old.html")});
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
    if (chosen != written)
        QVERIFY(!QFile::exists(path(chosen)));
}

void TestTextEdit::loadDecidesBetweenHtmlAndPlainText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("boldAtOne");

    QTest::newRow("html") << QByteArray("<html><body><b>bold</b> word</body></html>") << "bold word" << true;
    QTest::newRow("html with utf-8 declaration")
        << QByteArray("<html><head><meta charset=\"utf-8\"></head><body><b>Gr\xc3\xbc\xc3\x9f" "e</b></body></html>")
        << QString::fromUtf8("Grüße") << true;
    QTest::newRow("html without declaration is latin-1")
        << QByteArray("<html><body>caf\xe9</body></html>") << QString::fromUtf8("café") << false;
    QTest::newRow("plain text keeps its markup-like signs")
        << QByteArray("x < 3, y > 4\nsecond line") << "x < 3, y > 4\nsecond line" << false;
    QTest::newRow("plain text in the local 8-bit encoding")
        << QByteArray("Gr\xc3\xbc\xc3\x9f" "e\n<b>") << QString::fromUtf8("Grüße\n<b>") << false;
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
    QVERIFY(!m_editor->textArea()->document()->isModified());
}

void TestTextEdit::failedLoadChangesNothingAndOpenLoads()
{
    m_editor->textArea()->setPlainText(QStringLiteral("kept"));
    QVERIFY(!m_editor->load(path(QStringLiteral("missing.html"))));
    QVERIFY(!m_editor->load(m_dir->path())); // a folder cannot be read
    QCOMPARE(m_editor->textArea()->toPlainText(), QStringLiteral("kept"));
    QCOMPARE(m_editor->currentFileName(), QStringLiteral("./skin/default/kestrelbox.txt"));

    // Through the open dialog.
    writeFile(path(QStringLiteral("opened.htm")), "<p>opened</p>");
    const auto driver = answerFileDialog(path(QStringLiteral("opened.htm")));
    m_editor->fileOpen();
    QCOMPARE(driver->handled(), 1);
    QCOMPARE(m_editor->textArea()->toPlainText(), QStringLiteral("opened"));
    QCOMPARE(m_editor->currentFileName(), path(QStringLiteral("opened.htm")));
}

void TestTextEdit::unmodifiedKeysReachThePlayer_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QList<int>>("delegated");
    QTest::addColumn<QString>("typed");

    QTest::newRow("F2") << int(Qt::Key_F2) << int(Qt::NoModifier) << QList<int>{0x01000031} << "";
    QTest::newRow("F5") << int(Qt::Key_F5) << int(Qt::NoModifier) << QList<int>{0x01000034} << "";
    QTest::newRow("Ctrl+F2") << int(Qt::Key_F2) << int(Qt::ControlModifier) << QList<int>{} << "";
    QTest::newRow("Shift+F2") << int(Qt::Key_F2) << int(Qt::ShiftModifier) << QList<int>{} << "";
    QTest::newRow("printable key") << int(Qt::Key_A) << int(Qt::NoModifier) << QList<int>{} << "a";
    QTest::newRow("space") << int(Qt::Key_Space) << int(Qt::NoModifier) << QList<int>{} << " ";
}

void TestTextEdit::unmodifiedKeysReachThePlayer()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QList<int>, delegated);
    QFETCH(QString, typed);

    m_editor->fileNew();
    m_editor->activateWindow();
    m_editor->textArea()->setFocus();
    QSignalSpy spy(m_editor.get(), &TextEdit::keyDelegate);
    QTest::keyClick(m_editor->textArea(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QList<int> got;
    for (const QList<QVariant> &args : spy)
        got << args.at(0).toInt();
    QCOMPARE(got, delegated);
    QCOMPARE(m_editor->textArea()->toPlainText(), typed);
}

void TestTextEdit::closeAsksAboutUnsavedChanges_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("cancel keeps the window") << int(QMessageBox::Cancel) << false;
    QTest::newRow("discard closes") << int(QMessageBox::Discard) << true;
}

void TestTextEdit::closeAsksAboutUnsavedChanges()
{
    QFETCH(int, answer);
    QFETCH(bool, closed);
    typeDocument(QStringLiteral("x"));
    const auto prompt = answerPrompt(QMessageBox::StandardButton(answer));
    QCOMPARE(m_editor->close(), closed);
    QCOMPARE(prompt->handled(), 1);
    QCOMPARE(m_editor->isVisible(), !closed);

    // An unmodified document closes without a question.
    m_editor->show();
    m_editor->textArea()->document()->setModified(false);
    QVERIFY(m_editor->close());
    QCOMPARE(prompt->handled(), 1);
}

void TestTextEdit::editActionsFollowTheDocument()
{
    m_editor->fileNew();
    QCOMPARE(m_editor->windowTitle(), QStringLiteral("untitled.html[*] - Rich Text"));
    QAction *save = action(QStringLiteral("&Save"));
    QAction *undo = action(QStringLiteral("&Undo"));
    QAction *cut = action(QStringLiteral("Cu&t"));
    QAction *copy = action(QStringLiteral("&Copy"));
    QVERIFY(!save->isEnabled());
    QVERIFY(!undo->isEnabled());
    QVERIFY(!cut->isEnabled());

    typeDocument(QStringLiteral("word"));
    QVERIFY(save->isEnabled());
    QVERIFY(undo->isEnabled());
    QVERIFY(m_editor->isWindowModified());
    m_editor->textArea()->selectAll();
    QVERIFY(cut->isEnabled());
    QVERIFY(copy->isEnabled());
    undo->trigger();
    QVERIFY(m_editor->textArea()->toPlainText().isEmpty());
    QVERIFY(action(QStringLiteral("&Redo"))->isEnabled());
}

void TestTextEdit::printDialogOffersSelection()
{
    m_editor->textArea()->setPlainText(QStringLiteral("print me"));
    bool offered = false;
    QString title;
    const auto driver = std::make_unique<ModalDriver>([&](QWidget *modal) {
        auto *dialog = qobject_cast<QPrintDialog *>(modal);
        if (!dialog)
            return false;
        title = dialog->windowTitle();
        offered = dialog->testOption(QAbstractPrintDialog::PrintSelection);
        dialog->reject();
        return true;
    });
    m_editor->filePrint();
    QCOMPARE(driver->handled(), 1);
    QCOMPARE(title, QStringLiteral("Print Document"));
    QVERIFY(!offered);

    m_editor->textArea()->selectAll();
    m_editor->filePrint();
    QCOMPARE(driver->handled(), 2);
    QVERIFY(offered);
}

void TestTextEdit::boldWithoutSelectionBoldsTheWord()
{
    m_editor->textArea()->setPlainText(QStringLiteral("hello world again"));
    QTextCursor cursor(m_editor->textArea()->document());
    cursor.setPosition(8); // inside "world"
    m_editor->textArea()->setTextCursor(cursor);

    action(QStringLiteral("&Bold"))->trigger();
    QTextCursor probe(m_editor->textArea()->document());
    for (int pos = 1; pos <= 17; ++pos) {
        probe.setPosition(pos);
        const bool inWorld = pos > 6 && pos <= 11;
        QCOMPARE(probe.charFormat().fontWeight() == QFont::Bold, inWorld);
    }
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
    QTest::newRow("negative") << "-4" << false;
    QTest::newRow("listed size") << "20" << true;
    QTest::newRow("unlisted size") << "13" << true;
}

void TestTextEdit::sizeBoxAppliesOnlyPositiveNumbers()
{
    QFETCH(QString, typed);
    QFETCH(bool, applied);

    m_editor->textArea()->setPlainText(QStringLiteral("some text"));
    const qreal before = m_editor->textArea()->document()->defaultFont().pointSizeF();
    QTextCursor cursor(m_editor->textArea()->document());
    cursor.setPosition(2);
    m_editor->textArea()->setTextCursor(cursor);

    auto *size = m_editor->findChild<QComboBox *>(QStringLiteral("comboSize"));
    QVERIFY(size && size->isEditable());
    size->lineEdit()->selectAll();
    QTest::keyClicks(size->lineEdit(), typed);
    QTest::keyClick(size->lineEdit(), Qt::Key_Return);

    QTextCursor probe(m_editor->textArea()->document());
    probe.setPosition(3);
    const qreal after = probe.charFormat().font().pointSizeF();
    QCOMPARE(after, applied ? typed.toDouble() : before);
}

void TestTextEdit::sizeBoxFollowsCursor()
{
    auto *size = m_editor->findChild<QComboBox *>(QStringLiteral("comboSize"));
    m_editor->textArea()->setHtml(
        QStringLiteral("<p><span style=\"font-size:18pt\">big</span> <span style=\"font-size:13pt\">odd</span></p>"));
    QTextCursor cursor(m_editor->textArea()->document());
    cursor.setPosition(2);
    m_editor->textArea()->setTextCursor(cursor);
    QCOMPARE(size->currentText(), QStringLiteral("18"));
    cursor.setPosition(6);
    m_editor->textArea()->setTextCursor(cursor);
    QCOMPARE(size->currentIndex(), -1); // 13 is not a standard size
}

void TestTextEdit::alignmentFollowsCursor()
{
    m_editor->textArea()->setHtml(QStringLiteral("<p>left</p><p align=\"center\">middle</p><p align=\"justify\">both</p>"));
    QAction *left = action(QStringLiteral("&Left"));
    QAction *center = action(QStringLiteral("C&enter"));
    QAction *right = action(QStringLiteral("&Right"));
    QAction *justify = action(QStringLiteral("&Justify"));
    QTextCursor cursor(m_editor->textArea()->document());

    cursor.setPosition(7);
    m_editor->textArea()->setTextCursor(cursor);
    QVERIFY(center->isChecked());
    QVERIFY(!left->isChecked() && !right->isChecked() && !justify->isChecked());

    cursor.setPosition(13);
    m_editor->textArea()->setTextCursor(cursor);
    QVERIFY(justify->isChecked());
    QVERIFY(!center->isChecked());

    cursor.setPosition(1);
    m_editor->textArea()->setTextCursor(cursor);
    QVERIFY(left->isChecked());

    right->trigger();
    QCOMPARE(m_editor->textArea()->alignment(), Qt::AlignRight | Qt::AlignAbsolute);
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

    QComboBox *styles = styleBox();
    QVERIFY(styles);
    QCOMPARE(styles->count(), 9);
    Q_EMIT styles->activated(8); // "Ordered List (Roman upper)"
    QTextList *list = m_editor->textArea()->textCursor().currentList();
    QVERIFY(list);
    QCOMPARE(list->format().style(), QTextListFormat::ListUpperRoman);
    QCOMPARE(list->format().indent(), 2);
    QCOMPARE(m_editor->textArea()->textCursor().blockFormat().indent(), 0);
    QVERIFY(!m_editor->textArea()->document()->firstBlock().textList());

    // Another style on a list item restyles the list it is in.
    Q_EMIT styles->activated(2);
    list = m_editor->textArea()->textCursor().currentList();
    QVERIFY(list);
    QCOMPARE(list->format().style(), QTextListFormat::ListCircle);
    QCOMPARE(list->format().indent(), 2);

    // "Standard" takes the paragraph out of its list; one undo brings it back.
    Q_EMIT styles->activated(0);
    QVERIFY(!m_editor->textArea()->textCursor().currentList());
    QCOMPARE(m_editor->textArea()->toPlainText(), QStringLiteral("first\nsecond"));
    m_editor->textArea()->undo();
    QVERIFY(m_editor->textArea()->textCursor().block().textList());
}

QTEST_MAIN(TestTextEdit)
#include "tst_textedit.moc"
