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

// The text area runs on the staged en_US dictionary, copied with a user word
// list into a scratch working directory, so that adding words never touches
// the runtime folder's own list.
class TestCTextCheckerEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void misspeltWordsAreMarked_data();
    void misspeltWordsAreMarked();
    void underlineIsWavyAndRed();
    void menuOnMisspeltWordOffersSuggestions();
    void menuInsideSelectionOffersClipboardOnly();
    void addToDictionaryFromMenu();
    void addToDictionaryFromSpellCheckRequest();
    void clipboardActionsFollowState();
    void addToDictionaryOutlivesFirstTextArea();

private:
    // Opens the context menu over the middle of word and hands the open
    // menu to handler; a menu the handler left open is closed afterwards.
    void openMenuAt(const QString &word, const std::function<void(QMenu *)> &handler);
    static void click(QMenu *menu, QAction *action);
    static QStringList marked(const QTextDocument *document);
    static QByteArray userList();

    QTemporaryDir m_home;
    std::unique_ptr<CTextCheckerEdit> m_edit;
};

void TestCTextCheckerEdit::initTestCase()
{
    QDir home(m_home.path());
    QVERIFY(home.mkpath(QStringLiteral("spell/dict")) && home.mkpath(QStringLiteral("spell/users")));
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

void TestCTextCheckerEdit::init()
{
    m_edit = std::make_unique<CTextCheckerEdit>();
    m_edit->resize(420, 160);
}

void TestCTextCheckerEdit::openMenuAt(const QString &word, const std::function<void(QMenu *)> &handler)
{
    m_edit->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_edit.get()));
    bool handled = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || handled)
            return;
        handled = true;
        handler(menu);
        if (menu->isVisible())
            menu->close();
    });
    poll.start(10);
    QTextCursor cursor(m_edit->document());
    cursor.setPosition(m_edit->toPlainText().indexOf(word) + int(word.size()) / 2);
    const QPoint local = m_edit->cursorRect(cursor).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, local, m_edit->viewport()->mapToGlobal(local));
    QApplication::sendEvent(m_edit->viewport(), &event);
    QVERIFY(handled);
}

void TestCTextCheckerEdit::click(QMenu *menu, QAction *action)
{
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
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
    QTest::newRow("punctuation, blanks and tabs stay plain") << "Hello,  world!\t(teh) \"yes\"; no?"
                                                             << QStringList{"teh"};
    QTest::newRow("numbers, ordinals, apostrophes") << "In 1984 the 3rd I don't and don’t knoww"
                                                    << QStringList{"knoww"};
    QTest::newRow("every paragraph") << "good\nbadd line\n\nmore wrds" << QStringList{"badd", "wrds"};
    QTest::newRow("user word list") << "Vantiro plays" << QStringList{};
    QTest::newRow("key names and words with digits") << "Press F5, then F7 on the MP3 twise"
                                                     << QStringList{"twise"};
    QTest::newRow("Chinese beside English") << QString::fromUtf8("我们 lerned 英语，今天学习 dictation 第1课")
                                             << QStringList{"lerned"};
    QTest::newRow("other scripts the dictionary lacks")
        << QString::fromUtf8("ひらがな カタカナ 한국어 Привет мир Ελληνικά 𠀀𠀁 and wrods") << QStringList{"wrods"};
}

void TestCTextCheckerEdit::misspeltWordsAreMarked()
{
    QFETCH(QString, text);
    QFETCH(QStringList, misspelt);

    m_edit->setPlainText(text);
    QCOMPARE(marked(m_edit->document()), misspelt);
    // Typing over the text replaces the marks at once.
    m_edit->selectAll();
    QTest::keyClicks(m_edit.get(), QStringLiteral("All is welll"));
    QCOMPARE(marked(m_edit->document()), QStringList{"welll"});
    QTest::keyClick(m_edit.get(), Qt::Key_Backspace);
    QCOMPARE(marked(m_edit->document()), QStringList{});
}

void TestCTextCheckerEdit::underlineIsWavyAndRed()
{
    QFont font = m_edit->font();
    font.setPointSize(16);
    m_edit->setFont(font);
    m_edit->setPlainText(QStringLiteral("clean brwon clean"));
    m_edit->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_edit.get()));
    const QImage image = m_edit->viewport()->grab().toImage();

    // Per column, the rows holding red in the band from a word's top to just
    // below its line; columns without red are left out.
    const auto redColumns = [&](int from, int length) {
        QTextCursor cursor(m_edit->document());
        cursor.setPosition(from);
        const QRect start = m_edit->cursorRect(cursor);
        cursor.setPosition(from + length);
        QList<quint64> columns;
        for (int x = start.left(); x < m_edit->cursorRect(cursor).left(); ++x) {
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
    QVERIFY2(misspelt.size() > 30, qPrintable(QString::number(misspelt.size())));
    // A straight line would hold the same rows in every column.
    QVERIFY(QSet<quint64>(misspelt.begin(), misspelt.end()).size() >= 2);
    QVERIFY(redColumns(0, 5).isEmpty());
    QVERIFY(redColumns(12, 5).isEmpty());
}

void TestCTextCheckerEdit::menuOnMisspeltWordOffersSuggestions()
{
    m_edit->setPlainText(QStringLiteral("We sat on teh bench"));
    const QStringList suggestions = CTextCheckerEdit::spellEngine()->suggestionsFor(QStringLiteral("teh"));
    QVERIFY(suggestions.size() >= 2);

    openMenuAt(QStringLiteral("teh"), [&](QMenu *menu) {
        QCOMPARE(m_edit->textCursor().selectedText(), QStringLiteral("teh"));
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.size(), 4 + suggestions.size() + 2);
        QCOMPARE(actions.at(0)->text(), QStringLiteral("&Copy"));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("&Cut"));
        QCOMPARE(actions.at(2)->text(), QStringLiteral("&Paste"));
        QVERIFY(actions.at(0)->isEnabled() && actions.at(1)->isEnabled());
        QVERIFY(actions.at(3)->isSeparator());
        for (int i = 0; i < suggestions.size(); ++i) {
            QCOMPARE(actions.at(4 + i)->text(), suggestions.at(i));
            QVERIFY(actions.at(4 + i)->font().bold());
        }
        QVERIFY(actions.at(actions.size() - 2)->isSeparator());
        QCOMPARE(actions.last()->text(), QStringLiteral("Add to dictionary"));
        click(menu, actions.at(4));
    });
    QCOMPARE(m_edit->toPlainText(), "We sat on " + suggestions.first() + " bench");
    QCOMPARE(marked(m_edit->document()), QStringList{});
}

