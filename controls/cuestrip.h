#pragma once

#include <QString>
#include <QWidget>

class QPainter;

// The sentence being practised, under the video (or filling the video's
// place for sound alone): the current cue large in the middle, the one
// before above and the one after below, dimmed. Hidden text is drawn as a
// bar of the text's length, so the learner sees how long the sentence is
// without reading it. A click asks for the current cue to be shown.
class CueStrip final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CueStrip)

public:
    struct Line {
        QString text;
        bool masked = false;
        // Shown dimmer: a sentence without text, described instead.
        bool placeholder = false;
        bool operator==(const Line &other) const = default;
    };

    static constexpr char fontFamily[] = "Mensch";

    explicit CueStrip(QWidget *parent = nullptr);

    void setLines(const Line &previous, const Line &current, const Line &next);
    // "12/240": which cue of how many; drawn in the reveal colour when the
    // learner has looked at this cue's text before.
    void setCounter(const QString &counter, bool revealedBefore);
    // "2/3": the play-through of the current cue; empty hides it.
    void setRepeat(const QString &repeat);
    // Shown alone in place of the cues, such as while they are being found.
    void setMessage(const QString &message);
    // A short note under the cues on what playback waits for, such as a
    // hold after a sentence; empty hides it.
    void setStatus(const QString &status);

    Line previous() const { return m_previous; }
    Line current() const { return m_current; }
    Line next() const { return m_next; }
    QString counter() const { return m_counter; }
    QString repeat() const { return m_repeat; }
    QString message() const { return m_message; }
    QString status() const { return m_status; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // the left button was pressed on the strip
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    // Lays out text in width, at most maxLines lines, centred under top;
    // returns the height used.
    static int drawBlock(QPainter &painter, const QRect &area, const Line &line, const QFont &font,
                         const QColor &color, int maxLines);
    int currentPixelSize() const;

    Line m_previous;
    Line m_current;
    Line m_next;
    QString m_counter;
    bool m_counterRevealed = false;
    QString m_repeat;
    QString m_message;
    QString m_status;
};
