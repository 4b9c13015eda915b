#include "editor/cspellengine.h"
#include "editor/ctextcheckeredit.h"
#include "editor/spellcheckdialog.h"
#include "editor/textedit.h"

#include "modaldriver.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

// The question dialog on the staged en_US dictionary, and whole-document
// runs in the editor window with the dialog answered through its buttons.
class TestSpellCheckDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checkWordOffersSuggestions();
    void answers_data();
    void answers();

    void run_data();
    void run();
    void addToDictionaryDuringRun();

private:
    // One question of a run: the word shown and the range highlighted.
    struct Question
    {
        QString word;
        int start = -1;
        int end = -1;
        QColor background;
        int cursor = -1; // the text area's cursor, without selection
    };
    struct Run
    {
        QList<Question> questions;
        QStringList boxes; // "title: text" of every message box
    };
    // Runs checkSpelling(), answering the questions in turn with the
    // buttons named in answers ("type:x" replaces the word with x).
    static Run runCheck(TextEdit &editor, const QStringList &answers);
};

void TestSpellCheckDialog::checkWordOffersSuggestions()
{
    CSpellEngine engine(QStringLiteral("./spell/dict/en_US"), QString());
    SpellCheckDialog dialog(&engine, nullptr);
    auto *list = dialog.findChild<QListWidget *>(QStringLiteral("listWidget"));
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("ledtReplaceWith"));
    const QStringList suggestions = engine.suggestionsFor(QStringLiteral("teh"));
    QVERIFY(suggestions.size() >= 2);

    QString shown, firstReplacement, secondReplacement;
    QStringList listed;
    { // the first question is answered by this driver only
        ModalDriver driver([&](QWidget *modal) {
            if (modal != &dialog)
                return false;
            shown = dialog.findChild<QLabel *>(QStringLiteral("lblUnknownWord"))->text();
            for (int row = 0; row < list->count(); ++row)
                listed << list->item(row)->text();
            firstReplacement = edit->text();
            list->setCurrentRow(1);
            secondReplacement = edit->text();
            dialog.findChild<QPushButton *>(QStringLiteral("btnReplaceOnce"))->click();
            return true;
        });
        QCOMPARE(dialog.checkWord(QStringLiteral("teh")), SpellCheckDialog::ReplaceOnce);
        QCOMPARE(shown, QStringLiteral("<b>teh</b>"));
        QCOMPARE(listed, suggestions);
        QCOMPARE(firstReplacement, suggestions.at(0));
        QCOMPARE(secondReplacement, suggestions.at(1));
        QCOMPARE(dialog.replacementText(), suggestions.at(1));
        QVERIFY(!dialog.isVisible());
    }

    // A word without suggestions leaves the replacement empty until typed.
    QString emptyBefore = QStringLiteral("unset");
    ModalDriver typing([&](QWidget *modal) {
        if (modal != &dialog)
            return false;
        emptyBefore = edit->text();
        QTest::keyClicks(edit, QStringLiteral("typed"));
        dialog.findChild<QPushButton *>(QStringLiteral("btnReplaceAll"))->click();
        return true;
    });
    QVERIFY(engine.suggestionsFor(QStringLiteral("qqqqzzzzxxxx")).isEmpty());
    QCOMPARE(dialog.checkWord(QStringLiteral("qqqqzzzzxxxx")), SpellCheckDialog::ReplaceAll);
    QCOMPARE(emptyBefore, QString());
    QCOMPARE(list->count(), 0);
    QCOMPARE(dialog.replacementText(), QStringLiteral("typed"));
}

