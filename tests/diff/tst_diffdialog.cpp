#include "diff/diffdialog.h"

#include "diff/wordreport.h"
#include "editor/cspellengine.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>

#include <unistd.h>

namespace {

// Answers the next modal file dialog, choosing fileName or cancelling when
// it is empty, and notes the folder the dialog opened in.
void answerFileDialog(const QString &fileName, QString *openedIn)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        *openedIn = dialog->directory().absolutePath();
        if (fileName.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(fileName);
            // Once the dialog has the focus, selectFile() leaves the name
            // field alone (it is the learner's typing), and without a name
            // there the dialog takes the file selected in its list, which
            // may still be the one it opened on. The name is typed in, as a
            // learner would.
            if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                name->setText(fileName);
            static_cast<QDialog *>(dialog)->accept(); // as the Open button does
        }
    });
    poll->start();
}

// The characters of a pane drawn in the given colour (with the given
// decoration, when asked), in order.
QString textIn(const QTextEdit *pane, const QColor &colour, bool underlined = false,
               bool struckOut = false)
{
    QString text;
    for (QTextBlock block = pane->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.foreground().color() == colour && format.fontUnderline() == underlined
                && format.fontStrikeOut() == struckOut)
                text += it.fragment().text();
        }
    }
    return text;
}

// The characters of a document shown with a mark's colour, struck out or
// bold as asked.
QString marked(const QTextDocument *document, WordReport::Mark mark, bool struckOut, bool bold = false)
{
    QString text;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.foreground().color() == QColor(WordReport::colour(mark))
                && format.background().color() == QColor(WordReport::background(mark))
                && format.fontStrikeOut() == struckOut && (format.fontWeight() >= QFont::DemiBold) == bold)
                text += it.fragment().text();
        }
    }
    return text;
}

const QColor blue(0x00, 0x00, 0xFF);
const QColor red(0xFF, 0x00, 0x00);

} // namespace

class TestDiffDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void import();
    void importReadOnlyFile();
    void importKeepsTagsAndLineBreaks();
    void compare_data();
    void compare();
    void compareAgainStartsFromPanes();
    void wordView_data();
    void wordView();
    void legendShowsEveryMark();
    void scoreTableGoesToTheSentence();
    void partialDictationScoredUpToItsEnd();
    void printedComparison();

private:
    template <typename T> T *child(DiffDialog &dialog, const char *name)
    {
        return dialog.findChild<T *>(QLatin1String(name));
    }
    QTemporaryDir dir;
};

void TestDiffDialog::initTestCase()
{
    // The toolkit's own file dialog, the one a test can drive.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QVERIFY(dir.isValid());
}

