#include "editor/cspellengine.h"
#include "editor/ctextcheckeredit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QtTest>

#include <functional>

// The text area runs on the staged en_US dictionary, copied with an empty
// user word list into a scratch working directory, so that adding words
// never touches the runtime folder's own list.
class TestCTextCheckerEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void misspeltWordsAreMarked_data();
    void misspeltWordsAreMarked();
    void underlineIsWavyAndRed();
    void typingMarksAndCorrectingClears();
    void menuOnMisspeltWordOffersSuggestions();
    void menuInsideSelectionOffersClipboardOnly();
    void addToDictionaryFromMenu();
    void addToDictionaryFromSpellCheckRequest();
    void clipboardActionsFollowState();
    void textAreasShareOneEngine();

private:
    using MenuHandler = std::function<void(QMenu *)>;
    // Opens the context menu at the middle of text's first occurrence and
    // hands the open menu to handler, which may click in it; the menu is
    // closed afterwards if the handler left it open.
    static void openMenuAt(CTextCheckerEdit &edit, const QString &text, const MenuHandler &handler);
    static QPoint pointOf(const CTextCheckerEdit &edit, const QString &text);
    static QStringList marked(const QTextDocument *document);
    static QByteArray userList();

    QTemporaryDir m_home;
};

void TestCTextCheckerEdit::initTestCase()
{
    QVERIFY(m_home.isValid());
    QDir home(m_home.path());
    QVERIFY(home.mkpath(QStringLiteral("spell/dict")));
    QVERIFY(home.mkpath(QStringLiteral("spell/users")));
    for (const char *suffix : {".aff", ".dic"}) {
        QVERIFY(QFile::copy(QStringLiteral(VK_RUNTIME_DIR "/spell/dict/en_US") + suffix,
                            home.filePath(QStringLiteral("spell/dict/en_US") + suffix)));
    }
    QFile list(home.filePath(QStringLiteral("spell/users/userDict.txt")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("Vantiro\n");
    list.close();
    QVERIFY(QDir::setCurrent(m_home.path()));
}

QPoint TestCTextCheckerEdit::pointOf(const CTextCheckerEdit &edit, const QString &text)
{
    const int index = edit.toPlainText().indexOf(text);
    QTextCursor cursor(edit.document());
    cursor.setPosition(index + int(text.size()) / 2);
    return edit.cursorRect(cursor).center();
}

void TestCTextCheckerEdit::openMenuAt(CTextCheckerEdit &edit, const QString &text, const MenuHandler &handler)
{
    bool handled = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, &edit, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || handled)
            return;
        handled = true;
        handler(menu);
        if (menu->isVisible())
            menu->close();
    });
    poll.start();
    const QPoint local = pointOf(edit, text);
    QContextMenuEvent event(QContextMenuEvent::Mouse, local, edit.viewport()->mapToGlobal(local));
    QApplication::sendEvent(edit.viewport(), &event);
    QVERIFY(handled);
}

QStringList TestCTextCheckerEdit::marked(const QTextDocument *document)
{
    QStringList words;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
            if (range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline
                && range.format.underlineColor() == QColor(Qt::red))
                words.append(block.text().mid(range.start, range.length));
        }
    }
    return words;
}

QByteArray TestCTextCheckerEdit::userList()
{
    QFile file(QStringLiteral("spell/users/userDict.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestCTextCheckerEdit::misspeltWordsAreMarked_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("misspelt");

    QTest::newRow("misspelt word between correct ones") << "The quick brwon fox" << QStringList{"brwon"};
    QTest::newRow("punctuation stays plain") << "Hello, world! (teh) \"yes\"; no?" << QStringList{"teh"};
    QTest::newRow("runs of blanks and tabs stay plain") << "spaces   and\t\ttabs." << QStringList{};
    QTest::newRow("numbers and ordinals") << "In 1984 the 3rd and 21st try" << QStringList{};
    QTest::newRow("apostrophes inside words") << "I don't and don’t knoww" << QStringList{"knoww"};
    QTest::newRow("each occurrence") << "teh cat and teh dog" << QStringList{"teh", "teh"};
    QTest::newRow("every paragraph") << "good\nbadd line\n\nmore wrds" << QStringList{"badd", "wrds"};
    QTest::newRow("user word list") << "Vantiro plays" << QStringList{};
    QTest::newRow("empty document") << "" << QStringList{};
}

void TestCTextCheckerEdit::misspeltWordsAreMarked()
{
    QFETCH(QString, text);
    QFETCH(QStringList, misspelt);

    CTextCheckerEdit edit;
    edit.setPlainText(text);
    QCOMPARE(marked(edit.document()), misspelt);
}

void TestCTextCheckerEdit::underlineIsWavyAndRed()
{
    CTextCheckerEdit edit;
    edit.resize(420, 160);
    QFont font = edit.font();
    font.setPointSize(16);
    edit.setFont(font);
    edit.setPlainText(QStringLiteral("clean brwon clean"));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    const QImage image = edit.viewport()->grab().toImage();
    if (qEnvironmentVariableIsSet("VK_KEEP_IMAGE"))
        image.save(qEnvironmentVariable("VK_KEEP_IMAGE"));

    // Per column, the rows holding red in the band from a word's top to just
    // below its line; columns without red are left out.
    const auto redColumns = [&](int from, int length) {
        QTextCursor cursor(edit.document());
        cursor.setPosition(from);
        const QRect start = edit.cursorRect(cursor);
        cursor.setPosition(from + length);
        const QRect end = edit.cursorRect(cursor);
        QList<quint64> columns;
        for (int x = start.left(); x < end.left(); ++x) {
            quint64 rows = 0;
            for (int y = start.top(); y <= start.bottom() + 4 && y < image.height(); ++y) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() - c.green() > 60 && c.red() - c.blue() > 60)
                    rows |= quint64(1) << (y - start.top());
            }
            if (rows)
                columns.append(rows);
        }
        return columns;
    };
    const QList<quint64> misspelt = redColumns(6, 5);
    // Underlined along nearly the whole word...
    QVERIFY2(misspelt.size() > 30, qPrintable(QString::number(misspelt.size())));
    // ...by a wave: a straight line would hold the same rows in every column.
    QVERIFY(QSet<quint64>(misspelt.begin(), misspelt.end()).size() >= 2);
    QVERIFY(redColumns(0, 5).isEmpty());
    QVERIFY(redColumns(12, 5).isEmpty());
    // The word itself keeps its own colour.
    QCOMPARE(edit.document()->begin().begin().fragment().charFormat().foreground().style(), Qt::NoBrush);
}