void TestSpellCheckDialog::answers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("learnt");
    QTest::addColumn<int>("dictRequests");

    QTest::newRow("ignore once") << "btnIgnoreOnce" << int(SpellCheckDialog::IgnoreOnce) << false << 0;
    QTest::newRow("ignore all") << "btnIgnoreAll" << int(SpellCheckDialog::IgnoreAll) << true << 0;
    QTest::newRow("replace once") << "btnReplaceOnce" << int(SpellCheckDialog::ReplaceOnce) << false << 0;
    QTest::newRow("replace all") << "btnReplaceAll" << int(SpellCheckDialog::ReplaceAll) << false << 0;
    QTest::newRow("add to dictionary") << "btnAddToDict" << int(SpellCheckDialog::AddToDictionary) << false << 1;
    QTest::newRow("cancel") << "btnCancel" << int(SpellCheckDialog::CancelCheck) << false << 0;
    QTest::newRow("escape") << "escape" << int(SpellCheckDialog::CancelCheck) << false << 0;
    QTest::newRow("return replaces") << "return" << int(SpellCheckDialog::ReplaceOnce) << false << 0;
    QTest::newRow("closed by its frame") << "close" << int(SpellCheckDialog::CancelCheck) << false << 0;
}

void TestSpellCheckDialog::answers()
{
    QFETCH(QString, answer);
    QFETCH(int, result);
    QFETCH(bool, learnt);
    QFETCH(int, dictRequests);

    CSpellEngine engine(QStringLiteral("./spell/dict/en_US"), QString());
    SpellCheckDialog dialog(&engine, nullptr);
    QSignalSpy requests(&dialog, &SpellCheckDialog::newDictSig);
    ModalDriver driver([&](QWidget *modal) {
        if (modal != &dialog)
            return false;
        if (answer == QLatin1String("escape"))
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else if (answer == QLatin1String("return"))
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        else if (answer == QLatin1String("close"))
            dialog.close();
        else
            dialog.findChild<QPushButton *>(answer)->click();
        return true;
    });
    QCOMPARE(int(dialog.checkWord(QStringLiteral("wrdz"))), result);
    QCOMPARE(engine.isKnown(QStringLiteral("wrdz")), learnt);
    QCOMPARE(requests.size(), dictRequests);
}

TestSpellCheckDialog::Run TestSpellCheckDialog::runCheck(TextEdit &editor, const QStringList &answers)
{
    Run run;
    ModalDriver driver([&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            run.boxes << box->windowTitle() + QLatin1String(": ") + box->text();
            box->button(QMessageBox::Ok)->click();
            return true;
        }
        auto *dialog = qobject_cast<SpellCheckDialog *>(modal);
        if (!dialog)
            return false;
        Question question;
        question.word = dialog->findChild<QLabel *>(QStringLiteral("lblUnknownWord"))->text();
        const QList<QTextEdit::ExtraSelection> extra = editor.textArea()->extraSelections();
        if (extra.size() == 1) {
            question.start = extra.at(0).cursor.selectionStart();
            question.end = extra.at(0).cursor.selectionEnd();
            question.background = extra.at(0).format.background().color();
        }
        if (!editor.textArea()->textCursor().hasSelection())
            question.cursor = editor.textArea()->textCursor().position();
        const int index = run.questions.size();
        run.questions << question;
        QString answer = answers.value(index, QStringLiteral("btnCancel"));
        if (answer.startsWith(QLatin1String("type:"))) {
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("ledtReplaceWith"));
            edit->clear();
            QTest::keyClicks(edit, answer.mid(5));
            answer = QStringLiteral("btnReplaceOnce");
        }
        dialog->findChild<QPushButton *>(answer)->click();
        return true;
    });
    editor.checkSpelling();
    return run;
}

