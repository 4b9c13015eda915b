#include "editor/spellcheckdialog.h"

#include "editor/cspellengine.h"
#include "ui_spellcheckdialog.h"

SpellCheckDialog::SpellCheckDialog(CSpellEngine *spellEngine, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::SpellCheckDialog)
    , spellEngine(spellEngine)
{
    ui->setupUi(this);
    connect(ui->listWidget, &QListWidget::currentTextChanged, ui->ledtReplaceWith, &QLineEdit::setText);
    connect(ui->btnAddToDict, &QPushButton::clicked, this, &SpellCheckDialog::addToDict);
    connect(ui->btnReplaceOnce, &QPushButton::clicked, this, &SpellCheckDialog::replaceOnce);
    connect(ui->btnReplaceAll, &QPushButton::clicked, this, &SpellCheckDialog::replaceAll);
    connect(ui->btnIgnoreOnce, &QPushButton::clicked, this, &SpellCheckDialog::ignoreOnce);
    connect(ui->btnIgnoreAll, &QPushButton::clicked, this, &SpellCheckDialog::ignoreAll);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

SpellCheckDialog::~SpellCheckDialog()
{
    delete ui;
}

QString SpellCheckDialog::replacementText() const
{
    return ui->ledtReplaceWith->text();
}

SpellCheckDialog::SpellCheckAction SpellCheckDialog::checkWord(const QString &word)
{
    unknownWord = word;
    ui->lblUnknownWord->setText(QStringLiteral("<b>%1</b>").arg(word.toHtmlEscaped()));
    ui->ledtReplaceWith->clear();
    ui->listWidget->clear();
    ui->listWidget->addItems(spellEngine->suggestionsFor(word));
    if (ui->listWidget->count() > 0) {
        ui->listWidget->setCurrentRow(0);
        ui->listWidget->item(0)->setSelected(true);
    }
    // Return takes the replacement, never the first button of the form,
    // which would write the word into the user's dictionary.
    ui->ledtReplaceWith->setFocus();
    returnCode = CancelCheck;
    exec();
    return returnCode;
}

void SpellCheckDialog::ignoreOnce()
{
    returnCode = IgnoreOnce;
    accept();
}

void SpellCheckDialog::ignoreAll()
{
    spellEngine->acceptWord(unknownWord);
    returnCode = IgnoreAll;
    accept();
}

void SpellCheckDialog::replaceOnce()
{
    returnCode = ReplaceOnce;
    accept();
}

void SpellCheckDialog::replaceAll()
{
    returnCode = ReplaceAll;
    accept();
}

void SpellCheckDialog::addToDict()
{
    returnCode = AddToDictionary;
    Q_EMIT newDictSig();
    accept();
}
