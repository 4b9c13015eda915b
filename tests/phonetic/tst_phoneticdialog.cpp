#include "phonetic/nofocusrectanglestyle.h"
#include "phonetic/phoneticdialog.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

QStringList texts(const QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

} // namespace

// Runs against the word database of the runtime folder, with the interface
// font loaded as the program's start-up does.
class tst_PhoneticDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void form();
    void sampleAfterOpening();
    void returnBeforeEditingSearchesTheSample();
    void typingSearchesLimited();
    void returnSearchesUnlimited();
    void invalidInputEmptiesTheList();
    void ipaKeyReplacesSelectionAndSearches();
    void pickingShowsTheEntry();
    void newSearchClearsTheEntry();
    void spellingMode();

private:
    QListWidget *list() const { return m_dialog->findChild<QListWidget *>(u"displayResult"_s); }
    QLineEdit *input() const { return m_dialog->findChild<QLineEdit *>(u"inputPhonetic"_s); }
    // Replaces the input as one edit would; setText() alone reports
    // nothing when the text does not change.
    void enter(const QString &text) const
    {
        input()->clear();
        input()->insert(text);
    }
    // A search is due while one of the dialog's lazy-load timers lives.
    bool searchDue() const
    {
        return !m_dialog->findChildren<QTimer *>(Qt::FindDirectChildrenOnly).isEmpty();
    }
    QTextEdit *pane() const { return m_dialog->findChild<QTextEdit *>(u"displayFull"_s); }

    PhoneticDialog *m_dialog = nullptr;
};

void tst_PhoneticDialog::initTestCase()
{
    QVERIFY(QFontDatabase::addApplicationFont(QStringLiteral(VK_RUNTIME_DIR "/font/mensch.ttf")) >= 0);
    QVERIFY(QDir::setCurrent(QStringLiteral(VK_RUNTIME_DIR)));
}

void tst_PhoneticDialog::init()
{
    m_dialog = new PhoneticDialog;
    m_dialog->show();
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog));
}

void tst_PhoneticDialog::cleanup()
{
    delete m_dialog;
    m_dialog = nullptr;
}

void tst_PhoneticDialog::form()
{
    QCOMPARE(m_dialog->objectName(), u"PhoneticDialog"_s);
    QCOMPARE(m_dialog->windowTitle(), u"kestrelbox 听音查词 V1.2"_s);
    QCOMPARE(m_dialog->size(), QSize(613, 372));
    QCOMPARE(m_dialog->minimumSize(), m_dialog->maximumSize());
    QVERIFY(m_dialog->findChild<NoFocusRectangleStyle *>());

    const QString keys = u"æðθŋɑəɡɔʃʌʒɛ"_s;
    const auto buttons = m_dialog->findChild<QGroupBox *>(u"keyGroup"_s)->findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 12);
    for (const QPushButton *key : buttons) {
        QVERIFY(keys.contains(key->text()));
        QCOMPARE(key->objectName(), u"k%1"_s.arg(key->text().at(0).unicode()));
        QCOMPARE(key->focusPolicy(), Qt::NoFocus);
        QCOMPARE(key->contextMenuPolicy(), Qt::NoContextMenu);
        // The symbols must come from the interface font, not a fallback.
        QCOMPARE(QFontInfo(key->font()).family(), u"Mensch"_s);
        QCOMPARE(key->font().pointSize(), 12);
        // Two rows of six keys that do not cover each other.
        QCOMPARE(key->size(), QSize(37, 31));
    }
    QCOMPARE(QFontInfo(input()->font()).family(), u"Mensch"_s);
    QCOMPARE(QFontInfo(pane()->font()).family(), u"Mensch"_s);
    QVERIFY(pane()->isReadOnly());
    QCOMPARE(input()->text(), u"igzɑ:mpl"_s);
    QCOMPARE(m_dialog->findChild<QLabel *>(u"manualLabel"_s)->text(),
             u"\n  输入音标后，软件会根据读音，搜索出单词！\n\n  特殊音标点击按钮，其它用键盘输入。\n\n"
             "  如输入[igzɑ:mpl]即可查得example"_s);
    QVERIFY(m_dialog->findChild<QRadioButton *>(u"phoneticMode"_s)->isChecked());
    QVERIFY(!m_dialog->findChild<QRadioButton *>(u"captionMode"_s)->isChecked());
}

// The opening list is what the sample input finds, and every entry of it
// opens like the entries of any other list.
void tst_PhoneticDialog::sampleAfterOpening()
{
    QVERIFY(list()->count() > 1);
    QCOMPARE(list()->item(0)->text(), u"example"_s);
    QCOMPARE(list()->currentRow(), 0);
    QVERIFY2(pane()->toPlainText().startsWith(u"example\n[iɡˈzɑːmp"_s), qPrintable(pane()->toPlainText()));
    for (int row = list()->count() - 1; row >= 0; --row) {
        QListWidgetItem *item = list()->item(row);
        list()->scrollToItem(item);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
        const QStringList lines = pane()->toPlainText().split(u'\n');
        QVERIFY2(lines.size() >= 3, qPrintable(item->text()));
        QCOMPARE(lines.at(0), item->text());
    }
}

void tst_PhoneticDialog::returnBeforeEditingSearchesTheSample()
{
    QTest::keyClick(input(), Qt::Key_Return);
    QCOMPARE(list()->item(0)->text(), u"example"_s);
    QVERIFY(m_dialog->isVisible());
}

