#include "progress/progressview.h"

#include "progress/accuracyplot.h"
#include "progress/progresscolors.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int itemPadding = 6; // pixels left and right in every cell

enum Column { NumberColumn, SentenceColumn, WrongColumn, PractiseColumn, ColumnCount };

QString percent(double fraction)
{
    return QStringLiteral("%1%").arg(std::lround(fraction * 100));
}

QTableWidgetItem *readOnly(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

ProgressView::ProgressView(QWidget *parent)
    : QDialog(parent)
    , m_title(new QLabel(this))
    , m_summary(new QLabel(this))
    , m_plot(new AccuracyPlot(this))
    , m_listTitle(new QLabel(tr("Sentences by how often you got them wrong"), this))
    , m_table(new QTableWidget(0, ColumnCount, this))
{
    setObjectName(QStringLiteral("progressView"));
    setWindowTitle(tr("Progress"));
    applyColours();

    QFont big = m_title->font();
    big.setPointSizeF(big.pointSizeF() * 1.35);
    big.setBold(true);
    m_title->setFont(big);
    m_title->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    QFont bold = m_listTitle->font();
    bold.setBold(true);
    m_listTitle->setFont(bold);

    m_table->setHorizontalHeaderLabels({tr("No."), tr("Sentence"), tr("Wrong"), QString()});
    m_table->verticalHeader()->hide();
    m_table->setShowGrid(false);
    m_table->setAlternatingRowColors(true);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 18);
    QHeaderView *header = m_table->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(SentenceColumn, QHeaderView::Stretch);
    for (const int column : {NumberColumn, WrongColumn})
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    // Sized by fillTable() to its buttons, whose style sheet padding no
    // size hint tells in time.
    header->setSectionResizeMode(PractiseColumn, QHeaderView::Fixed);
    header->setHighlightSections(false);
    styleTable();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 14);
    layout->setSpacing(8);
    layout->addWidget(m_title);
    layout->addWidget(m_summary);
    layout->addWidget(m_plot, 3);
    layout->addSpacing(6);
    layout->addWidget(m_listTitle);
    layout->addWidget(m_table, 2);
    layout->addWidget(buttons);
    resize(520, 600);
}

void ProgressView::applyColours()
{
    using namespace progresscolors;
    QPalette p = palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, panel);
    p.setColor(QPalette::AlternateBase, background.lighter(130));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, panel.lighter(125));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, accent);
    p.setColor(QPalette::HighlightedText, background);
    p.setColor(QPalette::ToolTipBase, panel);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, dim);
    p.setColor(QPalette::Disabled, QPalette::Text, dim);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, dim);
    p.setColor(QPalette::Disabled, QPalette::WindowText, dim);
    setPalette(p);
    setAutoFillBackground(true);
}

void ProgressView::setLesson(const QString &mediaFile, const QString &databaseFile)
{
    m_mediaFile = mediaFile;
    m_databaseFile = databaseFile;
    reload();
}

void ProgressView::reload()
{
    m_title->setText(QFileInfo(m_mediaFile).completeBaseName());
    m_title->setToolTip(QFileInfo(m_mediaFile).absoluteFilePath());
    ProgressStore store(m_databaseFile);
    const QList<Attempt> attempts = store.attempts(m_mediaFile);
    m_sentences = store.sentences(m_mediaFile);
    m_plot->setAttempts(attempts);
    fillSummary(attempts);
    fillTable();
}

void ProgressView::fillSummary(const QList<Attempt> &attempts)
{
    QPalette dimmed = m_summary->palette();
    dimmed.setColor(QPalette::WindowText, progresscolors::dim);
    m_summary->setPalette(dimmed);
    if (attempts.isEmpty()) {
        m_summary->setText(tr("No attempts yet."));
        return;
    }
    const QLocale locale;
    const auto best = std::max_element(attempts.cbegin(), attempts.cend(),
                                       [](const Attempt &a, const Attempt &b) { return a.accuracy < b.accuracy; });
    const double first = attempts.first().accuracy;
    const double latest = attempts.last().accuracy;
    QString text = tr("Attempts since %1: %2. Latest accuracy %3, best %4.")
                       .arg(locale.toString(attempts.first().when.toLocalTime().date(), QLocale::ShortFormat))
                       .arg(attempts.size())
                       .arg(percent(latest), percent(best->accuracy));
    if (attempts.size() > 1) {
        const long change = std::lround((latest - first) * 100);
        // Whole sentences to translate: Chinese puts no blank between them.
        text = change >= 0 ? tr("%1 Up %2 points since the first.").arg(text).arg(change)
                           : tr("%1 Down %2 points since the first.").arg(text).arg(-change);
    }
    m_summary->setText(text);
}