void TestCTextCheckerEdit::typingMarksAndCorrectingClears()
{
    CTextCheckerEdit edit;
    QTest::keyClicks(&edit, QStringLiteral("We heard teh"));
    QCOMPARE(marked(edit.document()), QStringList{"teh"});
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClicks(&edit, QStringLiteral("he news"));
    QCOMPARE(edit.toPlainText(), QStringLiteral("We heard the news"));
    QCOMPARE(marked(edit.document()), QStringList{});
}

void TestCTextCheckerEdit::menuOnMisspeltWordOffersSuggestions()
{
    CTextCheckerEdit edit;
    edit.resize(420, 160);
    edit.setPlainText(QStringLiteral("We sat on teh bench"));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    const QStringList suggestions = CTextCheckerEdit::spellEngine()->suggestionsFor(QStringLiteral("teh"));
    QVERIFY(suggestions.size() >= 2);
    QCOMPARE(suggestions.first(), QStringLiteral("the"));

    openMenuAt(edit, QStringLiteral("teh"), [&](QMenu *menu) {
        QCOMPARE(edit.textCursor().selectedText(), QStringLiteral("teh"));
        QCOMPARE(CTextCheckerEdit::rememberedWord(), QStringLiteral("teh"));
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.size(), 4 + suggestions.size() + 2);
        QCOMPARE(actions.at(0)->text(), QStringLiteral("&Copy"));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("&Cut"));
        QCOMPARE(actions.at(2)->text(), QStringLiteral("&Paste"));
        QVERIFY(actions.at(0)->isEnabled());
        QVERIFY(actions.at(1)->isEnabled());
        QVERIFY(actions.at(3)->isSeparator());
        for (int i = 0; i < suggestions.size(); ++i) {
            QCOMPARE(actions.at(4 + i)->text(), suggestions.at(i));
            QVERIFY(actions.at(4 + i)->font().bold());
        }
        QVERIFY(actions.at(actions.size() - 2)->isSeparator());
        QCOMPARE(actions.last()->text(), QStringLiteral("Add to dictionary"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(actions.at(4)).center());
    });
    QCOMPARE(edit.toPlainText(), QStringLiteral("We sat on the bench"));
    QCOMPARE(marked(edit.document()), QStringList{});
}

void TestCTextCheckerEdit::menuInsideSelectionOffersClipboardOnly()
{
    CTextCheckerEdit edit;
    edit.resize(420, 160);
    edit.setPlainText(QStringLiteral("We sat on teh bench"));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QTextCursor cursor(edit.document());
    cursor.setPosition(3);
    cursor.setPosition(13, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);

    openMenuAt(edit, QStringLiteral("teh"), [&](QMenu *menu) {
        QCOMPARE(edit.textCursor().selectedText(), QStringLiteral("sat on teh"));
        QVERIFY(CTextCheckerEdit::rememberedWord().isEmpty());
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions.at(0)->text(), QStringLiteral("&Copy"));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("&Cut"));
        QCOMPARE(actions.at(2)->text(), QStringLiteral("&Paste"));
        QVERIFY(actions.at(3)->isSeparator());
    });
    QCOMPARE(edit.textCursor().selectedText(), QStringLiteral("sat on teh"));
}