void TestDiffDialog::import()
{
    const QString fileName = dir.filePath("dictation.txt");
    {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("I liked cats.\n我喜欢猫。\n");
    }
    // UTF-16 with a byte-order mark is read as such.
    const QString utf16Name = dir.filePath("reference.txt");
    {
        QFile file(utf16Name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString text = QStringLiteral("I like cats.\n");
        file.write("\xff\xfe");
        file.write(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    }

    DiffDialog dialog;
    dialog.show();
    auto *importA = child<QPushButton>(dialog, "importSource");
    auto *importB = child<QPushButton>(dialog, "outputTarget");
    auto *paneA = child<QTextEdit>(dialog, "sourceFile");
    auto *paneB = child<QTextEdit>(dialog, "targetFile");
    QString openedIn;

    // First use opens in the home folder.
    answerFileDialog(fileName, &openedIn);
    QTest::mouseClick(importA, Qt::LeftButton);
    QCOMPARE(openedIn, QDir::homePath());
    QCOMPARE(paneA->toPlainText(), QString("I liked cats.\n我喜欢猫。\n"));
    QVERIFY(paneB->toPlainText().isEmpty());

    // Each button remembers its own place: B still starts at home.
    answerFileDialog(utf16Name, &openedIn);
    QTest::mouseClick(importB, Qt::LeftButton);
    QCOMPARE(openedIn, QDir::homePath());
    QCOMPARE(paneB->toPlainText(), QString("I like cats.\n"));

    // A second dialog starts where the first import went; cancel changes
    // no text and sends the next dialog to the working directory.
    DiffDialog second;
    second.show();
    auto *secondA = child<QPushButton>(second, "importSource");
    auto *secondPaneA = child<QTextEdit>(second, "sourceFile");
    secondPaneA->setPlainText("typed by hand");
    answerFileDialog(QString(), &openedIn);
    QTest::mouseClick(secondA, Qt::LeftButton);
    QCOMPARE(openedIn, dir.path());
    QCOMPARE(secondPaneA->toPlainText(), QString("typed by hand"));
    answerFileDialog(QString(), &openedIn);
    QTest::mouseClick(secondA, Qt::LeftButton);
    QCOMPARE(openedIn, QDir::currentPath());
    QCOMPARE(secondPaneA->toPlainText(), QString("typed by hand"));

    // The imported text is what gets compared.
    QTest::mouseClick(child<QPushButton>(dialog, "diffResult"), Qt::LeftButton);
    // The line feed is a line break inside the coloured run.
    QCOMPARE(textIn(paneA, blue), QString("liked我喜欢猫。\u2028"));
    QCOMPARE(textIn(paneB, red), QString("like"));
}

void TestDiffDialog::importReadOnlyFile()
{
    const QString fileName = dir.filePath("reference-readonly.txt");
    {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("read only\n");
    }
    QVERIFY(QFile::setPermissions(fileName, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    // Permission bits do not stop root; the immutable flag does, where the
    // file system has it.
    bool immutable = false;
    if (geteuid() == 0)
        immutable = QProcess::execute("chattr", {"+i", fileName}) == 0;
    auto restore = qScopeGuard([&] {
        if (immutable)
            QProcess::execute("chattr", {"-i", fileName});
    });
    if (geteuid() != 0 || immutable)
        QVERIFY(!QFile(fileName).open(QIODevice::ReadWrite));
    else
        qInfo("running as root without chattr: the file is writable all the same");

    DiffDialog dialog;
    dialog.show();
    QString openedIn;
    answerFileDialog(fileName, &openedIn);
    QTest::mouseClick(child<QPushButton>(dialog, "outputTarget"), Qt::LeftButton);
    QCOMPARE(child<QTextEdit>(dialog, "targetFile")->toPlainText(), QString("read only\n"));
}

void TestDiffDialog::compare_data()
{
    QTest::addColumn<QString>("textA");
    QTest::addColumn<QString>("textB");
    QTest::addColumn<QString>("blueInA");
    QTest::addColumn<QString>("redInB");
    // The suggestion turns the learner's text (A) into the reference (B).
    QTest::addColumn<QString>("added");   // blue underlined in the suggestion: B's
    QTest::addColumn<QString>("removed"); // red struck out: A's
    QTest::addColumn<QString>("suggestion");
    QTest::newRow("empty panes") << "" << "" << "" << "" << "" << "" << "";
    QTest::newRow("like against liked") << "I liked cats" << "I like cats" << "liked" << "like"
                                        << "" << "d" << "I liked cats ";
    QTest::newRow("markup and lines") << "x > y & z\nend" << "x < y & z\nend" << ">" << "<"
                                      << "<" << ">" << "x >< y & z\nend ";
    QTest::newRow("change at the start") << "bat sat" << "cat sat" << "b" << "c" << "c" << "b"
                                         << "bcat sat ";
    QTest::newRow("numbers written out") << "at 730 sharp" << "at seven thirty sharp" << "730"
                                         << "seven thirty" << "seven thirty" << "730"
                                         << "at 730seven thirty sharp ";
}

void TestDiffDialog::compare()
{
    QFETCH(QString, textA);
    QFETCH(QString, textB);
    QFETCH(QString, blueInA);
    QFETCH(QString, redInB);
    QFETCH(QString, added);
    QFETCH(QString, removed);
    QFETCH(QString, suggestion);

    DiffDialog dialog;
    dialog.show();
    auto *paneA = child<QTextEdit>(dialog, "sourceFile");
    auto *paneB = child<QTextEdit>(dialog, "targetFile");
    auto *result = child<QTextBrowser>(dialog, "modifyFile");
    paneA->setPlainText(textA);
    paneB->setPlainText(textB);
    QTest::mouseClick(child<QPushButton>(dialog, "diffResult"), Qt::LeftButton);

    // The appended blank stays, unless it is all there is: HTML drops a
    // paragraph's leading blank.
    if (!textA.isEmpty()) {
        QCOMPARE(paneA->toPlainText(), textA + " ");
        QCOMPARE(paneB->toPlainText(), textB + " ");
    }
    QCOMPARE(result->toPlainText(), suggestion);
    QCOMPARE(textIn(paneA, blue), blueInA);
    QCOMPARE(textIn(paneA, red), QString());
    QCOMPARE(textIn(paneB, red), redInB);
    QCOMPARE(textIn(paneB, blue), QString());
    QCOMPARE(textIn(result, blue, true), added);
    QCOMPARE(textIn(result, red, false, true), removed);
}

void TestDiffDialog::compareAgainStartsFromPanes()
{
    DiffDialog dialog;
    dialog.show();
    auto *paneA = child<QTextEdit>(dialog, "sourceFile");
    auto *paneB = child<QTextEdit>(dialog, "targetFile");
    auto *result = child<QTextBrowser>(dialog, "modifyFile");
    auto *compareButton = child<QPushButton>(dialog, "diffResult");
    paneA->setPlainText("the quick brown fox sat on the mat");
    paneB->setPlainText("the quick red fox sat on the mat");
    QTest::mouseClick(compareButton, Qt::LeftButton);
    QCOMPARE(textIn(paneA, blue), QString("brown"));
    QCOMPARE(textIn(paneB, red), QString("red"));

    // Editing a rendered pane is what the next comparison sees.
    QTextCursor cursor(paneB->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText("today");
    QTest::mouseClick(compareButton, Qt::LeftButton);
    QCOMPARE(textIn(paneB, red), QString("redtoday"));
    QCOMPARE(textIn(paneA, blue), QString("brown"));
    QVERIFY2(result->toPlainText().startsWith("the quick "), qPrintable(result->toPlainText()));
}

QTEST_MAIN(TestDiffDialog)
// A plain text file stays plain text, also when its first line holds
// something that looks like a tag.
void TestDiffDialog::importKeepsTagsAndLineBreaks()
{
    const QString fileName = dir.filePath("tagged.txt");
    const QString text = QString::fromUtf8("<i>Chapter 1</i> 第一章\nI like cats.\n");
    {
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }
    DiffDialog dialog;
    dialog.show();
    QString openedIn;
    answerFileDialog(fileName, &openedIn);
    QTest::mouseClick(child<QPushButton>(dialog, "importSource"), Qt::LeftButton);
    QCOMPARE(child<QTextEdit>(dialog, "sourceFile")->toPlainText(), text);

    // The same text typed into B compares as equal: nothing is coloured.
    child<QTextEdit>(dialog, "targetFile")->setPlainText(text);
    QTest::mouseClick(child<QPushButton>(dialog, "diffResult"), Qt::LeftButton);
    QVERIFY(textIn(child<QTextEdit>(dialog, "sourceFile"), blue).isEmpty());
    QVERIFY(textIn(child<QTextEdit>(dialog, "targetFile"), red).isEmpty());
}

void TestDiffDialog::wordView_data()
{
    QTest::addColumn<QString>("dictation");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("missing"); // underlined
    QTest::addColumn<QString>("extra");   // struck out
    QTest::addColumn<QString>("wrong");   // struck out, then the right word in bold
    QTest::addColumn<QString>("slip");    // the same in the slip's colour
    QTest::addColumn<int>("rows");
    QTest::newRow("spacing and line breaks only") << "I  like\ncats." << "I like cats." << "1 I like cats."
                                                  << "" << "" << "" << "" << 1;
    QTest::newRow("missing word") << "I like cats" << "I like the cats" << "1 I like the cats" << "the" << ""
                                  << "" << "" << 1;
    QTest::newRow("extra word") << "I like the cats" << "I like cats." << "1 I like the cats." << "" << "the"
                                << "" << "" << 1;
    QTest::newRow("wrong word") << "I sore it" << "I saw it" << "1 I sore saw it" << "" << ""
                                << "sore| saw" << "" << 1;
    QTest::newRow("spelling slip") << "I recieve it" << "I receive it" << "1 I recieve receive it" << "" << ""
                                   << "" << "recieve| receive" << 1;
    QTest::newRow("dialogue dash and leading blanks") << "hello there" << "  - Hello there." << "1 - Hello there."
                                                      << "" << "" << "" << "" << 1;
    QTest::newRow("extra word at a line's start") << "well I know" << "(I know.)" << "1 (well I know.)" << ""
                                                   << "well" << "" << "" << 1;
    // The marks are on what each side wrote, inner punctuation included.
    QTest::newRow("punctuation inside words") << "at 7.31 a.m. in the US" << "At 7:30 a.m. in the U.S."
                                              << "1 At 7.31 7:30 a.m. in the U.S." << "" << "" << "7.31| 7:30"
                                              << "" << 1;
    QTest::newRow("lines of the reference") << "one two three" << "One two.\nThree four."
                                            << "1 One two.\n2 Three four." << "four" << "" << "" << "" << 2;
}

void TestDiffDialog::wordView()
{
    QFETCH(QString, dictation);
    QFETCH(QString, reference);
    QFETCH(QString, view);
    QFETCH(QString, missing);
    QFETCH(QString, extra);
    QFETCH(QString, wrong);
    QFETCH(QString, slip);
    QFETCH(int, rows);

    const auto engine = std::make_shared<CSpellEngine>(QStringLiteral("./spell/dict/en_US"), QString());
    DiffDialog dialog;
    dialog.setSpellTest([engine](const QString &word) { return engine->isKnown(word); });
    dialog.show();
    dialog.setTexts(dictation, reference);
    QTest::mouseClick(child<QPushButton>(dialog, "diffResult"), Qt::LeftButton);

    const QTextDocument *words = child<QTextBrowser>(dialog, "wordView")->document();
    QCOMPARE(words->toPlainText(), view);
    QCOMPARE(marked(words, WordReport::MissingMark, false), missing);
    QCOMPARE(marked(words, WordReport::ExtraMark, true), extra);
    QCOMPARE(marked(words, WordReport::WrongMark, true) + "|" + marked(words, WordReport::WrongMark, false, true),
             wrong.isEmpty() ? QString("|") : wrong);
    QCOMPARE(marked(words, WordReport::SlipMark, true) + "|" + marked(words, WordReport::SlipMark, false, true),
             slip.isEmpty() ? QString("|") : slip);
    QCOMPARE(child<QTableWidget>(dialog, "scoreTable")->rowCount(), rows);
    QVERIFY(dialog.wordScore());
    QCOMPARE(child<QLabel>(dialog, "scoreSummary")->text(), WordReport::summaryText(dialog.wordScore()->total()));
}

void TestDiffDialog::legendShowsEveryMark()
{
    DiffDialog dialog;
    dialog.show();
    QTextDocument legend;
    legend.setHtml(child<QLabel>(dialog, "wordLegend")->text());
    for (const char *meaning : {"Missing word", "Extra word", "Wrong word", "Spelling slip"})
        QVERIFY(legend.toPlainText().contains(meaning));
    // Each mark's sample, drawn as the word view draws it.
    QCOMPARE(marked(&legend, WordReport::MissingMark, false), QString("right"));
    QCOMPARE(marked(&legend, WordReport::ExtraMark, true), QString("word"));
    QCOMPARE(marked(&legend, WordReport::WrongMark, true), QString("word"));
    QCOMPARE(marked(&legend, WordReport::WrongMark, false, true), QString(" right"));
    QCOMPARE(marked(&legend, WordReport::SlipMark, true), QString("word"));
    QCOMPARE(marked(&legend, WordReport::SlipMark, false, true), QString(" right"));
    // The four colours differ.
    QSet<QString> colours;
    for (const auto mark : {WordReport::MissingMark, WordReport::ExtraMark, WordReport::WrongMark,
                            WordReport::SlipMark})
        colours << WordReport::colour(mark);
    QCOMPARE(colours.size(), 4);
}

void TestDiffDialog::scoreTableGoesToTheSentence()
{
    DiffDialog dialog;
    dialog.show();
    QStringList lines;
    QStringList typed;
    for (int i = 0; i < 60; ++i) {
        lines << QString("Sentence number %1 is here.").arg(i + 1);
        typed << (i == 45 ? QString("Sentence %1 is hear").arg(i + 1) : lines.last());
    }
    dialog.setReferenceLines(typed.join(' '), lines);
    dialog.compare();
    auto *table = child<QTableWidget>(dialog, "scoreTable");
    auto *words = child<QTextBrowser>(dialog, "wordView");
    QCOMPARE(table->rowCount(), 60);
    QCOMPARE(table->item(45, 0)->text(), QString("46"));
    QCOMPARE(table->item(45, 1)->text(), lines[45]);
    QCOMPARE(table->item(45, 4)->text(), QString("1")); // wrong: hear
    QCOMPARE(table->item(45, 6)->text(), QString("1")); // missing: number
    QCOMPARE(table->item(45, 8)->text(), QString("40.0%"));

    // Sorted by error rate, the sentence to practise comes first.
    table->sortByColumn(8, Qt::DescendingOrder);
    QCOMPARE(table->item(0, 0)->text(), QString("46"));
    QCOMPARE(words->verticalScrollBar()->value(), 0);
    table->setCurrentCell(0, 1);
    QTRY_VERIFY(words->verticalScrollBar()->value() > 0);
}

// A learner who stops after four sentences of eight sees the score of what
// he dictated, and the whole lesson's at one click.
void TestDiffDialog::partialDictationScoredUpToItsEnd()
{
    QStringList lines;
    for (int i = 0; i < 8; ++i)
        lines << QString("Sentence number %1 is here.").arg(i + 1);
    DiffDialog dialog;
    dialog.show();
    dialog.setReferenceLines(lines.mid(0, 3).join(' ') + " Sentence number 4 is hear.", lines);
    dialog.compare();
    auto *table = child<QTableWidget>(dialog, "scoreTable");
    auto *summary = child<QLabel>(dialog, "scoreSummary");
    auto *words = child<QTextBrowser>(dialog, "wordView");
    auto *whole = child<QPushButton>(dialog, "wholeLesson");
    const WordScore *score = dialog.wordScore();
    QVERIFY(score);

    QVERIFY(whole->isVisible());
    QCOMPARE(table->rowCount(), 4);
    QVERIFY2(summary->text().startsWith("Scored up to sentence 4 of 8"), qPrintable(summary->text()));
    QVERIFY2(summary->text().contains("accuracy 95.0%"), qPrintable(summary->text()));
    QCOMPARE(words->toPlainText().count('\n'), 3);
    QVERIFY(dialog.comparisonHtml().contains("Scored up to sentence 4 of 8"));

    QTest::mouseClick(whole, Qt::LeftButton);
    QCOMPARE(table->rowCount(), 8);
    QCOMPARE(summary->text(), WordReport::scopedSummaryText(*score, WordReport::WholeText));
    QVERIFY2(summary->text().contains("accuracy 47.5%"), qPrintable(summary->text()));
    QCOMPARE(words->toPlainText().count('\n'), 7);

    // The next comparison starts again with what was dictated; a whole
    // dictation has no second figure to show.
    QTest::mouseClick(whole, Qt::LeftButton);
    QCOMPARE(table->rowCount(), 4);
    dialog.setReferenceLines(lines.join(' '), lines);
    dialog.compare();
    QVERIFY(!whole->isVisible());
    QCOMPARE(table->rowCount(), 8);
}

void TestDiffDialog::printedComparison()
{
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is needed to read the page");
    DiffDialog dialog;
    dialog.show();
    dialog.setTexts("The quick brown fox jumps", "The quick brown fox jumped.");
    dialog.compare();
    const QString pdf = dir.filePath("comparison.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    dialog.printComparison(&printer);
    QProcess process;
    process.start(pdftotext, {"-layout", pdf, "-"});
    QVERIFY(process.waitForFinished(30000));
    const QString page = QString::fromUtf8(process.readAllStandardOutput()).simplified();
    QVERIFY2(page.contains("Comparison with the reference"), qPrintable(page));
    QVERIFY2(page.contains("4 correct, 1 wrong"), qPrintable(page));
    QVERIFY2(page.contains("jumps jumped"), qPrintable(page));
    QVERIFY2(page.contains("Missing word"), qPrintable(page));
    QVERIFY2(page.contains("20.0%"), qPrintable(page));
}

#include "tst_diffdialog.moc"
