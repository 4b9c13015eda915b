#include "editor/comparisonsection.h"

#include "diff/diffdialog.h"
#include "diff/wordreport.h"
#include "editor/ctextcheckeredit.h"
#include "editor/documentfile.h"
#include "editor/spellcheckdialog.h"
#include "editor/textedit.h"

#include "modaldriver.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextDocument>
#include <QtTest>

#include <memory>

// Comparing the dictation from the editor with a reference file beside the
// media file, and keeping the comparison at the end of the dictation.
class TestComparisonSection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void comparisonIsSavedWithTheDictation();
    void cuesAsReference();
    void referenceImportedInTheDialogIsRemembered();
    void spellCheckEndsBeforeTheComparison();
    void textTypedAfterTheComparisonIsKept();
    void sectionOfAnEarlierFileRunsToTheEnd();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QAction *compareAction() const;
    // The comparison dialog the editor opened last.
    DiffDialog *lastDialog() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TextEdit> m_editor;
};

void TestComparisonSection::initTestCase()
{
    // The remembered references go to a settings file of the tests' own.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void TestComparisonSection::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_editor = std::make_unique<TextEdit>();
    QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
}

void TestComparisonSection::cleanup()
{
    m_editor->textArea()->document()->setModified(false);
    m_editor.reset();
    m_dir.reset();
}

namespace {

// The pieces of text drawn in a mark's colour, each followed by "|".
QString inColour(const QTextDocument &document, WordReport::Mark mark)
{
    QString text;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().foreground().color() == QColor(WordReport::colour(mark)))
                text += it.fragment().text() + "|";
        }
    }
    return text;
}

} // namespace

QAction *TestComparisonSection::compareAction() const
{
    for (QAction *a : m_editor->findChildren<QAction *>()) {
        if (a->text() == QLatin1String("Compare with reference"))
            return a;
    }
    return nullptr;
}

DiffDialog *TestComparisonSection::lastDialog() const
{
    const QList<DiffDialog *> dialogs = m_editor->findChildren<DiffDialog *>();
    return dialogs.isEmpty() ? nullptr : dialogs.last();
}

void TestComparisonSection::comparisonIsSavedWithTheDictation()
{
    QVERIFY(QDir().mkpath(path("lessons")));
    const QString media = path("lessons/lesson.mp4");
    const QString reference = path("lessons/lesson.srt");
    {
        QFile file(reference);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("1\n00:00:01,000 --> 00:00:02,000\nI like cats.\n\n"
                   "2\n00:00:03,000 --> 00:00:05,000\nThey drink milk.\n\n");
    }
    QVERIFY(m_editor->fileSaveDefault(media));
    m_editor->textArea()->setPlainText("I like the cats.\nThey drinks milk.");

    // The first time the reference is asked for, starting beside the media.
    QString openedIn;
    QStringList filters;
    ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return false;
        openedIn = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        ModalDriver::openFile(dialog, reference);
        return true;
    });
    QVERIFY(compareAction());
    compareAction()->trigger();
    QCOMPARE(driver.handled(), 1);
    QCOMPARE(openedIn, path("lessons"));
    QVERIFY2(filters.first().contains("*.srt") && filters.first().contains("*.vtt")
                 && filters.first().contains("*.html") && filters.first().contains("*.txt"),
             qPrintable(filters.join(';')));

    DiffDialog *dialog = lastDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->wordScore());
    const WordCounts first = dialog->wordScore()->total();
    QCOMPARE(first.referenceWords, 6);
    QCOMPARE(first.correct, 5);
    QCOMPARE(first.inserted, 1);
    QCOMPARE(first.substituted, 1);
    QCOMPARE(dialog->wordScore()->lines().size(), 2);

    auto *save = dialog->findChild<QPushButton *>("saveComparison");
    QVERIFY(save && save->isEnabled());
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY(!m_editor->textArea()->document()->isModified());
    QCOMPARE(dialog->findChild<QLabel *>("saveStatus")->text(), QString("Saved at the end of lesson.mp4.html."));

    // Read back: the dictation, then the comparison with its marks.
    auto readBack = [&] {
        QFile file(media + ".html");
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return documentfile::decode(file.readAll()).text;
    };
    QString saved = readBack();
    QVERIFY(saved.contains(WordReport::sectionAnchor()));
    QTextDocument document;
    document.setHtml(saved);
    QCOMPARE(document.toPlainText().count("Comparison with the reference"), 1);
    QCOMPARE(inColour(document, WordReport::ExtraMark), QString("the|word|"));
    QCOMPARE(inColour(document, WordReport::WrongMark), QString("drinks| drink|word| right|"));
    QCOMPARE(comparisonsection::dictationText(document), QString("I like the cats.\nThey drinks milk."));
    QVERIFY2(document.toPlainText().contains(WordReport::summaryText(first)), qPrintable(document.toPlainText()));

    // Loaded again and corrected, the dictation is compared without its
    // saved comparison, with the remembered reference and no question.
    QVERIFY(m_editor->load(media + ".html"));
    QTextCursor cursor = m_editor->textArea()->document()->find("drinks");
    QVERIFY(!cursor.isNull());
    cursor.insertText("drink");
    compareAction()->trigger();
    QCOMPARE(driver.handled(), 1);
    dialog = lastDialog();
    QCOMPARE(dialog->wordScore()->total().substituted, 0);
    QCOMPARE(dialog->wordScore()->total().inserted, 1);
    QTest::mouseClick(dialog->findChild<QPushButton *>("saveComparison"), Qt::LeftButton);

    // The new comparison takes the old one's place.
    saved = readBack();
    document.setHtml(saved);
    QCOMPARE(document.toPlainText().count("Comparison with the reference"), 1);
    QCOMPARE(comparisonsection::dictationText(document), QString("I like the cats.\nThey drink milk."));
    QCOMPARE(inColour(document, WordReport::WrongMark), QString("word| right|")); // the legend's
}

