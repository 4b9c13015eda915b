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
#include <QScopeGuard>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {

// Clicks the round mark: the rest of the button's width is no target.
void choose(QRadioButton *mode)
{
    QTest::mouseClick(mode, Qt::LeftButton, {}, QPoint(8, mode->height() / 2));
}

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
    void switchingModesSearchesAgain();
    void textsFitTheFixedDialog_data();
    void textsFitTheFixedDialog();

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
    QVERIFY(m_dialog->findChild<QLabel *>(u"manualLabel"_s)->text().contains(u"如输入 igzɑ:mpl 或 igzæmpl"_s));
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
    QVERIFY2(pane()->toPlainText().startsWith(u"example\n英 [iɡˈzɑːmp"_s), qPrintable(pane()->toPlainText()));
    for (int row = list()->count() - 1; row >= 0; --row) {
        QListWidgetItem *item = list()->item(row);
        list()->scrollToItem(item);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
        const QStringList lines = pane()->toPlainText().split(u'\n');
        QVERIFY2(lines.size() >= 4, qPrintable(item->text()));
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
    QVERIFY(lines.size() >= 4);
    QCOMPARE(lines.at(0), u"example"_s);
    // Both pronunciations, each told by its label.
    QVERIFY2(lines.at(1).startsWith(u"英 [iɡˈzɑːmp"_s), qPrintable(lines.at(1)));
    QVERIFY2(lines.at(2).startsWith(u"美 [iɡˈzæmp"_s), qPrintable(lines.at(2)));
    QVERIFY(lines.at(3).startsWith(u"n. 1. "_s));

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
    QVERIFY(pane()->toPlainText().startsWith(u"cat\n英 ["_s));
}

void tst_PhoneticDialog::spellingMode()
{
    choose(m_dialog->findChild<QRadioButton *>(u"captionMode"_s));
    QVERIFY(!m_dialog->findChild<QRadioButton *>(u"phoneticMode"_s)->isChecked());

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
    QVERIFY(pane()->toPlainText().startsWith(u"example\n英 ["_s));

    // The word the learner meant comes before longer ones that also match.
    enter(u"bakry"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->item(0)->text(), u"bakery"_s);

    choose(m_dialog->findChild<QRadioButton *>(u"phoneticMode"_s));
    enter(u"kæt"_s);
    QTRY_VERIFY(!searchDue());
    QVERIFY(texts(list()).contains(u"cat"_s) || list()->count() == 100);
}

// Each mode's sample, untouched, gives way to the other's on a switch, and
// finds the word its instructions promise; what the user typed stays and is
// searched in the new mode.
void tst_PhoneticDialog::switchingModesSearchesAgain()
{
    auto *phonetic = m_dialog->findChild<QRadioButton *>(u"phoneticMode"_s);
    auto *caption = m_dialog->findChild<QRadioButton *>(u"captionMode"_s);
    const QLabel *help = m_dialog->findChild<QLabel *>(u"manualLabel"_s);
    const QString phoneticHelp = help->text();

    choose(caption);
    QVERIFY(help->text() != phoneticHelp);
    QCOMPARE(input()->text(), u"exmpl"_s);
    QVERIFY(help->text().contains(u"exmpl"_s));
    QCOMPARE(list()->item(0)->text(), u"example"_s);
    QVERIFY(pane()->toPlainText().startsWith(u"example\n"_s));

    choose(phonetic);
    QCOMPARE(help->text(), phoneticHelp);
    QCOMPARE(input()->text(), u"igzɑ:mpl"_s);
    QCOMPARE(list()->item(0)->text(), u"example"_s);

    // Typed text: "kæt" lists by sound, and in the spelling mode finds
    // nothing, as no caption holds æ.
    enter(u"kæt"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->item(0)->text(), u"cat"_s);
    choose(caption);
    QCOMPARE(input()->text(), u"kæt"_s);
    QCOMPARE(list()->count(), 0);
    enter(u"bakry"_s);
    QTRY_VERIFY(!searchDue());
    QCOMPARE(list()->item(0)->text(), u"bakery"_s);
    choose(phonetic);
    QCOMPARE(input()->text(), u"bakry"_s);
    QVERIFY(!texts(list()).contains(u"bakery"_s));
}

// The dialog keeps its size in every language: each label, mode and title
// must fit the widget it stands in, or the learner reads "Approximat...".
void tst_PhoneticDialog::textsFitTheFixedDialog_data()
{
    QTest::addColumn<QString>("translation");
    QTest::newRow("Chinese") << u"app_zh_CN"_s;
    QTest::newRow("English") << u"app_en"_s;
}

void tst_PhoneticDialog::textsFitTheFixedDialog()
{
    QFETCH(QString, translation);
    QTranslator translator;
    QVERIFY(translator.load(translation, QStringLiteral(VK_RUNTIME_DIR "/translations")));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const auto uninstall = qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });
    PhoneticDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.size(), QSize(613, 372));
    if (translation == u"app_en"_s) {
        QCOMPARE(dialog.findChild<QRadioButton *>(u"captionMode"_s)->text(), u"Approximate lookup"_s);
        QVERIFY(dialog.findChild<QTextEdit *>(u"displayFull"_s)->toPlainText().contains(u"\nUS [iɡˈzæmp"_s));
    }

    for (const QWidget *child : dialog.findChildren<QWidget *>()) {
        if (child->isWindow() || !child->isVisible())
            continue;
        const QRect inDialog(child->mapTo(&dialog, QPoint()), child->size());
        QVERIFY2(dialog.rect().contains(inDialog), qPrintable(child->objectName()));
    }
    for (const QRadioButton *mode : dialog.findChildren<QRadioButton *>()) {
        QVERIFY2(mode->sizeHint().width() <= mode->width(), qPrintable(mode->text()));
        QVERIFY2(mode->sizeHint().height() <= mode->height(), qPrintable(mode->text()));
    }
    for (const QGroupBox *group : dialog.findChildren<QGroupBox *>()) {
        // The title sits in the frame's line, a few pixels in from each end.
        QVERIFY2(group->fontMetrics().horizontalAdvance(group->title()) + 16 <= group->width(),
                 qPrintable(group->title()));
    }
    // The instructions of both modes, wrapped as the label wraps them, below
    // the group's title.
    QLabel *help = dialog.findChild<QLabel *>(u"manualLabel"_s);
    QVERIFY(help->wordWrap());
    QVERIFY(help->y() >= help->parentWidget()->fontMetrics().height());
    for (QRadioButton *mode : dialog.findChildren<QRadioButton *>()) {
        choose(mode);
        QVERIFY(mode->isChecked());
        const QRect needed = help->fontMetrics().boundingRect(QRect(0, 0, help->width(), 1000),
                                                              Qt::TextWordWrap | help->alignment(), help->text());
        QVERIFY2(needed.width() <= help->width() && needed.height() <= help->height(),
                 qPrintable(u"%1 x %2 for: %3"_s.arg(needed.width()).arg(needed.height()).arg(help->text())));
    }
}

QTEST_MAIN(tst_PhoneticDialog)
#include "tst_phoneticdialog.moc"
