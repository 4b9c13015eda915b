#pragma once

#include "phonetic/phoneticdictionary.h"

#include <QDialog>
#include <QString>

#include <memory>

class QListWidgetItem;

namespace Ui {
class PhoneticDialog;
}

// The pronunciation lookup: the user types a pronunciation, British or
// American (letters from the keyboard, IPA symbols from twelve keys) or, in
// the second mode, an approximate spelling; the list follows the typing with
// up to 100 words and Return lists them all; switching modes searches the
// text again in the new mode; picking a word shows its entry with both its
// pronunciations. The instructions and the sample input are those of the
// mode chosen. Non-modal; every dialog has its own database connection.
class PhoneticDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit PhoneticDialog(QWidget *parent = nullptr);
    ~PhoneticDialog() override;
    Q_DISABLE_COPY_MOVE(PhoneticDialog)

public slots:
    // Limited search for text in the current mode; refills the list.
    void displaySlot(const QString &text);
    // Remembers the text and searches it 10 ms later, so a burst of typing
    // always ends in a search for the latest text.
    void lazyLoad(const QString &text);

private slots:
    void on_phoneticMode_toggled(bool checked);
    void on_captionMode_toggled(bool checked);
    void on_inputPhonetic_returnPressed();
    void on_k230_clicked();
    void on_k240_clicked();
    void on_k952_clicked();
    void on_k331_clicked();
    void on_k593_clicked();
    void on_k601_clicked();
    void on_k609_clicked();
    void on_k596_clicked();
    void on_k643_clicked();
    void on_k652_clicked();
    void on_k658_clicked();
    void on_k603_clicked();
    void on_displayResult_itemClicked(QListWidgetItem *item);
    void on_displayResult_currentRowChanged(int row);
    void triggerDisplay();

private:
    void search(const QString &text, bool unlimited);
    // 0: by pronunciation, 1: by spelling.
    void switchMode(int mode);
    QString captionHelp() const;
    void fillResults();
    void showEntry(const QString &caption);
    void typeSymbol(char16_t symbol);

    std::unique_ptr<Ui::PhoneticDialog> form;
    PhoneticDictionary dictionary;
    QString pendingText;
    int captionSearch = 0; // 0: by pronunciation, 1: by spelling
    QString phoneticHelp;   // the form's instructions, of the first mode
    QString phoneticSample; // the form's sample input, of the first mode
};