void TestComparisonSection::cuesAsReference()
{
    m_editor->textArea()->document()->setModified(false);
    m_editor->fileNew();
    m_editor->textArea()->setPlainText("Good morning. How are you");
    m_editor->compareWithReferenceLines({"Good morning.", "How are you?", "Fine, thanks."});
    DiffDialog *dialog = lastDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->wordScore());
    const QList<LineScore> &lines = dialog->wordScore()->lines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[2].reference, QString("Fine, thanks."));
    QCOMPARE(lines[2].counts.deleted, 2);
    QCOMPARE(dialog->wordScore()->total().correct, 5);

    // An untitled dictation asks for a name; without one nothing is saved.
    ModalDriver cancel([](QWidget *modal) {
        auto *files = qobject_cast<QFileDialog *>(modal);
        if (!files)
            return false;
        files->reject();
        return true;
    });
    QTest::mouseClick(dialog->findChild<QPushButton *>("saveComparison"), Qt::LeftButton);
    QCOMPARE(cancel.handled(), 1);
    QCOMPARE(dialog->findChild<QLabel *>("saveStatus")->text(), QString("Not saved."));
    QVERIFY(m_editor->textArea()->document()->isModified());
}

void TestComparisonSection::referenceImportedInTheDialogIsRemembered()
{
    QVERIFY(QDir().mkpath(path("course/unit1")));
    const QString media = path("course/unit1/talk.mkv");
    const QString reference = path("course/unit1/talk.en.vtt");
    {
        QFile file(reference);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("WEBVTT\n\n00:01.000 --> 00:02.000\n<v Ann>Hello, Tom.</v>\n\n"
                   "00:02.000 --> 00:04.000\nHow was <i>your</i> trip?\n");
    }
    QVERIFY(m_editor->fileSaveDefault(media));
    m_editor->textArea()->setPlainText("hello tom how was you trip");

    // The plain comparison imports B from the media file's folder.
    m_editor->diffText();
    DiffDialog *dialog = lastDialog();
    QVERIFY(dialog);
    QString openedIn;
    ModalDriver driver([&](QWidget *modal) {
        auto *files = qobject_cast<QFileDialog *>(modal);
        if (!files)
            return false;
        openedIn = files->directory().absolutePath();
        ModalDriver::openFile(files, reference);
        return true;
    });
    QTest::mouseClick(dialog->findChild<QPushButton *>("outputTarget"), Qt::LeftButton);
    QCOMPARE(driver.handled(), 1);
    QCOMPARE(openedIn, path("course/unit1"));
    QCOMPARE(dialog->findChild<QTextEdit *>("targetFile")->toPlainText(), QString("Hello, Tom.\nHow was your trip?"));

    // From then on the editor compares with it without asking.
    compareAction()->trigger();
    QCOMPARE(driver.handled(), 1);
    dialog = lastDialog();
    QVERIFY(dialog->wordScore());
    QCOMPARE(dialog->wordScore()->lines().size(), 2);
    QCOMPARE(dialog->wordScore()->total().substituted, 1);
    QCOMPARE(dialog->wordScore()->total().correct, 5);
}

