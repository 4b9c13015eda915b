// The comparison dialog's word level: the word view with its legend, the
// score table, and saving and printing them.
#include "diff/diffdialog.h"

#include "diff/wordreport.h"
#include "phonetic/nofocusrectanglestyle.h"
#include "ui_diffdialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMetaMethod>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

// A cell that sorts by the number it holds rather than by its text.
class NumberItem final : public QTableWidgetItem
{
public:
    NumberItem(const QString &text, double sortKey) : QTableWidgetItem(text)
    {
        setData(Qt::UserRole, sortKey);
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem &other) const override
    {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

QTableWidgetItem *readOnly(QTableWidgetItem *item)
{
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

void DiffDialog::setupWordView()
{
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("wordSplitter"));

    auto *wordSide = new QWidget(splitter);
    auto *wordLayout = new QVBoxLayout(wordSide);
    wordLayout->setContentsMargins(0, 0, 0, 0);
    auto *wordTip = new QLabel(tr("Words (spacing and line breaks do not count):"), wordSide);
    wordTip->setObjectName(QStringLiteral("wordTip"));
    wordView = new QTextBrowser(wordSide);
    wordView->setObjectName(QStringLiteral("wordView"));
    wordView->setContextMenuPolicy(Qt::NoContextMenu);
    QFont font = wordView->font();
    font.setPointSize(12);
    wordView->setFont(font);
    wordLegend = new QLabel(WordReport::legendHtml(), wordSide);
    wordLegend->setObjectName(QStringLiteral("wordLegend"));
    wordLegend->setTextFormat(Qt::RichText);
    wordLegend->setWordWrap(true);
    wordLayout->addWidget(wordTip);
    wordLayout->addWidget(wordView, 1);
    wordLayout->addWidget(wordLegend);

    auto *scoreSide = new QWidget(splitter);
    auto *scoreLayout = new QVBoxLayout(scoreSide);
    scoreLayout->setContentsMargins(0, 0, 0, 0);
    scoreSummary = new QLabel(tr("Compare to see the score."), scoreSide);
    scoreSummary->setObjectName(QStringLiteral("scoreSummary"));
    scoreSummary->setWordWrap(true);
    scoreTable = new QTableWidget(0, int(WordReport::columnTitles().size()), scoreSide);
    scoreTable->setObjectName(QStringLiteral("scoreTable"));
    scoreTable->setHorizontalHeaderLabels(WordReport::columnTitles());
    scoreTable->verticalHeader()->hide();
    scoreTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    scoreTable->setSelectionMode(QAbstractItemView::SingleSelection);
    scoreTable->setWordWrap(false);
    QHeaderView *header = scoreTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    // The learner's words are in each row's tip, which leaves the room to
    // the sentence; the saved and printed table shows them.
    scoreTable->setColumnHidden(2, true);
    // Choosing a sentence shows it in the word view.
    connect(scoreTable, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (const QTableWidgetItem *item = row >= 0 ? scoreTable->item(row, 0) : nullptr)
            wordView->scrollToAnchor(WordReport::lineAnchor(item->data(Qt::UserRole).toInt()));
    });

    auto *buttons = new QHBoxLayout;
    saveComparison = new QPushButton(tr("Save with Dictation"), scoreSide);
    saveComparison->setObjectName(QStringLiteral("saveComparison"));
    printComparisonButton = new QPushButton(tr("Print..."), scoreSide);
    printComparisonButton->setObjectName(QStringLiteral("printComparison"));
    for (QPushButton *button : {saveComparison, printComparisonButton}) {
        auto *style = new NoFocusRectangleStyle;
        style->setParent(this);
        button->setStyle(style);
        button->setEnabled(false);
        buttons->addWidget(button);
    }
    m_wholeLesson = new QPushButton(tr("Whole Lesson"), scoreSide);
    m_wholeLesson->setObjectName(QStringLiteral("wholeLesson"));
    m_wholeLesson->setToolTip(tr("Score the whole reference, also the sentences not dictated yet"));
    m_wholeLesson->setCheckable(true);
    m_wholeLesson->hide();
    auto *wholeStyle = new NoFocusRectangleStyle;
    wholeStyle->setParent(this);
    m_wholeLesson->setStyle(wholeStyle);
    buttons->addWidget(m_wholeLesson);
    connect(m_wholeLesson, &QPushButton::toggled, this, &DiffDialog::showScope);
    saveStatus = new QLabel(scoreSide);
    saveStatus->setObjectName(QStringLiteral("saveStatus"));
    buttons->addWidget(saveStatus, 1);
    connect(saveComparison, &QPushButton::clicked, this, &DiffDialog::saveAsked);
    connect(printComparisonButton, &QPushButton::clicked, this, &DiffDialog::printAsked);
    scoreLayout->addWidget(scoreSummary);
    scoreLayout->addWidget(scoreTable, 1);
    scoreLayout->addLayout(buttons);

    form->gridLayout_2->addWidget(splitter, 1, 0);
    form->gridLayout_2->setRowStretch(0, 1);
    form->gridLayout_2->setRowStretch(1, 1);
    // Room for the words and the score, as far as the screen allows.
    QSize size(1100, 760);
    if (const QScreen *screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.95);
    size = size.expandedTo(QSize(780, 352));
    resize(size);
    // The table's figures need more room than the words; given in pixels
    // before the first layout, the sizes would otherwise follow the
    // widgets' size hints, which leave the sentences no room.
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({size.width() * 9 / 20, size.width() * 11 / 20});
}

void DiffDialog::setTexts(const QString &dictation, const QString &reference)
{
    form->sourceFile->setPlainText(dictation);
    form->targetFile->setPlainText(reference);
    textA = form->sourceFile->toPlainText();
    textB = form->targetFile->toPlainText();
}

void DiffDialog::setReferenceLines(const QString &dictation, const QStringList &referenceLines)
{
    setTexts(dictation, referenceLines.join(QLatin1Char('\n')));
}

void DiffDialog::setSpellTest(WordScore::SpellTest isKnown)
{
    spellTest = std::move(isKnown);
}

void DiffDialog::setImportFolder(const QString &folder, FileReader fileReader, const QString &filter)
{
    importFolderA = folder;
    importFolderB = folder;
    reader = std::move(fileReader);
    importFilter = filter;
}

void DiffDialog::importThroughReader(QString &folder, QTextEdit *pane, QString &text)
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Open File"), folder, importFilter);
    if (fileName.isEmpty())
        return; // a cancel keeps the folder
    folder = QFileInfo(fileName).absolutePath();
    QString read;
    QString error;
    if (!reader(fileName, &read, &error)) {
        QMessageBox::warning(this, tr("Open File"), error);
        return;
    }
    pane->setPlainText(read);
    text = pane->toPlainText();
    if (pane == form->targetFile)
        Q_EMIT referenceImported(fileName);
}