void tst_PhoneticDialog::typingSearchesLimited()
{
    // As a user types it: letters from the keyboard, ɑ from its key.
    input()->clear();
    QTest::keyClicks(input(), u"igz"_s);
    QTRY_VERIFY(!searchDue());
    QTest::mouseClick(m_dialog->findChild<QPushButton *>(u"k593"_s), Qt::LeftButton);
    QTRY_VERIFY(!searchDue());
    QTest::keyClicks(input(), u":mpl"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(input()->text(), u"igzɑ:mpl"_s);
    QVERIFY(texts(list()).contains(u"example"_s));
    QVERIFY(list()->currentRow() < 0);

    enter(u"kæt"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->count(), 100);
}

void tst_PhoneticDialog::returnSearchesUnlimited()
{
    enter(u"kæt"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->count(), 100);
    QTest::keyClick(input(), Qt::Key_Return);
    QVERIFY(list()->count() > 100);
}

void tst_PhoneticDialog::invalidInputEmptiesTheList()
{
    enter(u"kæt"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->count(), 100);
    QTest::keyClick(input(), Qt::Key_Space);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->count(), 0);
    QTest::keyClick(input(), Qt::Key_Backspace);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->count(), 100);
    QTest::keyClicks(input(), u"T"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->count(), 0);
}

void tst_PhoneticDialog::ipaKeyReplacesSelectionAndSearches()
{
    enter(u"igzXmpl"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->count(), 0);
    input()->setSelection(3, 1);
    QTest::mouseClick(m_dialog->findChild<QPushButton *>(u"k593"_s), Qt::LeftButton);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(input()->text(), u"igzɑmpl"_s);
    QCOMPARE(input()->cursorPosition(), 4);
    QVERIFY(input()->hasFocus());
    QVERIFY(texts(list()).contains(u"example"_s));
}

void tst_PhoneticDialog::pickingShowsTheEntry()
{
    enter(u"igzɑ:mpl"_s);
    QTRY_VERIFY(!searchDue());
    QVERIFY(texts(list()).contains(u"example"_s));
    QListWidgetItem *item = list()->findItems(u"example"_s, Qt::MatchExactly).value(0);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
    const QStringList lines = pane()->toPlainText().split(u'\n');
    QVERIFY(lines.size() >= 3);
    QCOMPARE(lines.at(0), u"example"_s);
    QVERIFY2(lines.at(1).startsWith(u"[iɡˈzɑːmp"_s), qPrintable(lines.at(1)));
    QVERIFY(lines.at(2).startsWith(u"n. 1. "_s));

    // Moving the current row with the keyboard shows that row's entry.
    const int row = list()->row(item);
    if (row + 1 < list()->count()) {
        list()->setCurrentRow(row + 1);
        QCOMPARE(pane()->toPlainText().section(u'\n', 0, 0), list()->item(row + 1)->text());
    }
}

void tst_PhoneticDialog::newSearchClearsTheEntry()
{
    enter(u"igzɑ:mpl"_s);
    QTRY_VERIFY(!searchDue());
    QVERIFY(texts(list()).contains(u"example"_s));
    list()->setCurrentRow(texts(list()).indexOf(u"example"_s));
    const QString shown = pane()->toPlainText();
    QVERIFY(shown.startsWith(u"example\n"_s));
    enter(u"kæt"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->count(), 100);
    QVERIFY(pane()->toPlainText().isEmpty());
    QCOMPARE(list()->currentRow(), -1);
    // The closest word comes first, and choosing it shows it.
    QCOMPARE(list()->item(0)->text(), u"cat"_s);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(list()->item(0)).center());
    QVERIFY(pane()->toPlainText().startsWith(u"cat\n["_s));
}

void tst_PhoneticDialog::spellingMode()
{
    QTest::mouseClick(m_dialog->findChild<QRadioButton *>(u"captionMode"_s), Qt::LeftButton);
    QVERIFY(!m_dialog->findChild<QRadioButton *>(u"phoneticMode"_s)->isChecked());
    // Switching modes does not search by itself.
    QCOMPARE(list()->item(0)->text(), u"example"_s);

    input()->clear();
    QTest::keyClicks(input(), u"cat"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->count(), 100);
    const QRegularExpression inOrder(u"c.*a.*t"_s, QRegularExpression::CaseInsensitiveOption);
    for (const QString &caption : texts(list()))
        QVERIFY2(inOrder.match(caption).hasMatch(), qPrintable(caption));

    // An approximate spelling finds the word, and picking it shows it.
    enter(u"xampl"_s);
    QTRY_VERIFY(!searchDue());
    QVERIFY(texts(list()).contains(u"example"_s));
    list()->setCurrentRow(texts(list()).indexOf(u"example"_s));
    QVERIFY(pane()->toPlainText().startsWith(u"example\n["_s));

    // The word the learner meant comes before longer ones that also match.
    enter(u"bakry"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->item(0)->text(), u"bakery"_s);

    QTest::mouseClick(m_dialog->findChild<QRadioButton *>(u"phoneticMode"_s), Qt::LeftButton);
    enter(u"kæt"_s);
    QTRY_VERIFY(!searchDue());
    QVERIFY(texts(list()).contains(u"cat"_s) || list()->count() == 100);
}

QTEST_MAIN(tst_PhoneticDialog)
#include "tst_phoneticdialog.moc"