// The saved comparison quotes the dictation's misspellings; the spell check
// asks about each of them once, in the dictation.
void TestComparisonSection::spellCheckEndsBeforeTheComparison()
{
    m_editor->textArea()->setPlainText("I recieve leters.");
    m_editor->compareWithReferenceLines({"I receive letters."});
    QVERIFY(lastDialog() && lastDialog()->wordScore());
    QCOMPARE(lastDialog()->wordScore()->total().spellingSlips, 2);
    comparisonsection::replace(*m_editor->textArea()->document(), lastDialog()->comparisonHtml());
    QVERIFY(m_editor->textArea()->toPlainText().count("recieve") > 1);

    QStringList asked;
    ModalDriver driver([&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->button(QMessageBox::Ok)->click();
            return true;
        }
        auto *dialog = qobject_cast<SpellCheckDialog *>(modal);
        if (!dialog)
            return false;
        asked << dialog->findChild<QLabel *>("lblUnknownWord")->text();
        dialog->findChild<QPushButton *>("btnIgnoreOnce")->click();
        return true;
    });
    m_editor->checkSpelling();
    QCOMPARE(asked, QStringList({"<b>recieve</b>", "<b>leters</b>"}));
}

// The learner goes on writing under a saved comparison; saving the next
// comparison replaces the section alone.
void TestComparisonSection::textTypedAfterTheComparisonIsKept()
{
    const QString media = path("lesson.mp4");
    QVERIFY(m_editor->fileSaveDefault(media));
    m_editor->textArea()->setPlainText("I like cats.");
    const auto saveComparison = [this](const QStringList &reference) {
        m_editor->compareWithReferenceLines(reference);
        QVERIFY(lastDialog() && lastDialog()->wordScore());
        QTest::mouseClick(lastDialog()->findChild<QPushButton *>("saveComparison"), Qt::LeftButton);
        QVERIFY(!m_editor->textArea()->document()->isModified());
    };
    saveComparison({"I like cats."});

    // Where a click below everything puts the cursor.
    m_editor->textArea()->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_editor->textArea(), "They drink milk.");
    QTest::keyClick(m_editor->textArea(), Qt::Key_Return);
    QTest::keyClicks(m_editor->textArea(), "Fine thanks");
    saveComparison({"I like cats.", "They drink milk.", "Fine, thanks."});
    // The words typed after the first comparison are part of the dictation.
    QCOMPARE(lastDialog()->wordScore()->total().correct, 8);

    QVERIFY(m_editor->load(media + ".html"));
    const QString text = m_editor->textArea()->toPlainText();
    QVERIFY2(text.startsWith("I like cats.\nThey drink milk.\nFine thanks\n"), qPrintable(text));
    QCOMPARE(text.count("Comparison with the reference"), 1);
    QCOMPARE(comparisonsection::dictationText(*m_editor->textArea()->document()),
             QString("I like cats.\nThey drink milk.\nFine thanks"));
    // Typing goes on below the comparison, not inside it.
    QTextBlock last = m_editor->textArea()->document()->lastBlock();
    QVERIFY(last.text().isEmpty() && !last.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth));
    QVERIFY(last.previous().blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth));
}

// Files saved before the section got its closing rule: the comparison
// runs to the end of the document and is replaced as a whole.
void TestComparisonSection::sectionOfAnEarlierFileRunsToTheEnd()
{
    const QString heading = "<h2><a name=\"" + WordReport::sectionAnchor() + "\">Comparison</a></h2>";
    QTextDocument document;
    document.setHtml("<p>I like cats.</p>" + heading + "<table><tr><td>old</td></tr></table><p>old score</p>");
    comparisonsection::replace(document, heading + "<p>new score</p>");
    QCOMPARE(document.toPlainText().count("Comparison"), 1);
    QVERIFY2(!document.toPlainText().contains("old"), qPrintable(document.toPlainText()));
    QCOMPARE(comparisonsection::dictationText(document), QString("I like cats."));
}

QTEST_MAIN(TestComparisonSection)
#include "tst_comparisonsection.moc"
