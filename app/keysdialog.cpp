#include "app/keysdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

KeysDialog::KeysDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Keys at a Glance"));
    const QList<Entry> rows = entries();
    m_table = new QTableWidget(int(rows.size()), 3, this);
    m_table->setHorizontalHeaderLabels({tr("Key"), tr("Where"), tr("What it does")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int row = 0; row < rows.size(); ++row) {
        m_table->setItem(row, 0, new QTableWidgetItem(rows.at(row).keys));
        m_table->setItem(row, 1, new QTableWidgetItem(rows.at(row).where));
        m_table->setItem(row, 2, new QTableWidgetItem(rows.at(row).what));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    const int wide = m_table->horizontalHeader()->length() + m_table->verticalScrollBar()->sizeHint().width()
        + 2 * m_table->frameWidth();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    // Wide enough for every description, within the screen.
    const int room = screen() ? screen()->availableGeometry().width() * 9 / 10 : wide + 40;
    resize(std::min(wide + 40, room), 560);
}

QList<KeysDialog::Entry> KeysDialog::entries()
{
    const QString both = tr("player and editor");
    const QString player = tr("player");
    const QString editor = tr("editor");
    return {
        {tr("Space"), player, tr("Play or hold; resuming goes back a little")},
        {QStringLiteral("F5"), both, tr("Play or hold; resuming goes back a little")},
        {QStringLiteral("F1–F9, F12"), editor, tr("Reach the player while you type")},
        {tr("Left / Right"), player, tr("Jump back or forward (30 s unless set otherwise)")},
        {tr("F12, Backspace"), tr("player (F12 also in the editor)"), tr("Short replay: back 3 s unless set otherwise")},
        {QStringLiteral("F1 / F2"), both, tr("Move the start mark back or forward by a tenth of a second")},
        {QStringLiteral("F3 / F4"), both, tr("Move the end mark back or forward by a tenth of a second")},
        {QStringLiteral("F6"), both, tr("Loop from the file's start to the current start mark")},
        {QStringLiteral("F7"), both, tr("Set the start mark here")},
        {QStringLiteral("F8"), both, tr("Set the end mark here")},
        {QStringLiteral("F9"), both, tr("Loop from the current end mark to the file's end")},
        {tr("Alt+Page Up / Alt+Page Down"), both, tr("Play faster or slower, with the pitch kept")},
        {tr("Alt+End"), both, tr("Play at normal speed")},
        {tr("Alt+Right / Alt+Left"), both, tr("Next or previous sentence")},
        {tr("Alt+Up"), both, tr("Hear the current sentence once more")},
        {tr("Alt+Down"), both, tr("Loop the current sentence, or stop looping it")},
        {tr("Alt+Home"), both, tr("Show or hide the current sentence's text")},
        {tr("Mouse wheel"), player, tr("Louder or softer")},
        {tr("Ctrl++ / Ctrl+-, Ctrl+mouse wheel"), player, tr("Zoom the waveform in or out")},
        {tr("Shift while dragging on the waveform"), player, tr("Place a mark exactly, not on the nearest pause")},
        {tr("Esc"), player, tr("Leave full screen")},
        {tr("Ctrl+N, Ctrl+O, Ctrl+S"), editor, tr("New, open and save a dictation")},
        {tr("Ctrl+P, Ctrl+D"), editor, tr("Print, export as PDF")},
        {tr("Ctrl+Z, Ctrl+Shift+Z"), editor, tr("Undo, redo")},
        {tr("Ctrl+X, Ctrl+C, Ctrl+V"), editor, tr("Cut, copy, paste")},
        {tr("Ctrl+B, Ctrl+I, Ctrl+U"), editor, tr("Bold, italic, underline")},
        {tr("Ctrl+L, Ctrl+E, Ctrl+R, Ctrl+J"), editor, tr("Left, centred, right and justified paragraphs")},
    };
}