void TestCTextCheckerEdit::addToDictionaryFromMenu()
{
    CTextCheckerEdit edit;
    edit.resize(420, 160);
    const QString text = QStringLiteral("Our zorblax arrived, and another zorblax.");
    edit.setPlainText(text);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QCOMPARE(marked(edit.document()), (QStringList{"zorblax", "zorblax"}));
    const QByteArray before = userList();

    openMenuAt(edit, QStringLiteral("zorblax"), [&](QMenu *menu) {
        QAction *add = menu->actions().last();
        QCOMPARE(add->text(), QStringLiteral("Add to dictionary"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(add).center());
    });
    QCOMPARE(edit.toPlainText(), text);
    QCOMPARE(marked(edit.document()), QStringList{});
    QCOMPARE(userList(), before + "zorblax\n");
    // Later engines read it from the file.
    const CSpellEngine later(QStringLiteral("./spell/dict/en_US"), QStringLiteral("./spell/users/userDict.txt"));
    QVERIFY(later.isKnown(QStringLiteral("zorblax")));
}

void TestCTextCheckerEdit::addToDictionaryFromSpellCheckRequest()
{
    CTextCheckerEdit edit;
    const QString text = QStringLiteral("A flimzy case");
    edit.setPlainText(text);
    QTextCursor cursor(edit.document());
    cursor.setPosition(2);
    edit.setTextCursor(cursor);
    const QByteArray before = userList();

    QVERIFY(QMetaObject::invokeMethod(&edit, "addToDictionaryS"));
    QCOMPARE(CTextCheckerEdit::rememberedWord(), QStringLiteral("flimzy"));
    QCOMPARE(edit.toPlainText(), text);
    QCOMPARE(marked(edit.document()), QStringList{});
    QCOMPARE(userList(), before + "flimzy\n");
}

void TestCTextCheckerEdit::clipboardActionsFollowState()
{
    CTextCheckerEdit edit;
    const auto action = [&](const QString &text) {
        for (QAction *candidate : edit.findChildren<QAction *>()) {
            if (candidate->text() == text)
                return candidate;
        }
        return static_cast<QAction *>(nullptr);
    };
    QAction *copy = action(QStringLiteral("&Copy"));
    QAction *cut = action(QStringLiteral("&Cut"));
    QAction *paste = action(QStringLiteral("&Paste"));
    QVERIFY(copy && cut && paste);
    QCOMPARE(copy->shortcut(), QKeySequence(QKeySequence::Copy));
    QCOMPARE(cut->shortcut(), QKeySequence(QKeySequence::Cut));
    QCOMPARE(paste->shortcut(), QKeySequence(QKeySequence::Paste));
    QVERIFY(!copy->isEnabled());
    QVERIFY(!cut->isEnabled());

    edit.setPlainText(QStringLiteral("copy me"));
    edit.selectAll();
    QVERIFY(copy->isEnabled());
    QVERIFY(cut->isEnabled());
    QTextCursor cursor = edit.textCursor();
    cursor.clearSelection();
    edit.setTextCursor(cursor);
    QVERIFY(!copy->isEnabled());

    QClipboard *clipboard = QApplication::clipboard();
    clipboard->setText(QStringLiteral("pasted"));
    QTRY_VERIFY(paste->isEnabled());
    clipboard->clear();
    QTRY_VERIFY(!paste->isEnabled());
    clipboard->setText(QStringLiteral("again"));
    QTRY_VERIFY(paste->isEnabled());
    paste->trigger();
    QCOMPARE(edit.toPlainText(), QStringLiteral("copy meagain"));
}

void TestCTextCheckerEdit::textAreasShareOneEngine()
{
    auto first = std::make_unique<CTextCheckerEdit>();
    CSpellEngine *engine = CTextCheckerEdit::spellEngine();
    CTextCheckerEdit second;
    QCOMPARE(CTextCheckerEdit::spellEngine(), engine);

    second.setPlainText(QStringLiteral("a quoggle here"));
    QCOMPARE(marked(second.document()), QStringList{"quoggle"});
    first->setPlainText(QStringLiteral("quoggle"));
    QTextCursor cursor(first->document());
    cursor.setPosition(1);
    first->setTextCursor(cursor);
    QVERIFY(QMetaObject::invokeMethod(first.get(), "addToDictionaryS"));
    second.setPlainText(second.toPlainText());
    QCOMPARE(marked(second.document()), QStringList{});
    QCOMPARE(second.toPlainText(), QStringLiteral("a quoggle here"));

    // The shared "Add to dictionary" outlives the text area that made it.
    first.reset();
    second.resize(420, 160);
    second.setPlainText(QStringLiteral("a blorptic here"));
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    openMenuAt(second, QStringLiteral("blorptic"), [&](QMenu *menu) {
        QCOMPARE(menu->actions().last()->text(), QStringLiteral("Add to dictionary"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().last()).center());
    });
    QVERIFY(userList().endsWith("quoggle\nblorptic\n"));
    QCOMPARE(second.toPlainText(), QStringLiteral("a blorptic here"));
}

QTEST_MAIN(TestCTextCheckerEdit)
#include "tst_ctextcheckeredit.moc"