void ProgressView::fillTable()
{
    m_table->clearContents();
    m_table->setRowCount(int(m_sentences.size()));
    m_listTitle->setVisible(!m_sentences.isEmpty());
    m_table->setVisible(!m_sentences.isEmpty());
    for (int row = 0; row < m_sentences.size(); ++row) {
        const SentenceRecord &s = m_sentences[row];
        auto *number = readOnly(QString::number(s.line + 1));
        number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(row, NumberColumn, number);
        auto *sentence = readOnly(s.text);
        sentence->setToolTip(s.text);
        m_table->setItem(row, SentenceColumn, sentence);
        auto *wrong = readOnly(tr("%1 of %2").arg(s.wrongAttempts).arg(s.attempts));
        wrong->setTextAlignment(Qt::AlignCenter);
        wrong->setToolTip(tr("Wrong in %1 of the %2 comparisons that reached it.\nErrors in all: %3; the last time: %4")
                              .arg(s.wrongAttempts)
                              .arg(s.attempts)
                              .arg(s.errors)
                              .arg(s.lastErrors));
        // A sentence always right is listed, dimmed, for practice all the same.
        if (s.wrongAttempts == 0) {
            for (QTableWidgetItem *item : {number, sentence, wrong})
                item->setForeground(progresscolors::dim);
        } else {
            wrong->setForeground(progresscolors::accent);
        }
        m_table->setItem(row, WrongColumn, wrong);
        // Rows keep apart by the cell's margins; the sides come from the
        // sheet's item padding, which the table gives cell widgets too.
        auto *cell = new QWidget(m_table);
        auto *cellLayout = new QHBoxLayout(cell);
        cellLayout->setContentsMargins(0, 3, 0, 3);
        auto *practise = new QPushButton(tr("Practise"), cell);
        cellLayout->addWidget(practise);
        practise->setObjectName(QStringLiteral("practise%1").arg(row));
        practise->setToolTip(tr("Loop this sentence in the player"));
        practise->setCursor(Qt::PointingHandCursor);
        connect(practise, &QPushButton::clicked, this,
                [this, s] { Q_EMIT practiseRequested(m_mediaFile, s.line, s.text); });
        m_table->setCellWidget(row, PractiseColumn, cell);
        // The text, the sheet's padding and border, and some air.
        practise->setMinimumWidth(practise->fontMetrics().horizontalAdvance(practise->text()) + 2 * 12 + 2 + 8);
        m_table->horizontalHeader()->resizeSection(PractiseColumn, practise->minimumWidth() + 2 * itemPadding + 2);
    }
}

void ProgressView::styleTable()
{
    using namespace progresscolors;
    // The header and the buttons in the view's own colours; the style's
    // own would be light grey blocks on the dark panel.
    m_table->setStyleSheet(
        QStringLiteral("QTableWidget { background: %1; alternate-background-color: %2; border-radius: 4px; }"
                       "QTableWidget::item { padding: 0 %8px; }"
                       "QScrollBar:vertical { background: %1; width: 10px; margin: 0; }"
                       "QScrollBar::handle:vertical { background: %4; border-radius: 4px; min-height: 24px; margin: 1px; }"
                       "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
                       "QScrollBar::add-page, QScrollBar::sub-page { background: none; }"
                       "QHeaderView::section { background: %1; color: %3; border: none;"
                       " border-bottom: 1px solid %4; padding: 4px 6px; }"
                       "QPushButton { color: %5; background: transparent; border: 1px solid %5;"
                       " border-radius: 3px; padding: 2px 12px; }"
                       "QPushButton:hover { background: %5; color: %6; }"
                       "QPushButton:pressed { background: %7; color: %6; }")
            .arg(panel.name(), panel.lighter(115).name(), dim.name(), grid.name(), accent.name(),
                 background.name(), accent.darker(130).name())
            .arg(itemPadding));
}
