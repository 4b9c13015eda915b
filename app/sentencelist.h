#pragma once

#include <QWidget>

class QListWidget;
class QListWidgetItem;
class SentencePractice;

// Every sentence of the lesson in one list beside the player. A click loops
// that sentence; the one being practised is selected, and those whose text
// the learner had to reveal, in this sitting or an earlier one, are marked.
// Hidden text stays hidden here too.
class SentenceList final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SentenceList)

public:
    explicit SentenceList(SentencePractice *practice, QWidget *parent = nullptr);

    QListWidget *list() const { return m_list; }

Q_SIGNALS:
    // A player key pressed while the list has the focus (key | modifiers).
    void keyDelegate(int keyWithModifiers);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    void follow(int index);
    void onClicked(QListWidgetItem *item);

    SentencePractice *m_practice;
    QListWidget *m_list;
};
