#pragma once

#include "progress/progressstore.h"

#include <QDialog>
#include <QList>
#include <QString>

class AccuracyPlot;
class QLabel;
class QTableWidget;

// A lesson's record: its accuracy over the attempts, and its sentences by
// how often the learner got them wrong, each with a button that practises
// it. Reads the store when shown and on reload(); writes nothing.
class ProgressView final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgressView)

public:
    explicit ProgressView(QWidget *parent = nullptr);

    // Shows mediaFile's record from databaseFile.
    void setLesson(const QString &mediaFile, const QString &databaseFile = ProgressStore::defaultFile());
    QString lesson() const { return m_mediaFile; }

    AccuracyPlot *plot() const { return m_plot; }
    QTableWidget *sentenceTable() const { return m_table; }
    const QList<SentenceRecord> &sentences() const { return m_sentences; }

public Q_SLOTS:
    // Reads the lesson's record again (after a new comparison, say).
    void reload();

Q_SIGNALS:
    // The learner wants to practise a sentence of the lesson: its line in
    // the latest reference that held it, and its text.
    void practiseRequested(const QString &mediaFile, int line, const QString &text);

private:
    void applyColours();
    void styleTable();
    void fillSummary(const QList<Attempt> &attempts);
    void fillTable();

    QString m_mediaFile;
    QString m_databaseFile;
    QList<SentenceRecord> m_sentences;
    QLabel *m_title = nullptr;
    QLabel *m_summary = nullptr;
    AccuracyPlot *m_plot = nullptr;
    QLabel *m_listTitle = nullptr;
    QTableWidget *m_table = nullptr;
};
