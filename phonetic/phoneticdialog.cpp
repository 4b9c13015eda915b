#include "phonetic/phoneticdialog.h"

#include "phonetic/nofocusrectanglestyle.h"
#include "ui_phoneticdialog.h"

#include <QListWidgetItem>
#include <QSignalBlocker>
#include <QTimer>

namespace {

// What the instructions of the spelling mode give as their example.
constexpr char16_t captionSample[] = u"exmpl";

} // namespace

PhoneticDialog::PhoneticDialog(QWidget *parent)
    : QDialog(parent)
    , form(std::make_unique<Ui::PhoneticDialog>())
{
    form->setupUi(this);
    setFixedSize(613, 372);
    form->displayFull->setReadOnly(true);
    auto *style = new NoFocusRectangleStyle;
    style->setParent(this); // a widget never owns its style
    form->keyGroup->setStyle(style);
    phoneticHelp = form->manualLabel->text();
    phoneticSample = form->inputPhonetic->text();

    // The instructions' sample input, searched: the list shows what a search
    // lists, every entry of it can be opened, and the first one is open.
    // Return searches the sample again until the user edits it.
    pendingText = form->inputPhonetic->text();
    displaySlot(pendingText);
    form->displayResult->setCurrentRow(0);

    connect(form->inputPhonetic, &QLineEdit::textChanged, this, &PhoneticDialog::lazyLoad);
}

PhoneticDialog::~PhoneticDialog() = default;

void PhoneticDialog::displaySlot(const QString &text)
{
    search(text, false);
}

void PhoneticDialog::lazyLoad(const QString &text)
{
    pendingText = text;
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &PhoneticDialog::triggerDisplay);
    connect(timer, &QTimer::timeout, timer, &QObject::deleteLater);
    timer->start(10);
}

void PhoneticDialog::triggerDisplay()
{
    displaySlot(pendingText);
}

void PhoneticDialog::on_inputPhonetic_returnPressed()
{
    search(pendingText, true);
}

void PhoneticDialog::search(const QString &text, bool unlimited)
{
    if (captionSearch == 0)
        dictionary.searchPhonetic(text, unlimited);
    else
        dictionary.searchCaption(text.toLatin1(), unlimited);
    form->inputPhonetic->setFocus(Qt::OtherFocusReason);
    fillResults();
}

void PhoneticDialog::fillResults()
{
    // Clearing and refilling move the current row; with the dialog's own
    // connections cut they run no lookups. Only the connections to this
    // dialog are cut: the list's signals also drive the list's own wiring
    // (itemClicked comes from clicked), which must stay.
    QListWidget *list = form->displayResult;
    disconnect(list, nullptr, this, nullptr);
    list->clear();
    // The entry shown belonged to the previous list; no entry of this one
    // is chosen yet.
    form->displayFull->clear();
    for (const QString &caption : dictionary.resultCaptions())
        list->addItem(QString::fromLatin1(caption.toLocal8Bit()));
    connect(list, &QListWidget::currentRowChanged, this, &PhoneticDialog::on_displayResult_currentRowChanged);
    connect(list, &QListWidget::itemClicked, this, &PhoneticDialog::on_displayResult_itemClicked);
}

void PhoneticDialog::showEntry(const QString &caption)
{
    const QStringList entry = dictionary.lookupEntry(caption.toLatin1());
    QStringList lines;
    if (entry.size() == 4) {
        lines << entry.at(0) << tr("英 %1").arg(entry.at(1));
        if (!entry.at(2).isEmpty())
            lines << tr("美 %1").arg(entry.at(2));
        lines << entry.at(3);
    }
    form->displayFull->setPlainText(lines.join(QLatin1Char('\n')));
}

void PhoneticDialog::on_displayResult_itemClicked(QListWidgetItem *item)
{
    showEntry(item ? item->text() : QString());
}

void PhoneticDialog::on_displayResult_currentRowChanged(int row)
{
    const QListWidgetItem *item = form->displayResult->item(row);
    showEntry(item ? item->text() : QString());
}

void PhoneticDialog::on_phoneticMode_toggled(bool checked)
{
    // The button that is unchecked reports too; only the new mode acts.
    if (checked)
        switchMode(0);
}

void PhoneticDialog::on_captionMode_toggled(bool checked)
{
    if (checked)
        switchMode(1);
}

QString PhoneticDialog::captionHelp() const
{
    return tr("输入单词的大致拼写，字母按顺序，可以漏掉几个，软件会搜索出相近的单词。\n"
              "如输入 %1 即可查得 example")
        .arg(QString::fromUtf16(captionSample));
}

void PhoneticDialog::switchMode(int mode)
{
    captionSearch = mode;
    form->manualLabel->setText(mode == 0 ? phoneticHelp : captionHelp());
    // The other mode's sample, untouched, finds nothing in this one: this
    // mode's own sample takes its place, searched and opened as at opening.
    const QString sample = mode == 0 ? phoneticSample : QString::fromUtf16(captionSample);
    const QString otherSample = mode == 0 ? QString::fromUtf16(captionSample) : phoneticSample;
    if (form->inputPhonetic->text() == otherSample) {
        const QSignalBlocker quiet(form->inputPhonetic); // searched below, not 10 ms later
        form->inputPhonetic->setText(sample);
        pendingText = sample;
    }
    displaySlot(pendingText);
    if (pendingText == sample)
        form->displayResult->setCurrentRow(0);
}

void PhoneticDialog::typeSymbol(char16_t symbol)
{
    form->inputPhonetic->insert(QString(QChar(symbol)));
    form->inputPhonetic->setFocus(Qt::OtherFocusReason);
}

void PhoneticDialog::on_k230_clicked() { typeSymbol(u'\u00E6'); }
void PhoneticDialog::on_k240_clicked() { typeSymbol(u'\u00F0'); }
void PhoneticDialog::on_k952_clicked() { typeSymbol(u'\u03B8'); }
void PhoneticDialog::on_k331_clicked() { typeSymbol(u'\u014B'); }
void PhoneticDialog::on_k593_clicked() { typeSymbol(u'\u0251'); }
void PhoneticDialog::on_k601_clicked() { typeSymbol(u'\u0259'); }
void PhoneticDialog::on_k609_clicked() { typeSymbol(u'\u0261'); }
void PhoneticDialog::on_k596_clicked() { typeSymbol(u'\u0254'); }
void PhoneticDialog::on_k643_clicked() { typeSymbol(u'\u0283'); }
void PhoneticDialog::on_k652_clicked() { typeSymbol(u'\u028C'); }
void PhoneticDialog::on_k658_clicked() { typeSymbol(u'\u0292'); }
void PhoneticDialog::on_k603_clicked() { typeSymbol(u'\u025B'); }
