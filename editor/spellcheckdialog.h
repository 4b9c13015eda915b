#pragma once

#include <QDialog>

class CSpellEngine;

namespace Ui {
class SpellCheckDialog;
}

// Asks the user, one unknown word at a time, what to do with it during a
// whole-document spell check. Hidden between questions.
class SpellCheckDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SpellCheckDialog)

public:
    enum SpellCheckAction {
        CancelCheck = 0,
        IgnoreOnce = 1,
        IgnoreAll = 2,
        ReplaceOnce = 3,
        ReplaceAll = 4,
        AddToDictionary = 5,
    };
    Q_ENUM(SpellCheckAction)

    // The engine belongs to the check run and must outlive the dialog.
    SpellCheckDialog(CSpellEngine *spellEngine, QWidget *parent);
    ~SpellCheckDialog() override;

    // The text the user chose to put in place of the unknown word.
    QString replacementText() const;

Q_SIGNALS:
    // The user wants the unknown word in his own dictionary.
    void newDictSig();

public Q_SLOTS:
    // Shows the word with the engine's suggestions and waits, modally, for
    // the user's choice.
    SpellCheckAction checkWord(const QString &word);

protected Q_SLOTS:
    void ignoreOnce();
    void ignoreAll();
    void replaceOnce();
    void replaceAll();
    void addToDict();

private:
    Ui::SpellCheckDialog *ui;
    CSpellEngine *spellEngine;
    QString unknownWord;
    SpellCheckAction returnCode = CancelCheck;
};