void DiffDialog::compare()
{
    on_diffResult_clicked();
}

void DiffDialog::showWordScore(const QString &reference, const QString &dictation)
{
    score = std::make_unique<WordScore>(reference, dictation, spellTest);
    {
        // Each comparison starts with what was dictated.
        const QSignalBlocker blocker(m_wholeLesson);
        m_wholeLesson->setChecked(false);
    }
    m_wholeLesson->setVisible(score->stopsEarly());
    showScope();
    saveStatus->clear();
    saveComparison->setEnabled(isSignalConnected(QMetaMethod::fromSignal(&DiffDialog::saveRequested)));
    printComparisonButton->setEnabled(true);
    Q_EMIT compared(*score);
}

WordReport::Scope DiffDialog::scope() const
{
    return m_wholeLesson->isChecked() ? WordReport::WholeText : WordReport::UpToReached;
}

void DiffDialog::showScope()
{
    if (!score)
        return;
    wordView->setHtml(WordReport::wordViewHtml(*score, scope()));
    scoreSummary->setText(WordReport::scopedSummaryText(*score, scope()));
    fillScoreTable();
}

void DiffDialog::fillScoreTable()
{
    scoreTable->setSortingEnabled(false);
    scoreTable->clearContents();
    QList<LineScore> lines = score->lines();
    if (scope() == WordReport::UpToReached && score->stopsEarly())
        lines.removeIf([this](const LineScore &line) { return line.line > score->reachedLine(); });
    scoreTable->setRowCount(int(lines.size()));
    int row = 0;
    for (const LineScore &line : std::as_const(lines)) {
        const WordCounts &c = line.counts;
        auto *number = new NumberItem(QString::number(line.line + 1), line.line);
        number->setData(Qt::UserRole, line.line);
        scoreTable->setItem(row, 0, readOnly(number));
        auto *sentence = new QTableWidgetItem(line.reference);
        sentence->setToolTip(line.reference + QLatin1Char('\n') + line.dictation);
        scoreTable->setItem(row, 1, readOnly(sentence));
        scoreTable->setItem(row, 2, readOnly(new QTableWidgetItem(line.dictation)));
        int column = 3;
        for (const int n : {c.correct, c.wrongWords(), c.spellingSlips, c.deleted, c.inserted})
            scoreTable->setItem(row, column++, readOnly(new NumberItem(QString::number(n), n)));
        // Rows without reference words sort after every rate.
        scoreTable->setItem(row, column,
                            readOnly(new NumberItem(WordReport::rate(c),
                                                    c.hasRates() ? c.wordErrorRate() : 1e9)));
        ++row;
    }
    scoreTable->setSortingEnabled(true);
    scoreTable->sortByColumn(0, Qt::AscendingOrder);
}

QString DiffDialog::comparisonHtml() const
{
    return score ? WordReport::sectionHtml(*score, scope()) : QString();
}

void DiffDialog::printComparison(QPrinter *printer) const
{
    QTextDocument document;
    document.setDefaultFont(wordView->font());
    document.setHtml(comparisonHtml());
    document.print(printer);
}

void DiffDialog::saveAsked()
{
    if (score)
        Q_EMIT saveRequested(comparisonHtml());
}

void DiffDialog::showSaveResult(const QString &fileName)
{
    saveStatus->setText(fileName.isEmpty() ? tr("Not saved.")
                                           : tr("Saved at the end of %1.").arg(QFileInfo(fileName).fileName()));
}

void DiffDialog::printAsked()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(tr("Print Comparison"));
    if (dialog.exec() == QDialog::Accepted)
        printComparison(&printer);
}