void TestSpellCheckDialog::run_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QString>("result");

    QTest::newRow("bracketed word is checked without the bracket")
        << "see (teh) here" << QStringList{"btnIgnoreOnce"} << QStringList{"teh"} << "see (teh) here";
    QTest::newRow("numbers are never checked")
        << "in 1984 and on the 3rd" << QStringList{} << QStringList{} << "in 1984 and on the 3rd";
    QTest::newRow("leading digits are dropped")
        << "4teh" << QStringList{"btnIgnoreOnce"} << QStringList{"teh"} << "4teh";
    QTest::newRow("ignore all asks once")
        << "teh cat teh dog teh" << QStringList{"btnIgnoreAll"} << QStringList{"teh"} << "teh cat teh dog teh";
    QTest::newRow("replace all asks for every occurrence")
        << "teh cat teh dog teh" << QStringList{"type:the", "type:the", "type:the"}
        << QStringList{"teh", "teh", "teh"} << "the cat the dog the";
    QTest::newRow("cancel at the first word stops the run")
        << "teh cat wrdz" << QStringList{"btnCancel"} << QStringList{"teh"} << "teh cat wrdz";
    QTest::newRow("empty replacement deletes the word")
        << "a teh b" << QStringList{"type:"} << QStringList{"teh"} << "a  b";
    QTest::newRow("words across paragraphs")
        << "one wrdz\n\ntwo teh." << QStringList{"type:word", "type:the"} << QStringList{"wrdz", "teh"}
        << "one word\n\ntwo the.";
    QTest::newRow("empty document") << "" << QStringList{} << QStringList{} << "";
    QTest::newRow("words of other scripts are not asked about")
        << QString::fromUtf8("欢迎 to the lesson 听写 we lerned Привет")
        << QStringList{"btnIgnoreOnce"} << QStringList{"lerned"}
        << QString::fromUtf8("欢迎 to the lesson 听写 we lerned Привет");
}

void TestSpellCheckDialog::run()
{
    QFETCH(QString, text);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, asked);
    QFETCH(QString, result);

    TextEdit editor;
    editor.textArea()->setPlainText(text);
    QTextCursor kept(editor.textArea()->document());
    kept.setPosition(text.size() / 2);
    kept.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    editor.textArea()->setTextCursor(kept);

    const Run run = runCheck(editor, answers);
    QStringList words;
    for (const Question &question : run.questions)
        words << question.word;
    QStringList expected;
    for (const QString &word : asked)
        expected << QLatin1String("<b>") + word + QLatin1String("</b>");
    QCOMPARE(words, expected);
    QCOMPARE(editor.textArea()->toPlainText(), result);
    // The highlight and the waiting cursor cover the word alone.
    for (const Question &question : run.questions) {
        QCOMPARE(question.background, QColor(QStringLiteral("#ff6060")));
        QCOMPARE(question.end - question.start, question.word.size() - 7); // without <b></b>
        QCOMPARE(question.cursor, question.start);
    }
    if (text.startsWith(QLatin1String("see (teh)")))
        QCOMPARE(run.questions.at(0).start, 5);
    // The user's own cursor comes back when the run ends.
    if (result == text) {
        QCOMPARE(editor.textArea()->textCursor().anchor(), kept.anchor());
        QCOMPARE(editor.textArea()->textCursor().position(), kept.position());
    }
    // Every run ends with the closing box, cancelled or not.
    QCOMPARE(run.boxes, QStringList{QStringLiteral("Finished: The spell check has finished.")});
    QVERIFY(editor.textArea()->extraSelections().isEmpty());
    editor.textArea()->document()->setModified(false);
}

void TestSpellCheckDialog::addToDictionaryDuringRun()
{
    // In a folder of its own, so that the staged user word list stays as it is.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("spell/dict")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("spell/users")));
    for (const char *file : {"spell/dict/en_US.aff", "spell/dict/en_US.dic"})
        QVERIFY(QFile::copy(QLatin1String(file), dir.filePath(QLatin1String(file))));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));

    TextEdit editor;
    editor.textArea()->setPlainText(QStringLiteral("wrdz and wrdz"));
    const Run run = runCheck(editor, {QStringLiteral("btnAddToDict"), QStringLiteral("btnIgnoreOnce")});
    QDir::setCurrent(previous);

    // The run's own engine does not learn the word, so it asks again.
    QCOMPARE(run.questions.size(), 2);
    QCOMPARE(run.questions.at(1).start, 9);
    QCOMPARE(editor.textArea()->toPlainText(), QStringLiteral("wrdz and wrdz"));
    QFile list(dir.filePath(QStringLiteral("spell/users/userDict.txt")));
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(list.readAll(), QByteArray("wrdz\n"));
    editor.textArea()->document()->setModified(false);
}

QTEST_MAIN(TestSpellCheckDialog)
#include "tst_spellcheckdialog.moc"
