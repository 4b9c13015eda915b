#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QTableWidget;

// Every key of the player and the editor on one page, for the learner who
// would rather not look them up in the help.
class KeysDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeysDialog)

public:
    struct Entry
    {
        QString keys;  // as printed on the keyboard
        QString where; // the window in which the key works
        QString what;
    };

    explicit KeysDialog(QWidget *parent = nullptr);

    // The table's rows, translated.
    static QList<Entry> entries();
    QTableWidget *table() const { return m_table; }

private:
    QTableWidget *m_table = nullptr;
};