void TestCTextCheckerEdit::menuInsideSelectionOffersClipboardOnly()
{
    m_edit->setPlainText(QStringLiteral("We sat on teh bench"));
    QTextCursor cursor(m_edit->document());
    cursor.setPosition(3);
    cursor.setPosition(13, QTextCursor::KeepAnchor);
    m_edit->setTextCursor(cursor);

    openMenuAt(QStringLiteral("teh"), [&](QMenu *menu) {
        QVERIFY(CTextCheckerEdit::rememberedWord().isEmpty());
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions.at(2)->text(), QStringLiteral("&Paste"));
        QVERIFY(actions.at(3)->isSeparator());
    });
    QCOMPARE(m_edit->textCursor().selectedText(), QStringLiteral("sat on teh"));
}

void TestCTextCheckerEdit::addToDictionaryFromMenu()
{
    m_edit->setHtml(QStringLiteral("Our <b>zorblax</b> arrived, and another zorblax."));
    const QString html = m_edit->toHtml();
    QCOMPARE(marked(m_edit->document()), (QStringList{"zorblax", "zorblax"}));
    const QByteArray before = userList();

    openMenuAt(QStringLiteral("zorblax"), [&](QMenu *menu) {
        QCOMPARE(menu->actions().last()->text(), QStringLiteral("Add to dictionary"));
        click(menu, menu->actions().last());
    });
    QCOMPARE(m_edit->toHtml(), html);
    QCOMPARE(marked(m_edit->document()), QStringList{});
    QCOMPARE(userList(), before + "zorblax\n");
}

void TestCTextCheckerEdit::addToDictionaryFromSpellCheckRequest()
{
    // The spell check leaves the caret, without selection, at the word.
    m_edit->setPlainText(QStringLiteral("A flimzy case"));
    QTextCursor cursor(m_edit->document());
    cursor.setPosition(2);
    m_edit->setTextCursor(cursor);
    const QByteArray before = userList();

    QVERIFY(QMetaObject::invokeMethod(m_edit.get(), "addToDictionaryS"));
    QCOMPARE(m_edit->toPlainText(), QStringLiteral("A flimzy case"));
    QCOMPARE(marked(m_edit->document()), QStringList{});
    QCOMPARE(userList(), before + "flimzy\n");
}

void TestCTextCheckerEdit::clipboardActionsFollowState()
{
    QAction *copy = nullptr, *cut = nullptr, *paste = nullptr;
    for (QAction *action : m_edit->findChildren<QAction *>()) {
        if (action->text() == QLatin1String("&Copy"))
            copy = action;
        else if (action->text() == QLatin1String("&Cut"))
            cut = action;
        else if (action->text() == QLatin1String("&Paste"))
            paste = action;
    }
    QVERIFY(copy && cut && paste);
    QCOMPARE(paste->shortcut(), QKeySequence(QKeySequence::Paste));
    QVERIFY(!copy->isEnabled() && !cut->isEnabled());
    m_edit->setPlainText(QStringLiteral("copy me"));
    m_edit->selectAll();
    QVERIFY(copy->isEnabled() && cut->isEnabled());

    QApplication::clipboard()->clear();
    QTRY_VERIFY(!paste->isEnabled());
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTRY_VERIFY(paste->isEnabled());
    paste->trigger();
    QCOMPARE(m_edit->toPlainText(), QStringLiteral("pasted"));
}

void TestCTextCheckerEdit::addToDictionaryOutlivesFirstTextArea()
{
    CSpellEngine *engine = CTextCheckerEdit::spellEngine();
    m_edit = std::make_unique<CTextCheckerEdit>();
    m_edit->resize(420, 160);
    QCOMPARE(CTextCheckerEdit::spellEngine(), engine);
    m_edit->setPlainText(QStringLiteral("a blorptic here"));
    openMenuAt(QStringLiteral("blorptic"), [&](QMenu *menu) {
        QCOMPARE(menu->actions().last()->text(), QStringLiteral("Add to dictionary"));
        click(menu, menu->actions().last());
    });
    QVERIFY(userList().endsWith("blorptic\n"));
}

QTEST_MAIN(TestCTextCheckerEdit)
#include "tst_ctextcheckeredit.moc"
